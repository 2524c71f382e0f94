// The program on SQL Server's ordinary faults, played by the TDS stand-in: a
// connection cut before, after or at the commit of a request, a deadlock
// victim, a lock time-out, an error after the results. Each row makes one
// operation meet one fault, checks what the user is told, the audit line
// and the rows behind the server, and then that the next operation without
// a fault works on a new connection: a transaction whole or not at all, the
// truth reported. Then text the server cannot hold, a server that stops
// answering, and the row counts after a failed call. The tds run only.
#include "actions/setuseraction.h"
#include "common/appcontext.h"
#include "common/module1.h"
#include "common/tolvaversion.h"
#include "creation/creation.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "mainwindow/objectgrid.h"
#include "mainwindow/routingtree.h"
#include "pickers/pickersearch.h"
#include "platform/validatingedit.h"
#include "reports/dependencyreport.h"
#include "reports/schedules.h"
#include "tds/tdsserver.h"
#include "testserver.h"
#include "treehelpers.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTcpServer>
#include <QtTest>

using namespace quillor;
using Fault = quillor::test::tds::TdsServer::Fault;
namespace ids = quillor::embedded::SampleIds;

namespace {

enum class Op { DisplayName, CreateHandler, RouteKey, SaveSchedule, OpenNode, DependencyReport };
// Where a fault meets the operation: its request of interest (target()), its
// COMMIT, or the first request on each connection it uses.
enum class Aim { Target, Commit, Restart };

// Operations whose writes form one transaction.
bool inOneTransaction(Op op) { return op == Op::CreateHandler || op == Op::SaveSchedule; }
bool writes(Op op) { return op != Op::OpenNode && op != Op::DependencyReport; }

// The request of the operation a fault is aimed at, and how many like it pass first.
std::pair<QString, int> target(Op op)
{
    switch (op) {
    case Op::DisplayName: return {QStringLiteral("sp_ModifyCallHandler"), 0};
    case Op::CreateHandler: return {QStringLiteral("UPDATE MenuEntry"), 5}; // half way through the copy
    case Op::RouteKey: return {QStringLiteral("sp_ModifyMenuEntry"), 0};
    case Op::SaveSchedule: return {QStringLiteral("UPDATE Schedule"), 0};
    case Op::OpenNode:
    case Op::DependencyReport: return {QString(), 0}; // the operation's first request
    }
    return {};
}

// The lines of the run's log that record an action of `kind` ("ADD_NEW", "FAILED_UPDATE"...).
QStringList logLines(AppContext &ctx, const QString &kind)
{
    QStringList lines;
    for (const QString &line : test::logText(ctx).split(QStringLiteral("\r\n")))
        if (line.contains(QStringLiteral(", %1, ").arg(kind)))
            lines << line;
    return lines;
}

} // namespace

Q_DECLARE_METATYPE(Op)
Q_DECLARE_METATYPE(Aim)
Q_DECLARE_METATYPE(Fault::Kind)

class TestTdsFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_seams = std::make_unique<test::FakeSeams>(); }
    void cleanup();
    void faultThenNextOperation_data();
    void faultThenNextOperation();
    void refusedBeforeItsTransaction_data();
    void refusedBeforeItsTransaction();
    void commitAnswerLostAndNotReadBack_data();
    void commitAnswerLostAndNotReadBack();
    void routingChangeWhoseNameCannotBeRead();
    void pageAfterAnEditInDoubt();
    void textOutsideTheCodePage_data();
    void textOutsideTheCodePage();
    void textLongerThanItsParameter();
    void serverThatStopsAnswering_data();
    void serverThatStopsAnswering();
    void countsAfterAFailedCall();
    void editAfterAnIdleCut();
    void transactionEndsWithItsWork_data();
    void transactionEndsWithItsWork();
    void codePageNotRead();
    void loginNeverAnswered();

private:
    bool start(const test::TdsAccess &access = {});
    AppContext &ctx() { return m_server->ctx(); }
    test::tds::TdsServer &tds() { return *m_server->tds(); }
    bool attempt(Op op, int n);
    QString stored(Op op);
    // The recordings copied for the n-th creation's handler.
    QStringList copies(int n) const;
    QStringList shown() const { return m_seams->messages->texts(); }
    QString m_scheduleError;

    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    std::unique_ptr<RoutingTree> m_tree;
};

