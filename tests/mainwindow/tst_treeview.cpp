// The routing tree in the real main window: pages by node type, lazy
// opening through the view, and the right-click menu.
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

#include "details/callhandlerpage.h"

#include <QGuiApplication>
#include <QMenu>
#include <QTabWidget>
#include <QtTest>

using namespace quillor;
using platform::OutlineNode;
using test::childKeys;
using test::link;
using test::visiblePages;
namespace ids = quillor::embedded::SampleIds;

using test::visiblePages;

class TestTreeView : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pageFollowsTheSelection_data();
    void pageFollowsTheSelection();
    void openingInTheViewBuildsLinks();
    void keysAndDoubleClick();
    void onlyLeftAndRightOpenOrClose_data();
    void onlyLeftAndRightOpenOrClose();
    void hourglassWhileThePageLoads();
    void rightClick_data();
    void rightClick();
    void roundTrips_data();
    void roundTrips();
    void expandAllRoundTrips_data();
    void expandAllRoundTrips();

private:
    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    std::unique_ptr<frmMain> m_window;
    platform::OutlineTreeView *view() { return m_window->findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree")); }
    QTabWidget *tabs() { return m_window->findChild<QTabWidget *>(QStringLiteral("tabInfoTab")); }
    RoutingTree &tree() { return m_window->routingTree(); }
    OutlineNode *root() { return tree().ATTree().root(); }
    // A row by its keys from the root, "/" between levels ("" is the root).
    OutlineNode *row(const QString &path)
    {
        OutlineNode *n = root();
        for (const QString &key : path.split(u'/', Qt::SkipEmptyParts))
            n = link(tree(), n, key);
        return n;
    }
    quint64 queries() { return m_server->ctx().db().queryCount(); }
};

void TestTreeView::init()
{
    m_seams = std::make_unique<test::FakeSeams>();
    m_server = std::make_unique<test::TestServer>();
    m_window = std::make_unique<frmMain>(m_server->ctx());
    QVERIFY(m_window->Form_Load());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(view());
}

void TestTreeView::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_seams.reset();
}

void TestTreeView::pageFollowsTheSelection_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("page");
    QTest::newRow("root") << QString() << "Call Handler";
    QTest::newRow("call handler") << "1" << "Call Handler";
    QTest::newRow("subscriber") << "3" << "Subscriber";
    QTest::newRow("name lookup handler") << "4" << "Directory Handler";
    QTest::newRow("interviewer") << "5" << "Interviewer";
    QTest::newRow("invalid link") << "6" << "Leaf";
    QTest::newRow("leaf") << "9" << "Leaf";
}

void TestTreeView::pageFollowsTheSelection()
{
    QFETCH(QString, key);
    QFETCH(QString, page);
    OutlineNode *row = key.isEmpty() ? root() : link(tree(), root(), key);
    QVERIFY(row);
    view()->selectNode(row);
    QCOMPARE(view()->selectedNode(), row);
    QCOMPARE(visiblePages(tabs()), QStringList{page});
    QCOMPARE(tabs()->tabText(tabs()->currentIndex()), page);
}

void TestTreeView::openingInTheViewBuildsLinks()
{
    platform::OutlineModel &m = tree().ATTree();
    OutlineNode *sales = link(tree(), root(), QStringLiteral("1"));
    QVERIFY(tree().isPlaceholder(sales->firstChild()));
    view()->expand(m.indexOf(sales));
    QVERIFY(sales->isExpanded());
    QVERIFY(!tree().isPlaceholder(sales->firstChild()));
    QCOMPARE(tree().nodeType(link(tree(), sales, QStringLiteral("1"))), qint16(NodeDuplicateHandler));
    QVERIFY(view()->isExpanded(m.indexOf(sales)));
    // Opening selects the opened row.
    QCOMPARE(view()->selectedNode(), sales);
    QCOMPARE(m_seams->messages->texts(), QStringList{});
}

