// Start-up driven through the real main window under the offscreen platform.
#include "app/startup.h"
#include "common/appcontext.h"
#include "common/tolvaversion.h"
#include "embedded/sampleserver.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "platform/apppaths.h"
#include "testserver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quillor;

namespace {

QStringList logFiles(const test::TestServer &server)
{
    return QDir(server.dataFolder() + QStringLiteral("/logs")).entryList(QDir::Files);
}

// The program itself, with neither a display nor a platform named.
QProcessEnvironment environmentWithoutDisplay(const QString &dataHome)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    return environment;
}

// A socket on the local X socket name of display `number`:
// @/tmp/.X11-unix/X<number>, the abstract one an X server of Linux offers.
struct XSocketName {
    sockaddr_un address{};
    socklen_t length = 0;
    explicit XSocketName(int number)
    {
        const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(number);
        address.sun_family = AF_UNIX;
        std::copy(path.cbegin(), path.cend(), address.sun_path + 1); // an abstract name starts with a NUL
        length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(path.size()));
    }
    const sockaddr *get() const { return reinterpret_cast<const sockaddr *>(&address); }
};

// An X display number of this test's own, from a range that virtual
// displays (which count from 0) do not reach: its abstract socket is bound by
// this process, so no other test run takes the number while it lives. Bound
// only, nothing serves the display; accepting, it takes each client and
// closes on it at once, an X server that refuses the client.
class OwnXDisplay {
public:
    enum Kind { NothingServes, Refuses };
    explicit OwnXDisplay(Kind kind)
    {
        for (int number = 5000; number < 5200 && m_socket < 0; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue; // that file would answer for the display
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const XSocketName name(number);
            if (fd >= 0 && ::bind(fd, name.get(), name.length) == 0
                && (kind == NothingServes || ::listen(fd, 8) == 0)) {
                m_socket = fd;
                m_display = u':' + QString::number(number);
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        if (kind == Refuses && m_socket >= 0) {
            m_accepting = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Read);
            QObject::connect(m_accepting.get(), &QSocketNotifier::activated, m_accepting.get(), [fd = m_socket] {
                if (const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); client >= 0)
                    ::close(client);
            });
        }
    }
    ~OwnXDisplay()
    {
        m_accepting.reset();
        if (m_socket >= 0)
            ::close(m_socket);
    }
    OwnXDisplay(const OwnXDisplay &) = delete;
    OwnXDisplay &operator=(const OwnXDisplay &) = delete;
    // ":<number>"; "" when no number of the range was free.
    QString display() const { return m_display; }

private:
    int m_socket = -1;
    QString m_display;
    std::unique_ptr<QSocketNotifier> m_accepting;
};

// The process that listens on display `number`'s abstract socket; -1 when
// none does.
qint64 listenerOf(int number)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const XSocketName name(number);
    ucred peer{};
    socklen_t size = sizeof peer;
    const bool known = fd >= 0 && ::connect(fd, name.get(), name.length) == 0
                       && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
    if (fd >= 0)
        ::close(fd);
    return known ? qint64(peer.pid) : -1;
}

// A virtual display of the test's own, used only once it is known to be this
// Xvfb's and to take a client as the program will: Xvfb processes started
// together can race for one display number, and the loser may report a
// number whose socket the winner holds. Then another Xvfb is started. The
// check's client stays connected, so that the display never resets for want
// of clients (and turns away who connects meanwhile) between the programs.
class VirtualDisplay {
public:
    // Its DISPLAY; "" when none of a few Xvfb came up, and `why` says what each said.
    QString start(QString *why)
    {
        for (int attempt = 1; attempt <= 4; ++attempt) {
            m_xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                  QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            // It writes its display's number once it takes clients.
            QByteArray number;
            while (!number.endsWith('\n') && m_xvfb.waitForReadyRead(60000))
                number += m_xvfb.readAllStandardOutput();
            bool isNumber = false;
            const int n = number.trimmed().toInt(&isNumber);
            const QString display = u':' + QString::number(n);
            QString problem;
            if (!isNumber)
                problem = QStringLiteral("no display number");
            else if (listenerOf(n) != m_xvfb.processId())
                problem = display + QStringLiteral(" is served by another process");
            else
                problem = displayProblem(
                    {QStringLiteral("quillor")},
                    [&display](const char *variable) {
                        return std::string_view(variable) == "DISPLAY" ? display : QString();
                    },
                    &m_client);
            if (problem.isEmpty())
                return display;
            m_xvfb.kill();
            m_xvfb.waitForFinished(10000);
            *why += QStringLiteral("Xvfb, try %1: %2\n%3\n")
                        .arg(attempt)
                        .arg(problem, QString::fromLocal8Bit(m_xvfb.readAllStandardError()));
        }
        return {};
    }

