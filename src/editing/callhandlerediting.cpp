#include "editing/callhandlerediting.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "common/timefunctions.h"
#include "common/validators.h"
#include "details/callhandlerpage.h"
#include "details/controltag.h"
#include "details/detailpage.h"
#include "editing/contactrulewriter.h"
#include "editing/greetingwriter.h"
#include "editing/messagesettingswriter.h"
#include "editing/profilefields.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QDateTimeEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace quillor {

namespace {

const QString kRingsRefused = QStringLiteral("The rings to wait must be a number between 1 and 10");
const QString kTransferStringRefused =
    QStringLiteral("The transfer string can contain 0-9, '*', ',' and '#' characters only");

} // namespace

CallHandlerEditing::CallHandlerEditing(EditingHost &host, CallHandlerPage &page, QObject *parent)
    : HandlerPageEditing(host, page.editLock(), ShownCallHandler, parent), m_page(page)
{
    attachProfile();
    for (int i = 0; i < CallHandlerPage::kTransferRuleCount; ++i)
        attachTransferRule(i);
    for (int i = 0; i < CallHandlerPage::kGreetingCount; ++i) {
        attachGreeting(i, page.greetings[size_t(i)].common,
                       {[this](int k) { chkHandlerGreetingEnabled_Click(k); },
                        [this](int k) { chkHandlerGreetingAllowUserInput_Click(k); },
                        [this](int k) { cmbHandlerGreetingRepeat_Click(k); },
                        [this](int k) { cmbHandlerGreetingSource_Click(k); }});
        attachGreetingExpiry(i);
    }
    attachMessageSettings(page.messages, {[this](bool *cancel) { txtHandlerMessagesMaxMessageLength_Validate(cancel); },
                                          [this] { chkHandlerMessagesCanEditMessages_Click(); },
                                          [this] { cmbHandlerMessagesCanMarkUrgent_Click(); }});
    attachKeyLocks(page.cmdCallHandlerLockAllKeys, page.cmdCallHandlerUnlockAllKeys,
                   [this] { cmdCallHandlerLockAllKeys_Click(); }, [this] { cmdCallHandlerUnlockAllKeys_Click(); });
}

void CallHandlerEditing::attachProfile()
{
    CallHandlerPage &p = m_page;
    for (QWidget *control : {static_cast<QWidget *>(p.txtHandlerProfileDisplayName),
                             static_cast<QWidget *>(p.txtHandlerProfileExtension),
                             static_cast<QWidget *>(p.cmbHandlerProfileLanguage),
                             static_cast<QWidget *>(p.cmbHandlerProfileSchedule)})
        release(control);
    m_memory->watch(p.cmbHandlerProfileLanguage);
    connect(p.txtHandlerProfileDisplayName, &platform::ValidatingLineEdit::validating, this,
            &CallHandlerEditing::txtHandlerProfileDisplayName_Validate);
    connect(p.txtHandlerProfileExtension, &platform::ValidatingLineEdit::validating, this,
            &CallHandlerEditing::txtHandlerProfileExtension_Validate);
    connect(p.cmbHandlerProfileLanguage, &QComboBox::activated, this, &CallHandlerEditing::cmbHandlerProfileLanguage_Click);
    whenLeft(p.cmbHandlerProfileSchedule, this, [this] { cmbHandlerProfileSchedule_Validate(); });
}

void CallHandlerEditing::attachTransferRule(int i)
{
    const CallHandlerPage::TransferRule &r = m_page.transferRules[size_t(i)];
    // The Standard rule is always on: its switch stays as the page shows it.
    if (i != 0)
        release(r.chkHandlerTransferEnabled);
    for (QWidget *control : {static_cast<QWidget *>(r.optHandlerTransferSendToGreeting),
                             static_cast<QWidget *>(r.optHandlerTransferAttemptRingPhone),
                             static_cast<QWidget *>(r.cmbHandlerTransferType),
                             static_cast<QWidget *>(r.txtHandlerTransferRingstoWait),
                             static_cast<QWidget *>(r.txtHandlerTransferString)})
        release(control);
    m_memory->watchPair(r.optHandlerTransferSendToGreeting, r.optHandlerTransferAttemptRingPhone);
    m_memory->watch(r.cmbHandlerTransferType);
    connect(r.chkHandlerTransferEnabled, &QCheckBox::clicked, this, [this, i] { chkHandlerTransferEnabled_Click(i); });
    connect(r.optHandlerTransferSendToGreeting, &QRadioButton::clicked, this,
            [this, i] { optHandlerTransferSendToGreeting_Click(i); });
    connect(r.optHandlerTransferAttemptRingPhone, &QRadioButton::clicked, this,
            [this, i] { optHandlerTransferAttemptRingPhone_Click(i); });
    connect(r.cmbHandlerTransferType, &QComboBox::activated, this, [this, i] { cmbHandlerTransferType_Click(i); });
    connect(r.txtHandlerTransferRingstoWait, &platform::ValidatingLineEdit::validating, this,
            [this, i](bool *cancel) { txtHandlerTransferRingstoWait_Validate(i, cancel); });
    connect(r.txtHandlerTransferString, &platform::ValidatingLineEdit::validating, this,
            [this, i](bool *cancel) { txtHandlerTransferString_Validate(i, cancel); });
}

