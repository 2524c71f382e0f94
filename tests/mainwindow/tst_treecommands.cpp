// The commands that change the routing tree as a whole, driven through the
// real main window's menus: view options, reload, re-rooting, expand and
// collapse all, and the export to a text file.
#include "common/appcontext.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/routingtree.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "tds/tdsserver.h"
#include "testserver.h"
#include "treehelpers.h"
#include "windowfixture.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace quillor;
using platform::OutlineNode;
using test::childKeys;
using test::link;
using test::sql;
using test::visiblePages;
namespace ids = quillor::embedded::SampleIds;

namespace {

const QStringList kRootKeys = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#", "AM"};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Records, for every message shown, whether tab loads were suppressed and the
// hourglass was up at that moment.
class ProbingMessageBox : public test::FakeMessageBox {
public:
    explicit ProbingMessageBox(const AppState &state) : m_state(state) {}
    platform::MsgAnswer show(QWidget *parent, const QString &text, platform::MsgButtons buttons, const QString &title,
                             platform::MsgIcon icon) override
    {
        suppressed << m_state.bSuppressTabLoad;
        const QCursor *cursor = QGuiApplication::overrideCursor();
        hourglass << (cursor && cursor->shape() == Qt::WaitCursor);
        return FakeMessageBox::show(parent, text, buttons, title, icon);
    }
    QList<bool> suppressed;
    QList<bool> hourglass;

private:
    const AppState &m_state;
};

// Without root's power over files for as long as it lives: a test of an
// unwritable folder means nothing to root otherwise.
class Unprivileged {
public:
    Unprivileged() : m_wasRoot(geteuid() == 0)
    {
        if (m_wasRoot && seteuid(65534) != 0)
            qFatal("cannot drop root's rights");
    }
    ~Unprivileged()
    {
        if (m_wasRoot && seteuid(0) != 0)
            qFatal("cannot take root's rights back");
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

private:
    bool m_wasRoot;
};

// Files may grow to no more than `bytes` while it lives: the disk refuses
// the rest of a write, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous{};
    void (*m_handler)(int) = nullptr;
};

} // namespace

class TestTreeCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menus();
    void viewOptions_data();
    void viewOptions();
    void noLeavesGreysOutIgnoreKey();
    void reloadReadsAfresh();
    void setRootFromThePopup_data();
    void setRootFromThePopup();
    void setRootOnALeafIsRefused();
    void rootGoneWhenRebuilding_data();
    void rootGoneWhenRebuilding();
    void reRootingAtAGoneObject_data();
    void reRootingAtAGoneObject();
    void expandAll();
    void expandAllShowsEachFaultOnce();
    void expandAllStopsAtTheLimit();
    void expandAllOnASilentServer();
    void collapseAll();
    void exportFile_data();
    void exportFile();
    void exportAfterExpandAll();
    void exportReplacesAfterConfirmation_data();
    void exportReplacesAfterConfirmation();
    void exportFailureLeavesTheOldFile_data();
    void exportFailureLeavesTheOldFile();
    void exportNotStarted_data();
    void exportNotStarted();

private:
    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    std::unique_ptr<frmMain> m_window;
    AppContext &ctx() { return m_server->ctx(); }
    platform::OutlineTreeView *view() { return m_window->findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree")); }
    QTabWidget *tabs() { return m_window->findChild<QTabWidget *>(QStringLiteral("tabInfoTab")); }
    QAction *action(const char *name) { return m_window->findChild<QAction *>(QString::fromLatin1(name)); }
    RoutingTree &tree() { return m_window->routingTree(); }
    platform::OutlineModel &model() { return tree().ATTree(); }
    OutlineNode *root() { return model().root(); }
    // The tree as right after a build: the root open and selected with its page, every link closed.
    void verifyFreshTree(const QString &rootName, const QString &page);
    QString exportPath() const { return m_server->folder() + QStringLiteral("/CallRoutingTree.TXT"); }
    // Runs the File menu's export into `path`.
    void exportTo(const QString &path);
    // The window brought up on `server`, its tree opened by Expand all up to
    // `rows` (the rows it then holds) and the root's last link selected; then Expand
    // all while every request stalls (the requests it waited for to
    // `timeouts`), and again once they are answered.
    void expandAllWhileSilent(std::unique_ptr<test::TestServer> server, int &rows, int &timeouts);
};

void TestTreeCommands::init()
{
    m_seams = std::make_unique<test::FakeSeams>();
    m_seams->clock->current = QDateTime(QDate(2009, 10, 29), QTime(14, 5, 9));
    m_server = std::make_unique<test::TestServer>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    m_window = std::make_unique<frmMain>(ctx());
    QVERIFY(m_window->Form_Load());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(view());
}

void TestTreeCommands::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_seams.reset();
}

