#pragma once
// The field handlers of the "Call Handler" page: each change of a field is
// written to the shown call handler at once, with one audit line. The
// handlers carry the names the system knows them by; a control array's
// handler takes the element's index.

#include "editing/handlerpageediting.h"

namespace quillor {

class CallHandlerPage;
struct ContactRuleInput;

class CallHandlerEditing : public HandlerPageEditing {
    Q_OBJECT
public:
    CallHandlerEditing(EditingHost &host, CallHandlerPage &page, QObject *parent = nullptr);

    // Profile
    void txtHandlerProfileDisplayName_Validate(bool *cancel);
    void txtHandlerProfileExtension_Validate(bool *cancel);
    void cmbHandlerProfileLanguage_Click();
    void cmbHandlerProfileSchedule_Validate();

    // Transfer rules, by index: 0 Standard, 1 Off Hours, 2 Alternate
    void chkHandlerTransferEnabled_Click(int index);
    void optHandlerTransferSendToGreeting_Click(int index);
    void optHandlerTransferAttemptRingPhone_Click(int index);
    void cmbHandlerTransferType_Click(int index);
    void txtHandlerTransferRingstoWait_Validate(int index, bool *cancel);
    void txtHandlerTransferString_Validate(int index, bool *cancel);

    // Greetings, by index: 0 Standard ... 5 Error
    void chkHandlerGreetingEnabled_Click(int index);
    void chkHandlerGreetingAllowUserInput_Click(int index);
    void cmbHandlerGreetingRepeat_Click(int index);
    void cmbHandlerGreetingSource_Click(int index);
    void optExpireGreetingNever_Click(int index);
    void optExpireGreetingOnDate_Click(int index);
    void dateGreetingExpire_Change(int index);
    void timeGreetingExpire_Change(int index);

    // Messages
    void txtHandlerMessagesMaxMessageLength_Validate(bool *cancel);
    void chkHandlerMessagesCanEditMessages_Click();
    void cmbHandlerMessagesCanMarkUrgent_Click();

    // User input
    void cmdCallHandlerLockAllKeys_Click();
    void cmdCallHandlerUnlockAllKeys_Click();

    // The writers, reading what the page shows.
    bool UpdateCurrentContactRule(int index);
    bool UpdateCurrentHandlerMessageRule(int index);
    bool UpdateCurrentCallHandlerMessageSettings();

private:
    bool writeGreeting(int index) override { return UpdateCurrentHandlerMessageRule(index); }
    bool writeMessageSettings() override { return UpdateCurrentCallHandlerMessageSettings(); }
    void applyGreetingEnabledState(int index) override;

    void attachProfile();
    void attachTransferRule(int index);
    void attachGreetingExpiry(int index);
    // A rule's type, rings and transfer string can be changed only when it rings the phone.
    void applyRingPhoneState(int index);
    // A rule's five controls follow its switch.
    void applyTransferSwitch(int index);
    // Fills a rule that is switched on from its stored row, as the page loads it.
    bool refillTransferRule(int index);

    CallHandlerPage &m_page;
};

} // namespace quillor
