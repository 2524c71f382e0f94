#pragma once
// The field handlers of the "Subscriber" page: each change is written at
// once, to the subscriber's primary call handler (its transfer rule,
// greetings, message settings, language, schedule and keys) or, for its
// extension, to the subscriber itself; one audit line each.

#include "editing/handlerpageediting.h"

namespace quillor {

class SubscriberPage;

class SubscriberEditing : public HandlerPageEditing {
    Q_OBJECT
public:
    SubscriberEditing(EditingHost &host, SubscriberPage &page, QObject *parent = nullptr);

    // Profile
    void txtSubscriberProfileExtension_Validate(bool *cancel);
    void cmbSubscriberProfileLanguage_Click();
    void cmbSubscriberProfileSchedule_Click();

    // The transfer rule ("Alternate")
    void optSubscriberTransferAttemptToRingPhone_Click();
    void optSubscriberTransferSendToGreeting_Click();
    void cmbSubscriberTransferType_Click();
    void txtSubscriberTransferRingsToWait_Validate(bool *cancel);
    void txtSubscriberTransferString_Validate(bool *cancel);

    // Greetings, by index: 0 Standard ... 5 Error
    void chkSubscriberGreetingEnabled_Click(int index);
    void chkSubscriberGreetingAllowInput_Click(int index);
    void cmbSubscriberGreetingsRepeat_Click(int index);
    void cmbSubscriberGreetingSource_Click(int index);

    // Messages
    void txtSubscriberMessagesMaxMessageLength_Validate(bool *cancel);
    void chkSubscriberMessagesCanEditMessages_Click();
    void cmbSubscriberMessagesCanMarkUrgent_Click();

    // User input
    void cmdSubscriberLockAllKeys_Click();
    void cmdSubscriberUnlockAllKeys_Click();

    // The writers, reading what the page shows.
    bool UpdateCurrentSubscriberContactRule();
    bool UpdateCurrentSubscriberMessageRule(int index);
    bool UpdateCurrentSubscriberMessageSettings();

private:
    bool writeGreeting(int index) override { return UpdateCurrentSubscriberMessageRule(index); }
    bool writeMessageSettings() override { return UpdateCurrentSubscriberMessageSettings(); }
    void applyGreetingEnabledState(int index) override;

    void attachProfile();
    void attachTransferRule();
    // The type, rings and transfer string can be changed only when the phone is rung.
    void applyRingPhoneState();

    SubscriberPage &m_page;
};

} // namespace quillor
