#pragma once
// Where a name lookup handler looks callers' names up and in which order: the
// parameters and audit text of one write of all its search options, and the
// scope distribution list that a picked distribution list becomes on the
// server.

#include "common/module1.h"

#include <QList>
#include <QString>

#include <optional>

namespace quillor {

class EditingHost;

// The scopes a name lookup handler stores (there is no 2).
enum class SearchScope : qint16 { Local = 0, DialingDomain = 1, Location = 3, DistributionList = 4, ClassOfService = 5 };

// What the page's search options show.
struct SearchOptionsInput {
    bool byFirstName = false;
    std::optional<SearchScope> scope; // none: no scope option is selected
    QString scopeName;                // the location, class of service or list shown
    // The location, class of service or scope list to store; none keeps the
    // stored SearchScopeObjectID.
    std::optional<QString> scopeObjectId;
};

struct SearchOptionsWrite {
    QList<classProcParam> params; // for sp_ModifyDirectoryHandler
    QString auditText;
};

// The write of `in` for the handler `handlerObjectId`. The local and dialing
// domain scopes leave the stored scope object as it is.
SearchOptionsWrite searchOptionsWrite(const QString &handlerObjectId, const SearchOptionsInput &in);

// Makes the server's scope distribution list of the directory list
// `strDirectoryID` and tells the directory service of it; answers its
// ScopeDListObjectID, or "" when none was made or found (which has been said).
// A list that could not be made is logged FAILED_UPDATE for the shown handler.
QString CreateScopeDList(EditingHost &host, const QString &strDirectoryID, const QString &vDisplayName,
                         const QString &vSmtpDomain);

} // namespace quillor
