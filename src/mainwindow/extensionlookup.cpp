#include "mainwindow/extensionlookup.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/validators.h"
#include "platform/seams.h"

namespace quillor {

void findExtensionInDialingDomain(AppContext &ctx, QWidget *parent)
{
    const QString extension = platform::inputBox(QStringLiteral("Enter extension number to find"),
                                                 QStringLiteral("Find Extension"), QString(), parent);
    if (!MyIsNumber(extension)) {
        platform::msgBox(QStringLiteral("Please enter only digits"), platform::MsgButtons::Ok, {}, parent);
        return;
    }
    if (extension.isEmpty())
        return;

    platform::DbError err;
    platform::Recordset rs = openDialingDomainExtension(ctx, extension, &err);
    if (!rs.isOpen()) {
        // An unreachable database must not read as "nobody uses it".
        reportError(err.number, err.description, QStringLiteral("mnuFindExtension_Click"), QStringLiteral("Form"),
                    QStringLiteral("frmMain"));
        return;
    }
    if (rs.RecordCount() < 1) {
        platform::msgBox(QStringLiteral("No objects using that extension were found in the dialing domain"),
                         platform::MsgButtons::Ok, {}, parent);
        return;
    }
    QString message = QStringLiteral("That extension is in use by the following objects:\r\n");
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
        message += QStringLiteral("Extension= ") + rs.text(QStringLiteral("DTMFAccessID")) + QStringLiteral(" is owned by ")
                   + strObjectTypeName(rs.field(QStringLiteral("ObjectType"))) + QStringLiteral(" with a Display Name= ")
                   + rs.text(QStringLiteral("DisplayName")) + QStringLiteral(".  ");
    platform::msgBox(message, platform::MsgButtons::Ok, {}, parent);
}

} // namespace quillor
