// The action popup in the real main window on the sample server: opened from
// the Set buttons and the key grid, answered by clicking its entries, checked
// in the database, the audit line, the detail page and the routing tree.
#include "actions/actionpopup.h"
#include "common/appcontext.h"
#include "details/callhandlerpage.h"
#include "details/keygrid.h"
#include "embedded/sampleids.h"
#include "mainwindow/routingtree.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "treehelpers.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace quillor;
using platform::OutlineNode;
using test::link;
namespace ids = quillor::embedded::SampleIds;

namespace {

// What the popup showed when it opened.
struct Popup {
    bool shown = false;
    QStringList offered; // visible entries' short names (separators left out), in menu order
    QStringList ticked;
    QStringList disabled;
};

QString shortName(const QAction *a) { return a->objectName().mid(int(qstrlen("PopupAction"))); }

} // namespace

class TestActionPopup : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void entriesWriteTheirAction_data();
    void entriesWriteTheirAction();
    void popupShowsTheStoredAction();
    void rightPressOpensTheKeyUnderThePointer();
    void slotNotFound();
    void ringPhonePair_data();
    void ringPhonePair();
    void lockKey_data();
    void lockKey();
    void sendToSubscriber_data();
    void sendToSubscriber();
    void refreshReachesEveryOpenedRow();
    void refreshRebuildsARowWithOneLink();

private:
    frmMain &window() { return *m_f.window; }
    CallHandlerPage &page() { return window().callHandlerPage(); }
    RoutingTree &tree() { return window().routingTree(); }
    platform::OutlineTreeView *treeView() { return window().findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree")); }
    // Runs `open` and answers the popup it opens by clicking `entry` ("" dismisses it).
    Popup answer(const std::function<void()> &open, const QString &entry);
    Popup doubleClickKey(int row, const QString &entry);
    // Shows a call handler's page as the tree does for one of its rows.
    void select(OutlineNode *row);
    QString stored(const QString &sql, const QString &id);
    QStringList auditLines();
    OutlineNode *open(OutlineNode *parent, const QString &key);

    test::MainWindowFixture m_f;
};

void TestActionPopup::init()
{
    QVERIFY(m_f.start());
    m_f.seams->messages->shown.clear();
}

void TestActionPopup::cleanup()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    while (QWidget *modal = QApplication::activeModalWidget())
        modal->close();
    m_f.stop();
}

Popup TestActionPopup::answer(const std::function<void()> &open, const QString &entry)
{
    Popup seen;
    QTimer probe;
    probe.setInterval(5);
    connect(&probe, &QTimer::timeout, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || menu->objectName() != QLatin1String("PopupAction"))
            return;
        probe.stop();
        seen.shown = true;
        QAction *chosen = nullptr;
        for (QAction *a : menu->actions()) {
            if (a->isSeparator() || !a->isVisible())
                continue;
            seen.offered << shortName(a);
            if (a->isChecked())
                seen.ticked << shortName(a);
            if (!a->isEnabled())
                seen.disabled << shortName(a);
            if (shortName(a) == entry)
                chosen = a;
        }
        if (chosen)
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
        else
            menu->close();
    });
    probe.start();
    open();
    return seen;
}

Popup TestActionPopup::doubleClickKey(int row, const QString &entry)
{
    KeyGridWidget *grid = page().gridHandlerKeys;
    page().tabHandlerInfo->setCurrentWidget(page().pageUserInput);
    const QPoint at = grid->visualItemRect(grid->item(row, 0)).center();
    return answer(
        [&] {
            // The first click makes the row current, the second one is the double-click.
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        },
        entry);
}

void TestActionPopup::select(OutlineNode *row)
{
    treeView()->selectNode(row);
    m_f.seams->messages->shown.clear();
}

QString TestActionPopup::stored(const QString &sql, const QString &id)
{
    AppContext &ctx = m_f.server->ctx();
    platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString, sql, {id});
    if (rs.RecordCount() != 1)
        return QStringLiteral("(no row)");
    rs.MoveFirst();
    QStringList values;
    for (const QString &name : rs.fieldNames())
        values << (rs.isNull(name) ? QStringLiteral("<null>") : rs.text(name));
    return values.join(u'|');
}

