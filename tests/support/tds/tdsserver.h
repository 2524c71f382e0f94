#pragma once
// A TDS 7.x stand-in for SQL Server, for the tests only: it listens on
// 127.0.0.1 at a free port, in a thread of its own, and serves each client
// connection through a tds::Session on the SQLite file of the database the
// client logged in to.
//
// What a Session gets from the wire and may hand back (tdswire.h):
// - parameters: Int/BigInt as qint64, Bit as bool, Float as double, DateTime
//   (DATETIME2 and DATETIMN alike) as a Qt::UTC QDateTime of the wall time
//   sent, VarChar/NVarChar as QString (cp1252 already decoded), VarBinary and
//   Image as QByteArray, Guid as upper-case text without braces; NULL as a
//   null QVariant. An RPC's @params must be @P1, @P2, ... in order.
// - columns: size 0 means 8000 bytes, 0xFFFF means MAX (sent as 8000 below
//   TDS 7.2); Binary cells are zero-padded to the size; a DateTime cell is any
//   QVariant that converts to a QDateTime (its date and time are sent as they
//   are); a Guid cell that is no GUID ends the rows with error 8169.
// - every connection is served on one thread: a statement that waits for a
//   lock another connection holds stalls them all, so fail at once instead.
// - a connection that closes, or that a fault cuts, rolls back its
//   transaction; the server goes on taking new connections, as a restarted
//   server would, on the same files.

#include <QHash>
#include <QString>
#include <memory>

namespace quillor::test::tds {

class TdsServer {
public:
    TdsServer();  // starts listening at once
    ~TdsServer(); // closes every connection and stops the thread
    TdsServer(const TdsServer &) = delete;
    TdsServer &operator=(const TdsServer &) = delete;

    bool isListening() const;
    QString error() const;
    quint16 port() const;

    // The SQLite file behind a database name (matched without regard to case),
    // e.g. "TolvaDb"; may be set after listening starts, before a client logs in.
    void setDatabaseFile(const QString &database, const QString &sqliteFile);

    // Request messages received after the login, on every connection: SQL
    // batches, RPC messages (several RPCs in one message count once: one round
    // trip), transaction-manager requests and attentions. Thread-safe.
    int requestCount() const;
    void resetRequestCount();
    // Each reply is written `ms` milliseconds after it is ready, by timer, so
    // the other connections are served meanwhile: a stand-in for the
    // network's latency. 0 (the default): at once.
    void setReplyDelay(int ms);

    // The server's ordinary faults, for the tests: each request after the
    // login is matched against the faults added, in order, and the first that
    // matches (after its skips) hits it.
    struct Fault {
        enum class Kind {
            CutBefore,   // the connection closes when the request arrives; nothing of it runs
            CutAfter,    // the request runs (committed when outside a transaction), then the
                         // connection closes without an answer
            CutAtCommit, // the request runs; at the connection's next COMMIT (this request's, if it
                         // is one) the transaction is rolled back and the connection closes
            Deadlock,    // the open transaction is rolled back (ENVCHANGE 10 tells the client),
                         // then error 1205; the statement does not run
            LockTimeout, // error 1222; the statement does not run, the transaction stays open
            Stall,       // the request waits `seconds` (by timer) before it runs; an attention
                         // meanwhile cancels it: it never runs, only the attention is answered
            RowsThenError, // the statement runs and its rows and counts go, then error `number`
        } kind = Kind::CutBefore;
        // Requests whose statement text contains this, without regard to case:
        // a batch's text; each RPC of a message on its own, by its statement
        // (sp_executesql, sp_prepexec, sp_prepare, sp_cursoropen; for sp_execute
        // the prepared one; sp_unprepare has none); a transaction-manager request
        // as "BEGIN", "COMMIT" or "ROLLBACK". Empty: every request.
        QString match;
        int skip = 0;       // matching requests let through first
        int times = 1;      // matching requests hit, then the fault is spent; 0: every one
        int seconds = 0;    // Stall
        int number = 50000; // RowsThenError
    };
    void addFault(const Fault &fault);
    void clearFaults();
    int faultsHit() const; // requests hit since the server started

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace quillor::test::tds
