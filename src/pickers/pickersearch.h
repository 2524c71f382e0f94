#pragma once
// What the four object pickers search and how their rows are read, apart
// from the dialogs: the statement of each kind of picker with the user's
// text as a bound value, the search itself and the mail domain of a picked
// distribution list.

#include "platform/database.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

namespace quillor {

class AppContext;

// NameLookupHandler has no picker of its own: the creation dialog of name
// lookup handlers searches with it.
enum class PickerKind { CallHandler, InterviewHandler, DistributionList, Subscriber, NameLookupHandler };

// The field a search text is matched against. The handler and list pickers
// offer DisplayName and Extension; the subscriber picker FirstName, LastName,
// Alias and Extension. A field a picker does not offer counts as Extension.
enum class SearchBy { DisplayName, Extension, FirstName, LastName, Alias };

struct PickerQuery {
    QString sql;
    QVariantList params; // empty when the search lists every row
};

// The LIKE pattern of a search text: "*" matches any run of characters;
// every other character, "%" and "_" among them, stands for itself.
QString likePattern(const QString &text);

// The search of one picker. A text that begins with "*" lists every row.
// Display names of handlers and lists are matched without the blanks around
// them; extensions and the subscriber's fields as typed.
PickerQuery pickerQuery(PickerKind kind, SearchBy by, const QString &text);

// Runs the search on the main database. On failure the recordset is closed
// and `error` set.
platform::Recordset pickerSearch(AppContext &ctx, PickerKind kind, SearchBy by, const QString &text,
                                 platform::DbError *error = nullptr);

// The mail domain of an address: the text after its first "@"; "" when it has
// no "@" or nothing before it.
QString domainOfAddress(const QString &smtpAddress);

// The mail domain of the distribution list with this directory id, "" unless
// exactly one list has it. False (and `error` set) when it cannot be read.
bool distributionListDomain(AppContext &ctx, const QString &directoryId, QString *domain,
                            platform::DbError *error = nullptr);

} // namespace quillor
