#include "platform/outlinemodel.h"

#include <QAbstractItemModelTester>
#include <QHash>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

using namespace quillor::platform;

Q_DECLARE_METATYPE(quillor::platform::OutlineNode *)

namespace {

const QStringList kKeys{"Conversation", "Action", "ObjectID", "NodeType", "ChildAlias"};

QHash<QString, OutlineNode *> build(OutlineModel &m)
{
    QHash<QString, OutlineNode *> rows{{"Root", m.setRoot("Root")}};
    const std::pair<const char *, const char *> links[] = {{"Root", "A"}, {"A", "A1"},   {"A", "A2"},
                                                           {"A2", "A2a"}, {"A2", "A2b"}, {"Root", "B"},
                                                           {"Root", "C"}, {"C", "C1"},   {"C1", "C1a"}};
    for (const auto &[parent, child] : links)
        rows[child] = m.appendChild(rows[parent], child);
    return rows;
}

// Walks by child index only, so it does not lean on the model's own walking code;
// on the way it checks that every row knows its level, parent and place.
void walk(const OutlineModel &m, const OutlineNode *n, QStringList &out, const OutlineNode *parent = nullptr, int row = 0)
{
    const int level = parent ? parent->level() + 1 : 0;
    out << (n->level() == level && n->parent() == parent && n->indexInParent() == row ? m.mainText(n) : "BROKEN");
    for (int i = 0; i < n->childCount(); ++i)
        walk(m, n->child(i), out, n, i);
}

QString dump(const OutlineModel &m)
{
    QStringList out;
    if (m.root())
        walk(m, m.root(), out);
    return out.join(u' ');
}

} // namespace

