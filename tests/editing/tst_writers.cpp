// The rule writers and the key locks against the sample server: what reaches
// the rows, the audit line each write leaves, and what is refused.
#include "common/appcontext.h"
#include "editing/contactrulewriter.h"
#include "editing/editinghost.h"
#include "editing/greetingwriter.h"
#include "editing/keylocks.h"
#include "editing/messagesettingswriter.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "testserver.h"

#include <QtTest>

#include <functional>

using namespace quillor;
using test::storedRow;
using test::sql;
namespace ids = quillor::embedded::SampleIds;

using Write = std::function<bool(EditingHost &)>;
Q_DECLARE_METATYPE(Write)
Q_DECLARE_METATYPE(quillor::SelectedObject)

namespace {

const SelectedObject kOpening{3, ids::OpeningGreeting, QStringLiteral("openinggreetingch"), QStringLiteral("Opening Greeting")};
const SelectedObject kAlice{1, ids::AliceAdminHandler, QStringLiteral("aadmin"), QStringLiteral("Alice Admin")};

QString contactRule(const QString &handler, int index)
{
    return QStringLiteral("SELECT TimeExpires, Action, TransferType, TransferRings, Extension FROM ContactRule "
                          "WHERE ContactRuleObjectID = '%1'")
        .arg(ids::contactRuleId(handler, index));
}

QString greeting(const QString &handler, int index)
{
    return QStringLiteral("SELECT TimeExpires, IgnoreDigits, PlayWhat, Reprompts FROM MessagingRule "
                          "WHERE MessagingRuleObjectID = '%1'")
        .arg(ids::greetingId(handler, index));
}

QString messageSettings(const QString &handler)
{
    return QStringLiteral("SELECT MaxMsgLen, EditMsg, SendUrgentMsg FROM CallHandler WHERE CallHandlerObjectID = '%1'")
        .arg(handler);
}

Write contactRuleWrite(int index, ContactRuleInput in)
{
    return [=](EditingHost &host) { return UpdateCurrentContactRule(host, index, in); };
}

Write subscriberRuleWrite(ContactRuleInput in)
{
    return [=](EditingHost &host) { return UpdateCurrentSubscriberContactRule(host, in); };
}

Write handlerGreetingWrite(int index, GreetingInput in)
{
    return [=](EditingHost &host) { return UpdateCurrentHandlerMessageRule(host, index, in); };
}

Write subscriberGreetingWrite(int index, GreetingInput in)
{
    return [=](EditingHost &host) { return UpdateCurrentSubscriberMessageRule(host, index, in); };
}

// A server 4.0 of a release and build.
TolvaVersionRecord version(qint16 release, qint16 build) { return test::serverVersion(4, 0, release, build); }

} // namespace

class TestWriters : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void writes_data();
    void writes();
    void greetingsOnEveryStorageRegime_data();
    void greetingsOnEveryStorageRegime();
    void refusedBeforeWriting_data();
    void refusedBeforeWriting();
    void failedWrites_data();
    void failedWrites();
    void keyLocks_data();
    void keyLocks();

private:
    EditingHost &host(const SelectedObject &shown)
    {
        m_shown = shown;
        return *m_host;
    }
    AppContext &ctx() { return m_server->ctx(); }

    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    SelectedObject m_shown;
    std::unique_ptr<EditingHost> m_host;
    int m_relists = 0;
    int m_reloads = 0;
};

void TestWriters::init()
{
    m_seams = std::make_unique<test::FakeSeams>();
    // Summer in Berlin: two hours ahead of universal time.
    m_seams->clock->current = QDateTime(QDate(2024, 7, 1), QTime(9, 0));
    m_server = std::make_unique<test::TestServer>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    QVERIFY(ctx().log().WriteLogHeader(m_server->folder() + QStringLiteral("/writers.log"), {}));
    m_relists = m_reloads = 0;
    m_host = std::make_unique<EditingHost>(
        ctx(), m_shown, EditingHost::Window{[this] { ++m_relists; }, [this] { ++m_reloads; }, {}});
}

void TestWriters::cleanup()
{
    m_host.reset();
    m_server.reset();
    m_seams.reset();
}

