// The database layer on the embedded server: connection strings resolved
// through the profile, exact row counts, field access, updatable recordsets,
// procedure calls and transactions.
#include "embedded/sampleids.h"
#include "fakes.h"
#include "platform/database.h"
#include "testserver.h"

#include <QFileInfo>
#include <QtTest>

using namespace quillor;
using platform::Database;
using platform::DbError;
using platform::Recordset;
namespace ids = quillor::embedded::SampleIds;

namespace {
const QString kMain = QStringLiteral(
    "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=TolvaDb;Data Source=X");
const QString kDirectory = QStringLiteral("Driver={SQL Server};server=localhost\\varkotolva;database=TolvaDirDB");
} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void locations_data();
    void locations();
    void profileFromTheExport();
    void readsRows();
    void nullIsKeptApart();
    void missingDatabaseIsNotCreated();
    void updatableRecordset();
    void addNewReadsTheRowBack();
    void updateOfAVanishedRow();
    void procedureArguments_data();
    void procedureArguments();
    void transactionRollsBack();
};

void TestDatabase::locations_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("expected");
    QTest::newRow("main") << kMain << "main";
    QTest::newRow("directory") << kDirectory << "dir";
    QTest::newRow("catalog in another case") << "initial catalog = tolvadirdb;Data Source=X" << "dir";
    QTest::newRow("no catalog") << "Data Source=X" << "main";
}

void TestDatabase::locations()
{
    QFETCH(QString, connection);
    QFETCH(QString, expected);
    platform::ServerProfile p;
    p.mainDatabase = QStringLiteral("main");
    p.directoryDatabase = QStringLiteral("dir");
    QCOMPARE(p.locationFor(connection), expected);
}

void TestDatabase::profileFromTheExport()
{
    test::FakeSeams seams;
    test::TestServer server;
    const platform::ServerProfile &p = server.ctx().db().profile();
    QCOMPARE(p.mainDatabase, QStringLiteral("sqlite:") + QFileInfo(server.server().mainDatabase).absoluteFilePath());
    QCOMPARE(p.directoryDatabase,
             QStringLiteral("sqlite:") + QFileInfo(server.server().directoryDatabase).absoluteFilePath());
    QCOMPARE(p.serverHost, QStringLiteral("localhost"));
}

void TestDatabase::readsRows()
{
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    DbError err;
    Recordset rs = db.open(kMain, QStringLiteral("SELECT * FROM vw_MenuEntry WHERE ParentObjectID = ?"), {ids::OpeningGreeting}, &err);
    QVERIFY2(rs.isOpen(), qPrintable(err.description));
    QCOMPARE(rs.RecordCount(), 12);
    QVERIFY(rs.hasField(QStringLiteral("destinationobjectid")));
    rs.MoveFirst();
    QVERIFY(rs.Find(QStringLiteral("alias"), QStringLiteral("*")));
    QCOMPARE(rs.text(QStringLiteral("ALIAS")), QStringLiteral("*"));
    const int at = rs.position();
    // Find searches forward from the current row.
    QVERIFY(!rs.Find(QStringLiteral("Alias"), QStringLiteral("0")) || rs.position() >= at);
    rs.MoveFirst();
    QVERIFY(rs.Find(QStringLiteral("Alias"), QStringLiteral("0")));
    QVERIFY(!rs.Find(QStringLiteral("NoSuchColumn"), QStringLiteral("0")));
    QVERIFY(rs.isEOF());
    QVERIFY(!rs.field(QStringLiteral("Alias")).isValid());

    // A value with an apostrophe is a bound parameter, not SQL.
    Recordset none = db.open(kMain, QStringLiteral("SELECT * FROM vw_CallHandler WHERE Alias = ?"), {QStringLiteral("x' OR '1'='1")}, &err);
    QVERIFY(none.isOpen());
    QCOMPARE(none.RecordCount(), 0);
    // Text compares without regard to case, as on the server.
    Recordset root = db.open(kMain, QStringLiteral("SELECT * FROM vw_CallHandler WHERE Alias = ?"), {QStringLiteral("OpeningGreetingCH")}, &err);
    QCOMPARE(root.RecordCount(), 1);
    QVERIFY(db.queryCount() >= 3);
}

void TestDatabase::nullIsKeptApart()
{
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    Recordset rs = db.open(kMain, QStringLiteral("SELECT NULL AS n, 0 AS z, '' AS e"));
    QCOMPARE(rs.RecordCount(), 1);
    QVERIFY(rs.isNull(QStringLiteral("n")));
    QVERIFY(!rs.isNull(QStringLiteral("z")));
    QVERIFY(!rs.isNull(QStringLiteral("e")));
    QCOMPARE(rs.text(QStringLiteral("n")), QString());
    QCOMPARE(rs.field(QStringLiteral("z")).toInt(), 0);
}

void TestDatabase::missingDatabaseIsNotCreated()
{
    platform::ServerProfile p;
    QTemporaryDir dir;
    p.mainDatabase = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("absent.sqlite"));
    Database db(p);
    DbError err;
    Recordset rs = db.open(kMain, QStringLiteral("SELECT 1"), {}, &err);
    QVERIFY(!rs.isOpen());
    QCOMPARE(err.number, platform::dberr::ConnectionFailed);
    QVERIFY(err.description.contains(QStringLiteral("absent.sqlite")));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("absent.sqlite"))));
    // Nothing configured at all.
    Database empty(platform::ServerProfile{});
    QVERIFY(!empty.open(kMain, QStringLiteral("SELECT 1"), {}, &err).isOpen());
    QVERIFY(err.isSet());
}

