#include "editing/subscriberediting.h"

#include "common/validators.h"
#include "details/controltag.h"
#include "details/editlock.h"
#include "details/subscriberpage.h"
#include "editing/contactrulewriter.h"
#include "editing/greetingwriter.h"
#include "editing/messagesettingswriter.h"
#include "editing/profilefields.h"
#include "platform/validatingedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

namespace quillor {

SubscriberEditing::SubscriberEditing(EditingHost &host, SubscriberPage &page, QObject *parent)
    : HandlerPageEditing(host, page.editLock(), ShownSubscriber, parent), m_page(page)
{
    attachProfile();
    attachTransferRule();
    for (int i = 0; i < SubscriberPage::kGreetingCount; ++i)
        attachGreeting(i, page.greetings[size_t(i)].common,
                       {[this](int k) { chkSubscriberGreetingEnabled_Click(k); },
                        [this](int k) { chkSubscriberGreetingAllowInput_Click(k); },
                        [this](int k) { cmbSubscriberGreetingsRepeat_Click(k); },
                        [this](int k) { cmbSubscriberGreetingSource_Click(k); }});
    attachMessageSettings(page.messages,
                          {[this](bool *cancel) { txtSubscriberMessagesMaxMessageLength_Validate(cancel); },
                           [this] { chkSubscriberMessagesCanEditMessages_Click(); },
                           [this] { cmbSubscriberMessagesCanMarkUrgent_Click(); }});
    attachKeyLocks(page.cmdSubscriberLockAllKeys, page.cmdSubscriberUnlockAllKeys,
                   [this] { cmdSubscriberLockAllKeys_Click(); }, [this] { cmdSubscriberUnlockAllKeys_Click(); });
}

void SubscriberEditing::attachProfile()
{
    SubscriberPage &p = m_page;
    for (QWidget *control : {static_cast<QWidget *>(p.txtSubscriberProfileExtension),
                             static_cast<QWidget *>(p.cmbSubscriberProfileLanguage),
                             static_cast<QWidget *>(p.cmbSubscriberProfileSchedule)})
        release(control);
    m_memory->watch(p.cmbSubscriberProfileLanguage);
    m_memory->watch(p.cmbSubscriberProfileSchedule);
    connect(p.txtSubscriberProfileExtension, &platform::ValidatingLineEdit::validating, this,
            &SubscriberEditing::txtSubscriberProfileExtension_Validate);
    connect(p.cmbSubscriberProfileLanguage, &QComboBox::activated, this, &SubscriberEditing::cmbSubscriberProfileLanguage_Click);
    connect(p.cmbSubscriberProfileSchedule, &QComboBox::activated, this, &SubscriberEditing::cmbSubscriberProfileSchedule_Click);
}

void SubscriberEditing::attachTransferRule()
{
    SubscriberPage &p = m_page;
    for (QWidget *control : {static_cast<QWidget *>(p.optSubscriberTransferAttemptToRingPhone),
                             static_cast<QWidget *>(p.optSubscriberTransferSendToGreeting),
                             static_cast<QWidget *>(p.cmbSubscriberTransferType),
                             static_cast<QWidget *>(p.txtSubscriberTransferRingsToWait),
                             static_cast<QWidget *>(p.txtSubscriberTransferString)})
        release(control);
    m_memory->watchPair(p.optSubscriberTransferAttemptToRingPhone, p.optSubscriberTransferSendToGreeting);
    m_memory->watch(p.cmbSubscriberTransferType);
    connect(p.optSubscriberTransferAttemptToRingPhone, &QRadioButton::clicked, this,
            &SubscriberEditing::optSubscriberTransferAttemptToRingPhone_Click);
    connect(p.optSubscriberTransferSendToGreeting, &QRadioButton::clicked, this,
            &SubscriberEditing::optSubscriberTransferSendToGreeting_Click);
    connect(p.cmbSubscriberTransferType, &QComboBox::activated, this, &SubscriberEditing::cmbSubscriberTransferType_Click);
    connect(p.txtSubscriberTransferRingsToWait, &platform::ValidatingLineEdit::validating, this,
            &SubscriberEditing::txtSubscriberTransferRingsToWait_Validate);
    connect(p.txtSubscriberTransferString, &platform::ValidatingLineEdit::validating, this,
            &SubscriberEditing::txtSubscriberTransferString_Validate);
}

// --- profile -----------------------------------------------------------------

void SubscriberEditing::txtSubscriberProfileExtension_Validate(bool *)
{
    // The subscriber's own row, keyed by its own ObjectID, and the one write
    // that asks for the directory to follow.
    validateProfileField(m_host, m_page.txtSubscriberProfileExtension,
                         {ProfileField::Kind::Extension, ShownSubscriber, QStringLiteral("sp_ModifySubscriber"),
                          QStringLiteral("SubscriberObjectID"), QStringLiteral("Subscriber"), true},
                         m_page.txtSubscriberObjectID->text());
}

void SubscriberEditing::cmbSubscriberProfileLanguage_Click()
{
    languageChanged(m_page.cmbSubscriberProfileLanguage, QStringLiteral("sp_ModifyCallHandler"),
                    QStringLiteral("CallHandlerObjectID"), QStringLiteral("Subscriber"));
}

void SubscriberEditing::cmbSubscriberProfileSchedule_Click()
{
    scheduleChanged(m_page.cmbSubscriberProfileSchedule, QStringLiteral("Subscriber"), false);
}

// --- transfer rule -----------------------------------------------------------

bool SubscriberEditing::UpdateCurrentSubscriberContactRule()
{
    return quillor::UpdateCurrentSubscriberContactRule(
        m_host, {true, m_page.optSubscriberTransferAttemptToRingPhone->isChecked(),
                 storedPosition(m_page.cmbSubscriberTransferType), platform::checkedText(m_page.txtSubscriberTransferRingsToWait),
                 platform::checkedText(m_page.txtSubscriberTransferString)});
}

void SubscriberEditing::applyRingPhoneState()
{
    const bool ringPhone = m_page.optSubscriberTransferAttemptToRingPhone->isChecked();
    for (QWidget *field : {static_cast<QWidget *>(m_page.cmbSubscriberTransferType),
                           static_cast<QWidget *>(m_page.txtSubscriberTransferRingsToWait),
                           static_cast<QWidget *>(m_page.txtSubscriberTransferString)})
        m_lock.setUsable(field, ringPhone);
}

void SubscriberEditing::optSubscriberTransferAttemptToRingPhone_Click()
{
    if (loading())
        return;
    applyRingPhoneState();
    if (UpdateCurrentSubscriberContactRule())
        return;
    m_memory->restore(m_page.optSubscriberTransferAttemptToRingPhone);
    applyRingPhoneState();
}

void SubscriberEditing::optSubscriberTransferSendToGreeting_Click() { optSubscriberTransferAttemptToRingPhone_Click(); }

void SubscriberEditing::cmbSubscriberTransferType_Click()
{
    ruleControlChanged(m_page.cmbSubscriberTransferType, [this] { return UpdateCurrentSubscriberContactRule(); });
}

void SubscriberEditing::txtSubscriberTransferRingsToWait_Validate(bool *cancel)
{
    platform::ValidatingLineEdit *box = m_page.txtSubscriberTransferRingsToWait;
    ruleBoxValidate(box, cancel, false, MyIsNumber(box->text(), 1, 10),
                    QStringLiteral("The rings to wait must be a number between 1 and 10"), QStringLiteral("4"),
                    [this] { return UpdateCurrentSubscriberContactRule(); });
}

void SubscriberEditing::txtSubscriberTransferString_Validate(bool *cancel)
{
    platform::ValidatingLineEdit *box = m_page.txtSubscriberTransferString;
    ruleBoxValidate(box, cancel, false, myIsDialableString(box->text(), false),
                    QStringLiteral("The transfer string can contain 0-9, '*', ',' and '#' characters only"), {},
                    [this] { return UpdateCurrentSubscriberContactRule(); });
}

// --- greetings, messages, keys -------------------------------------------------

bool SubscriberEditing::UpdateCurrentSubscriberMessageRule(int index)
{
    if (index < 0 || index >= SubscriberPage::kGreetingCount)
        return quillor::UpdateCurrentSubscriberMessageRule(m_host, index, {});
    return quillor::UpdateCurrentSubscriberMessageRule(m_host, index, greetingInput(m_page.greetings[size_t(index)].common));
}

void SubscriberEditing::applyGreetingEnabledState(int index) { m_page.applyGreetingEnabledState(index); }

void SubscriberEditing::chkSubscriberGreetingEnabled_Click(int index)
{
    greetingSwitched(index, m_page.greetings[size_t(index)].chkSubscriberGreetingEnabled);
}

void SubscriberEditing::chkSubscriberGreetingAllowInput_Click(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].chkSubscriberGreetingAllowInput);
}

