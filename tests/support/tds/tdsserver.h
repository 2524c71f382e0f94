#pragma once
// A TDS 7.x stand-in for SQL Server, for the tests only: it listens on
// 127.0.0.1 at a free port, in a thread of its own, and serves each client
// connection through a tds::Session on the SQLite file of the database the
// client logged in to.

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

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace quillor::test::tds
