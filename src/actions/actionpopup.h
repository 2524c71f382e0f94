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

class QAction;
class QMenu;
class QWidget;

namespace quillor {

class AppContext;
class CallHandlerPage;
class KeyGridWidget;
class Pickers;

class ActionPopup : public QObject {
    Q_OBJECT
public:
    // `shown` is the window's CurrentlySelectedObject; the menu becomes a child of `window`.
    ActionPopup(AppContext &ctx, const SelectedObject &shown, Pickers &pickers, QWidget *window);

    QMenu *PopupAction() const { return m_menu; }
    QAction *entry(int popupEntry) const { return m_entries[size_t(popupEntry)]; }
    // The page of tabInfoTab on show (the subscriber page offers more).
    void setDetailPageSource(std::function<int()> source) { m_detailPage = std::move(source); }

    // Connects a page's Set buttons and key grid to their openers.
    void attachCallHandlerPage(CallHandlerPage &page);

    // The slot the popup was last opened on.
    const RoutingSlot &slot() const { return m_slot; }

    // --- openers
    void ShowAfterGreetingActionMenu(qint16 Index);
    void ShowAfterMessageActionMenu();
    void cmbHandlerGreetingChangeAfterGreetingAction_Click(qint16 Index) { ShowAfterGreetingActionMenu(Index); }
    void cmdHandlerSetAfterMessageAction_Click() { ShowAfterMessageActionMenu(); }
    void gridHandlerKeys_DblClick();
    // Only the right button acts: it makes the key under the pointer current
    // and opens the popup as a double-click would.
    void gridHandlerKeys_MouseDown(Qt::MouseButton button, const QPoint &pos);

    // --- commands
    void PopupActionSendToSubscriber_Click();
    void PopupActionAttemptToRingPhone_Click();
    void PopupActionSendToGreeting_Click();
    void PopupActionLockKey_Click();

signals:
    // The detail tab must show the stored state of the shown object again.
    void reloadRequested();
    // The tree rows that show this object need their links rebuilt.
    void treeRowsChanged(const QString &objectId);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What an opener reads of its slot.
    struct SlotQuery {
        QString procedure; // named in error reports
        QString sql;
        QVariantList params;
        QString prefix; // the columns are prefix + "Action", "Conversation", "ObjectIDType", "ObjectID"
        bool menuEntry = false; // menu entries and greetings name them differently, and have a lock
        QString notFound;
    };
    // Reads the slot's current action; when its row is found, records `slot`
    // (the opener's code included), prepares the menu and pops it up.
    void openSlot(const SlotQuery &query, RoutingSlot slot, qint16 iActionType);
    void keyGridOpener(KeyGridWidget *grid, const QString &procedure, const QString &ownerWord);
    void applyMenuState();
    void setTick(int popupEntry, bool ticked);
    void dispatch(QAction *chosen);
    // Writes an action to the recorded slot, then has the tree and the tab follow.
    void applyAction(qint16 iAction, const QString &conversation, const QString &destination, qint16 destinationType);
    void ringPhonePair(PopupEntry clicked);
    KeyGridWidget *keyGridOf(const QObject *viewport) const;

    AppContext &m_ctx;
    const SelectedObject &m_shown;
    Pickers &m_pickers;
    QMenu *m_menu = nullptr;
    std::array<QAction *, PopupEntryCount> m_entries{};
    std::function<int()> m_detailPage;
    PopupState m_state;
    RoutingSlot m_slot;
    QPointer<CallHandlerPage> m_handlerPage;
};

} // namespace quillor