void TestTreeView::keysAndDoubleClick()
{
    platform::OutlineModel &m = tree().ATTree();
    OutlineNode *support = link(tree(), root(), QStringLiteral("2"));
    view()->selectNode(support);
    QTest::keyClick(view(), Qt::Key_Right);
    QVERIFY(support->isExpanded());
    QVERIFY(!tree().isPlaceholder(support->firstChild()));
    QTest::keyClick(view(), Qt::Key_Left);
    QVERIFY(!support->isExpanded());

    OutlineNode *op = link(tree(), root(), QStringLiteral("0"));
    // A double click arrives as a click followed by the double-click event.
    const auto doubleClick = [&] {
        const QPoint at = view()->visualRect(m.indexOf(op)).center();
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick();
    QVERIFY(op->isExpanded());
    QVERIFY(!tree().isPlaceholder(op->firstChild()));
    doubleClick();
    QVERIFY(!op->isExpanded());
}

// Qt's own tree keys would open every row below the current one ("*"), or
// move to a parent or child (Left, Right); here no key but Left and Right
// opens or closes a row, and they never move the selection.
void TestTreeView::onlyLeftAndRightOpenOrClose_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("startOpen"); // the start row's state afterwards
    QTest::addColumn<bool>("reads");     // the key may query the server
    QTest::newRow("* on the root") << "" << int(Qt::Key_Asterisk) << "" << true << false;
    QTest::newRow("* on a closed handler") << "1" << int(Qt::Key_Asterisk) << "1" << false << false;
    QTest::newRow("+") << "1" << int(Qt::Key_Plus) << "1" << false << false;
    QTest::newRow("-") << "" << int(Qt::Key_Minus) << "" << true << false;
    QTest::newRow("right opens in place") << "1" << int(Qt::Key_Right) << "1" << true << true;
    QTest::newRow("right on an open row") << "" << int(Qt::Key_Right) << "" << true << false;
    QTest::newRow("right on a leaf") << "9" << int(Qt::Key_Right) << "9" << false << false;
    QTest::newRow("left closes in place") << "" << int(Qt::Key_Left) << "" << false << false;
    QTest::newRow("left on a closed row") << "1" << int(Qt::Key_Left) << "1" << false << false;
    QTest::newRow("down") << "" << int(Qt::Key_Down) << "0" << true << true;
    QTest::newRow("up") << "1" << int(Qt::Key_Up) << "0" << false << true;
    QTest::newRow("home") << "5" << int(Qt::Key_Home) << "" << false << true;
    QTest::newRow("end") << "" << int(Qt::Key_End) << "AM" << true << true;
    QTest::newRow("page down") << "" << int(Qt::Key_PageDown) << "AM" << true << true;
    QTest::newRow("page up") << "AM" << int(Qt::Key_PageUp) << "" << false << true;
}

void TestTreeView::onlyLeftAndRightOpenOrClose()
{
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(QString, selected);
    QFETCH(bool, startOpen);
    QFETCH(bool, reads);
    platform::OutlineModel &m = tree().ATTree();
    OutlineNode *from = row(start);
    QVERIFY(from);
    view()->selectNode(from);
    view()->setFocus();
    const auto openRows = [&] {
        QList<OutlineNode *> open;
        for (OutlineNode *n = m.root(); n; n = m.nextInTree(n))
            if (n->isExpanded() && n != from)
                open << n;
        return open;
    };
    const QList<OutlineNode *> openBefore = openRows();
    const int rowsBefore = m.totalRows();
    const quint64 before = queries();

    QTest::keyClick(view(), Qt::Key(key));
    QCOMPARE(view()->selectedNode(), row(selected));
    QCOMPARE(from->isExpanded(), startOpen);
    QCOMPARE(view()->isExpanded(m.indexOf(from)), startOpen);
    QCOMPARE(openRows(), openBefore);
    if (!reads) {
        QCOMPARE(queries(), before);
        QCOMPARE(m.totalRows(), rowsBefore);
    }
    QCOMPARE(m_seams->messages->texts(), QStringList{});
}

void TestTreeView::hourglassWhileThePageLoads()
{
    QList<bool> hourglass;
    connect(&m_window->callHandlerPage(), &CallHandlerPage::titleChanged, this, [&] {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        hourglass << (cursor && cursor->shape() == Qt::WaitCursor);
    });
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {},
                      view()->visualRect(tree().ATTree().indexOf(row(QStringLiteral("1")))).center());
    QCOMPARE(view()->selectedNode(), row(QStringLiteral("1")));
    QCOMPARE(hourglass, QList<bool>{true});
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestTreeView::rightClick_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("menu");
    QTest::newRow("root: not selected, no menu") << QString() << false;
    QTest::newRow("leaf: selected, no menu") << "9" << false;
    QTest::newRow("call handler") << "1" << true;
    QTest::newRow("subscriber") << "3" << true;
}