void TestWriters::writes_data()
{
    QTest::addColumn<SelectedObject>("shown");
    QTest::addColumn<Write>("write");
    QTest::addColumn<QString>("before"); // a statement preparing the row, or ""
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("audit");
    QTest::addColumn<int>("relists");

    const QString future = QStringLiteral("2030-05-01 10:00:00");
    const QString keepFuture = QStringLiteral("UPDATE %1 SET TimeExpires = '%2' WHERE %1ObjectID = '%3'");

    QTest::newRow("transfer rule rings the phone")
        << kOpening << contactRuleWrite(0, {true, true, 1, QStringLiteral("6"), QStringLiteral("9,1234#")}) << ""
        << contactRule(ids::OpeningGreeting, 0) << "<null>|1|1|6|9,1234#"
        << "UPDATE, CallHandler, openinggreetingch, ContactRule, Standard, Update, "
           "Rule Enabled | Action=1 | TransferType=1 | TransferRings=6 | Extension=9,1234#"
        << 1;
    QTest::newRow("transfer rule switched off: the disabled date, the other fields as shown")
        << kOpening << contactRuleWrite(2, {false, false, 0, QStringLiteral("3"), QStringLiteral("55")}) << ""
        << contactRule(ids::OpeningGreeting, 2) << "1993-01-02 00:00:00|0|0|3|55"
        << "UPDATE, CallHandler, openinggreetingch, ContactRule, Alternate, Update, "
           "Rule Disabled | Action=0 | TransferType=0 | TransferRings=3 | Extension=55"
        << 1;
    QTest::newRow("empty rings and no type selected leave the stored ones")
        << kOpening << contactRuleWrite(0, {true, true, std::nullopt, QString(), QStringLiteral("7")})
        << "UPDATE ContactRule SET TransferType = 1, TransferRings = 8 WHERE ContactRuleObjectID = '"
               + ids::contactRuleId(ids::OpeningGreeting, 0) + "'"
        << contactRule(ids::OpeningGreeting, 0) << "<null>|1|1|8|7"
        << "UPDATE, CallHandler, openinggreetingch, ContactRule, Standard, Update, Rule Enabled | Action=1 | Extension=7"
        << 1;
    QTest::newRow("a rule on until a later date keeps that date")
        << kOpening << contactRuleWrite(1, {true, false, 0, QStringLiteral("4"), QString()})
        << keepFuture.arg(QStringLiteral("ContactRule"), future, ids::contactRuleId(ids::OpeningGreeting, 1))
        << contactRule(ids::OpeningGreeting, 1) << future + "|0|0|4|"
        << "UPDATE, CallHandler, openinggreetingch, ContactRule, Off Hours, Update, "
           "Rule Enabled | Action=0 | TransferType=0 | TransferRings=4 | Extension="
        << 1;
    QTest::newRow("subscriber's rule is always on, written to its primary call handler")
        << kAlice << subscriberRuleWrite({false, true, 1, QStringLiteral("2"), QStringLiteral("8005")})
        << "UPDATE ContactRule SET TimeExpires = '2001-01-01 00:00:00' WHERE ContactRuleObjectID = '"
               + ids::contactRuleId(ids::AliceAdminHandler, 2) + "'"
        << contactRule(ids::AliceAdminHandler, 2) << "<null>|1|1|2|8005"
        << "UPDATE, Subscriber, aadmin, ContactRule, Alternate, Update, "
           "Rule enabled | Action=1 | TransferType=1 | TransferRings=2 | Extension=8005"
        << 1;

    QTest::newRow("message settings")
        << kOpening
        << Write([](EditingHost &h) { return UpdateCurrentCallHandlerMessageSettings(h, {QStringLiteral("300"), true, 2}); })
        << "" << messageSettings(ids::OpeningGreeting) << "300|1|2"
        << "UPDATE, , , CallHandler, openinggreetingch, Message Option Update, MaxMsgLen=300 | EditMsg=1 | SendUrgentMsg=2"
        << 0;
    QTest::newRow("subscriber's message settings, an empty length left as stored")
        << kAlice
        << Write([](EditingHost &h) { return UpdateCurrentSubscriberMessageSettings(h, {QString(), false, std::nullopt}); })
        << "UPDATE CallHandler SET MaxMsgLen = 90, EditMsg = 1, SendUrgentMsg = 1 WHERE CallHandlerObjectID = '"
               + ids::AliceAdminHandler + "'"
        << messageSettings(ids::AliceAdminHandler) << "90|0|1"
        << "UPDATE, , , Subscriber, aadmin, Message Option Update, EditMsg=0" << 0;

    GreetingInput dated;
    dated.neverExpires = false;
    dated.expiryDate = QDate(2024, 8, 15);
    dated.expiryTime = QTime(10, 0);
    dated.allowInput = false;
    dated.source = 1;
    dated.repeat = 2;
    QTest::newRow("greeting with an expiry: local time written as universal time")
        << kOpening << handlerGreetingWrite(2, dated) << "" << greeting(ids::OpeningGreeting, 2)
        << "2024-08-15 08:00:00|1|1|2"
        << "UPDATE, CallHandler, openinggreetingch, MessagingRule, Busy, Update, "
           "Rule Enabled with expirable date | Ignore Digits=1 | PlayWhat=1 | Repeat=2"
        << 0;
    // Local times the clock skips in spring or passes twice in autumn.
    for (const auto &[when, utc] : {std::pair{QDate(2025, 3, 30), "2025-03-30 01:30:00"},
                                    std::pair{QDate(2025, 10, 26), "2025-10-26 00:30:00"}}) {
        GreetingInput night = dated;
        night.expiryDate = when;
        night.expiryTime = QTime(2, 30);
        QTest::addRow("greeting expiring at 02:30 on %s", qPrintable(when.toString(Qt::ISODate)))
            << kOpening << handlerGreetingWrite(2, night) << "" << greeting(ids::OpeningGreeting, 2)
            << QString::fromLatin1(utc) + "|1|1|2"
            << "UPDATE, CallHandler, openinggreetingch, MessagingRule, Busy, Update, "
               "Rule Enabled with expirable date | Ignore Digits=1 | PlayWhat=1 | Repeat=2"
            << 0;
    }
    GreetingInput off = dated;
    off.enabled = false;
    QTest::newRow("greeting switched off: the disabled date, the pickers ignored")
        << kOpening << handlerGreetingWrite(1, off) << "" << greeting(ids::OpeningGreeting, 1)
        << "1993-01-02 00:00:00|1|1|2"
        << "UPDATE, CallHandler, openinggreetingch, MessagingRule, Off Hours, Update, "
           "Rule Disabled | Ignore Digits=1 | PlayWhat=1 | Repeat=2"
        << 0;
    QTest::newRow("Error greeting is always on")
        << kOpening << handlerGreetingWrite(5, off) << "" << greeting(ids::OpeningGreeting, 5) << "<null>|1|1|2"
        << "UPDATE, CallHandler, openinggreetingch, MessagingRule, Error, Update, "
           "Rule Enabled | Ignore Digits=1 | PlayWhat=1 | Repeat=2"
        << 0;
    GreetingInput unselected;
    unselected.source = std::nullopt;
    unselected.repeat = std::nullopt;
    QTest::newRow("subscriber greeting on until a later date, lists without a selection")
        << kAlice << subscriberGreetingWrite(3, unselected)
        << keepFuture.arg(QStringLiteral("MessagingRule"), future, ids::greetingId(ids::AliceAdminHandler, 3))
        << greeting(ids::AliceAdminHandler, 3) << future + "|0|2|0"
        << "UPDATE, Subscriber, aadmin, MessagingRule, Alternate, Update, Rule Enabled | Ignore Digits=0" << 0;
}

