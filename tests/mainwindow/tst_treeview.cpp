// The routing tree in the real main window: pages by node type, lazy
// opening through the view, and the right-click menu.
#include "common/appcontext.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/routingtree.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "testserver.h"
#include "treehelpers.h"
#include "windowfixture.h"

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
    void rightClick_data();
    void rightClick();

private:
    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    std::unique_ptr<frmMain> m_window;
    platform::OutlineTreeView *view() { return m_window->findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree")); }
    QTabWidget *tabs() { return m_window->findChild<QTabWidget *>(QStringLiteral("tabInfoTab")); }
    RoutingTree &tree() { return m_window->routingTree(); }
    OutlineNode *root() { return tree().ATTree().root(); }
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

void TestTreeView::rightClick_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("menu");
    QTest::newRow("root: no menu") << QString() << false;
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
    QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, view()->visualRect(m.indexOf(row)).center());
    QCOMPARE(view()->selectedNode(), row);
    QCOMPARE(popup->isVisible(), menu);
    if (menu) {
        QCOMPARE(popup->actions().first()->text(), QStringLiteral("Set As Root Node"));
        popup->hide();
    }
}

QTEST_MAIN(TestTreeView)
#include "tst_treeview.moc"