void TestTreeCommands::verifyFreshTree(const QString &rootName, const QString &page)
{
    QVERIFY(root());
    QCOMPARE(model().mainText(root()), rootName);
    QVERIFY(root()->isExpanded());
    QVERIFY(view()->isExpanded(model().indexOf(root())));
    for (int i = 0; i < root()->childCount(); ++i) {
        OutlineNode *row = root()->child(i);
        QVERIFY(!row->isExpanded());
        const qint16 type = tree().nodeType(row);
        // Nothing below the first level is built yet.
        QCOMPARE(row->childCount(), type == NodeCallHandler || type == NodeSubscriber ? 1 : 0);
        QVERIFY(row->childCount() == 0 || tree().isPlaceholder(row->firstChild()));
    }
    QCOMPARE(view()->selectedNode(), root());
    QCOMPARE(visiblePages(tabs()), QStringList{page});
    QVERIFY(model().redraw());
    QVERIFY(!ctx().state().bSuppressTabLoad);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestTreeCommands::exportTo(const QString &path)
{
    m_seams->fileDialog->answers.enqueue(path);
    action("mnuExportTreeInfo")->trigger();
}

void TestTreeCommands::menus()
{
    const auto names = [](const QMenu *menu) {
        QStringList out;
        for (const QAction *a : menu->actions())
            out << (a->isSeparator() ? a->objectName() : a->objectName() + QStringLiteral("=") + a->text());
        return out;
    };
    auto *file = m_window->findChild<QMenu *>(QStringLiteral("mnuFile"));
    auto *options = m_window->findChild<QMenu *>(QStringLiteral("mnuOptions"));
    QVERIFY(file && options);
    QCOMPARE(options->title(), QStringLiteral("Options"));
    QCOMPARE(names(file), (QStringList{"mnuReload=Reload", "seperator7", "mnuViewCurrentLogFile=View current log file",
                                       "mnuViewLogs=View logs directory",
                                       "mnuExportTreeInfo=Export tree information to file",
                                       "mnuViewSchedules=View schedules", "Seperator3", "mnuExit=Exit"}));
    // The menu bar: the four menus in order, the popups never in it.
    QStringList bar;
    for (const QAction *a : m_window->menuBar()->actions())
        bar << a->text();
    QCOMPARE(bar, (QStringList{"File", "Options", "Extensions", "Help"}));
    QCOMPARE(names(options), (QStringList{"ShowIgnoreKey=Show \"Ignore Key\" links in tree",
                                          "ShowNoLeafs=Remove all \"Leaf\" links from tree",
                                          "ShowAfterMessageLinks=Show \"After Message\" links in tree",
                                          "ShowAfterGreetingLinks=Show \"After Greeting\" links in tree", "seperator6",
                                          "ExpandAllNodes=Expand all nodes", "CollapseAllNodes=Collapse all nodes"}));
    QList<bool> ticks;
    for (const char *name : {"ShowIgnoreKey", "ShowNoLeafs", "ShowAfterMessageLinks", "ShowAfterGreetingLinks"}) {
        QVERIFY(action(name)->isCheckable() && action(name)->isEnabled());
        ticks << action(name)->isChecked();
    }
    QCOMPARE(ticks, (QList<bool>{true, false, true, false}));
    QCOMPARE(action("mnuReload")->shortcut(), QKeySequence(Qt::Key_F1));
    QVERIFY(action("mnuSetRoot")->isEnabled());
}

void TestTreeCommands::viewOptions_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("ignore key off") << "ShowIgnoreKey"
                                    << QStringList{"0", "1", "2", "3", "4", "5", "6", "7", "8", "*", "#", "AM"};
    QTest::newRow("no leaves") << "ShowNoLeafs" << QStringList{"0", "1", "2", "3", "6", "AM"};
    QTest::newRow("after message off") << "ShowAfterMessageLinks"
                                       << QStringList{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};
    QTest::newRow("after greeting on") << "ShowAfterGreetingLinks"
                                       << kRootKeys + QStringList{"STD", "OFF", "ALT", "INT", "BSY", "ERR"};
}

void TestTreeCommands::viewOptions()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, keys);
    QAction *option = action(qPrintable(entry));
    const bool before = option->isChecked();
    // Leave a node open and a link selected: the rebuild forgets both.
    QVERIFY(tree().openRow(link(tree(), root(), QStringLiteral("1"))));
    view()->selectNode(link(tree(), root(), QStringLiteral("3")));

    option->trigger();
    QCOMPARE(option->isChecked(), !before);
    QCOMPARE(childKeys(tree(), root()), keys);
    verifyFreshTree(QStringLiteral("Opening Greeting"), QStringLiteral("Call Handler"));

    // Unticked again, the tree is as it was built at start-up.
    option->trigger();
    QCOMPARE(option->isChecked(), before);
    QCOMPARE(childKeys(tree(), root()), kRootKeys);
    QCOMPARE(m_seams->messages->texts(), QStringList{});
}

