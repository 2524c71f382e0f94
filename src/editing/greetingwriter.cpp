#include "editing/greetingwriter.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "common/timefunctions.h"
#include "common/tolvaversion.h"
#include "details/detailpage.h"
#include "editing/editinghost.h"
#include "platform/seams.h"

namespace quillor {

namespace {

struct GreetingOwner {
    qint16 objectType;
    QString parentTable;
    QString writer; // for the "(error):" message
    bool hasExpiryControls;
};

// The expiry to store and the first piece of the audit text.
struct Expiry {
    QDateTime value; // invalid: Null, never expires
    QString audit;
    bool past = false; // a moment already passed: the greeting would be stored switched off
};

Expiry decideExpiry(int index, const GreetingInput &in, const GreetingOwner &owner, const platform::Recordset &row)
{
    const QString enabled = QStringLiteral("Rule Enabled");
    // Standard and Error are always played.
    if (index == 0 || index == 5)
        return {{}, enabled};
    if (!in.enabled)
        return {disabledDate(), QStringLiteral("Rule Disabled")};
    if (!owner.hasExpiryControls)
        // Nothing on the page shows an end date: one that is stored stays.
        return {futureExpiry(row, QStringLiteral("TimeExpires")).value_or(QDateTime()), enabled};
    if (in.neverExpires)
        return {{}, enabled};
    const QDateTime moment = dtLocalToUTC(in.expiryDate, in.expiryTime);
    return {moment, QStringLiteral("Rule Enabled with expirable date"),
            moment <= platform::Seams::clock().now().toUTC()};
}

bool writeGreeting(EditingHost &host, int index, const GreetingOwner &owner, const GreetingInput &in)
{
    const QString alias = greetingRuleAlias(index);
    if (alias.isEmpty()) {
        platform::msgBox(
            QStringLiteral("Error!  Invalid control index passed into UpdateCurrentHandlerMessageRule routine."));
        return false;
    }
    if (!host.isShown(owner.objectType))
        return false;
    AppContext &ctx = host.ctx();
    const SelectedObject &shown = host.CurrentlySelectedObject();
    platform::Recordset row = openShownRule(
        host, QStringLiteral("vw_MessagingRule"), alias, owner.writer,
        QStringLiteral("Error!  Could not load %1 message rule for the currently selected call handler in the "
                       "UpdateCurrentHandlerMessageRule routine.")
            .arg(alias),
        true);
    if (!row.isOpen())
        return false;

    const Expiry expiry = decideExpiry(index, in, owner, row);
    if (expiry.past) {
        // Stored so, the greeting would be switched off while the page shows it on.
        platform::msgBox(QStringLiteral("The expiry date and time have already passed. Pick a later date first: the "
                                        "date can be changed while \"Never\" is selected."));
        return false;
    }
    const int ignoreDigits = in.allowInput ? 0 : 1;
    // A list with nothing selected writes nothing, and says nothing of it.
    QStringList pieces{expiry.audit, QStringLiteral("Ignore Digits=%1").arg(ignoreDigits)};
    if (in.source)
        pieces << QStringLiteral("PlayWhat=%1").arg(*in.source);
    if (in.repeat)
        pieces << QStringLiteral("Repeat=%1").arg(*in.repeat);
    const QString audit = pieces.join(QStringLiteral(" | "));
    const AuditEntry entry{QStringLiteral("MessagingRule"), alias, owner.parentTable, shown.Alias,
                           QStringLiteral("Update")};

    if (bIsVersionGreaterThanOrEqualTo(ctx, 4, 0, 3, 120)) {
        const QList<classProcParam> params{
            {QStringLiteral("MessagingRuleObjectID"), row.text(QStringLiteral("MessagingRuleObjectID")), 72},
            dateParam(QStringLiteral("TimeExpires"), expiry.value),
            {QStringLiteral("IgnoreDigits"), QString::number(ignoreDigits), 3},
            positionParam(QStringLiteral("PlayWhat"), in.source, 200),
            positionParam(QStringLiteral("Reprompts"), in.repeat, 200)};
        return writeAndAudit(host.ctx(), QStringLiteral("csp_MessagingRuleModify"), params, entry, audit);
    }

    // Servers older than the greeting procedure: the row itself.
    row.setField(QStringLiteral("TimeExpires"),
                 expiry.value.isValid() ? QVariant(expiry.value) : QVariant(QMetaType::fromType<QDateTime>()));
    row.setField(QStringLiteral("IgnoreDigits"), ignoreDigits);
    if (in.source)
        row.setField(QStringLiteral("PlayWhat"), *in.source);
    if (in.repeat)
        row.setField(QStringLiteral("Reprompts"), *in.repeat);
    platform::DbError error;
    const WriteOutcome outcome = row.Update(&error) ? WriteOutcome(true) : unwritten(error, [&] {
        reportError(error.number, error.description, owner.writer, QStringLiteral("Form"), QStringLiteral("frmMain"));
    });
    return auditWrite(ctx, outcome, entry, audit);
}

} // namespace

bool UpdateCurrentHandlerMessageRule(EditingHost &host, int index, const GreetingInput &input)
{
    return writeGreeting(host, index,
                         {ShownCallHandler, QStringLiteral("CallHandler"), QStringLiteral("UpdateCurrentHandlerMessageRule"),
                          true},
                         input);
}

bool UpdateCurrentSubscriberMessageRule(EditingHost &host, int index, const GreetingInput &input)
{
    return writeGreeting(host, index,
                         {ShownSubscriber, QStringLiteral("Subscriber"),
                          QStringLiteral("UpdateCurrentSubscriberMessageRule"), false},
                         input);
}

} // namespace quillor
