#include "actions/actionpopup.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/formatting.h"
#include "common/module1.h"
#include "common/objectid.h"
#include "creation/creationdialogs.h"
#include "creation/frmmakenew.h"
#include "details/callhandlerpage.h"
#include "details/detailpage.h"
#include "details/interviewerpage.h"
#include "details/keygrid.h"
#include "details/namelookuppage.h"
#include "details/subscriberpage.h"
#include "pickers/frmpickers.h"
#include "pickers/pickerregistry.h"
#include "platform/seams.h"

#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace quillor {

using platform::msgBox;

namespace {

const QString kDontSet = QStringLiteral("[DontSet]");

void reportOpenerError(const platform::DbError &error, const QString &procedure)
{
    reportError(error.number, error.description, procedure, QStringLiteral("Form"), QStringLiteral("frmMain"));
}

} // namespace

ActionPopup::ActionPopup(AppContext &ctx, const SelectedObject &shown, Pickers &pickers, CreationDialogs &creation,
                         QWidget *window)
    : QObject(window), m_ctx(ctx), m_shown(shown), m_pickers(pickers), m_creation(creation)
{
    // Popped up at the pointer only, never shown in the menu bar.
    m_menu = new QMenu(QStringLiteral("PopupAction"), window);
    m_menu->setObjectName(QStringLiteral("PopupAction"));
    for (int i = 0; i < PopupEntryCount; ++i) {
        const PopupEntryInfo &info = popupEntryInfo(i);
        QAction *entry = info.caption ? m_menu->addAction(QString::fromLatin1(info.caption)) : m_menu->addSeparator();
        entry->setObjectName(QString::fromLatin1(info.name));
        m_entries[size_t(i)] = entry;
    }
}

template <typename Handler> void ActionPopup::attachButton(DetailPage &page, QAbstractButton *button, Handler handler)
{
    page.editLock().release(button);
    connect(button, &QAbstractButton::clicked, this, handler);
}

void ActionPopup::attachCallHandlerPage(CallHandlerPage &page)
{
    m_handlerPage = &page;
    for (int i = 0; i < CallHandlerPage::kGreetingCount; ++i)
        attachButton(page, page.greetings[size_t(i)].cmbHandlerGreetingChangeAfterGreetingAction,
                     [this, i] { cmbHandlerGreetingChangeAfterGreetingAction_Click(qint16(i)); });
    attachButton(page, page.cmdHandlerSetAfterMessageAction, [this] { cmdHandlerSetAfterMessageAction_Click(); });
    connect(page.gridHandlerKeys, &KeyGridWidget::keyDoubleClicked, this, [this](int row) { gridHandlerKeys_DblClick(row); });
    connect(page.gridHandlerKeys, &KeyGridWidget::keyRightPressed, this, [this](int row) { gridHandlerKeys_MouseDown(row); });
}

void ActionPopup::attachSubscriberPage(SubscriberPage &page)
{
    m_subscriberPage = &page;
    for (int i = 0; i < SubscriberPage::kGreetingCount; ++i)
        attachButton(page, page.greetings[size_t(i)].cmdSubscriberGreetingChangeAfterGreetingAction,
                     [this, i] { cmdSubscriberGreetingChangeAfterGreetingAction_Click(qint16(i)); });
    attachButton(page, page.cmdSubscriberMessagesChangeAfterMessageAction,
                 [this] { cmdSubscriberMessagesChangeAfterMessageAction_Click(); });
    attachButton(page, page.cmdSubscriberConversationExitAction, [this] { cmdSubscriberConversationExitAction_Click(); });
    connect(page.gridSubscriberKeys, &KeyGridWidget::keyDoubleClicked, this,
            [this](int row) { gridSubscriberKeys_DblClick(row); });
    connect(page.gridSubscriberKeys, &KeyGridWidget::keyRightPressed, this,
            [this](int row) { gridSubscriberKeys_MouseDown(row); });
}

void ActionPopup::attachInterviewerPage(InterviewerPage &page)
{
    attachButton(page, page.cmdInterviewerProfileChangeAfterMessageAction,
                 [this] { cmdInterviewerProfileChangeAfterMessageAction_Click(); });
}

