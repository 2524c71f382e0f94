#pragma once
// Locking or unlocking all twelve keys of the shown call handler or
// subscriber: one write and one audit line per key, then the page is loaded
// again so that the key grid shows what the server holds.

#include <QList>
#include <QString>

namespace quillor {

class EditingHost;

// One row of a key grid: the key's text ("0".."9", "*", "#") and its menu
// entry; an entry that was not loaded has no ObjectID.
struct KeyGridRow {
    QString key;
    QString menuEntryObjectId;
};

// `rows` are the key grid of the page of `objectType` (3 call handler, 1
// subscriber); nothing is written unless that is the kind shown. A row without
// a menu entry is not written: "Failed to update database" and a FAILED_UPDATE
// line for it.
void SetOneKeyRuleLocks(EditingHost &host, qint16 objectType, const QList<KeyGridRow> &rows, bool bLocked);

} // namespace quillor
