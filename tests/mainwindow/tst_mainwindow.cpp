// The main window's frame on the sample server: menus and popups, the size
// rules and the first size on small screens, the title that opens the web
// administration, the log views and About.
#include "common/appcontext.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>

using namespace quillor;
namespace ids = quillor::embedded::SampleIds;

namespace {

// One expected menu entry: "name|caption|enabled" (a separator: "name|-").
struct Entry {
    QString name;
    QString caption;
    bool enabled = true;
};

QList<Entry> parse(const QStringList &lines)
{
    QList<Entry> out;
    for (const QString &line : lines) {
        const QStringList parts = line.split(u'|');
        out << Entry{parts.value(0), parts.value(1), parts.value(2) != QStringLiteral("off")};
    }
    return out;
}

// The screen is chosen when the application starts, so the first size is
// asked of a run of this executable of its own: it shows the window once and
// prints its size, "maximised" before it when it is.
constexpr char kFirstSizeRun[] = "--print-first-window-size";

int printFirstWindowSize(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    AppContext ctx;
    frmMain window(ctx);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 2;
    std::printf("%s%dx%d\n", window.isMaximized() ? "maximised " : "", window.width(), window.height());
    return 0;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menus_data();
    void menus();
    void menuBarHoldsOnlyTheMenus();
    void minimumSize();
    void firstSizeFitsTheScreen_data();
    void firstSizeFitsTheScreen();
    void resizeKeepsDetailWidth();
    void titleUrl_data();
    void titleUrl();
    void titleClickOpensThePage();
    void viewCurrentLogFile();
    void viewLogsDirectory();
    void openerFailureIsSaid_data();
    void openerFailureIsSaid();
    void aboutIsModalAndKept();
    void entriesReachTheirCommands();

private:
    test::MainWindowFixture m_f;
};

void TestMainWindow::init()
{
    QVERIFY(m_f.start());
}

void TestMainWindow::cleanup() { m_f.stop(); }

void TestMainWindow::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("inMenuBar");
    QTest::addColumn<QStringList>("entries"); // in this order, other entries may stand between them

    QTest::newRow("File") << "mnuFile" << "File" << true
                          << QStringList{"mnuViewCurrentLogFile|View current log file",
                                         "mnuViewLogs|View logs directory", "mnuViewSchedules|View schedules",
                                         "Seperator3|-", "mnuExit|Exit"};
    QTest::newRow("Extensions") << "mnuExtensions" << "Extensions" << true
                                << QStringList{"mnuFindExtension|Find extension in database",
                                               "mnuShowAvailableExtensionsInARange|Show all available extensions in a range",
                                               "Seperator5|-", "mnuFindATransferString|Find a transfer string"};
    QTest::newRow("Help") << "mnuHelpMenu" << "Help" << true
                          << QStringList{"mnuHelp|Help", "seperator|-", "mnuAbout|About",
                                         "mnuCheckForUpdatedVersion|Check for updated version"};
    QTest::newRow("PopupCreateCopy") << "mnuPopUpCreatecopy" << "PopupCreateCopy" << false
                                     << QStringList{"mnuCreateCopy|Create Copy",
                                                    "mnuDependencyReport|Dependency Report"};
    QTest::newRow("PopupSetRoot") << "PopupSetRoot" << "PopupSetRoot" << false
                                  << QStringList{"mnuSetRoot|Set As Root Node"};
    QTest::newRow("PopupOwnerRecipient") << "PopupOwnerRecipient" << "PopupOwnerRecipient" << false
                                         << QStringList{"PopupOwnerRecipientDistributionList|DistributionList",
                                                        "PopupOwnerRecipientSubscriber|Subscriber"};
    QTest::newRow("PopupAction")
        << "PopupAction" << "PopupAction" << false
        << QStringList{"PopupActionIgnoreKey|Ignore Key",
                       "PopupActionHangUp|Hang Up",
                       "PopupActionTakeMessage|Take Message",
                       "PopupActionSkipGreeting|Skip Greeting",
                       "PopupActionSignIn|Sign In",
                       "PopupActionEasySignIn|Easy Sign In",
                       "PopupActionGreetingsAdministrator|Greetings Administrator",
                       "PopupActionBroadcatMessageAdministrator|Broadcast Message Administrator",
                       "PopupActionAlternateTransferNumber|Alternate Transfer Number",
                       "PopupActionHotelCheckedOut|Hotel Checked Out",
                       "PopupActionSystemTransfer|System Transfer",
                       "PopupActionSubscriberSystemTransfer|Subscriber System Transfer",
                       "PopupActionCVMMailboxReset|CVM Mailbox Reset",
                       "PopupActionSendToDirectoryHandler|Send to Directory Handler",
                       "PopupActionSendToCallHandler|Send to Call Handler",
                       "PopupActionSendToSubscriber|Send to Subscriber",
                       "PopupActionSendToInterviewer|Send to Interviewer",
                       "PopupActionSeperatorLockKeys|-",
                       "PopupActionLockKey|Lock Key",
                       "PopupActionSeperatorRingPhone|-",
                       "PopupActionAttemptToRingPhone|Attempt to Ring Phone",
                       "PopupActionSendToGreeting|Send to Greeting"};
}

