#include "platform/sqlserver.h"

#include "platform/database.h"
#include "platform/identity.h"
#include "platform/odbcstatement.h"
#include "platform/serverway.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>

#include <algorithm>

#include <iconv.h>

namespace quillor::platform {

namespace {

// A statement's results, for readEveryResult.
class StatementResults final : public sqlserver::BatchResults {
public:
    explicit StatementResults(odbc::Statement &st) : m_st(st) {}
    bool isSelect() const override { return m_st.isSelect(); }
    bool next() override { return m_st.fetch(); }
    QSqlRecord record() const override { return m_st.record(); }
    bool nextResult() override { return m_st.nextResult(); }
    QSqlError lastError() const override { return m_st.failure().toSqlError(); }

private:
    odbc::Statement &m_st;
};

// Whether each character fits one code page, asked of the system's converter
// once per character and code page.
class CodePageCharacters {
public:
    bool fits(char32_t c, int codePage) { return encoded(c, codePage) != 0; }
    // The bytes the character takes in the code page (1 for one it cannot hold).
    int bytes(char32_t c, int codePage) { return std::max(encoded(c, codePage), 1); }

private:
    // The character's length in the code page; 0 when it cannot hold it, -1
    // when the system cannot name the code page (the driver's own check decides).
    int encoded(char32_t c, int codePage)
    {
        QMutexLocker lock(&m_mutex);
        const quint64 key = (quint64(quint32(codePage)) << 32) | c;
        if (const auto it = m_known.constFind(key); it != m_known.cend())
            return *it;
        const int length = convert(c, codePage);
        m_known.insert(key, length);
        return length;
    }
    static int convert(char32_t c, int codePage)
    {
        const QByteArray name = "CP" + QByteArray::number(codePage);
        iconv_t cd = iconv_open(name.constData(), "UTF-32LE");
        if (cd == iconv_t(-1))
            return -1;
        char in[4] = {char(c & 0xFF), char((c >> 8) & 0xFF), char((c >> 16) & 0xFF), char((c >> 24) & 0xFF)};
        char out[16];
        char *inp = in;
        char *outp = out;
        size_t inLeft = sizeof in;
        size_t outLeft = sizeof out;
        const bool fit = iconv(cd, &inp, &inLeft, &outp, &outLeft) != size_t(-1) && inLeft == 0;
        iconv_close(cd);
        return fit ? int(sizeof out - outLeft) : 0;
    }
    QMutex m_mutex;
    QHash<quint64, int> m_known;
};

// Text in ASCII goes the same in every code page a server uses.
bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

CodePageCharacters &codePageCharacters()
{
    static CodePageCharacters characters;
    return characters;
}

} // namespace

namespace sqlserver {

ProcedureCall procedureCall(const QString &procedure, const QList<ProcArg> &args)
{
    ProcedureCall call;
    QStringList assignments;
    for (const ProcArg &a : args) {
        assignments << QStringLiteral("@%1 = ?").arg(a.name);
        QVariant v = a.value;
        // A Null keeps the type of its parameter, so the driver declares it as the procedure expects.
        if (v.isNull()) {
            switch (a.type) {
            case AdoType::Integer: v = QVariant(QMetaType::fromType<int>()); break;
            case AdoType::Date: v = QVariant(QMetaType::fromType<QDateTime>()); break;
            default: v = QVariant(QMetaType::fromType<QString>()); break;
            }
        }
        call.values << bindable(v);
    }
    call.sql = QStringLiteral("SET NOCOUNT ON; EXEC [%1]").arg(procedure);
    if (!assignments.isEmpty())
        call.sql += u' ' + assignments.join(QStringLiteral(", "));
    call.sql += QStringLiteral("; ") + countsOnAgain(false);
    return call;
}

QString countsOnAgain(bool endTransaction)
{
    return endTransaction ? QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION; SET NOCOUNT OFF")
                          : QStringLiteral("SET NOCOUNT OFF");
}

QVariant bindable(const QVariant &value)
{
    if (const std::optional<QVariant> alike = boundAlike(value))
        return *alike;
    if (value.typeId() == QMetaType::QDateTime) {
        QDateTime whole = value.toDateTime();
        whole.setTime(QTime(whole.time().hour(), whole.time().minute(), whole.time().second()));
        return whole;
    }
    return value;
}

bool readEveryResult(BatchResults &results, DbError *error, QSqlRecord *lastRow)
{
    if (lastRow)
        *lastRow = QSqlRecord();
    const auto failed = [&] {
        const QSqlError e = results.lastError();
        if (!e.isValid())
            return false;
        if (error)
            *error = fromSqlError(e, dberr::QueryFailed);
        if (lastRow)
            *lastRow = QSqlRecord();
        return true;
    };
    do {
        if (failed())
            return false;
        if (!results.isSelect())
            continue;
        if (lastRow)
            *lastRow = QSqlRecord();
        for (bool first = true; results.next(); first = false) {
            if (first && lastRow)
                *lastRow = results.record();
        }
        if (failed())
            return false;
    } while (results.nextResult());
    return !failed();
}

Insert insertRow(const QString &table, const QString &keyColumn, const QStringList &columns, const QVariantList &values,
                 const QString &newKey)
{
    Insert insert{QString(), values};
    QStringList names = columns;
    qsizetype key = -1;
    for (qsizetype i = 0; i < names.size() && key < 0; ++i)
        if (names[i].compare(keyColumn, Qt::CaseInsensitive) == 0)
            key = i;
    if (key < 0 && keyColumn.endsWith(QLatin1String("ObjectID"), Qt::CaseInsensitive)) {
        key = names.size();
        names << keyColumn;
        insert.values << newKey;
    }
    if (names.isEmpty()) {
        insert.sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    } else {
        const QStringList marks(names.size(), QStringLiteral("?"));
        insert.sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(u','), marks.join(u','));
    }
    insert.sql += QStringLiteral("; SELECT * FROM %1 WHERE %2 = ").arg(table, keyColumn);
    if (key < 0) {
        insert.sql += QStringLiteral("SCOPE_IDENTITY()");
    } else {
        insert.sql += u'?';
        const QVariant keyValue = insert.values[key];
        insert.values << keyValue;
    }
    return insert;
}

QString parameterQuery()
{
    // The routine's own row comes even when it declares no parameter (the
    // LEFT JOIN), so an empty list still tells a procedure from none.
    return QStringLiteral("SELECT r.ROUTINE_SCHEMA, p.PARAMETER_NAME, p.CHARACTER_MAXIMUM_LENGTH, p.DATA_TYPE "
                          "FROM INFORMATION_SCHEMA.ROUTINES r "
                          "LEFT JOIN INFORMATION_SCHEMA.PARAMETERS p ON p.SPECIFIC_SCHEMA = r.SPECIFIC_SCHEMA "
                          "AND p.SPECIFIC_NAME = r.SPECIFIC_NAME "
                          "WHERE r.ROUTINE_NAME = ? AND r.ROUTINE_TYPE = 'PROCEDURE' "
                          "ORDER BY r.ROUTINE_SCHEMA, p.ORDINAL_POSITION");
}

std::optional<QList<ProcParameter>> parametersFrom(const QString &procedure, const QList<QVariantList> &rows,
                                                   DbError *error)
{
    // A procedure of that name may stand in more than one schema; the call
    // names none, so it reaches dbo's (the first schema's when dbo has none).
    QHash<QString, QList<ProcParameter>> bySchema;
    QStringList schemas;
    for (const QVariantList &row : rows) {
        const QString schema = row.value(0).toString();
        if (!bySchema.contains(schema))
            schemas << schema;
        QString n = row.value(1).toString();
        if (n.startsWith(u'@'))
            n.remove(0, 1);
        QList<ProcParameter> &names = bySchema[schema];
        bool bounded = false;
        const int length = row.value(2).toInt(&bounded);
        const QString type = row.value(3).toString().trimmed();
        const bool bytes = type.compare(QLatin1String("varchar"), Qt::CaseInsensitive) == 0
                           || type.compare(QLatin1String("char"), Qt::CaseInsensitive) == 0;
        if (!n.isEmpty())
            names << ProcParameter{n, bounded && length > 0 ? length : 0, bytes};
    }
    if (schemas.isEmpty()) {
        setUnknownProcedure(error, procedure);
        return std::nullopt;
    }
    const auto dbo = std::find_if(schemas.cbegin(), schemas.cend(), [](const QString &s) {
        return s.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0;
    });
    return bySchema.value(dbo != schemas.cend() ? *dbo : schemas.first());
}

QString codePageQuery()
{
    return QStringLiteral("SELECT CONVERT(int, COLLATIONPROPERTY(CONVERT(nvarchar(128), "
                          "DATABASEPROPERTYEX(DB_NAME(), 'Collation')), 'CodePage')) AS CodePage");
}

QString outsideCodePage(const QString &text, int codePage)
{
    if (codePage <= 0 || codePage == 65001)
        return {};
    QString outside;
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80 || codePageCharacters().fits(c, codePage))
            continue;
        const QString character = QString::fromUcs4(&c, 1);
        if (!outside.contains(character))
            outside += character;
    }
    return outside;
}

