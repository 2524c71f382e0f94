#pragma once
// Inside the database layer only. A connection and the way it talks to its
// server, chosen once when the connection is made: the stand-in (the
// embedded server's SQLite files, through Qt's SQLite driver or over ODBC;
// its procedures run from the catalogue, its values are bound as text) or SQL
// Server (statements run on the connection's ODBC handle, EXEC,
// INFORMATION_SCHEMA, every result of a batch read). Database keeps what both
// share: the connections, the recordsets, the transactions' bounds. Each way
// keeps its server's own rules: how values are bound, which failure leaves
// the connection unusable.

#include "platform/database.h"

#include <QHash>
#include <functional>
#include <memory>
#include <source_location>

namespace quillor::platform {

class ServerWay;

struct DbConnection {
    QString name;
    QSqlDatabase handle;
    std::unique_ptr<ServerWay> way;
    // A transaction of Database's own is open on it: the way then leaves
    // ending transactions to Database.
    bool inTransaction = false;
};

// How a statement left its connection. Lost: the connection can run no more
// statements (timed out, left in a state the driver cannot leave); the
// caller drops it, once the way's own statements on it are gone. Gone: lost
// too, found gone (the driver's word or a connection exception, not a
// time-out): nothing on it can have come to an end the server kept, unless
// the request was a write outside a transaction.
enum class Outcome { Done, Failed, Lost, Gone };
inline bool isLost(Outcome outcome) { return outcome == Outcome::Lost || outcome == Outcome::Gone; }

// The rows of a read that ran, handed on one at a time, with the columns'
// names and the longest text each takes (0: no bound known).
class Rows {
public:
    virtual ~Rows() = default;
    QStringList names;
    QHash<QString, int> index; // lower-case name -> column
    QHash<QString, int> exact; // name as the server gave it -> column
    QList<int> lengths;
    // The next row into `row` (sized to the columns); false at the end or when the rows broke off.
    virtual bool next(QVariantList &row) = 0;
    // Once next() answered false: Done when every row came, else why not.
    virtual Outcome end(DbError *error) = 0;

protected:
    void name(const QStringList &columns);
};

// A read that sends nothing and has no rows: what a search for text the
// server could not hold finds.
std::unique_ptr<Rows> noRows();

class ServerWay {
public:
    virtual ~ServerWay() = default;

    // After every opening of the connection: what the way reads of it
    // first. Not Done: the connection cannot be used (a lost one is dropped).
    virtual Outcome opened(DbConnection &, DbError *) { return Outcome::Done; }
    // Before each use of a connection made earlier: false, with the reason,
    // when it cannot be used; it may close the connection to be opened anew.
    virtual bool usable(DbConnection &, DbError *) { return true; }
    // Before a write outside a transaction: false when the connection, idle
    // for a while, was found gone; it is then opened anew before the write.
    virtual bool stillThere(DbConnection &) { return true; }
    // The length of a text as the server counts it against a parameter's
    // bound (ProcParameter::bytes: bytes in the database's code page).
    virtual qsizetype lengthOf(const QString &text, const ProcParameter &) { return text.size(); }
    // Before the connection is closed: whatever the way keeps on it goes first.
    virtual void closing(DbConnection &) {}

    // What every row read passes through before anyone sees it; nullptr: nothing.
    virtual const Database::RowRewrite *rowRewrite() const { return nullptr; }
    // Database::matchesObjectIdsByValue.
    virtual bool matchesObjectIdsByValue() const = 0;

    // A read; its rows ready to be walked, nullptr (with `error` and `outcome`) when it failed.
    virtual std::unique_ptr<Rows> read(DbConnection &conn, const QString &sql, const QVariantList &params,
                                       DbError *error, Outcome &outcome) = 0;
    // A statement without rows (Database::execute).
    virtual Outcome execute(DbConnection &conn, const QString &sql, const QVariantList &params, DbError *error,
                            int *rowsAffected) = 0;
    // The procedure's declared parameters; nullopt, with `error`, when there
    // is no such procedure or they could not be read (`outcome`).
    virtual std::optional<QList<ProcParameter>> parameters(DbConnection &conn, const QString &procedure,
                                                           DbError *error, Outcome &outcome) = 0;
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
    // `readBack` false when it could not be read back.
    virtual Outcome insert(DbConnection &conn, const NewRow &add, QVector<QVariant> &row, bool &readBack,
                           DbError *error) = 0;
    // Runs an UPDATE and says how many rows it changed.
    virtual Outcome update(DbConnection &conn, const QString &sql, const QVariantList &values, qint64 &affected,
                           DbError *error) = 0;

    // The bounds of a transaction. A commit or rollback that is not Done
    // leaves the connection to be dropped: the server then rolls back
    // whatever it still holds.
    virtual Outcome begin(DbConnection &conn, DbError *error) = 0;
    virtual Outcome commit(DbConnection &conn, DbError *error) = 0;
    virtual Outcome rollback(DbConnection &conn, DbError *error) = 0;
};

// How a SQL Server connection is used: the seconds a statement may take
// (0: the connection text's own time-out applies), and the statements'
// observer (Database::setStatementObserver).
struct SqlServerSettings {
    int statementTimeout = 30;
};

// The two ways. The stand-in's runs the catalogue's procedures (none when it
// is null); `queryCount` counts the queries a way sends beyond the one its
// caller counted.
std::unique_ptr<ServerWay> standInWay(std::shared_ptr<ProcedureCatalogue> procedures, quint64 &queryCount);
std::unique_ptr<ServerWay> sqlServerWay(quint64 &queryCount, const SqlServerSettings &settings);

// Shared by the layer's files.
DbError fromSqlError(const QSqlError &e, int fallback);
void setError(DbError *out, int number, const QString &description);
void setUnknownProcedure(DbError *out, const QString &procedure);
// What both servers take alike: an invalid value as a Null text (Qt's ODBC
// driver reads a Null text as invalid), a Null as it is, an ObjectID (a QUuid)
// as its braced text, which the server converts itself where a QUuid would be
// bound as bytes; nullopt for the rest, which each way binds its own way.
std::optional<QVariant> boundAlike(const QVariant &value);
// Tells the statement observer of a text the layer sends on its own.
void observe(const QString &sql, const std::source_location &where = std::source_location::current());
// A column value as every caller expects it whichever driver read it: Qt's
// ODBC driver gives an invalid QVariant for a Null text, which callers would
// take for a missing field.
inline QVariant readable(QVariant v)
{
    if (!v.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return v;
}
// The rewrite Database::setStandInRowRewrite set.
Database::RowRewrite &standInRowRewrite();

} // namespace quillor::platform