void ActionPopup::attachNameLookupHandlerPage(NameLookupHandlerPage &page)
{
    attachButton(page, page.cmdDirectoryHandlerSetExit, [this] { cmdDirectoryHandlerSetExit_Click(); });
    attachButton(page, page.cmdDirectoryHandlerSetNoInputExit, [this] { cmdDirectoryHandlerSetNoInputExit_Click(); });
    attachButton(page, page.cmdDirectoryHandlerSetNoSelectionExit,
                 [this] { cmdDirectoryHandlerSetNoSelectionExit_Click(); });
    attachButton(page, page.cmdDirectoryHandlerSetZeroExit, [this] { cmdDirectoryHandlerSetZeroExit_Click(); });
}

// --- openers -----------------------------------------------------------------

void ActionPopup::ShowAfterGreetingActionMenu(qint16 Index)
{
    const QString alias = greetingRuleAlias(Index);
    if (alias.isEmpty()) {
        msgBox(QStringLiteral("Error!  Invalid control index passed into cmbHandlerGreetingChangeAfterGreetingAction "
                              "routine."));
        return;
    }
    RoutingSlot slot;
    slot.iActionTarget = TargetAfterGreeting;
    slot.greetingIndex = Index;
    // The greeting's own row, as the page holding the pressed button shows it.
    if (m_shown.ObjectType == 3 && m_handlerPage)
        slot.rowObjectId = m_handlerPage->greetings[size_t(Index)].txtHandlerGreetingObjectID->text();
    else if (m_shown.ObjectType == 1 && m_subscriberPage)
        slot.rowObjectId = m_subscriberPage->greetings[size_t(Index)].txtSubscriberGreetingObjectID->text();
    // A subscriber's greetings belong to its primary call handler, which is the ObjectID shown.
    openSlot({QStringLiteral("ShowAfterGreetingActionMenu"),
              QStringLiteral("SELECT * FROM vw_MessagingRule WHERE ParentObjectID = ? AND Alias = ?"),
              {normalizedObjectId(m_shown.ObjectID), alias}, SlotColumns::rule(),
              QStringLiteral("Error, could not find the menu entries with alias =") + alias
                  + QStringLiteral(" for the currently selected call handler"),
              QStringLiteral("MessagingRuleObjectID")},
             slot, AfterGreetingAction);
}

void ActionPopup::ShowAfterMessageActionMenu()
{
    // A subscriber's after-message action is its primary call handler's, whose ObjectID is the one shown.
    afterMessageOpener(QStringLiteral("ShowAfterMessageActionMenu"), QStringLiteral("CallHandler"),
                       QStringLiteral("Error, could not find the currently selected handler object with alias =")
                           + m_shown.Alias);
}

void ActionPopup::cmdInterviewerProfileChangeAfterMessageAction_Click()
{
    afterMessageOpener(QStringLiteral("cmdInterviewerProfileChangeAfterMessageAction_Click"),
                       QStringLiteral("InterviewHandler"),
                       QStringLiteral("Error, could not find the currently selected interview handler with alias =")
                           + m_shown.Alias);
}

void ActionPopup::afterMessageOpener(const QString &procedure, const QString &view, const QString &notFound)
{
    RoutingSlot slot;
    slot.iActionTarget = TargetAfterMessage;
    openSlot({procedure, QStringLiteral("SELECT * FROM vw_%1 WHERE %1ObjectID = ?").arg(view),
              {normalizedObjectId(m_shown.ObjectID)}, SlotColumns::prefixed(QStringLiteral("AfterMessage")), notFound, {}},
             slot, AfterMessageAction);
}