void TestTreeCommands::noLeavesGreysOutIgnoreKey()
{
    QAction *ignore = action("ShowIgnoreKey");
    ignore->trigger(); // ignore-key links hidden
    QVERIFY(!ignore->isChecked());
    action("ShowNoLeafs")->trigger();
    QVERIFY(!ignore->isEnabled());
    QVERIFY(!ignore->isChecked());
    action("ShowNoLeafs")->trigger();
    QVERIFY(ignore->isEnabled());
    QVERIFY(!ignore->isChecked());
    // The ignore-key mark was kept through it all: key 9 (ignore key) stays hidden.
    QVERIFY(!link(tree(), root(), QStringLiteral("9")));
    QVERIFY(link(tree(), root(), QStringLiteral("#")));
}

void TestTreeCommands::reloadReadsAfresh()
{
    OutlineNode *sales = link(tree(), root(), QStringLiteral("1"));
    QVERIFY(tree().openRow(sales));
    // Another tool changes key 9 while the tree is shown; only a reload shows it.
    QVERIFY(sql(ctx(), QStringLiteral("UPDATE MenuEntry SET Action = 1 WHERE ParentObjectID = ? AND Alias = '9'"),
                {ids::OpeningGreeting}));
    QCOMPARE(model().mainText(link(tree(), root(), QStringLiteral("9"))), QStringLiteral("9: Ignore Key"));

    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_F1);
    QCOMPARE(model().mainText(link(tree(), root(), QStringLiteral("9"))), QStringLiteral("9: Hang Up"));
    verifyFreshTree(QStringLiteral("Opening Greeting"), QStringLiteral("Call Handler"));
    QCOMPARE(tree().gRootObjectID, ids::OpeningGreeting);
    QCOMPARE(m_seams->messages->texts(), QStringList{});
}

void TestTreeCommands::setRootFromThePopup_data()
{
    QTest::addColumn<QStringList>("path"); // link keys from the root to the row
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("page");
    QTest::newRow("subscriber") << QStringList{"3"} << "Bob Sales" << ids::BobSalesHandler << 1 << "Subscriber";
    QTest::newRow("call handler") << QStringList{"1"} << "Sales" << ids::Sales << 3 << "Call Handler";
    // Sales' key 3 leads to Sales itself: a duplicate becomes an ordinary root.
    QTest::newRow("duplicate") << QStringList{"1", "3"} << "Sales" << ids::Sales << 3 << "Call Handler";
}

void TestTreeCommands::setRootFromThePopup()
{
    QFETCH(QStringList, path);
    QFETCH(QString, name);
    QFETCH(QString, objectId);
    QFETCH(int, type);
    QFETCH(QString, page);
    OutlineNode *row = root();
    for (const QString &key : std::as_const(path)) {
        if (row != root())
            QVERIFY(tree().openRow(row));
        row = link(tree(), row, key);
        QVERIFY(row);
    }
    QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, view()->visualRect(model().indexOf(row)).center());
    auto *popup = m_window->findChild<QMenu *>(QStringLiteral("PopupSetRoot"));
    QVERIFY(popup->isVisible());
    popup->hide();
    action("mnuSetRoot")->trigger();

    verifyFreshTree(name, page);
    QCOMPARE(int(tree().nodeType(root())), type);
    QCOMPARE(tree().gRootObjectID, objectId);
    QCOMPARE(int(tree().gRootNodeType), type);
    // Reload keeps the new root.
    action("mnuReload")->trigger();
    verifyFreshTree(name, page);
    QCOMPARE(tree().gRootObjectID, objectId);
    QCOMPARE(m_seams->messages->texts(), QStringList{});
}

void TestTreeCommands::setRootOnALeafIsRefused()
{
    // The popup offers no re-rooting on a leaf; the command refuses it all the same.
    view()->selectNode(link(tree(), root(), QStringLiteral("4")));
    const int rows = model().totalRows();
    m_window->mnuSetRoot_Click();
    QCOMPARE(m_seams->messages->texts(), QStringList{QStringLiteral("Error! That object cannot be used as the tree root.")});
    QCOMPARE(model().totalRows(), rows);
    QCOMPARE(tree().gRootObjectID, ids::OpeningGreeting);
}

void TestTreeCommands::rootGoneWhenRebuilding_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("newRoot");   // "" : re-rooting at Sales first
    QTest::addColumn<QStringList>("deleted");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");     // the root shown afterwards ("" for none)
    QTest::addColumn<QString>("rootAfter"); // gRootObjectID afterwards

    const QString instead = QStringLiteral("Error!  Could not find root call handler requested - the tree is shown from "
                                           "\"%1\" instead.");
    QTest::newRow("reload: back to the default root")
        << "mnuReload" << ids::Sales << QStringList{ids::Sales} << instead.arg("Opening Greeting") << "Opening Greeting"
        << ids::OpeningGreeting;
    QTest::newRow("view option: no root left")
        << "ShowAfterGreetingLinks" << QString() << QStringList{ids::OpeningGreeting}
        << "Error!  Could not find root call handler requested - cannot build tree." << "" << ids::OpeningGreeting;
}

