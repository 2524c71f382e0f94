// The action popup in the real main window on the sample server: opened from
// the Set buttons and the key grid, answered by clicking its entries, checked
// in the database, the audit line, the detail page and the routing tree.
#include "actions/actionpopup.h"
#include "common/appcontext.h"
#include "common/objectid.h"
#include "details/callhandlerpage.h"
#include "details/keygrid.h"
#include "details/subscriberpage.h"
#include "embedded/sampleids.h"
#include "mainwindow/objectgrid.h"
#include "mainwindow/routingtree.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "treehelpers.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QAbstractItemView>
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
    void slotNotFound_data();
    void slotNotFound();
    void ringPhonePair_data();
    void ringPhonePair();
    void lockKey_data();
    void lockKey();
    void sendToSubscriber_data();
    void sendToSubscriber();
    void sendToHandler_data();
    void sendToHandler();
    void refreshReachesEveryOpenedRow_data();
    void refreshReachesEveryOpenedRow();
    void refreshKeepsTheSelectionAndTheTopRow_data();
    void refreshKeepsTheSelectionAndTheTopRow();
    void refreshRebuildsARowWithOneLink();

private:
    frmMain &window() { return *m_f.window; }
    CallHandlerPage &page() { return window().callHandlerPage(); }
    RoutingTree &tree() { return window().routingTree(); }
    platform::OutlineTreeView *treeView() { return window().findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree")); }
    // Runs `open` and answers the popup it opens by clicking `entry` ("" dismisses it).
    Popup answer(const std::function<void()> &open, const QString &entry);
    // Double-clicks a key row of the page on show (the call handler's grid unless told).
    Popup doubleClickKey(const QString &key, const QString &entry, KeyGridWidget *grid = nullptr);
    Popup pressButton(const QString &name, const QString &entry);
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

void TestActionPopup::cleanup() { m_f.stop(); }

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

namespace {

QTableWidget *tableOf(KeyGridWidget *grid) { return grid->findChild<QTableWidget *>(); }

QPoint keyPoint(KeyGridWidget *grid, const QString &key)
{
    QTableWidget *table = tableOf(grid);
    return table->visualItemRect(table->item(KeyGridWidget::rowOfKey(key) - 1, 0)).center();
}

} // namespace

Popup TestActionPopup::doubleClickKey(const QString &key, const QString &entry, KeyGridWidget *grid)
{
    if (!grid)
        grid = page().gridHandlerKeys;
    test::reveal(grid);
    QWidget *viewport = tableOf(grid)->viewport();
    const QPoint at = keyPoint(grid, key);
    return answer(
        [&] {
            // The first click makes the row current, the second one is the double-click.
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        },
        entry);
}

Popup TestActionPopup::pressButton(const QString &name, const QString &entry)
{
    auto *button = window().findChild<QPushButton *>(name);
    if (!button)
        return {};
    test::reveal(button);
    if (!button->isEnabled())
        return {};
    return answer([&] { QTest::mouseClick(button, Qt::LeftButton); }, entry);
}

void TestActionPopup::select(OutlineNode *row)
{
    treeView()->selectNode(row);
    m_f.seams->messages->shown.clear();
}

QString TestActionPopup::stored(const QString &sql, const QString &id)
{
    return test::storedRow(m_f.server->ctx(), sql, {id});
}

QStringList TestActionPopup::auditLines() { return test::auditLines(m_f.server->ctx().log().gLogFileName()); }

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
    QTest::addColumn<QString>("object");   // the root's link to the object shown ("" the root itself)
    QTest::addColumn<QString>("opener");   // "key K" on the shown page's grid, or a Set button's name
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("audit");
    QTest::addColumn<QString>("shown");    // what shows the slot afterwards: "name=text" of a box, or the root's link
    QTest::addColumn<QStringList>("messages");

    const QString greetingSql = QStringLiteral(
        "SELECT Action, ConversationName, DestinationObjectID FROM MessagingRule WHERE MessagingRuleObjectID = ?");
    const auto afterMessageSql = [](const char *table) {
        return QStringLiteral("SELECT AfterMessageAction, AfterMessageConversation, AfterMessageObjectID FROM %1 WHERE "
                              "%1ObjectID = ?")
            .arg(QString::fromLatin1(table));
    };
    const auto exitSql = [](const char *prefix, const char *table) {
        return QStringLiteral("SELECT %1Action, %1Conversation, %1ObjectID FROM %2 WHERE %2ObjectID = ?")
            .arg(QString::fromLatin1(prefix), QString::fromLatin1(table));
    };
    const QStringList none;
    const QString bob = QStringLiteral("3"), directory = QStringLiteral("4"), interview = QStringLiteral("5");

    QTest::newRow("handler key, hang up")
        << "" << "key 5" << "HangUp" << kMenuEntrySql << ids::menuEntryId(ids::OpeningGreeting, 5) << "1|<null>|<null>|0|0"
        << "UPDATE, Call Handler, openinggreetingch, MenuEntry, 5, Action, Hang Up" << "5: Hang Up" << none;
    QTest::newRow("handler key, skip greeting")
        << "" << "key 9" << "SkipGreeting" << kMenuEntrySql << ids::menuEntryId(ids::OpeningGreeting, 9)
        << "5|<null>|<null>|0|0" << "UPDATE, Call Handler, openinggreetingch, MenuEntry, 9, Action, Skip Greeting"
        << "9: Skip Greeting" << none;
    QTest::newRow("handler greeting 3 is the alternate one")
        << "" << "cmbHandlerGreetingChangeAfterGreetingAction(3)" << "HotelCheckedOut" << greetingSql
        << ids::greetingId(ids::OpeningGreeting, 3) << "2|ConvHotelCheckedOut|<null>"
        << "UPDATE, Call Handler, openinggreetingch, MessagingRule, Alternate, Action, Route to checked out hotel guest "
           "conversation"
        << "txtHandlerGreetingsAfterGreetingAction(3)=Route to checked out hotel guest conversation" << none;
    QTest::newRow("handler after message")
        << "" << "cmdHandlerSetAfterMessageAction" << "GreetingsAdministrator" << afterMessageSql("CallHandler")
        << ids::OpeningGreeting << "2|GreetingsAdministrator|<null>"
        << "UPDATE, , , CallHandler, openinggreetingch, AfterMessageAction, Route to greetings administration"
        << "AM: Route to greetings administration" << none;
    QTest::newRow("subscriber key")
        << bob << "key *" << "SignIn" << kMenuEntrySql << ids::menuEntryId(ids::BobSalesHandler, 10)
        << "2|SubSignIn|<null>|0|0" << "UPDATE, Subscriber, bsales, MenuEntry, *, Action, Route to subscriber sign in"
        << "gridSubscriberKeys=Route to subscriber sign in" << none;
    QTest::newRow("subscriber greeting 1 is the off-hours one")
        << bob << "cmdSubscriberGreetingChangeAfterGreetingAction(1)" << "HangUp" << greetingSql
        << ids::greetingId(ids::BobSalesHandler, 1) << "1|<null>|<null>"
        << "UPDATE, Subscriber, bsales, MessagingRule, OffHours, Action, Hang Up"
        << "txtSubscriberGreetingAfterGreetingAction(1)=Hang Up" << none;
    QTest::newRow("subscriber after message is its call handler's")
        << bob << "cmdSubscriberMessagesChangeAfterMessageAction" << "SystemTransfer" << afterMessageSql("CallHandler")
        << ids::BobSalesHandler << "2|CxConvSystemTransfer|<null>"
        << "UPDATE, , , Subscriber, bsales, AfterMessageAction, Route to system transfer"
        << "txtSubscriberMessagesAfterMessageAction=Route to system transfer" << none;
    // Bob's exit holds no action at all: the popup says so and ticks nothing.
    QTest::newRow("subscriber exit")
        << bob << "cmdSubscriberConversationExitAction" << "CVMMailboxReset" << exitSql("Exit", "Subscriber")
        << ids::BobSales << "2|ConvCVMMBoxReset|<null>"
        << "UPDATE, , , Subscriber, bsales, ExitAction, Route to Community Voice Mail box reset"
        << "txtSubscriberConversationExitAction=Route to Community Voice Mail box reset"
        << QStringList{"(error):94 (Invalid use of Null) in procedure cmdSubscriberConversationExitAction_Click of Form "
                       "frmMain"};
    const QList<std::array<const char *, 3>> exits = {{"Exit", "cmdDirectoryHandlerSetExit", "txtDirectoryHandlerExitAction"},
                                                      {"Zero", "cmdDirectoryHandlerSetZeroExit", "txtDirectoryHandlerZeroExitAction"},
                                                      {"NoInput", "cmdDirectoryHandlerSetNoInputExit", "txtDirectoryHandlerNoInputExitAction"},
                                                      {"NoSelection", "cmdDirectoryHandlerSetNoSelectionExit", "txtDirectoryHandlerNoSelectionExitAction"}};
    for (const auto &[prefix, button, box] : exits)
        QTest::addRow("name lookup exit %s", prefix)
            << directory << button << "SignIn" << exitSql(prefix, "NameLookupHandler") << ids::CompanyDirectory
            << "2|SubSignIn|<null>"
            << QStringLiteral("UPDATE, , , NameLookupHandler, companydirectory, %1Action, Route to subscriber sign in")
                   .arg(QString::fromLatin1(prefix))
            << QStringLiteral("%1=Route to subscriber sign in").arg(QString::fromLatin1(box)) << none;
    QTest::newRow("interview handler after message")
        << interview << "cmdInterviewerProfileChangeAfterMessageAction" << "SubscriberSystemTransfer"
        << afterMessageSql("InterviewHandler") << ids::FeedbackInterview << "2|CxConvSubSystemTransfer|<null>"
        << "UPDATE, , , InterviewHandler, feedbackih, AfterMessageAction, Route to subscriber system transfer"
        << "txtInterviewerAfterMessageAction=Route to subscriber system transfer" << none;
}

