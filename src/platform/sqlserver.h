#pragma once
// The SQL Server batch rules of the database layer (the connection's SQL
// Server way, in sqlserver.cpp, follows them).

#include "platform/dbtypes.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

namespace quillor::platform {

// A procedure's declared parameter: its name (without "@") and the longest
// text it takes (0: no bound, or not text).
struct ProcParameter {
    QString name;
    int maxLength = 0;
    // The bound counts bytes in the database's code page (varchar, char),
    // not characters (nvarchar, nchar: UTF-16 units).
    bool bytes = false;
    bool operator==(const ProcParameter &) const = default;
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
// A value as SQL Server takes it: an ObjectID as its braced text (SQL Server
// converts it to a GUID itself), a date in whole seconds (the server's dates
// carry whole seconds; a fraction would be refused by some drivers as
// "Datetime field overflow" and make a date read back unequal).
QVariant bindable(const QVariant &value);
// The call of `procedure` with arguments already matched to its declared
// parameters (resolveArguments). A Null argument is bound as a Null of its
// type; every value as bindable() binds it.
ProcedureCall procedureCall(const QString &procedure, const QList<ProcArg> &args);
// What turns the row counts on again after a call that failed, in case the
// failure ended the batch before its own last statement; with
// `endTransaction` (no transaction of the program's own is open) it also
// rolls back one the procedure may have left open.
QString countsOnAgain(bool endTransaction);

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
// The procedure's declared parameters in declaration order come from
// INFORMATION_SCHEMA in one query, its name bound: ROUTINES joined with
// PARAMETERS by schema and name; each row the routine's schema, a
// parameter's name, its CHARACTER_MAXIMUM_LENGTH and its DATA_TYPE.
QString parameterQuery();
// The parameters those rows give (without "@"; -1, (max), and NULL mean no
// bound; a varchar or char bound counts bytes): dbo's procedure when more
// than one schema has that name; nullopt and dberr::UnknownProcedure when
// there is none.
std::optional<QList<ProcParameter>> parametersFrom(const QString &procedure, const QList<QVariantList> &rows,
                                                   DbError *error);

// The code page of the database's collation, in which the driver sends every
// text (Qt's ODBC driver and this layer send text as varchar): one row, one
// int column.
QString codePageQuery();
// The characters of `text` that code page `codePage` cannot hold, each once
// in the order they come; empty when all fit or the code page is not known
// (0) or holds every character (65001, UTF-8).
QString outsideCodePage(const QString &text, int codePage);
// The refusal of a text the code page cannot hold, naming its characters.
DbError notInCodePage(const QString &text, const QString &characters, int codePage);
// The refusal of a text with characters outside ASCII while the database's
// code page is not known.
DbError codePageUnknown(const QString &text);
// The length in bytes of `text` in code page `codePage` (65001: UTF-8), as
// the server counts it against a varchar bound. Characters the code page
// cannot hold count one byte each (they are refused before they are sent).
qsizetype byteLength(const QString &text, int codePage);
// The refusal of a text longer than what takes it (a column, a parameter):
// `length` characters, or bytes of the database's code page.
DbError tooLong(const QString &field, qsizetype length, int maxLength, bool bytes = false);
inline DbError tooLong(const QString &field, const QString &text, int maxLength)
{
    return tooLong(field, text.size(), maxLength);
}
// True when a failure with this SQLSTATE leaves the connection unable to run
// statements: a connection exception (08...), a time-out (the driver cancels
// and its state is unknown), an invalid cursor state or a function sequence
// error (FreeTDS's state after a failed conversion). Both ODBC 2 and 3 forms.
bool leavesConnectionUnusable(const QString &sqlState);
// A time-out: the driver gave up waiting (the server may still be working).
bool isTimeout(const QString &sqlState);
// A connection exception (08...): the connection is gone.
bool isConnectionException(const QString &sqlState);
// An invalid cursor state or function sequence error: the driver's own
// state, in which it sends nothing.
bool isStateRefusal(const QString &sqlState);
} // namespace sqlserver

} // namespace quillor::platform