void TestTreeCommands::rootGoneWhenRebuilding()
{
    QFETCH(QString, command);
    QFETCH(QString, newRoot);
    QFETCH(QStringList, deleted);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(QString, rootAfter);
    if (!newRoot.isEmpty()) {
        view()->selectNode(link(tree(), root(), newRoot == ids::Sales ? QStringLiteral("1") : QStringLiteral("2")));
        action("mnuSetRoot")->trigger();
        QCOMPARE(tree().gRootObjectID, newRoot);
    }
    for (const QString &id : std::as_const(deleted))
        QVERIFY(sql(ctx(), QStringLiteral("DELETE FROM CallHandler WHERE CallHandlerObjectID = ?"), {id}));

    action(qPrintable(command))->trigger();
    QCOMPARE(m_seams->messages->texts(), QStringList{message});
    QCOMPARE(m_seams->shell->endedWith, QList<int>{});
    QCOMPARE(tree().gRootObjectID, rootAfter);
    if (!shown.isEmpty()) {
        verifyFreshTree(shown, QStringLiteral("Call Handler"));
        return;
    }
    // An empty tree: the deleted root is no longer the shown object, the
    // commands that need rows do nothing, the export writes its header.
    QVERIFY(model().isEmpty());
    QVERIFY(model().redraw());
    QCOMPARE(m_window->CurrentlySelectedObject().ObjectType, qint16(0));
    QCOMPARE(m_window->CurrentlySelectedObject().ObjectID, QString());
    QVERIFY(!tabs()->currentWidget()->isEnabled());
    m_seams->messages->shown.clear();
    action("ExpandAllNodes")->trigger();
    m_window->mnuSetRoot_Click();
    QVERIFY(model().isEmpty());
    exportTo(exportPath());
    QCOMPARE(readFile(exportPath()), QByteArray("Export of Call Routing Tree on: 29 Oct 2009 14:05:09\r\n\r\n"));
    QCOMPARE(m_seams->messages->texts(), QStringList{QStringLiteral("Output complete.")});
}

// Re-rooting at an object deleted since its row was shown reports it and
// leaves the tree as it was, open rows and selection included.
void TestTreeCommands::reRootingAtAGoneObject_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("message");
    QTest::newRow("call handler") << "1" << "CallHandler" << ids::Sales
                                  << "Error!  Could not find root call handler requested - the tree is left as it was.";
    QTest::newRow("subscriber") << "3" << "Subscriber" << ids::BobSales << "Could not find subsriber in database!";
}

void TestTreeCommands::reRootingAtAGoneObject()
{
    QFETCH(QString, key);
    QFETCH(QString, table);
    QFETCH(QString, object);
    QFETCH(QString, message);
    OutlineNode *support = link(tree(), root(), QStringLiteral("2"));
    QVERIFY(tree().openRow(support));
    OutlineNode *row = link(tree(), root(), key);
    view()->selectNode(row);
    const int rows = model().totalRows();
    QVERIFY(sql(ctx(), QStringLiteral("DELETE FROM %1 WHERE %1ObjectID = ?").arg(table), {object}));
    m_seams->messages->shown.clear();

    action("mnuSetRoot")->trigger();
    QCOMPARE(m_seams->messages->texts(), QStringList{message});
    QCOMPARE(tree().gRootObjectID, ids::OpeningGreeting);
    QCOMPARE(model().totalRows(), rows);
    QCOMPARE(link(tree(), root(), key), row);
    QCOMPARE(view()->selectedNode(), row);
    QVERIFY(support->isExpanded() && view()->isExpanded(model().indexOf(support)));
    QVERIFY(model().redraw() && view()->updatesEnabled());
}