void CallHandlerEditing::attachGreetingExpiry(int i)
{
    const CallHandlerPage::Greeting &g = m_page.greetings[size_t(i)];
    for (QWidget *control : {static_cast<QWidget *>(g.optExpireGreetingNever),
                             static_cast<QWidget *>(g.optExpireGreetingOnDate),
                             static_cast<QWidget *>(g.dateGreetingExpire), static_cast<QWidget *>(g.timeGreetingExpire)})
        release(control);
    m_memory->watchPair(g.optExpireGreetingNever, g.optExpireGreetingOnDate);
    m_memory->watch(g.dateGreetingExpire);
    m_memory->watch(g.timeGreetingExpire);
    // A date being typed is one change, not one per digit.
    g.dateGreetingExpire->setKeyboardTracking(false);
    g.timeGreetingExpire->setKeyboardTracking(false);
    connect(g.optExpireGreetingNever, &QRadioButton::clicked, this, [this, i] { optExpireGreetingNever_Click(i); });
    connect(g.optExpireGreetingOnDate, &QRadioButton::clicked, this, [this, i] { optExpireGreetingOnDate_Click(i); });
    connect(g.dateGreetingExpire, &QDateTimeEdit::dateTimeChanged, this, [this, i] { dateGreetingExpire_Change(i); });
    connect(g.timeGreetingExpire, &QDateTimeEdit::dateTimeChanged, this, [this, i] { timeGreetingExpire_Change(i); });
}

// --- profile -----------------------------------------------------------------

void CallHandlerEditing::txtHandlerProfileDisplayName_Validate(bool *)
{
    validateProfileField(m_host, m_page.txtHandlerProfileDisplayName,
                         {ProfileField::Kind::DisplayName, ShownCallHandler, QStringLiteral("sp_ModifyCallHandler"),
                          QStringLiteral("CallHandlerObjectID"), QStringLiteral("CallHandler")},
                         m_host.CurrentlySelectedObject().ObjectID);
}

void CallHandlerEditing::txtHandlerProfileExtension_Validate(bool *)
{
    validateProfileField(m_host, m_page.txtHandlerProfileExtension,
                         {ProfileField::Kind::Extension, ShownCallHandler, QStringLiteral("sp_ModifyCallHandler"),
                          QStringLiteral("CallHandlerObjectID"), QStringLiteral("CallHandler")},
                         m_host.CurrentlySelectedObject().ObjectID);
}

void CallHandlerEditing::cmbHandlerProfileLanguage_Click()
{
    languageChanged(m_page.cmbHandlerProfileLanguage, QStringLiteral("sp_ModifyCallHandler"),
                    QStringLiteral("CallHandlerObjectID"), QStringLiteral("CallHandler"));
}

void CallHandlerEditing::cmbHandlerProfileSchedule_Validate()
{
    scheduleChanged(m_page.cmbHandlerProfileSchedule, QStringLiteral("CallHandler"), true);
}

// --- transfer rules ----------------------------------------------------------

bool CallHandlerEditing::UpdateCurrentContactRule(int index)
{
    if (index < 0 || index >= CallHandlerPage::kTransferRuleCount)
        return quillor::UpdateCurrentContactRule(m_host, index, {});
    const CallHandlerPage::TransferRule &r = m_page.transferRules[size_t(index)];
    return quillor::UpdateCurrentContactRule(
        m_host, index,
        {r.chkHandlerTransferEnabled->isChecked(), r.optHandlerTransferAttemptRingPhone->isChecked(),
         storedPosition(r.cmbHandlerTransferType), platform::checkedText(r.txtHandlerTransferRingstoWait),
         platform::checkedText(r.txtHandlerTransferString)});
}