void TestTdsFaults::initTestCase()
{
    if (!test::overTds())
        QSKIP("The server's faults are played by the TDS stand-in: the tds run only");
}

void TestTdsFaults::cleanup()
{
    m_tree.reset();
    m_server.reset();
    m_seams.reset();
}

bool TestTdsFaults::start(const test::TdsAccess &access)
{
    m_server = std::make_unique<test::TestServer>(embedded::SampleOptions{}, access);
    if (!m_server->ok() || !m_server->tds())
        return false;
    ctx().state().gVersion = getVersion(ctx());
    if (!ctx().log().WriteLogHeader(m_server->folder() + QStringLiteral("/faults.log"), {}))
        return false;
    m_tree = std::make_unique<RoutingTree>(ctx());
    QString root;
    return m_tree->StartNewTree(root, 0);
}

// The operation, the n-th time (each time with another value, so that each
// write is told apart in what the server holds).
bool TestTdsFaults::attempt(Op op, int n)
{
    const QString suffix = QString::number(n);
    switch (op) {
    case Op::DisplayName: {
        const QString name = QStringLiteral("Sales ") + suffix;
        return writeAndAudit(ctx(), QStringLiteral("sp_ModifyCallHandler"),
                             {{QStringLiteral("CallHandlerObjectID"), ids::Sales, 72},
                              {QStringLiteral("TextName"), name, 200}},
                             {QStringLiteral("Call Handler"), QStringLiteral("salesch"), QStringLiteral("CallHandler"),
                              QStringLiteral("salesch"), QStringLiteral("TextName")},
                             name);
    }
    case Op::CreateHandler:
        return createCallHandler(ctx(), {ids::CallHandlerTemplate, QStringLiteral("Copy ") + suffix, {}}).has_value();
    case Op::RouteKey: {
        const SelectedObject opening{3, ids::OpeningGreeting, QStringLiteral("openinggreetingch"), {}};
        const RoutingSlot key9{opening, TargetMenuEntry, 0, ids::menuEntryId(ids::OpeningGreeting, 9),
                               QStringLiteral("9"), -1, false};
        return SetUserAction(ctx(), key9, 2, QStringLiteral("PHGreeting"), n % 2 ? ids::Operator : ids::Support, 3)
            .result;
    }
    case Op::SaveSchedule: {
        platform::DbError error;
        auto rows = readSchedules(ctx(), &error);
        if (!rows || rows->isEmpty())
            return false;
        ScheduleRow &row = rows->first();
        auto days = row.dayMasks();
        days[0].flip(size_t(n));
        const bool saved = saveSchedule(ctx(), row, days, row.observesHolidays(), &error) == ScheduleSave::Saved;
        m_scheduleError = error.description; // the schedule window shows it
        return saved;
    }
    case Op::OpenNode: {
        platform::OutlineNode *node = test::link(*m_tree, m_tree->ATTree().root(), n % 2 ? QStringLiteral("2")
                                                                                          : QStringLiteral("1"));
        return node && m_tree->openRow(node) && node->childCount() > 1;
    }
    case Op::DependencyReport: return makeDependencyReport(ctx(), 3, ids::Operator).made;
    }
    return false;
}

QStringList TestTdsFaults::copies(int n) const
{
    return QDir(m_server->server().streamFolder).entryList({QStringLiteral("Copy%1_*").arg(n)}, QDir::Files);
}

// What the server holds of the operation's writes.
QString TestTdsFaults::stored(Op op)
{
    switch (op) {
    case Op::DisplayName:
        return test::storedRow(ctx(), QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID = ?"),
                               {ids::Sales});
    case Op::CreateHandler:
        return test::storedRow(ctx(),
                               QStringLiteral("SELECT (SELECT COUNT(*) FROM CallHandler), (SELECT COUNT(*) FROM MenuEntry), "
                                              "(SELECT COUNT(*) FROM ContactRule), (SELECT COUNT(*) FROM MessagingRule)"),
                               {});
    case Op::RouteKey:
        return test::storedRow(ctx(), QStringLiteral("SELECT DestinationObjectID FROM MenuEntry WHERE MenuEntryObjectID = ?"),
                               {ids::menuEntryId(ids::OpeningGreeting, 9)});
    case Op::SaveSchedule:
        return test::storedRow(ctx(), QStringLiteral("SELECT hex(Monday) FROM Schedule ORDER BY rowid LIMIT 1"), {});
    case Op::OpenNode:
    case Op::DependencyReport: return {};
    }
    return {};
}

