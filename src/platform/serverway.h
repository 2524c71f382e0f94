#pragma once
// Inside the database layer only. A connection and the way it talks to its
// server, chosen once when the connection is made: the stand-in (the
// embedded server's SQLite files, through Qt's SQLite driver or over ODBC;
// its procedures run from the catalogue, its values are bound as text) or SQL
// Server (EXEC, INFORMATION_SCHEMA, every result of a batch read). Database
// keeps what both share: the connections, the prepared reads, the recordsets.

#include "platform/database.h"

#include <QHash>
#include <QSqlQuery>
#include <functional>
#include <memory>

namespace quillor::platform {

class ServerWay;

// A prepared read kept for reuse, with the field names of its rows.
struct PreparedStatement {
    QSqlQuery query;
    bool described = false;
    QStringList names;
    QHash<QString, int> index;
    QHash<QString, int> exact;
    // What the rows of this run pass through first (the stand-in's, for the tests).
    const Database::RowRewrite *rewrite = nullptr;
    explicit PreparedStatement(const QSqlDatabase &db) : query(db) {}
};

struct DbConnection {
    QString name;
    QSqlDatabase handle;
    // Reads are prepared once per text: the tree sends the same few queries for every node.
    QHash<QString, std::shared_ptr<PreparedStatement>> statements;
    std::unique_ptr<ServerWay> way;
};

// How a statement that failed leaves its connection. Lost: the caller drops
// the connection, which the way's own queries no longer hold.
enum class Outcome { Done, Failed, Lost };

class ServerWay {
public:
    virtual ~ServerWay() = default;

    // After every opening of the connection.
    virtual void opened(DbConnection &) {}
    // Before each use of a connection made earlier: false, with the reason,
    // when it cannot be used; it may close the connection to be opened anew.
    virtual bool usable(DbConnection &, DbError *) { return true; }

    // A value bound as this server takes it (Database::toBindable).
    virtual QVariant bindable(const QVariant &value) const = 0;
    // What every row read passes through before anyone sees it; nullptr: nothing.
    virtual const Database::RowRewrite *rowRewrite() const { return nullptr; }
    // Database::matchesObjectIdsByValue.
    virtual bool matchesObjectIdsByValue() const = 0;

    // A statement without rows (Database::execute).
    virtual Outcome execute(DbConnection &conn, const QString &sql, const QVariantList &params, DbError *error,
                            int *rowsAffected);
    // The procedure's declared parameters; nullopt, with `error`, when there is no such procedure.
    virtual std::optional<QStringList> parameters(DbConnection &conn, const QString &procedure, DbError *error) = 0;
    // A procedure called with arguments matched to its declared parameters.
    virtual Outcome call(DbConnection &conn, const QString &procedure, const QList<ProcArg> &args,
                         DbError *error) = 0;

    // A new row of a recordset: its table, key, columns and values set.
    struct NewRow {
        QString table;
        QString keyColumn;
        QStringList names; // the recordset's columns, in its order
        QStringList columns;
        QVariantList values;
    };
    // Inserts the row and reads it back into `row` (in `names`' order);
    // `readBack` false when it could not be read back. False, with `error`,
    // when the insert failed.
    virtual bool insert(DbConnection &conn, const NewRow &add, QVector<QVariant> &row, bool &readBack,
                        DbError *error) = 0;
    // Runs an UPDATE and says how many rows it changed. False, with `error`, when it failed.
    virtual bool update(DbConnection &conn, const QString &sql, const QVariantList &values, qint64 &affected,
                        DbError *error) = 0;

protected:
    // Prepares `sql`, binds `params` as this server takes them and runs it, read once front to back.
    bool exec(QSqlQuery &q, const QString &sql, const QVariantList &params) const;
    // What follows the first result of a statement that ran (execute).
    virtual bool readRest(QSqlQuery &, DbError *) { return true; }
};

// The two ways. The stand-in's runs the catalogue's procedures (none when it
// is null); `queryCount` counts the queries a way sends beyond the one its
// caller counted.
std::unique_ptr<ServerWay> standInWay(std::shared_ptr<ProcedureCatalogue> procedures, quint64 &queryCount);
std::unique_ptr<ServerWay> sqlServerWay(quint64 &queryCount);

// Shared by the layer's files.
DbError fromSqlError(const QSqlError &e, int fallback);
void setError(DbError *out, int number, const QString &description);
void setUnknownProcedure(DbError *out, const QString &procedure);
// A query read once, front to back: Qt would otherwise ask the driver for a
// scrollable cursor, which FreeTDS serves with a server-side cursor.
inline void readOnce(QSqlQuery &q) { q.setForwardOnly(true); }
// Prepares `sql`, binds `params` through `bind` and runs it, read once front to back.
bool execBound(QSqlQuery &q, const QString &sql, const QVariantList &params,
               const std::function<QVariant(const QVariant &)> &bind);
// A column value as every caller expects it whichever driver read it: Qt's
// ODBC driver gives an invalid QVariant for a Null text, which callers would
// take for a missing field.
inline QVariant readable(QVariant v)
{
    if (!v.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return v;
}
inline QVariant readValue(const QSqlQuery &q, int column) { return readable(q.value(column)); }
// True when a failed statement means the connection itself is gone.
bool connectionLost(const QSqlDatabase &db, const QSqlError &e);
// The rewrite Database::setStandInRowRewrite set.
Database::RowRewrite &standInRowRewrite();

} // namespace quillor::platform
