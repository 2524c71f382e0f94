#pragma once
// Inside the database layer only: statements run on the ODBC connection
// under a Qt ODBC connection, for the SQL Server way. Qt's ODBC driver
// prepares every bound statement, which FreeTDS turns into a prepare-and-run
// request followed by a separate, blocking unprepare; run directly with its
// values bound, a statement goes in one request (sp_executesql), the values
// still bound. Run here, a statement also carries its own time-out, and a
// failure keeps its SQLSTATE, which tells a lost connection from a refused
// statement.

#include <QList>
#include <QMetaType>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace quillor::platform::odbc {

// An ODBC handle, kept opaque so that the ODBC headers stay in the .cpp.
using Handle = void *;

// One diagnostic record of a failed call, as the driver gave it.
struct Diagnostic {
    QString state; // SQLSTATE, in the form the driver manager gives its caller (ODBC 2 or 3)
    int native = 0; // the server's error number; 0 for the driver's own errors
    QString text;
};

// What a failed call left.
struct Failure {
    QList<Diagnostic> records;
    bool isSet() const { return !records.isEmpty(); }
    // The records' texts in order, each once.
    QString text() const;
    // The first server error number among the records; 0 when the driver raised it alone.
    int native() const;
    // As Qt reports an ODBC error, for code that reads a QSqlError.
    QSqlError toSqlError() const;
};

// The connection handle under a Qt ODBC connection; nullptr for any other driver.
Handle connectionHandle(const QSqlDatabase &db);
// The database system's name as the driver names it ("SQLite", "Microsoft SQL Server").
QString dbmsName(Handle dbc);
// True when the driver knows the connection is gone (SQL_ATTR_CONNECTION_DEAD).
bool connectionDead(Handle dbc);

// A column of a result: its name, the metatype its values are read as (as
// Qt's ODBC driver reads them) and its length in characters for text (0: no
// bound, or not text).
struct Column {
    QString name;
    QMetaType type;
    int length = 0;
};

// One statement on the connection: run with its values bound, its results
// read one after the other. Only one runs on a connection at a time (no
// MARS): it is read to its end, or closed, before the next one runs.
class Statement {
public:
    explicit Statement(Handle dbc);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Seconds the server may take before the driver cancels (0: no limit).
    // A driver that refuses it leaves the statement unable to run: its
    // execute() fails with the driver's reason rather than wait for ever.
    bool setTimeout(int seconds);
    // Runs `sql` ("?" marks the values) with `values` bound in order: text as
    // the connection's character set (the server's code page on the wire),
    // numbers, dates and bytes in their own types, a null QVariant as Null of
    // its type. False, with failure(), when it could not run.
    bool execute(const QString &sql, const QVariantList &values);

    // The current result: rows (with columns) or a count.
    bool isSelect() const { return !m_columns.isEmpty(); }
    const QList<Column> &columns() const { return m_columns; }
    // On to the current result's next row; false at its end or on an error (failure()).
    bool fetch();
    const QVariantList &row() const { return m_row; }
    // The current row with its columns' names.
    QSqlRecord record() const;
    // On to the next result; false when none is left or on an error (failure()).
    bool nextResult();
    // Rows the current result changed (-1 when the driver cannot say).
    qint64 rowCount();
    // Discards whatever is left unread.
    void close();

    // The failure of the last call that failed, cleared when a call starts.
    const Failure &failure() const { return m_failure; }
    // True when the last execute() handed its request to the driver to send:
    // not when it failed before (a time-out the driver refused, a value it
    // could not bind), nor when the driver refused it for a state of its own
    // (an invalid cursor state, a function sequence error, no server number).
    bool sent() const { return m_sent; }

private:
    bool describe();
    bool failed(short handleType, Handle handle);
    // After SQL_SUCCESS_WITH_INFO: true when every record is a warning
    // (class 01); else the records are the call's failure.
    bool warningsOnly();
    QVariant readColumn(int column, bool *ok);

    Handle m_dbc = nullptr;
    Handle m_stmt = nullptr;
    QList<Column> m_columns;
    QVariantList m_row;
    Failure m_failure;
    Failure m_refused; // what setTimeout met
    bool m_sent = false;
};

} // namespace quillor::platform::odbc