void TestTreeCommands::expandAll()
{
    // A node opened and closed again is opened too; a link is selected beforehand.
    OutlineNode *sales = link(tree(), root(), QStringLiteral("1"));
    QVERIFY(tree().openRow(sales));
    QVERIFY(!model().setExpanded(sales, false));
    view()->selectNode(link(tree(), root(), QStringLiteral("3")));
    QCOMPARE(visiblePages(tabs()), QStringList{QStringLiteral("Subscriber")});

    auto probe = std::make_unique<ProbingMessageBox>(ctx().state());
    ProbingMessageBox *messages = probe.get();
    auto previous = platform::Seams::install(std::move(probe));
    action("ExpandAllNodes")->trigger();
    const auto kept = platform::Seams::install(std::move(previous));

    // The edge-case handler, reached through Support's key 9, reports its bad action while the tree opens.
    QVERIFY(messages->texts().contains(QStringLiteral("Error in ExpandRow function - bad action value passed in")));
    QVERIFY(!messages->suppressed.contains(false));
    QVERIFY(!messages->hourglass.contains(false));
    QVERIFY(!ctx().state().bSuppressTabLoad);
    QVERIFY(!QGuiApplication::overrideCursor());

    int duplicates = 0;
    for (OutlineNode *row = root(); row; row = model().nextInTree(row)) {
        const qint16 type = tree().nodeType(row);
        QVERIFY2(!tree().isPlaceholder(row), qPrintable(model().mainText(row->parent())));
        if (type == NodeCallHandler || type == NodeSubscriber) {
            QVERIFY2(row->isExpanded(), qPrintable(model().mainText(row)));
            QVERIFY(view()->isExpanded(model().indexOf(row)));
        }
        if (type == NodeDuplicateHandler || type == NodeDuplicateSubscriber) {
            // Every loop is closed by a row that names an object above it.
            ++duplicates;
            QCOMPARE(row->childCount(), 0);
            QVERIFY(tree().bIsAncestor(tree().objectId(row), row->parent()));
        }
    }
    QVERIFY(duplicates > 0);
    // The deepest rows are laid out in the view, ready to be seen.
    OutlineNode *deepest = root();
    for (OutlineNode *row = root(); row; row = model().nextInTree(row))
        if (row->level() > deepest->level())
            deepest = row;
    QVERIFY(deepest->level() >= 4);
    view()->scrollTo(model().indexOf(deepest));
    QVERIFY(view()->visualRect(model().indexOf(deepest)).isValid());
    QCOMPARE(view()->selectedNode(), root());
    QCOMPARE(visiblePages(tabs()), QStringList{QStringLiteral("Call Handler")});
    QVERIFY(model().redraw());
}

void TestTreeCommands::expandAllShowsEachFaultOnce()
{
    // The edge-case handler, with its faults, on four more branches; the
    // goodbye handler, met on many, without some of its menu entries.
    QVERIFY(sql(ctx(),
                QStringLiteral("UPDATE MenuEntry SET Action = 2, ConversationName = 'PHGreeting', DestinationObjectID = ? "
                               "WHERE ParentObjectID = ? AND Alias IN ('7', '8', '9', '*')"),
                {ids::EdgeCases, ids::OpeningGreeting}));
    QVERIFY(sql(ctx(), QStringLiteral("DELETE FROM MenuEntry WHERE ParentObjectID = ? AND Alias IN ('7', '8', '9')"),
                {ids::Goodbye}));
    action("mnuReload")->trigger();
    m_seams->messages->shown.clear();
    action("ExpandAllNodes")->trigger();
    // A node with faulty data is told of and left without links; the walk goes on past it.
    QCOMPARE(m_seams->messages->texts().count(
                 QStringLiteral("Error, could not find menu entries for currently selected handler or subscriber - ObjectID=")
                 + test::asRead(ids::Goodbye)),
             1);
    for (OutlineNode *row = root(); row; row = model().nextInTree(row))
        QVERIFY(!tree().isPlaceholder(row));

    int edgeCases = 0;
    for (OutlineNode *row = root(); row; row = model().nextInTree(row))
        if (tree().objectId(row) == ids::EdgeCases && tree().nodeType(row) == NodeCallHandler)
            ++edgeCases;
    QVERIFY(edgeCases >= 5);
    const QString badAction = QStringLiteral("Error in ExpandRow function - bad action value passed in");
    const QStringList shown = m_seams->messages->texts();
    QCOMPARE(shown.count(badAction), 1);
    QCOMPARE(QSet<QString>(shown.cbegin(), shown.cend()).size(), shown.size());
    // Every occurrence is in the log, one line each.
    const QStringList log = QString::fromLocal8Bit(readFile(ctx().log().gLogFileName())).split(QStringLiteral("\r\n"));
    QCOMPARE(log.count(badAction), edgeCases);

    // Another run shows them again.
    action("CollapseAllNodes")->trigger();
    m_seams->messages->shown.clear();
    action("ExpandAllNodes")->trigger();
    QCOMPARE(m_seams->messages->texts().count(badAction), 1);
}