void TestTdsFaults::faultThenNextOperation_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<Fault::Kind>("kind");
    QTest::addColumn<Aim>("aim");
    const std::pair<const char *, Op> ops[] = {{"display name", Op::DisplayName},     {"creation", Op::CreateHandler},
                                               {"key 9", Op::RouteKey},               {"schedule", Op::SaveSchedule},
                                               {"tree node", Op::OpenNode},           {"dependency report", Op::DependencyReport}};
    const std::tuple<const char *, Fault::Kind, Aim> kinds[] = {
        {"cut before", Fault::Kind::CutBefore, Aim::Target},   {"cut after", Fault::Kind::CutAfter, Aim::Target},
        {"deadlock", Fault::Kind::Deadlock, Aim::Target},      {"lock time-out", Fault::Kind::LockTimeout, Aim::Target},
        {"error after results", Fault::Kind::RowsThenError, Aim::Target},
        {"cut at commit", Fault::Kind::CutAtCommit, Aim::Commit},
        {"commit answer lost", Fault::Kind::CutAfter, Aim::Commit},
        {"restart", Fault::Kind::CutBefore, Aim::Restart}};
    for (const auto &[opName, op] : ops)
        for (const auto &[kindName, kind, aim] : kinds)
            if ((aim != Aim::Commit || inOneTransaction(op)) && (aim != Aim::Restart || inOneTransaction(op)))
                QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(opName), QLatin1String(kindName))))
                    << op << kind << aim;
}

void TestTdsFaults::faultThenNextOperation()
{
    QFETCH(Op, op);
    QFETCH(Fault::Kind, kind);
    QFETCH(Aim, aim);
    QVERIFY(start());
    const QString before = stored(op);
    const auto [match, skip] = target(op);
    int faults = 1;
    if (aim == Aim::Restart) {
        // Every connection the operation uses found gone at its first request,
        // as after the server was started again: the main database's, and the
        // directory database's that a creation reads its recordings' folder from.
        tds().addFault({kind, QString()});
        if (op == Op::CreateHandler) {
            tds().addFault({kind, QStringLiteral("vw_Configuration")});
            ++faults;
        }
    } else {
        tds().addFault({kind, aim == Aim::Commit ? QStringLiteral("COMMIT") : match, aim == Aim::Commit ? 0 : skip});
    }

    // A read that met a connection found gone (a server restarted, a
    // connection cut while idle) runs once more on a new one, and so does a
    // COMMIT's answer lost after the server kept it: nothing is told.
    const bool gone = kind == Fault::Kind::CutBefore || kind == Fault::Kind::CutAfter;
    const bool made = aim == Aim::Restart || (aim == Aim::Commit && kind == Fault::Kind::CutAfter);
    if ((!writes(op) && gone) || made) {
        QVERIFY2(attempt(op, 0), qPrintable(shown().join(u'\n') + m_scheduleError));
        QCOMPARE(tds().faultsHit(), faults);
        QCOMPARE(shown(), QStringList{});
        if (op == Op::CreateHandler)
            QCOMPARE(copies(0).size(), 1); // the template's one recording
        if (writes(op))
            QVERIFY(stored(op) != before);
        return;
    }
    QVERIFY(!attempt(op, 0));
    QCOMPARE(tds().faultsHit(), 1);
    QVERIFY2(!(op == Op::SaveSchedule ? QStringList{m_scheduleError} : shown()).join(QString()).isEmpty(),
             "the failure is told");
    // A write the server ran before the fault stays; one inside a transaction goes with it.
    const bool ranAlone = !inOneTransaction(op)
                          && (kind == Fault::Kind::CutAfter || kind == Fault::Kind::RowsThenError);
    if (writes(op) && !ranAlone)
        QCOMPARE(stored(op), before);
    if (op == Op::CreateHandler)
        QCOMPARE(copies(0), QStringList{});
    // A write whose connection went after it was sent is told, once, as one
    // the server may have made, and audited so.
    const QString inDoubt = writeInDoubtText();
    if (op == Op::DisplayName || op == Op::RouteKey) {
        const QStringList failed = logLines(ctx(), QStringLiteral("FAILED_UPDATE"));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed[0].contains(inDoubt), gone);
        if (gone)
            QVERIFY2(shown().size() == 1 && shown()[0].contains(inDoubt, Qt::CaseInsensitive), qPrintable(shown().join(u'\n')));
        if (kind == Fault::Kind::CutAfter)
            QVERIFY(stored(op) != before);
    }
    if (op == Op::CreateHandler)
        QCOMPARE(logLines(ctx(), QStringLiteral("FAILED_ADD_NEW")).size(), 1);

    // A transaction after the fault is one again: one that fails half way leaves nothing.
    if (inOneTransaction(op)) {
        tds().addFault({Fault::Kind::LockTimeout, match, skip});
        QVERIFY(!attempt(op, 2));
        QCOMPARE(tds().faultsHit(), 2);
        QCOMPARE(stored(op), before);
    }
    const qsizetype told = shown().size();
    const QString audit = writes(op) ? stored(op) : QString();
    QVERIFY2(attempt(op, 1), qPrintable(shown().join(u'\n')));
    QCOMPARE(shown().size(), told);
    if (writes(op))
        QVERIFY(stored(op) != audit);
    if (op == Op::DisplayName || op == Op::RouteKey)
        QCOMPARE(test::auditLines(ctx()).last().section(u',', 0, 0), QStringLiteral("UPDATE"));
    if (op == Op::CreateHandler) {
        QCOMPARE(logLines(ctx(), QStringLiteral("ADD_NEW")).size(), 1);
        QCOMPARE(copies(1).size(), 1);
        const QStringList counts = before.split(u'|');
        QCOMPARE(stored(op), QStringLiteral("%1|%2|%3|%4")
                                 .arg(counts[0].toInt() + 1)
                                 .arg(counts[1].toInt() + 12)
                                 .arg(counts[2].toInt() + 3)
                                 .arg(counts[3].toInt() + 6));
    }
}

