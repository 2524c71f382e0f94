// The display text of actions, and the owner and recipient look-up, on the sample server.
#include "common/appcontext.h"
#include "details/actiontext.h"
#include "details/ownerlookup.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "testserver.h"

#include <QtTest>

using namespace quillor;
namespace ids = quillor::embedded::SampleIds;

class TestActionText : public QObject {
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
    void nullNameGivesNoName();
    void owners_data();
    void owners();
    void ownerWithAViewMissing_data();
    void ownerWithAViewMissing();
    void ownerWithNullName();
    void lookupAskedAboutManyReadsThemAll();
};

void TestActionText::texts_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("conversation");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("queries"); // -1: not checked
    QTest::addColumn<QString>("message");

    const QString none;
    QTest::newRow("ignore key") << 0 << "PHGreeting" << ids::Sales << "Ignore Key" << 0 << none;
    QTest::newRow("hang up ignores the conversation") << 1 << "PHGreeting" << ids::Sales << "Hang Up" << 0 << none;
    QTest::newRow("take message") << 4 << "" << "" << "Take Message" << 0 << none;
    QTest::newRow("skip greeting") << 5 << "AD" << "x" << "Skip Greeting" << 0 << none;
    QTest::newRow("action 3") << 3 << "PHGreeting" << ids::Sales << "(Error)" << 0 << none;
    QTest::newRow("action 6") << 6 << "SubSignIn" << "" << "(Error)" << 0 << none;
    QTest::newRow("negative action") << -1 << "" << "" << "(Error)" << 0 << none;

    QTest::newRow("sign in") << 2 << "SubSignIn" << "" << "Route to subscriber sign in" << 0 << none;
    QTest::newRow("greetings administration") << 2 << "GreetingsAdministrator" << "" << "Route to greetings administration" << 0 << none;
    QTest::newRow("broadcast") << 2 << "BroadcastMessageAdministrator" << "" << "Route to broadcast message administration" << 0 << none;
    QTest::newRow("hotel") << 2 << "ConvHotelCheckedOut" << "" << "Route to checked out hotel guest conversation" << 0 << none;
    QTest::newRow("mailbox reset") << 2 << "ConvCVMMBoxReset" << "" << "Route to Community Voice Mail box reset" << 0 << none;
    QTest::newRow("system transfer") << 2 << "CxConvSystemTransfer" << "" << "Route to system transfer" << 0 << none;
    QTest::newRow("subscriber system transfer") << 2 << "CxConvSubSystemTransfer" << "" << "Route to subscriber system transfer" << 0 << none;
    QTest::newRow("easy sign in") << 2 << "CxConvEasySignIn" << "" << "Route to easy subscriber sign in" << 0 << none;
    QTest::newRow("alternate number") << 2 << "TransferAltContactNumber" << "" << "Alternate transfer number." << 0 << none;

    QTest::newRow("greeting of a call handler") << 2 << "PHGreeting" << ids::Sales << "Send to greeting for: Sales" << 1 << none;
    QTest::newRow("ring a call handler") << 2 << "PHTransfer" << ids::Operator << "Ring phone for: Operator" << 1 << none;
    QTest::newRow("a subscriber shows its own name") << 2 << "PHTransfer" << ids::BobSalesHandler << "Ring phone for: Bob Sales" << 2 << none;
    QTest::newRow("subscriber gone") << 2 << "PHGreeting" << ids::GhostHandler << "Invalid Link!" << 2 << none;
    QTest::newRow("call handler gone") << 2 << "PHGreeting" << ids::MissingHandler << "Invalid Link!" << 1 << none;
    QTest::newRow("ObjectID in another form") << 2 << "PHGreeting" << ids::Sales.toLower().mid(1, 36) << "Send to greeting for: Sales" << 1 << none;
    QTest::newRow("marker, capitals") << 2 << "PHGreeting" << "[DONTSET]" << "Set to go to greeting" << 0 << none;
    QTest::newRow("marker, ring") << 2 << "PHTransfer" << "[DontSet]" << "Set to attempt to ring phone" << 0 << none;
    // SQL Server holds ObjectIDs as GUIDs: a text that is none is not asked for.
    const int asked = test::overTds() ? 0 : 1;
    QTest::newRow("marker is an ObjectID elsewhere") << 2 << "CHInterview" << "[dontset]" << "Invalid Link!" << asked << none;

    QTest::newRow("name lookup handler") << 2 << "AD" << ids::CompanyDirectory << "Route to name lookup handler:Company Directory" << 1 << none;
    QTest::newRow("name lookup, no destination") << 2 << "AD" << "" << "Invalid Link!" << 0 << none;
    QTest::newRow("name lookup gone") << 2 << "AD" << ids::MissingDirectoryHandler << "Invalid Link!" << 1 << none;
    QTest::newRow("interviewer") << 2 << "CHInterview" << ids::FeedbackInterview << "Send to interviewer: Feedback Interview" << 1 << none;
    QTest::newRow("interviewer, no destination, still asked") << 2 << "CHInterview" << "" << "Invalid Link!" << asked << none;

    const QString illegal = QStringLiteral("Error in ConstructActionSTring function.  Illegal conversation name:");
    QTest::newRow("conversation in lower case") << 2 << "phgreeting" << ids::Sales << "(Error)" << 0 << illegal + "phgreeting";
    QTest::newRow("unknown conversation") << 2 << "UnknownConversation" << "" << "(Error)" << 0 << illegal + "UnknownConversation";
    QTest::newRow("empty conversation") << 2 << "" << "" << "(Error)" << 0 << illegal;
}

