// The log file: its name, its header byte for byte, audit lines, the clean-up
// of old files, and that no run ever replaces another run's log.
#include "common/formatting.h"
#include "common/logging.h"
#include "fakes.h"
#include "platform/apppaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillor;

class TestLogging : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fileNameFromStartTime();
    void headerByteForByte();
    void auditLines_data();
    void auditLines();
    void valuesKeepTheirType();
    void messagesBeforeTheFileExistAreKept();
    void oldFilesAreRemoved_data();
    void oldFilesAreRemoved();
    void sameSecondKeepsBothLogs();
    void reopenKeepsWhatWasWritten();

private:
    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString readLog(const QString &path);
};

void TestLogging::init()
{
    m_seams = std::make_unique<test::FakeSeams>();
    m_dir = std::make_unique<QTemporaryDir>();
    platform::AppPaths::overrideDataFolder(m_dir->path());
    m_seams->clock->current = QDateTime(QDate(2009, 10, 29), QTime(14, 5, 9));
}

void TestLogging::cleanup()
{
    platform::AppPaths::overrideDataFolder(QString());
    m_dir.reset();
    m_seams.reset();
}

QString TestLogging::readLog(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll());
}

void TestLogging::fileNameFromStartTime()
{
    LogFile log;
    const QString path = log.GenerateNewLogFileName();
    QCOMPARE(path, m_dir->path() + QStringLiteral("/logs/") + platform::AppPaths::executableName()
                       + QStringLiteral("_Log_091029_14_05_09.TXT"));
    QCOMPARE(log.gLogFileName(), path);
    QVERIFY(QDir(m_dir->path() + QStringLiteral("/logs")).exists());
}

void TestLogging::headerByteForByte()
{
    LogFile log;
    const QString path = log.GenerateNewLogFileName();
    QVERIFY(log.WriteLogHeader(path, {QStringLiteral("4.0(3.120)"), QStringLiteral("EXAMPLE"), QStringLiteral("admin")}));
    const QString rule(64, u'=');
    const QString expected = rule + QStringLiteral("\r\n") + QStringLiteral("Running ") + platform::AppPaths::executableName()
                             + QStringLiteral(", version %1.%2.%3\r\n").arg(QUILLOR_VERSION_MAJOR).arg(QUILLOR_VERSION_MINOR).arg(QUILLOR_VERSION_PATCH)
                             + QStringLiteral("\r\n") + QStringLiteral("Local Tolva version=4.0(3.120)\r\n")
                             + QStringLiteral("Local time=") + generalDateTime(m_seams->clock->current) + QStringLiteral("\r\n")
                             + QStringLiteral("Logged in user=EXAMPLE\\admin\r\n") + rule + QStringLiteral("\r\n\r\n")
                             + QStringLiteral("DATE_AND_TIME, ACTION, PARENT TABLE NAME, PARENT ALIAS, TABLE NAME, ALIAS, "
                                              "COLUMN NAME, VALUE\r\n\r\n");
    QCOMPARE(readLog(path), expected);
    // The C locale's general format, as the tests run it.
    QCOMPARE(generalDateTime(m_seams->clock->current), QStringLiteral("29 Oct 2009 14:05:09"));
}