DbError notInCodePage(const QString &text, const QString &characters, int codePage)
{
    QStringList quoted;
    for (const char32_t c : characters.toUcs4())
        quoted << u'"' + QString::fromUcs4(&c, 1) + u'"';
    return DbError{dberr::NotInCodePage,
                   QStringLiteral("The text \"%1\" holds characters that the database's code page (%2) cannot store: "
                                  "%3. Nothing was sent to the server.")
                       .arg(text)
                       .arg(codePage)
                       .arg(quoted.join(QStringLiteral(", ")))};
}

DbError codePageUnknown(const QString &text)
{
    return DbError{dberr::NotInCodePage,
                   QStringLiteral("The text \"%1\" holds characters outside ASCII, and the database's code page could "
                                  "not be read: only ASCII text is sent until it can be. Nothing was sent to the server.")
                       .arg(text)};
}

qsizetype byteLength(const QString &text, int codePage)
{
    if (isAscii(text))
        return text.size();
    if (codePage == 65001)
        return text.toUtf8().size();
    qsizetype bytes = 0;
    for (const char32_t c : text.toUcs4())
        bytes += c < 0x80 ? 1 : codePageCharacters().bytes(c, codePage);
    return bytes;
}

DbError tooLong(const QString &field, qsizetype length, int maxLength, bool bytes)
{
    return DbError{dberr::TextTooLong,
                   QStringLiteral("The value for %1 is %2 %3 long%4; the server takes at most %5. Nothing was "
                                  "sent to the server.")
                       .arg(field)
                       .arg(length)
                       .arg(bytes ? QStringLiteral("bytes") : QStringLiteral("characters"),
                            bytes ? QStringLiteral(" in the database's code page") : QString())
                       .arg(maxLength)};
}

