#include "platform/sqlserver.h"

#include "platform/database.h"
#include "platform/identity.h"
#include "platform/serverway.h"

#include <QSqlQuery>

namespace quillor::platform {

namespace {

// The driver's own rows of a SQL Server batch, for readEveryResult.
class QueryResults final : public sqlserver::BatchResults {
public:
    explicit QueryResults(QSqlQuery &q) : m_q(q) {}
    bool isSelect() const override { return m_q.isSelect(); }
    bool next() override { return m_q.next(); }
    QSqlRecord record() const override { return m_q.record(); }
    bool nextResult() override { return m_q.nextResult(); }
    QSqlError lastError() const override { return m_q.lastError(); }

private:
    QSqlQuery &m_q;
};

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
        call.values << Database::toBindable(v, false);
    }
    call.sql = QStringLiteral("SET NOCOUNT ON; EXEC [%1]").arg(procedure);
    if (!assignments.isEmpty())
        call.sql += u' ' + assignments.join(QStringLiteral(", "));
    call.sql += QStringLiteral("; ") + countsOnAgain();
    return call;
}

QString countsOnAgain() { return QStringLiteral("SET NOCOUNT OFF"); }

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

std::optional<QStringList> readParameters(QSqlDatabase &db, const QString &procedure, DbError *error)
{
    // One query, read to its end and finished: SQL Server without MARS takes
    // no other statement on the connection while a result is still unread.
    // The routine's own row comes even when it declares no parameter (the
    // LEFT JOIN), so an empty list still tells a procedure from none.
    QSqlQuery q(db);
    const auto asSqlServerTakesIt = [](const QVariant &v) { return Database::toBindable(v, false); };
    if (!execBound(q,
                   QStringLiteral("SELECT r.ROUTINE_SCHEMA, p.PARAMETER_NAME FROM INFORMATION_SCHEMA.ROUTINES r "
                                  "LEFT JOIN INFORMATION_SCHEMA.PARAMETERS p ON p.SPECIFIC_SCHEMA = r.SPECIFIC_SCHEMA "
                                  "AND p.SPECIFIC_NAME = r.SPECIFIC_NAME "
                                  "WHERE r.ROUTINE_NAME = ? AND r.ROUTINE_TYPE = 'PROCEDURE' "
                                  "ORDER BY r.ROUTINE_SCHEMA, p.ORDINAL_POSITION"),
                   {procedure}, asSqlServerTakesIt)) {
        if (error)
            *error = fromSqlError(q.lastError(), dberr::QueryFailed);
        return std::nullopt;
    }
    // A procedure of that name may stand in more than one schema; the call
    // names none, so it reaches dbo's (the first schema's when dbo has none).
    QHash<QString, QStringList> bySchema;
    QStringList schemas;
    while (q.next()) {
        const QString schema = q.value(0).toString();
        if (!bySchema.contains(schema))
            schemas << schema;
        QString n = q.value(1).toString();
        if (n.startsWith(u'@'))
            n.remove(0, 1);
        QStringList &names = bySchema[schema];
        if (!n.isEmpty())
            names << n;
    }
    const QSqlError broke = q.lastError();
    q.finish();
    if (broke.isValid()) {
        if (error)
            *error = fromSqlError(broke, dberr::QueryFailed);
        return std::nullopt;
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

} // namespace sqlserver

// ---------------------------------------------------------------------------
// The connection's SQL Server way. Every statement's results are read to
// their end (readEveryResult), or the query finished, before the connection
// runs another: see sqlserver.h.

namespace {

class SqlServerWay final : public ServerWay {
public:
    explicit SqlServerWay(quint64 &queryCount) : m_queries(queryCount) {}

    QVariant bindable(const QVariant &value) const override { return Database::toBindable(value, false); }
    // uniqueidentifier columns compare by value.
    bool matchesObjectIdsByValue() const override { return true; }

    std::optional<QStringList> parameters(DbConnection &conn, const QString &procedure, DbError *error) override
    {
        ++m_queries;
        return sqlserver::readParameters(conn.handle, procedure, error);
    }

    Outcome call(DbConnection &conn, const QString &procedure, const QList<ProcArg> &args, DbError *error) override
    {
        const sqlserver::ProcedureCall call = sqlserver::procedureCall(procedure, args);
        { // the query is gone before a lost connection is dropped
            QSqlQuery q(conn.handle);
            QueryResults results(q);
            const bool ran = exec(q, call.sql, call.values);
            if (ran && sqlserver::readEveryResult(results, error)) {
                if (error)
                    *error = {};
                return Outcome::Done;
            }
            const QSqlError failure = q.lastError();
            if (!ran && error)
                *error = fromSqlError(failure, dberr::QueryFailed);
            if (!ran && connectionLost(conn.handle, failure))
                return Outcome::Lost;
            // Whatever the failed batch left unread goes before another statement runs.
            q.finish();
        }
        // The batch may have ended before it turned the counts on again.
        if (conn.handle.isOpen()) {
            QSqlQuery again(conn.handle);
            readOnce(again);
            again.exec(sqlserver::countsOnAgain());
        }
        return Outcome::Failed;
    }

    bool insert(DbConnection &conn, const NewRow &add, QVector<QVariant> &row, bool &readBack, DbError *error) override
    {
        const sqlserver::Insert insert =
            sqlserver::insertRow(add.table, add.keyColumn, add.columns, add.values, newGuidText());
        QSqlQuery q(conn.handle);
        QueryResults results(q);
        QSqlRecord rec;
        if (!exec(q, insert.sql, insert.values)) {
            if (error)
                *error = fromSqlError(q.lastError(), dberr::QueryFailed);
            return false;
        }
        if (!sqlserver::readEveryResult(results, error, &rec))
            return false;
        readBack = !rec.isEmpty();
        if (readBack) {
            for (int i = 0; i < add.names.size(); ++i)
                row[i] = readable(rec.value(add.names[i]));
        }
        return true;
    }

    bool update(DbConnection &conn, const QString &sql, const QVariantList &values, qint64 &affected,
                DbError *error) override
    {
        QSqlQuery q(conn.handle);
        if (!exec(q, sql, values)) {
            if (error)
                *error = fromSqlError(q.lastError(), dberr::QueryFailed);
            return false;
        }
        affected = q.numRowsAffected();
        QueryResults results(q);
        return sqlserver::readEveryResult(results, error);
    }

protected:
    // An error a trigger or procedure raises after a first result is the statement's failure.
    bool readRest(QSqlQuery &q, DbError *error) override
    {
        QueryResults results(q);
        return sqlserver::readEveryResult(results, error);
    }

private:
    quint64 &m_queries;
};

} // namespace

std::unique_ptr<ServerWay> sqlServerWay(quint64 &queryCount) { return std::make_unique<SqlServerWay>(queryCount); }

} // namespace quillor::platform