void TestLogging::auditLines_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QVariantList>("fields"); // TableName, Alias, ParentTableName, ParentAlias, ColumnName, Value; invalid = left out
    QTest::addColumn<QString>("line");

    const QVariant out; // left out
    const QVariant null(QMetaType::fromType<QString>());
    QTest::newRow("display name changed")
        << 1 << QVariantList{"CallHandler", "salesch", out, out, "TextName", "Sales Team"}
        << "UPDATE, , , CallHandler, salesch, TextName, Sales Team";
    QTest::newRow("parents come first")
        << 2 << QVariantList{"MessagingRule", "Standard", "CallHandler", "salesch", "Update", "x"}
        << "FAILED_UPDATE, CallHandler, salesch, MessagingRule, Standard, Update, x";
    QTest::newRow("empty value") << 1 << QVariantList{"CallHandler", "a", out, out, "DTMFAccessID", ""}
                                 << "UPDATE, , , CallHandler, a, DTMFAccessID, (NULL)";
    QTest::newRow("Null value") << 1 << QVariantList{"CallHandler", "a", out, out, "Language", null}
                                << "UPDATE, , , CallHandler, a, Language, (NULL)";
    QTest::newRow("value left out") << 3 << QVariantList{"CallHandler", "a", out, out, out, out}
                                    << "ADD_NEW, , , CallHandler, a, , ";
    QTest::newRow("unknown code") << 9 << QVariantList{out, out, out, out, out, out}
                                  << "Unknown action, , , , , , ";
    QTest::newRow("commas are not escaped") << 1 << QVariantList{"T", "a", out, out, "C", "x, y"}
                                            << "UPDATE, , , T, a, C, x, y";
    QTest::newRow("numbers") << 5 << QVariantList{"T", 7, out, out, "C", 0} << "DELETE, , , T, 7, C, 0";
    QTest::newRow("Booleans") << 1 << QVariantList{"T", true, out, out, "C", false} << "UPDATE, , , T, True, C, False";
    QTest::newRow("a double") << 1 << QVariantList{"T", 0.1, out, out, "C", 1234567.125}
                              << "UPDATE, , , T, 0.1, C, 1234567.125";
    QTest::newRow("a 64-bit integer") << 1 << QVariantList{"T", "a", out, out, "C", qint64(5000000000)}
                                      << "UPDATE, , , T, a, C, 5000000000";
    QTest::newRow("dates") << 1
                           << QVariantList{"T", QDateTime(QDate(1993, 1, 2), QTime(0, 0)), out, out, "C",
                                           QDateTime(QDate(2009, 10, 29), QTime(14, 5, 9))}
                           << "UPDATE, , , T, 2 Jan 1993, C, 29 Oct 2009 14:05:09";
    // Nothing can end the line early or start a forged one.
    QTest::newRow("line breaks and NUL")
        << 1 << QVariantList{"T", "a\nb", out, out, "C", QStringLiteral("x\r\n01/01/2009 00:00:00, UPDATE\0y")}
        << "UPDATE, , , T, a\\nb, C, x\\r\\n01/01/2009 00:00:00, UPDATE\\0y";
}

// Values handed over as C++ numbers and Booleans keep their type.
void TestLogging::valuesKeepTheirType()
{
    LogFile log;
    const QString path = log.GenerateNewLogFileName();
    QVERIFY(log.WriteLogHeader(path, {}));
    const QList<std::pair<LogArg, QString>> cases = {
        {2.5, "2.5"}, {true, "True"}, {false, "False"}, {qint64(5000000000), "5000000000"}, {0.1f, "0.1"},
        {qint16(-3), "-3"}, {quint64(18446744073709551615ULL), "18446744073709551615"}};
    for (const auto &[value, expected] : cases)
        log.LogAction(UPDATE, "T", "a", {}, {}, "C", value);
    const QStringList lines = readLog(path).split(QStringLiteral("\r\n")).mid(10, cases.size());
    for (qsizetype i = 0; i < cases.size(); ++i)
        QVERIFY2(lines.value(i).endsWith(QStringLiteral(", C, ") + cases[i].second), qPrintable(lines.value(i)));
}

void TestLogging::auditLines()
{
    QFETCH(int, action);
    QFETCH(QVariantList, fields);
    QFETCH(QString, line);

    LogFile log;
    const QString path = log.GenerateNewLogFileName();
    QVERIFY(log.WriteLogHeader(path, {}));
    QList<LogArg> args;
    for (const QVariant &f : fields)
        args << (f.isValid() ? LogArg(f) : LogArg());
    log.LogAction(qint16(action), args[0], args[1], args[2], args[3], args[4], args[5]);
    const QStringList lines = readLog(path).split(QStringLiteral("\r\n"));
    // The header's ten lines, the audit line, then the final line end.
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines[10], generalDateTime(m_seams->clock->current) + QStringLiteral(", ") + line);
}