bool leavesConnectionUnusable(const QString &sqlState)
{
    return isConnectionException(sqlState) || isTimeout(sqlState) || isStateRefusal(sqlState);
}

bool isStateRefusal(const QString &sqlState)
{
    static const QStringList states{QStringLiteral("24000"), QStringLiteral("HY010"), QStringLiteral("S1010")};
    return states.contains(sqlState);
}

bool isTimeout(const QString &sqlState)
{
    static const QStringList states{QStringLiteral("HYT00"), QStringLiteral("HYT01"), QStringLiteral("S1T00")};
    return states.contains(sqlState);
}

bool isConnectionException(const QString &sqlState) { return sqlState.startsWith(QLatin1String("08")); }

} // namespace sqlserver

// ---------------------------------------------------------------------------
// The connection's SQL Server way. Statements run on the connection's own
// ODBC handle (odbc::Statement), each read to its end (readEveryResult) or
// closed before the connection runs another: see sqlserver.h.

namespace {

// The rows of a read, walked once; what follows them is read for an error
// the server sends after the last row.
class StatementRows final : public Rows {
public:
    StatementRows(std::unique_ptr<odbc::Statement> st, std::function<Outcome(odbc::Statement &, DbError *)> failed)
        : m_st(std::move(st)), m_failed(std::move(failed))
    {
        QStringList columns;
        for (const odbc::Column &c : m_st->columns()) {
            columns << c.name;
            lengths << c.length;
        }
        name(columns);
    }
    bool next(QVariantList &row) override
    {
        if (!m_st->fetch())
            return false;
        row = m_st->row();
        return true;
    }
    Outcome end(DbError *error) override
    {
        if (!m_st->failure().isSet())
            while (m_st->nextResult()) {
                while (m_st->fetch()) {
                }
                if (m_st->failure().isSet())
                    break;
            }
        const Outcome outcome = m_st->failure().isSet() ? m_failed(*m_st, error) : Outcome::Done;
        if (outcome == Outcome::Done && error)
            *error = {};
        m_st.reset();
        return outcome;
    }

private:
    std::unique_ptr<odbc::Statement> m_st;
    std::function<Outcome(odbc::Statement &, DbError *)> m_failed;
};

// A connection idle for longer than this is checked before a write goes on
// it: a server restarted or a connection cut by a firewall meanwhile is
// found by a statement that changes nothing. (Connection pools check one
// idle for half a second before they lend it.)
constexpr qint64 kIdleBeforeCheckMs = 1000;

class SqlServerWay final : public ServerWay {
public:
    SqlServerWay(quint64 &queryCount, const SqlServerSettings &settings) : m_queries(queryCount), m_settings(settings) {}