void TestActionText::texts()
{
    QFETCH(int, action);
    QFETCH(QString, conversation);
    QFETCH(QString, destination);
    QFETCH(QString, text);
    QFETCH(int, queries);
    QFETCH(QString, message);

    test::FakeSeams seams;
    test::TestServer server;
    AppContext &ctx = server.ctx();
    // Alone, and through a look-up fetched ahead: the same text. The
    // connection is made first: what opening it reads is not the text's.
    ctx.db().matchesObjectIdsByValue(ctx.state().gConnectionString);
    const quint64 before = ctx.db().queryCount();
    QCOMPARE(strConstructActionString(ctx, conversation, qint16(action), destination), text);
    QCOMPARE(int(ctx.db().queryCount() - before), queries);
    DestinationLookup lookup(ctx);
    lookup.prefetch(DestinationLookup::Kind::CallHandler, {ids::Sales, ids::BobSalesHandler, destination});
    QCOMPARE(strConstructActionString(ctx, conversation, qint16(action), destination, &lookup), text);
    // Fetched ahead with the other actions of a page, in one query at most: nothing is asked again.
    DestinationLookup page(ctx);
    const quint64 ahead = ctx.db().queryCount();
    page.prefetchFor({{conversation, qint16(action), destination}, {QStringLiteral("AD"), 2, ids::CompanyDirectory}});
    QCOMPARE(ctx.db().queryCount() - ahead, 1u);
    QCOMPARE(strConstructActionString(ctx, conversation, qint16(action), destination, &page), text);
    QCOMPARE(ctx.db().queryCount() - ahead, 1u);

    const QStringList expected = message.isEmpty() ? QStringList{} : QStringList{message, message, message};
    QCOMPARE(seams.messages->texts(), expected);
}

void TestActionText::nullNameGivesNoName()
{
    test::FakeSeams seams;
    test::TestServer server;
    AppContext &ctx = server.ctx();
    QVERIFY(ctx.db().execute(ctx.state().gConnectionString,
                             QStringLiteral("UPDATE CallHandler SET TextName = NULL WHERE CallHandlerObjectID = ?"), {ids::Goodbye}));
    QCOMPARE(strConstructActionString(ctx, QStringLiteral("PHGreeting"), 2, ids::Goodbye), QStringLiteral("(Error)"));
    QCOMPARE(seams.messages->texts(), QStringList{});
}

void TestActionText::owners_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("subscriber") << ids::AliceAdmin << 1 << "Alice Admin";
    QTest::newRow("system list") << ids::Operators << 2 << "Operators";
    QTest::newRow("scope list") << ids::AllSubscribersScope << 2 << "All Subscribers";
    QTest::newRow("nothing") << ids::MissingSubscriber << 97 << "Invalid Link";
    QTest::newRow("empty") << QString() << 97 << "Invalid Link";
    QTest::newRow("lower case without braces") << ids::AliceAdmin.toLower().mid(1, 36) << 1 << "Alice Admin";
}

