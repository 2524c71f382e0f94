#pragma once
// The action popup PopupAction: its openers (the "Set" buttons beside the
// routing fields and the one-key grids), which read the slot's current action
// from the server, record the slot and pop the menu up with the fitting
// entries shown and ticked; and its commands, which write the chosen action.
// The window connects reloadRequested (reload the detail tab) and
// treeRowsChanged (rebuild the tree rows of an object).

#include "actions/actionmenu.h"
#include "actions/setuseraction.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <functional>

class QAbstractButton;
class QAction;
class QMenu;
class QWidget;

namespace quillor {

class AppContext;
class CallHandlerPage;
class CreationDialog;
class CreationDialogs;
class DetailPage;
class InterviewerPage;
class KeyGridWidget;
class NameLookupHandlerPage;
class Pickers;
class SubscriberPage;

class ActionPopup : public QObject {
    Q_OBJECT
public:
    // `shown` is the window's CurrentlySelectedObject; the menu becomes a child of `window`.
    ActionPopup(AppContext &ctx, const SelectedObject &shown, Pickers &pickers, CreationDialogs &creation,
                QWidget *window);

    QMenu *PopupAction() const { return m_menu; }
    QAction *entry(int popupEntry) const { return m_entries[size_t(popupEntry)]; }
    // The page of tabInfoTab on show (the subscriber page offers more).
    void setDetailPageSource(std::function<int()> source) { m_detailPage = std::move(source); }

    // Connects a page's Set buttons and key grid to their openers.
    void attachCallHandlerPage(CallHandlerPage &page);
    void attachSubscriberPage(SubscriberPage &page);
    void attachInterviewerPage(InterviewerPage &page);
    void attachNameLookupHandlerPage(NameLookupHandlerPage &page);

    // The slot the popup was last opened on.
    const RoutingSlot &slot() const { return m_slot; }

    // --- openers
    void ShowAfterGreetingActionMenu(qint16 Index);
    void ShowAfterMessageActionMenu();
    void cmbHandlerGreetingChangeAfterGreetingAction_Click(qint16 Index) { ShowAfterGreetingActionMenu(Index); }
    void cmdSubscriberGreetingChangeAfterGreetingAction_Click(qint16 Index) { ShowAfterGreetingActionMenu(Index); }
    void cmdHandlerSetAfterMessageAction_Click() { ShowAfterMessageActionMenu(); }
    void cmdSubscriberMessagesChangeAfterMessageAction_Click() { ShowAfterMessageActionMenu(); }
    void cmdInterviewerProfileChangeAfterMessageAction_Click();
    void cmdSubscriberConversationExitAction_Click();
    void cmdDirectoryHandlerSetExit_Click() { nameLookupExitOpener(ExitExit); }
    void cmdDirectoryHandlerSetNoInputExit_Click() { nameLookupExitOpener(ExitNoInput); }
    void cmdDirectoryHandlerSetNoSelectionExit_Click() { nameLookupExitOpener(ExitNoSelection); }
    void cmdDirectoryHandlerSetZeroExit_Click() { nameLookupExitOpener(ExitZero); }
    // A double-click or right press on key row `row` (1-12), whether or not
    // its menu entry was found when the page was loaded.
    void gridHandlerKeys_DblClick(int row);
    void gridSubscriberKeys_DblClick(int row);
    void gridHandlerKeys_MouseDown(int row) { gridHandlerKeys_DblClick(row); }
    void gridSubscriberKeys_MouseDown(int row) { gridSubscriberKeys_DblClick(row); }

    // --- commands
    void PopupActionSendToSubscriber_Click();
    // A handler created or chosen in its creation dialog.
    void PopupActionSendToCallHandler_Click();
    void PopupActionSendToDirectoryHandler_Click();
    void PopupActionSendToInterviewer_Click();
    void PopupActionAttemptToRingPhone_Click();
    void PopupActionSendToGreeting_Click();
    void PopupActionLockKey_Click();

signals:
    // The detail tab must show the stored state of the shown object again.
    void reloadRequested();
    // The tree rows that show this object need their links rebuilt.
    void treeRowsChanged(const QString &objectId);
    // A creation dialog made a handler of the server's object type (3 call
    // handler, 5 interview handler, 6 name lookup handler).
    void handlerCreated(qint16 objectType);

private:
    // What an opener reads of its slot.
    struct SlotQuery {
        QString procedure; // named in error reports
        QString sql;
        QVariantList params;
        SlotColumns columns;
        QString notFound;
        // The column of the row's own ObjectID, when the page holds that row
        // (slot.rowObjectId): a row found under another ObjectID is not it.
        QString rowIdColumn;
    };
    // Reads the slot's current action; when its row is found, records `slot`
    // (the opener's code included), prepares the menu and pops it up. A row
    // other than the page's is not found: the page is loaded again.
    void openSlot(const SlotQuery &query, RoutingSlot slot, qint16 iActionType);
    void keyGridOpener(const KeyGridWidget *grid, int row, const QString &procedure, const QString &ownerWord);
    void nameLookupExitOpener(qint16 changeType);
    void afterMessageOpener(const QString &procedure, const QString &view, const QString &notFound);
    // The Set button of a page is usable from now on and opens its slot.
    template <typename Handler> void attachButton(DetailPage &page, QAbstractButton *button, Handler handler);
    void applyMenuState();
    void setTick(int popupEntry, bool ticked);
    void dispatch(QAction *chosen);
    // Writes an action to the recorded slot, then has the tree and the tab follow.
    void applyAction(qint16 iAction, const QString &conversation, const QString &destination, qint16 destinationType);
    void ringPhonePair(PopupEntry clicked);
    void sendToHandler(CreationDialog &dialog, const QString &conversation, qint16 destinationType);

    AppContext &m_ctx;
    const SelectedObject &m_shown;
    Pickers &m_pickers;
    CreationDialogs &m_creation;
    QMenu *m_menu = nullptr;
    std::array<QAction *, PopupEntryCount> m_entries{};
    std::function<int()> m_detailPage;
    PopupState m_state;
    RoutingSlot m_slot;
    QPointer<CallHandlerPage> m_handlerPage;
    QPointer<SubscriberPage> m_subscriberPage;
};

} // namespace quillor