void TestActionPopup::entriesWriteTheirAction()
{
    QFETCH(QString, object);
    QFETCH(QString, opener);
    QFETCH(QString, entry);
    QFETCH(QString, sql);
    QFETCH(QString, id);
    QFETCH(QString, after);
    QFETCH(QString, audit);
    QFETCH(QString, shown);
    QFETCH(QStringList, messages);

    OutlineNode *root = tree().ATTree().root();
    OutlineNode *row = object.isEmpty() ? root : link(tree(), root, object);
    select(row);
    KeyGridWidget *grid = window().CurrentlySelectedObject().ObjectType == 1 ? window().subscriberPage().gridSubscriberKeys
                                                                            : page().gridHandlerKeys;
    const Popup popup = opener.startsWith(QLatin1String("key ")) ? doubleClickKey(opener.mid(4), entry, grid)
                                                                 : pressButton(opener, entry);
    QVERIFY(popup.shown);
    QCOMPARE(m_f.seams->messages->texts(), messages);
    QCOMPARE(stored(sql, id), after);
    QCOMPARE(auditLines(), QStringList{audit});
    // The page was loaded again, the tree follows, and both kept their place.
    const QString name = shown.section(u'=', 0, 0);
    const QString text = shown.section(u'=', 1);
    if (name == QLatin1String("gridSubscriberKeys"))
        QCOMPARE(grid->cellText(KeyGridWidget::rowOfKey(opener.mid(4)), QStringLiteral("Action")), text);
    else if (auto *box = window().findChild<QLineEdit *>(name))
        QCOMPARE(box->text(), text);
    else
        QCOMPARE(tree().ATTree().mainText(link(tree(), root, shown.section(u':', 0, 0))), shown);
    if (opener.startsWith(QLatin1String("key ")) && grid == page().gridHandlerKeys)
        QCOMPARE(grid->cellText(KeyGridWidget::rowOfKey(opener.mid(4)), QStringLiteral("Action")),
                 shown.section(QStringLiteral(": "), 1));
    QCOMPARE(treeView()->selectedNode(), row);
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
    const QStringList keyEntries{"IgnoreKey", "HangUp", "TakeMessage", "SkipGreeting", "SignIn", "EasySignIn",
                                 "GreetingsAdministrator", "BroadcatMessageAdministrator", "HotelCheckedOut",
                                 "SystemTransfer", "SubscriberSystemTransfer", "CVMMailboxReset",
                                 "SendToDirectoryHandler", "SendToCallHandler", "SendToSubscriber",
                                 "SendToInterviewer", "LockKey"};
    const Popup popup = doubleClickKey(QStringLiteral("8"), QString());
    QVERIFY(popup.shown);
    QCOMPARE(popup.offered, keyEntries + QStringList({"AttemptToRingPhone", "SendToGreeting"}));
    QCOMPARE(popup.ticked, (QStringList{"SendToSubscriber", "SendToGreeting"}));
    QCOMPARE(popup.disabled, QStringList{});
    QCOMPARE(m_f.server->ctx().state().iActionTarget, qint16(TargetMenuEntry));
    QCOMPARE(auditLines(), QStringList{});

    // The locked "*" key shows its lock.
    const Popup star = doubleClickKey(QStringLiteral("*"), QString());
    QCOMPARE(star.ticked, (QStringList{"SignIn", "LockKey"}));

    // A subscriber's key also offers the alternate transfer number.
    select(link(tree(), tree().ATTree().root(), QStringLiteral("3")));
    QStringList subscriberEntries = keyEntries;
    subscriberEntries.insert(8, QStringLiteral("AlternateTransferNumber"));
    QCOMPARE(doubleClickKey(QStringLiteral("5"), QString(), window().subscriberPage().gridSubscriberKeys).offered,
             subscriberEntries);
}

