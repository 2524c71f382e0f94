// The tool windows of the Extensions and File menus: free extensions of a
// range and their export, the transfer-string search, and how the main
// window opens each tool window once.
#include "common/appcontext.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "platform/validatingedit.h"
#include "reports/availableextensions.h"
#include "reports/frmavailableextensions.h"
#include "reports/frmdependency.h"
#include "reports/frmfindtransferstring.h"
#include "reports/frmschedules.h"
#include "reports/schedules.h"
#include "reports/transferstring.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTableView>
#include <QtTest>

using namespace quillor;

namespace {

template <typename T> T *control(QWidget *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

QStringList listed(QWidget *window)
{
    QStringList numbers;
    auto *list = control<QListWidget>(window, "listAvailableExtensions");
    for (int i = 0; i < list->count(); ++i)
        numbers << list->item(i)->text();
    return numbers;
}

// The free numbers of a range, worked out from every extension in use.
QStringList expectedFree(AppContext &ctx, qint64 start, qint64 end)
{
    const platform::Recordset used = ctx.db().open(ctx.state().gConnectionString,
                                                   QStringLiteral("SELECT DTMFAccessID FROM vw_DTMFAccessID_DialingDomain"));
    QSet<QString> taken;
    for (int r = 0; r < used.RecordCount(); ++r)
        taken << used.value(r, 0).toString();
    QStringList free;
    for (qint64 n = start; n <= end; ++n)
        if (!taken.contains(QString::number(n)))
            free << QString::number(n);
    return free;
}

QString line(const char *owner, const char *rule, const char *extension)
{
    return QStringLiteral("%1 on contact rule=%2 with transfer string='%3'")
        .arg(QLatin1String(owner), QLatin1String(rule), QLatin1String(extension));
}

} // namespace

class TestTools : public QObject {
    Q_OBJECT
private slots:
    void freeExtensions_data();
    void freeExtensions();
    void rangeBoxes_data();
    void rangeBoxes();
    void freeExtensionsExport();
    void freeExtensionsDatabaseFailure();
    void transferString_data();
    void transferString();
    void patternCharactersAreLiteral();
    void manyMatchesScroll();
    void transferStringWindowLifecycle();
    void enterSearches();
    void menusOpenEachWindowOnce();
};

void TestTools::freeExtensions_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("refusal"); // "" when the range is searched
    QTest::addColumn<QStringList>("free"); // empty: worked out from the extensions in use
    QTest::newRow("1000 to 1010") << "1000" << "1010" << "" << QStringList{};
    QTest::newRow("one number in use") << "2000" << "2000" << "" << QStringList{};
    QTest::newRow("one free number") << "1002" << "1002" << "" << QStringList{"1002"};
    QTest::newRow("numbers in use at both ends") << "1001" << "1100" << "" << QStringList{};
    QTest::newRow("leading zeros") << "0100" << "0105" << "" << QStringList{"100", "101", "102", "103", "104", "105"};
    QTest::newRow("both empty: 0") << "" << "" << "" << QStringList{"0"};
    QTest::newRow("5,000 wide") << "1000" << "5999" << "" << QStringList{};
    QTest::newRow("18 digits") << "999999999999999990" << "999999999999999999" << "" << QStringList{};
    QTest::newRow("5,001 wide") << "1000" << "6000"
                                << "The range includes more than 5,000 values.  Please choose a smaller range."
                                << QStringList{};
    QTest::newRow("reversed") << "2000" << "1999" << "Please make sure the start of your range is smaller than the end"
                              << QStringList{};
}

void TestTools::freeExtensions()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, refusal);
    QFETCH(QStringList, free);
    test::FakeSeams seams;
    test::TestServer server;
    frmAvailableExtensions window(server.ctx());
    control<QLineEdit>(&window, "txtStartRange")->setText(start);
    control<QLineEdit>(&window, "txtEndRange")->setText(end);
    // What opening the connection reads is not the search's.
    server.ctx().db().matchesObjectIdsByValue(server.ctx().state().gConnectionString);
    const quint64 queries = server.ctx().db().queryCount();
    control<QPushButton>(&window, "cmdSearch")->click();
    if (!refusal.isEmpty()) {
        QCOMPARE(seams.messages->texts(), QStringList{refusal});
        QCOMPARE(server.ctx().db().queryCount(), queries);
        return;
    }
    // Asked in groups, not one number at a time.
    QVERIFY(server.ctx().db().queryCount() - queries <= 10);
    if (free.isEmpty())
        free = expectedFree(server.ctx(), start.toLongLong(), end.toLongLong());
    QCOMPARE(listed(&window), free);
    QCOMPARE(seams.messages->texts(),
             QStringList{QStringLiteral(" %1 extensions found available in that range").arg(free.size())});
    QVERIFY(control<QPushButton>(&window, "cmdSearch")->isEnabled());
    QVERIFY(control<QPushButton>(&window, "cmdExport")->isEnabled());
    QVERIFY(control<QProgressBar>(&window, "ProgressBar")->isHidden());
}

