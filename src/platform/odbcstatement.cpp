#include "platform/odbcstatement.h"

#include "platform/sqlserver.h"

#include <QDateTime>
#include <QSqlDriver>
#include <QSqlField>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <optional>

namespace quillor::platform::odbc {

namespace {

// SQL Server's datetime as Qt's ODBC driver declares it: 23 characters, milliseconds.
constexpr SQLULEN kDateTimeSize = 23;
constexpr SQLSMALLINT kDateTimeDigits = 3;
// (max) columns report a length no text of theirs reaches.
constexpr SQLULEN kUnbounded = 1073741823;

QString fromUtf8(const SQLCHAR *text, qsizetype length)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(text), length);
}

// The metatype a column's values are read as: the types Qt's ODBC driver
// reads them as, so that callers see the same values whichever runs the statement.
QMetaType metaTypeOf(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_FLOAT:
    case SQL_DOUBLE: return QMetaType::fromType<double>();
    case SQL_REAL: return QMetaType::fromType<float>();
    case SQL_SMALLINT: return QMetaType::fromType<short>();
    case SQL_INTEGER:
    case SQL_BIT: return QMetaType::fromType<int>();
    case SQL_TINYINT: return QMetaType::fromType<uint>();
    case SQL_BIGINT: return QMetaType::fromType<qlonglong>();
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return QMetaType::fromType<QByteArray>();
    case SQL_DATE:
    case SQL_TYPE_DATE: return QMetaType::fromType<QDate>();
    case SQL_TIME:
    case SQL_TYPE_TIME: return QMetaType::fromType<QTime>();
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP: return QMetaType::fromType<QDateTime>();
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_GUID: return QMetaType::fromType<QString>();
    default: return QMetaType::fromType<QByteArray>();
    }
}

bool boundedText(SQLSMALLINT sqlType)
{
    return sqlType == SQL_CHAR || sqlType == SQL_VARCHAR || sqlType == SQL_WCHAR || sqlType == SQL_WVARCHAR;
}

QList<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QList<Diagnostic> records;
    if (!handle)
        return records;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        QByteArray text(SQL_MAX_MESSAGE_LENGTH + 1, '\0');
        SQLSMALLINT length = 0;
        SQLRETURN r = SQLGetDiagRec(handleType, handle, i, state, &native, reinterpret_cast<SQLCHAR *>(text.data()),
                                    SQLSMALLINT(text.size()), &length);
        if (r == SQL_SUCCESS_WITH_INFO && length >= text.size()) {
            text.resize(length + 1);
            r = SQLGetDiagRec(handleType, handle, i, state, &native, reinterpret_cast<SQLCHAR *>(text.data()),
                              SQLSMALLINT(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(r))
            break;
        records.append({QString::fromLatin1(reinterpret_cast<const char *>(state)), int(native),
                        QString::fromUtf8(text.constData(), std::min<qsizetype>(length, text.size() - 1))});
    }
    return records;
}

} // namespace

QString Failure::text() const
{
    QStringList texts;
    for (const Diagnostic &d : records)
        if (!texts.contains(d.text))
            texts << d.text;
    return texts.join(u' ');
}

int Failure::native() const
{
    for (const Diagnostic &d : records)
        if (d.native != 0)
            return d.native;
    return 0;
}

QSqlError Failure::toSqlError() const
{
    if (!isSet())
        return {};
    const int number = native();
    return QSqlError(QString(), text(), QSqlError::StatementError, number ? QString::number(number) : QString());
}

Handle connectionHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return nullptr;
    return *static_cast<const SQLHANDLE *>(handle.constData());
}

QString dbmsName(Handle dbc)
{
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!dbc || !SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DBMS_NAME, name, SQLSMALLINT(sizeof name), &length)))
        return {};
    return QString::fromUtf8(reinterpret_cast<const char *>(name));
}

bool connectionDead(Handle dbc)
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!dbc || !SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER, nullptr)))
        return false;
    return dead == SQL_CD_TRUE;
}

Statement::Statement(Handle dbc) : m_dbc(dbc)
{
    SQLHANDLE stmt = SQL_NULL_HSTMT;
    if (dbc && SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt)))
        m_stmt = stmt;
}

