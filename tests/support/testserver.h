#pragma once
// A fresh sample server per test, in a temporary folder, with a context
// loaded on it and the program's data folder pointed there too.

#include "common/appcontext.h"
#include "embedded/generator.h"
#include "embedded/sampleserver.h"

#include <QMetaType>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace quillor::test::tds {
class TdsServer;
}

namespace quillor::test {

// Runs a statement on the context's main database; true when it ran. In the
// tds run it goes straight to the SQLite file behind the stand-in server, as
// do storedRow and the faults of TestServer.
bool sql(AppContext &ctx, const QString &statement, const QVariantList &params = {});
// The database the tests read and write the stored rows through: the
// context's own, or in the tds run the SQLite files behind the stand-in.
platform::Database &storeOf(AppContext &ctx);
// An ObjectID as the program reads it back from the server of this run: in
// the tds run SQL Server's uniqueidentifier text (36 characters, upper case,
// no braces); elsewhere as stored. Any other text is left as it is.
QString asRead(const QString &id);
// An ObjectID the program holds, in the stored form (braced, upper case) in
// the tds run, where it may hold SQL Server's form; elsewhere as it is.
QString asStored(const QString &id);
QStringList asStored(const QStringList &ids);

// True in the run of a test that reaches its servers through ODBC (CTest's
// label "odbc" sets QUILLOR_TEST_DATABASE=odbc).
bool overOdbc();
// True in the run of a test that reaches its servers as SQL Server, through
// unixODBC, FreeTDS and the TDS stand-in server (label "tds").
bool overTds();
// `options` with the databases reached as this run of the test reaches them.
embedded::SampleOptions withTestAccess(embedded::SampleOptions options);

// From now on the server refuses every `statement` ("UPDATE", "INSERT") of `table`.
bool refuseWrites(AppContext &ctx, const QString &table, const QString &statement = QStringLiteral("UPDATE"));

// The first row a query gives, its values "|"-joined with Null as "<null>";
// "(no row)" when it gives none.
QString storedRow(AppContext &ctx, const QString &query, const QVariantList &params);

// The whole text of the context's log file so far; "" when it has none.
QString logText(AppContext &ctx);

// While one lives, rows read from stand-in servers come back as SQL Server
// hands them: the braced GUID of every column whose name ends in "ObjectID"
// as its 36 characters in upper case, without braces.
class ObjectIdsAsSqlServerGivesThem {
public:
    ObjectIdsAsSqlServerGivesThem();
    ~ObjectIdsAsSqlServerGivesThem();
    ObjectIdsAsSqlServerGivesThem(const ObjectIdsAsSqlServerGivesThem &) = delete;
    ObjectIdsAsSqlServerGivesThem &operator=(const ObjectIdsAsSqlServerGivesThem &) = delete;
};

// A server version as getVersion reads it.
TolvaVersionRecord serverVersion(qint16 major, qint16 minor, qint16 release, qint16 build);

// The audit lines (UPDATE and FAILED_UPDATE) of a log file, each without its date and time.
QStringList auditLines(const QString &logFile);
// The same of the context's log file so far.
QStringList auditLines(AppContext &ctx);

// The identity every test run reports, so connection strings and log headers are predictable.
platform::SystemIdentity testIdentity();

// How a TestServer of the tds run is reached: the TDS version FreeTDS asks
// for, and a data source name to connect through instead of the driver's
// name (written to an odbc.ini of the server's folder, named by ODBCINI).
struct TdsAccess {
    QString version = QStringLiteral("7.4");
    QString dsn;
    QString extra; // more of the connection text, e.g. "Timeout=3"
};

class TestServer {
public:
    explicit TestServer(const embedded::SampleOptions &options = {}, const TdsAccess &tds = {});
    // A server of the program's generator in place of the sample, reached as
    // this run reaches the sample.
    static std::unique_ptr<TestServer> generated(const embedded::GeneratedOptions &options, const TdsAccess &tds = {});
    ~TestServer();

    bool ok() const { return m_server.has_value(); }
    QString error() const { return m_error; }
    const embedded::SampleServer &server() const { return *m_server; }
    QString folder() const { return m_dir.path(); }
    // The program's data folder (logs go below it).
    QString dataFolder() const { return m_dir.path() + QStringLiteral("/program"); }

    // The TDS stand-in server of the tds run; nullptr in the other runs.
    tds::TdsServer *tds() const { return m_tds.get(); }

    // A context on this server, with its connection string set as the
    // start-up sets it; a test that needs the server's version reads it
    // (getVersion) or sets its own.
    AppContext &ctx() { return *m_ctx; }
    // Rebuilds the context (after a test changed the registry file).
    void reload();
    // The TDS stand-in server the tds run reaches; null in the other runs.
    tds::TdsServer *tdsServer() const { return m_tds.get(); }

    // Makes the main database fail for a test: its file removed (nothing can
    // connect), or one of its views dropped (every query on it fails).
    enum class Fault { FileGone, ViewMissing };
    bool breakMainDatabase(Fault fault, const QString &view = {});
    // Both faults as the rows of a data-driven test, in its column "fault".
    static void addFaultRows();

private:
    using Build = std::function<std::optional<embedded::SampleServer>(
        const QString &folder, const embedded::SampleOptions &access, QString *error)>;
    TestServer(const embedded::SampleOptions &options, const TdsAccess &tds, const Build &build);

    QTemporaryDir m_dir;
    std::unique_ptr<tds::TdsServer> m_tds;
    std::optional<embedded::SampleServer> m_server;
    std::unique_ptr<AppContext> m_ctx;
    QString m_error;
};

} // namespace quillor::test

Q_DECLARE_METATYPE(quillor::test::TestServer::Fault)
Q_DECLARE_METATYPE(quillor::TolvaVersionRecord)