    // The database's code page, in which every text goes. A connection on
    // which it met a server error is kept, the code page asked again before
    // a text needs it; one lost on the way is no connection.
    Outcome opened(DbConnection &conn, DbError *error) override
    {
        m_dbc = odbc::connectionHandle(conn.handle);
        m_codePage.reset();
        DbError why;
        const Outcome outcome = readCodePage(&why);
        if (!isLost(outcome))
            return Outcome::Done;
        if (error)
            *error = why;
        return outcome;
    }
    // A connection the driver already knows to be gone is opened anew before it is used.
    bool usable(DbConnection &conn, DbError *) override
    {
        if (conn.handle.isOpen() && odbc::connectionDead(m_dbc)) {
            m_dbc = nullptr;
            conn.handle.close();
        }
        return true;
    }
    bool stillThere(DbConnection &) override
    {
        return (m_lastUse.isValid() && m_lastUse.elapsed() <= kIdleBeforeCheckMs) || answers();
    }
    void closing(DbConnection &) override { m_dbc = nullptr; }

    // Bytes are counted in the code page, asked again here when it is not
    // known; while it cannot be read, in UTF-8, which no code page exceeds (a
    // text that fits then may still be refused, never one cut by the server).
    qsizetype lengthOf(const QString &text, const ProcParameter &parameter) override
    {
        if (!parameter.bytes || isAscii(text))
            return text.size();
        knownCodePage(nullptr);
        return m_codePage ? sqlserver::byteLength(text, *m_codePage) : text.toUtf8().size();
    }

    // uniqueidentifier columns compare by value.
    bool matchesObjectIdsByValue() const override { return true; }

    std::unique_ptr<Rows> read(DbConnection &, const QString &sql, const QVariantList &params, DbError *error,
                               Outcome &outcome) override
    {
        QVariantList values;
        DbError refused;
        outcome = bind(params, values, &refused);
        if (outcome != Outcome::Done) {
            // What the server could not hold is in none of its rows; a text
            // that cannot be checked is refused.
            if (outcome == Outcome::Failed && m_codePage) {
                outcome = Outcome::Done;
                return noRows();
            }
            if (error)
                *error = refused;
            return nullptr;
        }
        auto st = statement();
        if (!st->execute(sql, values)) {
            outcome = failed(*st, error);
            return nullptr;
        }
        outcome = Outcome::Done;
        return std::make_unique<StatementRows>(std::move(st),
                                               [this](odbc::Statement &s, DbError *e) { return failed(s, e); });
    }

    Outcome execute(DbConnection &, const QString &sql, const QVariantList &params, DbError *error,
                    int *rowsAffected) override
    {
        QVariantList values;
        if (const Outcome bound = bind(params, values, error); bound != Outcome::Done)
            return bound;
        auto st = statement();
        if (!st->execute(sql, values))
            return sent(*st, failed(*st, error), error);
        if (rowsAffected)
            *rowsAffected = int(st->rowCount());
        // An error a trigger raises after a first result is the statement's failure.
        StatementResults results(*st);
        if (!sqlserver::readEveryResult(results, error))
            return sent(*st, failed(*st, error), error);
        return Outcome::Done;
    }

    std::optional<QList<ProcParameter>> parameters(DbConnection &, const QString &procedure, DbError *error,
                                                   Outcome &outcome) override
    {
        ++m_queries;
        observe(sqlserver::parameterQuery());
        auto st = statement();
        QList<QVariantList> rows;
        outcome = Outcome::Done;
        if (!st->execute(sqlserver::parameterQuery(), {procedure})) {
            outcome = failed(*st, error);
            return std::nullopt;
        }
        while (st->fetch())
            rows << st->row();
        StatementResults results(*st);
        if (st->failure().isSet() || !sqlserver::readEveryResult(results, error)) {
            outcome = failed(*st, error);
            return std::nullopt;
        }
        return sqlserver::parametersFrom(procedure, rows, error);
    }

