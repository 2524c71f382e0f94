// The database layer on the embedded server: connection strings resolved
// through the profile, exact row counts, field access, updatable recordsets,
// procedure calls and transactions. CTest runs it a second time with the
// server reached through unixODBC; the SQL Server side of procedure calls is
// checked without a server.
#include "embedded/sampleids.h"
#include "fakes.h"
#include "platform/database.h"
#include "tds/tdsserver.h"
#include "testserver.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlField>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

using namespace quillor;
using platform::Database;
using platform::DbError;
using platform::Recordset;
namespace ids = quillor::embedded::SampleIds;

Q_DECLARE_METATYPE(quillor::platform::ProcArg)

namespace {

// One result of a made-up batch: a count, or a number of rows; an error met
// when the batch moves on to it, or while its rows are read.
struct FakeResult {
    int rows = -1; // -1: a count
    QString error;
    bool errorInRows = false;
};

// The results of a batch that ran, as a driver hands them on; each row
// holds one column, "Row", numbered result * 100 + row.
class FakeBatch final : public quillor::platform::sqlserver::BatchResults {
public:
    explicit FakeBatch(QList<FakeResult> results) : m_results(std::move(results)) {}
    bool isSelect() const override { return m_results[m_at].rows >= 0; }
    bool next() override
    {
        const FakeResult &r = m_results[m_at];
        if (m_row < r.rows) {
            ++m_row;
            return true;
        }
        if (r.errorInRows)
            fail(r.error);
        return false;
    }
    QSqlRecord record() const override
    {
        QSqlRecord record;
        QSqlField field(QStringLiteral("Row"), QMetaType::fromType<int>());
        field.setValue(int(m_at) * 100 + m_row);
        record.append(field);
        return record;
    }
    bool nextResult() override
    {
        if (m_at + 1 >= m_results.size())
            return false;
        ++m_at;
        m_row = 0;
        if (!m_results[m_at].error.isEmpty() && !m_results[m_at].errorInRows) {
            fail(m_results[m_at].error);
            return false;
        }
        return true;
    }
    QSqlError lastError() const override { return m_error; }

private:
    void fail(const QString &text)
    {
        m_error = QSqlError(QStringLiteral("[FreeTDS][SQL Server]"), text, QSqlError::StatementError, QStringLiteral("50000"));
    }
    QList<FakeResult> m_results;
    qsizetype m_at = 0;
    int m_row = 0;
    QSqlError m_error;
};

} // namespace

Q_DECLARE_METATYPE(QList<FakeResult>)

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
    void odbcConnectionText_data();
    void odbcConnectionText();
    void connectsThroughADsn();
    void profileFromTheExport();
    void readsRows();
    void readThatBreaksOff();
    void nullIsKeptApart();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void longValuesRoundTrip();
    void byteLengths_data();
    void byteLengths();
    void missingDatabaseIsNotCreated();
    void updatableRecordset();
    void addNewReadsTheRowBack();
    void updateOfAVanishedRow();
    void fileReplacedWhileRunning_data();
    void fileReplacedWhileRunning();
    void failedStatementKeepsTheConnection_data();
    void failedStatementKeepsTheConnection();
    void procedureArguments_data();
    void procedureArguments();
    void transactionRollsBack();
    void workStopsWithItsConnection_data();
    void workStopsWithItsConnection();
    void tdsBatchReading_data();
    void tdsBatchReading();
    void tdsThroughADataSource();
    void sqlServerCall_data();
    void sqlServerCall();
    void sqlServerParameters_data();
    void sqlServerParameters();
    void sqlServerResults_data();
    void sqlServerResults();
    void sqlServerInsert_data();
    void sqlServerInsert();
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

// What Qt's ODBC driver is given for an "odbc:" location: FreeTDS told the
// client speaks UTF-8, and a DSN text left for Qt to put its "DSN=" before.
void TestDatabase::odbcConnectionText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString tds = QStringLiteral("Driver=FreeTDS;Server=h;Port=1433;Database=TolvaDb;UID=a;PWD=p;TDS_Version=7.4");
    QTest::newRow("FreeTDS") << tds << tds + QStringLiteral(";ClientCharset=UTF-8");
    QTest::newRow("FreeTDS braced, trailing ;") << "driver={freetds};Server=h;" << "driver={freetds};Server=h;ClientCharset=UTF-8";
    QTest::newRow("FreeTDS by its library") << "Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;Server=h"
                                            << "Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;Server=h;ClientCharset=UTF-8";
    QTest::newRow("charset already set") << tds + QStringLiteral(";clientcharset=ISO-8859-1")
                                         << tds + QStringLiteral(";clientcharset=ISO-8859-1");
    QTest::newRow("a password holding ;") << "Driver=FreeTDS;PWD={a;ClientCharset=x};Server=h"
                                          << "Driver=FreeTDS;PWD={a;ClientCharset=x};Server=h;ClientCharset=UTF-8";
    QTest::newRow("a password holding }}") << "Driver=FreeTDS;PWD={a}}b;ClientCharset=x};Server=h"
                                           << "Driver=FreeTDS;PWD={a}}b;ClientCharset=x};Server=h;ClientCharset=UTF-8";
    QTest::newRow("another driver") << "Driver=SQLite3;Database=/x.db" << "Driver=SQLite3;Database=/x.db";
    QTest::newRow("a DSN") << "DSN=tolva;UID=a;PWD=p" << "tolva;UID=a;PWD=p";
    QTest::newRow("a DSN in lower case") << " dsn=tolva" << "tolva";
    QTest::newRow("a DSN Qt leaves alone") << "DSN=tolva;Server=h" << "DSN=tolva;Server=h";
    QTest::newRow("a DSN with blanks") << "DSN = tolva;UID=a" << "tolva;UID=a";
    QTest::newRow("a file DSN") << "FILEDSN=/etc/tolva.dsn;UID=a" << "/etc/tolva.dsn;UID=a";
    QTest::newRow("a DSN's name alone") << "tolva;UID=a" << "tolva;UID=a";
}

