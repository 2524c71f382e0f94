// The update check against a web server of the test's own on 127.0.0.1, the
// update script that ships beside the program, and the help window.
#include "cannedhttpserver.h"
#include "common/frmhelp.h"
#include "common/logging.h"
#include "common/updatecheck.h"
#include "fakes.h"
#include "platform/apppaths.h"
#include "programfolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QtTest>

using namespace quillor;
using namespace quillor::modUpdateCheck;
using platform::MsgAnswer;
using platform::MsgButtons;
using test::CannedHttpServer;
using Mode = CannedHttpServer::Mode;

namespace {

const QString kHomePath = QStringLiteral("/Applications/Tolva/QLR4x/QLR.html");

QString homeOn(const QString &host) { return QStringLiteral("http://") + host + kHomePath; }

// The server's host, or one on which nothing listens.
QString hostOf(const CannedHttpServer &server, const test::ClosedPort &closed, bool listening)
{
    return listening ? server.host() : QStringLiteral("127.0.0.1:%1").arg(closed.port());
}

QString unableText(const QString &site)
{
    return QStringLiteral("Unable to contact application home page to check for version.  You can access the home page "
                          "and check for updated versions of all Varko Tolva tools by going to ")
           + site;
}

QString newerText(const QString &site)
{
    return QStringLiteral("An updated version of this tool is available on ") + site
           + QStringLiteral(".  Click OK to open the application home page now");
}

const QString kUpToDate = QStringLiteral("You have the most up to date version of this tool installed");

enum class Outcome { Newer, UpToDate, Unable };

} // namespace

Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(MsgAnswer)

class TestUpdateCheck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCoreApplication::setApplicationVersion(QStringLiteral("5.0.25")); }

    void padding_data();
    void padding();
    void ordering_data();
    void ordering();
    void addresses();
    void listLookUp_data();
    void listLookUp();
    void foreground_data();
    void foreground();
    void fetchAsksForTheDownloadList();
    void failureReasonGoesToTheLog();
    void foregroundWithoutSite();
    void background();
    void shippedScript_data();
    void shippedScript();
    void helpWindowShowsThePage();
    void shippedHelpPage();
};

void TestUpdateCheck::padding_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("padded");
    QTest::newRow("three parts") << "5.0.25" << "0005.0000.0025";
    QTest::newRow("four digits stay") << "2009.1.1" << "2009.0001.0001";
    QTest::newRow("longer parts stay") << "12345.1" << "12345.0001";
    QTest::newRow("four parts") << "4.2.1.50" << "0004.0002.0001.0050";
    QTest::newRow("trailing dot counts as 0") << "5.0." << "0005.0000.0000";
    QTest::newRow("shorter than 4 characters") << "5.1" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("not a number") << "5.0.beta" << "";
}

void TestUpdateCheck::padding()
{
    QFETCH(QString, version);
    QFETCH(QString, padded);
    QCOMPARE(PadVersionString(version), padded);
}

void TestUpdateCheck::ordering_data()
{
    QTest::addColumn<QString>("latest");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("later");
    QTest::newRow("5.0.30 over 5.0.25") << "5.0.30" << "5.0.25" << true;
    QTest::newRow("same") << "5.0.25" << "5.0.25" << false;
    QTest::newRow("older listed") << "5.0.9" << "5.0.25" << false;
    QTest::newRow("5.0.10 over 5.0.9") << "5.0.10" << "5.0.9" << true;
    QTest::newRow("major wins over minor") << "6.0.0" << "5.9.99" << true;
    QTest::newRow("extra part") << "5.0.25.1" << "5.0.25" << true;
    QTest::newRow("extra zero part is the same") << "5.0.25.0" << "5.0.25" << false;
    QTest::newRow("five-digit part") << "5.0.10000" << "5.0.9999" << true;
}

void TestUpdateCheck::ordering()
{
    QFETCH(QString, latest);
    QFETCH(QString, current);
    QFETCH(bool, later);
    QCOMPARE(isLaterVersion(PadVersionString(latest), PadVersionString(current)), later);
    // The other way round a later version is never also later.
    if (later)
        QVERIFY(!isLaterVersion(PadVersionString(current), PadVersionString(latest)));
}

