#include "platform/database.h"
#include "platform/serverway.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sys/stat.h>

// The connection's stand-in way: the embedded server's SQLite files, through
// Qt's SQLite driver or over ODBC. Its procedures run from the catalogue,
// values are bound as text, and a row is read back by SQLite's own rowid.

namespace quillor::platform {

namespace {

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
    void opened(DbConnection &conn) override
    {
        QSqlQuery pragma(conn.handle);
        readOnce(pragma);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
        if (m_file.isEmpty())
            m_file = databaseFile(conn.handle);
        m_opened = fileIdentity(m_file).value_or(FileIdentity{});
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
        conn.statements.clear();
        conn.handle.close();
        if (now)
            return true;
        setError(error, dberr::ConnectionFailed, QStringLiteral("The database file %1 does not exist.").arg(m_file));
        return false;
    }

    QVariant bindable(const QVariant &value) const override { return Database::toBindable(value, true); }
    const Database::RowRewrite *rowRewrite() const override
    {
        return standInRowRewrite() ? &standInRowRewrite() : nullptr;
    }
    // The stored ObjectIDs are braced and compared as text; only rows
    // rewritten as SQL Server hands them are taken to match by value.
    bool matchesObjectIdsByValue() const override { return bool(standInRowRewrite()); }

    // A text that starts with one of the catalogue's procedures runs as that procedure's batch.
    Outcome execute(DbConnection &conn, const QString &sql, const QVariantList &params, DbError *error,
                    int *rowsAffected) override
    {
        const QString word = m_procedures ? firstWord(sql) : QString();
        if (word.isEmpty() || !m_procedures->parameters(word))
            return ServerWay::execute(conn, sql, params, error, rowsAffected);
        DbError e;
        const bool ok = m_procedures->executeBatch(conn.handle, sql, &e);
        if (error)
            *error = ok ? DbError{} : e;
        return ok ? Outcome::Done : Outcome::Failed;
    }

    std::optional<QStringList> parameters(DbConnection &, const QString &procedure, DbError *error) override
    {
        const auto declared = m_procedures ? m_procedures->parameters(procedure) : std::nullopt;
        if (!declared)
            setUnknownProcedure(error, procedure);
        return declared;
    }

    Outcome call(DbConnection &conn, const QString &procedure, const QList<ProcArg> &args, DbError *error) override
    {
        DbError e;
        const bool ok = m_procedures && m_procedures->execute(conn.handle, procedure, args, &e);
        if (error)
            *error = ok ? DbError{} : e;
        return ok ? Outcome::Done : Outcome::Failed;
    }

    bool insert(DbConnection &conn, const NewRow &add, QVector<QVariant> &row, bool &readBack, DbError *error) override
    {
        const QStringList marks(add.columns.size(), QStringLiteral("?"));
        const QString sql = add.columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(add.table)
                                                  : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                        .arg(add.table, add.columns.join(u','), marks.join(u','));
        QSqlQuery q(conn.handle);
        if (!exec(q, sql, add.values)) {
            if (error)
                *error = fromSqlError(q.lastError(), dberr::QueryFailed);
            return false;
        }
        // Asked of SQLite itself: Qt's ODBC driver has no lastInsertId().
        QSqlQuery back(conn.handle);
        readOnce(back);
        ++m_queries;
        readBack = back.exec(QStringLiteral("SELECT * FROM %1 WHERE rowid = last_insert_rowid()").arg(add.table))
                   && back.next();
        if (readBack) {
            const QSqlRecord rec = back.record();
            for (int i = 0; i < add.names.size(); ++i)
                row[i] = readValue(back, rec.indexOf(add.names[i]));
            if (const Database::RowRewrite *rewrite = rowRewrite())
                (*rewrite)(add.names, row);
        }
        return true;
    }

    bool update(DbConnection &conn, const QString &sql, const QVariantList &values, qint64 &affected,
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
        if (!exec(q, sql, values)) {
            if (error)
                *error = fromSqlError(q.lastError(), dberr::QueryFailed);
            return false;
        }
        affected = totalChanges() - before;
        return true;
    }

private:
    std::shared_ptr<ProcedureCatalogue> m_procedures;
    quint64 &m_queries;
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
