#pragma once
// The one-key menu grid of the call handler and subscriber pages.
//
// Rows are numbered as every reader and writer of the menu numbers them: row 0
// is the header ("Key", "Locked", "Action", "ObjectID"); rows 1 to 12 hold the
// keys "0" to "9", "*" and "#" in that fixed order (key "0" in row 1, "*" in
// row 11, "#" in row 12). Every function and signal of this class takes and
// gives those row numbers; the table inside keeps its own rows to itself, so
// no caller ever converts. Columns are found by their keys, never by position.

#include <QWidget>

class QTableWidget;

namespace quillor {

class KeyGridWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFirstKeyRow = 1;
    static constexpr int kLastKeyRow = 12;

    explicit KeyGridWidget(QWidget *parent = nullptr);

    // The key of a row: "0".."9" for rows 1-10, "*" for 11, "#" for 12; ""
    // for any other row.
    static QString keyOfRow(int row);
    // The row of a key text (1-12); 0 for anything else.
    static int rowOfKey(const QString &key);

    // The cell of `row` in the column keyed `columnKey` ("Key", "Locked",
    // "Action", "ObjectID", matched without regard to case); "" outside.
    QString cellText(int row, const QString &columnKey) const;
    // The menu entry a row shows; "" for a row that was not loaded.
    QString menuEntryObjectId(int row) const;
    bool isLocked(int row) const;
    // Whether the last load filled this row (its entry was found).
    bool isRowLoaded(int row) const;
    bool isColumnShown(const QString &columnKey) const;

    // The selected key row, 0 when none is.
    int currentRow() const;
    void setCurrentRow(int row);

    // Fills one key's row and makes it usable.
    void setEntry(int row, bool locked, const QString &actionText, const QString &menuEntryObjectId);
    // Every row back to its key alone: no tick, no action, no ObjectID, and
    // unusable until an entry is set, so no command reaches a stale entry.
    void resetRows();

signals:
    // Also for a row whose entry was not loaded (which is never selected).
    void keyDoubleClicked(int row);
    // A right press selects the key row under the mouse first, when it was loaded.
    void keyRightPressed(int row, const QPoint &globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableWidget *m_table;
};

} // namespace quillor
