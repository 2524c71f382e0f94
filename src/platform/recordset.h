#pragma once
// A set of rows read from the database (Database::open, openForUpdate).

#include "platform/dbtypes.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace quillor::platform {

class Database;

// A set of rows fetched at once, so that the row count is exact before the rows
// are walked. Field names match without regard to case; Null stays apart from 0
// and "".
class Recordset {
public:
    Recordset();

    bool isOpen() const { return m_open; }
    int RecordCount() const { return int(m_rows.size()); }
    bool isEOF() const { return m_pos >= m_rows.size() || m_rows.isEmpty(); }
    bool isBOF() const { return m_pos < 0 || m_rows.isEmpty(); }
    int position() const { return int(m_pos); }
    void MoveFirst() { m_pos = 0; }
    void MoveNext() { if (m_pos < m_rows.size()) ++m_pos; }
    void MoveLast() { m_pos = m_rows.isEmpty() ? 0 : m_rows.size() - 1; }
    void moveTo(int row) { m_pos = row; }
    // Searches forward from the current row (inclusive) for a row whose `column`
    // equals `value`; text compares without regard to case. Not found: EOF.
    bool Find(const QString &column, const QVariant &value);
    // The same with the comparison given: the first row whose `column` `matches`.
    bool Find(const QString &column, const std::function<bool(const QVariant &)> &matches);

    QStringList fieldNames() const { return m_names; }
    int fieldCount() const { return int(m_names.size()); }
    bool hasField(const QString &name) const;
    int fieldIndex(const QString &name) const; // -1 when absent
    // The current row's value; an invalid QVariant when there is no current row
    // or no such field (see hasField), a null one for a Null column.
    QVariant field(const QString &name) const;
    bool isNull(const QString &name) const;
    // Text of the field; "" for Null.
    QString text(const QString &name) const;
    // A date stored as text ("yyyy-MM-dd HH:mm:ss") or as a date; invalid for Null.
    QDateTime dateField(const QString &name) const;
    QVariant value(int row, int column) const;

    // Updatable recordsets (Database::openForUpdate).
    bool isUpdatable() const { return m_db != nullptr; }
    bool setField(const QString &name, const QVariant &value); // false: no such field
    void AddNew();
    bool Update(DbError *error = nullptr);
    void Close();

private:
    friend class Database;
    bool m_open = false;
    QStringList m_names;
    QHash<QString, int> m_index; // lower-case name -> column
    QHash<QString, int> m_exact; // name as the server gave it -> column
    QList<int> m_lengths; // the longest text each column takes (0: no bound known)
    QVector<QVector<QVariant>> m_rows;
    qsizetype m_pos = 0;
    // updatable
    Database *m_db = nullptr;
    QString m_location;
    QString m_table;
    QString m_keyColumn;
    QHash<int, QVariant> m_pending; // column -> new value
    bool m_adding = false;
};

} // namespace quillor::platform