void TestMainWindow::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(bool, inMenuBar);
    QFETCH(QStringList, entries);

    auto *m = m_f.window->findChild<QMenu *>(menu);
    QVERIFY2(m, qPrintable(menu));
    QCOMPARE(m->title(), title);
    QCOMPARE(m_f.window->menuBar()->actions().contains(m->menuAction()), inMenuBar);

    const QList<QAction *> actions = m->actions();
    qsizetype at = 0;
    for (const Entry &e : parse(entries)) {
        auto *action = m_f.window->findChild<QAction *>(e.name);
        QVERIFY2(action, qPrintable(e.name));
        // Each entry lives in this menu, after the one before it.
        const qsizetype pos = actions.indexOf(action, at);
        QVERIFY2(pos >= 0, qPrintable(e.name + QStringLiteral(" is not in its place")));
        at = pos + 1;
        if (e.caption == QStringLiteral("-")) {
            QVERIFY2(action->isSeparator(), qPrintable(e.name));
            continue;
        }
        QVERIFY2(!action->isSeparator(), qPrintable(e.name));
        QCOMPARE(action->text(), e.caption);
        if (e.name != QStringLiteral("mnuSetRoot"))
            QCOMPARE(action->isEnabled(), e.enabled);
        QVERIFY(action->shortcut().isEmpty());
    }
}

void TestMainWindow::menuBarHoldsOnlyTheMenus()
{
    QStringList titles;
    for (QAction *a : m_f.window->menuBar()->actions())
        titles << a->text();
    // The Options menu stands between File and Extensions.
    QCOMPARE(titles.first(), QStringLiteral("File"));
    QVERIFY(titles.indexOf(QStringLiteral("Extensions")) < titles.indexOf(QStringLiteral("Help")));
    QCOMPARE(titles.last(), QStringLiteral("Help"));
    for (const char *popup : {"PopupCreateCopy", "PopupSetRoot", "PopupOwnerRecipient", "PopupAction"})
        QVERIFY(!titles.contains(QString::fromLatin1(popup)));
}

void TestMainWindow::minimumSize()
{
    QCOMPARE(m_f.window->minimumSize(), QSize(752, 444));
    m_f.window->resize(300, 200);
    QCOMPARE(m_f.window->size(), QSize(752, 444));
}

void TestMainWindow::firstSizeFitsTheScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QString>("shown");
    // The offscreen platform's window frame is 2 pixels a side.
    QTest::newRow("room to spare") << QSize(1600, 1200) << "1100x720";
    QTest::newRow("1024 x 768") << QSize(1024, 768) << "maximised 1020x764";
    QTest::newRow("the designed size, no room for a frame") << QSize(1100, 740) << "maximised 1096x736";
}

void TestMainWindow::firstSizeFitsTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QString, shown);
    if (test::overOdbc() || test::overTds())
        QSKIP("Nothing of it reaches the database: the plain run has it.");
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    QVERIFY(dir.isValid() && config.open(QIODevice::WriteOnly));
    const QJsonObject only{{"name", "only"}, {"width", screen.width()}, {"height", screen.height()}};
    config.write(QJsonDocument(QJsonObject{{"screens", QJsonArray{only}}}).toJson());
    config.close();
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config.fileName());
    run.setProcessEnvironment(env);
    run.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kFirstSizeRun)});
    QVERIFY(run.waitForFinished(60000));
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, run.readAllStandardError().constData());
    QCOMPARE(QString::fromLatin1(run.readAllStandardOutput()).trimmed(), shown);
}

void TestMainWindow::resizeKeepsDetailWidth()
{
    auto *info = m_f.window->findChild<QTabWidget *>(QStringLiteral("tabInfoTab"));
    auto *treeGrid = m_f.window->findChild<QTabWidget *>(QStringLiteral("TabTreeGrid"));
    const auto rightGap = [&] { return m_f.window->width() - info->mapTo(m_f.window.get(), QPoint(info->width(), 0)).x(); };
    const int width = info->width();
    QVERIFY2(width >= 480 && width <= 520, qPrintable(QString::number(width)));
    const int gap = rightGap();
    for (const QSize &size : {QSize(1400, 900), QSize(800, 480), QSize(1100, 720)}) {
        m_f.window->resize(size);
        QTest::qWait(0);
        QCOMPARE(m_f.window->size(), size);
        QCOMPARE(info->width(), width);
        QCOMPARE(rightGap(), gap);
        // The tree and grid fill the rest, up to the detail pages.
        const int treeRight = treeGrid->mapTo(m_f.window.get(), QPoint(treeGrid->width(), 0)).x();
        const int infoLeft = info->mapTo(m_f.window.get(), QPoint(0, 0)).x();
        QVERIFY2(infoLeft - treeRight >= 0 && infoLeft - treeRight < 16, qPrintable(QString::number(infoLeft - treeRight)));
        QVERIFY(treeGrid->height() > m_f.window->height() - 100);
    }
}

