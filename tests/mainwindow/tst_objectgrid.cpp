// The grid view in the real main window on the sample server: what each kind
// lists, the page a row shows and its web address, re-rooting by double-click
// and the right-click menu.
#include "common/appcontext.h"
#include "common/objectid.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/objectgrid.h"
#include "mainwindow/routingtree.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "testserver.h"
#include "treehelpers.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStyleHints>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace quillor;
using platform::OutlineNode;
namespace ids = quillor::embedded::SampleIds;

using test::visiblePages;

class TestObjectGrid : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startUpListsCallHandlers();
    void kinds_data();
    void kinds();
    void callHandlerOwners();
    void emptyKind();
    void rowSelectsItsPage_data();
    void rowSelectsItsPage();
    void clickAfterTreeShowsRowAgain();
    void oneWebAddressHoweverReached_data();
    void oneWebAddressHoweverReached();
    void relistKeepsRowAndPane();
    void choosingAKindListsItOnce_data();
    void choosingAKindListsItOnce();
    void failedListLeavesGridEmpty();
    void doubleClick_data();
    void doubleClick();
    void doubleClickOnADeletedObject();
    void rightClick();

private:
    test::MainWindowFixture m_f;

    QComboBox *kindBox() { return m_f.window->findChild<QComboBox *>(QStringLiteral("cmbShowObjectType")); }
    QTableView *grid() { return m_f.window->findChild<QTableView *>(QStringLiteral("gridObjects")); }
    QTabWidget *tabs() { return m_f.window->findChild<QTabWidget *>(QStringLiteral("tabInfoTab")); }
    QTabWidget *treeGrid() { return m_f.window->findChild<QTabWidget *>(QStringLiteral("TabTreeGrid")); }
    ObjectGridModel &model() { return m_f.window->gridModel(); }
    QStringList listedIds();
    QStringList headers();
    int rowOf(const QString &objectId) { return model().rowOfObject(objectId); }
    QPoint cellCenter(int row) { return grid()->visualRect(model().index(row, 0)).center(); }
    void choose(int kind);
    // Selects a leaf row of the tree, which shows the "Leaf" page.
    void showTreeLeaf();
};

void TestObjectGrid::init()
{
    QVERIFY(m_f.start());
    QVERIFY(kindBox() && grid());
}

void TestObjectGrid::cleanup() { m_f.stop(); }

QStringList TestObjectGrid::listedIds()
{
    QStringList out;
    for (int row = 0; row < model().rowCount(); ++row)
        out << model().objectId(row);
    return out;
}

QStringList TestObjectGrid::headers()
{
    QStringList out;
    for (int c = 0; c < model().columnCount(); ++c)
        out << model().headerData(c, Qt::Horizontal).toString();
    return out;
}

void TestObjectGrid::choose(int kind)
{
    treeGrid()->setCurrentIndex(1);
    kindBox()->setCurrentIndex(kind);
}

void TestObjectGrid::showTreeLeaf()
{
    auto *tree = m_f.window->findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree"));
    RoutingTree &routing = m_f.window->routingTree();
    platform::OutlineNode *root = routing.ATTree().root();
    for (int i = 0; i < root->childCount(); ++i) {
        if (routing.nodeType(root->child(i)) == NodeLeaf) {
            tree->selectNode(root->child(i));
            break;
        }
    }
    QCOMPARE(visiblePages(tabs()), QStringList{"Leaf"});
}

void TestObjectGrid::startUpListsCallHandlers()
{
    QCOMPARE(kindBox()->currentIndex(), 0);
    QCOMPARE(kindBox()->count(), 4);
    QStringList captions;
    for (int i = 0; i < kindBox()->count(); ++i)
        captions << kindBox()->itemText(i);
    QCOMPARE(captions, (QStringList{"Call Handlers", "Subscribers", "Interview Handlers", "Directory Handlers"}));
    QCOMPARE(model().kind(), 0);
    QCOMPARE(model().rowCount(), 7);
    QCOMPARE(grid()->currentIndex().row(), 0);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
}

