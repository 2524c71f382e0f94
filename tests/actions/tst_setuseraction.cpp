// The action writer on the sample server: for every kind of slot, what the
// server holds afterwards, the audit line and the tree link to rebuild; and
// the slots it refuses or fails to write.
#include "actions/setuseraction.h"
#include "common/appcontext.h"
#include "common/tolvaversion.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "testserver.h"

#include <QtTest>

using namespace quillor;
namespace ids = quillor::embedded::SampleIds;

Q_DECLARE_METATYPE(quillor::RoutingSlot)

namespace {

const SelectedObject kOpening{3, ids::OpeningGreeting, QStringLiteral("openinggreetingch"), {}};
const SelectedObject kBob{1, ids::BobSalesHandler, QStringLiteral("bsales"), {}};
const SelectedObject kDirectory{6, ids::CompanyDirectory, QStringLiteral("companydirectory"), {}};

RoutingSlot keySlot(const SelectedObject &owner, int key)
{
    RoutingSlot s{owner, TargetMenuEntry, 0, ids::menuEntryId(owner.ObjectID, key), {}, -1, false};
    s.key = key == 10 ? QStringLiteral("*") : QString::number(key);
    return s;
}

RoutingSlot greetingSlot(const SelectedObject &owner, int index)
{
    return {owner, TargetAfterGreeting, 0, ids::greetingId(owner.ObjectID, index), {}, index, false};
}

RoutingSlot ownerSlot(const SelectedObject &owner, qint16 target, qint16 exit = 0, const QString &row = {})
{
    return {owner, target, exit, row, {}, -1, false};
}

QString stored(AppContext &ctx, const QString &sql, const QString &id) { return test::storedRow(ctx, sql, {id}); }

QString menuEntrySql()
{
    return QStringLiteral("SELECT Action, ConversationName, DestinationObjectID, DestinationObjectIDType FROM MenuEntry "
                          "WHERE MenuEntryObjectID = ?");
}

QString greetingSql()
{
    return QStringLiteral("SELECT Action, ConversationName, DestinationObjectID, DestinationObjectIDType FROM "
                          "MessagingRule WHERE MessagingRuleObjectID = ?");
}

QString afterMessageSql(const QString &table)
{
    return QStringLiteral("SELECT AfterMessageAction, AfterMessageConversation, AfterMessageObjectID, "
                          "AfterMessageObjectIDType FROM %1 WHERE %1ObjectID = ?")
        .arg(table);
}

QString exitSql(const QString &prefix, const QString &table)
{
    return QStringLiteral("SELECT %1Action, %1Conversation, %1ObjectID, %1ObjectIDType FROM %2 WHERE %2ObjectID = ?")
        .arg(prefix, table);
}

} // namespace

class TestSetUserAction : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void writes_data();
    void writes();
    void refused_data();
    void refused();
    void failedWritesAreAuditedAsFailures_data();
    void failedWritesAreAuditedAsFailures();
    void nameUnreadAfterTheWrite_data();
    void nameUnreadAfterTheWrite();

private:
    QStringList auditLines() const;

    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    QString m_logFile;
};

void TestSetUserAction::init()
{
    m_seams = std::make_unique<test::FakeSeams>();
    m_server = std::make_unique<test::TestServer>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    AppContext &ctx = m_server->ctx();
    ctx.state().gVersion = getVersion(ctx);
    m_logFile = m_server->folder() + QStringLiteral("/audit.txt");
    QVERIFY(ctx.log().WriteLogHeader(m_logFile, {}));
}

void TestSetUserAction::cleanup()
{
    m_server.reset();
    m_seams.reset();
}

QStringList TestSetUserAction::auditLines() const { return test::auditLines(m_logFile); }