// A creation refused before its transaction began (the look-ups it makes
// first) is logged as a failed creation all the same; one whose look-up met
// a connection found gone reads again and goes on.
void TestTdsFaults::refusedBeforeItsTransaction_data()
{
    QTest::addColumn<QString>("match");
    QTest::addColumn<Fault::Kind>("kind");
    const QString alias = QStringLiteral("SELECT Alias FROM vw_CallHandler");
    const QString templateRow = QStringLiteral("SELECT * FROM vw_CallHandler WHERE CallHandlerObjectID");
    QTest::newRow("the alias look-up refused") << alias << Fault::Kind::LockTimeout;
    QTest::newRow("the template's read refused") << templateRow << Fault::Kind::LockTimeout;
    QTest::newRow("the alias look-up cut") << alias << Fault::Kind::CutBefore;
    QTest::newRow("the template's read cut") << templateRow << Fault::Kind::CutBefore;
}

void TestTdsFaults::refusedBeforeItsTransaction()
{
    QFETCH(QString, match);
    QFETCH(Fault::Kind, kind);
    QVERIFY(start());
    const QString before = stored(Op::CreateHandler);
    tds().addFault({kind, match});
    const bool refused = kind != Fault::Kind::CutBefore;
    QCOMPARE(attempt(Op::CreateHandler, 0), !refused);
    QCOMPARE(tds().faultsHit(), 1);
    QCOMPARE(logLines(ctx(), QStringLiteral("FAILED_ADD_NEW")).size(), refused ? 1 : 0);
    QCOMPARE(stored(Op::CreateHandler) == before, refused);
    QVERIFY(attempt(Op::CreateHandler, 1));
}

// A creation or a schedule save whose COMMIT's answer was lost reads back
// what the server holds; when that read fails too, it is called neither done
// nor failed: the words say the server may have made it (a creation: to look
// for its alias before creating it again), and the copied recording stays.
void TestTdsFaults::commitAnswerLostAndNotReadBack_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<QString>("readBack");
    // A creation's first look-up by alias, for a free one, comes before its transaction.
    QTest::newRow("creation") << Op::CreateHandler << "SELECT Alias FROM vw_CallHandler";
    QTest::newRow("schedule") << Op::SaveSchedule << "FROM Schedule WHERE DisplayName";
}