void TestActionPopup::rightPressOpensTheKeyUnderThePointer()
{
    select(tree().ATTree().root());
    KeyGridWidget *grid = page().gridHandlerKeys;
    test::reveal(grid);
    grid->setCurrentRow(KeyGridWidget::rowOfKey(QStringLiteral("1")));
    QWidget *viewport = tableOf(grid)->viewport();
    const QPoint at = keyPoint(grid, QStringLiteral("7"));
    const Popup popup = answer([&] { QTest::mousePress(viewport, Qt::RightButton, {}, at); }, "SignIn");
    QVERIFY(popup.shown);
    QCOMPARE(stored(kMenuEntrySql, ids::menuEntryId(ids::OpeningGreeting, 7)), QStringLiteral("2|SubSignIn|<null>|0|0"));

    // Below the last key, and with the left button: no popup.
    const QPoint below(at.x(), viewport->height() - 1);
    QVERIFY(tableOf(grid)->rowAt(below.y()) < 0);
    QVERIFY(!answer([&] { QTest::mousePress(viewport, Qt::RightButton, {}, below); }, "HangUp").shown);
    QVERIFY(!answer([&] { QTest::mousePress(viewport, Qt::LeftButton, {}, at); }, "HangUp").shown);
    QCOMPARE(auditLines().size(), 1);
}