void TestSetUserAction::writes_data()
{
    QTest::addColumn<RoutingSlot>("slot");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("conversation");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("audit");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("result");

    const QString keep = QStringLiteral("[DontSet]");
    const RoutingSlot salesKey0 = keySlot({3, ids::Sales, QStringLiteral("salesch"), {}}, 0);
    QTest::newRow("hang up on a key") << keySlot(kOpening, 5) << 1 << "" << "" << 0 << menuEntrySql()
                                      << ids::menuEntryId(ids::OpeningGreeting, 5) << "1|<null>|<null>|0"
                                      << "UPDATE, Call Handler, openinggreetingch, MenuEntry, 5, Action, Hang Up" << "5"
                                      << true;
    QTest::newRow("a key keeps its destination") << salesKey0 << 2 << "PHGreeting" << keep << 3 << menuEntrySql()
                                                 << ids::menuEntryId(ids::Sales, 0) << "2|PHGreeting|" + ids::Operator + "|3"
                                                 << "UPDATE, Call Handler, salesch, MenuEntry, 0, Action, Set to go to greeting"
                                                 << "0" << true;
    QTest::newRow("a subscriber's key") << keySlot(kBob, 10) << 2 << "SubSignIn" << "" << 0 << menuEntrySql()
                                        << ids::menuEntryId(ids::BobSalesHandler, 10) << "2|SubSignIn|<null>|0"
                                        << "UPDATE, Subscriber, bsales, MenuEntry, *, Action, Route to subscriber sign in"
                                        << "*" << true;
    QTest::newRow("a greeting keeps its destination")
        << greetingSlot(kOpening, 0) << 2 << "PHGreeting" << "[dontset]" << 3 << greetingSql()
        << ids::greetingId(ids::OpeningGreeting, 0) << "2|PHGreeting|" + ids::Operator + "|3"
        << "UPDATE, Call Handler, openinggreetingch, MessagingRule, Standard, Action, Set to go to greeting" << "STD" << true;
    QTest::newRow("a subscriber's busy greeting")
        << greetingSlot(kBob, 2) << 4 << "" << "" << 0 << greetingSql() << ids::greetingId(ids::BobSalesHandler, 2)
        << "4|<null>|<null>|0" << "UPDATE, Subscriber, bsales, MessagingRule, Busy, Action, Take Message" << "BSY" << true;
    QTest::newRow("a call handler's after-message action")
        << ownerSlot({3, ids::Operator, QStringLiteral("operatorch"), {}}, TargetAfterMessage) << 2 << "PHGreeting"
        << ids::Sales << 3 << afterMessageSql(QStringLiteral("CallHandler")) << ids::Operator
        << "2|PHGreeting|" + ids::Sales + "|3"
        << "UPDATE, , , CallHandler, operatorch, AfterMessageAction, Send to greeting for: Sales" << "AM" << true;
    QTest::newRow("a subscriber's after-message action is its call handler's")
        << ownerSlot(kBob, TargetAfterMessage) << 0 << "" << "" << 0 << afterMessageSql(QStringLiteral("CallHandler"))
        << ids::BobSalesHandler << "0|<null>|<null>|0"
        << "UPDATE, , , Subscriber, bsales, AfterMessageAction, Ignore Key" << "AM" << true;
    QTest::newRow("a subscriber's exit is its own row")
        << ownerSlot(kBob, TargetSubscriberExit, 0, ids::BobSales) << 2 << "PHTransfer" << ids::Operator << 3
        << exitSql(QStringLiteral("Exit"), QStringLiteral("Subscriber")) << ids::BobSales
        << "2|PHTransfer|" + ids::Operator + "|3"
        << "UPDATE, , , Subscriber, bsales, ExitAction, Ring phone for: Operator" << "" << true;
    const QList<QPair<qint16, const char *>> exits = {
        {ExitZero, "Zero"}, {ExitExit, "Exit"}, {ExitNoInput, "NoInput"}, {ExitNoSelection, "NoSelection"}};
    for (const auto &[code, prefix] : exits) {
        const QString k = QString::fromLatin1(prefix);
        QTest::addRow("name lookup exit %s", prefix)
            << ownerSlot(kDirectory, TargetMenuEntry, code) << 2 << "AD" << ids::SalesDirectory << 6
            << exitSql(k, QStringLiteral("NameLookupHandler")) << ids::CompanyDirectory
            << "2|AD|" + ids::SalesDirectory + "|6"
            << "UPDATE, , , NameLookupHandler, companydirectory, " + k + "Action, Route to name lookup handler:Sales Directory"
            << "" << true;
    }
    QTest::newRow("a name lookup exit keeps its destination, not its type")
        << ownerSlot(kDirectory, 0, ExitNoSelection) << 2 << "PHTransfer" << keep << 5
        << exitSql(QStringLiteral("NoSelection"), QStringLiteral("NameLookupHandler")) << ids::CompanyDirectory
        << "2|PHTransfer|" + ids::Goodbye + "|5"
        << "UPDATE, , , NameLookupHandler, companydirectory, NoSelectionAction, Set to attempt to ring phone" << "" << true;

    const SelectedObject feedback{5, ids::FeedbackInterview, QStringLiteral("feedbackih"), {}};
    const SelectedObject templ{5, ids::InterviewTemplate, QStringLiteral("interviewtemplate"), {}};
    QTest::newRow("an interview handler's own row")
        << ownerSlot(feedback, TargetAfterMessage) << 2 << "PHGreeting" << ids::Goodbye << 3
        << afterMessageSql(QStringLiteral("InterviewHandler")) << ids::FeedbackInterview
        << "2|PHGreeting|" + ids::Goodbye + "|3"
        << "UPDATE, , , InterviewHandler, feedbackih, AfterMessageAction, Send to greeting for: Goodbye" << "AM" << false;
    QTest::newRow("no destination keeps an interview handler's type")
        << ownerSlot(templ, TargetAfterMessage) << 1 << "" << "" << 0 << afterMessageSql(QStringLiteral("InterviewHandler"))
        << ids::InterviewTemplate << "1|<null>|<null>|3"
        << "UPDATE, , , InterviewHandler, interviewtemplate, AfterMessageAction, Hang Up" << "AM" << false;
    QTest::newRow("an interview handler keeps its destination")
        << ownerSlot(templ, TargetAfterMessage) << 2 << "PHTransfer" << keep << 3
        << afterMessageSql(QStringLiteral("InterviewHandler")) << ids::InterviewTemplate
        << "2|PHTransfer|" + ids::Goodbye + "|3"
        << "UPDATE, , , InterviewHandler, interviewtemplate, AfterMessageAction, Set to attempt to ring phone" << "AM"
        << false;
}

