#pragma once
// The database layer. The program keeps the server's own connection strings;
// each is resolved through the server profile to a real connection: the
// embedded stand-in server (QSQLITE, or its files over ODBC) or SQL Server
// over ODBC (QODBC). One connection per database stays open and is reopened
// after a failure; what differs between the two servers is in the way each
// connection takes when it opens (serverway.h). Every value reaches the
// server as a bound parameter.

#include "platform/dbtypes.h"
#include "platform/recordset.h"
#include "platform/sqlserver.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <source_location>

namespace quillor::platform {

class Registry;
class Rows;
enum class Outcome;
struct DbConnection;
struct ProcParameter;

// The stand-in server's procedures, implemented over SQLite by the embedded server.
class ProcedureCatalogue {
public:
    virtual ~ProcedureCatalogue() = default;
    // Declared parameter names (without "@") in declaration order; nullopt when
    // there is no such procedure. Names match without regard to case.
    virtual std::optional<QStringList> parameters(const QString &procedure) const = 0;
    // Runs a procedure. `args` holds only the parameters that were set; a
    // parameter left out keeps the procedure's own default (for the modify
    // procedures: the column is left unchanged). Fails on a value it cannot
    // convert and on a row that does not exist.
    virtual bool execute(QSqlDatabase &db, const QString &procedure, const QList<ProcArg> &args, DbError *error) = 0;
    // A batch whose text starts with a procedure name followed by
    // "@name = value" pairs (N'...' texts or bare numbers).
    virtual bool executeBatch(QSqlDatabase &db, const QString &text, DbError *error) = 0;
};

// Where the databases are, read from the port's own key of the registry export:
// HKEY_LOCAL_MACHINE\SOFTWARE\Quillor\Port, values "MainDatabase",
// "DirectoryDatabase" ("sqlite:PATH" or "odbc:CONNECTION STRING"; relative
// paths are taken from the export's folder), "ServerHost" and "ToolsSiteHost".
struct ServerProfile {
    QString mainDatabase;
    QString directoryDatabase;
    QString serverHost;
    QString toolsSiteHost;

    static ServerProfile fromRegistry(const Registry &registry);
    // The location ("sqlite:..." / "odbc:...") for one of the server's connection
    // strings, chosen by its catalog ("Initial Catalog=" or "database="): TolvaDirDB
    // is the directory database, anything else the main database.
    QString locationFor(const QString &connectionString) const;
};

// True when an ODBC connection text names `key` (without regard to case).
bool odbcTextSets(const QString &text, const QString &key);

// The text Qt's ODBC driver is given for "odbc:TEXT". FreeTDS takes the
// client's character set from the process locale unless told, and Qt hands it
// UTF-8 both ways: a text naming Driver=FreeTDS without a ClientCharset gets
// ";ClientCharset=UTF-8". Qt puts "DSN=" before a text that holds neither
// "DRIVER=" nor "SERVER=", so a leading "DSN=" is left to it, not doubled.
QString odbcConnectionText(const QString &text);

// Matches each argument to a declared parameter without regard to case or a
// leading "@" and gives it the declared name; a later argument of the same name
// replaces an earlier one. nullopt and dberr::ItemNotFound for an argument the
// procedure does not declare.
std::optional<QList<ProcArg>> resolveArguments(const QString &procedure, const QStringList &declared,
                                               const QList<ProcArg> &args, DbError *error);

class Database {
public:
    explicit Database(ServerProfile profile, std::shared_ptr<ProcedureCatalogue> standIn = {});
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const ServerProfile &profile() const { return m_profile; }

    // A read-only recordset. On failure the recordset is closed and `error` set.
    Recordset open(const QString &connectionString, const QString &sql, const QVariantList &params = {},
                   DbError *error = nullptr, const std::source_location &where = std::source_location::current());
    // The rows of a query handed to `each` one at a time, in the query's
    // column order, without keeping them (a read of a whole view); `each`
    // sends no query of its own while the rows come. False, with `error`,
    // when the query failed or its rows broke off.
    bool forEachRow(const QString &connectionString, const QString &sql, const QVariantList &params,
                    const std::function<void(const QVariantList &row)> &each, DbError *error = nullptr,
                    const std::source_location &where = std::source_location::current());
    // An updatable recordset over one table: "SELECT * FROM table WHERE whereSql".
    // Update() writes the changed fields of the current row, found again by
    // `keyColumn`; AddNew() + Update() inserts a row and reads it back.
    Recordset openForUpdate(const QString &connectionString, const QString &table, const QString &keyColumn,
                            const QString &whereSql, const QVariantList &params = {}, DbError *error = nullptr,
                            const std::source_location &where = std::source_location::current());
    // A statement without rows. On the stand-in server a text that starts with
    // one of its procedure names runs as that procedure's batch.
    bool execute(const QString &connectionString, const QString &sql, const QVariantList &params = {},
                 DbError *error = nullptr, int *rowsAffected = nullptr,
                 const std::source_location &where = std::source_location::current());