QStringList TestActionPopup::auditLines()
{
    QFile file(m_f.server->ctx().log().gLogFileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QString &line : QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n")))
        if (line.contains(QLatin1String("UPDATE, ")))
            lines << line.mid(line.indexOf(QLatin1String(", ")) + 2);
    return lines;
}

OutlineNode *TestActionPopup::open(OutlineNode *parent, const QString &key)
{
    OutlineNode *row = link(tree(), parent, key);
    if (row)
        tree().openRow(row);
    return row;
}

const QString kMenuEntrySql = QStringLiteral(
    "SELECT Action, ConversationName, DestinationObjectID, DestinationObjectIDType, Locked FROM MenuEntry WHERE "
    "MenuEntryObjectID = ?");

void TestActionPopup::entriesWriteTheirAction_data()
{
    QTest::addColumn<QString>("opener"); // a key row, or a Set button by object name
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("audit");
    QTest::addColumn<QString>("treeRow"); // the root's link afterwards ("" not shown)
    QTest::addColumn<QString>("pageText"); // the control showing the slot, "name=text"

    QTest::newRow("key 5, hang up")
        << "key 5" << "HangUp" << kMenuEntrySql << ids::menuEntryId(ids::OpeningGreeting, 5) << "1|<null>|<null>|0|0"
        << "UPDATE, Call Handler, openinggreetingch, MenuEntry, 5, Action, Hang Up" << "5: Hang Up" << "";
    QTest::newRow("key 9, skip greeting")
        << "key 9" << "SkipGreeting" << kMenuEntrySql << ids::menuEntryId(ids::OpeningGreeting, 9)
        << "5|<null>|<null>|0|0" << "UPDATE, Call Handler, openinggreetingch, MenuEntry, 9, Action, Skip Greeting"
        << "9: Skip Greeting" << "";
    QTest::newRow("busy greeting, hotel")
        << "cmbHandlerGreetingChangeAfterGreetingAction(2)" << "HotelCheckedOut"
        << "SELECT Action, ConversationName, DestinationObjectID FROM MessagingRule WHERE MessagingRuleObjectID = ?"
        << ids::greetingId(ids::OpeningGreeting, 2) << "2|ConvHotelCheckedOut|<null>"
        << "UPDATE, Call Handler, openinggreetingch, MessagingRule, Busy, Action, Route to checked out hotel guest "
           "conversation"
        << "" << "txtHandlerGreetingsAfterGreetingAction(2)=Route to checked out hotel guest conversation";
    QTest::newRow("after message, greetings administrator")
        << "cmdHandlerSetAfterMessageAction" << "GreetingsAdministrator"
        << "SELECT AfterMessageAction, AfterMessageConversation, AfterMessageObjectID FROM CallHandler WHERE "
           "CallHandlerObjectID = ?"
        << ids::OpeningGreeting << "2|GreetingsAdministrator|<null>"
        << "UPDATE, , , CallHandler, openinggreetingch, AfterMessageAction, Route to greetings administration"
        << "AM: Route to greetings administration"
        << "txtHandlerMessagesAfterMessageAction=Route to greetings administration";
}

void TestActionPopup::entriesWriteTheirAction()
{
    QFETCH(QString, opener);
    QFETCH(QString, entry);
    QFETCH(QString, sql);
    QFETCH(QString, id);
    QFETCH(QString, after);
    QFETCH(QString, audit);
    QFETCH(QString, treeRow);
    QFETCH(QString, pageText);

    OutlineNode *root = tree().ATTree().root();
    select(root);
    Popup popup;
    if (opener.startsWith(QLatin1String("key "))) {
        popup = doubleClickKey(KeyGridWidget::rowOfKey(opener.mid(4)), entry);
    } else {
        auto *button = window().findChild<QPushButton *>(opener);
        QVERIFY2(button && button->isEnabled(), qPrintable(opener));
        popup = answer([&] { QTest::mouseClick(button, Qt::LeftButton); }, entry);
    }
    QVERIFY(popup.shown);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
    QCOMPARE(stored(sql, id), after);
    QCOMPARE(auditLines(), QStringList{audit});
    if (!treeRow.isEmpty())
        QCOMPARE(tree().ATTree().mainText(link(tree(), root, treeRow.section(u':', 0, 0))), treeRow);
    if (opener.startsWith(QLatin1String("key "))) {
        const int row = KeyGridWidget::rowOfKey(opener.mid(4));
        QCOMPARE(page().gridHandlerKeys->cellText(row, QStringLiteral("Action")), treeRow.section(QStringLiteral(": "), 1));
    } else {
        auto *box = window().findChild<QLineEdit *>(pageText.section(u'=', 0, 0));
        QVERIFY(box);
        QCOMPARE(box->text(), pageText.section(u'=', 1));
    }
    // The tree kept its selection, and pages load again.
    QCOMPARE(treeView()->selectedNode(), root);
    QVERIFY(!m_f.server->ctx().state().bSuppressTabLoad);
}

void TestActionPopup::popupShowsTheStoredAction()
{
    select(tree().ATTree().root());
    // Changed behind the page's back: the popup reads the server, not the grid.
    QVERIFY(test::sql(m_f.server->ctx(), QStringLiteral("UPDATE MenuEntry SET Action = 2, ConversationName = 'PHGreeting', "
                                                        "DestinationObjectID = ?, DestinationObjectIDType = 3 WHERE "
                                                        "MenuEntryObjectID = ?"),
                      {ids::AliceAdminHandler, ids::menuEntryId(ids::OpeningGreeting, 8)}));
    const Popup popup = doubleClickKey(8, QString());
    QVERIFY(popup.shown);
    QCOMPARE(popup.offered, (QStringList{"IgnoreKey", "HangUp", "TakeMessage", "SkipGreeting", "SignIn", "EasySignIn",
                                         "GreetingsAdministrator", "BroadcatMessageAdministrator", "HotelCheckedOut",
                                         "SystemTransfer", "SubscriberSystemTransfer", "CVMMailboxReset",
                                         "SendToDirectoryHandler", "SendToCallHandler", "SendToSubscriber",
                                         "SendToInterviewer", "LockKey", "AttemptToRingPhone", "SendToGreeting"}));
    QCOMPARE(popup.ticked, (QStringList{"SendToSubscriber", "SendToGreeting"}));
    QCOMPARE(popup.disabled, (QStringList{"SendToDirectoryHandler", "SendToCallHandler", "SendToInterviewer"}));
    QCOMPARE(m_f.server->ctx().state().iActionTarget, qint16(TargetMenuEntry));
    QCOMPARE(auditLines(), QStringList{});

    // The locked "*" key shows its lock.
    QCOMPARE(doubleClickKey(10, QString()).ticked, (QStringList{"SignIn", "LockKey"}));
}

void TestActionPopup::rightPressOpensTheKeyUnderThePointer()
{
    select(tree().ATTree().root());
    KeyGridWidget *grid = page().gridHandlerKeys;
    page().tabHandlerInfo->setCurrentWidget(page().pageUserInput);
    grid->setCurrentCell(1, 0);
    const QPoint at = grid->visualItemRect(grid->item(7, 0)).center();
    const Popup popup = answer([&] { QTest::mousePress(grid->viewport(), Qt::RightButton, {}, at); }, "SignIn");
    QVERIFY(popup.shown);
    QCOMPARE(grid->currentRow(), 7);
    QCOMPARE(stored(kMenuEntrySql, ids::menuEntryId(ids::OpeningGreeting, 7)), QStringLiteral("2|SubSignIn|<null>|0|0"));

    // Below the last key, and with the left button: no popup.
    const QPoint below(at.x(), grid->viewport()->height() - 1);
    QVERIFY(grid->rowAt(below.y()) < 0);
    QVERIFY(!answer([&] { QTest::mousePress(grid->viewport(), Qt::RightButton, {}, below); }, "HangUp").shown);
    QVERIFY(!answer([&] { QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, at); }, "HangUp").shown);
    QCOMPARE(auditLines().size(), 1);
}