void TestSetUserAction::writes()
{
    QFETCH(RoutingSlot, slot);
    QFETCH(int, action);
    QFETCH(QString, conversation);
    QFETCH(QString, destination);
    QFETCH(int, type);
    QFETCH(QString, sql);
    QFETCH(QString, row);
    QFETCH(QString, after);
    QFETCH(QString, audit);
    QFETCH(QString, link);
    QFETCH(bool, result);

    AppContext &ctx = m_server->ctx();
    const SetUserActionResult r = SetUserAction(ctx, slot, qint16(action), conversation, destination, qint16(type));
    QCOMPARE(m_seams->messages->texts(), QStringList{});
    QCOMPARE(stored(ctx, sql, row), after);
    QCOMPARE(auditLines(), QStringList{audit});
    QCOMPARE(r.linkCode, link);
    QCOMPARE(r.result, result);
    QVERIFY(r.written);
    QVERIFY(r.reloadTab());
}

void TestSetUserAction::refused_data()
{
    QTest::addColumn<RoutingSlot>("slot");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("message");

    const QString unidentified = QStringLiteral(
        "Error, the entry to change could not be identified (its ObjectID is empty) - nothing was changed.");
    RoutingSlot emptyKey = keySlot(kOpening, 3);
    emptyKey.rowObjectId.clear();
    QTest::newRow("empty key-grid cell") << emptyKey << "" << unidentified;
    RoutingSlot noGreeting = greetingSlot(kBob, 4);
    noGreeting.rowObjectId = QStringLiteral("  ");
    QTest::newRow("greeting without its ObjectID") << noGreeting << "" << unidentified;
    QTest::newRow("subscriber not found") << ownerSlot(kBob, TargetSubscriberExit) << "" << unidentified;
    QTest::newRow("destination deleted since it was chosen")
        << keySlot(kOpening, 3) << ids::MissingHandler
        << "Error, the call handler chosen as the destination could not be found in the database - it may have been "
           "deleted. Nothing was changed.";
    QTest::newRow("distribution list shown")
        << ownerSlot({2, ids::Operators, QStringLiteral("operators"), {}}, TargetAfterMessage) << ""
        << "Invalid currently selected object encountered in SetUserAction routine.";
    QTest::newRow("nothing shown") << ownerSlot({}, TargetAfterMessage) << ""
                                   << "Invalid currently selected object encountered in SetUserAction routine.";
    QTest::newRow("unknown name lookup exit")
        << ownerSlot(kDirectory, TargetAfterMessage, 7) << ""
        << "Invalid value for the iNameLookupHandlerChangeType passed into SetUserAction routine: 7";
    QTest::newRow("negative name lookup exit")
        << ownerSlot(kDirectory, 0, -2) << ""
        << "Invalid value for the iNameLookupHandlerChangeType passed into SetUserAction routine:-2";
    QTest::newRow("a call handler has no exit")
        << ownerSlot(kOpening, TargetSubscriberExit, 0, ids::BobSales) << ""
        << "Invalid value for the iActionTarget passed into SetUserAction routine: 4";
    QTest::newRow("an interview handler has no keys")
        << keySlot({5, ids::Survey, QStringLiteral("surveyih"), {}}, 1) << "" << "";
}

