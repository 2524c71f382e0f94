#include "platform/outlinemodel.h"
#include "platform/outlineview.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillor::platform;

Q_DECLARE_METATYPE(quillor::platform::OutlineNode *)

namespace {

// Root with two call rows that are filled on first open, the way the routing
// tree fills them: the empty placeholder gives way to the real legs.
// Counts the layouts of every row.
struct CountingView : OutlineTreeView {
    int layouts = 0;
    void doItemsLayout() override
    {
        ++layouts;
        OutlineTreeView::doItemsLayout();
    }
};

struct Fixture {
    OutlineModel model{{"ObjectID"}};
    CountingView view;
    OutlineNode *root = model.setRoot("Root");
    OutlineNode *call1 = model.appendChild(root, "Call 1");
    OutlineNode *call2 = model.appendChild(root, "Call 2");
    bool cancel = false;
    bool openFirstLeg = false; // the handler also opens a leg it has just made
    bool inPlace = false; // the placeholder becomes the first leg, the others are appended in one go
    int asked = 0;

    Fixture()
    {
        for (OutlineNode *call : {call1, call2})
            model.appendChild(call, QString());
        model.setExpanded(root, true); // before the view sees the model
        QObject::connect(&model, &OutlineModel::beforeExpand, &view, [this](OutlineNode *node, bool &c) {
            ++asked;
            c = cancel;
            if (cancel || node->childCount() != 1 || !model.mainText(node->firstChild()).isEmpty())
                return;
            OutlineNode *leg = node->firstChild();
            if (inPlace) {
                model.beginAppendRows(node);
                model.setMainText(leg, "leg a");
            } else {
                model.removeChildren(node);
                leg = model.appendChild(node, "leg a");
            }
            model.appendChild(leg, "detail");
            OutlineNode *legB = model.appendChild(node, "leg b");
            model.appendChild(legB, "detail");
            if (openFirstLeg)
                model.setExpanded(inPlace ? legB : leg, true);
            if (inPlace)
                model.endAppendRows();
        });
        view.setOutlineModel(&model);
        view.resize(300, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }

    QModelIndex index(OutlineNode *n) const { return model.indexOf(n); }
    bool open(OutlineNode *n) const { return view.isExpanded(index(n)); }
    QPoint centre(OutlineNode *n) const { return view.visualRect(index(n)).center(); }
    QPoint belowRows() const { return {20, view.viewport()->height() - 5}; }
    // Shown means laid out where a user can click it.
    bool shown(OutlineNode *n) const { return view.indexAt(centre(n)) == index(n); }
    void doubleClick(QPoint at) // what a real double click delivers
    {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at);
    }
};

} // namespace