void TestActionPopup::slotNotFound_data()
{
    QTest::addColumn<QString>("shown");   // the object shown: the opening greeting or a subscriber's handler
    QTest::addColumn<QString>("change");  // run once the page is loaded ("" nothing)
    QTest::addColumn<QString>("changed"); // the row it changes
    QTest::addColumn<QString>("opener");  // "key:K" double-clicked, "right:K" pressed, or a Set button
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reloaded"); // the row's ObjectID the page then holds ("" not loaded again)

    const QString handlerKey = QStringLiteral("Error, could not find the menu entries with alias =%1 for the currently "
                                              "selected call handler");
    const QString remake = QStringLiteral("UPDATE %1 SET %1ObjectID = '%2' WHERE %1ObjectID = ?");
    const QString newId = QStringLiteral("{0000EEEE-0000-4000-8000-0000000000AA}");
    const QString key2 = ids::menuEntryId(ids::OpeningGreeting, 2);
    QTest::newRow("key deleted after loading")
        << ids::OpeningGreeting << "DELETE FROM MenuEntry WHERE MenuEntryObjectID = ?" << key2 << "key:2"
        << handlerKey.arg("2") << "";
    QTest::newRow("key deleted and made again")
        << ids::OpeningGreeting << remake.arg("MenuEntry", newId) << key2 << "right:2" << handlerKey.arg("2") << newId;
    QTest::newRow("greeting deleted and made again")
        << ids::OpeningGreeting << remake.arg("MessagingRule", newId) << ids::greetingId(ids::OpeningGreeting, 0)
        << "cmbHandlerGreetingChangeAfterGreetingAction(0)" << handlerKey.arg("Standard") << newId;
    // Carol's "#" was missing when her page was loaded.
    const QString carolHash = "Error, could not find the menu entries with alias =# for the currently selected subscriber";
    QTest::newRow("key missing at loading, double-clicked")
        << ids::CarolSupportHandler << "" << "" << "key:#" << carolHash << "";
    QTest::newRow("key missing at loading, right press")
        << ids::CarolSupportHandler << "" << "" << "right:#" << carolHash << "";
}