void TestTdsFaults::commitAnswerLostAndNotReadBack()
{
    QFETCH(Op, op);
    QFETCH(QString, readBack);
    QVERIFY(start());
    const QString before = stored(op);
    tds().addFault({Fault::Kind::CutAfter, QStringLiteral("COMMIT")});
    tds().addFault({Fault::Kind::LockTimeout, readBack, op == Op::CreateHandler ? 1 : 0});
    QVERIFY(!attempt(op, 0));
    QCOMPARE(tds().faultsHit(), 2);
    QVERIFY(stored(op) != before); // the server kept it
    if (op == Op::SaveSchedule) {
        QVERIFY2(m_scheduleError.contains(writeInDoubtText(), Qt::CaseInsensitive), qPrintable(m_scheduleError));
        return;
    }
    QCOMPARE(copies(0).size(), 1);
    const QStringList failed = logLines(ctx(), QStringLiteral("FAILED_ADD_NEW"));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(shown().size(), 1);
    for (const QString &told : {shown()[0], failed[0]})
        QVERIFY2(told.contains(QStringLiteral("may have been created. Look for its alias \"Copy0\" before creating it again")),
                 qPrintable(told));
}

// A routing change saved whose destination's name cannot be read after the
// write (a deadlock victim there) is saved and audited so; nothing says it failed.
void TestTdsFaults::routingChangeWhoseNameCannotBeRead()
{
    QVERIFY(start());
    const QString before = stored(Op::RouteKey);
    // The first is the check, before the write, that the destination is still there.
    tds().addFault({Fault::Kind::Deadlock, QStringLiteral("FROM vw_CallHandler WHERE CallHandlerObjectID ="), 1});
    QVERIFY(attempt(Op::RouteKey, 1));
    QCOMPARE(tds().faultsHit(), 1);
    QCOMPARE(shown(), QStringList{});
    QVERIFY(stored(Op::RouteKey) != before);
    const QString audit = test::auditLines(ctx()).value(0);
    QVERIFY2(audit.startsWith(QStringLiteral("UPDATE,")) && audit.endsWith(ids::Operator), qPrintable(audit));
    QVERIFY(test::logText(ctx()).contains(QStringLiteral("(error):1205 (")));
}

// An edit on a page whose connection went after it was sent: one message
// says the server may have made it, and the page shows what the server holds
// as its load reads it, not the value it showed before the edit.
void TestTdsFaults::pageAfterAnEditInDoubt()
{
    test::MainWindowFixture f;
    QVERIFY(f.start(true));
    f.window->findChild<QTabWidget *>(QStringLiteral("TabTreeGrid"))->setCurrentIndex(1);
    f.window->findChild<QComboBox *>(QStringLiteral("cmbShowObjectType"))->setCurrentIndex(0);
    auto *grid = f.window->findChild<QTableView *>(QStringLiteral("gridObjects"));
    grid->setCurrentIndex(grid->model()->index(f.window->gridModel().rowOfObject(ids::Sales), 0));
    auto *box = f.window->findChild<platform::ValidatingLineEdit *>(QStringLiteral("txtHandlerProfileDisplayName"));
    QCOMPARE(box->text(), QStringLiteral("Sales"));
    f.server->tds()->addFault({Fault::Kind::CutAfter, QStringLiteral("sp_ModifyCallHandler")});

    test::reveal(box);
    box->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(box->hasFocus());
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("Sales East"));
    grid->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(box->text(), QStringLiteral("Sales East"));
    QCOMPARE(f.server->tds()->faultsHit(), 1);
    const QStringList told = f.seams->messages->texts();
    QVERIFY2(told.size() == 1 && told[0].contains(writeInDoubtText(), Qt::CaseInsensitive), qPrintable(told.join(u'\n')));
    f.stop();
}

// Text the database's code page cannot hold is never sent: the driver would
// fail to convert it and leave the connection unusable. A search finds
// nothing; a creation is refused naming the characters; what follows works.
void TestTdsFaults::textOutsideTheCodePage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outside");
    QTest::newRow("Czech") << QStringLiteral("Dvořák") << QStringLiteral("\"ř\"");
    QTest::newRow("an emoji") << QStringLiteral("😀 desk") << QStringLiteral("\"😀\"");
    QTest::newRow("Hebrew") << QStringLiteral("שלום abc") << QStringLiteral("\"ש\", \"ל\", \"ו\", \"ם\"");
}

