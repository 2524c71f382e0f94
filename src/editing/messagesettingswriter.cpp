#include "editing/messagesettingswriter.h"

#include "editing/editinghost.h"

#include <QStringList>

namespace quillor {

namespace {

bool writeMessageSettings(EditingHost &host, qint16 objectType, const QString &auditTable,
                          const MessageSettingsInput &in)
{
    if (!host.isShown(objectType))
        return false;
    const SelectedObject &shown = host.CurrentlySelectedObject();
    const int edit = in.canEditMessages ? 1 : 0;
    // An empty length (a Null one was loaded) or a list with nothing selected
    // leaves its setting as stored, and the audit line says nothing of it.
    QList<classProcParam> params{{QStringLiteral("CallHandlerObjectID"), shown.ObjectID, 72}};
    QStringList audit;
    if (in.maxMessageLength.isEmpty()) {
        params << classProcParam(QStringLiteral("MaxMsgLen"), QStringLiteral("[dontset]"), 3);
    } else {
        params << classProcParam(QStringLiteral("MaxMsgLen"), in.maxMessageLength, 3);
        audit << QStringLiteral("MaxMsgLen=") + in.maxMessageLength;
    }
    params << classProcParam(QStringLiteral("EditMsg"), QString::number(edit), 3);
    audit << QStringLiteral("EditMsg=%1").arg(edit);
    params << positionParam(QStringLiteral("SendUrgentMsg"), in.urgency, 3);
    if (in.urgency)
        audit << QStringLiteral("SendUrgentMsg=%1").arg(*in.urgency);
    return writeAndAudit(host.ctx(), QStringLiteral("sp_ModifyCallHandler"), params,
                         {auditTable, shown.Alias, {}, {}, QStringLiteral("Message Option Update")},
                         audit.join(QStringLiteral(" | ")));
}

} // namespace

bool UpdateCurrentCallHandlerMessageSettings(EditingHost &host, const MessageSettingsInput &input)
{
    return writeMessageSettings(host, ShownCallHandler, QStringLiteral("CallHandler"), input);
}

bool UpdateCurrentSubscriberMessageSettings(EditingHost &host, const MessageSettingsInput &input)
{
    return writeMessageSettings(host, ShownSubscriber, QStringLiteral("Subscriber"), input);
}

} // namespace quillor