void TestActionPopup::slotNotFound()
{
    QFETCH(QString, shown);
    QFETCH(QString, change);
    QFETCH(QString, changed);
    QFETCH(QString, opener);
    QFETCH(QString, message);
    QFETCH(QString, reloaded);

    const bool subscriber = shown != ids::OpeningGreeting;
    window().LoadTabInfo(shown, subscriber ? 1 : 3);
    m_f.seams->messages->shown.clear();
    AppContext &ctx = m_f.server->ctx();
    ctx.state().iActionTarget = TargetAfterMessage;
    if (!change.isEmpty())
        QVERIFY(test::sql(ctx, change, {changed}));
    const quint64 writes = ctx.db().writeCount();
    KeyGridWidget *grid = subscriber ? window().subscriberPage().gridSubscriberKeys : page().gridHandlerKeys;
    const QString key = opener.section(u':', 1);
    Popup popup;
    if (opener.startsWith(u"key:")) {
        popup = doubleClickKey(key, QStringLiteral("HangUp"), grid);
    } else if (opener.startsWith(u"right:")) {
        test::reveal(grid);
        popup = answer([&] { QTest::mousePress(tableOf(grid)->viewport(), Qt::RightButton, {}, keyPoint(grid, key)); },
                       QStringLiteral("HangUp"));
    } else {
        popup = pressButton(opener, QStringLiteral("HangUp"));
    }
    QVERIFY(!popup.shown);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{message});
    QCOMPARE(ctx.db().writeCount(), writes);
    QCOMPARE(auditLines(), QStringList{});
    // The slot stays the one opened before.
    QCOMPARE(ctx.state().iActionTarget, qint16(TargetAfterMessage));
    // A row made again is shown as it now is.
    if (!reloaded.isEmpty()) {
        const QString held = key.isEmpty()
                                 ? page().greetings[0].txtHandlerGreetingObjectID->text()
                                 : grid->menuEntryObjectId(KeyGridWidget::rowOfKey(key));
        QCOMPARE(test::asStored(held), reloaded);
    }
}

void TestActionPopup::ringPhonePair_data()
{
    QTest::addColumn<QString>("handler"); // the root's key leading to it ("" the root)
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QString>("after");

    // The opening greeting's key 0 rings the operator; the sales key 1 sends callers to the opening greeting.
    const QString greet = "2|PHGreeting|" + ids::Operator + "|3|0";
    const QStringList rings{"SendToCallHandler", "AttemptToRingPhone"};
    QTest::newRow("ring, ticked") << "" << "0" << "AttemptToRingPhone" << rings << greet;
    QTest::newRow("greeting, not ticked") << "" << "0" << "SendToGreeting" << rings << greet;
    const QString salesRing = "2|PHTransfer|" + ids::OpeningGreeting + "|3|0";
    const QStringList greets{"SendToCallHandler", "SendToGreeting"};
    QTest::newRow("ring, not ticked") << "1" << "1" << "AttemptToRingPhone" << greets << salesRing;
    QTest::newRow("greeting, ticked") << "1" << "1" << "SendToGreeting" << greets << salesRing;
}

void TestActionPopup::ringPhonePair()
{
    QFETCH(QString, handler);
    QFETCH(QString, key);
    QFETCH(QString, entry);
    QFETCH(QStringList, ticked);
    QFETCH(QString, after);

    OutlineNode *row = tree().ATTree().root();
    if (!handler.isEmpty())
        row = link(tree(), row, handler);
    select(row);
    const QString id = ids::menuEntryId(window().CurrentlySelectedObject().ObjectID, key.toInt());
    const Popup popup = doubleClickKey(key, entry);
    QCOMPARE(popup.ticked, ticked);
    QCOMPARE(stored(kMenuEntrySql, id), after);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
}

void TestActionPopup::lockKey_data()
{
    QTest::addColumn<QString>("object"); // the root's link to the object shown
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("locked");

    QTest::newRow("lock a handler's key 4") << "" << "4" << true;
    QTest::newRow("unlock the handler's locked star") << "" << "*" << false;
    QTest::newRow("lock a subscriber's key 2") << "3" << "2" << true;
}

void TestActionPopup::lockKey()
{
    QFETCH(QString, object);
    QFETCH(QString, key);
    QFETCH(bool, locked);

    OutlineNode *root = tree().ATTree().root();
    select(object.isEmpty() ? root : link(tree(), root, object));
    const SelectedObject shown = window().CurrentlySelectedObject();
    KeyGridWidget *grid = shown.ObjectType == 1 ? window().subscriberPage().gridSubscriberKeys : page().gridHandlerKeys;
    const Popup popup = doubleClickKey(key, QStringLiteral("LockKey"), grid);
    QCOMPARE(popup.ticked.contains(QStringLiteral("LockKey")), !locked);
    const int index = KeyGridWidget::rowOfKey(key) - 1;
    QCOMPARE(stored(QStringLiteral("SELECT Locked FROM MenuEntry WHERE MenuEntryObjectID = ?"),
                    ids::menuEntryId(normalizedObjectId(shown.ObjectID), index)),
             locked ? QStringLiteral("1") : QStringLiteral("0"));
    // A subscriber's keys belong to its call handler, also in the audit line.
    QCOMPARE(auditLines(), QStringList{"UPDATE, CallHandler, " + shown.Alias + ", MenuEntry, " + key + ", Locked, "
                                       + (locked ? QStringLiteral("True") : QStringLiteral("False"))});
    // The page was loaded again and shows the stored lock.
    QCOMPARE(grid->isLocked(KeyGridWidget::rowOfKey(key)), locked);
}