    // Told of every SQL text a caller hands to open, openForUpdate or execute,
    // with the place in the source it came from. The tests collect them to keep
    // the program's own queries in the dialect both servers run.
    using StatementObserver = std::function<void(const QString &sql, const std::source_location &where)>;
    static void setStatementObserver(StatementObserver observer);

    // For the tests: rows read from a stand-in server handed back as another
    // server hands them. `rewrite` gets every row read from a stand-in, with
    // its columns' names, before anyone else sees it, and the stand-in is then
    // taken to match ObjectIDs by value (its stored ObjectIDs are braced, which
    // it finds whatever form was read back). An empty function ends it.
    using RowRewrite = std::function<void(const QStringList &columns, QVector<QVariant> &row)>;
    static void setStandInRowRewrite(RowRewrite rewrite);

    // True when the server behind the connection compares ObjectIDs as GUIDs,
    // as SQL Server does with its uniqueidentifier columns: an ObjectID sent
    // braced finds its row whatever form the server hands it back in. The
    // stand-in compares them as text without regard to case, so there an
    // ObjectID stored without braces or with blanks is not found braced.
    bool matchesObjectIdsByValue(const QString &connectionString);

    // The procedure's declared parameters (without "@"), read once per procedure.
    std::optional<QStringList> procedureParameters(const QString &connectionString, const QString &procedure,
                                                   DbError *error = nullptr);
    // Runs a stored procedure with named arguments; every argument must be one
    // of its declared parameters.
    bool callProcedure(const QString &connectionString, const QString &procedure, const QList<ProcArg> &args,
                       DbError *error = nullptr);

    // Runs `work` inside one transaction on that database: committed when it
    // returns true, rolled back otherwise. When the connection is lost during
    // the work, no later statement of it runs (on a new connection, it would
    // run outside the transaction): each fails, and so does the whole.
    bool inTransaction(const QString &connectionString, const std::function<bool()> &work, DbError *error = nullptr);

    // Queries and commands sent so far (the benchmark counts them).
    quint64 queryCount() const { return m_queryCount; }
    // Writes sent so far (statements, procedure calls, recordset updates),
    // successful or not: whoever keeps rows read earlier knows they may be stale.
    quint64 writeCount() const { return m_writeCount; }

private:
    friend class Recordset;
    // Runs `attempt` on the location's connection, and once more on a new one
    // when it met a connection found gone (Outcome::Gone) while `repeatable`
    // (nothing of it handed on), outside a transaction. A lost connection is
    // dropped and `error` marked lost. The last try's outcome; Lost when no
    // connection could be made.
    Outcome onceMoreIfGone(const QString &location, DbError *error,
                           const std::function<Outcome(DbConnection &, bool &repeatable)> &attempt);
    // Runs a read: its columns to `described`, then each row to `each`.
    // False, with `error`, when it failed or its rows broke off.
    bool read(const QString &connectionString, const QString &sql, const QVariantList &params,
              const std::function<void(const Rows &)> &described,
              const std::function<void(const QVariantList &row)> &each, DbError *error,
              const std::source_location &where);
    std::optional<QList<ProcParameter>> declaredParameters(const QString &connectionString, const QString &procedure,
                                                           DbError *error);
    // The connection to a location, opened on first use or after a failure;
    // it takes its way (stand-in or SQL Server) when it is made.
    DbConnection *connect(const QString &location, DbError *error);
    // The connection a write outside a transaction goes on: one idle for a
    // while is checked first, and opened anew when it was found gone.
    DbConnection *connectToWrite(const QString &location, DbError *error);
    // After a write: a lost connection dropped; true when it was done.
    bool wrote(const QString &location, Outcome outcome, DbError *error);
    QString locationOf(const QString &connectionString);
    void dropConnection(const QString &location);
    bool updateRecordset(Recordset &rs, DbError *error);

    ServerProfile m_profile;
    std::shared_ptr<ProcedureCatalogue> m_standIn;
    QHash<QString, std::shared_ptr<DbConnection>> m_connections;
    QHash<QString, QList<ProcParameter>> m_paramCache; // location + "|" + lower-case name
    // The locations with a transaction under way, and whether its connection was lost.
    QHash<QString, bool> m_transactionLost;
    QHash<QString, QString> m_locations;      // connection string -> location
    quint64 m_queryCount = 0;
    quint64 m_writeCount = 0;
    QString m_prefix;
};

} // namespace quillor::platform