void TestUpdateCheck::addresses()
{
    QCOMPARE(homePageUrl(QStringLiteral("tools.example.com")),
             QStringLiteral("http://tools.example.com/Applications/Tolva/QLR4x/QLR.html"));
    QCOMPARE(homePageUrl(QStringLiteral("  ")), QString());
    // The list sits on the same site as the home page, whatever the host's length or port.
    QCOMPARE(downloadListUrl(homeOn(QStringLiteral("127.0.0.1:8080"))),
             QStringLiteral("http://127.0.0.1:8080/SiteList/AllDownloads/AllDownloads.XML"));
    QCOMPARE(siteAddress(homeOn(QStringLiteral("a.example"))), QStringLiteral("http://a.example"));
    QCOMPARE(downloadListUrl(QStringLiteral("no address at all")), QString());
    QCOMPARE(downloadListUrl(QStringLiteral("http://tools.example.com")), QString());
    QCOMPARE(downloadListUrl(QStringLiteral("ftp://tools.example.com/x.html")), QString());
}

void TestUpdateCheck::listLookUp_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("latest");
    const QByteArray ours = test::downloadList({{QStringLiteral("/Other/Tool.html"), QStringLiteral("9.9.9")},
                                                {kHomePath, QStringLiteral("5.0.30")},
                                                {QStringLiteral("/Third.html"), QStringLiteral("7.7.7")}});
    QTest::newRow("our entry among others") << QString::fromLatin1(ours) << "0005.0000.0030";
    QTest::newRow("entry and tag without regard to case")
        << "<row>^/applications/TOLVA/qlr4x/qlr.HTML^IFRAM_A <CELL>5.1.2</CELL></row>" << "0005.0001.0002";
    QTest::newRow("no entry for us")
        << QString::fromLatin1(test::downloadList({{QStringLiteral("/Other/Tool.html"), QStringLiteral("9.9.9")}}))
        << "";
    QTest::newRow("entry without a version tag") << "<row>^" + kHomePath + "^ifram_a</row><row>nothing</row>" << "";
    QTest::newRow("version tag without digits") << "<row>^" + kHomePath + "^ifram_a<cell>soon</cell></row>" << "";
    QTest::newRow("list too short") << "^x^" << "";
}

void TestUpdateCheck::listLookUp()
{
    QFETCH(QString, list);
    QFETCH(QString, latest);
    QString why;
    QCOMPARE(latestVersionFromList(list, kHomePath, &why), latest);
    QCOMPARE(why.isEmpty(), !latest.isEmpty());
}

void TestUpdateCheck::foreground_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("listed"); // the version our entry lists; "" for no entry of ours
    QTest::addColumn<bool>("listening");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<Outcome>("outcome");

    const auto row = [](const char *name, Mode mode, int status, const char *listed, bool listening,
                        MsgAnswer answer, Outcome outcome) {
        QTest::newRow(name) << mode << status << QString::fromLatin1(listed) << listening << answer << outcome;
    };
    row("newer, OK opens the home page", Mode::Answer, 200, "5.0.30", true, MsgAnswer::Ok, Outcome::Newer);
    row("newer, Cancel opens nothing", Mode::Answer, 200, "5.0.30", true, MsgAnswer::Cancel, Outcome::Newer);
    row("three-digit part is newer", Mode::Answer, 200, "5.0.100", true, MsgAnswer::Ok, Outcome::Newer);
    row("same version", Mode::Answer, 200, "5.0.25", true, MsgAnswer::Ok, Outcome::UpToDate);
    row("older version listed", Mode::Answer, 200, "5.0.9", true, MsgAnswer::Ok, Outcome::UpToDate);
    row("list without our entry", Mode::Answer, 200, "", true, MsgAnswer::Ok, Outcome::Unable);
    row("error page is not a list", Mode::Answer, 404, "9.9.9", true, MsgAnswer::Ok, Outcome::Unable);
    row("server hangs up", Mode::HangUp, 200, "9.9.9", true, MsgAnswer::Ok, Outcome::Unable);
    row("unreachable host", Mode::Answer, 200, "9.9.9", false, MsgAnswer::Ok, Outcome::Unable);
    row("no answer in time", Mode::Stall, 200, "9.9.9", true, MsgAnswer::Ok, Outcome::Unable);
}