Statement::~Statement()
{
    if (m_stmt)
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
}

bool Statement::setTimeout(int seconds)
{
    if (!m_stmt)
        return false;
    const SQLRETURN r = SQLSetStmtAttr(
        m_stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(std::max(seconds, 0))), SQL_IS_UINTEGER);
    // A value the driver changed (01S02) still bounds the wait.
    if (SQL_SUCCEEDED(r))
        return true;
    failed(SQL_HANDLE_STMT, m_stmt);
    m_refused = m_failure;
    return false;
}

bool Statement::warningsOnly()
{
    const QList<Diagnostic> records = diagnostics(SQL_HANDLE_STMT, m_stmt);
    const bool warnings = std::all_of(records.cbegin(), records.cend(),
                                      [](const Diagnostic &d) { return d.state.startsWith(QLatin1String("01")); });
    if (!warnings)
        m_failure.records = records;
    return warnings;
}

bool Statement::failed(short handleType, Handle handle)
{
    m_failure.records = diagnostics(handleType, handle);
    if (m_failure.records.isEmpty())
        m_failure.records.append({QStringLiteral("HY000"), 0, QStringLiteral("The ODBC driver reported an error without a diagnostic.")});
    return false;
}

bool Statement::execute(const QString &sql, const QVariantList &values)
{
    m_failure = m_refused;
    m_sent = false;
    m_columns.clear();
    m_row.clear();
    if (m_failure.isSet())
        return false;
    if (!m_stmt) {
        m_failure.records.append(diagnostics(SQL_HANDLE_DBC, m_dbc));
        if (m_failure.records.isEmpty())
            m_failure.records.append({QStringLiteral("HY001"), 0, QStringLiteral("No statement could be allocated on the connection.")});
        return false;
    }
    // Read once front to back: anything else makes FreeTDS open a server-side cursor.
    SQLSetStmtAttr(m_stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), SQL_IS_UINTEGER);

    // Every buffer stays where it is until the statement has run.
    const qsizetype n = values.size();
    QList<QByteArray> buffers(n);
    QList<SQLLEN> indicators(n, 0);
    for (qsizetype i = 0; i < n; ++i) {
        const QVariant &v = values[i];
        SQLLEN *indicator = &indicators[i];
        const bool null = !v.isValid() || v.isNull();
        if (null)
            *indicator = SQL_NULL_DATA;
        QByteArray &buffer = buffers[i];
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        const auto store = [&buffer](const auto &value) {
            buffer = QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
        };
        switch (v.typeId()) {
        case QMetaType::Bool:
            cType = SQL_C_BIT;
            sqlType = SQL_BIT;
            store(SQLCHAR(v.toBool() ? 1 : 0));
            break;
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
            cType = SQL_C_SLONG;
            sqlType = SQL_INTEGER;
            store(SQLINTEGER(v.toInt()));
            break;
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            store(SQLBIGINT(v.toLongLong()));
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            store(SQLDOUBLE(v.toDouble()));
            break;
        case QMetaType::QDate: {
            const QDate d = v.toDate();
            DATE_STRUCT date{SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day())};
            cType = SQL_C_DATE;
            sqlType = SQL_DATE;
            store(date);
            break;
        }
        case QMetaType::QTime: {
            const QTime t = v.toTime();
            TIME_STRUCT time{SQLUSMALLINT(t.hour()), SQLUSMALLINT(t.minute()), SQLUSMALLINT(t.second())};
            cType = SQL_C_TIME;
            sqlType = SQL_TIME;
            store(time);
            break;
        }
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            TIMESTAMP_STRUCT stamp{SQLSMALLINT(dt.date().year()), SQLUSMALLINT(dt.date().month()),
                                   SQLUSMALLINT(dt.date().day()),  SQLUSMALLINT(dt.time().hour()),
                                   SQLUSMALLINT(dt.time().minute()), SQLUSMALLINT(dt.time().second()),
                                   SQLUINTEGER(dt.time().msec()) * 1000000u};
            cType = SQL_C_TIMESTAMP;
            sqlType = SQL_TIMESTAMP;
            size = kDateTimeSize;
            digits = kDateTimeDigits;
            store(stamp);
            break;
        }
        case QMetaType::QByteArray:
            buffer = v.toByteArray();
            cType = SQL_C_BINARY;
            sqlType = SQL_LONGVARBINARY;
            size = SQLULEN(buffer.size());
            if (!null)
                *indicator = buffer.size();
            break;
        default:
            // Text, and whatever else, as the text it converts to: the driver
            // turns it from the client's character set (UTF-8) into the server's.
            buffer = v.toString().toUtf8();
            sqlType = buffer.size() > 254 ? SQL_LONGVARCHAR : SQL_VARCHAR;
            size = SQLULEN(buffer.size());
            if (!null)
                *indicator = buffer.size();
            break;
        }
        const SQLLEN length = buffer.size();
        if (buffer.isEmpty())
            buffer = QByteArray(1, '\0');
        const SQLRETURN r = SQLBindParameter(m_stmt, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType, size, digits,
                                             buffer.data(), length, indicator);
        if (!SQL_SUCCEEDED(r)) {
            failed(SQL_HANDLE_STMT, m_stmt);
            SQLFreeStmt(m_stmt, SQL_RESET_PARAMS);
            return false;
        }
    }
    QByteArray text = sql.toUtf8();
    const SQLRETURN r = SQLExecDirect(m_stmt, reinterpret_cast<SQLCHAR *>(text.data()), SQLINTEGER(text.size()));
    // Read before any other call on the statement clears them.
    const bool ran = r == SQL_SUCCESS || r == SQL_NO_DATA || (r == SQL_SUCCESS_WITH_INFO && warningsOnly())
                     || (!SQL_SUCCEEDED(r) && failed(SQL_HANDLE_STMT, m_stmt));
    const bool refusedForItsState =
        !ran && std::all_of(m_failure.records.cbegin(), m_failure.records.cend(), [](const Diagnostic &d) {
            return d.native == 0 && sqlserver::isStateRefusal(d.state);
        });
    m_sent = !refusedForItsState;
    SQLFreeStmt(m_stmt, SQL_RESET_PARAMS);
    return ran && describe();
}

