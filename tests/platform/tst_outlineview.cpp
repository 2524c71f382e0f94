#include "platform/outlinemodel.h"
#include "platform/outlineview.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillor::platform;

Q_DECLARE_METATYPE(quillor::platform::OutlineNode *)

namespace {

// Root with two call rows that are filled on first open, the way the routing
// tree fills them: the empty placeholder gives way to the real legs.
struct Fixture {
    OutlineModel model{{"Conversation", "Action", "ObjectID", "NodeType", "ChildAlias"}};
    OutlineTreeView view;
    OutlineNode *root = nullptr;
    OutlineNode *call1 = nullptr;
    OutlineNode *call2 = nullptr;
    bool cancel = false;
    bool openFirstLeg = false; // the handler also opens a leg it just made
    int asked = 0;

    Fixture()
    {
        root = model.setRoot("Root");
        call1 = model.appendChild(root, "Call 1");
        call2 = model.appendChild(root, "Call 2");
        for (OutlineNode *call : {call1, call2})
            model.appendChild(call, QString());
        QObject::connect(&model, &OutlineModel::beforeExpand, &view, [this](OutlineNode *node, bool &c) {
            ++asked;
            c = cancel;
            if (cancel || node->childCount() != 1 || !model.mainText(node->firstChild()).isEmpty())
                return;
            model.removeChildren(node);
            OutlineNode *leg = model.appendChild(node, model.mainText(node) + " leg a");
            model.appendChild(leg, "detail");
            model.appendChild(node, model.mainText(node) + " leg b");
            if (openFirstLeg)
                model.setExpanded(leg, true);
        });
        model.setExpanded(root, true);
        asked = 0;
        view.setOutlineModel(&model);
        view.resize(300, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }

    // What a real double click delivers: press, release, double click, release.
    void doubleClick(QPoint at)
    {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at);
    }

    QModelIndex index(OutlineNode *n) const { return model.indexOf(n); }
    QPoint centre(OutlineNode *n) const { return view.visualRect(index(n)).center(); }
    // Shown in the view means laid out with a place a user can click.
    bool shown(OutlineNode *n) const { return view.indexAt(centre(n)) == index(n); }
};

} // namespace