void TestTdsFaults::textOutsideTheCodePage()
{
    QFETCH(QString, text);
    QFETCH(QString, outside);
    QVERIFY(start());
    const int requests = tds().requestCount();
    platform::DbError error;
    const platform::Recordset found = pickerSearch(ctx(), PickerKind::CallHandler, SearchBy::DisplayName, text, &error);
    QVERIFY(found.isOpen());
    QCOMPARE(found.RecordCount(), 0);
    QCOMPARE(tds().requestCount(), requests);
    QCOMPARE(shown(), QStringList{});

    const QString before = stored(Op::CreateHandler);
    QVERIFY(!createCallHandler(ctx(), {ids::CallHandlerTemplate, text, {}}));
    QCOMPARE(stored(Op::CreateHandler), before);
    QVERIFY2(shown().join(u'\n').contains(outside), qPrintable(shown().join(u'\n')));
    QCOMPARE(logLines(ctx(), QStringLiteral("FAILED_ADD_NEW")).size(), 1);

    QVERIFY(attempt(Op::DisplayName, 1));
    QCOMPARE(stored(Op::DisplayName), QStringLiteral("Sales 1"));
    QVERIFY(attempt(Op::CreateHandler, 1));
}

// The server would cut a procedure's text to its parameter's length without
// a word; the program refuses it first, naming the field and its limit.
void TestTdsFaults::textLongerThanItsParameter()
{
    QVERIFY(start());
    const QString before = stored(Op::DisplayName);
    const QString name = QString(41, u'N');
    QVERIFY(!writeAndAudit(ctx(), QStringLiteral("sp_ModifyCallHandler"),
                           {{QStringLiteral("CallHandlerObjectID"), ids::Sales, 72}, {QStringLiteral("TextName"), name, 200}},
                           {QStringLiteral("Call Handler"), QStringLiteral("salesch"), QStringLiteral("CallHandler"),
                            QStringLiteral("salesch"), QStringLiteral("TextName")},
                           name));
    QCOMPARE(stored(Op::DisplayName), before);
    QVERIFY2(shown().join(u'\n').contains(QStringLiteral("@TextName is 41 characters long; the server takes at most 40")),
             qPrintable(shown().join(u'\n')));
    QCOMPARE(logLines(ctx(), QStringLiteral("FAILED_UPDATE")).size(), 1);
    QVERIFY(attempt(Op::DisplayName, 1));
}

// A server that takes a request and then says nothing: a time-out ends the
// wait (the connection text's, else the program's own), and the next action
// gets a working connection.
void TestTdsFaults::serverThatStopsAnswering_data()
{
    QTest::addColumn<QString>("extra");
    QTest::addColumn<int>("bound"); // seconds, generous
    QTest::newRow("3 s set in the connection text") << "Timeout=3" << 20;
    QTest::newRow("none set: the program's own") << "" << 80;
}

void TestTdsFaults::serverThatStopsAnswering()
{
    QFETCH(QString, extra);
    QFETCH(int, bound);
    test::TdsAccess access;
    access.extra = extra;
    QVERIFY(start(access));
    Fault stall{Fault::Kind::Stall, QStringLiteral("sp_ModifyCallHandler")};
    stall.seconds = 240;
    tds().addFault(stall);
    QElapsedTimer waited;
    waited.start();
    QVERIFY(!attempt(Op::DisplayName, 0));
    // The point is that it ends long before the server would have answered.
    QVERIFY2(waited.elapsed() < bound * 1000, qPrintable(QString::number(waited.elapsed())));
    QVERIFY2(shown().join(u'\n').contains(QStringLiteral("Timeout expired"), Qt::CaseInsensitive),
             qPrintable(shown().join(u'\n')));
    QVERIFY(attempt(Op::DisplayName, 1));
    QCOMPARE(stored(Op::DisplayName), QStringLiteral("Sales 1"));
}

// A call that failed may have ended its batch before the row counts were
// turned on again (a value the procedure cannot convert ends it); a later
// statement still counts its rows (the schedule save reads how many rows it changed).
void TestTdsFaults::countsAfterAFailedCall()
{
    QVERIFY(start());
    QVERIFY(!UpdateValue(ctx(), QStringLiteral("sp_ModifyCallHandler"),
                         {{QStringLiteral("CallHandlerObjectID"), ids::Sales, 72},
                          {QStringLiteral("MaxMsgLen"), QStringLiteral("many"), 200}}));
    QVERIFY(!shown().isEmpty());
    QVERIFY(attempt(Op::SaveSchedule, 1));
}