void TestActionPopup::slotNotFound()
{
    select(tree().ATTree().root());
    AppContext &ctx = m_f.server->ctx();
    ctx.state().iActionTarget = TargetAfterGreeting;
    QVERIFY(test::sql(ctx, QStringLiteral("DELETE FROM MenuEntry WHERE MenuEntryObjectID = ?"),
                      {ids::menuEntryId(ids::OpeningGreeting, 2)}));
    QVERIFY(!doubleClickKey(2, QStringLiteral("HangUp")).shown);
    QCOMPARE(m_f.seams->messages->texts(),
             QStringList{"Error, could not find the menu entries with alias =2 for the currently selected call handler"});
    // The slot stays the one opened before.
    QCOMPARE(ctx.state().iActionTarget, qint16(TargetAfterGreeting));
}

void TestActionPopup::ringPhonePair_data()
{
    QTest::addColumn<QString>("handler"); // the root's key leading to it ("" the root)
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QString>("after");

    // The opening greeting's key 0 rings the operator; the sales key 1 sends callers to the opening greeting.
    const QString ring = "2|PHTransfer|" + ids::Operator + "|3|0";
    const QString greet = "2|PHGreeting|" + ids::Operator + "|3|0";
    QTest::newRow("ring, ticked") << "" << 0 << "AttemptToRingPhone" << QStringList{"SendToCallHandler", "AttemptToRingPhone"} << greet;
    QTest::newRow("greeting, not ticked") << "" << 0 << "SendToGreeting" << QStringList{"SendToCallHandler", "AttemptToRingPhone"} << greet;
    const QString salesRing = "2|PHTransfer|" + ids::OpeningGreeting + "|3|0";
    QTest::newRow("ring, not ticked") << "1" << 1 << "AttemptToRingPhone" << QStringList{"SendToCallHandler", "SendToGreeting"} << salesRing;
    QTest::newRow("greeting, ticked") << "1" << 1 << "SendToGreeting" << QStringList{"SendToCallHandler", "SendToGreeting"} << salesRing;
}