void CallHandlerEditing::applyRingPhoneState(int i)
{
    const CallHandlerPage::TransferRule &r = m_page.transferRules[size_t(i)];
    const bool editable = r.chkHandlerTransferEnabled->isChecked() && !r.optHandlerTransferSendToGreeting->isChecked();
    for (QWidget *field : {static_cast<QWidget *>(r.cmbHandlerTransferType),
                           static_cast<QWidget *>(r.txtHandlerTransferRingstoWait),
                           static_cast<QWidget *>(r.txtHandlerTransferString)})
        m_lock.setUsable(field, editable);
}

void CallHandlerEditing::applyTransferSwitch(int i)
{
    const CallHandlerPage::TransferRule &r = m_page.transferRules[size_t(i)];
    const bool on = r.chkHandlerTransferEnabled->isChecked();
    m_lock.setUsable(r.optHandlerTransferAttemptRingPhone, on);
    m_lock.setUsable(r.optHandlerTransferSendToGreeting, on);
    applyRingPhoneState(i);
}

bool CallHandlerEditing::refillTransferRule(int i)
{
    const CallHandlerPage::TransferRule &r = m_page.transferRules[size_t(i)];
    const platform::Recordset rule =
        openContactRule(m_host, contactRuleAlias(i), QStringLiteral("chkHandlerTransferEnabled_Click"));
    if (!rule.isOpen())
        return false;
    // As the page shows the stored rule.
    showStoredTransfer(rule, r.cmbHandlerTransferType, r.optHandlerTransferAttemptRingPhone,
                       r.optHandlerTransferSendToGreeting);
    const QString rings = rule.text(QStringLiteral("TransferRings")).trimmed();
    r.txtHandlerTransferRingstoWait->setText(rings.isEmpty() ? QStringLiteral("4") : rings);
    const QString stored = rule.text(QStringLiteral("Extension"));
    const QString own = platform::checkedText(m_page.txtHandlerProfileExtension);
    r.txtHandlerTransferString->setText(!stored.isEmpty() ? stored : own.isEmpty() ? QStringLiteral("0") : own);
    return true;
}

void CallHandlerEditing::chkHandlerTransferEnabled_Click(int index)
{
    if (loading() || index < 0 || index >= CallHandlerPage::kTransferRuleCount)
        return;
    const CallHandlerPage::TransferRule &r = m_page.transferRules[size_t(index)];
    QCheckBox *box = r.chkHandlerTransferEnabled;
    // What a switch-on fills in, as shown before it.
    m_memory->remember(r.cmbHandlerTransferType);
    m_memory->remember(r.optHandlerTransferSendToGreeting);
    const QString rings = r.txtHandlerTransferRingstoWait->text();
    const QString transferString = r.txtHandlerTransferString->text();
    bool written = false;
    if (!box->isChecked() || refillTransferRule(index)) {
        applyTransferSwitch(index);
        written = UpdateCurrentContactRule(index);
    }
    if (!written) {
        // Nothing changed on the server: nor does the rule's switch, nor anything it filled in.
        box->setChecked(!box->isChecked());
        m_memory->restore(r.cmbHandlerTransferType);
        m_memory->restore(r.optHandlerTransferSendToGreeting);
        r.txtHandlerTransferRingstoWait->setText(rings);
        r.txtHandlerTransferString->setText(transferString);
        applyTransferSwitch(index);
        return;
    }
    setTag(box, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    setTag(r.txtHandlerTransferRingstoWait, r.txtHandlerTransferRingstoWait->text());
    setTag(r.txtHandlerTransferString, r.txtHandlerTransferString->text());
}

void CallHandlerEditing::optHandlerTransferSendToGreeting_Click(int index)
{
    if (loading() || index < 0 || index >= CallHandlerPage::kTransferRuleCount)
        return;
    applyRingPhoneState(index);
    if (UpdateCurrentContactRule(index))
        return;
    m_memory->restore(m_page.transferRules[size_t(index)].optHandlerTransferSendToGreeting);
    applyRingPhoneState(index);
}

void CallHandlerEditing::optHandlerTransferAttemptRingPhone_Click(int index) { optHandlerTransferSendToGreeting_Click(index); }

void CallHandlerEditing::cmbHandlerTransferType_Click(int index)
{
    ruleControlChanged(m_page.transferRules[size_t(index)].cmbHandlerTransferType,
                       [this, index] { return UpdateCurrentContactRule(index); });
}

void CallHandlerEditing::txtHandlerTransferRingstoWait_Validate(int index, bool *cancel)
{
    platform::ValidatingLineEdit *box = m_page.transferRules[size_t(index)].txtHandlerTransferRingstoWait;
    ruleBoxValidate(box, cancel, true, MyIsNumber(box->text(), 1, 10), kRingsRefused, QStringLiteral("4"),
                    [this, index] { return UpdateCurrentContactRule(index); });
}

void CallHandlerEditing::txtHandlerTransferString_Validate(int index, bool *cancel)
{
    platform::ValidatingLineEdit *box = m_page.transferRules[size_t(index)].txtHandlerTransferString;
    ruleBoxValidate(box, cancel, true, myIsDialableString(box->text(), false), kTransferStringRefused, {},
                    [this, index] { return UpdateCurrentContactRule(index); });
}

// --- greetings ---------------------------------------------------------------

bool CallHandlerEditing::UpdateCurrentHandlerMessageRule(int index)
{
    if (index < 0 || index >= CallHandlerPage::kGreetingCount)
        return quillor::UpdateCurrentHandlerMessageRule(m_host, index, {});
    const CallHandlerPage::Greeting &g = m_page.greetings[size_t(index)];
    GreetingInput in = greetingInput(g.common);
    in.neverExpires = g.optExpireGreetingNever->isChecked();
    in.expiryDate = g.dateGreetingExpire->date();
    in.expiryTime = g.timeGreetingExpire->time();
    return quillor::UpdateCurrentHandlerMessageRule(m_host, index, in);
}

void CallHandlerEditing::applyGreetingEnabledState(int index) { m_page.applyGreetingEnabledState(index); }

void CallHandlerEditing::chkHandlerGreetingEnabled_Click(int index)
{
    greetingSwitched(index, m_page.greetings[size_t(index)].chkHandlerGreetingEnabled);
}

void CallHandlerEditing::chkHandlerGreetingAllowUserInput_Click(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].chkHandlerGreetingAllowUserInput);
}