class TestOutlineView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<OutlineNode *>(); }

    void setup()
    {
        Fixture f;
        QVERIFY(f.view.isHeaderHidden());
        QVERIFY(f.view.uniformRowHeights());
        QVERIFY(f.view.isExpanded(f.index(f.root))); // opened before the model was shown
        QVERIFY(f.shown(f.call2));
        QVERIFY(!f.view.isExpanded(f.index(f.call1)));
    }

    void userOpens_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("nested");
        for (const char *how : {"expand", "right arrow", "double click"}) {
            QTest::addRow("%s", how) << how << false << false;
            QTest::addRow("%s cancelled", how) << how << true << false;
        }
        QTest::newRow("handler opens a new row too") << "right arrow" << false << true;
    }
    void userOpens()
    {
        QFETCH(QString, how);
        QFETCH(bool, cancel);
        QFETCH(bool, nested);
        Fixture f;
        f.cancel = cancel;
        f.openFirstLeg = nested;
        if (how == "expand") {
            f.view.expand(f.index(f.call1));
        } else if (how == "right arrow") {
            f.view.selectNode(f.call1);
            QTest::keyClick(&f.view, Qt::Key_Right);
        } else {
            f.doubleClick(f.centre(f.call1));
        }
        QCOMPARE(f.asked, nested ? 2 : 1);
        QCOMPARE(f.call1->isExpanded(), !cancel);
        QCOMPARE(f.view.isExpanded(f.index(f.call1)), !cancel);
        QCOMPARE(f.call1->childCount(), cancel ? 1 : 2);
        if (!cancel) {
            QVERIFY(f.shown(f.call1->firstChild()));
            QVERIFY(f.shown(f.call1->lastChild()));
            QCOMPARE(f.view.isExpanded(f.index(f.call1->firstChild())), nested);
            QCOMPARE(f.shown(f.call1->firstChild()->firstChild()), nested);
        }
        QVERIFY(f.shown(f.call2));

        // Closing in the view closes the model's row and keeps its children.
        f.view.collapse(f.index(f.call1));
        QVERIFY(!f.call1->isExpanded());
        QCOMPARE(f.call1->childCount(), cancel ? 1 : 2);
        QCOMPARE(f.asked, nested ? 2 : 1);
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

        QVERIFY(f.model.setExpanded(f.call1, true));
        QVERIFY(f.model.setExpanded(f.call1->firstChild(), true));
        QVERIFY(f.view.isExpanded(f.index(f.call1)));
        QVERIFY(f.view.isExpanded(f.index(f.call1->firstChild())));
        QVERIFY(f.model.setExpanded(f.call2, true));
        QCOMPARE(f.asked, 3);
        f.model.setExpanded(f.call2, false);
        QVERIFY(!f.view.isExpanded(f.index(f.call2)));

        f.model.showOutlineToLevel(1);
        QVERIFY(f.view.isExpanded(f.index(f.root)));
        for (OutlineNode *n : {f.call1, f.call1->firstChild(), f.call2})
            QVERIFY(!f.view.isExpanded(f.index(n)));
        f.model.setExpanded(f.call1, true);

        f.model.setRedraw(true);
        QVERIFY(f.view.updatesEnabled());
        QVERIFY(f.shown(f.call1->lastChild()));
        QVERIFY(!f.shown(f.call2->firstChild()));
        QCOMPARE(f.asked, 4);
    }

    void selection()
    {
        Fixture f;
        QSignalSpy moved(&f.view, &OutlineTreeView::selectionMoved);
        f.view.selectNode(f.call2);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.last().at(0).value<OutlineNode *>(), f.call2);
        QCOMPARE(f.view.selectedNode(), f.call2);
        QVERIFY(f.view.selectionModel()->isSelected(f.index(f.call2)));
        f.view.selectNode(f.call2); // already there
        QCOMPARE(moved.count(), 1);

        QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, f.centre(f.call1));
        QCOMPARE(moved.count(), 2);
        QCOMPARE(f.view.selectedNode(), f.call1);
        QCOMPARE(f.view.mouseNode(), f.call1);
        QVERIFY(!f.view.selectionModel()->isSelected(f.index(f.call2)));

        QTest::keyClick(&f.view, Qt::Key_Down);
        QCOMPARE(moved.last().at(0).value<OutlineNode *>(), f.call2);
    }

    void rightClick_data()
    {
        QTest::addColumn<int>("target"); // 0 root, 1 call 2, -1 below the rows
        QTest::newRow("root") << 0;
        QTest::newRow("call row") << 1;
        QTest::newRow("below the rows") << -1;
    }
    void rightClick()
    {
        QFETCH(int, target);
        Fixture f;
        f.view.selectNode(f.call1);
        OutlineNode *node = target == 0 ? f.root : target == 1 ? f.call2 : nullptr;
        const QPoint at = node ? f.centre(node) : QPoint(20, f.view.viewport()->height() - 5);
        QSignalSpy clicked(&f.view, &OutlineTreeView::rightClicked);
        QTest::mouseClick(f.view.viewport(), Qt::RightButton, {}, at);
        QCOMPARE(f.view.mouseNode(), node);
        if (!node) {
            QCOMPARE(clicked.count(), 0);
            QCOMPARE(f.view.selectedNode(), f.call1);
            return;
        }
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).value<OutlineNode *>(), node);
        QCOMPARE(clicked.at(0).at(1).toPoint(), f.view.viewport()->mapToGlobal(at));
        QCOMPARE(f.view.selectedNode(), node);
        QVERIFY(f.view.selectionModel()->isSelected(f.index(node)));
        QCOMPARE(f.asked, 0); // a right click opens nothing
    }

    void doubleClick()
    {
        Fixture f;
        QSignalSpy doubled(&f.view, &OutlineTreeView::rowDoubleClicked);
        f.doubleClick(f.centre(f.call2));
        QCOMPARE(doubled.count(), 1);
        QCOMPARE(doubled.at(0).at(0).value<OutlineNode *>(), f.call2);
        QVERIFY(f.call2->isExpanded());
        f.doubleClick(f.centre(f.call2));
        QVERIFY(!f.call2->isExpanded());
        QCOMPARE(doubled.count(), 2);
        f.doubleClick(QPoint(20, f.view.viewport()->height() - 5));
        QCOMPARE(doubled.count(), 2);
    }

    // The view never hands out a row the model has let go of.
    void mouseRowRemoved_data()
    {
        QTest::addColumn<int>("what"); // 0 the row's parent, 1 a sibling, 2 everything
        QTest::newRow("parent removed") << 0;
        QTest::newRow("sibling removed") << 1;
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
};

QTEST_MAIN(TestOutlineView)
#include "tst_outlineview.moc"