void TestObjectGrid::kinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("objectIds"); // in the order listed
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("checkRow");
    QTest::addColumn<QStringList>("checkCells");
    QTest::addColumn<QStringList>("messages"); // of the first row's page

    // Subscribers of type 1 and 3 only, by alias; each row names its primary
    // call handler for the pages and the subscriber itself for the report.
    QTest::newRow("subscribers")
        << 1
        << QStringList{"Display Name", "Extension", "Alias", "Junk", "First Name", "Last Name", "SubscriberObjectID",
                       "callHandlerObjectID"}
        << QStringList{ids::AliceAdminHandler, ids::BobSalesHandler, ids::CarolSupportHandler} << "Subscriber" << 1
        << QStringList{"Bob Sales", "5002", "bsales", "ch_bsales", "Bob", "Sales", ids::BobSales, ids::BobSalesHandler}
        << QStringList{};
    QTest::newRow("interview handlers")
        << 2 << QStringList{"Display Name", "Extension", "Alias", "InterviewHandlerObjectID"}
        << QStringList{ids::FeedbackInterview, ids::InterviewTemplate, ids::Survey} << "Interviewer" << 2
        << QStringList{"Survey", "2100", "surveyih", ids::Survey} << QStringList{};
    QTest::newRow("directory handlers")
        << 3 << QStringList{"Display Name", "Extension", "Alias", "NameLookupHandlerObjectID"}
        << QStringList{ids::BrokenDirectory, ids::CompanyDirectory, ids::RestrictedDirectory, ids::HqDirectory,
                       ids::LocalDirectory, ids::SalesDirectory}
        << "Directory Handler" << 0 << QStringList{"Broken Directory", "", "brokendirectory", ids::BrokenDirectory}
        << QStringList{"Invalid SearchScope setting for the currently selected name lookup handler"};
}

void TestObjectGrid::kinds()
{
    QFETCH(int, kind);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, objectIds);
    QFETCH(QString, page);
    QFETCH(int, checkRow);
    QFETCH(QStringList, checkCells);
    QFETCH(QStringList, messages);

    choose(kind);
    QCOMPARE(model().kind(), kind);
    // Columns the query does not rename keep the letter case the server gives them.
    const auto lower = [](QStringList l) {
        for (QString &s : l)
            s = s.toLower();
        return l;
    };
    QCOMPARE(lower(headers()), lower(columns));
    QCOMPARE(test::asStored(listedIds()), objectIds);
    QStringList cells;
    for (int c = 0; c < model().columnCount(); ++c)
        cells << model().data(model().index(checkRow, c)).toString();
    QCOMPARE(test::asStored(cells), checkCells);
    // The first row is current and its page the only one showing.
    QCOMPARE(grid()->currentIndex().row(), 0);
    QCOMPARE(visiblePages(tabs()), QStringList{page});
    QCOMPARE(tabs()->tabText(tabs()->currentIndex()), page);
    QVERIFY(tabs()->currentWidget()->isEnabled());
    QCOMPARE(m_f.seams->messages->texts(), messages);

    // The dependency report names a subscriber by its own ObjectID.
    const int reportColumn = gridKindInfo(kind)->reportIdColumn;
    QCOMPARE(test::asStored(model().reportObjectId(checkRow)), checkCells.value(reportColumn));
    if (kind == GridSubscribers)
        QCOMPARE(test::asStored(model().reportObjectId(checkRow)), ids::BobSales);
}

void TestObjectGrid::callHandlerOwners()
{
    QCOMPARE(headers().value(0), QStringLiteral("Display Name"));
    QCOMPARE(headers().value(1), QStringLiteral("Extension"));
    QCOMPARE(headers().value(4), QStringLiteral("Owner"));
    QCOMPARE(model().columnCount(), 5);
    // Owned by a subscriber or a system list; the handler without an owner,
    // the one owned by a scope list and every primary handler are not listed.
    const QHash<QString, QString> expected = {
        {ids::OpeningGreeting, "Alice Admin"}, {ids::Operator, "Operators"},   {ids::Goodbye, "Alice Admin"},
        {ids::Sales, "All Subscribers"},      {ids::AfterHours, "Bob Sales"}, {ids::Support, "Bob Sales"},
        {ids::CallHandlerTemplate, "Alice Admin"},
    };
    QHash<QString, QString> listed;
    for (int row = 0; row < model().rowCount(); ++row)
        listed.insert(normalizedObjectId(model().objectId(row)), model().text(row, 4));
    QCOMPARE(listed, expected);
    const int sales = rowOf(ids::Sales);
    QCOMPARE(model().text(sales, 0), QStringLiteral("Sales"));
    QCOMPARE(model().text(sales, 1), QStringLiteral("1100"));
    QCOMPARE(model().text(sales, 2), QStringLiteral("salesch"));
}

