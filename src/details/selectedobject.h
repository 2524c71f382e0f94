#pragma once
// The object the detail pages show. Every command and edit that acts on "the
// shown object" reads it; only the page loaders write it.

#include <QString>
#include <QtGlobal>

namespace quillor {

struct SelectedObject {
    // 1 subscriber, 3 call handler, 5 interview handler, 6 name lookup
    // handler; 0 after a leaf row was selected.
    qint16 ObjectType = 0;
    // For a subscriber: its primary call handler's ObjectID.
    QString ObjectID;
    QString Alias;
    QString DisplayName;
};

} // namespace quillor
