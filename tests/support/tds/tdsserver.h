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

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace quillor::test::tds