void TestActionPopup::ringPhonePair()
{
    QFETCH(QString, handler);
    QFETCH(int, key);
    QFETCH(QString, entry);
    QFETCH(QStringList, ticked);
    QFETCH(QString, after);

    OutlineNode *row = tree().ATTree().root();
    if (!handler.isEmpty())
        row = link(tree(), row, handler);
    select(row);
    const QString id = ids::menuEntryId(window().CurrentlySelectedObject().ObjectID, key);
    const Popup popup = doubleClickKey(key, entry);
    QCOMPARE(popup.ticked, ticked);
    QCOMPARE(stored(kMenuEntrySql, id), after);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
}

void TestActionPopup::lockKey_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("locked");

    QTest::newRow("lock key 4") << 4 << true;
    QTest::newRow("unlock the locked star") << 10 << false;
}

void TestActionPopup::lockKey()
{
    QFETCH(int, key);
    QFETCH(bool, locked);

    select(tree().ATTree().root());
    const Popup popup = doubleClickKey(key, QStringLiteral("LockKey"));
    QCOMPARE(popup.ticked.contains(QStringLiteral("LockKey")), !locked);
    const QString word = locked ? QStringLiteral("True") : QStringLiteral("False");
    QCOMPARE(stored(QStringLiteral("SELECT Locked FROM MenuEntry WHERE MenuEntryObjectID = ?"),
                    ids::menuEntryId(ids::OpeningGreeting, key)),
             locked ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(auditLines(), QStringList{"UPDATE, CallHandler, openinggreetingch, MenuEntry, " + KeyGridWidget::keyText(key)
                                       + ", Locked, " + word});
    // The page was loaded again and shows the stored lock.
    QCOMPARE(page().gridHandlerKeys->isLocked(key), locked);
}

void TestActionPopup::sendToSubscriber_data()
{
    QTest::addColumn<bool>("pick");
    QTest::newRow("picked") << true;
    QTest::newRow("cancelled") << false;
}

void TestActionPopup::sendToSubscriber()
{
    QFETCH(bool, pick);

    OutlineNode *root = tree().ATTree().root();
    select(root);
    const QString before = stored(kMenuEntrySql, ids::menuEntryId(ids::OpeningGreeting, 9));
    QTimer picker;
    picker.setInterval(5);
    connect(&picker, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("frmSubscriberSearch"))
            return;
        picker.stop();
        if (!pick) {
            dialog->reject();
            return;
        }
        dialog->findChild<QLineEdit *>(QStringLiteral("txtSearchString"))->setText(QStringLiteral("Admin"));
        dialog->findChild<QPushButton *>(QStringLiteral("cmdSearch"))->click();
        auto *grid = dialog->findChild<QTableView *>(QStringLiteral("myGrid"));
        grid->selectRow(0);
        dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        if (dialog->isVisible()) // the pick failed: the test fails rather than waits
            dialog->reject();
    });
    picker.start();
    QVERIFY(doubleClickKey(9, QStringLiteral("SendToSubscriber")).shown);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
    if (!pick) {
        QCOMPARE(stored(kMenuEntrySql, ids::menuEntryId(ids::OpeningGreeting, 9)), before);
        QCOMPARE(auditLines(), QStringList{});
        return;
    }
    // The subscriber's call handler is the destination.
    QCOMPARE(stored(kMenuEntrySql, ids::menuEntryId(ids::OpeningGreeting, 9)),
             "2|PHGreeting|" + ids::AliceAdminHandler + "|3|0");
    QCOMPARE(auditLines(), QStringList{"UPDATE, Call Handler, openinggreetingch, MenuEntry, 9, Action, Send to greeting "
                                       "for: Alice Admin"});
    OutlineNode *row = link(tree(), root, QStringLiteral("9"));
    QCOMPARE(tree().ATTree().mainText(row), QStringLiteral("9: Send to greeting for: Alice Admin"));
    QCOMPARE(tree().nodeType(row), qint16(NodeSubscriber));
}