    ~VirtualDisplay()
    {
        m_client.reset();
        m_xvfb.kill();
        m_xvfb.waitForFinished(10000);
    }

private:
    QProcess m_xvfb;
    std::shared_ptr<void> m_client;
};

// What a program under test said, besides what was read of it before
// (`said`), and whether it still runs, for a failure's message; it reads
// nothing away, as QVERIFY2 makes its message whether the check fails or not.
QString accountOf(QProcess &program, const QString &said = {})
{
    QByteArray unread;
    const QProcess::ProcessChannel reading = program.readChannel();
    for (const auto channel : {QProcess::StandardOutput, QProcess::StandardError}) {
        program.setReadChannel(channel);
        unread += program.peek(program.bytesAvailable());
    }
    program.setReadChannel(reading);
    QString state = QStringLiteral("ended with status %1").arg(program.exitCode());
    if (program.state() != QProcess::NotRunning)
        state = QStringLiteral("still running");
    else if (program.exitStatus() == QProcess::CrashExit)
        state = QStringLiteral("crashed");
    return QStringLiteral("%1 %2, saying:\n%3").arg(program.program(), state, said + QString::fromLocal8Bit(unread));
}

const QString kRefusal = QStringLiteral(
    "This version of Quillor only works with Tolva 4.0(3) and later - see the help file for more details");

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    // Displays of this run's own, for the display check (and nothing else).
    OwnXDisplay m_nothingServes{OwnXDisplay::NothingServes};
    OwnXDisplay m_refuses{OwnXDisplay::Refuses};
private slots:
    void initTestCase();
    void startsOnTheSampleServer();
    void refusesOldServers_data();
    void refusesOldServers();
    void refusalWithoutAScreenIsPrinted();
    void profileProblemsAreNamed_data();
    void profileProblemsAreNamed();
    void sampleProfileStarts();
    void logFolderThatCannotBeMade();
    void exitAndCloseEndTheProgram();
    void profileChoice_data();
    void profileChoice();
    void withoutDisplay_data();
    void withoutDisplay();
    void secondDemoLeavesTheFirst();
};

void TestStartup::initTestCase()
{
    QVERIFY2(!m_nothingServes.display().isEmpty() && !m_refuses.display().isEmpty(), "no free X display number");
}

