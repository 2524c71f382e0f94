#include "actions/actionmenu.h"

#include "common/tolvaversion.h"

namespace quillor {

namespace {

constexpr PopupEntryInfo kEntries[PopupEntryCount] = {
    {"PopupActionIgnoreKey", "Ignore Key", 0, nullptr},
    {"PopupActionHangUp", "Hang Up", 1, nullptr},
    {"PopupActionTakeMessage", "Take Message", 4, nullptr},
    {"PopupActionSkipGreeting", "Skip Greeting", 5, nullptr},
    {"PopupActionSignIn", "Sign In", 2, "SubSignIn"},
    {"PopupActionEasySignIn", "Easy Sign In", 2, "CxConvEasySignIn"},
    {"PopupActionGreetingsAdministrator", "Greetings Administrator", 2, "GreetingsAdministrator"},
    {"PopupActionBroadcatMessageAdministrator", "Broadcast Message Administrator", 2, "BroadcastMessageAdministrator"},
    {"PopupActionAlternateTransferNumber", "Alternate Transfer Number", 2, "TransferAltContactNumber"},
    {"PopupActionHotelCheckedOut", "Hotel Checked Out", 2, "ConvHotelCheckedOut"},
    {"PopupActionSystemTransfer", "System Transfer", 2, "CxConvSystemTransfer"},
    {"PopupActionSubscriberSystemTransfer", "Subscriber System Transfer", 2, "CxConvSubSystemTransfer"},
    {"PopupActionCVMMailboxReset", "CVM Mailbox Reset", 2, "ConvCVMMBoxReset"},
    {"PopupActionSendToDirectoryHandler", "Send to Directory Handler", 2, "AD"},
    {"PopupActionSendToCallHandler", "Send to Call Handler", 2, "PHGreeting"},
    {"PopupActionSendToSubscriber", "Send to Subscriber", 2, "PHGreeting"},
    {"PopupActionSendToInterviewer", "Send to Interviewer", 2, "CHInterview"},
    {"PopupActionSeperatorLockKeys", nullptr, -1, nullptr},
    {"PopupActionLockKey", "Lock Key", -1, nullptr},
    {"PopupActionSeperatorRingPhone", nullptr, -1, nullptr},
    {"PopupActionAttemptToRingPhone", "Attempt to Ring Phone", 2, "PHTransfer"},
    {"PopupActionSendToGreeting", "Send to Greeting", 2, "PHGreeting"},
};

// The entries every kind of slot offers (Broadcast Message Administrator
// besides, on servers that have it).
constexpr PopupEntry kOfferedEverywhere[] = {HangUp,          SignIn,         GreetingsAdministrator,
                                             HotelCheckedOut, SystemTransfer, SubscriberSystemTransfer,
                                             CVMMailboxReset, SendToDirectoryHandler, SendToCallHandler,
                                             SendToSubscriber, SendToInterviewer};

// The conversations that tick one entry of their own.
constexpr PopupEntry kTickedByConversation[] = {SendToDirectoryHandler,  SendToInterviewer,       GreetingsAdministrator,
                                                BroadcastMessageAdministrator, SignIn,           EasySignIn,
                                                SystemTransfer,          SubscriberSystemTransfer, CVMMailboxReset,
                                                AlternateTransferNumber, HotelCheckedOut};

bool isRingPhoneConversation(const QString &name, Qt::CaseSensitivity cs)
{
    return name.compare(QLatin1String("PHGreeting"), cs) == 0 || name.compare(QLatin1String("PHTransfer"), cs) == 0;
}

} // namespace

const PopupEntryInfo &popupEntryInfo(int entry)
{
    Q_ASSERT(entry >= 0 && entry < PopupEntryCount);
    return kEntries[entry];
}

bool isDirectEntry(int entry) { return entry >= IgnoreKey && entry <= CVMMailboxReset; }

QString AdjustActionMenuOptions(PopupState &state, qint16 iActionType, const QString &strConversationName,
                                const TolvaVersionRecord &version, int detailPage)
{
    auto &visible = state.visible;
    visible.fill(false);
    // The pair switches between ringing the phone and the greeting of the same destination.
    const bool pair = isRingPhoneConversation(strConversationName, Qt::CaseInsensitive);
    visible[AttemptToRingPhone] = pair;
    visible[SendToGreeting] = pair;
    visible[SeperatorRingPhone] = true;

    if (iActionType < AfterGreetingAction || iActionType > OneKeyAction)
        return QStringLiteral("Error, invalid action type passed into AdjustActionMenuOptions routine.");

    for (PopupEntry entry : kOfferedEverywhere)
        visible[entry] = true;
    visible[BroadcastMessageAdministrator] = bIsVersionGreaterThanOrEqualTo(version, 4, 0, 4, 40);
    visible[TakeMessage] = iActionType == AfterGreetingAction || iActionType == OneKeyAction;
    visible[EasySignIn] = iActionType != ExitAction;
    const bool key = iActionType == OneKeyAction;
    visible[IgnoreKey] = key;
    visible[SkipGreeting] = key;
    visible[SeperatorLockKeys] = key;
    visible[LockKey] = key;
    visible[AlternateTransferNumber] =
        key && bIsVersionGreaterThanOrEqualTo(version, 4, 1, 1, 0) && detailPage == kSubscriberDetailPage;
    return {};
}

QString SetActionMenuSettings(PopupState &state, std::optional<qint16> iAction, const QString &strConversationName,
                              bool bIsPrimary, bool bLocked)
{
    auto &ticked = state.ticked;
    ticked.fill(false);
    QString message;
    switch (iAction.value_or(-1)) {
    case 0: ticked[IgnoreKey] = true; break;
    case 1: ticked[HangUp] = true; break;
    case 4: ticked[TakeMessage] = true; break;
    case 5: ticked[SkipGreeting] = true; break;
    case 2: {
        // Ticks follow the stored name exactly, letter case included.
        if (isRingPhoneConversation(strConversationName, Qt::CaseSensitive)) {
            ticked[strConversationName == QLatin1String("PHTransfer") ? AttemptToRingPhone : SendToGreeting] = true;
            ticked[bIsPrimary ? SendToSubscriber : SendToCallHandler] = true;
            break;
        }
        bool known = false;
        for (PopupEntry entry : kTickedByConversation) {
            if (strConversationName == QLatin1String(kEntries[entry].conversation)) {
                ticked[entry] = true;
                known = true;
                break;
            }
        }
        if (!known)
            message = QStringLiteral("Invalid conversation name passed to SetActionMenuSettings routine:") + strConversationName;
        break;
    }
    default:
        // An action that could not be read ticks nothing and has been reported already.
        if (iAction)
            message = QStringLiteral("Invalid action value passed into the SetActionMenuSettings routine.");
        break;
    }
    ticked[LockKey] = bLocked;
    return message;
}

} // namespace quillor