void TestTools::rangeBoxes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("digits") << "1234" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("18 digits after zeros") << "000123456789012345678" << true;
    QTest::newRow("letter") << "12a" << false;
    QTest::newRow("decimal point") << "1.5" << false;
    QTest::newRow("sign") << "-5" << false;
    QTest::newRow("19 digits") << "1234567890123456789" << false;
}

void TestTools::rangeBoxes()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    test::FakeSeams seams;
    test::TestServer server;
    frmAvailableExtensions window(server.ctx());
    for (const char *name : {"txtStartRange", "txtEndRange"}) {
        seams.messages->shown.clear();
        auto *box = control<platform::ValidatingLineEdit>(&window, name);
        box->setText(text);
        // Leaving the box is never refused: a bad number is emptied and the focus moves on.
        QVERIFY(box->validate());
        QCOMPARE(box->text(), accepted ? text : QString());
        QCOMPARE(seams.messages->texts(), accepted ? QStringList{} : QStringList{QStringLiteral("Please enter only numbers")});
    }
}

void TestTools::freeExtensionsExport()
{
    test::FakeSeams seams;
    test::TestServer server;
    frmAvailableExtensions window(server.ctx());
    const auto click = [&](const char *name) { control<QPushButton>(&window, name)->click(); };
    click("cmdExport");
    QCOMPARE(seams.messages->texts(), QStringList{QStringLiteral("No extensions to export")});

    control<QLineEdit>(&window, "txtStartRange")->setText(QStringLiteral("1002"));
    control<QLineEdit>(&window, "txtEndRange")->setText(QStringLiteral("1004"));
    click("cmdSearch");
    const QString path = server.folder() + QStringLiteral("/free.txt");
    seams.messages->shown.clear();
    click("cmdExport"); // cancelled: nothing written, nothing said
    QVERIFY(!QFile::exists(path));
    QVERIFY(seams.messages->texts().isEmpty());
    seams.fileDialog->answers << path;
    click("cmdExport");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("1002\r\n1003\r\n1004\r\n"));
    QCOMPARE(seams.messages->texts(), QStringList{QStringLiteral("Output complete")});

    seams.messages->shown.clear();
    seams.fileDialog->answers << server.folder() + QStringLiteral("/missing/free.txt");
    click("cmdExport");
    QVERIFY(seams.messages->texts().value(0).startsWith(QStringLiteral("(error):75 (Cannot write ")));
    QCOMPARE(seams.messages->texts().size(), 1);
}

void TestTools::freeExtensionsDatabaseFailure()
{
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY(server.breakMainDatabase(test::TestServer::Fault::ViewMissing, QStringLiteral("vw_DTMFAccessID_DialingDomain")));
    frmAvailableExtensions window(server.ctx());
    control<QLineEdit>(&window, "txtStartRange")->setText(QStringLiteral("1000"));
    control<QLineEdit>(&window, "txtEndRange")->setText(QStringLiteral("5999"));
    control<QPushButton>(&window, "cmdSearch")->click();
    // One message for the whole range, and no number listed as free that was never asked about.
    QCOMPARE(seams.messages->texts().size(), 1);
    QVERIFY(seams.messages->texts().value(0).endsWith(
        QStringLiteral("in procedure cmdSearch_Click of Form frmAvailableExtensions")));
    QCOMPARE(listed(&window), QStringList{});
    QVERIFY(control<QPushButton>(&window, "cmdSearch")->isEnabled());
}

