#pragma once
// What the call handler page's and the subscriber page's handlers share: the
// greetings, the message settings, the text boxes of a rule, the key locks,
// the language and schedule lists. Each page's class names its handlers as
// the system knows them and hands the work to these steps.

#include "editing/fieldwrite.h"

#include <QObject>

#include <functional>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QWidget;

namespace quillor {

namespace platform {
class ValidatingLineEdit;
}

class EditLock;
class KeyGridWidget;
struct GreetingControls;
struct MessageControls;
struct GreetingInput;
struct MessageSettingsInput;

class HandlerPageEditing : public QObject {
    Q_OBJECT
protected:
    HandlerPageEditing(EditingHost &host, EditLock &lock, qint16 objectType, QObject *parent);

    bool loading() const { return m_host.bLoadingControls(); }
    // Hands `control` to its handler: the page no longer keeps it from the user.
    void release(QWidget *control);

    // A greeting's switch: its controls follow it at once; the greeting is
    // written unless the page is being filled. A refused write puts the
    // switch back.
    void greetingSwitched(int index, QCheckBox *enabled);
    // Any other control of a greeting (a check box, a list, an expiry) changed:
    // the greeting is written, or the control shows what is stored again.
    void greetingChanged(int index, QWidget *control);
    // The same for the message settings.
    void messageSettingChanged(QWidget *control);
    // txt...MessagesMaxMessageLength_Validate: 1 to 3600 seconds, never empty.
    void maxMessageLengthValidate(platform::ValidatingLineEdit *box);

    // A text box of a transfer rule (rings, transfer string): compared with
    // its Tag as typed; `accepted` false shows `refusal`, puts the Tag back
    // and, with `keepFocus`, keeps the focus in the box; an empty box becomes
    // `whenEmpty` (when given) before `write`. The Tag takes what was written.
    void ruleBoxValidate(platform::ValidatingLineEdit *box, bool *cancel, bool keepFocus, bool accepted,
                         const QString &refusal, const QString &whenEmpty, const std::function<bool()> &write);
    // A list or option of a rule changed: `write`, or show the stored value again.
    void ruleControlChanged(QWidget *control, const std::function<bool()> &write);
    // What `control` showed before the user's change that was not written.
    void showStored(QWidget *control);

    // Lock All Keys and Unlock All Keys of the page's key grid.
    void lockAllKeys(const KeyGridWidget *grid, bool bLocked);

    // The profile's lists.
    void languageChanged(QComboBox *list, const QString &procedure, const QString &keyName, const QString &auditTable);
    void scheduleChanged(QComboBox *list, const QString &auditTable, bool compareTag);

    // Connects the controls every greeting and the message settings have to
    // the page's handlers of them.
    struct GreetingHandlers {
        std::function<void(int)> enabled, allowInput, repeat, source;
    };
    void attachGreeting(int index, const GreetingControls &g, const GreetingHandlers &handlers);
    struct MessageHandlers {
        std::function<void(bool *)> maxMessageLength;
        std::function<void()> canEditMessages, canMarkUrgent;
    };
    void attachMessageSettings(const MessageControls &m, const MessageHandlers &handlers);
    void attachKeyLocks(QAbstractButton *lockAll, QAbstractButton *unlockAll, std::function<void()> onLock,
                        std::function<void()> onUnlock);

    // The page's own writers and its switch of a greeting's controls.
    virtual bool writeGreeting(int index) = 0;
    virtual bool writeMessageSettings() = 0;
    virtual void applyGreetingEnabledState(int index) = 0;

    // What the shared controls show.
    static GreetingInput greetingInput(const GreetingControls &g);
    static MessageSettingsInput messageSettingsInput(const MessageControls &m);

    EditingHost &m_host;
    EditLock &m_lock;
    qint16 m_objectType;
    ControlMemory *m_memory;
};

} // namespace quillor