bool Statement::describe()
{
    m_columns.clear();
    m_row.clear();
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(m_stmt, &count)))
        return failed(SQL_HANDLE_STMT, m_stmt);
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        SQLCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeCol(m_stmt, SQLUSMALLINT(i), name, SQLSMALLINT(sizeof name), &nameLength, &sqlType,
                                          &size, &digits, &nullable)))
            return failed(SQL_HANDLE_STMT, m_stmt);
        const int length = boundedText(sqlType) && size > 0 && size < kUnbounded ? int(size) : 0;
        m_columns.append({fromUtf8(name, std::min<qsizetype>(nameLength, qsizetype(sizeof name) - 1)),
                          metaTypeOf(sqlType), length});
    }
    return true;
}

bool Statement::fetch()
{
    m_row.clear();
    if (!m_stmt || m_columns.isEmpty())
        return false;
    const SQLRETURN r = SQLFetch(m_stmt);
    if (r == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(r))
        return failed(SQL_HANDLE_STMT, m_stmt);
    if (r == SQL_SUCCESS_WITH_INFO && !warningsOnly())
        return false;
    m_row.reserve(m_columns.size());
    for (int c = 0; c < m_columns.size(); ++c) {
        bool ok = true;
        m_row.append(readColumn(c, &ok));
        if (!ok) {
            m_row.clear();
            return false;
        }
    }
    return true;
}

