#include "editing/keylocks.h"

#include "common/formatting.h"
#include "common/objectid.h"
#include "editing/editinghost.h"

namespace quillor {

void SetOneKeyRuleLocks(EditingHost &host, qint16 objectType, const QList<KeyGridRow> &rows, bool bLocked)
{
    if (!host.isShown(objectType))
        return;
    const QString value = booleanText(bLocked);
    const QString parentAlias = host.CurrentlySelectedObject().Alias;
    for (const KeyGridRow &row : rows) {
        const AuditEntry audit{QStringLiteral("MenuEntry"), row.key, QStringLiteral("CallHandler"), parentAlias,
                               QStringLiteral("Locked")};
        // A key whose entry was not found has nothing to write to: it fails as
        // a refused write does, so every key has its line.
        if (!isGuidText(row.menuEntryObjectId)) {
            auditWrite(host.ctx(), false, audit, value);
            continue;
        }
        writeAndAudit(host.ctx(), QStringLiteral("sp_ModifyMenuEntry"),
                      {{QStringLiteral("MenuEntryObjectID"), row.menuEntryObjectId, 72},
                       {QStringLiteral("Locked"), bLocked, 200}},
                      audit, value);
    }
    host.reloadTab();
}

} // namespace quillor