void TestActionPopup::sendToSubscriber_data()
{
    QTest::addColumn<bool>("pick");
    QTest::addColumn<bool>("moveOn"); // another object is shown while the picker is open
    QTest::newRow("picked") << true << false;
    QTest::newRow("cancelled") << false << false;
    QTest::newRow("picked after the pages moved on") << true << true;
}

void TestActionPopup::sendToSubscriber()
{
    QFETCH(bool, pick);
    QFETCH(bool, moveOn);

    OutlineNode *root = tree().ATTree().root();
    select(root);
    const QString id = ids::menuEntryId(ids::OpeningGreeting, 9);
    const QString before = stored(kMenuEntrySql, id);
    QTimer picker;
    picker.setInterval(5);
    connect(&picker, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("frmSubscriberSearch"))
            return;
        picker.stop();
        if (moveOn)
            treeView()->selectNode(link(tree(), root, QStringLiteral("1")));
        if (pick) {
            dialog->findChild<QLineEdit *>(QStringLiteral("txtSearchString"))->setText(QStringLiteral("Admin"));
            dialog->findChild<QPushButton *>(QStringLiteral("cmdSearch"))->click();
            dialog->findChild<QTableView *>(QStringLiteral("myGrid"))->selectRow(0);
            dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        }
        if (dialog->isVisible()) // cancelled, or a pick that failed: the test goes on rather than waits
            dialog->reject();
    });
    picker.start();
    QVERIFY(doubleClickKey(QStringLiteral("9"), QStringLiteral("SendToSubscriber")).shown);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
    if (!pick) {
        QCOMPARE(stored(kMenuEntrySql, id), before);
        QCOMPARE(auditLines(), QStringList{});
        return;
    }
    // The subscriber's call handler is the destination, in the key the popup was opened on.
    QCOMPARE(stored(kMenuEntrySql, id), "2|PHGreeting|" + ids::AliceAdminHandler + "|3|0");
    QCOMPARE(stored(kMenuEntrySql, ids::menuEntryId(ids::Sales, 9)), QStringLiteral("0|<null>|<null>|0|0"));
    QCOMPARE(auditLines(), QStringList{"UPDATE, Call Handler, openinggreetingch, MenuEntry, 9, Action, Send to greeting "
                                       "for: Alice Admin"});
    OutlineNode *row = link(tree(), root, QStringLiteral("9"));
    QCOMPARE(tree().ATTree().mainText(row), QStringLiteral("9: Send to greeting for: Alice Admin"));
    QCOMPARE(tree().nodeType(row), qint16(NodeSubscriber));
}

void TestActionPopup::sendToHandler_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("answer"); // "create NAME", "choose ALIAS" or "cancel"
    QTest::addColumn<QString>("prepare");
    QTest::addColumn<QString>("conversation"); // "" when nothing is written
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("shown"); // the tree's text of the key afterwards

    QTest::newRow("new call handler") << "SendToCallHandler" << "create Night Line" << "" << "PHGreeting" << 3
                                      << "9: Send to greeting for: Night Line";
    QTest::newRow("existing call handler") << "SendToCallHandler" << "choose salesch" << "" << "PHGreeting" << 3
                                           << "9: Send to greeting for: Sales";
    QTest::newRow("new name lookup handler") << "SendToDirectoryHandler" << "create Staff Finder" << "" << "AD" << 6
                                             << "9: Route to name lookup handler:Staff Finder";
    QTest::newRow("new interview handler") << "SendToInterviewer" << "create Exit Poll" << "" << "CHInterview" << 5
                                           << "9: Send to interviewer: Exit Poll";
    QTest::newRow("existing interview handler") << "SendToInterviewer" << "choose surveyih" << "" << "CHInterview" << 5
                                                << "9: Send to interviewer: Survey";
    QTest::newRow("call handler dialog cancelled") << "SendToCallHandler" << "cancel" << "" << "" << 0 << "";
    QTest::newRow("interview handler dialog cancelled") << "SendToInterviewer" << "cancel" << "" << "" << 0 << "";
    QTest::newRow("no name lookup handler to copy")
        << "SendToDirectoryHandler" << "create Staff Finder" << "DELETE FROM NameLookupHandler" << "" << 0 << "";
}

