#pragma once
// The one-key menu grid of a handler page: one row per telephone key in the
// fixed order 0-9, "*", "#", and four columns that callers address by key,
// never by position: "Key", "Locked" (a tick), "Action" and the hidden
// "ObjectID" of the menu entry.

#include <QTableWidget>

namespace quillor {

class KeyGridWidget : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int kKeyCount = 12;

    explicit KeyGridWidget(QWidget *parent = nullptr);

    // "0".."9" for 0-9, "*" for 10, "#" for 11.
    static QString keyText(int index);
    // The row of a key text; -1 for anything else.
    static int rowOfKey(const QString &key);

    // The position of a column key ("Key", "Locked", "Action", "ObjectID"),
    // matched without regard to case; -1 for an unknown key.
    int column(const QString &key) const;
    QString cellText(int row, const QString &columnKey) const;
    bool isLocked(int row) const;

    // Fills one key's row and makes it usable.
    void setEntry(int row, bool locked, const QString &actionText, const QString &menuEntryObjectId);
    // Every row back to its key alone: no tick, no action, no ObjectID, and
    // unusable until an entry is set, so no command reaches a stale entry.
    void resetRows();
    bool isRowLoaded(int row) const;
};

} // namespace quillor
