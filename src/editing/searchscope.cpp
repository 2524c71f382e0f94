#include "editing/searchscope.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "editing/editinghost.h"
#include "platform/seams.h"

namespace quillor {

namespace {
// What the directory service is asked to do with a new scope list, and the
// property (its mail domain) it is given.
constexpr int kScopeListOperation = 18;
constexpr qint32 kMailDomainProperty = 0x61800008;
} // namespace

SearchOptionsWrite searchOptionsWrite(const QString &handlerObjectId, const SearchOptionsInput &in)
{
    SearchOptionsWrite w;
    w.params << classProcParam(QStringLiteral("DirectoryHandlerObjectID"), handlerObjectId, 72)
             << classProcParam(QStringLiteral("SearchByFirstName"), qint16(in.byFirstName ? 1 : 0), 200);
    w.auditText = in.byFirstName ? QStringLiteral("Search by first name then last name | ")
                                 : QStringLiteral("Search by last name then first name | ");
    if (!in.scope)
        return w;
    w.params << classProcParam(QStringLiteral("SearchScope"), qint16(*in.scope), 200);
    switch (*in.scope) {
    case SearchScope::Local: w.auditText += QStringLiteral("Search scope set to local location"); return w;
    case SearchScope::DialingDomain: w.auditText += QStringLiteral("Search scope set to local dialing domain"); return w;
    case SearchScope::Location: w.auditText += QStringLiteral("Search scope set to location: "); break;
    case SearchScope::DistributionList: w.auditText += QStringLiteral("Search scope set to DL: "); break;
    case SearchScope::ClassOfService: w.auditText += QStringLiteral("Search scope set to COS: "); break;
    }
    w.auditText += in.scopeName;
    w.params << classProcParam(QStringLiteral("SearchScopeObjectID"),
                               in.scopeObjectId ? *in.scopeObjectId : QStringLiteral("[dontset]"), 200);
    return w;
}

QString CreateScopeDList(EditingHost &host, const QString &strDirectoryID, const QString &vDisplayName,
                         const QString &vSmtpDomain)
{
    AppContext &ctx = host.ctx();
    const WriteOutcome made =
        UpdateValue(ctx, QStringLiteral("sp_CreateScopeDList"),
                    {{QStringLiteral("DirectoryID"), strDirectoryID, 72}, {QStringLiteral("DisplayName"), vDisplayName, 200}});
    if (!made) {
        const AuditEntry audit{QStringLiteral("NameLookupHandler"), host.CurrentlySelectedObject().Alias, {}, {},
                               QStringLiteral("SearchOptions")};
        const QString auditValue = QStringLiteral("Scope Distribution List set to:") + vDisplayName;
        // A list the server may have made is not called failed.
        if (made.inDoubt()) {
            auditWrite(ctx, made, audit, auditValue);
        } else {
            platform::msgBox(QStringLiteral("Failed to create scope distribution list"));
            ctx.log().LogAction(FAILED_UPDATE, audit.table, audit.alias, {}, {}, audit.column, auditValue);
        }
        return {};
    }
    QString result;
    platform::DbError error;
    platform::Recordset rs =
        ctx.db().open(ctx.state().gConnectionString,
                      QStringLiteral("SELECT ScopeDListObjectID FROM vw_ScopeDList WHERE DirectoryID = ?"),
                      {normalizedObjectId(strDirectoryID)}, &error);
    if (!rs.isOpen()) {
        reportError(error.number, error.description, QStringLiteral("CreateScopeDList"), QStringLiteral("Form"),
                    QStringLiteral("frmMain"));
    } else if (rs.RecordCount() == 1) {
        rs.MoveFirst();
        result = rs.text(QStringLiteral("ScopeDListObjectID"));
    } else {
        platform::msgBox(QStringLiteral("Scope distribution list not found in database after create."));
    }
    // The directory service is told even when the list was not found; nothing
    // it does or fails to do changes what the program does next.
    try {
        platform::Seams::directoryService().invoke(kScopeListOperation, strDirectoryID, {kMailDomainProperty},
                                                   {vSmtpDomain});
    } catch (...) {
    }
    return result;
}

} // namespace quillor