void TestObjectGrid::emptyKind()
{
    // The detail pages showed an object before the empty list came.
    m_f.window->LoadTabInfo(ids::Sales, 3);
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectID, ids::Sales);
    QVERIFY(m_f.server->ctx().db().execute(m_f.server->ctx().state().gConnectionString,
                                         QStringLiteral("DELETE FROM InterviewHandler")));
    choose(GridInterviewHandlers);
    QCOMPARE(model().rowCount(), 0);
    QCOMPARE(model().columnCount(), 4);
    QVERIFY(!grid()->currentIndex().isValid());
    QCOMPARE(visiblePages(tabs()), QStringList{"Interviewer"});
    // Nothing to show, and nothing to edit by mistake.
    QVERIFY(!tabs()->currentWidget()->isEnabled());
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectType, qint16(0));
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectID, QString());
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});

    // A kind with rows makes its page usable again.
    choose(GridDirectoryHandlers);
    QVERIFY(tabs()->currentWidget()->isEnabled());
}

void TestObjectGrid::rowSelectsItsPage_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("page");
    QTest::newRow("call handlers") << 0 << "Call Handler";
    QTest::newRow("subscribers") << 1 << "Subscriber";
    QTest::newRow("interview handlers") << 2 << "Interviewer";
    QTest::newRow("directory handlers") << 3 << "Directory Handler";
}

void TestObjectGrid::rowSelectsItsPage()
{
    QFETCH(int, kind);
    QFETCH(QString, page);
    choose(kind);
    // A tree row shows another page first.
    showTreeLeaf();

    m_f.server->ctx().state().bLoadingControls = true;
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCenter(1));
    QCOMPARE(grid()->currentIndex().row(), 1);
    QCOMPARE(visiblePages(tabs()), QStringList{page});
    QCOMPARE(tabs()->tabText(tabs()->currentIndex()), page);
    // The row's object was loaded: the load lowers the flag when it is done.
    QVERIFY(!m_f.server->ctx().state().bLoadingControls);
    QVERIFY(!model().objectId(1).isEmpty());

    // The keyboard moves the row as well.
    m_f.server->ctx().state().bLoadingControls = true;
    QTest::keyClick(grid(), Qt::Key_Down);
    QCOMPARE(grid()->currentIndex().row(), 2);
    QVERIFY(!m_f.server->ctx().state().bLoadingControls);
}

void TestObjectGrid::clickAfterTreeShowsRowAgain()
{
    choose(GridDirectoryHandlers);
    showTreeLeaf();
    // A click on the row that is still current shows its object again.
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCenter(0));
    QCOMPARE(grid()->currentIndex().row(), 0);
    QCOMPARE(visiblePages(tabs()), QStringList{"Directory Handler"});
}

void TestObjectGrid::oneWebAddressHoweverReached_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("key"); // its link below the tree's root
    QTest::newRow("call handler") << int(GridCallHandlers) << ids::Sales << "1";
    QTest::newRow("interview handler") << int(GridInterviewHandlers) << ids::FeedbackInterview << "5";
    QTest::newRow("directory handler") << int(GridDirectoryHandlers) << ids::CompanyDirectory << "4";
}

void TestObjectGrid::oneWebAddressHoweverReached()
{
    QFETCH(int, kind);
    QFETCH(QString, object);
    QFETCH(QString, key);
    auto *title = m_f.window->findChild<QLabel *>(QStringLiteral("lblCurrentObjectDisplayName"));
    QList<QUrl> &opened = m_f.seams->shell->openedUrls;
    RoutingTree &routing = m_f.window->routingTree();
    OutlineNode *link = test::link(routing, routing.ATTree().root(), key);
    QVERIFY(title && link);
    m_f.window->findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree"))->selectNode(link);
    QTest::mouseClick(title, Qt::LeftButton);
    choose(kind);
    const int row = rowOf(object);
    QVERIFY(row >= 0);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCenter(row));
    QCOMPARE(test::asStored(m_f.window->CurrentlySelectedObject().ObjectID), object);
    QTest::mouseClick(title, Qt::LeftButton);
    QCOMPARE(opened.size(), 2);
    // The ObjectID braced as stored, whatever form the server read it back in.
    const QString address = opened.first().toString(QUrl::FullyEncoded);
    QVERIFY2(address.contains(QStringLiteral("%3A%7B")), qPrintable(address));
    QCOMPARE(opened.last(), opened.first());
}