void TestUpdateCheck::foreground()
{
    QFETCH(Mode, mode);
    QFETCH(int, status);
    QFETCH(QString, listed);
    QFETCH(bool, listening);
    QFETCH(MsgAnswer, answer);
    QFETCH(Outcome, outcome);

    test::FakeSeams seams;
    seams.messages->answers.enqueue(answer);
    CannedHttpServer server;
    QVERIFY(server.listen());
    server.mode = mode;
    server.status = status;
    server.body = test::downloadList({{listed.isEmpty() ? QStringLiteral("/Other.html") : kHomePath, listed}});
    const test::ClosedPort closed;
    QVERIFY(closed.port() != 0);
    const QString host = hostOf(server, closed, listening);
    const QString home = homeOn(host);
    const QString site = QStringLiteral("http://") + host;

    ForegroundOptions options;
    options.timeoutMs = 500;
    QElapsedTimer clock;
    clock.start();
    checkForUpdatedVersion_Foreground(home, options);
    QVERIFY2(clock.elapsed() < 5000, "the check must give up after its timeout");

    QCOMPARE(seams.messages->shown.size(), 1);
    const test::ShownMessage &shown = seams.messages->shown.first();
    const QString expected[] = {newerText(site), kUpToDate, unableText(site)};
    QCOMPARE(shown.text, expected[int(outcome)]);
    QCOMPARE(shown.buttons, outcome == Outcome::Newer ? MsgButtons::OkCancel : MsgButtons::Ok);
    if (outcome == Outcome::Newer)
        QCOMPARE(shown.title, QStringLiteral("Updated version is available"));
    const bool opened = outcome == Outcome::Newer && answer == MsgAnswer::Ok;
    QCOMPARE(seams.shell->openedUrls, opened ? QList<QUrl>{QUrl(home)} : QList<QUrl>{});
}

void TestUpdateCheck::fetchAsksForTheDownloadList()
{
    CannedHttpServer server;
    QVERIFY(server.listen());
    server.body = "a body of some length \xE9";
    QCOMPARE(strFetchURL(downloadListUrl(homeOn(server.host())), 0, 3000),
             QString::fromLatin1("a body of some length \xE9"));
    QCOMPARE(server.requests.size(), 1);
    const QByteArray &request = server.requests.first();
    QVERIFY2(request.startsWith("GET /SiteList/AllDownloads/AllDownloads.XML HTTP/1.1\r\n"), request.constData());
    QVERIFY2(request.contains("\r\nUser-Agent: HTTP Generic"), request.constData());
}

void TestUpdateCheck::failureReasonGoesToTheLog()
{
    test::FakeSeams seams;
    QTemporaryDir dir;
    LogFile log;
    QVERIFY(log.WriteLogHeader(dir.filePath(QStringLiteral("run.TXT")), {}));
    CannedHttpServer server;
    QVERIFY(server.listen());
    server.mode = Mode::Stall;

    ForegroundOptions options;
    options.timeoutMs = 200;
    options.log = &log;
    checkForUpdatedVersion_Foreground(homeOn(server.host()), options);
    server.mode = Mode::Answer;
    server.body = test::downloadList({{QStringLiteral("/Other.html"), QStringLiteral("9.9.9")}});
    checkForUpdatedVersion_Foreground(homeOn(server.host()), options);
    log.ReopenLogFile();

    QFile file(log.gLogFileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(file.readAll());
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Update check failed: .*did not answer within 200 ms"))),
             qPrintable(text));
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Update check failed: .*has no entry"))), qPrintable(text));
}

void TestUpdateCheck::foregroundWithoutSite()
{
    test::FakeSeams seams;
    checkForUpdatedVersion_Foreground(homePageUrl(QString()));
    QCOMPARE(seams.messages->shown.size(), 1);
    QVERIFY(seams.messages->shown.first().text.contains(QStringLiteral("\"ToolsSiteHost\"")));
}

void TestUpdateCheck::background()
{
    test::FakeSeams seams;
    const QString home = homeOn(QStringLiteral("tools.example.com"));
    {
        test::ProgramFolder folder;
        const QString script = folder.write(QStringLiteral("test.sh"), "exit 0\n");
        checkForUpdatedVersion_Background(home);
        QCOMPARE(seams.shell->started, (QList<QStringList>{{QStringLiteral("/bin/sh"), script, "5.0.25", home}}));
        // No tools site: nothing to hand the script.
        checkForUpdatedVersion_Background(homePageUrl(QString()));
        QCOMPARE(seams.shell->started.size(), 1);
    }
    {
        test::ProgramFolder empty;
        checkForUpdatedVersion_Background(home);
        QCOMPARE(seams.shell->started.size(), 1);
    }
    QCOMPARE(seams.messages->shown.size(), 0);
}