// A connection cut while it stood idle (a server restart, a firewall) is
// found by a statement that changes nothing, before the edit goes: the edit
// is written at the first try, and once.
void TestTdsFaults::editAfterAnIdleCut()
{
    QVERIFY(start());
    QVERIFY(attempt(Op::DisplayName, 1));
    QTest::qWait(1100);
    tds().addFault({Fault::Kind::CutBefore, QString()});
    Fault second{Fault::Kind::LockTimeout, QStringLiteral("sp_ModifyCallHandler")};
    second.skip = 1; // hit only by a second sending of the edit
    tds().addFault(second);
    QVERIFY2(attempt(Op::DisplayName, 2), qPrintable(shown().join(u'\n')));
    QCOMPARE(tds().faultsHit(), 1);
    QCOMPARE(stored(Op::DisplayName), QStringLiteral("Sales 2"));
    QCOMPARE(logLines(ctx(), QStringLiteral("UPDATE")).size(), 2);
}

// A BEGIN answered with an error may have opened its transaction, and a
// COMMIT the server refused leaves it open: either way it is ended, so the
// next edit is not held, uncommitted, inside it (the row is read on another
// connection).
void TestTdsFaults::transactionEndsWithItsWork_data()
{
    QTest::addColumn<Fault::Kind>("kind");
    QTest::addColumn<QString>("match");
    QTest::newRow("BEGIN answered with an error") << Fault::Kind::RowsThenError << "BEGIN";
    QTest::newRow("COMMIT refused") << Fault::Kind::LockTimeout << "COMMIT";
}

void TestTdsFaults::transactionEndsWithItsWork()
{
    QFETCH(Fault::Kind, kind);
    QFETCH(QString, match);
    QVERIFY(start());
    const QString before = stored(Op::CreateHandler);
    tds().addFault({kind, match});
    QVERIFY(!attempt(Op::CreateHandler, 0));
    QCOMPARE(tds().faultsHit(), 1);
    QCOMPARE(stored(Op::CreateHandler), before);
    QVERIFY(attempt(Op::DisplayName, 1));
    QCOMPARE(stored(Op::DisplayName), QStringLiteral("Sales 1"));
}

// While the database's code page cannot be read, only ASCII text is sent;
// a text outside it is refused in words that say why, and the code page is
// asked again before the next such text.
void TestTdsFaults::codePageNotRead()
{
    QVERIFY(start());
    Fault unread{Fault::Kind::LockTimeout, QStringLiteral("COLLATIONPROPERTY")};
    unread.times = 0;
    tds().addFault({Fault::Kind::CutBefore, QString()}); // the next request, on a new connection then
    tds().addFault(unread);
    QVERIFY(attempt(Op::DisplayName, 1));
    QCOMPARE(stored(Op::DisplayName), QStringLiteral("Sales 1"));
    const QString why = QStringLiteral("the database's code page could not be read");
    const QString before = stored(Op::CreateHandler);
    QVERIFY(!createCallHandler(ctx(), {ids::CallHandlerTemplate, QStringLiteral("Dvořák"), {}}));
    QCOMPARE(stored(Op::CreateHandler), before);
    QVERIFY2(shown().join(u'\n').contains(why), qPrintable(shown().join(u'\n')));
    platform::DbError error;
    QVERIFY(!pickerSearch(ctx(), PickerKind::CallHandler, SearchBy::DisplayName, QStringLiteral("Müller"), &error).isOpen());
    QVERIFY2(error.description.contains(why), qPrintable(error.description));

    tds().clearFaults();
    QVERIFY(pickerSearch(ctx(), PickerKind::CallHandler, SearchBy::DisplayName, QStringLiteral("Müller"), &error).isOpen());
}

// A server that takes the connection and never answers the login: the
// login gives up at its own time-out, and says the connection went.
void TestTdsFaults::loginNeverAnswered()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    platform::ServerProfile profile;
    profile.mainDatabase = QStringLiteral("odbc:Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=TolvaDb;UID=tolva;"
                                          "PWD=tolva;TDS_Version=7.4")
                               .arg(silent.serverPort());
    platform::Database db(profile);
    QElapsedTimer waited;
    waited.start();
    platform::DbError error;
    QVERIFY(!db.open(QStringLiteral("Initial Catalog=TolvaDb"), QStringLiteral("SELECT 1"), {}, &error).isOpen());
    QVERIFY(error.lost);
    // Ended by the login's own time-out (15 s), not by the driver's far longer one.
    QVERIFY2(waited.elapsed() < 45000, qPrintable(QString::number(waited.elapsed())));
}

QTEST_MAIN(TestTdsFaults)
#include "tst_tdsfaults.moc"