void TestMainWindow::titleUrl_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<QString>("directoryId");
    QTest::addColumn<QString>("url");
    const QString dir = QStringLiteral("{0000000D-0000-4000-8000-000000000011}");
    QTest::newRow("subscriber: by directory id") << 1 << ids::AliceAdminHandler << dir
                                                 << "http://srv/Web/SA/FrameASP/SubsFrame.asp?DirID=" + dir + "&NavWidth=205";
    QTest::newRow("subscriber without directory id") << 1 << ids::AliceAdminHandler << "  " << "";
    QTest::newRow("call handler") << 3 << "{AB-12}" << dir
                                  << "http://srv/Web/SA/FrameASP/handFrame.asp?id=%01%0703%3A%7BAB%2D12%7D&NavWidth=205";
    QTest::newRow("distribution list") << 2 << "{AB-12}" << ""
                                       << "http://srv/Web/SA/FrameASP/DListFrame.asp?id=%01%0702%3A%7BAB%2D12%7D&NavWidth=205";
    QTest::newRow("interview handler") << 5 << "{AB-12}" << ""
                                       << "http://srv/Web/SA/FrameASP/IntHFrame.asp?id=%01%0705%3A%7BAB%2D12%7D&NavWidth=205";
    QTest::newRow("name lookup handler") << 6 << "{AB-12}" << ""
                                         << "http://srv/Web/SA/FrameASP/DirHFrame.asp?id=%01%0706%3A%7BAB%2D12%7D&NavWidth=205";
    QTest::newRow("leaf: no page") << 0 << "" << "" << "";
    QTest::newRow("location: no page") << 9 << ids::Headquarters << "" << "";
    QTest::newRow("call handler without id") << 3 << "" << "" << "";
}

void TestMainWindow::titleUrl()
{
    QFETCH(int, type);
    QFETCH(QString, objectId);
    QFETCH(QString, directoryId);
    QFETCH(QString, url);
    SelectedObject shown;
    shown.ObjectType = qint16(type);
    shown.ObjectID = objectId;
    QCOMPARE(frmMain::titleUrl(shown, directoryId, QStringLiteral("srv")), url);
}

void TestMainWindow::titleClickOpensThePage()
{
    auto *label = m_f.window->findChild<QLabel *>(QStringLiteral("lblCurrentObjectDisplayName"));
    auto *frame = m_f.window->findChild<QWidget *>(QStringLiteral("frameObjectTitle"));
    QVERIFY(label && frame);
    QList<QUrl> &opened = m_f.seams->shell->openedUrls;

    m_f.window->LoadTabInfo(ids::Sales, 3);
    QCOMPARE(label->text(), QStringLiteral("Sales"));
    QTest::mouseClick(label, Qt::LeftButton);
    const QString sales = QStringLiteral("http://localhost/Web/SA/FrameASP/handFrame.asp?id=%01%0703%3A%7B00000003%2D0000"
                                         "%2D4000%2D8000%2D000000000004%7D&NavWidth=205");
    QCOMPARE(opened.size(), 1);
    // Escapes of characters that need none ("%2D") read the same to every server.
    QCOMPARE(opened.last(), QUrl(sales));
    // The frame around the title opens it too, once per click.
    QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.last(), QUrl(sales));
    QTest::mouseClick(label, Qt::RightButton);
    QCOMPARE(opened.size(), 2);

    // A subscriber's page is found by the directory id its page shows, not by
    // its call handler.
    m_f.window->LoadTabInfo(ids::AliceAdminHandler, 1);
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(opened.size(), 3);
    QCOMPARE(opened.last().toString(QUrl::FullyEncoded),
             QStringLiteral("http://localhost/Web/SA/FrameASP/SubsFrame.asp?DirID=%7B0000000D-0000-4000-8000-000000000011%7D"
                            "&NavWidth=205"));

    // A leaf has no page.
    m_f.window->LoadTabInfo(QString(), 0);
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectType, qint16(0));
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(opened.size(), 3);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
}