void CallHandlerEditing::cmbHandlerGreetingRepeat_Click(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].cmbHandlerGreetingRepeat);
}

void CallHandlerEditing::cmbHandlerGreetingSource_Click(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].cmbHandlerGreetingSource);
}

void CallHandlerEditing::optExpireGreetingNever_Click(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].optExpireGreetingNever);
}

void CallHandlerEditing::optExpireGreetingOnDate_Click(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].optExpireGreetingOnDate);
}

void CallHandlerEditing::dateGreetingExpire_Change(int index)
{
    if (loading())
        return;
    const CallHandlerPage::Greeting &g = m_page.greetings[size_t(index)];
    {
        // The time picker takes the new date at its own time of day, as one change.
        const QSignalBlocker quiet(g.timeGreetingExpire);
        setLocalFields(g.timeGreetingExpire, QDateTime(g.dateGreetingExpire->date(), g.timeGreetingExpire->time()));
    }
    if (UpdateCurrentHandlerMessageRule(index))
        return;
    m_memory->restore(g.dateGreetingExpire);
    m_memory->restore(g.timeGreetingExpire);
}

void CallHandlerEditing::timeGreetingExpire_Change(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].timeGreetingExpire);
}

// --- messages and keys -------------------------------------------------------

bool CallHandlerEditing::UpdateCurrentCallHandlerMessageSettings()
{
    return quillor::UpdateCurrentCallHandlerMessageSettings(m_host, messageSettingsInput(m_page.messages));
}

void CallHandlerEditing::txtHandlerMessagesMaxMessageLength_Validate(bool *)
{
    maxMessageLengthValidate(m_page.txtHandlerMessagesMaxMessageLength);
}

void CallHandlerEditing::chkHandlerMessagesCanEditMessages_Click()
{
    messageSettingChanged(m_page.chkHandlerMessagesCanEditMessages);
}

void CallHandlerEditing::cmbHandlerMessagesCanMarkUrgent_Click()
{
    messageSettingChanged(m_page.cmbHandlerMessagesCanMarkUrgent);
}

void CallHandlerEditing::cmdCallHandlerLockAllKeys_Click() { lockAllKeys(m_page.gridHandlerKeys, true); }

void CallHandlerEditing::cmdCallHandlerUnlockAllKeys_Click() { lockAllKeys(m_page.gridHandlerKeys, false); }

} // namespace quillor