void TestTreeCommands::expandAllStopsAtTheLimit()
{
    tree().setExpandAllRowLimit(60);
    action("ExpandAllNodes")->trigger();
    QCOMPARE(m_seams->messages->texts(),
             QStringList{QStringLiteral("Expand all nodes stopped when the tree reached its limit of 60 rows. The nodes not "
                                        "opened yet can still be opened one by one.")});
    // One expansion adds at most 13 links and a placeholder under each; the
    // tree stopped at the first expansion past the limit.
    QVERIFY(model().totalRows() >= 60 && model().totalRows() < 60 + 26);
    int unopened = 0;
    for (OutlineNode *row = root(); row; row = model().nextInTree(row)) {
        const qint16 type = tree().nodeType(row);
        if (type != NodeCallHandler && type != NodeSubscriber)
            continue;
        // Each node is either built and open or still waits, closed, behind its placeholder.
        if (tree().isPlaceholder(row->firstChild())) {
            QCOMPARE(row->childCount(), 1);
            QVERIFY(!row->isExpanded());
            ++unopened;
        } else {
            QVERIFY(row->isExpanded());
        }
    }
    QVERIFY(unopened > 0);
    QCOMPARE(view()->selectedNode(), root());
    // Such a node still opens by hand.
    OutlineNode *waiting = root();
    while (waiting && !tree().isPlaceholder(waiting->firstChild()))
        waiting = model().nextInTree(waiting);
    QVERIFY(waiting);
    QVERIFY(tree().openRow(waiting));
    QVERIFY(!tree().isPlaceholder(waiting->firstChild()));
}

void TestTreeCommands::expandAllWhileSilent(std::unique_ptr<test::TestServer> server, int &rows, int &timeouts)
{
    m_window.reset();
    m_server = std::move(server);
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    m_window = std::make_unique<frmMain>(ctx());
    QVERIFY(m_window->Form_Load());
    m_window->show();
    // A tree opened as far as Expand all went up to a limit: open nodes and nodes that wait.
    if (rows > 0) {
        tree().setExpandAllRowLimit(rows);
        action("ExpandAllNodes")->trigger();
        tree().setExpandAllRowLimit(kExpandAllRowLimit);
    }
    OutlineNode *last = root()->lastChild();
    view()->selectNode(last);
    rows = model().totalRows();
    QSet<OutlineNode *> open;
    for (OutlineNode *row = root(); row; row = model().nextInTree(row))
        if (row->isExpanded())
            open.insert(row);
    test::tds::TdsServer &tds = *m_server->tdsServer();
    test::tds::TdsServer::Fault silence;
    silence.kind = test::tds::TdsServer::Fault::Kind::Stall;
    silence.times = 0;
    silence.seconds = 60;
    tds.addFault(silence);
    m_seams->messages->shown.clear();

    action("ExpandAllNodes")->trigger();
    timeouts = tds.faultsHit();
    const QString stopped = QStringLiteral(
        "Expand all nodes stopped: the connection to the server was lost, or the server stopped answering. The nodes "
        "opened so far stay open; the others can be opened later, one by one or with Expand all nodes again.");
    QCOMPARE(m_seams->messages->texts(), QStringList{stopped});
    // Nothing taken away: what was open stays open (what was read before
    // may open too), every other node waits, closed, behind its placeholder.
    QSet<OutlineNode *> now;
    OutlineNode *waiting = nullptr;
    for (OutlineNode *row = root(); row; row = model().nextInTree(row)) {
        now.insert(row);
        const qint16 type = tree().nodeType(row);
        if ((type == NodeCallHandler || type == NodeSubscriber) && tree().isPlaceholder(row->firstChild())) {
            QVERIFY(row->childCount() == 1 && !row->isExpanded());
            waiting = waiting ? waiting : row;
        }
    }
    for (OutlineNode *row : std::as_const(open))
        QVERIFY(now.contains(row) && row->isExpanded());
    // The row the page shows is selected again, no page read.
    QCOMPARE(view()->selectedNode(), last);
    QVERIFY(!QGuiApplication::overrideCursor());
    // A node opened by hand meanwhile says why and stays as it was, to be opened later.
    QVERIFY(waiting && !tree().openRow(waiting));
    QVERIFY(tree().isPlaceholder(waiting->firstChild()));
    QCOMPARE(m_seams->messages->texts().size(), 2);
    QVERIFY(m_seams->messages->texts().last().startsWith(QStringLiteral("Error in ExpandRow: ")));

    tds.clearFaults();
    m_seams->messages->shown.clear();
    action("ExpandAllNodes")->trigger();
    QVERIFY(!m_seams->messages->texts().contains(stopped));
    for (OutlineNode *row = root(); row; row = model().nextInTree(row))
        QVERIFY(!tree().isPlaceholder(row));
}

