#include "editing/contactrulewriter.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "details/detailpage.h"
#include "editing/editinghost.h"
#include "platform/seams.h"

namespace quillor {

namespace {

// Which page the rule belongs to: the call handler's three rules or the subscriber's one.
struct RuleOwner {
    qint16 objectType;
    QString parentTable;
    QString writer;       // for the "(error):" message
    QString enabledPiece; // the first audit piece of a rule that is on
};

bool writeContactRule(EditingHost &host, const QString &alias, const RuleOwner &owner, const ContactRuleInput &input)
{
    if (!host.isShown(owner.objectType))
        return false;
    const SelectedObject &shown = host.CurrentlySelectedObject();
    const platform::Recordset rule = openContactRule(host, alias, owner.writer);
    if (!rule.isOpen())
        return false;

    QList<classProcParam> params{{QStringLiteral("ContactRuleObjectID"), rule.text(QStringLiteral("ContactRuleObjectID")), 72}};
    QStringList audit;
    if (!input.enabled) {
        params << dateParam(QStringLiteral("TimeExpires"), disabledDate());
        audit << QStringLiteral("Rule Disabled");
    } else {
        // A rule that is on until a later date stays on until then.
        params << dateParam(QStringLiteral("TimeExpires"),
                            futureExpiry(rule, QStringLiteral("TimeExpires")).value_or(QDateTime()));
        audit << owner.enabledPiece;
    }
    params << classProcParam(QStringLiteral("Action"), input.ringPhone ? 1 : 0, 3);
    audit << QStringLiteral("Action=%1").arg(input.ringPhone ? 1 : 0);
    // A list with nothing selected, like empty rings, writes nothing and says nothing of it.
    params << positionParam(QStringLiteral("TransferType"), input.transferType, 3);
    if (input.transferType)
        audit << QStringLiteral("TransferType=%1").arg(*input.transferType);
    if (!input.rings.isEmpty()) {
        params << classProcParam(QStringLiteral("TransferRings"), input.rings, 3);
        audit << QStringLiteral("TransferRings=") + input.rings;
    }
    // An empty box is an empty transfer string, not a missing one.
    params << classProcParam(QStringLiteral("Extension"),
                             input.transferString.isNull() ? QString::fromLatin1("") : input.transferString, 200);
    audit << QStringLiteral("Extension=") + input.transferString;

    const bool written = writeAndAudit(host.ctx(), QStringLiteral("sp_ModifyContactRule"), params,
                                       {QStringLiteral("ContactRule"), alias, owner.parentTable, shown.Alias,
                                        QStringLiteral("Update")},
                                       audit.join(QStringLiteral(" | ")));
    if (written)
        host.relistGridView();
    return written;
}

} // namespace

platform::Recordset openContactRule(EditingHost &host, const QString &alias, const QString &procedure)
{
    return openShownRule(host, QStringLiteral("vw_ContactRule"), alias, procedure,
                         QStringLiteral("Error!  Could not load %1 contact rule for the currently selected call handler "
                                        "in the chkHandlerTransferEnabled routine.")
                             .arg(alias));
}

bool UpdateCurrentContactRule(EditingHost &host, int index, const ContactRuleInput &input)
{
    const QString alias = contactRuleAlias(index);
    if (alias.isEmpty()) {
        platform::msgBox(QStringLiteral("Error!  Invalid control index passed into chkHandlerTransferEnabled routine."));
        return false;
    }
    return writeContactRule(host, alias,
                            {ShownCallHandler, QStringLiteral("CallHandler"), QStringLiteral("UpdateCurrentContactRule"),
                             QStringLiteral("Rule Enabled")},
                            input);
}

bool UpdateCurrentSubscriberContactRule(EditingHost &host, const ContactRuleInput &input)
{
    ContactRuleInput alwaysOn = input;
    alwaysOn.enabled = true;
    return writeContactRule(host, QStringLiteral("Alternate"),
                            {ShownSubscriber, QStringLiteral("Subscriber"),
                             QStringLiteral("UpdateCurrentSubscriberContactRule"), QStringLiteral("Rule enabled")},
                            alwaysOn);
}

} // namespace quillor