void TestActionPopup::refreshReachesEveryOpenedRow()
{
    // The operator stands in the tree under the root's key 0 (opened), under
    // sales (opened), under support (opened and closed again) and under Bob
    // Sales' key 0 (never opened).
    OutlineNode *root = tree().ATTree().root();
    OutlineNode *first = open(root, QStringLiteral("0"));
    OutlineNode *viaSales = open(open(root, QStringLiteral("1")), QStringLiteral("0"));
    OutlineNode *viaSupport = open(open(root, QStringLiteral("2")), QStringLiteral("0"));
    tree().ATTree().setExpanded(viaSupport, false);
    OutlineNode *viaBob = link(tree(), open(root, QStringLiteral("3")), QStringLiteral("0"));
    QVERIFY(first && viaSales && viaSupport && viaBob);
    QVERIFY(!tree().isOpened(viaBob));

    select(viaSales);
    QCOMPARE(window().CurrentlySelectedObject().ObjectID, ids::Operator);
    QVERIFY(doubleClickKey(11, QStringLiteral("SignIn")).shown);

    const QString text = QStringLiteral("#: Route to subscriber sign in");
    for (OutlineNode *row : {first, viaSales}) {
        QVERIFY(row->isExpanded());
        QVERIFY(treeView()->isExpanded(tree().ATTree().indexOf(row)));
        QCOMPARE(tree().ATTree().mainText(link(tree(), row, QStringLiteral("#"))), text);
    }
    QCOMPARE(treeView()->selectedNode(), viaSales);
    // Closed rows build their links anew when they are opened.
    QVERIFY(!tree().isOpened(viaSupport));
    for (OutlineNode *row : {viaSupport, viaBob}) {
        tree().openRow(row);
        QCOMPARE(tree().ATTree().mainText(link(tree(), row, QStringLiteral("#"))), text);
    }
    QVERIFY(!m_f.server->ctx().state().bSuppressTabLoad);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestActionPopup::refreshRebuildsARowWithOneLink()
{
    // Without leaves the operator's only link is its after-message action.
    window().findChild<QAction *>(QStringLiteral("ShowNoLeafs"))->trigger();
    OutlineNode *operatorRow = open(tree().ATTree().root(), QStringLiteral("0"));
    QCOMPARE(test::childKeys(tree(), operatorRow), QStringList{"AM"});
    select(operatorRow);
    QVERIFY(answer([&] { page().cmdHandlerSetAfterMessageAction->click(); }, QStringLiteral("AttemptToRingPhone")).shown);
    QCOMPARE(tree().ATTree().mainText(link(tree(), operatorRow, QStringLiteral("AM"))),
             QStringLiteral("AM: Ring phone for: Goodbye"));
}

QTEST_MAIN(TestActionPopup)
#include "tst_actionpopup.moc"
