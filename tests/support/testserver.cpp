#include "testserver.h"

#include "common/tolvaversion.h"
#include "mainwindow/frmmain.h"
#include "platform/apppaths.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace quillor::test {

bool sql(AppContext &ctx, const QString &statement, const QVariantList &params)
{
    return ctx.db().execute(ctx.state().gConnectionString, statement, params);
}


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