void TestActionText::owners()
{
    QFETCH(QString, id);
    QFETCH(int, kind);
    QFETCH(QString, name);
    test::FakeSeams seams;
    test::TestServer server;
    QString shown = QStringLiteral("unchanged");
    // The connection is made first: what opening it reads is not the look-up's.
    server.ctx().db().matchesObjectIdsByValue(server.ctx().state().gConnectionString);
    const quint64 before = server.ctx().db().queryCount();
    QCOMPARE(int(TolvaDBFindSubscriberOrDLbyObjectID(server.ctx(), id, shown)), kind);
    // The three views asked at once; SQL Server is not asked to compare a text that is no GUID with an ObjectID.
    QCOMPARE(server.ctx().db().queryCount() - before, id.isEmpty() && test::overTds() ? 0u : 1u);
    QCOMPARE(shown, name);
    QCOMPARE(seams.messages->texts(), QStringList{});
}

// A view that cannot be read is reported and passed over; the others still answer.
void TestActionText::ownerWithAViewMissing_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("subscribers") << "vw_Subscriber" << ids::Operators << 2 << "Operators";
    QTest::newRow("system lists") << "vw_DistributionList" << ids::AliceAdmin << 1 << "Alice Admin";
    QTest::newRow("scope lists") << "vw_ScopeDList" << ids::AllSubscribersScope << 97 << "Invalid Link";
}

void TestActionText::ownerWithAViewMissing()
{
    QFETCH(QString, view);
    QFETCH(QString, id);
    QFETCH(int, kind);
    QFETCH(QString, name);
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY(server.breakMainDatabase(test::TestServer::Fault::ViewMissing, view));
    QString shown;
    QCOMPARE(int(TolvaDBFindSubscriberOrDLbyObjectID(server.ctx(), id, shown)), kind);
    QCOMPARE(shown, name);
    // Reported when the search came to that view: not when an earlier one found the ObjectID.
    const QStringList messages = seams.messages->texts();
    QCOMPARE(messages.size(), view == QLatin1String("vw_DistributionList") ? 0 : 1);
    for (const QString &m : messages) {
        QVERIFY2(m.startsWith(QLatin1String("(error):")), qPrintable(m));
        QVERIFY2(m.endsWith(QLatin1String(") in procedure TolvaDBFindSubscriberOrDLbyObjectID of Form frmMain")), qPrintable(m));
    }
}

void TestActionText::ownerWithNullName()
{
    test::FakeSeams seams;
    test::TestServer server;
    AppContext &ctx = server.ctx();
    QVERIFY(ctx.db().execute(ctx.state().gConnectionString,
                             QStringLiteral("UPDATE Subscriber SET DisplayName = NULL WHERE SubscriberObjectID = ?"), {ids::AliceAdmin}));
    QString shown = QStringLiteral("kept");
    QCOMPARE(int(TolvaDBFindSubscriberOrDLbyObjectID(ctx, ids::AliceAdmin, shown)), 1);
    QCOMPARE(shown, QStringLiteral("kept"));
    QCOMPARE(seams.messages->texts(),
             QStringList{QStringLiteral("(error):94 (Invalid use of Null) in procedure TolvaDBFindSubscriberOrDLbyObjectID of Form frmMain")});
}

// Past its limit a look-up reads every row of the kind at once: what it then
// answers is what a query for each object would, and costs no further query.
void TestActionText::lookupAskedAboutManyReadsThemAll()
{
    test::TestServer server;
    AppContext &ctx = server.ctx();
    using Kind = DestinationLookup::Kind;
    const QString gone = QStringLiteral("{DEADBEEF-0000-4000-8000-000000000000}");
    DestinationLookup each(ctx, 1000), all(ctx, 2);
    all.prefetch(Kind::CallHandler, {ids::Sales});
    all.prefetch(Kind::CallHandler, {ids::Support, ids::Operator.toLower()});
    const quint64 before = ctx.db().queryCount();
    for (const QString &id : {ids::Sales, ids::Goodbye, ids::BobSalesHandler, gone}) {
        const DestinationLookup::Found a = all.find(Kind::CallHandler, id);
        const DestinationLookup::Found e = each.find(Kind::CallHandler, id);
        QCOMPARE(a.count, e.count);
        QCOMPARE(a.name, e.name);
        QCOMPARE(a.isPrimary, e.isPrimary);
        QCOMPARE(a.recipientObjectId, e.recipientObjectId);
    }
    QCOMPARE(ctx.db().queryCount() - before, 4u); // the look-up that reads each one at a time
}

QTEST_GUILESS_MAIN(TestActionText)
#include "tst_actiontext.moc"
