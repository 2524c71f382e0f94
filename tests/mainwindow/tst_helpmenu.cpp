// The main window's help commands and the update check of its start-up, on
// the sample server with the tools site of its profile pointed at the test's
// own web server.
#include "cannedhttpserver.h"
#include "common/frmhelp.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "programfolder.h"
#include "testserver.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

using namespace quillor;
using test::CannedHttpServer;

namespace {

const QString kHomePath = QStringLiteral("/Applications/Tolva/QLR4x/QLR.html");

// Rewrites the tools site of the server's profile ("" leaves it out) and reloads the context.
bool setToolsSite(test::TestServer &server, const QString &host)
{
    QFile file(server.server().registryFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QStringDecoder decode(QStringConverter::Utf16LE);
    QString text = decode(file.readAll().mid(2));
    file.close();
    const QString line = QStringLiteral("\"ToolsSiteHost\"=\"localhost\"\r\n");
    if (!text.contains(line))
        return false;
    text.replace(line, host.isEmpty() ? QString() : QStringLiteral("\"ToolsSiteHost\"=\"%1\"\r\n").arg(host));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QStringEncoder encode(QStringConverter::Utf16LE);
    file.write(QByteArray("\xFF\xFE", 2) + QByteArray(encode(text)));
    file.close();
    server.reload();
    return true;
}

} // namespace

class TestHelpMenu : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCoreApplication::setApplicationVersion(QStringLiteral("4.2.7")); }
    void startUpHandsTheCheckToTheScript();
    void noScriptRunWhenStartUpStops();
    void helpWindowIsOneModelessWindow();
    void checkMenuAsksTheProfilesSite();
    void checkMenuWithoutToolsSite();
};

void TestHelpMenu::startUpHandsTheCheckToTheScript()
{
    test::FakeSeams seams;
    test::ProgramFolder folder;
    const QString script = folder.write(QStringLiteral("test.sh"), "exit 0\n");
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    frmMain window(server.ctx());
    QVERIFY(window.Form_Load());
    QCOMPARE(seams.shell->started,
             (QList<QStringList>{{QStringLiteral("/bin/sh"), script, QStringLiteral("4.2.7"),
                                  QStringLiteral("http://localhost") + kHomePath}}));
    QCOMPARE(seams.messages->texts(), QStringList{});
}

void TestHelpMenu::noScriptRunWhenStartUpStops()
{
    test::FakeSeams seams;
    test::ProgramFolder folder;
    folder.write(QStringLiteral("test.sh"), "exit 0\n");
    embedded::SampleOptions options;
    options.root = embedded::SampleOptions::Root::Missing;
    test::TestServer server(options);
    QVERIFY2(server.ok(), qPrintable(server.error()));
    frmMain window(server.ctx());
    QVERIFY(!window.Form_Load());
    QCOMPARE(seams.shell->started, QList<QStringList>{});
}

void TestHelpMenu::helpWindowIsOneModelessWindow()
{
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    frmMain window(server.ctx());
    QVERIFY(window.Form_Load());
    window.show();

    window.mnuHelp_Click();
    auto *help = window.findChild<frmHelp *>(QStringLiteral("frmHelp"));
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QVERIFY(!help->isModal());
    QVERIFY(window.isEnabled());

    help->close();
    window.mnuHelp_Click();
    window.mnuHelp_Click();
    QCOMPARE(window.findChildren<frmHelp *>().size(), 1);
    QVERIFY(help->isVisible());
}

void TestHelpMenu::checkMenuAsksTheProfilesSite()
{
    test::FakeSeams seams;
    CannedHttpServer site;
    QVERIFY(site.listen());
    site.body = test::downloadList({{kHomePath, QStringLiteral("4.3.0")}});
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    QVERIFY(setToolsSite(server, site.host()));
    frmMain window(server.ctx());
    QVERIFY(window.Form_Load());
    const QString home = QStringLiteral("http://") + site.host() + kHomePath;
    QCOMPARE(window.homePageUrl(), home);

    seams.messages->answers.enqueue(platform::MsgAnswer::Ok);
    window.mnuCheckForUpdatedVersion_Click();
    QCOMPARE(seams.messages->shown.size(), 1);
    QCOMPARE(seams.messages->shown.first().title, QStringLiteral("Updated version is available"));
    QCOMPARE(seams.shell->openedUrls, QList<QUrl>{QUrl(home)});

    // A failed check is never "up to date".
    site.mode = CannedHttpServer::Mode::HangUp;
    window.mnuCheckForUpdatedVersion_Click();
    QVERIFY(seams.messages->shown.last().text.startsWith(QStringLiteral("Unable to contact application home page")));
}

void TestHelpMenu::checkMenuWithoutToolsSite()
{
    test::FakeSeams seams;
    test::ProgramFolder folder;
    folder.write(QStringLiteral("test.sh"), "exit 0\n");
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    QVERIFY(setToolsSite(server, QString()));
    frmMain window(server.ctx());
    QVERIFY(window.Form_Load());
    QCOMPARE(seams.shell->started, QList<QStringList>{});

    window.mnuCheckForUpdatedVersion_Click();
    QCOMPARE(seams.messages->shown.size(), 1);
    QVERIFY(seams.messages->shown.first().text.contains(QStringLiteral("\"ToolsSiteHost\"")));
}

QTEST_MAIN(TestHelpMenu)
#include "tst_helpmenu.moc"