void TestObjectGrid::relistKeepsRowAndPane()
{
    const int before = rowOf(ids::Support);
    QVERIFY(before >= 0);
    grid()->setCurrentIndex(model().index(before, 0));
    // A tree row takes the detail pages; an edit elsewhere then lists the grid again.
    showTreeLeaf();
    QVERIFY(m_f.server->ctx().db().execute(m_f.server->ctx().state().gConnectionString,
                                         QStringLiteral("UPDATE CallHandler SET TextName = ? WHERE CallHandlerObjectID = ?"),
                                         {QStringLiteral("AAA Support, renamed"), ids::Support}));
    m_f.window->LoadGridView();
    const int after = rowOf(ids::Support);
    QCOMPARE(model().text(after, 0), QStringLiteral("AAA Support, renamed"));
    QCOMPARE(grid()->currentIndex().row(), after);
    QCOMPARE(visiblePages(tabs()), QStringList{"Leaf"});
}

void TestObjectGrid::choosingAKindListsItOnce_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("modal"); // the first row's message in a real message box
    QTest::newRow("the kind shown, chosen again") << 0 << 0 << false;
    QTest::newRow("another kind") << int(Qt::Key_Down) << 1 << false;
    // Its first row's page shows a message while the choice is being made.
    QTest::newRow("directory handlers") << int(Qt::Key_End) << 3 << false;
    QTest::newRow("directory handlers, real message") << int(Qt::Key_End) << 3 << true;
    QTest::newRow("directory handlers by mouse, real message") << -1 << 3 << true;
}

// Objects renamed since the list was read show when the user chooses the
// kind again; one choice reads the list and loads its first row once.
void TestObjectGrid::choosingAKindListsItOnce()
{
    QFETCH(int, key);
    QFETCH(int, kind);
    QFETCH(bool, modal);
    QVERIFY(m_f.server->ctx().db().execute(m_f.server->ctx().state().gConnectionString,
                                         QStringLiteral("UPDATE CallHandler SET TextName = ? WHERE CallHandlerObjectID = ?"),
                                         {QStringLiteral("AAA Support, renamed"), ids::Support}));
    treeGrid()->setCurrentIndex(1);
    m_f.seams->messages->shown.clear();
    m_f.seams->messages->modal = modal;
    QSignalSpy listed(&model(), &QAbstractItemModel::modelReset);
    if (key > 0) {
        QTest::keyClick(kindBox(), Qt::Key(key));
    } else if (key < 0) {
        // The list opened by a click, the entry clicked in it.
        QTest::mouseClick(m_f.window->windowHandle(), Qt::LeftButton, {},
                          kindBox()->mapTo(m_f.window.get(), kindBox()->rect().center()));
        QAbstractItemView *entries = kindBox()->view();
        QTRY_VERIFY(entries->isVisible());
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval()); // not taken for a double click
        const QPoint entry = entries->visualRect(entries->model()->index(kind, 0)).center();
        QTest::mouseClick(entries->window()->windowHandle(), Qt::LeftButton, {},
                          entries->viewport()->mapTo(entries->window(), entry));
    } else {
        emit kindBox()->activated(0); // the shown entry chosen in the open list
    }
    QCOMPARE(model().kind(), kind);
    QCOMPARE(listed.size(), 1);
    QCOMPARE(m_f.seams->messages->texts().size(), kind == 3 ? 1 : 0);
    if (kind == 0)
        QCOMPARE(model().text(rowOf(ids::Support), 0), QStringLiteral("AAA Support, renamed"));
}

void TestObjectGrid::failedListLeavesGridEmpty()
{
    QVERIFY(model().rowCount() > 0);
    QVERIFY(m_f.server->ctx().db().execute(m_f.server->ctx().state().gConnectionString,
                                         QStringLiteral("DROP VIEW vw_DistributionList")));
    m_f.window->LoadGridView();
    QCOMPARE(model().rowCount(), 0);
    const QStringList texts = m_f.seams->messages->texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().startsWith(QStringLiteral("Error in LoadGridView:")), qPrintable(texts.first()));
    QVERIFY(texts.first().size() > QStringLiteral("Error in LoadGridView:").size());
}

void TestObjectGrid::doubleClick_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("newRoot"); // "" : the tree stays as it was
    QTest::addColumn<int>("rootType");
    QTest::newRow("call handler") << 0 << ids::Sales << ids::Sales << int(NodeCallHandler);
    QTest::newRow("subscriber: its primary call handler")
        << 1 << ids::BobSalesHandler << ids::BobSalesHandler << int(NodeSubscriber);
    QTest::newRow("interview handler") << 2 << ids::Survey << QString() << 0;
    QTest::newRow("directory handler") << 3 << ids::HqDirectory << QString() << 0;
}

