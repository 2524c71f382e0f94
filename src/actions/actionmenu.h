#pragma once
// The action popup's entries and the rules that decide, each time it opens,
// which entries it offers and which one it ticks. The rules are plain
// functions of the slot, its current action, the server version and the
// detail page on show, so they can be checked without a menu.

#include "common/appstate.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace quillor {

// The entries of PopupAction in menu order.
enum PopupEntry : int {
    IgnoreKey,
    HangUp,
    TakeMessage,
    SkipGreeting,
    SignIn,
    EasySignIn,
    GreetingsAdministrator,
    BroadcastMessageAdministrator,
    AlternateTransferNumber,
    HotelCheckedOut,
    SystemTransfer,
    SubscriberSystemTransfer,
    CVMMailboxReset,
    SendToDirectoryHandler,
    SendToCallHandler,
    SendToSubscriber,
    SendToInterviewer,
    SeperatorLockKeys,
    LockKey,
    SeperatorRingPhone,
    AttemptToRingPhone,
    SendToGreeting,
    PopupEntryCount
};

struct PopupEntryInfo {
    const char *name;         // object name of the menu entry
    const char *caption;      // nullptr: a separator line
    qint16 action;            // what the entry writes (direct entries) and ticks (-1: no action of its own)
    const char *conversation; // for action 2; nullptr when the entry names no conversation
};
const PopupEntryInfo &popupEntryInfo(int entry);
// The entries that write their action at once, without a picker or dialog.
bool isDirectEntry(int entry);

// The kind of slot, as the visibility rules know it (not iActionTarget's coding).
enum ActionType : qint16 { AfterGreetingAction = 1, AfterMessageAction = 2, ExitAction = 3, OneKeyAction = 4 };

// The page of tabInfoTab that shows a subscriber.
inline constexpr int kSubscriberDetailPage = 0;

// What the popup shows: per entry, whether it is offered and whether it carries a tick.
struct PopupState {
    std::array<bool, PopupEntryCount> visible{};
    std::array<bool, PopupEntryCount> ticked{};
};

// Which entries fit a slot of `iActionType` whose current conversation is
// `strConversationName`, on a server of `version`, with `detailPage` of
// tabInfoTab on show. Recomputes every entry's visibility; answers the
// message to show ("" when none).
QString AdjustActionMenuOptions(PopupState &state, qint16 iActionType, const QString &strConversationName,
                                const TolvaVersionRecord &version, int detailPage);

// Ticks the entry of the slot's current action (nullopt: the action could
// not be read, so nothing is ticked) and sets the lock mark. Recomputes every
// tick; answers the message to show ("" when none).
QString SetActionMenuSettings(PopupState &state, std::optional<qint16> iAction, const QString &strConversationName,
                              bool bIsPrimary, bool bLocked);

} // namespace quillor