class TestOutlineModel : public QObject {
    Q_OBJECT
private slots:
    void edits_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("expected");
        QTest::newRow("append") << "insert" << "A" << -1 << "Root A A1 A2 A2a A2b X B C C1 C1a";
        QTest::newRow("front") << "insert" << "Root" << 0 << "Root X A A1 A2 A2a A2b B C C1 C1a";
        QTest::newRow("between") << "insert" << "A" << 1 << "Root A A1 X A2 A2a A2b B C C1 C1a";
        QTest::newRow("past the end") << "insert" << "Root" << 99 << "Root A A1 A2 A2a A2b B C C1 C1a X";
        QTest::newRow("leaf") << "remove" << "A1" << 0 << "Root A A2 A2a A2b B C C1 C1a";
        QTest::newRow("subtree") << "remove" << "A" << 0 << "Root B C C1 C1a";
        QTest::newRow("root empties") << "remove" << "Root" << 0 << "";
        QTest::newRow("children of A") << "children" << "A" << 0 << "Root A B C C1 C1a";
        QTest::newRow("children of root") << "children" << "Root" << 0 << "Root";
    }
    void edits()
    {
        QFETCH(QString, op);
        QFETCH(QString, target);
        QFETCH(int, position);
        QFETCH(QString, expected);
        OutlineModel model(kKeys);
        const auto rows = build(model);
        if (op == "insert") {
            const OutlineNode *added = model.insertChild(rows[target], position, "X");
            QVERIFY(added && !added->isExpanded());
        } else if (op == "remove") {
            model.removeNode(rows[target]);
        } else {
            model.removeChildren(rows[target]);
        }
        QCOMPARE(dump(model), expected);
        const int total = expected.isEmpty() ? 0 : int(expected.count(u' ')) + 1;
        QCOMPARE(model.totalRows(), total);
        QCOMPARE(model.isEmpty(), total == 0);
        // The depth-first numbering agrees with the counter and with the rows.
        QStringList numbered;
        for (OutlineNode *n = model.root(); n; n = model.nextInTree(n)) {
            QCOMPARE(model.rowNumber(n), int(numbered.size()));
            QCOMPARE(model.nodeAtRow(int(numbered.size())), n);
            numbered << model.mainText(n);
        }
        QCOMPARE(numbered.join(u' '), expected);
        QCOMPARE(model.nodeAtRow(total), nullptr);
        QCOMPARE(model.nodeAtRow(-1), nullptr);
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected"); // parent first last next previous nextInTree level count
        QTest::newRow("root") << "Root" << "- A C - - A 0 3";
        QTest::newRow("link") << "A" << "Root A1 A2 B - A1 1 2";
        QTest::newRow("last leaf climbs") << "A2b" << "A2 - - - A2a B 3 0";
        QTest::newRow("last row") << "C1a" << "C1 - - - - - 3 0";
    }
    void navigation()
    {
        QFETCH(QString, name);
        OutlineModel model(kKeys);
        const OutlineNode *n = build(model)[name];
        const auto t = [&](const OutlineNode *r) { return r ? model.mainText(r) : QString("-"); };
        const QStringList got{t(n->parent()),      t(n->firstChild()),     t(n->lastChild()),
                              t(n->nextSibling()), t(n->previousSibling()), t(model.nextInTree(n)),
                              QString::number(n->level()), QString::number(n->childCount())};
        QTEST(got.join(u' '), "expected");
    }

    void cells_data()
    {
        QTest::addColumn<QString>("writeKey");
        QTest::addColumn<QString>("readKey");
        QTest::addColumn<int>("column");
        QTest::newRow("exact") << "ObjectID" << "ObjectID" << 2;
        QTest::newRow("lower read") << "ObjectID" << "objectid" << 2;
        QTest::newRow("upper write") << "CHILDALIAS" << "ChildAlias" << 4;
        QTest::newRow("unknown") << "Nope" << "Nope" << -1;
        QTest::newRow("prefix of a key") << "Node" << "Node" << -1;
    }
    void cells()
    {
        QFETCH(QString, writeKey);
        QFETCH(QString, readKey);
        QFETCH(int, column);
        OutlineModel model(kKeys);
        OutlineNode *root = model.setRoot("Root");
        OutlineNode *other = model.appendChild(root, "other");
        QCOMPARE(model.columnIndex(readKey), column);
        model.setCell(root, writeKey, 42);
        model.setCell(root, writeKey, "again");
        QCOMPARE(model.cell(root, readKey), column < 0 ? QVariant() : QVariant("again"));
        QVERIFY(!model.cell(other, readKey).isValid());
        for (const QString &key : kKeys) // the row's other cells stay empty
            QCOMPARE(model.cell(root, key).isValid(), column >= 0 && model.columnIndex(key) == column);
    }

    // The routing tree's call rows carry an empty placeholder until first opened.
    void placeholderReplacedOnOpen_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("filled") << false;
        QTest::newRow("cancelled") << true;
    }
    void placeholderReplacedOnOpen()
    {
        QFETCH(bool, cancel);
        OutlineModel model(kKeys);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        OutlineNode *call = model.appendChild(model.setRoot("Root"), "Call");
        model.appendChild(call, QString());
        OutlineNode *leaf = model.appendChild(model.root(), "Leaf");
        QList<OutlineNode *> asked;
        connect(&model, &OutlineModel::beforeExpand, this, [&](OutlineNode *node, bool &c) {
            asked << node;
            c = cancel;
            if (!cancel && node->childCount() == 1 && model.mainText(node->firstChild()).isEmpty()) {
                model.removeNode(node->firstChild());
                for (const char *leg : {"Leg 1", "Leg 2", "Leg 3"})
                    model.appendChild(node, leg);
            }
        });
        QSignalSpy changed(&model, &OutlineModel::expansionChanged);

        QCOMPARE(model.setExpanded(call, true), !cancel);
        const QString filled = cancel ? "Root Call  Leaf" : "Root Call Leg 1 Leg 2 Leg 3 Leaf";
        QCOMPARE(dump(model), filled);
        QCOMPARE(model.totalRows(), cancel ? 4 : 6);
        QCOMPARE(changed.count(), cancel ? 0 : 1);
        QCOMPARE(model.setExpanded(call, true), !cancel); // open already: nobody asked again
        QVERIFY(!model.setExpanded(call, false));
        QCOMPARE(dump(model), filled); // closing keeps the children
        QCOMPARE(model.setExpanded(call, true), !cancel); // asked again; no placeholder left
        QCOMPARE(dump(model), filled);
        QCOMPARE(asked.count(), cancel ? 3 : 2);
        QCOMPARE(model.setExpanded(leaf, true), !cancel); // a leaf just records the state
        QCOMPARE(leaf->isExpanded(), !cancel);
        if (!cancel)
            QCOMPARE(changed.at(1), (QList<QVariant>{QVariant::fromValue(call), false}));
    }

    void showOutlineToLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("open");
        QTest::newRow("0 closes all") << 0 << "";
        QTest::newRow("1 root only") << 1 << "Root";
        QTest::newRow("2") << 2 << "Root A C";
        QTest::newRow("3") << 3 << "Root A A2 C C1";
        QTest::newRow("below the leaves, which keep their state") << 9 << "Root A A2 C C1 C1a";
    }
    void showOutlineToLevel()
    {
        QFETCH(int, level);
        QFETCH(QString, open);
        OutlineModel model(kKeys);
        const auto rows = build(model);
        for (const char *n : {"A2", "C1a", "Root"}) // a deep row and a leaf open, the links closed
            model.setExpanded(rows[n], true);
        connect(&model, &OutlineModel::beforeExpand, this, [](OutlineNode *, bool &) { QFAIL("asked"); });
        QSignalSpy changed(&model, &OutlineModel::expansionChanged);

        model.showOutlineToLevel(level);
        QStringList isOpen;
        for (OutlineNode *n = model.root(); n; n = model.nextInTree(n))
            isOpen << (n->isExpanded() ? model.mainText(n) : QString());
        isOpen.removeAll(QString());
        QCOMPARE(isOpen.join(u' '), open);
        // Exactly the rows whose state moved were announced, with their new state.
        const QSet<QString> before{"Root", "A2", "C1a"}, after(isOpen.cbegin(), isOpen.cend());
        QCOMPARE(changed.count(), int((before - after).size() + (after - before).size()));
        for (const QList<QVariant> &args : changed)
            QCOMPARE(args.at(0).value<OutlineNode *>()->isExpanded(), args.at(1).toBool());
    }

    void itemModelContract()
    {
        OutlineModel model(kKeys);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        auto rows = build(model);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.nodeOf(model.index(0, 0)), rows["Root"]);
        const QModelIndex a2 = model.indexOf(rows["A2"]);
        QCOMPARE(model.index(1, 0, model.index(0, 0, model.index(0, 0))), a2);
        QCOMPARE(model.data(a2).toString(), "A2");

        model.insertChild(rows["A"], 0, "A0");
        QCOMPARE(inserted.last(), (QList<QVariant>{model.indexOf(rows["A"]), 0, 0}));
        QCOMPARE(model.indexOf(rows["A2"]).row(), 2);
        model.removeNode(rows["C1"]);
        QCOMPARE(removed.last(), (QList<QVariant>{model.indexOf(rows["C"]), 0, 0}));
        model.removeChildren(rows["A"]);
        QCOMPARE(removed.last(), (QList<QVariant>{model.indexOf(rows["A"]), 0, 2}));
        model.removeNode(rows["Root"]);
        model.clear(); // already empty: no reset
        rows = build(model);
        model.clear();
        QCOMPARE(reset.count(), 4);
        QCOMPARE(model.rowCount(), 0);
    }

    // Views hear of a bulk change once, as a reset, whatever it did to the rows.
    void bulkChange()
    {
        OutlineModel model(kKeys);
        auto rows = build(model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy opened(&model, &OutlineModel::expansionChanged);
        int asked = 0;
        connect(&model, &OutlineModel::beforeExpand, this, [&](OutlineNode *, bool &) { ++asked; });

        model.beginBulkChange();
        model.beginBulkChange(); // nested: still one reset, at the outer end
        QVERIFY(model.inBulkChange());
        model.removeNode(rows["A1"]);
        model.removeChildren(rows["C"]);
        OutlineNode *b1 = model.appendChild(rows["B"], "B1");
        model.insertChild(rows["B"], 0, "B0");
        model.setMainText(b1, "B1'");
        model.setPicture(b1, "phone");
        model.setExpanded(rows["B"], true);
        model.showOutlineToLevel(2);
        model.endBulkChange();
        QCOMPARE(reset.count(), 0);
        model.endBulkChange();
        model.endBulkChange(); // unbalanced: ignored
        QVERIFY(!model.inBulkChange());

        QCOMPARE(reset.count(), 1);
        QCOMPARE(inserted.count() + removed.count() + changed.count() + opened.count(), 0);
        QCOMPARE(asked, 1); // the program's own handlers still hear of opening
        QCOMPARE(dump(model), "Root A A2 A2a A2b B B0 B1' C");
        QCOMPARE(model.totalRows(), 9);
        QVERIFY(rows["B"]->isExpanded() && rows["A"]->isExpanded() && !rows["A2"]->isExpanded());
        QCOMPARE(model.nodeOf(model.index(1, 0, model.indexOf(rows["B"]))), b1);

        // Rebuilding from scratch inside a bulk change is one reset too.
        model.beginBulkChange();
        model.clear();
        rows = build(model);
        model.endBulkChange();
        QCOMPARE(reset.count(), 2);
        QCOMPARE(dump(model), "Root A A1 A2 A2a A2b B C C1 C1a");
    }

    // Rows appended in a scope reach views once, complete; anything else done
    // to the scope's row meanwhile shows them first.
    void appendScope_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("insertions");
        QTest::newRow("nothing else") << "" << "Root A A1 A2 A2a A2b X Y Y1 Late B C C1 C1a" << 1;
        QTest::newRow("a row inserted in front") << "insert" << "Root A F A1 A2 A2a A2b X Y Y1 Late B C C1 C1a" << 3;
        QTest::newRow("a child removed") << "remove" << "Root A A2 A2a A2b X Y Y1 Late B C C1 C1a" << 2;
        QTest::newRow("a scope of its own below") << "nested" << "Root A A1 A2 A2a A2b Z X Y Y1 Late B C C1 C1a" << 3;
        QTest::newRow("the row removed") << "remove A" << "Root B C C1 C1a" << 1;
    }
    void appendScope()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, expected);
        QFETCH(int, insertions);
        OutlineModel model(kKeys);
        auto rows = build(model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        model.beginAppendRows(rows["A"]);
        OutlineNode *x = model.appendChild(rows["A"], "X");
        OutlineNode *y = model.appendChild(rows["A"], "Y");
        model.appendChild(y, "Y1");
        model.setMainText(x, "X'");
        model.setMainText(x, "X");
        model.setPicture(y, "phone");
        QCOMPARE(rows["A"]->childCount(), 2); // not among the children yet
        QCOMPARE(x->parent(), rows["A"]);
        QCOMPARE(model.totalRows(), 13);
        if (meanwhile == "insert") {
            model.insertChild(rows["A"], 0, "F");
        } else if (meanwhile == "remove") {
            model.removeNode(rows["A1"]);
        } else if (meanwhile == "nested") {
            model.beginAppendRows(rows["A2"]);
            model.appendChild(rows["A2"], "Z");
            model.endAppendRows();
        } else if (meanwhile == "remove A") {
            model.removeNode(rows["A"]);
        }
        if (meanwhile != "remove A")
            model.appendChild(rows["A"], "Late"); // collected as long as the scope lasts
        model.endAppendRows();
        model.endAppendRows(); // unbalanced: ignored

        QCOMPARE(dump(model), expected);
        QCOMPARE(model.totalRows(), int(expected.count(u' ')) + 1);
        QCOMPARE(inserted.count(), insertions);
        QCOMPARE(changed.count(), 0);
        if (meanwhile != "remove A")
            QCOMPARE(model.picture(y), QStringLiteral("phone"));
    }

    void textAndPicture()
    {
        OutlineModel model(kKeys);
        OutlineNode *root = model.setRoot("Root");
        OutlineNode *leg = model.appendChild(root, "Leg");
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        const QModelIndex index = model.indexOf(leg);
        model.setMainText(leg, "Leg 2");
        model.setMainText(leg, "Leg 2"); // unchanged: no signal
        model.setPicture(leg, "phone");
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0), (QList<QVariant>{index, index, QVariant::fromValue(QList<int>{Qt::DisplayRole})}));
        QCOMPARE(changed.at(1).at(2).value<QList<int>>(), QList<int>{Qt::DecorationRole});
        QCOMPARE(model.data(index).toString(), "Leg 2");

        QVERIFY(!model.data(index, Qt::DecorationRole).isValid()); // no provider yet
        model.setPictureProvider([](const QString &key) {
            QPixmap pixmap(8, 8);
            pixmap.fill(Qt::red);
            return key == "phone" ? QIcon(pixmap) : QIcon();
        });
        QVERIFY(!model.data(index, Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(!model.data(model.indexOf(root), Qt::DecorationRole).isValid());

        QSignalSpy redraw(&model, &OutlineModel::redrawChanged);
        model.setRedraw(false);
        model.setRedraw(false);
        QVERIFY(!model.redraw());
        model.setRedraw(true);
        QCOMPARE(redraw, (QList<QList<QVariant>>{{false}, {true}}));
    }

};

QTEST_MAIN(TestOutlineModel)
#include "tst_outlinemodel.moc"