void TestDatabase::updatableRecordset()
{
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    DbError err;
    Recordset rs = db.openForUpdate(kMain, QStringLiteral("InterviewHandler"), QStringLiteral("InterviewHandlerObjectID"),
                                    QStringLiteral("InterviewHandlerObjectID = ?"), {ids::FeedbackInterview}, &err);
    QCOMPARE(rs.RecordCount(), 1);
    rs.MoveFirst();
    QVERIFY(rs.setField(QStringLiteral("textname"), QStringLiteral("Feedback, O'Neil")));
    QVERIFY(!rs.setField(QStringLiteral("NoSuchColumn"), 1));
    QVERIFY2(rs.Update(&err), qPrintable(err.description));
    Recordset check = db.open(kMain, QStringLiteral("SELECT TextName FROM vw_InterviewHandler WHERE InterviewHandlerObjectID = ?"),
                              {ids::FeedbackInterview});
    QCOMPARE(check.text(QStringLiteral("TextName")), QStringLiteral("Feedback, O'Neil"));
    // A read-only recordset refuses.
    QVERIFY(!check.Update(&err));
}

void TestDatabase::addNewReadsTheRowBack()
{
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    DbError err;
    Recordset rs = db.openForUpdate(kMain, QStringLiteral("InterviewHandler"), QStringLiteral("InterviewHandlerObjectID"),
                                    QStringLiteral("1 = 0"), {}, &err);
    QCOMPARE(rs.RecordCount(), 0);
    rs.AddNew();
    rs.setField(QStringLiteral("Alias"), QStringLiteral("newih"));
    rs.setField(QStringLiteral("TextName"), QStringLiteral("New Interview"));
    QVERIFY2(rs.Update(&err), qPrintable(err.description));
    // The server made the key; the recordset holds it now.
    const QString id = rs.text(QStringLiteral("InterviewHandlerObjectID"));
    QCOMPARE(id.size(), 38);
    Recordset check = db.open(kMain, QStringLiteral("SELECT Alias FROM InterviewHandler WHERE InterviewHandlerObjectID = ?"), {id});
    QCOMPARE(check.text(QStringLiteral("Alias")), QStringLiteral("newih"));
}

void TestDatabase::updateOfAVanishedRow()
{
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    DbError err;
    Recordset rs = db.openForUpdate(kMain, QStringLiteral("InterviewHandler"), QStringLiteral("InterviewHandlerObjectID"),
                                    QStringLiteral("InterviewHandlerObjectID = ?"), {ids::FeedbackInterview}, &err);
    QVERIFY(db.execute(kMain, QStringLiteral("UPDATE InterviewHandler SET InterviewHandlerObjectID = ? WHERE InterviewHandlerObjectID = ?"),
                       {QStringLiteral("{00000005-0000-4000-8000-0000000000EE}"), ids::FeedbackInterview}, &err));
    rs.MoveFirst();
    rs.setField(QStringLiteral("TextName"), QStringLiteral("lost"));
    QVERIFY(!rs.Update(&err));
    QCOMPARE(err.number, platform::dberr::NoRowAffected);
    rs.MoveLast();
    rs.MoveNext();
    QVERIFY(!rs.Update(&err));
    QCOMPARE(err.number, platform::dberr::NoCurrentRecord);
}

void TestDatabase::procedureArguments_data()
{
    QTest::addColumn<QString>("procedure");
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("declared") << "sp_ModifyCallHandler" << "TextName" << true << 0;
    QTest::newRow("declared, other case, with @") << "SP_MODIFYCALLHANDLER" << "@textname" << true << 0;
    QTest::newRow("not declared") << "sp_ModifyCallHandler" << "Bogus" << false << platform::dberr::ItemNotFound;
    QTest::newRow("no such procedure") << "sp_Nothing" << "TextName" << false << platform::dberr::UnknownProcedure;
    QTest::newRow("not a name") << "sp_Modify; DROP TABLE CallHandler" << "TextName" << false << platform::dberr::UnknownProcedure;
}

void TestDatabase::procedureArguments()
{
    QFETCH(QString, procedure);
    QFETCH(QString, parameter);
    QFETCH(bool, ok);
    QFETCH(int, errorNumber);
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    DbError err;
    const bool done = db.callProcedure(kMain, procedure,
                                       {{QStringLiteral("CallHandlerObjectID"), ids::Goodbye, platform::AdoType::Guid},
                                        {parameter, QStringLiteral("Farewell"), platform::AdoType::VarChar}},
                                       &err);
    QCOMPARE(done, ok);
    QCOMPARE(err.number, errorNumber);
    Recordset rs = db.open(kMain, QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID = ?"), {ids::Goodbye});
    QCOMPARE(rs.text(QStringLiteral("TextName")) == QStringLiteral("Farewell"), ok);
}

void TestDatabase::transactionRollsBack()
{
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    const auto rename = [&](const QString &name) {
        return db.execute(kMain, QStringLiteral("UPDATE CallHandler SET TextName = ? WHERE CallHandlerObjectID = ?"), {name, ids::Goodbye});
    };
    QVERIFY(!db.inTransaction(kMain, [&] { return rename(QStringLiteral("half")) && false; }));
    Recordset rs = db.open(kMain, QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID = ?"), {ids::Goodbye});
    QVERIFY(rs.text(QStringLiteral("TextName")) != QStringLiteral("half"));
    QVERIFY(db.inTransaction(kMain, [&] { return rename(QStringLiteral("whole")); }));
    rs = db.open(kMain, QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID = ?"), {ids::Goodbye});
    QCOMPARE(rs.text(QStringLiteral("TextName")), QStringLiteral("whole"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
