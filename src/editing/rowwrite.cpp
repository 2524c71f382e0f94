#include "editing/rowwrite.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"

namespace quillor {

namespace {
const QString kForm = QStringLiteral("Form");
const QString kFrmMain = QStringLiteral("frmMain");
} // namespace

platform::Recordset openShownRow(EditingHost &host, const QString &table, const QString &keyColumn,
                                 const QString &procedure)
{
    AppContext &ctx = host.ctx();
    platform::DbError error;
    platform::Recordset rs = ctx.db().openForUpdate(ctx.state().gConnectionString, table, keyColumn,
                                                    keyColumn + QStringLiteral(" = ?"),
                                                    {normalizedObjectId(host.CurrentlySelectedObject().ObjectID)}, &error);
    if (!rs.isOpen())
        reportError(error.number, error.description, procedure, kForm, kFrmMain);
    return rs;
}

bool updateRowAndAudit(EditingHost &host, platform::Recordset &rs, const AuditEntry &audit, const QString &auditValue,
                       const QString &procedure)
{
    if (!rs.isOpen()) {
        // Why it could not be read has been shown.
        host.ctx().log().LogAction(FAILED_UPDATE, audit.table, audit.alias, audit.parentTable, audit.parentAlias,
                                   audit.column, auditValue);
        return false;
    }
    platform::DbError error;
    const WriteOutcome outcome = rs.Update(&error) ? WriteOutcome(true) : unwritten(error, [&] {
        reportError(error.number, error.description, procedure, kForm, kFrmMain);
    });
    return auditWrite(host.ctx(), outcome, audit, auditValue);
}

} // namespace quillor
