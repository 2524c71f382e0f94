#pragma once
// The owner of call handlers, interview handlers and name lookup handlers and
// the message recipient of the first two (subscribers have neither). The
// button beside each box pops up PopupOwnerRecipient with the kind of the
// present owner or recipient ticked and records in bChangeOwner which of the
// two it is for; the entry chosen lets the administrator pick a subscriber or
// a distribution list, which is written to the shown object.

#include <QObject>
#include <QString>

class QAction;
class QLineEdit;
class QMenu;

namespace quillor {

class CallHandlerPage;
class EditingHost;
class InterviewerPage;
class NameLookupHandlerPage;
class PickerDialog;
class Pickers;

// The entry of the popup that made the pick.
enum class OwnerEntry { Subscriber, DistributionList };

struct OwnerPick {
    QString objectId;    // the subscriber's own ObjectID, or the list's SystemDListObjectID
    QString displayName;
};

// Writes `pick` as the owner (bChangeOwner) or the message recipient of the
// shown object, with its audit line, and loads its page again. A call handler
// or name lookup handler is written through its procedure, an interview
// handler straight into its row.
void writeOwnerOrRecipient(EditingHost &host, bool bChangeOwner, OwnerEntry entry, const OwnerPick &pick);

class OwnerRecipientChoice : public QObject {
    Q_OBJECT
public:
    struct Popup {
        QMenu *PopupOwnerRecipient;
        QAction *PopupOwnerRecipientSubscriber;
        QAction *PopupOwnerRecipientDistributionList;
    };
    OwnerRecipientChoice(EditingHost &host, Pickers &pickers, Popup popup, CallHandlerPage &callHandler,
                         InterviewerPage &interviewer, NameLookupHandlerPage &nameLookup, QObject *parent = nullptr);

    void cmdHandlerChangeOwner_Click();
    void cmdHandlerMessagesChangeRecipient_Click();
    void cmdChangeDirectoryHandlerOwner_Click();
    void cmdInterviewerProfileSetOwner_Click();
    void cmdInterviewerProfileSetRecipient_Click();
    void PopupOwnerRecipientSubscriber_Click();
    void PopupOwnerRecipientDistributionList_Click();

private:
    // Ticks the entry of the kind `box`'s Tag holds, records whose column the
    // popup writes and pops it up at the pointer.
    void popUp(const QLineEdit *box, bool bChangeOwner);
    // Shows `picker`; a pick (`pickedId`, read when it has closed) is written.
    void pickAndWrite(PickerDialog &picker, OwnerEntry entry, const QString &pickedId);

    EditingHost &m_host;
    Pickers &m_pickers;
    Popup m_popup;
    CallHandlerPage &m_callHandler;
    InterviewerPage &m_interviewer;
    NameLookupHandlerPage &m_nameLookup;
};

} // namespace quillor