// A server that takes requests and never answers (one second's time-out in
// the connection text): Expand all gives up at the first read that times
// out, so it waits as often on a tree ten times the sample's as on the
// sample's tree as it starts.
void TestTreeCommands::expandAllOnASilentServer()
{
    if (!test::overTds())
        QSKIP("The TDS stand-in plays a server that never answers: the tds run only");
    test::TdsAccess access;
    access.extra = QStringLiteral("Timeout=1");
    int sampleRows = 0, sampleTimeouts = 0;
    expandAllWhileSilent(std::make_unique<test::TestServer>(embedded::SampleOptions{}, access), sampleRows, sampleTimeouts);
    if (QTest::currentTestFailed())
        return;
    int largerRows = 10 * sampleRows, largerTimeouts = 0;
    expandAllWhileSilent(test::TestServer::generated({120, 3}, access), largerRows,
                         largerTimeouts);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(largerRows >= 10 * sampleRows, qPrintable(QStringLiteral("%1 rows, %2 on the sample").arg(largerRows).arg(sampleRows)));
    QVERIFY(sampleTimeouts > 0);
    QCOMPARE(largerTimeouts, sampleTimeouts);
}

void TestTreeCommands::collapseAll()
{
    action("ExpandAllNodes")->trigger();
    QVERIFY(model().totalRows() > 100);
    m_seams->messages->shown.clear();
    action("CollapseAllNodes")->trigger();
    QCOMPARE(childKeys(tree(), root()), kRootKeys);
    verifyFreshTree(QStringLiteral("Opening Greeting"), QStringLiteral("Call Handler"));
    QCOMPARE(m_seams->messages->texts(), QStringList{});
}

void TestTreeCommands::exportFile_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray header = "Export of Call Routing Tree on: 29 Oct 2009 14:05:09\r\n\r\n";
    // The root's links after start-up, key 1 (Sales) on its own line.
    const QByteArray before1 = "Opening Greeting\r\n"
                               "     +0: Ring phone for: Operator\r\n";
    const QByteArray after1 = "     +2: Send to greeting for: Support\r\n"
                              "     +3: Send to greeting for: Bob Sales\r\n"
                              "      4: Route to name lookup handler:Company Directory\r\n"
                              "      5: Send to interviewer: Feedback Interview\r\n"
                              "      6: (Error)\r\n"
                              "      7: (Error)\r\n"
                              "      8: Route to greetings administration\r\n"
                              "      9: Ignore Key\r\n"
                              "      *: Route to subscriber sign in\r\n"
                              "      #: Hang Up\r\n"
                              "     +AM: Send to greeting for: Goodbye\r\n";
    const QByteArray salesClosed = "     +1: Send to greeting for: Sales\r\n";
    // Sales opened: its links two levels deep; the links back to the root and
    // to Sales itself are duplicates and carry no mark.
    const QByteArray salesOpen = "      1: Send to greeting for: Sales\r\n"
                                 "           +0: Ring phone for: Operator\r\n"
                                 "            1: Send to greeting for: Opening Greeting\r\n"
                                 "           +2: Send to greeting for: Bob Sales\r\n"
                                 "            3: Send to greeting for: Sales\r\n"
                                 "            4: Ignore Key\r\n"
                                 "            5: Ignore Key\r\n"
                                 "            6: Ignore Key\r\n"
                                 "            7: Ignore Key\r\n"
                                 "            8: Ignore Key\r\n"
                                 "            9: Ignore Key\r\n"
                                 "            *: Ignore Key\r\n"
                                 "            #: Ignore Key\r\n"
                                 "            AM: Hang Up\r\n";

    QTest::newRow("after start-up") << "start" << header + before1 + salesClosed + after1;
    QTest::newRow("a node open") << "sales open" << header + before1 + salesOpen + after1;
    QTest::newRow("a node opened and closed again") << "sales closed" << header + before1 + salesClosed + after1;
    QTest::newRow("the root closed") << "root closed" << header + "+Opening Greeting\r\n";
}

void TestTreeCommands::exportFile()
{
    QFETCH(QString, state);
    QFETCH(QByteArray, expected);
    OutlineNode *sales = link(tree(), root(), QStringLiteral("1"));
    if (state.startsWith("sales"))
        QVERIFY(tree().openRow(sales));
    if (state == "sales closed")
        model().setExpanded(sales, false);
    if (state == "root closed")
        view()->collapse(model().indexOf(root()));

    exportTo(exportPath());
    QCOMPARE(m_seams->fileDialog->titles, QStringList{QStringLiteral("Select Export Tree File Name")});
    QCOMPARE(m_seams->fileDialog->saveRequests,
             (QList<QStringList>{{QDir::homePath(), "CallRoutingTree.TXT", "Text File (*.txt)"}}));
    QCOMPARE(readFile(exportPath()), expected);
    QCOMPARE(m_seams->messages->texts(), QStringList{QStringLiteral("Output complete.")});
}

