#include "platform/database.h"
#include "platform/serverway.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sys/stat.h>

// The connection's stand-in way: the embedded server's SQLite files, through
// Qt's SQLite driver or over ODBC. Its procedures run from the catalogue,
// values are bound as text, and a row is read back by SQLite's own rowid.

namespace quillor::platform {

namespace {

// A query read once, front to back: Qt would otherwise ask the driver for a
// scrollable cursor.
void readOnce(QSqlQuery &q) { q.setForwardOnly(true); }

// A value as the stand-in stores it: dates as text, flags as 0 and 1, ObjectIDs as their braced text.
QVariant bindable(const QVariant &value)
{
    if (const std::optional<QVariant> alike = boundAlike(value))
        return *alike;
    const int type = value.metaType().id();
    if (type == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (type == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
    if (type == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    return value;
}

// Prepares `sql`, binds `params` as the stand-in takes them and runs it.
bool exec(QSqlQuery &q, const QString &sql, const QVariantList &params)
{
    readOnce(q);
    if (!q.prepare(sql))
        return false;
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, bindable(params[i]));
    return q.exec();
}

// True when a failed statement means the connection itself is gone, to be
// opened anew. Qt's SQLite driver calls every failed step a ConnectionError,
// a lock or a UNIQUE violation too, so there only SQLite's primary result
// codes for a file that cannot be used count.
bool connectionLost(const QSqlDatabase &db, const QSqlError &e)
{
    if (!db.isOpen())
        return true;
    if (db.driverName() != QLatin1String("QSQLITE"))
        return e.type() == QSqlError::ConnectionError;
    enum SqlitePrimary { IoError = 10, Corrupt = 11, CannotOpen = 14, NotADatabase = 26 };
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok) & 0xFF;
    return ok && (code == IoError || code == Corrupt || code == CannotOpen || code == NotADatabase);
}

// A failed statement's error, and what it left of the connection.
Outcome failure(const QSqlDatabase &db, const QSqlError &e, DbError *error)
{
    if (error)
        *error = fromSqlError(e, dberr::QueryFailed);
    return connectionLost(db, e) ? Outcome::Lost : Outcome::Failed;
}

// A prepared read kept for reuse, with the field names of its rows: the tree
// sends the same few queries for every node.
struct PreparedStatement {
    QSqlQuery query;
    bool described = false;
    QStringList names;
    explicit PreparedStatement(const QSqlDatabase &db) : query(db) {}
};

// The rows of a prepared read, through the tests' rewrite.
class PreparedRows final : public Rows {
public:
    PreparedRows(std::shared_ptr<PreparedStatement> st, const Database::RowRewrite *rewrite, QSqlDatabase db)
        : m_st(std::move(st)), m_rewrite(rewrite), m_db(std::move(db))
    {
        name(m_st->names);
        lengths = QList<int>(names.size(), 0);
    }
    bool next(QVariantList &row) override
    {
        QSqlQuery &q = m_st->query;
        if (!q.next())
            return false;
        for (int i = 0; i < row.size(); ++i)
            row[i] = readable(q.value(i));
        if (m_rewrite)
            (*m_rewrite)(names, row);
        return true;
    }
    Outcome end(DbError *error) override
    {
        const QSqlError broke = m_st->query.lastError();
        m_st->query.finish();
        if (!broke.isValid()) {
            if (error)
                *error = {};
            return Outcome::Done;
        }
        return failure(m_db, broke, error);
    }

private:
    std::shared_ptr<PreparedStatement> m_st;
    const Database::RowRewrite *m_rewrite;
    QSqlDatabase m_db;
};

// The procedure a batch text starts with ("sp_X @a = 1" or "EXEC sp_X ...").
QString firstWord(const QString &sql)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(?:exec(?:ute)?\\s+)?([A-Za-z_][A-Za-z0-9_]*)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    return m.hasMatch() ? m.captured(1) : QString();
}

// --- the stand-in's database file under an open connection -----------------
//
// A connection holds its SQLite file open: when the file is deleted or
// replaced while the program runs, the connection goes on reading the old
// file, and its writes fail as "readonly database" or are lost. So a stand-in
// connection notes which file it opened and, before each use, reopens when
// another file stands at that path, or reports that there is none.

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

std::optional<FileIdentity> fileIdentity(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

// The file of a stand-in database's main schema, whichever driver opened it.
QString databaseFile(const QSqlDatabase &db)
{
    QSqlQuery list(db);
    readOnce(list);
    if (!list.exec(QStringLiteral("PRAGMA database_list")))
        return {};
    while (list.next())
        if (list.value(1).toString() == QLatin1String("main"))
            return list.value(2).toString();
    return {};
}

class StandInWay final : public ServerWay {
public:
    StandInWay(std::shared_ptr<ProcedureCatalogue> procedures, quint64 &queryCount)
        : m_procedures(std::move(procedures)), m_queries(queryCount)
    {
    }

    // What a stand-in connection needs after every opening: the server's
    // foreign keys left to its procedures, and the file it opened noted.
    Outcome opened(DbConnection &conn, DbError *) override
    {
        QSqlQuery pragma(conn.handle);
        readOnce(pragma);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
        if (m_file.isEmpty())
            m_file = databaseFile(conn.handle);
        m_opened = fileIdentity(m_file).value_or(FileIdentity{});
        return Outcome::Done;
    }
    // False, with the reason, when no file stands at the path any more. A
    // different file there closes the connection, to be opened on it anew.
    bool usable(DbConnection &conn, DbError *error) override
    {
        if (m_file.isEmpty())
            return true;
        const std::optional<FileIdentity> now = fileIdentity(m_file);
        if (now && *now == m_opened)
            return true;
        m_statements.clear();
        conn.handle.close();
        if (now)
            return true;
        setError(error, dberr::ConnectionFailed, QStringLiteral("The database file %1 does not exist.").arg(m_file));
        return false;
    }

    void closing(DbConnection &) override { m_statements.clear(); }

    const Database::RowRewrite *rowRewrite() const override
    {
        return standInRowRewrite() ? &standInRowRewrite() : nullptr;
    }
    // The stored ObjectIDs are braced and compared as text; only rows
    // rewritten as SQL Server hands them are taken to match by value.
    bool matchesObjectIdsByValue() const override { return bool(standInRowRewrite()); }

    // Prepared once per text and kept.
    std::unique_ptr<Rows> read(DbConnection &conn, const QString &sql, const QVariantList &params, DbError *error,
                               Outcome &outcome) override
    {
        outcome = Outcome::Failed;
        std::shared_ptr<PreparedStatement> st = m_statements.value(sql);
        if (!st) {
            st = std::make_shared<PreparedStatement>(conn.handle);
            readOnce(st->query);
            if (!st->query.prepare(sql)) {
                outcome = failure(conn.handle, st->query.lastError(), error);
                return nullptr;
            }
            // Texts with many values (IN lists of every length) would fill the cache for nothing.
            if (m_statements.size() > 256)
                m_statements.clear();
            m_statements.insert(sql, st);
        }
        QSqlQuery &q = st->query;
        for (int i = 0; i < params.size(); ++i)
            q.bindValue(i, bindable(params[i]));
        if (!q.exec()) {
            outcome = failure(conn.handle, q.lastError(), error);
            q.finish();
            m_statements.remove(sql);
            return nullptr;
        }
        if (!st->described) {
            const QSqlRecord rec = q.record();
            for (int i = 0; i < rec.count(); ++i)
                st->names << rec.fieldName(i);
            st->described = true;
        }
        outcome = Outcome::Done;
        return std::make_unique<PreparedRows>(st, rowRewrite(), conn.handle);
    }

    // A text that starts with one of the catalogue's procedures runs as that procedure's batch.
    Outcome execute(DbConnection &conn, const QString &sql, const QVariantList &params, DbError *error,
                    int *rowsAffected) override
    {
        const QString word = m_procedures ? firstWord(sql) : QString();
        if (!word.isEmpty() && m_procedures->parameters(word)) {
            DbError e;
            const bool ok = m_procedures->executeBatch(conn.handle, sql, &e);
            if (error)
                *error = ok ? DbError{} : e;
            return ok ? Outcome::Done : Outcome::Failed;
        }
        QSqlQuery q(conn.handle);
        if (!exec(q, sql, params)) {
            const Outcome outcome = failure(conn.handle, q.lastError(), error);
            q.finish();
            return outcome;
        }
        if (rowsAffected)
            *rowsAffected = q.numRowsAffected();
        if (error)
            *error = {};
        return Outcome::Done;
    }

    std::optional<QList<ProcParameter>> parameters(DbConnection &, const QString &procedure, DbError *error,
                                                   Outcome &outcome) override
    {
        outcome = Outcome::Done;
        const auto declared = m_procedures ? m_procedures->parameters(procedure) : std::nullopt;
        if (!declared) {
            setUnknownProcedure(error, procedure);
            return std::nullopt;
        }
        QList<ProcParameter> parameters;
        for (const QString &name : *declared)
            parameters << ProcParameter{name, 0};
        return parameters;
    }

    Outcome call(DbConnection &conn, const QString &procedure, const QList<ProcArg> &args, DbError *error) override
    {
        DbError e;
        const bool ok = m_procedures && m_procedures->execute(conn.handle, procedure, args, &e);
        if (error)
            *error = ok ? DbError{} : e;
        return ok ? Outcome::Done : Outcome::Failed;
    }

    Outcome insert(DbConnection &conn, const NewRow &add, QVector<QVariant> &row, bool &readBack, DbError *error) override
    {
        const QStringList marks(add.columns.size(), QStringLiteral("?"));
        const QString sql = add.columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(add.table)
                                                  : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                        .arg(add.table, add.columns.join(u','), marks.join(u','));
        QSqlQuery q(conn.handle);
        if (!exec(q, sql, add.values))
            return failure(conn.handle, q.lastError(), error);
        // Asked of SQLite itself: Qt's ODBC driver has no lastInsertId().
        QSqlQuery back(conn.handle);
        readOnce(back);
        ++m_queries;
        readBack = back.exec(QStringLiteral("SELECT * FROM %1 WHERE rowid = last_insert_rowid()").arg(add.table))
                   && back.next();
        if (readBack) {
            const QSqlRecord rec = back.record();
            for (int i = 0; i < add.names.size(); ++i)
                row[i] = readable(back.value(rec.indexOf(add.names[i])));
            if (const Database::RowRewrite *rewrite = rowRewrite())
                (*rewrite)(add.names, row);
        }
        return Outcome::Done;
    }

    Outcome update(DbConnection &conn, const QString &sql, const QVariantList &values, qint64 &affected,
                   DbError *error) override
    {
        // Through a view the rows change in its trigger, which SQLite counts only in total_changes().
        const auto totalChanges = [&conn]() {
            QSqlQuery c(conn.handle);
            readOnce(c);
            return c.exec(QStringLiteral("SELECT total_changes()")) && c.next() ? c.value(0).toLongLong() : -1;
        };
        const qint64 before = totalChanges();
        QSqlQuery q(conn.handle);
        if (!exec(q, sql, values))
            return failure(conn.handle, q.lastError(), error);
        affected = totalChanges() - before;
        return Outcome::Done;
    }

    Outcome begin(DbConnection &conn, DbError *error) override
    {
        return conn.handle.transaction() ? Outcome::Done : failure(conn.handle, conn.handle.lastError(), error);
    }
    Outcome commit(DbConnection &conn, DbError *error) override
    {
        return conn.handle.commit() ? Outcome::Done : failure(conn.handle, conn.handle.lastError(), error);
    }
    Outcome rollback(DbConnection &conn, DbError *error) override
    {
        return conn.handle.rollback() ? Outcome::Done : failure(conn.handle, conn.handle.lastError(), error);
    }

private:
    std::shared_ptr<ProcedureCatalogue> m_procedures;
    quint64 &m_queries;
    QHash<QString, std::shared_ptr<PreparedStatement>> m_statements;
    // The file the connection opened, and which file it was.
    QString m_file;
    FileIdentity m_opened;
};

} // namespace

std::unique_ptr<ServerWay> standInWay(std::shared_ptr<ProcedureCatalogue> procedures, quint64 &queryCount)
{
    return std::make_unique<StandInWay>(std::move(procedures), queryCount);
}

} // namespace quillor::platform
