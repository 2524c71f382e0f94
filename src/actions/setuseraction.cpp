#include "actions/setuseraction.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/module1.h"
#include "common/objectid.h"
#include "common/validators.h"
#include "details/actiontext.h"
#include "details/detailpage.h"
#include "platform/seams.h"

namespace quillor {

using platform::msgBox;

namespace {

void reportFailure(const platform::DbError &error)
{
    reportError(error.number, error.description, QStringLiteral("SetUserAction"), QStringLiteral("Form"),
                QStringLiteral("frmMain"));
}

classProcParam idParam(const QString &name, const QString &objectId) { return {name, objectId, 72}; }
classProcParam textParam(const QString &name, const QVariant &value) { return {name, value, 200}; }
// An empty text goes to the server as Null, never as "".
classProcParam optionalParam(const QString &name, const QString &value)
{
    return {name, value, 200, value.isEmpty()};
}

// What one write changes and how its audit line reads.
struct Write {
    QString procedure; // empty: the interview handler's own row
    QString rowObjectId;
    QList<classProcParam> params;
    QString table;
    QString alias;
    LogArg parentTable;
    LogArg parentAlias;
    QString column;
    QString linkCode;
};

// False (with the reason shown) when a destination was chosen that the server no longer has.
bool destinationStillExists(AppContext &ctx, const QString &destination, qint16 type)
{
    using Kind = DestinationLookup::Kind;
    if (destination.isEmpty() || isDontSet(destination) || (type != 3 && type != 5 && type != 6))
        return true;
    const DestinationLookup::Found found = DestinationLookup(ctx).find(
        type == 3 ? Kind::CallHandler : type == 5 ? Kind::InterviewHandler : Kind::NameLookupHandler, destination);
    if (found.failed) {
        reportFailure(found.error);
        return false;
    }
    if (!found.found()) {
        msgBox(QStringLiteral("Error, the %1 chosen as the destination could not be found in the database - it may have "
                              "been deleted. Nothing was changed.")
                   .arg(strObjectTypeName(type).toLower()));
        return false;
    }
    return true;
}

// The interview handler's after-message action lives in its own row.
WriteOutcome writeInterviewHandlerRow(AppContext &ctx, const QString &handlerId, qint16 iAction,
                                      const QString &conversation, const QString &destination, qint16 destinationType)
{
    platform::DbError error;
    platform::Recordset rs = ctx.db().openForUpdate(ctx.state().gConnectionString, QStringLiteral("InterviewHandler"),
                                                    QStringLiteral("InterviewHandlerObjectID"),
                                                    QStringLiteral("InterviewHandlerObjectID = ?"),
                                                    {normalizedObjectId(handlerId)}, &error);
    if (!rs.isOpen()) {
        reportFailure(error);
        return false;
    }
    if (rs.RecordCount() != 1)
        return false;
    rs.MoveFirst();
    const QVariant null(QMetaType::fromType<QString>());
    rs.setField(QStringLiteral("AfterMessageAction"), int(iAction));
    rs.setField(QStringLiteral("AfterMessageConversation"), conversation.isEmpty() ? null : QVariant(conversation));
    // No destination empties the ObjectID and keeps its type, as the server's own tools do.
    if (destination.isEmpty()) {
        rs.setField(QStringLiteral("AfterMessageObjectID"), null);
    } else if (!isDontSet(destination)) {
        rs.setField(QStringLiteral("AfterMessageObjectID"), destination);
        rs.setField(QStringLiteral("AfterMessageObjectIDType"), int(destinationType));
    }
    if (!rs.Update(&error))
        return unwritten(error, [&] { reportFailure(error); });
    return true;
}

// The four values of an action as the server receives them.
struct ActionValues {
    QString action;
    QString conversation;
    QString destination;
    QString destinationType;
};

// Points `w` at one row: its key, then the action's four columns. A kept
// destination ("[DontSet]") leaves the ObjectID as it is; a greeting also
// keeps the destination's type.
void setRow(Write &w, const QString &procedure, const QString &keyName, const QString &rowObjectId,
            const SlotColumns &c, const ActionValues &v, bool keepTypeWithDestination = false)
{
    w.procedure = procedure;
    w.rowObjectId = rowObjectId;
    w.params = {idParam(keyName, rowObjectId), textParam(c.action, v.action), optionalParam(c.conversation, v.conversation)};
    const bool keep = isDontSet(v.destination);
    if (!keep)
        w.params << optionalParam(c.objectId, v.destination);
    if (!keep || !keepTypeWithDestination)
        w.params << textParam(c.objectIdType, v.destinationType);
    w.column = c.action;
}

// The write for the slot; false (after its message, if any) when the slot names none.
bool planWrite(const RoutingSlot &slot, const ActionValues &v, Write &w)
{
    const SelectedObject &owner = slot.owner;
    w.alias = owner.Alias;
    switch (owner.ObjectType) {
    case 3:
    case 1:
        switch (slot.iActionTarget) {
        case TargetMenuEntry:
            setRow(w, QStringLiteral("sp_ModifyMenuEntry"), QStringLiteral("MenuEntryObjectID"), slot.rowObjectId,
                   SlotColumns::rule(), v);
            w.table = QStringLiteral("MenuEntry");
            w.alias = slot.key;
            w.parentTable = strObjectTypeName(owner.ObjectType);
            w.parentAlias = owner.Alias;
            w.linkCode = slot.key;
            return true;
        case TargetAfterGreeting:
            setRow(w, QStringLiteral("csp_MessagingRuleModify"), QStringLiteral("MessagingRuleObjectID"),
                   slot.rowObjectId, SlotColumns::rule(), v, true);
            w.table = QStringLiteral("MessagingRule");
            w.alias = strGreetingTypeName(slot.greetingIndex);
            w.parentTable = strObjectTypeName(owner.ObjectType);
            w.parentAlias = owner.Alias;
            w.linkCode = greetingLinkCode(slot.greetingIndex);
            return true;
        case TargetAfterMessage:
            // A subscriber's after-message action is its primary call handler's.
            setRow(w, QStringLiteral("sp_ModifyCallHandler"), QStringLiteral("CallHandlerObjectID"), owner.ObjectID,
                   SlotColumns::prefixed(QStringLiteral("AfterMessage")), v);
            w.table = owner.ObjectType == 3 ? QStringLiteral("CallHandler") : QStringLiteral("Subscriber");
            w.linkCode = QStringLiteral("AM");
            return true;
        case TargetSubscriberExit:
            if (owner.ObjectType != 1)
                break;
            setRow(w, QStringLiteral("sp_ModifySubscriber"), QStringLiteral("SubscriberObjectID"), slot.rowObjectId,
                   SlotColumns::prefixed(QStringLiteral("Exit")), v);
            w.table = QStringLiteral("Subscriber");
            return true;
        default:
            break;
        }
        msgBox(QStringLiteral("Invalid value for the iActionTarget passed into SetUserAction routine: %1")
                   .arg(slot.iActionTarget));
        return false;
    case 6: {
        const QString k = nameLookupExitPrefix(slot.iNameLookupHandlerChangeType);
        if (k.isEmpty()) {
            // A number that is not negative is shown after a blank.
            const qint16 code = slot.iNameLookupHandlerChangeType;
            msgBox(QStringLiteral("Invalid value for the iNameLookupHandlerChangeType passed into SetUserAction routine:")
                   + (code >= 0 ? QStringLiteral(" ") : QString()) + QString::number(code));
            return false;
        }
        setRow(w, QStringLiteral("sp_ModifyDirectoryHandler"), QStringLiteral("DirectoryHandlerObjectID"),
               owner.ObjectID, SlotColumns::prefixed(k), v);
        w.table = QStringLiteral("NameLookupHandler");
        return true;
    }
    case 5:
        if (slot.iActionTarget != TargetAfterMessage)
            return false;
        w.rowObjectId = owner.ObjectID;
        w.table = QStringLiteral("InterviewHandler");
        w.column = QStringLiteral("AfterMessageAction");
        w.linkCode = QStringLiteral("AM");
        return true;
    default:
        msgBox(QStringLiteral("Invalid currently selected object encountered in SetUserAction routine."));
        return false;
    }
}

} // namespace

SlotColumns SlotColumns::rule()
{
    return {QStringLiteral("Action"), QStringLiteral("ConversationName"), QStringLiteral("DestinationObjectID"),
            QStringLiteral("DestinationObjectIDType")};
}

SlotColumns SlotColumns::prefixed(const QString &prefix)
{
    return {prefix + QStringLiteral("Action"), prefix + QStringLiteral("Conversation"), prefix + QStringLiteral("ObjectID"),
            prefix + QStringLiteral("ObjectIDType")};
}

QString nameLookupExitPrefix(qint16 changeType)
{
    switch (changeType) {
    case ExitZero: return QStringLiteral("Zero");
    case ExitExit: return QStringLiteral("Exit");
    case ExitNoInput: return QStringLiteral("NoInput");
    case ExitNoSelection: return QStringLiteral("NoSelection");
    default: return {};
    }
}

bool refuseUnidentifiedRow(const QString &rowObjectId)
{
    if (!rowObjectId.trimmed().isEmpty())
        return false;
    msgBox(QStringLiteral("Error, the entry to change could not be identified (its ObjectID is empty) - nothing was "
                          "changed."));
    return true;
}

SetUserActionResult SetUserAction(AppContext &ctx, const RoutingSlot &slot, qint16 iAction,
                                  const QString &strConversation, const QString &strDestObjectID,
                                  qint16 iDestObjectIDType)
{
    SetUserActionResult result;
    Write w;
    if (!planWrite(slot, {QString::number(iAction), strConversation, strDestObjectID, QString::number(iDestObjectIDType)},
                   w))
        return result;
    // A slot whose row was never found would be written with an empty key.
    if (refuseUnidentifiedRow(w.rowObjectId))
        return result;
    if (!destinationStillExists(ctx, strDestObjectID, iDestObjectIDType))
        return result;

    const WriteOutcome outcome = w.procedure.isEmpty()
                                     ? writeInterviewHandlerRow(ctx, w.rowObjectId, iAction, strConversation,
                                                                strDestObjectID, iDestObjectIDType)
                                     : UpdateValue(ctx, w.procedure, w.params);
    result.written = bool(outcome);
    result.result = result.written && !w.procedure.isEmpty();
    result.inDoubt = outcome.inDoubt();
    // The line names the action that was written even when its destination's
    // name cannot be read now: by the destination's ObjectID, not as an invalid link.
    auditWrite(ctx, outcome, {w.table, w.alias, w.parentTable, w.parentAlias, w.column},
               strConstructActionString(ctx, strConversation, iAction, strDestObjectID, nullptr,
                                        UnreadDestination::ObjectId));
    result.linkCode = w.linkCode;
    return result;
}

} // namespace quillor