void TestDatabase::odbcConnectionText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(platform::odbcConnectionText(text), expected);
}

// "odbc:DSN=..." as the README writes it reaches the DSN of the user's
// odbc.ini (here a test one naming the sample's main database).
void TestDatabase::connectsThroughADsn()
{
    test::FakeSeams seams;
    test::TestServer server;
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("odbc.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[QuillorTest]\nDriver=SQLite3\nDatabase=%1\nNoCreat=1\n")
                  .arg(QFileInfo(server.server().mainDatabase).absoluteFilePath())
                  .toUtf8());
    ini.close();
    const std::optional<QByteArray> before =
        qEnvironmentVariableIsSet("ODBCINI") ? std::optional(qgetenv("ODBCINI")) : std::nullopt;
    qputenv("ODBCINI", ini.fileName().toLocal8Bit());
    DbError err;
    int handlers = -1;
    {
        platform::ServerProfile profile;
        profile.mainDatabase = QStringLiteral("odbc:DSN=QuillorTest");
        Database db(profile);
        handlers = db.open(kMain, QStringLiteral("SELECT CallHandlerObjectID FROM vw_CallHandler"), {}, &err).RecordCount();
    }
    if (before)
        qputenv("ODBCINI", *before);
    else
        qunsetenv("ODBCINI");
    QVERIFY2(!err.isSet(), qPrintable(err.description));
    QVERIFY(handlers > 0);
}

void TestDatabase::profileFromTheExport()
{
    test::FakeSeams seams;
    test::TestServer server;
    const platform::ServerProfile &p = server.ctx().db().profile();
    const auto location = [&](const QString &file) {
        const QString path = QFileInfo(file).absoluteFilePath();
        return test::overOdbc() ? QStringLiteral("odbc:Driver=SQLite3;Database=%1;NoCreat=1").arg(path)
                                : QStringLiteral("sqlite:") + path;
    };
    if (test::overTds()) { // the stand-in server's port, by the driver's name
        QVERIFY(p.mainDatabase.startsWith(QLatin1String("odbc:Driver=FreeTDS;Server=127.0.0.1;Port=")));
        QVERIFY(p.mainDatabase.contains(QLatin1String(";Database=TolvaDb;")));
        QVERIFY(p.directoryDatabase.contains(QLatin1String(";Database=TolvaDirDB;")));
    } else {
        QCOMPARE(p.mainDatabase, location(server.server().mainDatabase));
        QCOMPARE(p.directoryDatabase, location(server.server().directoryDatabase));
    }
    QCOMPARE(p.serverHost, QStringLiteral("localhost"));
}

// A read whose rows break off is a failed read, never a list that looks complete.
void TestDatabase::readThatBreaksOff()
{
    if (test::overOdbc() || test::overTds())
        QSKIP("the overflow is SQLite's own, met on its second row only through its own driver");
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    const QString sql = QStringLiteral("SELECT 1 AS n UNION ALL SELECT abs(-9223372036854775807 - 1)");
    DbError err;
    QVERIFY(!db.open(kMain, sql, {}, &err).isOpen());
    QVERIFY2(err.description.contains(QLatin1String("overflow")), qPrintable(err.description));
    err = {};
    int rows = 0;
    QVERIFY(!db.forEachRow(kMain, sql, {}, [&](const QVariantList &) { ++rows; }, &err));
    QVERIFY(err.isSet());
    QCOMPARE(rows, 1);
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

// What each driver makes of a value on its way in and out: Null stays Null
// (not "" and not 0), dates are stored as whole-second text, GUIDs as their
// braced text, and the row count of the write is exact.
void TestDatabase::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("storedType"); // SQLite's typeof()
    QTest::addColumn<QString>("storedText"); // ignored for Null
    const QString ch = QStringLiteral("CallHandler");
    const QString chKey = QStringLiteral("CallHandlerObjectID");
    const QString rule = ids::contactRuleId(ids::Goodbye, 0);
    const auto row = [&](const char *name, const QString &column, const QVariant &value, const char *type, const QString &text) {
        QTest::newRow(name) << ch << chKey << ids::Goodbye << column << value << type << text;
    };
    row("null text", "TextName", QVariant(QMetaType::fromType<QString>()), "null", {});
    row("no value at all", "TextName", QVariant(), "null", {});
    row("empty text", "TextName", QString(""), "text", "");
    row("apostrophe and accents", "TextName", QStringLiteral("O'Neil – Zürich"), "text", QStringLiteral("O'Neil – Zürich"));
    row("integer", "MaxMsgLen", 1200, "integer", "1200");
    row("zero", "MaxMsgLen", 0, "integer", "0");
    row("null integer", "MaxMsgLen", QVariant(QMetaType::fromType<int>()), "null", {});
    row("true", "EditMsg", true, "integer", "1");
    row("GUID", "AdministratorObjectID", QUuid(ids::AliceAdmin), "text", ids::AliceAdmin);
    QTest::newRow("date with milliseconds") << "ContactRule" << "ContactRuleObjectID" << rule << "TimeExpires"
        << QVariant(QDateTime(QDate(2031, 2, 3), QTime(4, 5, 6, 789))) << "text" << "2031-02-03 04:05:06";
    QTest::newRow("date only") << "ContactRule" << "ContactRuleObjectID" << rule << "TimeExpires"
        << QVariant(QDate(2031, 2, 3)) << "text" << "2031-02-03 00:00:00";
    QTest::newRow("null date") << "ContactRule" << "ContactRuleObjectID" << rule << "TimeExpires"
        << QVariant(QMetaType::fromType<QDateTime>()) << "null" << QString();
}