void TestStartup::startsOnTheSampleServer()
{
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    frmMain window(server.ctx());
    QVERIFY(window.Form_Load());
    QCOMPARE(seams.messages->texts(), QStringList{});
    QCOMPARE(seams.shell->endedWith, QList<int>{});

    const AppState &state = server.ctx().state();
    QCOMPARE(state.gConnectionString,
             QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
                            "Catalog=TolvaDb;Data Source=TOLVASRV"));
    QCOMPARE(state.gVersion.Text, QStringLiteral("4.2(1.50)"));
    // Raised for the whole start-up and cleared by its first tab load (the
    // first tree's root row), so edits are live once the window shows.
    QVERIFY(!state.bLoadingControls);

    QCOMPARE(window.windowTitle(), QStringLiteral("Quillor"));
    auto *treeGrid = window.findChild<QTabWidget *>(QStringLiteral("TabTreeGrid"));
    QVERIFY(treeGrid);
    QCOMPARE(treeGrid->currentIndex(), 0);
    QCOMPARE(treeGrid->tabText(0), QStringLiteral("Tree View"));
    QCOMPARE(treeGrid->tabText(1), QStringLiteral("Grid View"));
    auto *info = window.findChild<QTabWidget *>(QStringLiteral("tabInfoTab"));
    QVERIFY(info);
    QStringList pages;
    for (int i = 0; i < info->count(); ++i)
        pages << info->tabText(i);
    QCOMPARE(pages, (QStringList{"Subscriber", "Call Handler", "Interviewer", "Leaf", "Directory Handler"}));
    QVERIFY(window.findChild<QLabel *>(QStringLiteral("lblCurrentObjectDisplayName")));
    QVERIFY(window.minimumWidth() >= 752 && window.minimumHeight() >= 444);

    // The run's log file, with its header.
    const QStringList logs = logFiles(server);
    QCOMPARE(logs.size(), 1);
    QFile log(server.dataFolder() + QStringLiteral("/logs/") + logs.first());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(log.readAll());
    QVERIFY(text.contains(QStringLiteral("Local Tolva version=4.2(1.50)\r\n")));
    QVERIFY(text.contains(QStringLiteral("Logged in user=EXAMPLE\\admin\r\n")));
    QCOMPARE(server.ctx().log().gLogFileName(), log.fileName());
}

void TestStartup::refusesOldServers_data()
{
    QTest::addColumn<bool>("newLayout");
    QTest::addColumn<QList<int>>("version");
    QTest::addColumn<bool>("refused");

    QTest::newRow("4.0(2.99), older layout") << false << QList<int>{4, 0, 2, 99} << true;
    QTest::newRow("4.0(2.0), older layout") << false << QList<int>{4, 0, 2, 0} << true;
    QTest::newRow("3.9(9.9), newer layout") << true << QList<int>{3, 9, 9, 9} << true;
    QTest::newRow("4.0(3.0) is the oldest accepted") << false << QList<int>{4, 0, 3, 0} << false;
}

void TestStartup::refusesOldServers()
{
    QFETCH(bool, newLayout);
    QFETCH(QList<int>, version);
    QFETCH(bool, refused);

    test::FakeSeams seams;
    embedded::SampleOptions options;
    options.newRegistryLayout = newLayout;
    options.major = version[0];
    options.minor = version[1];
    options.release = version[2];
    options.build = version[3];
    test::TestServer server(options);
    QVERIFY2(server.ok(), qPrintable(server.error()));
    const quint64 queriesBefore = server.ctx().db().queryCount();

    frmMain window(server.ctx());
    QCOMPARE(window.Form_Load(), !refused);
    if (refused) {
        QCOMPARE(seams.messages->texts(), QStringList{kRefusal});
        QCOMPARE(seams.shell->endedWith.size(), 1);
        // Nothing else ran: no query, no log file.
        QCOMPARE(server.ctx().db().queryCount(), queriesBefore);
        QCOMPARE(logFiles(server), QStringList{});
    } else {
        QCOMPARE(seams.messages->texts(), QStringList{});
        QCOMPARE(logFiles(server).size(), 1);
    }
}

// Where nobody can answer a box (here Qt's screenless platform, which the
// tests run on), the old server's refusal is printed and the program ends.
void TestStartup::refusalWithoutAScreenIsPrinted()
{
    QTemporaryDir folder;
    embedded::SampleOptions options;
    options.minor = 0; // 4.0(2.50)
    options.release = 2;
    QString error;
    const auto old = embedded::createSampleServer(folder.path() + QStringLiteral("/server"), options, &error);
    QVERIFY2(old, qPrintable(error));
    QProcess quillor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.path());
    quillor.setProcessEnvironment(environment);
    quillor.start(QString::fromUtf8(QUILLOR_EXECUTABLE), {QStringLiteral("--registry"), old->registryFile});
    const bool ended = quillor.waitForFinished(60000);
    if (!ended)
        quillor.kill();
    QVERIFY2(ended, "still running, a box waiting");
    QVERIFY2(QString::fromLocal8Bit(quillor.readAllStandardError()).contains(kRefusal), "the refusal is printed");
}

