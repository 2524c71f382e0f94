#pragma once
// The vocabulary the database layer shares with its callers: errors,
// their numbers and the arguments of a stored procedure.

#include <QString>
#include <QVariant>

namespace quillor::platform {

// The data types under which values are handed to a stored procedure,
// numbered as the server's data-access layer numbers them.
enum class AdoType : qint16 { Integer = 3, Date = 7, Guid = 72, VarChar = 200 };

struct DbError {
    int number = 0;
    QString description;
    // The connection went, timed out or could not be made: what comes next
    // on it waits for a new connection, or for none.
    bool lost = false;
    // A write (or a COMMIT) was sent and the connection went before its
    // answer came: the server may have made it. Never set for work inside a
    // transaction whose connection went, which the server rolled back.
    bool mayHaveRun = false;
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
constexpr int TextTooLong = 8152;       // as SQL Server numbers a text longer than its column
constexpr int NotInCodePage = 2402;     // as the driver numbers a text the server's code page cannot hold
constexpr int NoRowAffected = -2147217864;
} // namespace dberr

// One argument of a stored-procedure call. A Null (isNull()) value is sent as Null.
struct ProcArg {
    QString name; // without the leading "@"
    QVariant value;
    AdoType type = AdoType::VarChar;
};

} // namespace quillor::platform