void TestMainWindow::viewCurrentLogFile()
{
    LogFile &log = m_f.server->ctx().log();
    const QString file = log.gLogFileName();
    QVERIFY(QFile::exists(file));
    log.logMessage(QStringLiteral("before the view"));
    m_f.window->findChild<QAction *>(QStringLiteral("mnuViewCurrentLogFile"))->trigger();
    QCOMPARE(m_f.seams->shell->openedUrls, QList<QUrl>{QUrl::fromLocalFile(file)});
    // The log goes on taking lines in the same file, after those already there.
    log.logMessage(QStringLiteral("after the view"));
    QFile read(file);
    QVERIFY(read.open(QIODevice::ReadOnly));
    QVERIFY(read.readAll().endsWith("before the view\r\nafter the view\r\n"));
    read.close();

    // A log whose header could not be written (its name taken by another
    // run's file): the view says there is none and opens nothing.
    m_f.seams->shell->openedUrls.clear();
    QVERIFY(!log.WriteLogHeader(file, {}));
    m_f.window->findChild<QAction *>(QStringLiteral("mnuViewCurrentLogFile"))->trigger();
    QCOMPARE(m_f.seams->shell->openedUrls, QList<QUrl>{});
    QCOMPARE(m_f.seams->messages->texts(),
             QStringList{"There is no current log file: the log file of this session could not be created."});
}

void TestMainWindow::viewLogsDirectory()
{
    m_f.seams->shell->started.clear(); // the start-up's update check
    m_f.window->findChild<QAction *>(QStringLiteral("mnuViewLogs"))->trigger();
    QCOMPARE(m_f.seams->shell->openedUrls,
             QList<QUrl>{QUrl::fromLocalFile(m_f.server->dataFolder() + QStringLiteral("/logs"))});
    QVERIFY(m_f.seams->shell->started.isEmpty());
    LogFile &log = m_f.server->ctx().log();
    log.logMessage(QStringLiteral("after the folder view"));
    QFile read(log.gLogFileName());
    QVERIFY(read.open(QIODevice::ReadOnly));
    QVERIFY(read.readAll().endsWith("after the folder view\r\n"));
}

void TestMainWindow::openerFailureIsSaid_data()
{
    QTest::addColumn<QString>("action"); // "" for a click on the title
    QTest::addColumn<QString>("what");

    QTest::newRow("log file") << "mnuViewCurrentLogFile" << "The log file";
    QTest::newRow("logs folder") << "mnuViewLogs" << "The logs folder";
    QTest::newRow("web page") << "" << "The web administration page";
}

void TestMainWindow::openerFailureIsSaid()
{
    QFETCH(QString, action);
    QFETCH(QString, what);
    const QString reason = QStringLiteral("no program to open it was found");
    m_f.seams->shell->openFailure = reason;
    if (action.isEmpty()) {
        m_f.window->LoadTabInfo(ids::Sales, 3);
        QTest::mouseClick(m_f.window->findChild<QLabel *>(QStringLiteral("lblCurrentObjectDisplayName")), Qt::LeftButton);
    } else {
        m_f.window->findChild<QAction *>(action)->trigger();
    }
    QCOMPARE(m_f.seams->shell->openedUrls.size(), 1);
    const QUrl url = m_f.seams->shell->openedUrls.first();
    const QString target = url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{what + u' ' + target + QStringLiteral(" could not be opened: ") + reason + u'.'});
}

void TestMainWindow::aboutIsModalAndKept()
{
    auto *entry = m_f.window->findChild<QAction *>(QStringLiteral("mnuAbout"));
    QList<QWidget *> shown;
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, this, [&] {
            QWidget *box = QApplication::activeModalWidget();
            shown << box;
            if (box)
                box->close();
        });
        entry->trigger(); // returns when the box is closed
    }
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown[0]);
    QCOMPARE(shown[0]->objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(shown[1], shown[0]);
    QCOMPARE(m_f.window->findChildren<QDialog *>(QStringLiteral("frmAbout")).size(), 1);
}

void TestMainWindow::entriesReachTheirCommands()
{
    const auto trigger = [this](const char *name) {
        QAction *entry = m_f.window->findChild<QAction *>(QString::fromLatin1(name));
        QVERIFY2(entry && entry->isEnabled(), name);
        entry->trigger();
    };
    trigger("mnuFindExtension");
    QCOMPARE(m_f.seams->inputBox->asked.size(), 1);
    QCOMPARE(m_f.seams->inputBox->asked[0].title, QStringLiteral("Find Extension"));

    trigger("mnuHelp");
    auto *help = m_f.window->findChild<QWidget *>(QStringLiteral("frmHelp"));
    QVERIFY(help && help->isVisible());
}

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], kFirstSizeRun) == 0)
        return printFirstWindowSize(argc, argv);
    // As QTEST_MAIN sets it up.
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow.moc"