void ActionPopup::cmdSubscriberConversationExitAction_Click()
{
    RoutingSlot slot;
    slot.iActionTarget = TargetSubscriberExit;
    // The one slot kept in the subscriber's own row.
    if (m_subscriberPage)
        slot.rowObjectId = m_subscriberPage->txtSubscriberObjectID->text();
    openSlot({QStringLiteral("cmdSubscriberConversationExitAction_Click"),
              QStringLiteral("SELECT * FROM vw_Subscriber WHERE SubscriberObjectID = ?"),
              {normalizedObjectId(slot.rowObjectId)}, SlotColumns::prefixed(QStringLiteral("Exit")),
              QStringLiteral("Error, could not find the currently selected subscriber with alias =") + m_shown.Alias, {}},
             slot, ExitAction);
}

void ActionPopup::nameLookupExitOpener(qint16 changeType)
{
    static const char *const procedures[] = {"", "cmdDirectoryHandlerSetZeroExit_Click", "cmdDirectoryHandlerSetExit_Click",
                                             "cmdDirectoryHandlerSetNoInputExit_Click",
                                             "cmdDirectoryHandlerSetNoSelectionExit_Click"};
    const QString k = nameLookupExitPrefix(changeType);
    RoutingSlot slot;
    slot.iNameLookupHandlerChangeType = changeType;
    // The column names come from the fixed list of exits, never from a value.
    openSlot({QString::fromLatin1(procedures[changeType]),
              QStringLiteral("SELECT %1Action, %1Conversation, %1ObjectID, %1ObjectIDType FROM vw_NameLookupHandler WHERE "
                             "NameLookupHandlerObjectID = ?")
                  .arg(k),
              {normalizedObjectId(m_shown.ObjectID)}, SlotColumns::prefixed(k),
              QStringLiteral("Error, could not find currently selected name lookup handler in the database"), {}},
             slot, ExitAction);
}

void ActionPopup::gridHandlerKeys_DblClick(int row)
{
    if (m_handlerPage)
        keyGridOpener(m_handlerPage->gridHandlerKeys, row, QStringLiteral("gridHandlerKeys_DblClick"),
                      QStringLiteral("call handler"));
}

void ActionPopup::gridSubscriberKeys_DblClick(int row)
{
    if (m_subscriberPage)
        keyGridOpener(m_subscriberPage->gridSubscriberKeys, row, QStringLiteral("gridSubscriberKeys_DblClick"),
                      QStringLiteral("subscriber"));
}

void ActionPopup::keyGridOpener(const KeyGridWidget *grid, int row, const QString &procedure, const QString &ownerWord)
{
    // A row whose entry was not loaded is asked about too: the server says whether it is missing.
    const QString key = KeyGridWidget::keyOfRow(row);
    if (key.isEmpty())
        return;
    RoutingSlot slot;
    slot.iActionTarget = TargetMenuEntry;
    slot.key = key;
    slot.rowObjectId = grid->menuEntryObjectId(row);
    openSlot({procedure,
              QStringLiteral("SELECT Action, ConversationName, DestinationObjectID, DestinationObjectIDType, Locked, "
                             "MenuEntryObjectID FROM vw_MenuEntry WHERE ParentObjectID = ? AND Alias = ?"),
              {normalizedObjectId(m_shown.ObjectID), key}, SlotColumns::rule(),
              QStringLiteral("Error, could not find the menu entries with alias =") + key
                  + QStringLiteral(" for the currently selected ") + ownerWord,
              QStringLiteral("MenuEntryObjectID")},
             slot, OneKeyAction);
}

