#pragma once
// The "Call Handler" page of the detail pane: profile, the three transfer
// rules, the six greetings, message settings and the one-key menu of one call
// handler, each control under the name the edit handlers look it up by.

#include "details/detailpage.h"
#include "details/pagebuild.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace quillor {

namespace platform {
class ValidatingLineEdit;
}

class AppContext;
class KeyGridWidget;
class UpDownControl;

class CallHandlerPage : public DetailPage {
    Q_OBJECT
public:
    // Transfer rule controls by index: 0 Standard, 1 Off Hours, 2 Alternate
    // (shown on the pages "Standard", "Closed" and "Alternate").
    struct TransferRule {
        QWidget *frameHandlerTransferInfo = nullptr;
        QCheckBox *chkHandlerTransferEnabled = nullptr;
        QRadioButton *optHandlerTransferSendToGreeting = nullptr;
        QRadioButton *optHandlerTransferAttemptRingPhone = nullptr;
        platform::ValidatingLineEdit *txtHandlerTransferString = nullptr;
        platform::ValidatingLineEdit *txtHandlerTransferRingstoWait = nullptr;
        QComboBox *cmbHandlerTransferType = nullptr;
    };
    // Greeting controls by index: 0 Standard, 1 Off Hours, 2 Busy,
    // 3 Alternate, 4 Internal, 5 Error.
    struct Greeting {
        QWidget *frameHandlerGreetingInfo = nullptr;
        QCheckBox *chkHandlerGreetingEnabled = nullptr;
        QCheckBox *chkHandlerGreetingAllowUserInput = nullptr;
        QLineEdit *txtHandlerGreetingsAfterGreetingAction = nullptr;
        QPushButton *cmbHandlerGreetingChangeAfterGreetingAction = nullptr;
        QComboBox *cmbHandlerGreetingSource = nullptr;
        QComboBox *cmbHandlerGreetingRepeat = nullptr;
        QLineEdit *txtCallHandlerGreetingStreamPath = nullptr;
        QLineEdit *txtHandlerGreetingObjectID = nullptr;   // hidden
        QLineEdit *txtHandlerGreetingStreamPath = nullptr; // hidden
        QGroupBox *frameExpireGreeting = nullptr;
        QRadioButton *optExpireGreetingNever = nullptr;
        QRadioButton *optExpireGreetingOnDate = nullptr;
        QDateTimeEdit *dateGreetingExpire = nullptr;
        QDateTimeEdit *timeGreetingExpire = nullptr;
        // The controls every greeting has, as the shared fill uses them.
        GreetingControls common;
    };

    static constexpr int kTransferRuleCount = 3;
    static constexpr int kGreetingCount = 6;

    explicit CallHandlerPage(QWidget *parent = nullptr);

    // Fills the page with one call handler and makes it the shown object.
    // False when the handler was not found (or could not be read): the page
    // is then emptied and disabled and nothing is shown.
    bool load(AppContext &ctx, const QString &strObjectID, SelectedObject &selected);

    // Makes greeting `index`'s controls usable as its check box says.
    void applyGreetingEnabledState(int index);

    QTabWidget *tabHandlerInfo = nullptr;

    // Profile
    platform::ValidatingLineEdit *txtHandlerProfileDisplayName = nullptr;
    QLineEdit *txtHandlerProfileAlias = nullptr;
    QLineEdit *txtHandlerProfileOwner = nullptr;
    QPushButton *cmdHandlerChangeOwner = nullptr;
    QComboBox *cmbHandlerProfileLanguage = nullptr;
    platform::ValidatingLineEdit *txtHandlerProfileExtension = nullptr;
    QComboBox *cmbHandlerProfileSchedule = nullptr;
    QLineEdit *txtHandlerProfileSwitch = nullptr;

    // Transfer and greetings
    QTabWidget *tabHandlerTransferInfo = nullptr;
    std::array<TransferRule, kTransferRuleCount> transferRules;
    QTabWidget *tabHandlerGreetingInfo = nullptr;
    std::array<Greeting, kGreetingCount> greetings;

    // Messages
    QWidget *pageMessages = nullptr;
    QLineEdit *txtHandlerMessagesRecipient = nullptr;
    QPushButton *cmdHandlerMessagesChangeRecipient = nullptr;
    platform::ValidatingLineEdit *txtHandlerMessagesMaxMessageLength = nullptr;
    QCheckBox *chkHandlerMessagesCanEditMessages = nullptr;
    QComboBox *cmbHandlerMessagesCanMarkUrgent = nullptr;
    QLineEdit *txtHandlerMessagesAfterMessageAction = nullptr;
    QPushButton *cmdHandlerSetAfterMessageAction = nullptr;
    MessageControls messages;

    // User input
    QWidget *pageUserInput = nullptr;
    KeyGridWidget *gridHandlerKeys = nullptr;
    QSpinBox *txtCallHandlerMillisecondsToWaitForAdditionalDigits = nullptr;
    UpDownControl *UpDown1 = nullptr;
    QPushButton *cmdCallHandlerLockAllKeys = nullptr;
    QPushButton *cmdCallHandlerUnlockAllKeys = nullptr;

private:
    QWidget *createProfilePage();
    QWidget *createTransferPage();
    QWidget *createGreetingsPage();
    QWidget *createMessagesPage();
    QWidget *createUserInputPage();
    void createTransferRule(int index, QWidget *page);
    void createGreeting(int index, QWidget *page);

    // Every control back to empty, nothing selected, no Tag and no hidden
    // ObjectID, so nothing of the previous handler can be shown or written.
    void resetControls();
    void setRuleGroupsEnabled(bool enabled);
};

} // namespace quillor
