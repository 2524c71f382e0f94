#include "testserver.h"

#include "common/objectid.h"
#include "common/tolvaversion.h"
#include "mainwindow/frmmain.h"
#include "platform/apppaths.h"
#include "tds/tdsserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <dlfcn.h>

namespace quillor::test {

namespace {

// In the tds run: per context of a TestServer, the SQLite files behind the
// stand-in server, opened as the stand-in opens them.
QHash<const AppContext *, std::shared_ptr<platform::Database>> &filesBehind()
{
    static QHash<const AppContext *, std::shared_ptr<platform::Database>> databases;
    return databases;
}

platform::Database &testDb(AppContext &ctx)
{
    const auto it = filesBehind().constFind(&ctx);
    return it == filesBehind().cend() ? ctx.db() : **it;
}

} // namespace

bool sql(AppContext &ctx, const QString &statement, const QVariantList &params)
{
    // A PRAGMA sets the state of the connection it runs on: the program's.
    platform::Database &db = statement.startsWith(QLatin1String("PRAGMA"), Qt::CaseInsensitive) ? ctx.db() : testDb(ctx);
    return db.execute(ctx.state().gConnectionString, statement, params);
}

platform::Database &storeOf(AppContext &ctx) { return testDb(ctx); }

QString asRead(const QString &id)
{
    if (!overTds() || !id.startsWith(u'{') || !isGuidText(id))
        return id;
    return normalizedObjectId(id).mid(1, 36);
}

QString asStored(const QString &id) { return overTds() && isGuidText(id) ? normalizedObjectId(id) : id; }

QStringList asStored(const QStringList &ids)
{
    QStringList stored;
    for (const QString &id : ids)
        stored << asStored(id);
    return stored;
}

bool refuseWrites(AppContext &ctx, const QString &table, const QString &statement)
{
    return sql(ctx, QStringLiteral("CREATE TRIGGER refuse%1%2 BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                        .arg(statement, table));
}

QString storedRow(AppContext &ctx, const QString &query, const QVariantList &params)
{
    platform::Recordset rs = testDb(ctx).open(ctx.state().gConnectionString, query, params);
    if (rs.RecordCount() < 1)
        return QStringLiteral("(no row)");
    rs.MoveFirst();
    QStringList values;
    for (const QString &name : rs.fieldNames())
        values << (rs.isNull(name) ? QStringLiteral("<null>") : rs.text(name));
    return values.join(u'|');
}

QString logText(AppContext &ctx)
{
    QFile file(ctx.log().gLogFileName());
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

ObjectIdsAsSqlServerGivesThem::ObjectIdsAsSqlServerGivesThem()
{
    platform::Database::setStandInRowRewrite([](const QStringList &columns, QVector<QVariant> &row) {
        for (qsizetype i = 0; i < row.size() && i < columns.size(); ++i) {
            if (!columns[i].endsWith(QLatin1String("ObjectID"), Qt::CaseInsensitive) || row[i].isNull())
                continue;
            const QString text = row[i].toString();
            if (text.startsWith(u'{') && isGuidText(text))
                row[i] = normalizedObjectId(text).mid(1, 36);
        }
    });
}

ObjectIdsAsSqlServerGivesThem::~ObjectIdsAsSqlServerGivesThem() { platform::Database::setStandInRowRewrite({}); }

TolvaVersionRecord serverVersion(qint16 major, qint16 minor, qint16 release, qint16 build)
{
    TolvaVersionRecord v;
    v.Major = major;
    v.Minor = minor;
    v.Release = release;
    v.Build = build;
    return v;
}

QStringList auditLines(const QString &logFile)
{
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QString &line : QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n")))
        if (line.contains(QLatin1String(", UPDATE, ")) || line.contains(QLatin1String(", FAILED_UPDATE, ")))
            lines << line.mid(line.indexOf(QLatin1String(", ")) + 2);
    return lines;
}

QStringList auditLines(AppContext &ctx) { return auditLines(ctx.log().gLogFileName()); }

platform::SystemIdentity testIdentity()
{
    platform::SystemIdentity id;
    id.available = true;
    id.computerName = QStringLiteral("TOLVASRV");
    id.domain = QStringLiteral("EXAMPLE");
    id.userName = QStringLiteral("admin");
    return id;
}

bool overOdbc()
{
    return qEnvironmentVariable("QUILLOR_TEST_DATABASE") == QLatin1String("odbc");
}

bool overTds()
{
    return qEnvironmentVariable("QUILLOR_TEST_DATABASE") == QLatin1String("tds");
}

embedded::SampleOptions withTestAccess(embedded::SampleOptions options)
{
    if (overOdbc())
        options.access = embedded::SampleOptions::Access::Odbc;
    return options;
}

namespace {

// When CTest names a folder (QUILLOR_SQL_TRACE), every distinct SQL text that
// reaches the database layer is written there with the place in the source
// that sent it, for tst_sqldialect to check once the suite has run.
void traceStatements()
{
    const QString folder = qEnvironmentVariable("QUILLOR_SQL_TRACE");
    if (folder.isEmpty())
        return;
    auto file = std::make_shared<QFile>();
    auto seen = std::make_shared<QSet<QString>>();
    platform::Database::setStatementObserver([folder, file, seen](const QString &sql, const std::source_location &where) {
        const QString source = QString::fromUtf8(where.file_name());
        const QString key = source + u':' + QString::number(where.line()) + u'\n' + sql;
        if (seen->contains(key))
            return;
        seen->insert(key);
        // One file per process, so that tests running side by side never share a file.
        if (!file->isOpen()) {
            QDir().mkpath(folder);
            file->setFileName(QStringLiteral("%1/%2-%3.jsonl")
                                  .arg(folder, QCoreApplication::applicationName())
                                  .arg(QCoreApplication::applicationPid()));
            if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
                qFatal("Cannot write the SQL trace %s", qPrintable(file->fileName()));
        }
        const QJsonObject entry{{QStringLiteral("file"), source}, {QStringLiteral("line"), int(where.line())},
                                {QStringLiteral("sql"), sql}};
        file->write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    });
}
// Installed as the test program loads, before any test sends a statement.
Q_CONSTRUCTOR_FUNCTION(traceStatements)

// unixODBC's installer library caches what it read of odbc.ini in its own
// globals; the driver manager loads it for a data source and unloads it with
// the last connection, and the leak check would then count the cache as lost.
// Held loaded until the process ends, it is not.
void keepOdbcInstallerLoaded()
{
    dlopen("libodbcinst.so.2", RTLD_LAZY | RTLD_NODELETE);
}
Q_CONSTRUCTOR_FUNCTION(keepOdbcInstallerLoaded)

} // namespace

namespace {

// The profile's location of one database of the stand-in server: through the
// FreeTDS driver by name, or through a data source of the test's odbc.ini.
// UTF-8 is named, as FreeTDS would otherwise take the process's character set.
// The data source of one database: the test's name, with "Dir" for the directory's.
QString dsnOf(const QString &database, const TdsAccess &tds)
{
    return tds.dsn + (database.endsWith(u"DirDB") ? QStringLiteral("Dir") : QString());
}

QString tdsLocation(const QString &database, quint16 port, const TdsAccess &tds)
{
    if (!tds.dsn.isEmpty())
        return QStringLiteral("odbc:DSN=%1;UID=tolva;PWD=tolva").arg(dsnOf(database, tds));
    return QStringLiteral("odbc:Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=%2;UID=tolva;PWD=tolva;"
                          "TDS_Version=%3;ClientCharset=UTF-8%4")
        .arg(port)
        .arg(database, tds.version, tds.extra.isEmpty() ? QString() : u';' + tds.extra);
}

bool writeOdbcIni(const QString &path, quint16 port, const TdsAccess &tds)
{
    QFile ini(path);
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QString &database : {QStringLiteral("TolvaDb"), QStringLiteral("TolvaDirDB")}) {
        ini.write(QStringLiteral("[%1]\nDriver = FreeTDS\nServer = 127.0.0.1\nPort = %2\nDatabase = %3\n"
                                 "TDS_Version = %4\nClientCharset = UTF-8\n\n")
                      .arg(dsnOf(database, tds))
                      .arg(port)
                      .arg(database, tds.version)
                      .toUtf8());
    }
    return ini.flush();
}

} // namespace

TestServer::TestServer(const embedded::SampleOptions &options, const TdsAccess &tds)
    : TestServer(options, tds, [](const QString &folder, const embedded::SampleOptions &access, QString *error) {
          return embedded::createSampleServer(folder, access, error);
      })
{
}

std::unique_ptr<TestServer> TestServer::generated(const embedded::GeneratedOptions &options, const TdsAccess &tds)
{
    // The generator describes its server as the sample's files; the export is
    // written again to name them as this run reaches them.
    const Build build = [options](const QString &folder, const embedded::SampleOptions &access, QString *error) {
        std::optional<embedded::SampleServer> server = embedded::createGeneratedServer(folder, options, error);
        if (server && !embedded::writeRegistryExport(server->registryFile, server->folder, access, error))
            server.reset();
        return server;
    };
    return std::unique_ptr<TestServer>(new TestServer({}, tds, build));
}

TestServer::TestServer(const embedded::SampleOptions &options, const TdsAccess &tds, const Build &build)
{
    embedded::SampleOptions access = withTestAccess(options);
    bool ready = true;
    if (overTds()) {
        m_tds = std::make_unique<tds::TdsServer>();
        ready = m_tds->isListening();
        if (!ready)
            m_error = QStringLiteral("The TDS stand-in server does not listen: ") + m_tds->error();
    }
    if (ready && m_tds) {
        access.mainLocation = tdsLocation(QStringLiteral("TolvaDb"), m_tds->port(), tds);
        access.directoryLocation = tdsLocation(QStringLiteral("TolvaDirDB"), m_tds->port(), tds);
        if (!tds.dsn.isEmpty()) {
            const QString ini = m_dir.path() + QStringLiteral("/odbc.ini");
            ready = writeOdbcIni(ini, m_tds->port(), tds);
            if (!ready)
                m_error = QStringLiteral("Cannot write ") + ini;
            qputenv("ODBCINI", QFile::encodeName(ini));
        }
    }
    if (ready)
        m_server = build(m_dir.path() + QStringLiteral("/server"), access, &m_error);
    if (m_tds && m_server) {
        m_tds->setDatabaseFile(QStringLiteral("TolvaDb"), m_server->mainDatabase);
        m_tds->setDatabaseFile(QStringLiteral("TolvaDirDB"), m_server->directoryDatabase);
    }
    QDir().mkpath(dataFolder());
    platform::AppPaths::overrideDataFolder(dataFolder());
    reload();
}

TestServer::~TestServer()
{
    filesBehind().remove(m_ctx.get());
    m_ctx.reset();
    if (m_tds && qEnvironmentVariable("ODBCINI").startsWith(m_dir.path()))
        qunsetenv("ODBCINI");
    platform::AppPaths::overrideDataFolder(QString());
}

void TestServer::reload()
{
    filesBehind().remove(m_ctx.get());
    m_ctx = std::make_unique<AppContext>(embedded::standInProcedures(), &testIdentity);
    if (!m_server)
        return;
    if (m_tds) {
        platform::ServerProfile files;
        files.mainDatabase = QStringLiteral("sqlite:") + m_server->mainDatabase;
        files.directoryDatabase = QStringLiteral("sqlite:") + m_server->directoryDatabase;
        filesBehind().insert(m_ctx.get(), std::make_shared<platform::Database>(files, embedded::standInProcedures()));
    }
    m_ctx->loadRegistry(m_server->registryFile, &m_error);
    m_ctx->state().gConnectionString = frmMain::connectionStringFor(m_ctx->workstation().ComputerName());
}

bool TestServer::breakMainDatabase(Fault fault, const QString &view)
{
    if (!m_server)
        return false;
    if (fault == Fault::FileGone)
        return QFile::remove(m_server->mainDatabase);
    return testDb(*m_ctx).execute(m_ctx->state().gConnectionString, QStringLiteral("DROP VIEW ") + view);
}

void TestServer::addFaultRows()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("database file gone") << Fault::FileGone;
    QTest::newRow("view missing") << Fault::ViewMissing;
}

} // namespace quillor::test