void TestLogging::messagesBeforeTheFileExistAreKept()
{
    LogFile log;
    log.logMessage(QStringLiteral("(error) early"));
    log.LogAction(UPDATE, QStringLiteral("T")); // audit lines before the log go nowhere
    const QString path = log.GenerateNewLogFileName();
    QVERIFY(log.WriteLogHeader(path, {}));
    log.logMessage(QStringLiteral("(error) late"));
    const QStringList lines = readLog(path).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.mid(10), (QStringList{QStringLiteral("(error) early"), QStringLiteral("(error) late"), QString()}));
}

void TestLogging::oldFilesAreRemoved_data()
{
    QTest::addColumn<QDateTime>("modified");
    QTest::addColumn<bool>("kept");
    const QDateTime now(QDate(2009, 10, 29), QTime(14, 5, 9));
    QTest::newRow("30 days") << now.addDays(-30) << false;
    QTest::newRow("21 calendar days") << QDateTime(QDate(2009, 10, 8), QTime(23, 59)) << false;
    QTest::newRow("exactly 20 calendar days") << QDateTime(QDate(2009, 10, 9), QTime(0, 0, 1)) << true;
    QTest::newRow("20 days at the last minute") << QDateTime(QDate(2009, 10, 9), QTime(23, 59)) << true;
    QTest::newRow("yesterday") << now.addDays(-1) << true;
    QTest::newRow("in the future") << now.addDays(3) << true;
}

void TestLogging::oldFilesAreRemoved()
{
    QFETCH(QDateTime, modified);
    QFETCH(bool, kept);
    const QString folder = m_dir->path() + QStringLiteral("/logs");
    QVERIFY(QDir().mkpath(folder));
    const QString old = folder + QStringLiteral("/unrelated.dat");
    QFile f(old);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    QVERIFY(f.flush());
    QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner)); // read-only files go too
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub"))); // folders are left alone

    LogFile log;
    log.GenerateNewLogFileName();
    QCOMPARE(QFile::exists(old), kept);
    QVERIFY(QDir(folder + QStringLiteral("/sub")).exists());
}

void TestLogging::sameSecondKeepsBothLogs()
{
    LogFile first;
    const QString firstPath = first.GenerateNewLogFileName();
    QVERIFY(first.WriteLogHeader(firstPath, {}));
    first.LogAction(UPDATE, QStringLiteral("CallHandler"), QStringLiteral("first-run"));

    LogFile second;
    const QString secondPath = second.GenerateNewLogFileName();
    QVERIFY(secondPath != firstPath);
    QVERIFY(secondPath.endsWith(QStringLiteral("_Log_091029_14_05_09_2.TXT")));
    QVERIFY(second.WriteLogHeader(secondPath, {}));
    // Even handed the first run's name, a header never replaces that file,
    // nor does the log then name it or write to it.
    LogFile third;
    third.GenerateNewLogFileName();
    const QString firstLog = readLog(firstPath);
    QVERIFY(!third.WriteLogHeader(firstPath, {}));
    QCOMPARE(third.gLogFileName(), QString());
    third.ReopenLogFile();
    third.LogAction(UPDATE, QStringLiteral("CallHandler"), QStringLiteral("third-run"));
    third.logMessage(QStringLiteral("third-run message"));
    QCOMPARE(readLog(firstPath), firstLog);
    QVERIFY(firstLog.contains(QStringLiteral("first-run")));
}

void TestLogging::reopenKeepsWhatWasWritten()
{
    LogFile log;
    const QString path = log.GenerateNewLogFileName();
    QVERIFY(log.WriteLogHeader(path, {}));
    log.LogAction(UPDATE, QStringLiteral("A"));
    // Another program sees the line at once: the file is not buffered.
    QVERIFY(readLog(path).contains(QStringLiteral(", A, ")));
    log.ReopenLogFile();
    log.LogAction(UPDATE, QStringLiteral("B"));
    const QString text = readLog(path);
    QVERIFY(text.contains(QStringLiteral(", A, ")));
    QVERIFY(text.contains(QStringLiteral(", B, ")));
    QVERIFY(text.startsWith(QString(64, u'=')));
}

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
