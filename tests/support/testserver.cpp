#include "testserver.h"

#include "common/objectid.h"
#include "common/tolvaversion.h"
#include "mainwindow/frmmain.h"
#include "platform/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace quillor::test {

bool sql(AppContext &ctx, const QString &statement, const QVariantList &params)
{
    return ctx.db().execute(ctx.state().gConnectionString, statement, params);
}

bool refuseWrites(AppContext &ctx, const QString &table, const QString &statement)
{
    return sql(ctx, QStringLiteral("CREATE TRIGGER refuse%1%2 BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                        .arg(statement, table));
}

QString storedRow(AppContext &ctx, const QString &query, const QVariantList &params)
{
    platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString, query, params);
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

} // namespace

TestServer::TestServer(const embedded::SampleOptions &options)
{
    m_server = embedded::createSampleServer(m_dir.path() + QStringLiteral("/server"), withTestAccess(options), &m_error);
    QDir().mkpath(dataFolder());
    platform::AppPaths::overrideDataFolder(dataFolder());
    reload();
}

TestServer::~TestServer()
{
    m_ctx.reset();
    platform::AppPaths::overrideDataFolder(QString());
}

void TestServer::reload()
{
    m_ctx = std::make_unique<AppContext>(embedded::standInProcedures(), &testIdentity);
    if (!m_server)
        return;
    m_ctx->loadRegistry(m_server->registryFile, &m_error);
    m_ctx->state().gConnectionString = frmMain::connectionStringFor(m_ctx->workstation().ComputerName());
}

bool TestServer::breakMainDatabase(Fault fault, const QString &view)
{
    if (!m_server)
        return false;
    if (fault == Fault::FileGone)
        return QFile::remove(m_server->mainDatabase);
    return m_ctx->db().execute(m_ctx->state().gConnectionString, QStringLiteral("DROP VIEW ") + view);
}

void TestServer::addFaultRows()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("database file gone") << Fault::FileGone;
    QTest::newRow("view missing") << Fault::ViewMissing;
}

} // namespace quillor::test