// Text and bytes longer than the piece a column is read in come back whole.
void TestDatabase::longValuesRoundTrip()
{
    test::FakeSeams seams;
    test::TestServer server;
    QString text;
    QByteArray bytes;
    for (int i = 0; i < 20000; ++i) {
        text += i % 997 ? QChar(u'a' + i % 26) : QChar(u'ü');
        bytes += char(i % 251);
    }
    DbError err;
    const Recordset rs = server.ctx().db().open(kMain, QStringLiteral("SELECT ? AS t, ? AS b"), {text, bytes}, &err);
    QVERIFY2(rs.RecordCount() == 1, qPrintable(err.description));
    QCOMPARE(rs.text(QStringLiteral("t")), text);
    QCOMPARE(rs.field(QStringLiteral("b")).toByteArray(), bytes);
}

// A varchar parameter's bound counts bytes of the database's code page.
void TestDatabase::byteLengths_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<int>("bytes");
    QTest::newRow("ASCII") << "Sales 12" << 932 << 8;
    QTest::newRow("accents, Western European") << "Zürich – Ångström" << 1252 << 17;
    QTest::newRow("kanji, Japanese") << "営業部ab" << 932 << 8;
    QTest::newRow("half-width katakana, Japanese") << "ｱｲｳ" << 932 << 3;
    QTest::newRow("kanji, UTF-8") << "営業部ab" << 65001 << 11;
    QTest::newRow("outside the code page, one byte each") << "Dvořák" << 1252 << 6;
}

void TestDatabase::byteLengths()
{
    QFETCH(QString, text);
    QFETCH(int, codePage);
    QFETCH(int, bytes);
    QCOMPARE(platform::sqlserver::byteLength(text, codePage), bytes);
}

void TestDatabase::valuesRoundTrip()
{
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(QString, id);
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(QString, storedType);
    QFETCH(QString, storedText);
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    const QString readBack = QStringLiteral("SELECT %1, typeof(%1) AS t FROM %2 WHERE %3 = ?").arg(column, table, key);
    const auto verifyStored = [&](const char *path) {
        DbError err;
        const Recordset rs = test::storeOf(server.ctx()).open(kMain, readBack, {id}, &err);
        QVERIFY2(rs.RecordCount() == 1, qPrintable(err.description));
        QVERIFY2(rs.field(column).isValid(), path); // a Null is still a field of the row
        QCOMPARE(rs.text(QStringLiteral("t")), storedType);
        QCOMPARE(rs.isNull(column), storedType == QLatin1String("null"));
        if (storedType != QLatin1String("null"))
            QCOMPARE(rs.text(column), storedText);
    };
    const auto clear = [&] {
        QVERIFY(db.execute(kMain, QStringLiteral("UPDATE %1 SET %2 = 7 WHERE %3 = ?").arg(table, column, key), {id}));
    };

    clear();
    DbError err;
    int rows = -1;
    QVERIFY2(db.execute(kMain, QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?").arg(table, column, key), {value, id},
                        &err, &rows),
             qPrintable(err.description));
    QCOMPARE(rows, 1);
    verifyStored("statement");

    clear();
    Recordset rs = db.openForUpdate(kMain, table, key, key + QStringLiteral(" = ?"), {id}, &err);
    QCOMPARE(rs.RecordCount(), 1);
    QVERIFY(rs.setField(column, value));
    QVERIFY2(rs.Update(&err), qPrintable(err.description));
    verifyStored("updatable recordset");
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
    // The server made the key; the recordset holds it now, and the columns
    // left out read back as Null fields, not as missing ones.
    const QString id = rs.text(QStringLiteral("InterviewHandlerObjectID"));
    QCOMPARE(test::asStored(id).size(), 38);
    QVERIFY(rs.field(QStringLiteral("AdministratorObjectID")).isValid());
    QVERIFY(rs.isNull(QStringLiteral("AdministratorObjectID")));
    Recordset check = db.open(kMain, QStringLiteral("SELECT Alias FROM InterviewHandler WHERE InterviewHandlerObjectID = ?"), {id});
    QCOMPARE(check.text(QStringLiteral("Alias")), QStringLiteral("newih"));
}

// The database file replaced or deleted under a running program: the next
// read or write reaches the file that stands there now, or says there is none.
void TestDatabase::fileReplacedWhileRunning_data()
{
    QTest::addColumn<QString>("replacement"); // "copy", "none", "garbage"
    QTest::addColumn<QString>("failure");     // "" : the read and the write work
    QTest::newRow("replaced by another file") << "copy" << "";
    QTest::newRow("deleted") << "none" << "does not exist";
    QTest::newRow("replaced by a corrupt file") << "garbage" << "not a database";
}

