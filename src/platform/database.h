#pragma once
// The database layer. The program keeps the server's own connection strings;
// each is resolved through the server profile to a real connection: the
// embedded stand-in server (QSQLITE) or SQL Server over ODBC (QODBC). One
// connection per database stays open and is reopened after a failure.
// Every value reaches the server as a bound parameter.

#include <QDateTime>
#include <QHash>
#include <QSqlError>
#include <QSqlRecord>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <source_location>

namespace quillor::platform {

class Registry;
class Database;
struct PreparedStatement;

// The data types under which values are handed to a stored procedure,
// numbered as the server's data-access layer numbers them.
enum class AdoType : qint16 { Integer = 3, Date = 7, Guid = 72, VarChar = 200 };

struct DbError {
    int number = 0;
    QString description;
    bool isSet() const { return number != 0 || !description.isEmpty(); }
};

// Error numbers the layer reports for its own refusals.
namespace dberr {
constexpr int ItemNotFound = 3265;      // no such field or parameter
constexpr int NoCurrentRecord = 3021;   // BOF or EOF
constexpr int ConnectionFailed = -2147467259;
constexpr int QueryFailed = -2147217900;
constexpr int UnknownProcedure = 2812;  // as SQL Server numbers it
constexpr int ConversionFailed = 245;
constexpr int NoRowAffected = -2147217864;
} // namespace dberr

// One argument of a stored-procedure call. A Null (isNull()) value is sent as Null.
struct ProcArg {
    QString name; // without the leading "@"
    QVariant value;
    AdoType type = AdoType::VarChar;
};

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

// The text Qt's ODBC driver is given for "odbc:TEXT". FreeTDS takes the
// client's character set from the process locale unless told, and Qt hands it
// UTF-8 both ways: a text naming Driver=FreeTDS without a ClientCharset gets
// ";ClientCharset=UTF-8". Qt puts "DSN=" before a text that holds neither
// "DRIVER=" nor "SERVER=", so a leading "DSN=" is left to it, not doubled.
QString odbcConnectionText(const QString &text);

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

// The SQL Server side of procedure calls and inserts, apart from any
// connection so that what it sends can be checked without a server.
//
// The rule every SQL Server path keeps: a query is read to its end, or
// finished (QSqlQuery::finish), before the connection runs another statement.
// Without MARS the server takes no second command while a result is unread,
// and the driver refuses it on the client ("Invalid cursor state").
namespace sqlserver {
// What a call sends: "SET NOCOUNT ON; EXEC [name] @a = ?, @b = ?; SET NOCOUNT
// OFF" and the values bound to it. Without the row counts of the procedure's
// own statements, an error it raises is the batch's first result; the counts
// are turned on again for the program's later statements, which read them.
struct ProcedureCall {
    QString sql;
    QVariantList values;
};
// The call of `procedure` with arguments already matched to its declared
// parameters (resolveArguments). A Null argument is bound as a Null of its
// type; every value as Database::toBindable binds it for SQL Server.
ProcedureCall procedureCall(const QString &procedure, const QList<ProcArg> &args);
// What turns the row counts on again after a call that failed, in case the
// failure ended the batch before its own last statement.
QString countsOnAgain();

// The results a batch hands back one after the other, as reading them needs
// them; the tests give a made-up sequence.
class BatchResults {
public:
    virtual ~BatchResults() = default;
    // True when the current result has columns (rows to read), false for a count.
    virtual bool isSelect() const = 0;
    // On to the current result's next row; false at its end or on an error.
    virtual bool next() = 0;
    // The current row with its columns' names.
    virtual QSqlRecord record() const = 0;
    // On to the batch's next result; false when none is left or on an error.
    virtual bool nextResult() = 0;
    // The error the last move met; invalid when there was none.
    virtual QSqlError lastError() const = 0;
};
// Reads every result of a batch that ran, until none is left: an error a
// procedure raises after a first result (a row count, a few rows) reaches the
// client only when the next result is asked for. False, with `error`, at the
// first error met. The first row of the batch's last result with columns is
// put into `lastRow` when one is given (empty when there is none, or after an
// error).
bool readEveryResult(BatchResults &results, DbError *error, QSqlRecord *lastRow = nullptr);

// The insert of a new row and the read-back of it, in one batch. T-SQL
// refuses an OUTPUT clause without INTO on a table with an enabled insert
// trigger, so the row is read back by its key instead: the value the caller
// set, else, for an ObjectID key, `newKey` (made by the program), else the
// identity value the insert made (SCOPE_IDENTITY(), of this batch).
struct Insert {
    QString sql;
    QVariantList values;
};
Insert insertRow(const QString &table, const QString &keyColumn, const QStringList &columns, const QVariantList &values,
                 const QString &newKey);
// The procedure's declared parameters (without "@") in declaration order, read
// from INFORMATION_SCHEMA in one query (ROUTINES joined with PARAMETERS by
// schema and name; dbo's procedure when more than one schema has that name);
// nullopt and `error` when the server has no such procedure
// (dberr::UnknownProcedure) or the query failed.
std::optional<QStringList> readParameters(QSqlDatabase &db, const QString &procedure, DbError *error);
} // namespace sqlserver

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
    // returns true, rolled back otherwise.
    bool inTransaction(const QString &connectionString, const std::function<bool()> &work, DbError *error = nullptr);

    // Queries and commands sent so far (the benchmark counts them).
    quint64 queryCount() const { return m_queryCount; }
    // Writes sent so far (statements, procedure calls, recordset updates),
    // successful or not: whoever keeps rows read earlier knows they may be stale.
    quint64 writeCount() const { return m_writeCount; }

    // Binds a value as the server expects it: dates as text on the stand-in and
    // in whole seconds on SQL Server, GUIDs as their braced text on both.
    static QVariant toBindable(const QVariant &value, bool standIn);

private:
    friend class Recordset;
    struct Connection;
    // Prepares (once per text), binds and runs a read, its rows ready to be
    // fetched; nullptr, with `error`, on failure.
    std::shared_ptr<PreparedStatement> run(const QString &connectionString, const QString &sql,
                                           const QVariantList &params, DbError *error,
                                           const std::source_location &where);
    Connection *connect(const QString &location, DbError *error);
    QString locationOf(const QString &connectionString);
    void dropConnection(const QString &location);
    bool updateRecordset(Recordset &rs, DbError *error);

    ServerProfile m_profile;
    std::shared_ptr<ProcedureCatalogue> m_standIn;
    QHash<QString, std::shared_ptr<Connection>> m_connections;
    QHash<QString, QStringList> m_paramCache; // location + "|" + lower-case name
    QHash<QString, QString> m_locations;      // connection string -> location
    quint64 m_queryCount = 0;
    quint64 m_writeCount = 0;
    QString m_prefix;
};

} // namespace quillor::platform