void ActionPopup::openSlot(const SlotQuery &query, RoutingSlot slot, qint16 iActionType)
{
    const QString connection = m_ctx.state().gConnectionString;
    platform::DbError error;
    const platform::Recordset rs = m_ctx.db().open(connection, query.sql, query.params, &error);
    if (!rs.isOpen()) {
        reportOpenerError(error, query.procedure);
        return;
    }
    if (rs.RecordCount() != 1) {
        msgBox(query.notFound);
        return;
    }
    // Deleted and made again since the page was loaded: the page's row is gone,
    // and a command would write to it.
    if (!query.rowIdColumn.isEmpty() && !sameObjectId(rs.text(query.rowIdColumn), slot.rowObjectId)) {
        msgBox(query.notFound);
        emit reloadRequested();
        return;
    }
    const SlotColumns &c = query.columns;
    std::optional<qint16> action;
    if (rs.isNull(c.action))
        reportError(94, QStringLiteral("Invalid use of Null"), query.procedure, QStringLiteral("Form"),
                    QStringLiteral("frmMain"));
    else
        action = qint16(rs.field(c.action).toInt());
    const QString conversation = rs.text(c.conversation);
    const QString &destinationColumn = c.objectId;
    const QString &typeColumn = c.objectIdType;
    // A Null lock reads as unlocked, as the pages show it.
    slot.locked = iActionType == OneKeyAction && rs.field(QStringLiteral("Locked")).toInt() != 0;

    bool isPrimary = false;
    if (!rs.isNull(typeColumn) && rs.field(typeColumn).toInt() == 3 && !rs.isNull(destinationColumn)) {
        const platform::Recordset handler =
            m_ctx.db().open(connection, QStringLiteral("SELECT IsPrimary FROM vw_CallHandler WHERE CallHandlerObjectID = ?"),
                            {normalizedObjectId(rs.text(destinationColumn))}, &error);
        if (!handler.isOpen())
            reportOpenerError(error, query.procedure);
        else if (handler.RecordCount() == 1)
            isPrimary = handler.field(QStringLiteral("IsPrimary")).toInt() != 0;
    }

    // The opener sets its own code; the other one keeps what an earlier opener left.
    AppState &state = m_ctx.state();
    if (slot.iNameLookupHandlerChangeType != 0)
        state.iNameLookupHandlerChangeType = slot.iNameLookupHandlerChangeType;
    else
        state.iActionTarget = slot.iActionTarget;
    slot.iActionTarget = state.iActionTarget;
    slot.iNameLookupHandlerChangeType = state.iNameLookupHandlerChangeType;
    slot.owner = m_shown;
    m_slot = slot;

    const int page = m_detailPage ? m_detailPage() : -1;
    const QString visibility = AdjustActionMenuOptions(m_state, iActionType, conversation, state.gVersion, page);
    if (!visibility.isEmpty())
        msgBox(visibility);
    const QString ticks = SetActionMenuSettings(m_state, action, conversation, isPrimary, slot.locked);
    if (!ticks.isEmpty())
        msgBox(ticks);
    applyMenuState();
    // The command of the chosen entry runs once the menu has closed, so that it
    // can show its own dialogs.
    dispatch(m_menu->exec(QCursor::pos()));
}

void ActionPopup::setTick(int popupEntry, bool ticked)
{
    // Only a ticked entry is checkable, so the others show no empty box.
    QAction *a = m_entries[size_t(popupEntry)];
    if (a->isSeparator())
        return;
    a->setCheckable(ticked);
    a->setChecked(ticked);
}

void ActionPopup::applyMenuState()
{
    for (int i = 0; i < PopupEntryCount; ++i)
        setTick(i, m_state.ticked[size_t(i)]);
    for (int i = 0; i < PopupEntryCount; ++i)
        m_entries[size_t(i)]->setVisible(m_state.visible[size_t(i)]);
}

// --- commands ----------------------------------------------------------------

void ActionPopup::dispatch(QAction *chosen)
{
    const auto it = std::find(m_entries.cbegin(), m_entries.cend(), chosen);
    if (!chosen || it == m_entries.cend())
        return;
    const int e = int(it - m_entries.cbegin());
    if (isDirectEntry(e)) {
        const PopupEntryInfo &info = popupEntryInfo(e);
        applyAction(info.action, info.conversation ? QString::fromLatin1(info.conversation) : QString(), QString(), 0);
        return;
    }
    switch (e) {
    case SendToSubscriber: PopupActionSendToSubscriber_Click(); break;
    case SendToCallHandler: PopupActionSendToCallHandler_Click(); break;
    case SendToDirectoryHandler: PopupActionSendToDirectoryHandler_Click(); break;
    case SendToInterviewer: PopupActionSendToInterviewer_Click(); break;
    case AttemptToRingPhone: PopupActionAttemptToRingPhone_Click(); break;
    case SendToGreeting: PopupActionSendToGreeting_Click(); break;
    case LockKey: PopupActionLockKey_Click(); break;
    default: break;
    }
}

