#include "platform/recordset.h"

#include "platform/database.h"
#include "platform/serverway.h"

namespace quillor::platform {

namespace {

bool textEquals(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.toString().compare(b.toString(), Qt::CaseInsensitive) == 0;
}

} // namespace

Recordset::Recordset() = default;

int Recordset::fieldIndex(const QString &name) const
{
    // Most callers write the name as the server does; only the others pay for the folding.
    if (const auto it = m_exact.constFind(name); it != m_exact.cend())
        return *it;
    return m_index.value(name.toLower(), -1);
}

bool Recordset::hasField(const QString &name) const { return fieldIndex(name) >= 0; }

QVariant Recordset::field(const QString &name) const
{
    const int col = fieldIndex(name);
    if (col < 0)
        return {};
    if (m_adding)
        return m_pending.value(col);
    if (m_pos < 0 || m_pos >= m_rows.size())
        return {};
    if (m_pending.contains(col))
        return m_pending.value(col);
    return m_rows[m_pos][col];
}

bool Recordset::isNull(const QString &name) const { return field(name).isNull(); }

QString Recordset::text(const QString &name) const
{
    const QVariant v = field(name);
    return v.isNull() ? QString() : v.toString();
}

QDateTime Recordset::dateField(const QString &name) const
{
    const QVariant v = field(name);
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().startOfDay();
    const QString s = v.toString().trimmed();
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz",
                               "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"}) {
        QDateTime dt = QDateTime::fromString(s, QString::fromLatin1(format));
        if (dt.isValid())
            return dt;
    }
    return {};
}

QVariant Recordset::value(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_names.size())
        return {};
    return m_rows[row][column];
}

bool Recordset::Find(const QString &column, const QVariant &value)
{
    return Find(column, [&value](const QVariant &stored) { return textEquals(stored, value); });
}

bool Recordset::Find(const QString &column, const std::function<bool(const QVariant &)> &matches)
{
    const int col = fieldIndex(column);
    if (col < 0) {
        m_pos = m_rows.size();
        return false;
    }
    if (m_pos < 0)
        m_pos = 0;
    for (; m_pos < m_rows.size(); ++m_pos) {
        if (matches(m_rows[m_pos][col]))
            return true;
    }
    return false;
}

bool Recordset::setField(const QString &name, const QVariant &value)
{
    const int col = fieldIndex(name);
    if (col < 0)
        return false;
    m_pending.insert(col, value);
    return true;
}

void Recordset::AddNew()
{
    m_pending.clear();
    m_adding = true;
}

bool Recordset::Update(DbError *error)
{
    if (!m_db) {
        setError(error, dberr::QueryFailed, QStringLiteral("The recordset is read-only."));
        return false;
    }
    return m_db->updateRecordset(*this, error);
}

void Recordset::Close()
{
    m_open = false;
    m_rows.clear();
    m_pending.clear();
    m_adding = false;
    m_pos = 0;
}

} // namespace quillor::platform