QVariant Statement::readColumn(int column, bool *ok)
{
    const SQLUSMALLINT number = SQLUSMALLINT(column + 1);
    const QMetaType type = m_columns[column].type;
    SQLLEN indicator = 0;
    // A value of fixed size; nullopt for Null (and on an error, with *ok false).
    const auto fixed = [&](SQLSMALLINT cType, auto value) -> std::optional<decltype(value)> {
        if (!SQL_SUCCEEDED(SQLGetData(m_stmt, number, cType, &value, 0, &indicator))) {
            *ok = failed(SQL_HANDLE_STMT, m_stmt);
            return std::nullopt;
        }
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        return value;
    };
    const QVariant null(type);
    switch (type.id()) {
    case QMetaType::Int: {
        const auto v = fixed(SQL_C_SLONG, SQLINTEGER(0));
        return v ? QVariant(int(*v)) : null;
    }
    case QMetaType::Short: {
        const auto v = fixed(SQL_C_SSHORT, SQLSMALLINT(0));
        return v ? QVariant(short(*v)) : null;
    }
    case QMetaType::UInt: {
        const auto v = fixed(SQL_C_ULONG, SQLUINTEGER(0));
        return v ? QVariant(uint(*v)) : null;
    }
    case QMetaType::LongLong: {
        const auto v = fixed(SQL_C_SBIGINT, SQLBIGINT(0));
        return v ? QVariant(qlonglong(*v)) : null;
    }
    case QMetaType::Double: {
        const auto v = fixed(SQL_C_DOUBLE, SQLDOUBLE(0));
        return v ? QVariant(double(*v)) : null;
    }
    case QMetaType::Float: {
        const auto v = fixed(SQL_C_FLOAT, SQLREAL(0));
        return v ? QVariant(float(*v)) : null;
    }
    case QMetaType::QDate: {
        const auto d = fixed(SQL_C_DATE, DATE_STRUCT{});
        return d ? QVariant(QDate(d->year, d->month, d->day)) : null;
    }
    case QMetaType::QTime: {
        const auto t = fixed(SQL_C_TIME, TIME_STRUCT{});
        return t ? QVariant(QTime(t->hour, t->minute, t->second)) : null;
    }
    case QMetaType::QDateTime: {
        const auto s = fixed(SQL_C_TIMESTAMP, TIMESTAMP_STRUCT{});
        return s ? QVariant(QDateTime(QDate(s->year, s->month, s->day),
                                      QTime(s->hour, s->minute, s->second, int(s->fraction / 1000000))))
                 : null;
    }
    default: break;
    }
    // Text and bytes in pieces, as long as they are.
    const bool text = type.id() == QMetaType::QString;
    const SQLSMALLINT cType = text ? SQL_C_CHAR : SQL_C_BINARY;
    const SQLLEN terminator = text ? 1 : 0;
    QByteArray data;
    QByteArray piece(8192, '\0');
    for (;;) {
        const SQLRETURN r = SQLGetData(m_stmt, number, cType, piece.data(), SQLLEN(piece.size()), &indicator);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r)) {
            *ok = failed(SQL_HANDLE_STMT, m_stmt);
            return {};
        }
        if (indicator == SQL_NULL_DATA)
            return null;
        const SQLLEN room = SQLLEN(piece.size()) - terminator;
        const bool more = r == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > room);
        data.append(piece.constData(), more ? room : std::min(indicator, room));
        if (!more)
            break;
    }
    if (text)
        return QString::fromUtf8(data);
    return data;
}

QSqlRecord Statement::record() const
{
    QSqlRecord record;
    for (int c = 0; c < m_columns.size(); ++c) {
        QSqlField field(m_columns[c].name, m_columns[c].type);
        if (c < m_row.size())
            field.setValue(m_row[c]);
        record.append(field);
    }
    return record;
}

bool Statement::nextResult()
{
    m_columns.clear();
    m_row.clear();
    if (!m_stmt)
        return false;
    const SQLRETURN r = SQLMoreResults(m_stmt);
    if (r == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(r))
        return failed(SQL_HANDLE_STMT, m_stmt);
    if (r == SQL_SUCCESS_WITH_INFO && !warningsOnly())
        return false;
    return describe();
}

qint64 Statement::rowCount()
{
    SQLLEN count = -1;
    if (!m_stmt || !SQL_SUCCEEDED(SQLRowCount(m_stmt, &count)))
        return -1;
    return count;
}

void Statement::close()
{
    m_columns.clear();
    m_row.clear();
    if (m_stmt)
        SQLFreeStmt(m_stmt, SQL_CLOSE);
}

} // namespace quillor::platform::odbc