void TestWriters::writes()
{
    QFETCH(SelectedObject, shown);
    QFETCH(Write, write);
    QFETCH(QString, before);
    QFETCH(QString, query);
    QFETCH(QString, row);
    QFETCH(QString, audit);
    QFETCH(int, relists);

    if (!before.isEmpty())
        QVERIFY(sql(ctx(), before));
    QVERIFY(write(host(shown)));
    QCOMPARE(storedRow(ctx(), query, {}), row);
    QCOMPARE(test::auditLines(ctx()), QStringList{audit});
    QCOMPARE(m_seams->messages->texts(), QStringList{});
    QTRY_COMPARE(m_relists, relists);
}

void TestWriters::greetingsOnEveryStorageRegime_data()
{
    QTest::addColumn<TolvaVersionRecord>("server");
    QTest::newRow("greeting procedure") << version(5, 1);
    QTest::newRow("MessagingRule row written by the write path") << version(5, 0);
    QTest::newRow("view row written by the writer") << version(3, 119);
}

void TestWriters::greetingsOnEveryStorageRegime()
{
    QFETCH(TolvaVersionRecord, server);
    ctx().state().gVersion = server;
    GreetingInput in;
    in.neverExpires = false;
    in.expiryDate = QDate(2025, 1, 20);
    in.expiryTime = QTime(18, 30);
    in.source = 2;
    in.repeat = 9;
    QVERIFY(UpdateCurrentHandlerMessageRule(host(kOpening), 4, in));
    // Winter in Berlin: one hour ahead.
    QCOMPARE(storedRow(ctx(), greeting(ids::OpeningGreeting, 4), {}), QStringLiteral("2025-01-20 17:30:00|0|2|9"));
    QCOMPARE(test::auditLines(ctx()).size(), 1);
    QVERIFY(test::auditLines(ctx()).first().startsWith(QStringLiteral("UPDATE, CallHandler, openinggreetingch, MessagingRule, Internal")));

    // Switched off on the same road.
    in.enabled = false;
    QVERIFY(UpdateCurrentHandlerMessageRule(host(kOpening), 4, in));
    QCOMPARE(storedRow(ctx(), greeting(ids::OpeningGreeting, 4), {}), QStringLiteral("1993-01-02 00:00:00|0|2|9"));
}

