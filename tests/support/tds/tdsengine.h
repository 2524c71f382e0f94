#pragma once
// The statement side of the TDS stand-in server: one Session per client
// connection runs what the client sent on the SQLite file behind the database
// it logged in to, and hands back what SQL Server would answer, statement by
// statement. The wire side (tdsserver) turns that into tokens.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

namespace quillor::test::tds {

// The SQL Server types the stand-in sends and receives.
enum class SqlType {
    Int,       // INTN 4 (value: qint64)
    BigInt,    // INTN 8 (value: qint64)
    Bit,       // BITN (value: bool)
    Float,     // FLTN 8 (value: double)
    DateTime,  // DATETIMN 8 as a column, DATETIME2/DATETIMN as a parameter (value: QDateTime, local-less)
    VarChar,   // BIGVARCHR in the collation's code page (value: QString)
    NVarChar,  // NVARCHAR, UCS-2 (value: QString)
    VarBinary, // BIGVARBIN, VARBINARY(MAX) included (value: QByteArray)
    Binary,    // BIGBINARY, fixed length (value: QByteArray)
    Image,     // IMAGE, a parameter below TDS 7.2 (value: QByteArray)
    Guid,      // uniqueidentifier (value: QString "AABBCCDD-EEFF-...", upper case, no braces)
};

// A decoded parameter or a cell. A null QVariant (isNull()) is SQL NULL.
struct Value {
    SqlType type = SqlType::VarChar;
    QVariant value;
};

struct Column {
    QString name;
    SqlType type = SqlType::VarChar;
    int size = 0; // max bytes for VarChar/NVarChar/VarBinary (0xFFFF = MAX), length for Binary
    bool nullable = true;
};

struct ServerError {
    int number = 0;     // SQL Server's number where the stand-in knows it (2627, 8145, 201, 402, 8169...)
    QString message;
    int severity = 16;
    int state = 1;
};

// What one statement gave, in order: its rows (when it is a query), then its
// count (absent under SET NOCOUNT ON, and for statements that count nothing),
// or its error (after whatever rows or counts came first).
struct StatementResult {
    bool hasRows = false;
    QList<Column> columns;
    QList<QList<Value>> rows;
    std::optional<qint64> count;
    std::optional<ServerError> error;
};

// The most characters a text column holds, by its name, as SQL Server
// declares it; a procedure parameter has the bound of the column it writes.
// 0: none the stand-in knows (its text then goes as 8000 bytes, or MAX).
int maxLength(const QString &column);

class Session {
public:
    // `databaseFile`: the SQLite file behind the database named at login.
    // The connection is made in the calling thread and used only there.
    explicit Session(const QString &databaseFile);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    bool isOpen() const;
    QString openError() const;

    // Runs a batch or an RPC statement text: split into statements at ';'
    // outside quotes and brackets, each run in turn. `params` are @P1, @P2, ...
    // in order, bound on SQLite, never pasted into the text. Also answers
    // what the driver sends on its own (sp_datatype_info*, SET QUOTED_IDENTIFIER,
    // SET NOCOUNT, and below TDS 7.2 the transaction texts). A statement it does
    // not understand gives an error naming it.
    // `hook`, when given, is asked of the n-th statement before it runs
    // (`ran` null) and after (`ran` what it gave): a result it returns stands
    // in place of the statement's.
    using Hook = std::function<std::optional<StatementResult>(qsizetype n, const StatementResult *ran)>;
    QList<StatementResult> run(const QString &text, const QList<Value> &params = {}, const Hook &hook = {});

    // Transaction-manager requests (TDS 7.2+). Each returns nullopt on success.
    std::optional<ServerError> begin();
    std::optional<ServerError> commit();
    std::optional<ServerError> rollback();
    bool inTransaction() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace quillor::test::tds