void SubscriberEditing::cmbSubscriberGreetingsRepeat_Click(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].cmbSubscriberGreetingsRepeat);
}

void SubscriberEditing::cmbSubscriberGreetingSource_Click(int index)
{
    greetingChanged(index, m_page.greetings[size_t(index)].cmbSubscriberGreetingSource);
}

bool SubscriberEditing::UpdateCurrentSubscriberMessageSettings()
{
    return quillor::UpdateCurrentSubscriberMessageSettings(m_host, messageSettingsInput(m_page.messages));
}

void SubscriberEditing::txtSubscriberMessagesMaxMessageLength_Validate(bool *)
{
    maxMessageLengthValidate(m_page.txtSubscriberMessagesMaxMessageLength);
}

void SubscriberEditing::chkSubscriberMessagesCanEditMessages_Click()
{
    messageSettingChanged(m_page.chkSubscriberMessagesCanEditMessages);
}

void SubscriberEditing::cmbSubscriberMessagesCanMarkUrgent_Click()
{
    messageSettingChanged(m_page.cmbSubscriberMessagesCanMarkUrgent);
}

void SubscriberEditing::cmdSubscriberLockAllKeys_Click() { lockAllKeys(m_page.gridSubscriberKeys, true); }

void SubscriberEditing::cmdSubscriberUnlockAllKeys_Click() { lockAllKeys(m_page.gridSubscriberKeys, false); }

} // namespace quillor