    Outcome call(DbConnection &conn, const QString &procedure, const QList<ProcArg> &args, DbError *error) override
    {
        const sqlserver::ProcedureCall call = sqlserver::procedureCall(procedure, args);
        observe(call.sql);
        QVariantList values;
        if (const Outcome bound = bind(call.values, values, error); bound != Outcome::Done)
            return bound;
        {
            auto st = statement();
            StatementResults results(*st);
            if (st->execute(call.sql, values) && sqlserver::readEveryResult(results, error)) {
                if (error)
                    *error = {};
                return Outcome::Done;
            }
            // (Whatever the failed batch left unread is discarded before another statement runs.)
            if (const Outcome outcome = failed(*st, error); isLost(outcome))
                return sent(*st, outcome, error);
        }
        // The batch may have ended before it turned the counts on again, or
        // the procedure with a transaction of its own still open.
        const QString again = sqlserver::countsOnAgain(!conn.inTransaction);
        ++m_queries;
        observe(again);
        auto st = statement();
        if (!st->execute(again, {})) {
            if (const Outcome outcome = failed(*st, nullptr); isLost(outcome))
                return outcome;
        }
        st->close();
        return Outcome::Failed;
    }

    Outcome insert(DbConnection &, const NewRow &add, QVector<QVariant> &row, bool &readBack, DbError *error) override
    {
        const sqlserver::Insert insert =
            sqlserver::insertRow(add.table, add.keyColumn, add.columns, add.values, newGuidText());
        observe(insert.sql);
        QVariantList values;
        if (const Outcome bound = bind(insert.values, values, error); bound != Outcome::Done)
            return bound;
        auto st = statement();
        StatementResults results(*st);
        QSqlRecord rec;
        if (!st->execute(insert.sql, values) || !sqlserver::readEveryResult(results, error, &rec))
            return sent(*st, failed(*st, error), error);
        readBack = !rec.isEmpty();
        if (readBack) {
            for (int i = 0; i < add.names.size(); ++i)
                row[i] = readable(rec.value(add.names[i]));
        }
        return Outcome::Done;
    }

    Outcome update(DbConnection &conn, const QString &sql, const QVariantList &params, qint64 &affected,
                   DbError *error) override
    {
        int count = 0;
        const Outcome outcome = execute(conn, sql, params, error, &count);
        affected = count;
        return outcome;
    }