void TestWriters::refusedBeforeWriting_data()
{
    QTest::addColumn<SelectedObject>("shown");
    QTest::addColumn<Write>("write");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("message");

    const QString noRule = QStringLiteral("Error!  Could not load %1 contact rule for the currently selected call handler "
                                          "in the chkHandlerTransferEnabled routine.");
    QTest::newRow("transfer rule index 3")
        << kOpening << contactRuleWrite(3, {}) << ""
        << "Error!  Invalid control index passed into chkHandlerTransferEnabled routine.";
    QTest::newRow("greeting index -1")
        << kOpening << handlerGreetingWrite(-1, {}) << ""
        << "Error!  Invalid control index passed into UpdateCurrentHandlerMessageRule routine.";
    QTest::newRow("transfer rule that is not there")
        << kOpening << contactRuleWrite(1, {}) << "DELETE FROM ContactRule WHERE ContactRuleObjectID = '"
               + ids::contactRuleId(ids::OpeningGreeting, 1) + "'"
        << noRule.arg(QStringLiteral("Off Hours"));
    QTest::newRow("greeting that is there twice")
        << kAlice << subscriberGreetingWrite(1, {})
        << "INSERT INTO MessagingRule (ParentObjectID, Alias) VALUES ('" + ids::AliceAdminHandler + "', 'Off Hours')"
        << "Error!  Could not load Off Hours message rule for the currently selected call handler in the "
           "UpdateCurrentHandlerMessageRule routine.";
    // An expiry at the present moment (09:00 in Berlin) would store the greeting switched off.
    GreetingInput expired;
    expired.neverExpires = false;
    expired.expiryDate = QDate(2024, 7, 1);
    expired.expiryTime = QTime(9, 0);
    QTest::newRow("greeting expiring now")
        << kOpening << handlerGreetingWrite(2, expired) << ""
        << "The expiry date and time have already passed. Pick a later date first: the date can be changed while "
           "\"Never\" is selected.";
    // A page whose object is of another kind, or was not found, writes nothing at all.
    QTest::newRow("call handler writer while a subscriber is shown") << kAlice << contactRuleWrite(0, {}) << "" << "";
    QTest::newRow("subscriber writer while nothing is shown")
        << SelectedObject{} << Write([](EditingHost &h) { return UpdateCurrentSubscriberMessageSettings(h, {}); }) << ""
        << "";
}

void TestWriters::refusedBeforeWriting()
{
    QFETCH(SelectedObject, shown);
    QFETCH(Write, write);
    QFETCH(QString, before);
    QFETCH(QString, message);

    if (!before.isEmpty())
        QVERIFY(sql(ctx(), before));
    const quint64 writes = ctx().db().writeCount();
    QVERIFY(!write(host(shown)));
    QCOMPARE(ctx().db().writeCount(), writes);
    QCOMPARE(m_seams->messages->texts(), message.isEmpty() ? QStringList{} : QStringList{message});
    QCOMPARE(test::auditLines(ctx()), QStringList{});
}