void TestActionPopup::sendToHandler()
{
    QFETCH(QString, entry);
    QFETCH(QString, answer);
    QFETCH(QString, prepare);
    QFETCH(QString, conversation);
    QFETCH(int, type);
    QFETCH(QString, shown);
    if (!prepare.isEmpty())
        QVERIFY(test::sql(m_f.server->ctx(), prepare));
    // The grid view lists the kind the dialog makes, the detail pane still showing the tree's root.
    const QMap<QString, int> gridKinds{{"SendToCallHandler", GridCallHandlers},
                                       {"SendToDirectoryHandler", GridDirectoryHandlers},
                                       {"SendToInterviewer", GridInterviewHandlers}};
    auto *kinds = window().findChild<QComboBox *>(QStringLiteral("cmbShowObjectType"));
    {
        const QSignalBlocker quiet(kinds);
        kinds->setCurrentIndex(gridKinds.value(entry));
    }
    window().LoadGridView();

    OutlineNode *root = tree().ATTree().root();
    select(root);
    const QString id = ids::menuEntryId(ids::OpeningGreeting, 9);
    const QString before = stored(kMenuEntrySql, id);
    const QString word = answer.section(u' ', 0, 0);
    const QString text = answer.section(u' ', 1);
    QTimer dialogs;
    dialogs.setInterval(5);
    connect(&dialogs, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->objectName().startsWith(QLatin1String("frmMakeNew")))
            return;
        dialogs.stop();
        auto *tabs = dialog->findChild<QTabWidget *>(QString(), Qt::FindDirectChildrenOnly);
        if (word == u"create") {
            tabs->setCurrentIndex(0);
            dialog->findChild<QLineEdit *>(QStringLiteral("txtHandlerName"))->setText(text);
            dialog->findChild<QPushButton *>(QStringLiteral("cmdCreateHandler"))->click();
        } else if (word == u"choose") {
            tabs->setCurrentIndex(1);
            dialog->findChild<QLineEdit *>(QStringLiteral("txtSearchString"))->setText(QStringLiteral("*"));
            dialog->findChild<QPushButton *>(QStringLiteral("cmdSearch"))->click();
            auto *grid = dialog->findChild<QTableView *>(QStringLiteral("myGrid"));
            for (int r = 0; r < grid->model()->rowCount(); ++r)
                if (grid->model()->index(r, 0).data().toString() == text)
                    grid->selectRow(r);
            dialog->findChild<QPushButton *>(QStringLiteral("cmdSelect"))->click();
        }
        if (dialog->isVisible())
            dialog->reject();
    });
    dialogs.start();
    QVERIFY(doubleClickKey(QStringLiteral("9"), entry).shown);
    if (conversation.isEmpty()) {
        QCOMPARE(stored(kMenuEntrySql, id), before);
        QCOMPARE(auditLines(), QStringList{});
        QCOMPARE(m_f.seams->messages->texts(),
                 prepare.isEmpty() ? QStringList{}
                                   : QStringList{"No directory handlers defined, system in illegal state!"});
        return;
    }
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
    const QStringList fields = stored(kMenuEntrySql, id).split(u'|');
    QCOMPARE(fields.mid(0, 2), (QStringList{"2", conversation}));
    QCOMPARE(fields.value(3), QString::number(type));
    QCOMPARE(auditLines(), QStringList{"UPDATE, Call Handler, openinggreetingch, MenuEntry, 9, Action, " + shown.mid(3)});
    QFile log(m_f.server->ctx().log().gLogFileName());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(log.readAll()).contains(", ADD_NEW, , , "), word == u"create");
    // The tree shows the handler under the key at once.
    OutlineNode *row = link(tree(), root, QStringLiteral("9"));
    QCOMPARE(tree().ATTree().mainText(row), shown);
    QCOMPARE(tree().objectId(row), fields.value(2).toUpper());
    // And the grid view lists it.
    QVERIFY(window().gridModel().rowOfObject(fields.value(2)) >= 0);
}