void TestTools::transferString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("partial");
    QTest::addColumn<QStringList>("lines"); // the match lines, or the one message
    const QString illegal = QStringLiteral(
        "That is not a legal transfer string.  A transfer string can only contain digits, commas, * or #");
    QTest::newRow("exact 123") << "123" << false << QStringList{line("Call handler with alias=salesch", "Alternate", "123")};
    QTest::newRow("partial 123")
        << "123" << true
        << QStringList{line("Subscriber with alias=csupport", "Alternate", "9,5551234"),
                       line("Call handler with alias=salesch", "Standard", "9123"),
                       line("Call handler with alias=salesch", "Off Hours", "1234"),
                       line("Call handler with alias=salesch", "Alternate", "123")};
    QTest::newRow("commas, as typed") << "9,5551234" << false
                                      << QStringList{line("Subscriber with alias=csupport", "Alternate", "9,5551234")};
    QTest::newRow("star and hash") << "*8#" << false
                                   << QStringList{line("Call handler with alias=edgecasesch", "Alternate", "*8#")};
    QTest::newRow("no match") << "777" << true << QStringList{QStringLiteral("No matches found for that dial string")};
    QTest::newRow("empty") << "" << false << QStringList{QStringLiteral("You must enter a string to search for")};
    QTest::newRow("letter") << "12a4" << false << QStringList{illegal};
    QTest::newRow("decimal point") << "1.5" << true << QStringList{illegal};
    QTest::newRow("sign") << "-5" << false << QStringList{illegal};
    QTest::newRow("percent") << "%" << true << QStringList{illegal};
}

void TestTools::transferString()
{
    QFETCH(QString, text);
    QFETCH(bool, partial);
    QFETCH(QStringList, lines);
    test::FakeSeams seams;
    test::TestServer server;
    frmFindTransferString window(server.ctx());
    control<QLineEdit>(&window, "txtTransferString")->setText(text);
    control<QRadioButton>(&window, partial ? "optPartialMatch" : "optExactMatch")->setChecked(true);
    control<QPushButton>(&window, "cmdSearch")->click();
    QCOMPARE(seams.messages->texts().size(), 1);
    const QString shown = seams.messages->texts().value(0);
    if (!shown.startsWith(QStringLiteral("Matches found"))) {
        QCOMPARE(QStringList{shown}, lines);
        return;
    }
    QVERIFY(shown.startsWith(QStringLiteral("Matches found for that transfer string on the following objects:\n\n")));
    QVERIFY(shown.endsWith(QStringLiteral("'\n\n")));
    QStringList found = shown.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts).mid(1);
    found.sort();
    lines.sort();
    QCOMPARE(found, lines);
}

void TestTools::patternCharactersAreLiteral()
{
    test::TestServer server;
    QVERIFY(test::sql(server.ctx(), QStringLiteral("UPDATE ContactRule SET Extension = '12_%' WHERE Extension = '1234'")));
    const auto search = [&](const char *text) {
        QStringList extensions;
        const auto matches = findTransferString(server.ctx(), QString::fromLatin1(text), true, nullptr);
        for (const TransferMatch &m : matches.value_or(QList<TransferMatch>{}))
            extensions << m.extension;
        extensions.sort();
        return extensions;
    };
    QCOMPARE(search("1_3"), QStringList{});
    QCOMPARE(search("2_%"), QStringList{"12_%"});
    QCOMPARE(search("%"), QStringList{"12_%"});
    QCOMPARE(search("_"), QStringList{"12_%"});
}

void TestTools::manyMatchesScroll()
{
    test::FakeSeams seams;
    test::TestServer server;
    const int rules = frmFindTransferString::kMatchesInMessageBox + 1;
    for (int i = 0; i < rules; ++i)
        QVERIFY(test::sql(server.ctx(),
                          QStringLiteral("INSERT INTO ContactRule (ParentObjectID, Alias, Extension) VALUES (?, ?, '5557')"),
                          {QStringLiteral("{00000003-0000-4000-8000-000000000003}"), QStringLiteral("Extra%1").arg(i)}));
    frmFindTransferString window(server.ctx());
    window.show();
    control<QLineEdit>(&window, "txtTransferString")->setText(QStringLiteral("555"));
    control<QRadioButton>(&window, "optPartialMatch")->setChecked(true);
    control<QPushButton>(&window, "cmdSearch")->click();
    // Too many for a message box: a window that scrolls, with the same text.
    QVERIFY(seams.messages->texts().isEmpty());
    auto *matches = window.findChild<QWidget *>(QStringLiteral("frmTransferStringMatches"));
    QVERIFY(matches && matches->isVisible());
    const QString text = control<QPlainTextEdit>(matches, "txtMatches")->toPlainText();
    QVERIFY(text.startsWith(QStringLiteral("Matches found for that transfer string on the following objects:")));
    QCOMPARE(text.count(QStringLiteral("with transfer string=")), rules + 1); // and csupport's 9,5551234
    control<QPushButton>(matches, "cmdMatchesOK")->click();
    QVERIFY(!matches->isVisible());
}