void TestDatabase::fileReplacedWhileRunning()
{
    QFETCH(QString, replacement);
    QFETCH(QString, failure);
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    const QString file = server.server().mainDatabase;
    const QString select = QStringLiteral("SELECT TextName FROM vw_CallHandler WHERE CallHandlerObjectID = ?");
    const QString update = QStringLiteral("UPDATE CallHandler SET TextName = ? WHERE CallHandlerObjectID = ?");
    // Sales's name in a file, read (or first set) on a connection of its own.
    const auto nameIn = [&](const QString &path, const QString &set = {}) {
        QString name;
        {
            QSqlDatabase direct = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("direct"));
            direct.setDatabaseName(path);
            QSqlQuery q(direct);
            const QString where = QStringLiteral(" WHERE CallHandlerObjectID = '%1'").arg(ids::Sales);
            if (direct.open()
                && (set.isEmpty() || q.exec(QStringLiteral("UPDATE CallHandler SET TextName = '%1'").arg(set) + where))
                && q.exec(QStringLiteral("SELECT TextName FROM CallHandler") + where) && q.next())
                name = q.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("direct"));
        return name;
    };
    DbError err;
    QCOMPARE(db.open(kMain, select, {ids::Sales}, &err).value(0, 0).toString(), QStringLiteral("Sales"));

    // The file is moved aside (the connection keeps it open) and something else takes its place.
    const QString aside = file + QStringLiteral(".aside");
    QVERIFY(QFile::copy(file, aside + QStringLiteral(".copy")));
    QCOMPARE(nameIn(aside + QStringLiteral(".copy"), QStringLiteral("Sales (new file)")), QStringLiteral("Sales (new file)"));
    QVERIFY(QFile::rename(file, aside));
    if (replacement == QLatin1String("copy")) {
        QVERIFY(QFile::rename(aside + QStringLiteral(".copy"), file));
    } else if (replacement == QLatin1String("garbage")) {
        QFile junk(file);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
    }

    Recordset rs = db.open(kMain, select, {ids::Sales}, &err);
    const bool written = db.execute(kMain, update, {QStringLiteral("Sales Desk"), ids::Sales}, &err);
    if (failure.isEmpty()) {
        QVERIFY2(rs.isOpen() && written, qPrintable(err.description));
        QCOMPARE(rs.value(0, 0).toString(), QStringLiteral("Sales (new file)"));
        // The write reached the file that stands there, not the one moved aside.
        QCOMPARE(nameIn(file), QStringLiteral("Sales Desk"));
        QCOMPARE(nameIn(aside), QStringLiteral("Sales"));
        return;
    }
    QVERIFY(!rs.isOpen());
    QVERIFY(!written);
    // SQL Server names a database whose file went as offline.
    const QString expected = test::overTds() && replacement == QLatin1String("none") ? QStringLiteral("offline") : failure;
    QVERIFY2(err.description.contains(expected, Qt::CaseInsensitive), qPrintable(err.description));
    QVERIFY2(!err.description.contains(QStringLiteral("readonly"), Qt::CaseInsensitive), qPrintable(err.description));
    QCOMPARE(nameIn(aside), QStringLiteral("Sales"));

    // The file back in its place: the next read finds it.
    QFile::remove(file);
    QVERIFY(QFile::rename(aside, file));
    QCOMPARE(db.open(kMain, select, {ids::Sales}, &err).value(0, 0).toString(), QStringLiteral("Sales"));
}

// A statement refused while the file stays sound (a lock another program
// holds, a UNIQUE violation) keeps the connection: its temporary table is
// still there, and Qt never warns of a connection removed while in use.
void TestDatabase::failedStatementKeepsTheConnection_data()
{
    QTest::addColumn<bool>("locked");
    QTest::newRow("UNIQUE") << false;
    QTest::newRow("locked") << true;
}

