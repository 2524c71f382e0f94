#pragma once
// The action writer: stores one routing action (action code, conversation,
// destination and its type) in the slot the action popup was opened on, and
// appends its audit line.

#include "details/selectedobject.h"

#include <QString>

namespace quillor {

class AppContext;

// The slot codes the openers set: iActionTarget ...
enum ActionTarget : qint16 { TargetMenuEntry = 1, TargetAfterMessage = 2, TargetAfterGreeting = 3, TargetSubscriberExit = 4 };
// ... and iNameLookupHandlerChangeType, whose code also names the exit's columns.
enum NameLookupExit : qint16 { ExitZero = 1, ExitExit = 2, ExitNoInput = 3, ExitNoSelection = 4 };
// The four columns an action takes in a row: action code, conversation,
// destination ObjectID and its type.
struct SlotColumns {
    QString action, conversation, objectId, objectIdType;
    // Menu entries and greetings: "Action", "ConversationName", "DestinationObjectID", "DestinationObjectIDType".
    static SlotColumns rule();
    // "AfterMessage", "Exit" and the name lookup exits: prefix + "Action", "Conversation", "ObjectID", "ObjectIDType".
    static SlotColumns prefixed(const QString &prefix);
};

// The column prefix of a name lookup exit ("" for an unknown code).
QString nameLookupExitPrefix(qint16 changeType);

// The slot as its opener found it. It is kept from the opening of the popup to
// the write, so the write reaches that slot even when the pages moved on meanwhile.
struct RoutingSlot {
    SelectedObject owner; // the object shown (a subscriber: ObjectID is its primary call handler)
    qint16 iActionTarget = 0;
    qint16 iNameLookupHandlerChangeType = 0;
    // The row the slot lives in: the menu entry, the greeting (MessagingRule)
    // or the subscriber's own row. Other slots live in the owner's row.
    QString rowObjectId;
    QString key;            // one-key slots: "0".."9", "*", "#"
    int greetingIndex = -1; // after-greeting slots: 0 Standard .. 5 Error
    bool locked = false;    // one-key slots: the lock as the popup was ticked
};

struct SetUserActionResult {
    // The writer's answer: the procedure's result for call handlers,
    // subscribers and name lookup handlers; always false for an interview
    // handler, whose detail tab must be reloaded all the same.
    bool result = false;
    // Something was written to the server.
    bool written = false;
    // The connection went after the write was sent: the server may have made
    // it (told and audited so; the page is loaded again by the context's listener).
    bool inDoubt = false;
    // The link the slot shows in the routing tree ("" for exits): the tree rows
    // of the slot's owner need rebuilding.
    QString linkCode;
    // The detail tab shows what was written only after a reload.
    bool reloadTab() const { return written; }
};

// A slot whose row was never found (an empty key-grid cell, no greeting or
// subscriber ObjectID) would be written with an empty key: true, with the
// message shown, for such a row.
bool refuseUnidentifiedRow(const QString &rowObjectId);

// Writes the action into `slot` and appends one audit line (FAILED_UPDATE,
// with "Failed to update database" shown once, when the write failed; with
// the words of a write in doubt when the server may have made it). A
// destination whose name cannot be read after the write is named in the line
// by its ObjectID: the write stands, and the failed read goes to the log alone
// (no message says anything failed). A slot
// without its row, a destination that no longer exists and an invalid slot
// code are refused with a message: nothing is written or logged. Destination
// "[DontSet]" keeps the stored destination.
SetUserActionResult SetUserAction(AppContext &ctx, const RoutingSlot &slot, qint16 iAction,
                                  const QString &strConversation, const QString &strDestObjectID,
                                  qint16 iDestObjectIDType);

} // namespace quillor