void TestStartup::profileProblemsAreNamed_data()
{
    QTest::addColumn<QByteArray>("contents"); // empty: no file at all
    QTest::addColumn<QStringList>("expected"); // what the one message says, besides the file's name

    const QByteArray header = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varko Systems\\Varko Tolva]\r\n"
                              "\"MajorVersion\"=dword:00000004\r\n\r\n";
    const QByteArray port = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillor\\Port]\r\n";
    QTest::newRow("missing file") << QByteArray() << QStringList{"does not exist"};
    QTest::newRow("not an export") << QByteArray("hello\r\n") << QStringList{"could not be read", "\"hello\""};
    // A binary file is named as one (its bytes cut at the first NUL said nothing).
    const QStringList notAnExport{"not a registry export", "\"REGEDIT4\" or \"Windows Registry Editor Version 5.00\"", "binary data"};
    QTest::newRow("binary file") << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0", 20) << notAnExport;
    QByteArray noise(512, '\0');
    QRandomGenerator generator(22);
    generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("random bytes") << noise << notAnExport;
    QTest::newRow("syntax error") << QByteArray("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"a\"=dword:zz\r\n")
                                  << QStringList{"line 4"};
    // An administrator's first export: the server's keys, not the port's.
    QTest::newRow("no port key") << header << QStringList{"has no key HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillor\\Port", "README"};
    QTest::newRow("no main database") << header + port + "\"ServerHost\"=\"tolva\"\r\n"
                                      << QStringList{"has no text value \"MainDatabase\"", "README"};
    QTest::newRow("database file missing") << header + port + "\"MainDatabase\"=\"sqlite:gone.sqlite\"\r\n"
                                           << QStringList{"cannot open", "gone.sqlite", "does not exist"};
    QTest::newRow("not a database") << header + port + "\"MainDatabase\"=\"sqlite:server.reg\"\r\n"
                                    << QStringList{"cannot open", "server.reg", "not a database"};
    QTest::newRow("another database") << header + port + "\"MainDatabase\"=\"sqlite:empty.sqlite\"\r\n"
                                      << QStringList{"cannot open", "empty.sqlite", "vw_CallHandler"};
    // The password of a connection string is not shown.
    QTest::newRow("odbc") << header + port + "\"MainDatabase\"=\"odbc:DSN=quillor-no-such-dsn;UID=admin;PWD=hunter2\"\r\n"
                          << QStringList{"cannot open", "DSN=quillor-no-such-dsn;UID=admin;PWD=***", "Reason: "};
}