void TestTreeCommands::exportAfterExpandAll()
{
    action("ExpandAllNodes")->trigger();
    m_seams->messages->shown.clear();
    exportTo(exportPath());
    const QList<QByteArray> lines = readFile(exportPath()).split('\n');
    // Header, empty line, one line per row, and nothing after the last line's end.
    QCOMPARE(lines.size(), 2 + model().totalRows() + 1);
    QCOMPARE(lines.last(), QByteArray());
    QRegularExpression mark(QStringLiteral("^ *\\+"));
    int line = 2;
    for (OutlineNode *row = root(); row; row = model().nextInTree(row), ++line) {
        const QString text = QString::fromUtf8(lines[line]);
        QVERIFY2(!mark.match(text).hasMatch(), qPrintable(text));
        QCOMPARE(text, QString(6 * row->level(), u' ') + model().mainText(row) + u'\r');
    }
    QCOMPARE(m_seams->messages->texts(), QStringList{QStringLiteral("Output complete.")});
}

void TestTreeCommands::exportReplacesAfterConfirmation_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("OK replaces") << int(platform::MsgAnswer::Ok);
    QTest::newRow("Cancel keeps") << int(platform::MsgAnswer::Cancel);
}

void TestTreeCommands::exportReplacesAfterConfirmation()
{
    QFETCH(int, answer);
    const bool replace = answer == int(platform::MsgAnswer::Ok);
    QVERIFY(writeFile(exportPath(), "an older export\r\n"));
    m_seams->messages->answers.enqueue(platform::MsgAnswer(answer));
    exportTo(exportPath());

    const test::ShownMessage prompt = m_seams->messages->shown.value(0);
    QCOMPARE(prompt.text, QStringLiteral("Overwrite ") + exportPath() + u'?');
    QCOMPARE(prompt.title, QStringLiteral("Overwrite File?"));
    QCOMPARE(prompt.buttons, platform::MsgButtons::OkCancel);
    QCOMPARE(m_seams->messages->shown.size(), replace ? 2 : 1);
    const QByteArray now = readFile(exportPath());
    QCOMPARE(now.startsWith("Export of Call Routing Tree on: "), replace);
    if (replace)
        QCOMPARE(m_seams->messages->shown.last().text, QStringLiteral("Output complete."));
    else
        QCOMPARE(now, QByteArray("an older export\r\n"));
}

void TestTreeCommands::exportFailureLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QString>("reason");
    QTest::newRow("an existing file in a folder that cannot be written") << "locked" << true << "Permission denied";
    QTest::newRow("a folder that does not exist") << "missing" << false << "No such file or directory";
    // The new file is begun but cannot be finished: the old one must survive that too.
    QTest::newRow("the disk refuses the rest") << "full" << true << "File too large";
}

void TestTreeCommands::exportFailureLeavesTheOldFile()
{
    QFETCH(QString, how);
    QFETCH(bool, existing);
    QFETCH(QString, reason);
    const QString folder = m_server->folder() + u'/' + how;
    const QString path = folder + QStringLiteral("/tree.txt");
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                      | QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    QVERIFY(QFile::setPermissions(m_server->folder(), open));
    if (existing) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(path, "an older export\r\n"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    }
    if (how == "full") {
        const FileSizeLimit limit(100);
        exportTo(path);
    } else {
        if (existing)
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                      | QFileDevice::ExeOther));
        const Unprivileged asUser;
        exportTo(path);
    }
    if (existing)
        QVERIFY(QFile::setPermissions(folder, open));

    const QStringList shown = m_seams->messages->texts();
    QCOMPARE(shown.size(), existing ? 2 : 1); // the overwrite prompt, then the failure
    QCOMPARE(shown.last(), QStringLiteral("(error):75 (Cannot write %1: %2) in procedure mnuExportTreeInfo_Click of Form "
                                          "frmMain")
                               .arg(path, reason));
    QVERIFY(!shown.contains(QStringLiteral("Output complete.")));
    if (existing) {
        QCOMPARE(readFile(path), QByteArray("an older export\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"tree.txt"});
    } else {
        QVERIFY(!QFileInfo::exists(folder));
    }
}

void TestTreeCommands::exportNotStarted_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("dialog cancelled") << true << QString() << QStringList{};
    QTest::newRow("name too short") << false << "/a.t"
                                    << QStringList{"Invalid text file name.  Please choose a valid file name."};
}

void TestTreeCommands::exportNotStarted()
{
    QFETCH(bool, cancel);
    QFETCH(QString, file);
    QFETCH(QStringList, messages);
    if (!cancel)
        m_seams->fileDialog->answers.enqueue(file);
    action("mnuExportTreeInfo")->trigger();
    QCOMPARE(m_seams->fileDialog->titles.size(), 1);
    QCOMPARE(m_seams->messages->texts(), messages);
    QVERIFY(QDir(m_server->folder()).entryList({QStringLiteral("*.txt"), QStringLiteral("*.TXT")}).isEmpty());
    if (!file.isEmpty())
        QVERIFY(!QFileInfo::exists(file));
}

QTEST_MAIN(TestTreeCommands)
#include "tst_treecommands.moc"