void TestDatabase::failedStatementKeepsTheConnection()
{
    QFETCH(bool, locked);
    if (locked && test::overOdbc())
        QSKIP("The ODBC driver's own lock timeout is not the program's; its errors never drop the connection.");
    QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use")));
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    DbError err;
    const QString read = QStringLiteral("SELECT k FROM kept");
    QVERIFY2(db.execute(kMain, QStringLiteral("CREATE TEMP TABLE kept (k INTEGER PRIMARY KEY)"), {}, &err)
                 && db.execute(kMain, QStringLiteral("INSERT INTO kept VALUES (1)"), {}, &err),
             qPrintable(err.description));
    QCOMPARE(db.open(kMain, read).RecordCount(), 1);
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(server.server().mainDatabase);
        QVERIFY(holder.open());
        QSqlQuery lock(holder);
        QVERIFY(!locked || lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        const QString refused = locked ? QStringLiteral("UPDATE CallHandler SET TextName = TextName")
                                       : QStringLiteral("INSERT INTO kept VALUES (1)");
        QVERIFY(!db.execute(kMain, refused, {}, &err));
        QVERIFY2(err.description.contains(locked ? QStringLiteral("locked") : QStringLiteral("UNIQUE"), Qt::CaseInsensitive),
                 qPrintable(err.description));
        QVERIFY(!locked || lock.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    Recordset rs = db.open(kMain, read, {}, &err);
    QVERIFY2(rs.isOpen(), qPrintable(err.description));
    QCOMPARE(rs.RecordCount(), 1);
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
    int rows = -1;
    QVERIFY(db.execute(kMain, QStringLiteral("UPDATE InterviewHandler SET TextName = ? WHERE InterviewHandlerObjectID = ?"),
                       {QStringLiteral("lost"), ids::FeedbackInterview}, &err, &rows));
    QCOMPARE(rows, 0);
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

// The server rolls back a transaction whose connection went: the rest of its
// work must not run on a new connection, outside it.
void TestDatabase::workStopsWithItsConnection_data()
{
    QTest::addColumn<bool>("cut"); // the first statement's connection cut (SQL Server), else the file replaced
    QTest::newRow("the connection cut under the work") << true;
    QTest::newRow("the file replaced under the work") << false;
}

void TestDatabase::workStopsWithItsConnection()
{
    QFETCH(bool, cut);
    if (cut != test::overTds())
        QSKIP(cut ? "A connection cut by the server: the tds run only" : "A stand-in's file replaced: not the tds run");
    test::FakeSeams seams;
    test::TestServer server;
    Database &db = server.ctx().db();
    const QString file = server.server().mainDatabase;
    const QString update = QStringLiteral("UPDATE CallHandler SET TextName = ? WHERE CallHandlerObjectID = ?");
    const QString name = QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID = ?");
    if (cut)
        server.tds()->addFault({test::tds::TdsServer::Fault::Kind::CutBefore, QStringLiteral("UPDATE CallHandler")});
    bool first = false;
    bool second = true;
    DbError err;
    DbError cutWrite;
    QVERIFY(!db.inTransaction(
        kMain,
        [&] {
            first = db.execute(kMain, update, {QStringLiteral("First"), ids::Sales}, &cutWrite);
            // Another file with the same rows takes the place of the one the transaction holds.
            if (!cut)
                first = first && QFile::copy(file, file + QStringLiteral(".copy"))
                        && QFile::rename(file, file + QStringLiteral(".aside"))
                        && QFile::rename(file + QStringLiteral(".copy"), file);
            second = db.execute(kMain, update, {QStringLiteral("Second"), ids::Goodbye});
            return true;
        },
        &err));
    QCOMPARE(first, !cut);
    QVERIFY(!second);
    QVERIFY(err.lost);
    // The server rolled back what the cut write may have done: it is certainly not made.
    QCOMPARE(cutWrite.lost, cut);
    QVERIFY(!cutWrite.mayHaveRun);
    QCOMPARE(test::storedRow(server.ctx(), name, {ids::Goodbye}), QStringLiteral("Goodbye"));
    QCOMPARE(test::storedRow(server.ctx(), name, {ids::Sales}), QStringLiteral("Sales"));
    QVERIFY(db.execute(kMain, update, {QStringLiteral("Third"), ids::Goodbye}));
}

void TestDatabase::tdsBatchReading_data()
{
    QTest::addColumn<QString>("prelude"); // what the procedure answers before its end: "count", "rows" or ""
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("failure"); // "" when the call goes through
    const QString gone = QStringLiteral("{0000DEAD-0000-4000-8000-000000000001}");
    QTest::newRow("procedure: an error after a row count") << "count" << gone << "there is no CallHandler row";
    QTest::newRow("procedure: an error after rows") << "rows" << gone << "there is no CallHandler row";
    QTest::newRow("procedure: rows, then its end") << "rows" << QString(ids::Goodbye) << "";
    QTest::newRow("statement: an error after a count and rows") << "" << QString(ids::Goodbye) << "UNIQUE";
}

// Every result of a batch is read on SQL Server, so an error after a first
// result is the call's failure (FreeTDS hands it over only when asked on).
void TestDatabase::tdsBatchReading()
{
    if (!test::overTds())
        QSKIP("The answers of a real server's procedures: the tds run only");
    QFETCH(QString, prelude);
    QFETCH(QString, handler);
    QFETCH(QString, failure);
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY(test::sql(server.ctx(), QStringLiteral("CREATE TABLE TdsProcedurePrelude (Procedure TEXT, Answer TEXT)")));
    QVERIFY(test::sql(server.ctx(), QStringLiteral("INSERT INTO TdsProcedurePrelude VALUES ('sp_ModifyCallHandler', ?)"),
                      {prelude}));
    Database &db = server.ctx().db();
    DbError err;
    const bool done = prelude.isEmpty()
        ? db.execute(kMain, QStringLiteral("UPDATE CallHandler SET TextName = ? WHERE CallHandlerObjectID = ?; SELECT Alias "
                                           "FROM CallHandler; UPDATE CallHandler SET CallHandlerObjectID = ? WHERE "
                                           "CallHandlerObjectID = ?"),
                     {QStringLiteral("Farewell"), handler, ids::Sales, handler}, &err)
        : db.callProcedure(kMain, QStringLiteral("sp_ModifyCallHandler"),
                           {{QStringLiteral("CallHandlerObjectID"), handler, platform::AdoType::Guid},
                            {QStringLiteral("TextName"), QStringLiteral("Farewell"), platform::AdoType::VarChar}},
                           &err);
    QCOMPARE(done, failure.isEmpty());
    QVERIFY2(err.description.contains(failure), qPrintable(err.description));
    QCOMPARE(test::storedRow(server.ctx(), QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID = ?"),
                             {ids::Goodbye}) == QStringLiteral("Farewell"),
             handler == ids::Goodbye);
}

// The README's form: a data source of odbc.ini, ClientCharset = UTF-8 in its entry.
void TestDatabase::tdsThroughADataSource()
{
    if (!test::overTds())
        QSKIP("FreeTDS through a data source: the tds run only");
    test::FakeSeams seams;
    test::TestServer server({}, test::TdsAccess{QStringLiteral("7.4"), QStringLiteral("tolva"), {}});
    QVERIFY2(server.ok(), qPrintable(server.error()));
    QVERIFY(server.ctx().db().profile().mainDatabase.startsWith(QLatin1String("odbc:DSN=tolva;")));
    DbError err;
    QVERIFY2(server.ctx().db().callProcedure(kMain, QStringLiteral("sp_ModifyCallHandler"),
                                             {{QStringLiteral("CallHandlerObjectID"), ids::Goodbye, platform::AdoType::Guid},
                                              {QStringLiteral("TextName"), QStringLiteral("Müller"), platform::AdoType::VarChar}},
                                             &err),
             qPrintable(err.description));
    const Recordset rs = server.ctx().db().open(kMain, QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID = ?"),
                                                {ids::Goodbye}, &err);
    QCOMPARE(rs.text(QStringLiteral("TextName")), QStringLiteral("Müller"));
    QCOMPARE(test::storedRow(server.ctx(), QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID = ?"),
                             {ids::Goodbye}),
             QStringLiteral("Müller"));
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

// The EXEC sent to SQL Server: every argument a bound value under its declared
// name, a Null typed as its parameter, dates in whole seconds, GUIDs as text;
// without the procedure's row counts, which are turned on again after it.
void TestDatabase::sqlServerCall_data()
{
    using platform::AdoType;
    using platform::ProcArg;
    QTest::addColumn<QList<ProcArg>>("args");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values"); // compared with their types
    QTest::addColumn<int>("errorNumber");
    const QDateTime when(QDate(2031, 2, 3), QTime(4, 5, 6, 789));
    QTest::newRow("no arguments") << QList<ProcArg>{} << "SET NOCOUNT ON; EXEC [sp_ModifyCallHandler]; SET NOCOUNT OFF" << QVariantList{} << 0;
    QTest::newRow("integer and text")
        << QList<ProcArg>{{"MaxMsgLen", 300, AdoType::Integer}, {"TextName", QStringLiteral("O'Neil"), AdoType::VarChar}}
        << "SET NOCOUNT ON; EXEC [sp_ModifyCallHandler] @MaxMsgLen = ?, @TextName = ?; SET NOCOUNT OFF" << QVariantList{300, QStringLiteral("O'Neil")} << 0;
    QTest::newRow("Nulls keep their types")
        << QList<ProcArg>{{"MaxMsgLen", QVariant(), AdoType::Integer}, {"TextName", QVariant(), AdoType::VarChar},
                          {"TimeExpires", QVariant(), AdoType::Date}, {"RecipientObjectID", QVariant(), AdoType::Guid}}
        << "SET NOCOUNT ON; EXEC [sp_ModifyCallHandler] @MaxMsgLen = ?, @TextName = ?, @TimeExpires = ?, @RecipientObjectID = ?; SET NOCOUNT OFF"
        << QVariantList{QVariant(QMetaType::fromType<int>()), QVariant(QMetaType::fromType<QString>()),
                        QVariant(QMetaType::fromType<QDateTime>()), QVariant(QMetaType::fromType<QString>())}
        << 0;
    QTest::newRow("date in whole seconds") << QList<ProcArg>{{"TimeExpires", when, AdoType::Date}}
        << "SET NOCOUNT ON; EXEC [sp_ModifyCallHandler] @TimeExpires = ?; SET NOCOUNT OFF" << QVariantList{when.addMSecs(-789)} << 0;
    QTest::newRow("GUID as braced text")
        << QList<ProcArg>{{"RecipientObjectID", QUuid(ids::AliceAdmin), AdoType::Guid},
                          {"CallHandlerObjectID", ids::Goodbye, AdoType::Guid}}
        << "SET NOCOUNT ON; EXEC [sp_ModifyCallHandler] @RecipientObjectID = ?, @CallHandlerObjectID = ?; SET NOCOUNT OFF"
        << QVariantList{ids::AliceAdmin, ids::Goodbye} << 0;
    QTest::newRow("declared name, last value")
        << QList<ProcArg>{{"@textname", QStringLiteral("first"), AdoType::VarChar}, {"TEXTNAME", QStringLiteral("last"), AdoType::VarChar}}
        << "SET NOCOUNT ON; EXEC [sp_ModifyCallHandler] @TextName = ?; SET NOCOUNT OFF" << QVariantList{QStringLiteral("last")} << 0;
    QTest::newRow("unknown parameter") << QList<ProcArg>{{"TextName", QStringLiteral("x"), AdoType::VarChar},
                                                         {"Bogus", 1, AdoType::Integer}}
        << "" << QVariantList{} << platform::dberr::ItemNotFound;
}

void TestDatabase::sqlServerCall()
{
    QFETCH(QList<platform::ProcArg>, args);
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    QFETCH(int, errorNumber);
    const QStringList declared{QStringLiteral("CallHandlerObjectID"), QStringLiteral("TextName"), QStringLiteral("MaxMsgLen"),
                               QStringLiteral("TimeExpires"), QStringLiteral("RecipientObjectID")};
    DbError err;
    const auto resolved = platform::resolveArguments(QStringLiteral("sp_ModifyCallHandler"), declared, args, &err);
    QCOMPARE(err.number, errorNumber);
    if (!resolved) {
        QVERIFY(err.description.contains(QStringLiteral("@Bogus of sp_ModifyCallHandler")));
        return;
    }
    const auto call = platform::sqlserver::procedureCall(QStringLiteral("sp_ModifyCallHandler"), *resolved);
    QCOMPARE(call.sql, sql);
    QCOMPARE(call.values.size(), values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        QCOMPARE(call.values[i].metaType(), values[i].metaType());
        QCOMPARE(call.values[i].isNull(), values[i].isNull());
        QCOMPARE(call.values[i], values[i]);
    }
}

// The parameter list as SQL Server's INFORMATION_SCHEMA gives it, read from a
// SQLite database attached under that name with the same two views' columns;
// a procedure of the same name in another schema does not join the list.
void TestDatabase::sqlServerParameters_data()
{
    QTest::addColumn<QString>("procedure");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("lengths"); // "40" characters, "40 bytes" (varchar, char)
    QTest::addColumn<int>("errorNumber");
    const QStringList menuEntry{"MenuEntryObjectID", "Locked", "Action", "Note"};
    const QStringList bounds{"0", "40 bytes", "0 bytes", "20"};
    QTest::newRow("in declaration order, without @, text bounded") << "sp_ModifyMenuEntry" << menuEntry << bounds << 0;
    QTest::newRow("name in another case") << "SP_MODIFYMENUENTRY" << menuEntry << bounds << 0;
    QTest::newRow("without parameters") << "sp_Refresh" << QStringList{} << QStringList{} << 0;
    QTest::newRow("only in another schema") << "sp_Purge" << QStringList{"Days"} << QStringList{"0 bytes"} << 0;
    QTest::newRow("a function of that name") << "fn_Lookup" << QStringList{} << QStringList{}
                                             << platform::dberr::UnknownProcedure;
    QTest::newRow("no such procedure") << "sp_Nothing" << QStringList{} << QStringList{}
                                       << platform::dberr::UnknownProcedure;
}

void TestDatabase::sqlServerParameters()
{
    QFETCH(QString, procedure);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, lengths);
    QFETCH(int, errorNumber);
    {
        QSqlDatabase sql = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("schema"));
        sql.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(sql.open());
        QSqlQuery q(sql);
        for (const char *statement :
             {"ATTACH DATABASE ':memory:' AS INFORMATION_SCHEMA",
              "CREATE TABLE INFORMATION_SCHEMA.ROUTINES (ROUTINE_SCHEMA TEXT, ROUTINE_NAME TEXT COLLATE NOCASE, "
              "SPECIFIC_SCHEMA TEXT, SPECIFIC_NAME TEXT, ROUTINE_TYPE TEXT)",
              "CREATE TABLE INFORMATION_SCHEMA.PARAMETERS (SPECIFIC_SCHEMA TEXT, SPECIFIC_NAME TEXT, "
              "PARAMETER_NAME TEXT, ORDINAL_POSITION INTEGER, CHARACTER_MAXIMUM_LENGTH INTEGER, DATA_TYPE TEXT)",
              "INSERT INTO INFORMATION_SCHEMA.ROUTINES VALUES ('audit', 'sp_ModifyMenuEntry', 'audit', "
              "'sp_ModifyMenuEntry', 'PROCEDURE'), ('dbo', 'sp_ModifyMenuEntry', 'dbo', 'sp_ModifyMenuEntry', "
              "'PROCEDURE'), ('dbo', 'sp_Refresh', 'dbo', 'sp_Refresh', 'PROCEDURE'), ('dbo', 'fn_Lookup', 'dbo', "
              "'fn_Lookup', 'FUNCTION'), ('ops', 'sp_Purge', 'ops', 'sp_Purge', 'PROCEDURE')",
              "INSERT INTO INFORMATION_SCHEMA.PARAMETERS VALUES ('dbo', 'sp_ModifyMenuEntry', '@Action', 3, -1, "
              "'varchar'), ('dbo', 'sp_ModifyMenuEntry', '@MenuEntryObjectID', 1, NULL, 'uniqueidentifier'), "
              "('dbo', 'sp_ModifyMenuEntry', '@Locked', 2, 40, 'VARCHAR'), "
              "('dbo', 'sp_ModifyMenuEntry', '@Note', 4, 20, 'nvarchar'), "
              "('audit', 'sp_ModifyMenuEntry', '@Who', 1, 8, 'char'), ('dbo', 'fn_Lookup', '', 0, NULL, 'int'), "
              "('dbo', 'fn_Lookup', '@Alias', 1, 10, 'varchar'), ('ops', 'sp_Purge', '@Days', 1, NULL, 'char')"})
            QVERIFY2(q.exec(QString::fromLatin1(statement)), statement);
        // The program's own query, run on the look-alike views; its rows read as the layer reads them.
        QVERIFY(q.prepare(platform::sqlserver::parameterQuery()));
        q.addBindValue(procedure);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QList<QVariantList> rows;
        while (q.next())
            rows << QVariantList{q.value(0), q.value(1), q.value(2), q.value(3)};
        q.finish();
        DbError err;
        const auto declared = platform::sqlserver::parametersFrom(procedure, rows, &err);
        QCOMPARE(err.number, errorNumber);
        QCOMPARE(declared.has_value(), errorNumber == 0);
        if (declared) {
            QStringList names;
            QStringList limits;
            for (const platform::ProcParameter &p : *declared) {
                names << p.name;
                limits << QString::number(p.maxLength) + (p.bytes ? QStringLiteral(" bytes") : QString());
            }
            QCOMPARE(names, expected);
            QCOMPARE(limits, lengths);
        } else {
            QCOMPARE(err.description, QStringLiteral("Could not find stored procedure '%1'.").arg(procedure));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("schema"));
}

// Every result of a procedure's batch is read, so an error it raises after a
// row count or a few rows is the call's failure; an insert's row comes from
// the batch's last result with rows.
void TestDatabase::sqlServerResults_data()
{
    QTest::addColumn<QList<FakeResult>>("results");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("lastRow"); // -1: none
    const QString locked = QStringLiteral("The handler is locked.");
    QTest::newRow("a count, then an error") << QList<FakeResult>{{-1, {}, false}, {-1, locked, false}} << locked << -1;
    QTest::newRow("rows, then an error") << QList<FakeResult>{{2, {}, false}, {-1, locked, false}} << locked << -1;
    QTest::newRow("an error among the rows") << QList<FakeResult>{{3, locked, true}} << locked << -1;
    QTest::newRow("a count alone") << QList<FakeResult>{{-1, {}, false}} << QString() << -1;
    QTest::newRow("counts around the rows") << QList<FakeResult>{{-1, {}, false}, {2, {}, false}, {-1, {}, false}}
                                            << QString() << 101;
    QTest::newRow("the last result with rows") << QList<FakeResult>{{1, {}, false}, {-1, {}, false}, {2, {}, false}}
                                               << QString() << 201;
    QTest::newRow("an empty result last") << QList<FakeResult>{{1, {}, false}, {0, {}, false}} << QString() << -1;
}

void TestDatabase::sqlServerResults()
{
    QFETCH(QList<FakeResult>, results);
    QFETCH(QString, error);
    QFETCH(int, lastRow);
    FakeBatch batch(results);
    DbError err;
    QSqlRecord row;
    QCOMPARE(platform::sqlserver::readEveryResult(batch, &err, &row), error.isEmpty());
    QCOMPARE(err.description, error);
    QCOMPARE(err.number, error.isEmpty() ? 0 : 50000);
    QCOMPARE(row.isEmpty() ? -1 : row.value(QStringLiteral("Row")).toInt(), lastRow);
}

// An insert on SQL Server reads its row back by its key, without an OUTPUT
// clause (refused on a table with an insert trigger).
void TestDatabase::sqlServerInsert_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");
    const QString made = QStringLiteral("{0F6A3D1E-29C4-4B7E-9D21-6C5A0E8B7F14}");
    QTest::newRow("ObjectID key made by the program")
        << "InterviewHandler" << "InterviewHandlerObjectID" << QStringList{"Alias", "TextName"}
        << "INSERT INTO InterviewHandler (Alias,TextName,InterviewHandlerObjectID) VALUES (?,?,?); "
           "SELECT * FROM InterviewHandler WHERE InterviewHandlerObjectID = ?"
        << QVariantList{"v0", "v1", made, made};
    QTest::newRow("key set by the caller")
        << "DTMFAccessID" << "ParentObjectID" << QStringList{"DTMFAccessID", "ParentObjectID", "IsPrimaryID"}
        << "INSERT INTO DTMFAccessID (DTMFAccessID,ParentObjectID,IsPrimaryID) VALUES (?,?,?); "
           "SELECT * FROM DTMFAccessID WHERE ParentObjectID = ?"
        << QVariantList{"v0", "v1", "v2", "v1"};
    QTest::newRow("key set under another case")
        << "InterviewHandler" << "InterviewHandlerObjectID" << QStringList{"interviewhandlerobjectid"}
        << "INSERT INTO InterviewHandler (interviewhandlerobjectid) VALUES (?); "
           "SELECT * FROM InterviewHandler WHERE InterviewHandlerObjectID = ?"
        << QVariantList{"v0", "v0"};
    QTest::newRow("identity key") << "Schedule" << "ScheduleID" << QStringList{"DisplayName"}
        << "INSERT INTO Schedule (DisplayName) VALUES (?); SELECT * FROM Schedule WHERE ScheduleID = SCOPE_IDENTITY()"
        << QVariantList{"v0"};
    QTest::newRow("nothing set") << "Schedule" << "ScheduleID" << QStringList{}
        << "INSERT INTO Schedule DEFAULT VALUES; SELECT * FROM Schedule WHERE ScheduleID = SCOPE_IDENTITY()"
        << QVariantList{};
}

void TestDatabase::sqlServerInsert()
{
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(QStringList, columns);
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    QVariantList given;
    for (qsizetype i = 0; i < columns.size(); ++i)
        given << QStringLiteral("v%1").arg(i);
    const auto insert = platform::sqlserver::insertRow(table, key, columns, given,
                                                       QStringLiteral("{0F6A3D1E-29C4-4B7E-9D21-6C5A0E8B7F14}"));
    QCOMPARE(insert.sql, sql);
    QCOMPARE(insert.values, values);
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