void TestTreeView::rightClick()
{
    QFETCH(QString, key);
    QFETCH(bool, menu);
    platform::OutlineModel &m = tree().ATTree();
    OutlineNode *row = key.isEmpty() ? root() : link(tree(), root(), key);
    auto *popup = m_window->findChild<QMenu *>(QStringLiteral("PopupSetRoot"));
    QVERIFY(popup);
    OutlineNode *before = link(tree(), root(), QStringLiteral("7"));
    view()->selectNode(before);
    const quint64 queriesBefore = queries();
    QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, view()->visualRect(m.indexOf(row)).center());
    // The root is neither selected nor its page loaded again.
    QCOMPARE(view()->selectedNode(), row == root() ? before : row);
    if (row == root())
        QCOMPARE(queries(), queriesBefore);
    QCOMPARE(popup->isVisible(), menu);
    if (menu) {
        QCOMPARE(popup->actions().first()->text(), QStringLiteral("Set As Root Node"));
        popup->hide();
    }
}

// Opening a node and selecting a call handler wait for the server at most a
// few times: the statements the program sends and, over SQL Server's wire,
// the requests the server gets (counts, not times).
void TestTreeView::roundTrips_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("goal");
    QTest::newRow("open a node") << "1" << true << 10;
    QTest::newRow("select a call handler") << "0" << false << 8;
}

void TestTreeView::roundTrips()
{
    QFETCH(QString, key);
    QFETCH(bool, open);
    QFETCH(int, goal);
    // Each statement goes as one request, its values bound.
    constexpr int kRequestsPerStatement = 1;
    OutlineNode *row = link(tree(), root(), key);
    QVERIFY(row);
    QCOMPARE(tree().nodeType(row), qint16(NodeCallHandler));
    test::tds::TdsServer *tds = m_server->tdsServer();
    if (tds)
        tds->resetRequestCount();
    const quint64 before = queries();
    if (open)
        view()->expand(tree().ATTree().indexOf(row));
    else
        view()->selectNode(row);
    QCOMPARE(view()->selectedNode(), row);
    QCOMPARE(visiblePages(tabs()), QStringList{QStringLiteral("Call Handler")});
    const quint64 statements = queries() - before;
    QVERIFY2(statements <= quint64(goal), qPrintable(QStringLiteral("%1 statements").arg(statements)));
    if (tds)
        QVERIFY2(tds->requestCount() <= goal * kRequestsPerStatement,
                 qPrintable(QStringLiteral("%1 requests for %2 statements").arg(tds->requestCount()).arg(statements)));
    QCOMPARE(m_seams->messages->texts(), QStringList{});
}

// Expand all waits for the server a few times whatever the server's size:
// a level of the tree a request, or every object's links in a few passes once
// the tree covers one in 40 of the server's call handlers, on every way to
// the server. Beside call handlers it never reaches, the sample's tree is read
// a level at a time (every link at once would cost 15).
void TestTreeView::expandAllRoundTrips_data()
{
    QTest::addColumn<int>("unreached");
    QTest::addColumn<int>("goal");
    QTest::newRow("the sample") << 0 << 15;
    QTest::newRow("beside 2,000 call handlers it never reaches") << 2000 << 12;
}

void TestTreeView::expandAllRoundTrips()
{
    QFETCH(int, unreached);
    QFETCH(int, goal);
    QVERIFY(test::sql(m_server->ctx(),
                      QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 WHERE ? > 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                                     "INSERT INTO CallHandler (Alias, TextName) SELECT 'unreached' || i, 'Unreached' FROM n"),
                      {unreached, unreached}));
    test::tds::TdsServer *tds = m_server->tdsServer();
    if (tds)
        tds->resetRequestCount();
    const quint64 before = queries();
    m_window->findChild<QAction *>(QStringLiteral("ExpandAllNodes"))->trigger();
    for (const OutlineNode *row = root(); row; row = tree().ATTree().nextInTree(row))
        QVERIFY(!tree().isPlaceholder(row));
    const quint64 statements = queries() - before;
    QVERIFY2(statements <= quint64(goal), qPrintable(QStringLiteral("%1 statements").arg(statements)));
    if (tds)
        QVERIFY2(tds->requestCount() <= goal,
                 qPrintable(QStringLiteral("%1 requests for %2 statements").arg(tds->requestCount()).arg(statements)));
}

QTEST_MAIN(TestTreeView)
#include "tst_treeview.moc"