    // The transaction's bounds as statements of their own: the connection
    // stays in autocommit, so no state of the driver's can outlive a
    // transaction the server ended itself (a deadlock victim's), and a
    // rollback after such an end finds nothing to refuse.
    Outcome begin(DbConnection &conn, DbError *error) override
    {
        return transactionBound(conn, QStringLiteral("BEGIN TRANSACTION"), error);
    }
    Outcome commit(DbConnection &conn, DbError *error) override
    {
        return transactionBound(conn, QStringLiteral("COMMIT TRANSACTION"), error);
    }
    Outcome rollback(DbConnection &conn, DbError *error) override
    {
        return transactionBound(conn, QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"), error);
    }

private:
    Outcome transactionBound(DbConnection &conn, const QString &sql, DbError *error)
    {
        observe(sql);
        return execute(conn, sql, {}, error, nullptr);
    }

    // One statement that changes nothing, read to its end: whether the
    // connection still runs any.
    bool answers()
    {
        ++m_queries;
        const QString probe = QStringLiteral("SELECT 1");
        observe(probe);
        auto check = statement();
        StatementResults results(*check);
        return check->execute(probe, {}) && sqlserver::readEveryResult(results, nullptr);
    }

    std::unique_ptr<odbc::Statement> statement()
    {
        m_lastUse.start();
        auto st = std::make_unique<odbc::Statement>(m_dbc);
        if (m_settings.statementTimeout > 0)
            st->setTimeout(m_settings.statementTimeout);
        return st;
    }

    // The code page of the database's collation, read to the end of its
    // results (a statement closed early makes the driver cancel it: one more
    // round trip). Not Done when the query failed; the code page is then unknown.
    Outcome readCodePage(DbError *error)
    {
        ++m_queries;
        observe(sqlserver::codePageQuery());
        auto st = statement();
        StatementResults results(*st);
        QSqlRecord first;
        if (!st->execute(sqlserver::codePageQuery(), {}) || !sqlserver::readEveryResult(results, error, &first))
            return failed(*st, error);
        bool ok = false;
        const int codePage = first.value(0).toInt(&ok);
        if (ok && codePage > 0)
            m_codePage = codePage;
        return Outcome::Done;
    }

    // Done when the code page is known, asked again first when it is not;
    // Failed while it cannot be read; Lost or Gone (with `why`) when the
    // connection went on the way.
    Outcome knownCodePage(DbError *why)
    {
        if (m_codePage)
            return Outcome::Done;
        const Outcome asked = readCodePage(why);
        return isLost(asked) ? asked : m_codePage ? Outcome::Done : Outcome::Failed;
    }

    // The values as SQL Server takes them. A text the database's code page
    // cannot hold is refused (Failed, with `error`): the driver would fail
    // to convert it, leaving the connection unusable. Neither is a text
    // outside ASCII sent while the code page is not known, which is asked
    // for again first; a connection lost on the way is Lost or Gone.
    Outcome bind(const QVariantList &params, QVariantList &values, DbError *error)
    {
        values.clear();
        values.reserve(params.size());
        for (const QVariant &p : params) {
            values << sqlserver::bindable(p);
            if (values.last().typeId() != QMetaType::QString || values.last().isNull())
                continue;
            const QString text = values.last().toString();
            if (isAscii(text))
                continue;
            DbError why;
            if (const Outcome known = knownCodePage(&why); known != Outcome::Done) {
                if (error)
                    *error = isLost(known) ? why : sqlserver::codePageUnknown(text);
                return known;
            }
            const QString outside = sqlserver::outsideCodePage(text, *m_codePage);
            if (!outside.isEmpty()) {
                if (error)
                    *error = sqlserver::notInCodePage(text, outside, *m_codePage);
                return Outcome::Failed;
            }
        }
        return Outcome::Done;
    }

    // A write's request went: when the connection went before its answer,
    // the server may have made the change. Not when the statement never
    // handed its request on (odbc::Statement::sent).
    static Outcome sent(const odbc::Statement &st, Outcome outcome, DbError *error)
    {
        if (isLost(outcome) && error && st.sent())
            error->mayHaveRun = true;
        return outcome;
    }

    // The error a statement met, and what it left of the connection: a
    // time-out leaves it Lost (the server is there, maybe still working); the
    // driver's word that it is dead or a connection exception, Gone; an
    // invalid cursor or function sequence state, Lost. For an error of the
    // driver's own (no server number), one statement shows whether the
    // connection still runs any.
    Outcome failed(odbc::Statement &st, DbError *error)
    {
        const odbc::Failure failure = st.failure();
        if (error)
            *error = DbError{failure.native() ? failure.native() : dberr::QueryFailed, failure.text()};
        st.close();
        const auto any = [&failure](bool (*test)(const QString &)) {
            return std::any_of(failure.records.cbegin(), failure.records.cend(),
                               [test](const odbc::Diagnostic &d) { return test(d.state); });
        };
        if (any(sqlserver::isTimeout))
            return Outcome::Lost;
        if (odbc::connectionDead(m_dbc) || any(sqlserver::isConnectionException))
            return Outcome::Gone;
        if (any(sqlserver::leavesConnectionUnusable))
            return Outcome::Lost;
        if (failure.native() != 0)
            return Outcome::Failed;
        if (answers())
            return Outcome::Failed;
        return odbc::connectionDead(m_dbc) ? Outcome::Gone : Outcome::Lost;
    }

    quint64 &m_queries;
    SqlServerSettings m_settings;
    odbc::Handle m_dbc = nullptr;
    std::optional<int> m_codePage;
    // Since the last statement began on the connection.
    QElapsedTimer m_lastUse;
};

} // namespace

std::unique_ptr<ServerWay> sqlServerWay(quint64 &queryCount, const SqlServerSettings &settings)
{
    return std::make_unique<SqlServerWay>(queryCount, settings);
}

} // namespace quillor::platform