void TestObjectGrid::doubleClick()
{
    QFETCH(int, kind);
    QFETCH(QString, object);
    QFETCH(QString, newRoot);
    QFETCH(int, rootType);
    RoutingTree &routing = m_f.window->routingTree();
    platform::OutlineTreeView *tree = m_f.window->findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree"));
    choose(kind);
    m_f.seams->messages->shown.clear(); // what the first row's page reported
    const int row = rowOf(object);
    QVERIFY(row >= 0);
    // A row other than the first, so the current row cannot stand in for it.
    grid()->setCurrentIndex(model().index(row == 0 ? 1 : 0, 0));
    const QPoint at = cellCenter(row);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
    if (newRoot.isEmpty()) {
        QCOMPARE(routing.gRootObjectID, ids::OpeningGreeting);
        QCOMPARE(treeGrid()->currentIndex(), 1);
    } else {
        QCOMPARE(routing.gRootObjectID, newRoot);
        QCOMPARE(routing.gRootNodeType, qint16(rootType));
        QCOMPARE(routing.objectId(routing.ATTree().root()), newRoot);
        QCOMPARE(treeGrid()->currentIndex(), 0);
        QCOMPARE(tree->selectedNode(), routing.ATTree().root());
        QCOMPARE(visiblePages(tabs()), QStringList{rootType == NodeSubscriber ? "Subscriber" : "Call Handler"});
    }
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
}

void TestObjectGrid::doubleClickOnADeletedObject()
{
    RoutingTree &routing = m_f.window->routingTree();
    OutlineNode *support = test::link(routing, routing.ATTree().root(), QStringLiteral("2"));
    QVERIFY(routing.openRow(support));
    const int rows = routing.ATTree().totalRows();
    choose(0);
    const int row = rowOf(ids::Sales);
    QVERIFY(row >= 0);
    // Someone else deletes the handler after the grid was listed.
    QVERIFY(m_f.server->ctx().db().execute(m_f.server->ctx().state().gConnectionString,
                                         QStringLiteral("DELETE FROM CallHandler WHERE CallHandlerObjectID=?"), {ids::Sales}));
    const QPoint at = cellCenter(row);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
    m_f.seams->messages->shown.clear();
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(m_f.seams->messages->texts(),
             QStringList{"Error!  Could not find root call handler requested - the tree is left as it was."});
    QCOMPARE(m_f.seams->shell->endedWith, QList<int>{});
    // The tree as it was, its open rows open; the grid view stays in front.
    QCOMPARE(routing.gRootObjectID, ids::OpeningGreeting);
    QCOMPARE(routing.ATTree().totalRows(), rows);
    QVERIFY(support->isExpanded());
    QCOMPARE(treeGrid()->currentIndex(), 1);
}

void TestObjectGrid::rightClick()
{
    auto *popup = m_f.window->findChild<QMenu *>(QStringLiteral("mnuPopUpCreatecopy"));
    auto *copy = m_f.window->findChild<QAction *>(QStringLiteral("mnuCreateCopy"));
    QVERIFY(popup && copy);

    // Below the last row: nothing.
    const QPoint below(5, grid()->viewport()->height() - 2);
    QCOMPARE(grid()->rowAt(below.y()), -1);
    QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, below);
    QVERIFY(!popup->isVisible());
    QCOMPARE(grid()->currentIndex().row(), 0);

    // "Create Copy" is decided anew on every right-click: call handlers and
    // interview handlers only.
    for (const auto &[kind, createCopy] : {std::pair{1, false}, std::pair{0, true}, std::pair{3, false}, std::pair{2, true}}) {
        choose(kind);
        // The row under the pointer becomes current (its page loads), then the menu opens.
        m_f.server->ctx().state().bLoadingControls = true;
        QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, cellCenter(1));
        QCOMPARE(grid()->currentIndex().row(), 1);
        QVERIFY(!m_f.server->ctx().state().bLoadingControls);
        QVERIFY(popup->isVisible());
        QCOMPARE(copy->isVisible(), createCopy);
        popup->hide();
    }
}

QTEST_MAIN(TestObjectGrid)
#include "tst_objectgrid.moc"
