#pragma once
// The "Subscriber" page of the detail pane: profile, the one transfer rule
// ("Alternate"), the six greetings, message settings, the conversation exit
// and the one-key menu of one subscriber, each control under the name the edit
// handlers look it up by. A subscriber is reached through its primary call
// handler, which holds most of what the page shows.

#include "details/detailpage.h"
#include "details/pagebuild.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace quillor {

class AppContext;
class KeyGridWidget;
class UpDownControl;

class SubscriberPage : public DetailPage {
    Q_OBJECT
public:
    // Greeting controls by index: 0 Standard, 1 Off Hours, 2 Busy,
    // 3 Alternate, 4 Internal, 5 Error. No greeting of a subscriber shows an expiry.
    struct Greeting {
        QWidget *frameSubscriberGreetingInfo = nullptr;
        QCheckBox *chkSubscriberGreetingEnabled = nullptr;
        QCheckBox *chkSubscriberGreetingAllowInput = nullptr;
        QLineEdit *txtSubscriberGreetingAfterGreetingAction = nullptr;
        QPushButton *cmdSubscriberGreetingChangeAfterGreetingAction = nullptr;
        QComboBox *cmbSubscriberGreetingSource = nullptr;
        QComboBox *cmbSubscriberGreetingsRepeat = nullptr;
        QLineEdit *txtSubscriberGreetingStreamPath = nullptr;
        QLineEdit *txtSubscriberGreetingObjectID = nullptr; // hidden
        GreetingControls common;
    };
    static constexpr int kGreetingCount = 6;

    explicit SubscriberPage(QWidget *parent = nullptr);

    // Fills the page with the subscriber whose primary call handler is
    // `strPrimaryCallHandlerObjectID` and makes it the shown object. False
    // when the handler or the subscriber was not found: the page is then
    // emptied and disabled and nothing is shown.
    bool load(AppContext &ctx, const QString &strPrimaryCallHandlerObjectID, SelectedObject &selected);

    // Makes greeting `index`'s controls usable as its check box says.
    void applyGreetingEnabledState(int index);

    QTabWidget *tabSubscriberDetails = nullptr;
    // One frame on each of the pages "Profile", "Transfer", "Greetings", "Messages".
    std::array<QWidget *, 4> frameSubscriberInfo{};

    // Profile
    QLineEdit *txtSubscriberProfileAlias = nullptr;
    QLineEdit *txtSubscriberProfileDisplayName = nullptr;
    platform::ValidatingLineEdit *txtSubscriberProfileExtension = nullptr;
    QComboBox *cmbSubscriberProfileLanguage = nullptr;
    QComboBox *cmbSubscriberProfileSchedule = nullptr;
    QLineEdit *txtSubscriberProfileCOS = nullptr;
    QLineEdit *txtSubscriberProfileSwitch = nullptr;
    QLineEdit *txtSubscriberProfileHomeServer = nullptr;
    QLineEdit *txtSubscriberObjectID = nullptr; // hidden: the subscriber's own ObjectID
    QLineEdit *txtSubscriberProfileDirectoryID = nullptr;

    // Transfer
    QRadioButton *optSubscriberTransferAttemptToRingPhone = nullptr;
    QRadioButton *optSubscriberTransferSendToGreeting = nullptr;
    QComboBox *cmbSubscriberTransferType = nullptr;
    platform::ValidatingLineEdit *txtSubscriberTransferRingsToWait = nullptr;
    platform::ValidatingLineEdit *txtSubscriberTransferString = nullptr;

    // Greetings
    QTabWidget *tabSubscriberGreetings = nullptr;
    std::array<Greeting, kGreetingCount> greetings;

    // Messages
    platform::ValidatingLineEdit *txtSubscriberMessagesMaxMessageLength = nullptr;
    QCheckBox *chkSubscriberMessagesCanEditMessages = nullptr;
    QComboBox *cmbSubscriberMessagesCanMarkUrgent = nullptr;
    QLineEdit *txtSubscriberMessagesAfterMessageAction = nullptr;
    QPushButton *cmdSubscriberMessagesChangeAfterMessageAction = nullptr;
    MessageControls messages;

    // Conversation
    QWidget *pageConversation = nullptr;
    QLineEdit *txtSubscriberConversationExitAction = nullptr;
    QPushButton *cmdSubscriberConversationExitAction = nullptr;

    // User input
    QWidget *pageUserInput = nullptr;
    KeyGridWidget *gridSubscriberKeys = nullptr;
    QSpinBox *txtSubscriberMillisecondsToWaitForAdditionalDigits = nullptr;
    UpDownControl *UpDown2 = nullptr;
    QPushButton *cmdSubscriberLockAllKeys = nullptr;
    QPushButton *cmdSubscriberUnlockAllKeys = nullptr;

private:
    QWidget *createProfilePage();
    QWidget *createTransferPage();
    QWidget *createGreetingsPage();
    QWidget *createMessagesPage();
    QWidget *createConversationPage();
    QWidget *createUserInputPage();

    void resetControls();
    void setGroupsEnabled(bool enabled);
};

} // namespace quillor