void TestTools::transferStringWindowLifecycle()
{
    test::MainWindowFixture f;
    QVERIFY(f.start());
    QAction *open = f.window->findChild<QAction *>(QStringLiteral("mnuFindATransferString"));
    open->trigger();
    auto *window = f.window->findChild<frmFindTransferString *>();
    QVERIFY(window && window->isVisible());
    control<QLineEdit>(window, "txtTransferString")->setText(QStringLiteral("4321"));
    control<QRadioButton>(window, "optPartialMatch")->setChecked(true);
    // Exit only hides: text and option are there again next time.
    control<QPushButton>(window, "cmdExit")->click();
    QVERIFY(!window->isVisible());
    open->trigger();
    QCOMPARE(f.window->findChild<frmFindTransferString *>(), window);
    QCOMPARE(control<QLineEdit>(window, "txtTransferString")->text(), QStringLiteral("4321"));
    QVERIFY(control<QRadioButton>(window, "optPartialMatch")->isChecked());
    // Closed by its title bar it starts afresh.
    window->close();
    QTRY_VERIFY(f.window->findChildren<frmFindTransferString *>().isEmpty());
    open->trigger();
    window = f.window->findChild<frmFindTransferString *>();
    QCOMPARE(control<QLineEdit>(window, "txtTransferString")->text(), QString());
    QVERIFY(control<QRadioButton>(window, "optExactMatch")->isChecked());
}

void TestTools::enterSearches()
{
    test::FakeSeams seams;
    test::TestServer server;
    frmFindTransferString transfer(server.ctx());
    control<QLineEdit>(&transfer, "txtTransferString")->setText(QStringLiteral("777"));
    QTest::keyClick(control<QLineEdit>(&transfer, "txtTransferString"), Qt::Key_Return);
    frmAvailableExtensions extensions(server.ctx());
    control<QLineEdit>(&extensions, "txtStartRange")->setText(QStringLiteral("1002"));
    control<QLineEdit>(&extensions, "txtEndRange")->setText(QStringLiteral("1002"));
    QTest::keyClick(control<QLineEdit>(&extensions, "txtEndRange"), Qt::Key_Return);
    QCOMPARE(seams.messages->texts(), (QStringList{QStringLiteral("No matches found for that dial string"),
                                                   QStringLiteral(" 1 extensions found available in that range")}));
}

void TestTools::menusOpenEachWindowOnce()
{
    test::MainWindowFixture f;
    QVERIFY(f.start());
    const auto trigger = [&](const char *name) {
        QAction *action = f.window->findChild<QAction *>(QString::fromLatin1(name));
        QVERIFY(action && action->isEnabled());
        action->trigger();
    };
    const struct {
        const char *menu;
        const char *window;
        const char *caption;
    } tools[] = {
        {"mnuViewSchedules", "frmSchedules", "Schedules"},
        {"mnuShowAvailableExtensionsInARange", "frmAvailableExtensions", "Find Available Extensions"},
        {"mnuFindATransferString", "frmFindTransferString", "Find Transfer String"},
    };
    for (const auto &tool : tools) {
        trigger(tool.menu);
        trigger(tool.menu);
        const QList<QWidget *> windows = f.window->findChildren<QWidget *>(QString::fromLatin1(tool.window));
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows[0]->isVisible() && windows[0]->isWindow());
        QCOMPARE(windows[0]->windowTitle(), QString::fromLatin1(tool.caption));
    }

    // Exit ends the schedule window; opened again, it shows what was saved.
    auto *schedules = f.window->findChild<frmSchedules *>();
    auto *grid = control<QTableView>(schedules, "gridTimes");
    const QModelIndex cell = grid->model()->index(30, ScheduleGridModel::column(QStringLiteral("Saturday")));
    grid->scrollTo(cell);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    control<QPushButton>(schedules, "cmdSave")->click();
    control<QPushButton>(schedules, "cmdExit")->click();
    QTRY_VERIFY(f.window->findChildren<frmSchedules *>().isEmpty());
    trigger("mnuViewSchedules");
    QCOMPARE(f.window->findChild<frmSchedules *>()->grid().days()[5][30], true);
    QVERIFY(f.seams->messages->texts().isEmpty());
}

QTEST_MAIN(TestTools)
#include "tst_tools.moc"