// The refresh changes rows in place, or has the view start afresh when many rows go.
void TestActionPopup::refreshReachesEveryOpenedRow_data()
{
    QTest::addColumn<int>("resetAfter");
    QTest::newRow("in place") << 16;
    QTest::newRow("view reset") << -1;
}

void TestActionPopup::refreshReachesEveryOpenedRow()
{
    QFETCH(int, resetAfter);
    tree().setRefreshResetThreshold(resetAfter);
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
    QVERIFY(doubleClickKey(QStringLiteral("#"), QStringLiteral("SignIn")).shown);

    const QString text = QStringLiteral("#: Route to subscriber sign in");
    for (OutlineNode *row : {first, viaSales}) {
        QVERIFY(row->isExpanded());
        QVERIFY(treeView()->isExpanded(tree().ATTree().indexOf(row)));
        QCOMPARE(tree().ATTree().mainText(link(tree(), row, QStringLiteral("#"))), text);
    }
    QCOMPARE(treeView()->selectedNode(), viaSales);
    // A row opened and closed again shows the new link when it is opened
    // again; a row never opened builds its links then.
    QVERIFY(!viaSupport->isExpanded());
    QVERIFY(!tree().isOpened(viaBob));
    for (OutlineNode *row : {viaSupport, viaBob}) {
        tree().openRow(row);
        QCOMPARE(tree().ATTree().mainText(link(tree(), row, QStringLiteral("#"))), text);
    }
    QVERIFY(!m_f.server->ctx().state().bSuppressTabLoad);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestActionPopup::refreshKeepsTheSelectionAndTheTopRow_data() { refreshReachesEveryOpenedRow_data(); }

void TestActionPopup::refreshKeepsTheSelectionAndTheTopRow()
{
    QFETCH(int, resetAfter);
    tree().setRefreshResetThreshold(resetAfter);
    window().resize(window().minimumSize());
    window().findChild<QAction *>(QStringLiteral("ExpandAllNodes"))->trigger();
    OutlineNode *root = tree().ATTree().root();
    OutlineNode *sales = link(tree(), root, QStringLiteral("1"));
    OutlineNode *bobUnderSales = link(tree(), sales, QStringLiteral("2"));
    OutlineNode *top = link(tree(), link(tree(), root, QStringLiteral("2")), QStringLiteral("0"));
    QVERIFY(sales && sales->isExpanded() && bobUnderSales && top);
    // A row of the sales menu is selected while the page shows the opening greeting,
    // and the view is scrolled below the operator's rows.
    select(bobUnderSales);
    window().LoadTabInfo(ids::OpeningGreeting, 3);
    treeView()->scrollTo(tree().ATTree().indexOf(top), QAbstractItemView::PositionAtTop);
    QCOMPARE(tree().ATTree().nodeOf(treeView()->indexAt(QPoint(0, 0))), top);

    // The operator's rows above the top row go, and so does the sales menu with the selected row.
    QVERIFY(doubleClickKey(QStringLiteral("0"), QStringLiteral("HangUp")).shown);
    QVERIFY(doubleClickKey(QStringLiteral("1"), QStringLiteral("HangUp")).shown);
    QCOMPARE(test::childKeys(tree(), link(tree(), root, QStringLiteral("1"))), QStringList{});
    QCOMPARE(tree().ATTree().nodeOf(treeView()->indexAt(QPoint(0, 0))), top);
    // The row that stands where the selected one stood, and no page was loaded for it.
    QCOMPARE(treeView()->selectedNode(), link(tree(), root, QStringLiteral("1")));
    QCOMPARE(window().CurrentlySelectedObject().ObjectID, ids::OpeningGreeting);
}

void TestActionPopup::refreshRebuildsARowWithOneLink()
{
    // Without leaves the operator's only link is its after-message action.
    window().findChild<QAction *>(QStringLiteral("ShowNoLeafs"))->trigger();
    OutlineNode *operatorRow = open(tree().ATTree().root(), QStringLiteral("0"));
    QCOMPARE(test::childKeys(tree(), operatorRow), QStringList{"AM"});
    select(operatorRow);
    QVERIFY(pressButton(QStringLiteral("cmdHandlerSetAfterMessageAction"), QStringLiteral("AttemptToRingPhone")).shown);
    QCOMPARE(tree().ATTree().mainText(link(tree(), operatorRow, QStringLiteral("AM"))),
             QStringLiteral("AM: Ring phone for: Goodbye"));
}

QTEST_MAIN(TestActionPopup)
#include "tst_actionpopup.moc"