void TestWriters::failedWrites_data()
{
    QTest::addColumn<SelectedObject>("shown");
    QTest::addColumn<Write>("write");
    QTest::addColumn<TolvaVersionRecord>("server");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("audit");

    QTest::newRow("transfer rule") << kOpening << contactRuleWrite(0, {true, true, 1, "5", "1"}) << version(1, 50)
                                   << contactRule(ids::OpeningGreeting, 0) << "FAILED_UPDATE, CallHandler, openinggreetingch, ContactRule, Standard";
    QTest::newRow("greeting, procedure") << kAlice << subscriberGreetingWrite(2, {}) << version(1, 50)
                                         << greeting(ids::AliceAdminHandler, 2) << "FAILED_UPDATE, Subscriber, aadmin, MessagingRule, Busy";
    QTest::newRow("greeting, row of an older server") << kOpening << handlerGreetingWrite(3, {}) << version(3, 100)
                                                      << greeting(ids::OpeningGreeting, 3)
                                                      << "FAILED_UPDATE, CallHandler, openinggreetingch, MessagingRule, Alternate";
    QTest::newRow("message settings")
        << kOpening << Write([](EditingHost &h) { return UpdateCurrentCallHandlerMessageSettings(h, {"60", true, 1}); })
        << version(1, 50) << messageSettings(ids::OpeningGreeting) << "FAILED_UPDATE, , , CallHandler, openinggreetingch";
}

void TestWriters::failedWrites()
{
    QFETCH(SelectedObject, shown);
    QFETCH(Write, write);
    QFETCH(TolvaVersionRecord, server);
    QFETCH(QString, query);
    QFETCH(QString, audit);

    ctx().state().gVersion = server;
    const QString stored = storedRow(ctx(), query, {});
    QVERIFY(sql(ctx(), QStringLiteral("PRAGMA query_only = 1")));
    QVERIFY(!write(host(shown)));
    QVERIFY(sql(ctx(), QStringLiteral("PRAGMA query_only = 0")));
    QCOMPARE(storedRow(ctx(), query, {}), stored);
    QCOMPARE(m_seams->messages->texts().count(QStringLiteral("Failed to update database")), 1);
    const QStringList lines = test::auditLines(ctx());
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(audit), qPrintable(lines.first()));
    QTest::qWait(1);
    QCOMPARE(m_relists, 0);
}

void TestWriters::keyLocks_data()
{
    QTest::addColumn<SelectedObject>("shown");
    QTest::addColumn<qint16>("page");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<int>("written");

    QTest::newRow("lock all of a call handler") << kOpening << qint16(3) << true << 11;
    QTest::newRow("unlock all of a subscriber") << kAlice << qint16(1) << false << 11;
    QTest::newRow("the subscriber page's grid while a call handler is shown") << kOpening << qint16(1) << true << 0;
}

void TestWriters::keyLocks()
{
    QFETCH(SelectedObject, shown);
    QFETCH(qint16, page);
    QFETCH(bool, locked);
    QFETCH(int, written);

    QVERIFY(sql(ctx(), QStringLiteral("UPDATE MenuEntry SET Locked = ? WHERE ParentObjectID = ?"), {locked ? 0 : 1, shown.ObjectID}));
    QList<KeyGridRow> rows;
    for (int key = 0; key < 12; ++key)
        rows << KeyGridRow{key < 10 ? QString::number(key) : QString::fromLatin1(key == 10 ? "*" : "#"),
                           ids::menuEntryId(shown.ObjectID, key)};
    rows[4].menuEntryObjectId.clear(); // a key whose entry was not found
    SetOneKeyRuleLocks(host(shown), page, rows, locked);

    const QString lockedCount = QStringLiteral("SELECT COUNT(*) FROM MenuEntry WHERE ParentObjectID = ? AND Locked = ?");
    QCOMPARE(storedRow(ctx(), lockedCount, {shown.ObjectID, locked ? 1 : 0}), QString::number(written));
    // The key without an entry fails as a refused write does, writing nothing.
    QStringList expected;
    for (const KeyGridRow &row : std::as_const(rows))
        if (written)
            expected << QStringLiteral("%1, CallHandler, %2, MenuEntry, %3, Locked, %4")
                            .arg(row.menuEntryObjectId.isEmpty() ? "FAILED_UPDATE" : "UPDATE", shown.Alias, row.key,
                                 locked ? QStringLiteral("True") : QStringLiteral("False"));
    QCOMPARE(test::auditLines(ctx()), expected);
    QCOMPARE(m_seams->messages->texts(), written ? QStringList{"Failed to update database"} : QStringList{});
    QCOMPARE(m_reloads, written ? 1 : 0);
}

QTEST_MAIN(TestWriters)
#include "tst_writers.moc"