void TestUpdateCheck::shippedScript_data()
{
    QTest::addColumn<QString>("listed");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("newer version is announced") << "5.0.30" << true << 0 << "Quillor 5.0.30 is available on ";
    QTest::newRow("same version stays silent") << "5.0.25" << true << 0 << "";
    QTest::newRow("no entry of ours") << "" << true << 1 << "";
    QTest::newRow("unreachable site") << "5.0.30" << false << 1 << "";
}

void TestUpdateCheck::shippedScript()
{
    QFETCH(QString, listed);
    QFETCH(bool, listening);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    // The script beside the test programs is the one the build ships beside the program.
    const QString script = updateScriptPath();
    QVERIFY2(QFileInfo::exists(script), qPrintable(script));
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()
        && QStandardPaths::findExecutable(QStringLiteral("wget")).isEmpty())
        QSKIP("neither curl nor wget is installed");

    CannedHttpServer server;
    QVERIFY(server.listen());
    server.body = test::downloadList({{listed.isEmpty() ? QStringLiteral("/Other.html") : kHomePath, listed}});
    const test::ClosedPort closed;
    QVERIFY(closed.port() != 0);
    const QString host = hostOf(server, closed, listening);

    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {script, QStringLiteral("5.0.25"), homeOn(host)});
    QVERIFY(process.waitForStarted());
    // The test's own server answers only while the event loop runs.
    QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 20000);
    QCOMPARE(process.exitCode(), exitCode);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (output.isEmpty())
        QCOMPARE(out, QString());
    else
        QVERIFY2(out.startsWith(output + QStringLiteral("http://") + host), qPrintable(out));
    if (listening)
        QVERIFY2(server.requests.value(0).startsWith("GET /SiteList/AllDownloads/AllDownloads.XML "),
                 server.requests.value(0).constData());
}

void TestUpdateCheck::helpWindowShowsThePage()
{
    test::FakeSeams seams;
    test::ProgramFolder folder;
    const QString page = folder.write(
        QStringLiteral("Quillor.htm"),
        "<html><body><p>Page of the test.</p><a href=\"#later\">down</a> <a href=\"https://tools.example.com/\">site</a>"
        "<a name=\"later\"></a><p>Later.</p></body></html>");
    frmHelp help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QCOMPARE(help.objectName(), QStringLiteral("frmHelp"));
    auto *browser = help.findChild<QTextBrowser *>(QStringLiteral("browserHelp"));
    QVERIFY(browser);
    QCOMPARE(browser->source(), QUrl::fromLocalFile(page));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Page of the test.")));

    // Web addresses go to the user's browser; anchors stay in the window.
    emit browser->anchorClicked(QUrl(QStringLiteral("https://tools.example.com/")));
    emit browser->anchorClicked(QUrl(QStringLiteral("#later")));
    QCOMPARE(seams.shell->openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://tools.example.com/"))});
    QCOMPARE(browser->source().fragment(), QStringLiteral("later"));

    // Never smaller than its minimum.
    help.resize(40, 30);
    QVERIFY(help.width() >= 167 && help.height() >= 160);

    // A missing page is named rather than shown as an empty pane.
    QFile::remove(page);
    help.Form_Load();
    QVERIFY(browser->toPlainText().contains(page));
}

void TestUpdateCheck::shippedHelpPage()
{
    // The page the build puts beside the program; its contents links all lead somewhere.
    const QString page = frmHelp::helpPagePath();
    QFile file(page);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(page));
    const QString html = QString::fromUtf8(file.readAll());
    QSet<QString> anchors;
    for (const auto &m : QRegularExpression(QStringLiteral("<a name=\"([^\"]+)\"")).globalMatch(html))
        anchors << m.captured(1);
    QStringList links;
    for (const auto &m : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html))
        links << m.captured(1);
    QVERIFY(links.size() >= 10);
    for (const QString &link : std::as_const(links))
        QVERIFY2(anchors.contains(link), qPrintable(link));

    frmHelp help;
    auto *browser = help.findChild<QTextBrowser *>(QStringLiteral("browserHelp"));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Check for updated version")));
    QCOMPARE(browser->documentTitle(), QStringLiteral("Quillor Help"));
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