void TestSetUserAction::refused()
{
    QFETCH(RoutingSlot, slot);
    QFETCH(QString, destination);
    QFETCH(QString, message);

    AppContext &ctx = m_server->ctx();
    const quint64 writes = ctx.db().writeCount();
    const SetUserActionResult r = SetUserAction(ctx, slot, 2, QStringLiteral("PHGreeting"), destination, 3);
    QCOMPARE(m_seams->messages->texts(), message.isEmpty() ? QStringList{} : QStringList{message});
    QCOMPARE(ctx.db().writeCount(), writes);
    QCOMPARE(auditLines(), QStringList{});
    QVERIFY(!r.result);
    QVERIFY(!r.written);
}

void TestSetUserAction::failedWritesAreAuditedAsFailures_data()
{
    QTest::addColumn<RoutingSlot>("slot");
    QTest::addColumn<QString>("audit");

    const QString gone = ids::objectId(ids::Kind::MenuEntry, 0x77);
    RoutingSlot key = keySlot(kOpening, 3);
    key.rowObjectId = gone;
    QTest::newRow("menu entry gone") << key << "FAILED_UPDATE, Call Handler, openinggreetingch, MenuEntry, 3, Action, Hang Up";
    QTest::newRow("interview handler gone")
        << ownerSlot({5, ids::objectId(ids::Kind::InterviewHandler, 0x77), QStringLiteral("goneih"), {}}, TargetAfterMessage)
        << "FAILED_UPDATE, , , InterviewHandler, goneih, AfterMessageAction, Hang Up";
}

void TestSetUserAction::failedWritesAreAuditedAsFailures()
{
    QFETCH(RoutingSlot, slot);
    QFETCH(QString, audit);

    const SetUserActionResult r = SetUserAction(m_server->ctx(), slot, 1, QString(), QString(), 0);
    QVERIFY(!r.result);
    QVERIFY(!r.written);
    QVERIFY(!r.reloadTab());
    // Shown once by the writer (the write path may have given its own reason before).
    QCOMPARE(m_seams->messages->texts().last(), QStringLiteral("Failed to update database"));
    QCOMPARE(m_seams->messages->texts().count(QStringLiteral("Failed to update database")), 1);
    QCOMPARE(auditLines(), QStringList{audit});
}

void TestSetUserAction::nameUnreadAfterTheWrite_data()
{
    QTest::addColumn<RoutingSlot>("slot");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("audit");

    // Ringing a subscriber's primary call handler: the check before the write
    // finds the call handler, the subscriber's name is read only afterwards.
    const QString text = QStringLiteral("Ring phone for: ") + ids::BobSalesHandler;
    QTest::newRow("through a procedure")
        << keySlot(kOpening, 5) << menuEntrySql() << ids::menuEntryId(ids::OpeningGreeting, 5) << true
        << "UPDATE, Call Handler, openinggreetingch, MenuEntry, 5, Action, " + text;
    QTest::newRow("an interview handler's own row")
        << ownerSlot({5, ids::FeedbackInterview, QStringLiteral("feedbackih"), {}}, TargetAfterMessage)
        << afterMessageSql(QStringLiteral("InterviewHandler")) << ids::FeedbackInterview << false
        << "UPDATE, , , InterviewHandler, feedbackih, AfterMessageAction, " + text;
}

// The action is saved although the destination's name cannot be read after the
// write: it is audited as saved, naming its destination by ObjectID.
void TestSetUserAction::nameUnreadAfterTheWrite()
{
    QFETCH(RoutingSlot, slot);
    QFETCH(QString, sql);
    QFETCH(QString, row);
    QFETCH(bool, result);
    QFETCH(QString, audit);

    QVERIFY(m_server->breakMainDatabase(test::TestServer::Fault::ViewMissing, QStringLiteral("vw_Subscriber")));
    AppContext &ctx = m_server->ctx();
    const SetUserActionResult r = SetUserAction(ctx, slot, 2, QStringLiteral("PHTransfer"), ids::BobSalesHandler, 3);
    QCOMPARE(stored(ctx, sql, row), "2|PHTransfer|" + ids::BobSalesHandler + "|3");
    QCOMPARE(auditLines(), QStringList{audit});
    QCOMPARE(r.result, result);
    QVERIFY(r.written);
    // Nothing says it failed: the read's own failure goes to the log alone.
    QCOMPARE(m_seams->messages->texts(), QStringList{});
    const QString log = test::logText(ctx);
    QVERIFY2(log.contains(QStringLiteral(") in procedure strConstructActionString of Form frmMain\r\n")), qPrintable(log));
}

QTEST_MAIN(TestSetUserAction)
#include "tst_setuseraction.moc"