void ActionPopup::applyAction(qint16 iAction, const QString &conversation, const QString &destination,
                              qint16 destinationType)
{
    const SetUserActionResult result = SetUserAction(m_ctx, m_slot, iAction, conversation, destination, destinationType);
    // A write in doubt may have changed the link too: the tree shows what the server holds.
    if ((result.written || result.inDoubt) && !result.linkCode.isEmpty())
        emit treeRowsChanged(m_slot.owner.ObjectID);
    if (result.reloadTab())
        emit reloadRequested();
}

void ActionPopup::PopupActionSendToSubscriber_Click()
{
    frmSubscriberSearch &picker = m_pickers.subscriberSearch();
    picker.exec();
    // A pick without the subscriber's call handler leaves nothing to send callers to.
    if (picker.bCancelHit || picker.strHandlerObjectID.trimmed().isEmpty())
        return;
    applyAction(2, QStringLiteral("PHGreeting"), picker.strHandlerObjectID, 3);
}

void ActionPopup::sendToHandler(CreationDialog &dialog, const QString &conversation, qint16 destinationType)
{
    // Nothing is preset: the dialog starts as its own load leaves it (the call
    // handler dialog with the template used last). A dialog left, or one that
    // could not be used, routes nothing.
    if (!dialog.showModal() || dialog.strObjectID.trimmed().isEmpty())
        return;
    // A new handler is there to list, whether or not the slot takes it.
    if (dialog.bCreated)
        emit handlerCreated(destinationType);
    applyAction(2, conversation, dialog.strObjectID, destinationType);
}

void ActionPopup::PopupActionSendToCallHandler_Click()
{
    sendToHandler(m_creation.callHandler(), QStringLiteral("PHGreeting"), 3);
}

void ActionPopup::PopupActionSendToDirectoryHandler_Click()
{
    sendToHandler(m_creation.directoryHandler(), QStringLiteral("AD"), 6);
}

void ActionPopup::PopupActionSendToInterviewer_Click()
{
    sendToHandler(m_creation.interviewer(), QStringLiteral("CHInterview"), 5);
}

void ActionPopup::ringPhonePair(PopupEntry clicked)
{
    // The entry has already flipped its own tick: its tick at the click is the one the menu was opened with.
    const bool wasTicked = m_state.ticked[clicked];
    const bool ring = clicked == AttemptToRingPhone ? !wasTicked : wasTicked;
    m_state.ticked[AttemptToRingPhone] = ring;
    m_state.ticked[SendToGreeting] = !ring;
    setTick(AttemptToRingPhone, ring);
    setTick(SendToGreeting, !ring);
    applyAction(2, ring ? QStringLiteral("PHTransfer") : QStringLiteral("PHGreeting"), kDontSet, 3);
}

void ActionPopup::PopupActionAttemptToRingPhone_Click() { ringPhonePair(AttemptToRingPhone); }

void ActionPopup::PopupActionSendToGreeting_Click() { ringPhonePair(SendToGreeting); }

void ActionPopup::PopupActionLockKey_Click()
{
    if (m_slot.iActionTarget != TargetMenuEntry)
        return;
    const bool locked = !m_slot.locked;
    m_state.ticked[LockKey] = locked;
    setTick(LockKey, locked);
    if (refuseUnidentifiedRow(m_slot.rowObjectId))
        return;
    // A subscriber's keys belong to its primary call handler.
    const bool written = writeAndAudit(m_ctx, QStringLiteral("sp_ModifyMenuEntry"),
                                       {classProcParam(QStringLiteral("MenuEntryObjectID"), m_slot.rowObjectId, 72),
                                        classProcParam(QStringLiteral("Locked"), locked, 200)},
                                       {QStringLiteral("MenuEntry"), m_slot.key, QStringLiteral("CallHandler"),
                                        m_slot.owner.Alias, QStringLiteral("Locked")},
                                       booleanText(locked));
    if (written)
        m_slot.locked = locked;
    // Also after a failure: the grid shows the stored lock.
    emit reloadRequested();
}

} // namespace quillor