void TestStartup::profileProblemsAreNamed()
{
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, expected);

    test::FakeSeams seams;
    QTemporaryDir dir;
    platform::AppPaths::overrideDataFolder(dir.path());
    const QString path = dir.filePath(QStringLiteral("server.reg"));
    if (!contents.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    {
        // An SQLite database without the server's tables.
        QFile empty(dir.filePath(QStringLiteral("empty.sqlite")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    AppContext ctx(embedded::standInProcedures(), &test::testIdentity);
    QVERIFY(!prepareContext(ctx, ProfileChoice{false, path}, QString()));
    // One message, and the program ends before its window.
    QCOMPARE(seams.messages->shown.size(), 1);
    const QString message = seams.messages->shown.first().text;
    QVERIFY2(message.contains(path), qPrintable(message));
    for (const QString &part : std::as_const(expected))
        QVERIFY2(message.contains(part), qPrintable(message));
    QVERIFY2(!message.contains(QStringLiteral("hunter2")), qPrintable(message));
    QVERIFY2(std::all_of(message.cbegin(), message.cend(), [](QChar c) { return c.isPrint() || c == u'\n'; }),
             qPrintable(message));
    // The example the message gives is the README's.
    if (message.contains(QStringLiteral("README"))) {
        QFile readme(QFINDTESTDATA("../../README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const QStringList example = message.mid(message.indexOf(QStringLiteral("\n["))).trimmed().split(u'\n');
        QCOMPARE(example.size(), 3);
        for (const QString &line : example)
            QVERIFY2(text.contains(QStringLiteral("    ") + line + u'\n'), qPrintable(line));
    }
    platform::AppPaths::overrideDataFolder(QString());
}

void TestStartup::sampleProfileStarts()
{
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    AppContext ctx(embedded::standInProcedures(), &test::testIdentity);
    QVERIFY(prepareContext(ctx, ProfileChoice{false, server.server().registryFile}, QString()));
    QCOMPARE(seams.messages->texts(), QStringList{});
}

void TestStartup::logFolderThatCannotBeMade()
{
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    const QString folder = server.dataFolder() + QStringLiteral("/logs");
    QDir(folder).removeRecursively();
    {
        QFile inTheWay(folder); // a file where the folder should be
        QVERIFY(inTheWay.open(QIODevice::WriteOnly));
    }
    frmMain window(server.ctx());
    // One message, and the program runs on without a log.
    QVERIFY(window.Form_Load());
    QCOMPARE(seams.messages->texts(),
             QStringList{QStringLiteral("(error):75 (Path/File access error: %1) in procedure GenerateNewLogFileName of "
                                        "Module modLogging\nChanges made in this session will not be recorded in a log.")
                             .arg(folder)});
    QCOMPARE(seams.shell->endedWith, QList<int>{});
    QCOMPARE(server.ctx().log().gLogFileName(), QString());
}

void TestStartup::exitAndCloseEndTheProgram()
{
    test::FakeSeams seams;
    test::TestServer server;
    frmMain window(server.ctx());
    QVERIFY(window.Form_Load());
    auto *exit = window.findChild<QAction *>(QStringLiteral("mnuExit"));
    QVERIFY(exit);
    QCOMPARE(exit->text(), QStringLiteral("Exit"));
    exit->trigger();
    QCOMPARE(seams.shell->endedWith, QList<int>{0});
    window.show();
    window.close();
    QCOMPARE(seams.shell->endedWith, (QList<int>{0, 0}));
}

void TestStartup::profileChoice_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<bool>("demo");
    QTest::addColumn<QString>("file");

    QTest::newRow("option") << QStringList{"quillor", "--registry", "/srv/a.reg"} << "/env.reg" << false << "/srv/a.reg";
    QTest::newRow("environment") << QStringList{"quillor"} << "/env.reg" << false << "/env.reg";
    QTest::newRow("nothing") << QStringList{"quillor"} << QString() << false << QString();
    QTest::newRow("demo") << QStringList{"quillor", "--demo"} << QString() << true << QString();
}

void TestStartup::profileChoice()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, environment);
    QFETCH(bool, demo);
    QFETCH(QString, file);
    const ProfileChoice choice = chooseProfile(arguments, environment);
    QCOMPARE(choice.demo, demo);
    QCOMPARE(choice.registryFile, file);
}

void TestStartup::withoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("display"); // "" leaves DISPLAY unset
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // what stdout (exit 0) or the one line on stderr holds

    const QString silent = m_nothingServes.display();
    const QString refuses = m_refuses.display();
    QTest::newRow("help") << QStringList{"--help"} << "" << 0 << "--registry <FILE>";
    QTest::newRow("version") << QStringList{"--version"} << "" << 0
                             << QStringLiteral("Quillor %1.%2.%3\n")
                                    .arg(QUILLOR_VERSION_MAJOR)
                                    .arg(QUILLOR_VERSION_MINOR)
                                    .arg(QUILLOR_VERSION_PATCH);
    QTest::newRow("help after a GUI option") << QStringList{"-reverse", "-h"} << silent << 0 << "--demo";
    QTest::newRow("profile, no display") << QStringList{"--registry", "/nonexistent.reg"} << "" << 1
                                         << "neither DISPLAY nor WAYLAND_DISPLAY is set.";
    const auto names = [](const QString &display, const char *by, const char *what) {
        return QStringLiteral("the X display \"%1\" that %2 names %3.")
            .arg(display, QLatin1String(by), QLatin1String(what));
    };
    QTest::newRow("demo, display nothing serves") << QStringList{"--demo"} << silent << 1
                                                  << names(silent, "DISPLAY", "cannot be opened");
    // Its socket answers; the client is turned away, where Qt would abort.
    QTest::newRow("display that refuses the client") << QStringList{"--demo"} << refuses << 1
                                                     << names(refuses, "DISPLAY", "refused the connection");
    QTest::newRow("-display overrules DISPLAY") << QStringList{"--demo", "-display", refuses} << silent << 1
                                                << names(refuses, "-display", "refused the connection");
    QTest::newRow("not a display's name") << QStringList{"--demo"} << "nonsense" << 1
                                          << names("nonsense", "DISPLAY", "is not the name of a display");
}

void TestStartup::withoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, display);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QTemporaryDir dataHome;
    QProcess quillor;
    QProcessEnvironment environment = environmentWithoutDisplay(dataHome.path());
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    quillor.setProcessEnvironment(environment);
    // Started as a clone's README starts it, by a path from the build folder:
    // the hint names the program so.
    const QFileInfo executable(QString::fromUtf8(QUILLOR_EXECUTABLE));
    quillor.setWorkingDirectory(executable.dir().absoluteFilePath(QStringLiteral("..")));
    const QString program = QStringLiteral("bin/") + executable.fileName();
    quillor.start(program, arguments);
    // The events go on meanwhile: the refusing display answers from them.
    const bool ended = QTest::qWaitFor([&] { return quillor.state() == QProcess::NotRunning; }, 30000);
    QVERIFY2(ended, qPrintable(accountOf(quillor)));
    QCOMPARE(quillor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(quillor.exitCode(), exitCode);
    const QString out = QString::fromLocal8Bit(quillor.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(quillor.readAllStandardError());
    if (exitCode == 0) {
        QVERIFY2(out.contains(output), qPrintable(out));
        QCOMPARE(err, QString());
        return;
    }
    // One line: what is missing and the two ways over SSH. No demo was made.
    QCOMPARE(err,
             QStringLiteral("Quillor needs a graphical display, and %1 Over SSH, connect with X forwarding (ssh -X) or "
                            "start it on a virtual display: QUILLOR_VIRTUAL_DISPLAY=1 xvfb-run -a %2 --demo\n")
                 .arg(output, program));
    QCOMPARE(QDir(dataHome.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{});
}

void TestStartup::secondDemoLeavesTheFirst()
{
    // The demo reads none of the test's servers: one run of the three does it,
    // and no two displays and demos of this test start at once.
    if (test::overOdbc() || test::overTds())
        QSKIP("The demo is the same in every run; the plain run has it.");
    // Both demos on a virtual display, as scripts/demo starts them without a display.
    VirtualDisplay xvfb;
    QString why;
    const QString display = xvfb.start(&why);
    QVERIFY2(!display.isEmpty(), qPrintable(QStringLiteral("No Xvfb (which scripts/test installs) came up:\n") + why));
    QTemporaryDir dataHome;
    const QString folder = dataHome.filePath(QStringLiteral("Quillor/demo-server"));
    QProcessEnvironment environment = environmentWithoutDisplay(dataHome.path());
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QUILLOR_VIRTUAL_DISPLAY"), QStringLiteral("1"));
    QProcess first;
    first.setProcessEnvironment(environment);
    first.setProcessChannelMode(QProcess::MergedChannels);
    // A copy of the program, so that its log goes to the test's folder, not beside the build's program.
    const QString program = dataHome.filePath(QStringLiteral("quillor"));
    QVERIFY(QFile::copy(QString::fromUtf8(QUILLOR_EXECUTABLE), program));
    first.start(program, {QStringLiteral("--demo")});
    // The log file is the last thing its start makes: the first demo's window is up.
    const QDir logs(dataHome.filePath(QStringLiteral("logs")));
    const auto logged = [&] { return logs.entryList(QDir::Files).size() == 1; };
    const bool up = QTest::qWaitFor([&] { return logged() || first.state() == QProcess::NotRunning; }, 60000);
    QVERIFY2(up && logged() && first.state() == QProcess::Running, qPrintable(accountOf(first)));
    const QString database = folder + QStringLiteral("/TolvaDb.sqlite");
    // The same file, unchanged: neither removed and made anew nor written.
    const auto identity = [&] {
        struct stat info {};
        return ::stat(QFile::encodeName(database).constData(), &info) == 0
                   ? QList<qint64>{qint64(info.st_ino), qint64(info.st_size), qint64(info.st_mtim.tv_nsec)}
                   : QList<qint64>{};
    };
    const QList<qint64> before = identity();
    QVERIFY(!before.isEmpty());

    const auto secondDemo = [&](QStringList *messages) {
        test::FakeSeams seams;
        AppContext ctx(embedded::standInProcedures(), &test::testIdentity);
        std::unique_ptr<QLockFile> lock;
        const bool started = prepareContext(ctx, ProfileChoice{true, {}}, folder, &lock);
        *messages = seams.messages->texts();
        return started;
    };
    const QString refusal = QStringLiteral("A demo of Quillor is already running on the sample server in %1. Go on in "
                                           "its window, or close it and start the demo again.")
                                .arg(folder);
    QStringList messages;
    QVERIFY(!secondDemo(&messages));
    QCOMPARE(messages, QStringList{refusal});
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(identity(), before);

    // The second program itself: where nobody could answer a box, it ends
    // with its line; where someone can, the box waits for them.
    const struct {
        const char *setting;
        QString platform; // "" leaves Qt's own for the display
        bool virtualDisplay;
    } seconds[] = {{"virtual display", {}, true},
                   {"offscreen platform", QStringLiteral("offscreen"), false},
                   {"minimal platform", QStringLiteral("minimal"), false},
                   {"display someone sees", {}, false}};
    for (const auto &[setting, platform, virtualDisplay] : seconds) {
        QProcessEnvironment own = environment;
        if (!platform.isEmpty())
            own.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        if (!virtualDisplay)
            own.remove(QStringLiteral("QUILLOR_VIRTUAL_DISPLAY"));
        QProcess second;
        second.setProcessEnvironment(own);
        second.setProcessChannelMode(QProcess::MergedChannels);
        second.start(program, {QStringLiteral("--demo")});
        QString said;
        const auto refused = [&] {
            said += QString::fromLocal8Bit(second.readAll());
            return said.contains(refusal + u'\n');
        };
        const auto account = [&] { return QLatin1String(setting) + QStringLiteral(": ") + accountOf(second, said); };
        if (platform.isEmpty() && !virtualDisplay) {
            const bool waits =
                QTest::qWaitFor([&] { return refused() || second.state() == QProcess::NotRunning; }, 60000)
                && refused() && second.state() == QProcess::Running;
            QVERIFY2(waits, qPrintable(account()));
            second.kill();
            QVERIFY(second.waitForFinished(10000));
            continue;
        }
        // A box would keep it running.
        const bool ended = second.waitForFinished(60000) && refused();
        QVERIFY2(ended && second.exitStatus() == QProcess::NormalExit && second.exitCode() == 1, qPrintable(account()));
    }
    QVERIFY2(first.state() == QProcess::Running, qPrintable(accountOf(first)));
    QCOMPARE(identity(), before);

    // A demo that ended without a word (killed) leaves a lock nobody holds.
    first.kill();
    QVERIFY(first.waitForFinished(10000));
    QVERIFY2(secondDemo(&messages), qPrintable(messages.join(u'\n')));
    QCOMPARE(messages, QStringList{});
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