class TestOutlineView : public QObject {
    Q_OBJECT
private slots:
    void userOpens_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("nested");
        QTest::addColumn<bool>("inPlace");
        for (const char *how : {"expand", "right arrow", "double click"}) {
            QTest::addRow("%s", how) << how << false << false << false;
            QTest::addRow("%s cancelled", how) << how << true << false << false;
            QTest::addRow("%s, filled in place", how) << how << false << false << true;
        }
        QTest::newRow("handler opens a new row too") << "right arrow" << false << true << false;
        QTest::newRow("handler opens a new row too, in place") << "expand" << false << true << true;
    }
    void userOpens()
    {
        QFETCH(QString, how);
        QFETCH(bool, cancel);
        QFETCH(bool, nested);
        QFETCH(bool, inPlace);
        Fixture f;
        QVERIFY(f.open(f.root) && f.view.isHeaderHidden() && f.view.uniformRowHeights());
        f.cancel = cancel;
        f.openFirstLeg = nested;
        f.inPlace = inPlace;
        QCoreApplication::processEvents();
        f.view.layouts = 0;
        QSignalSpy doubled(&f.view, &OutlineTreeView::rowDoubleClicked);
        if (how == "expand") {
            f.view.expand(f.index(f.call1));
        } else if (how == "right arrow") {
            f.view.selectNode(f.call1);
            QTest::keyClick(&f.view, Qt::Key_Right);
        } else {
            f.doubleClick(f.centre(f.call1));
            QCOMPARE(doubled, (QList<QList<QVariant>>{{QVariant::fromValue(f.call1)}}));
        }
        QCoreApplication::processEvents();
        // Filled in place, only the opened row's rows are laid out, however many the tree shows.
        if (inPlace)
            QCOMPARE(f.view.layouts, 0);
        QCOMPARE(f.asked, nested ? 2 : 1);
        QCOMPARE(f.call1->isExpanded(), !cancel);
        QCOMPARE(f.open(f.call1), !cancel);
        QCOMPARE(f.call1->childCount(), cancel ? 1 : 2);
        if (!cancel) {
            OutlineNode *opened = inPlace ? f.call1->lastChild() : f.call1->firstChild();
            QVERIFY(f.shown(f.call1->firstChild()) && f.shown(f.call1->lastChild()));
            QCOMPARE(f.open(opened), nested);
            QCOMPARE(f.shown(opened->firstChild()), nested);
        }
        QVERIFY(f.shown(f.call2));

        // Closing in the view closes the model's row and keeps its children.
        if (how == "double click")
            f.doubleClick(f.centre(f.call1));
        else
            f.view.collapse(f.index(f.call1));
        QVERIFY(!f.call1->isExpanded() && !f.open(f.call1));
        QCOMPARE(f.call1->childCount(), cancel ? 1 : 2);
    }

    void modelDrives_data()
    {
        QTest::addColumn<bool>("redraw");
        QTest::newRow("painting") << true;
        QTest::newRow("redraw off") << false;
    }
    void modelDrives()
    {
        QFETCH(bool, redraw);
        Fixture f;
        f.model.setRedraw(redraw);
        QCOMPARE(f.view.updatesEnabled(), redraw);
        f.model.setExpanded(f.call1, true);
        f.model.setExpanded(f.call1->firstChild(), true);
        f.model.setExpanded(f.call2, true);
        QVERIFY(f.open(f.call1) && f.open(f.call1->firstChild()) && f.open(f.call2));
        f.model.setExpanded(f.call2, false);
        QVERIFY(!f.open(f.call2));
        f.model.showOutlineToLevel(1);
        QVERIFY(f.open(f.root) && !f.open(f.call1) && !f.open(f.call1->firstChild()));
        f.model.setExpanded(f.call1, true);

        f.model.setRedraw(true);
        QVERIFY(f.view.updatesEnabled());
        QVERIFY(f.shown(f.call1->lastChild()) && !f.shown(f.call2->firstChild()));
        QCOMPARE(f.asked, 4);
    }

    void selectionAndRightClick_data()
    {
        QTest::addColumn<int>("target"); // 0 root, 1 call 2, -1 below the rows
        QTest::newRow("root") << 0;
        QTest::newRow("call row") << 1;
        QTest::newRow("below the rows") << -1;
    }
    void selectionAndRightClick()
    {
        QFETCH(int, target);
        Fixture f;
        QSignalSpy moved(&f.view, &OutlineTreeView::selectionMoved);
        QSignalSpy clicked(&f.view, &OutlineTreeView::rightClicked);
        f.view.selectNode(f.call1);
        f.view.selectNode(f.call1); // already there: no second signal
        QCOMPARE(moved, (QList<QList<QVariant>>{{QVariant::fromValue(f.call1)}}));
        QCOMPARE(f.view.selectedNode(), f.call1);

        OutlineNode *node = target == 0 ? f.root : target == 1 ? f.call2 : nullptr;
        const QPoint at = node ? f.centre(node) : f.belowRows();
        QTest::mouseClick(f.view.viewport(), Qt::RightButton, {}, at);
        // The handler of the click decides whether the row becomes the selected one.
        QCOMPARE(f.view.mouseNode(), node);
        QCOMPARE(f.view.selectedNode(), f.call1);
        QCOMPARE(moved.count(), 1);
        if (node)
            QCOMPARE(clicked, (QList<QList<QVariant>>{{QVariant::fromValue(node), f.view.viewport()->mapToGlobal(at)}}));
        else
            QCOMPARE(clicked.count(), 0);
        QCOMPARE(f.asked, 0);

        QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, f.centre(f.call2));
        QCOMPARE(moved.last().at(0).value<OutlineNode *>(), f.call2);
        QTest::keyClick(&f.view, Qt::Key_Up);
        QCOMPARE(moved.last().at(0).value<OutlineNode *>(), f.call1);
    }

    // The view never hands out a row the model has let go of.
    void mouseRowRemoved_data()
    {
        QTest::addColumn<int>("what");
        QTest::newRow("its parent removed") << 0;
        QTest::newRow("a sibling removed") << 1;
        QTest::newRow("model cleared") << 2;
    }
    void mouseRowRemoved()
    {
        QFETCH(int, what);
        Fixture f;
        f.model.setExpanded(f.call1, true);
        OutlineNode *leg = f.call1->lastChild();
        QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, f.centre(leg));
        QCOMPARE(f.view.mouseNode(), leg);
        if (what == 0)
            f.model.removeNode(f.call1);
        else if (what == 1)
            f.model.removeNode(f.call1->firstChild());
        else
            f.model.clear();
        QCOMPARE(f.view.mouseNode(), what == 1 ? leg : nullptr);
    }

    // After a bulk change the view shows what the model holds, open rows open,
    // and paints nothing while the change runs.
    void bulkChange()
    {
        Fixture f;
        f.view.selectNode(f.call2);
        f.model.beginBulkChange();
        QVERIFY(!f.view.updatesEnabled());
        f.model.setRedraw(false);
        f.model.setRedraw(true); // a nested build switching redraw on does not paint yet
        QVERIFY(!f.view.updatesEnabled());
        f.model.removeNode(f.call1->firstChild());
        OutlineNode *leg = f.model.appendChild(f.call1, "leg");
        f.model.appendChild(leg, "detail");
        f.model.setExpanded(f.call1, true);
        f.model.setExpanded(leg, true);
        f.view.selectNode(leg); // the view's rows are stale: refused
        f.model.endBulkChange();

        QVERIFY(f.view.updatesEnabled());
        QVERIFY(f.open(f.root) && f.open(f.call1) && f.open(leg) && !f.open(f.call2));
        QVERIFY(f.shown(leg->firstChild()) && f.shown(f.call2));
        f.view.selectNode(leg);
        QCOMPARE(f.view.selectedNode(), leg);
    }
};

QTEST_MAIN(TestOutlineView)
#include "tst_outlineview.moc"
