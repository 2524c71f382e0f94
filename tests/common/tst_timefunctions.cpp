// Conversions between universal and local time. The tests run in Europe/Berlin
// (CET in winter, CEST in summer).
#include "common/timefunctions.h"

#include <QtTest>

using namespace quillor;

class TestTimeFunctions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void universalToLocal_data();
    void universalToLocal();
    void roundTrip_data();
    void roundTrip();
    void fileTimes();
};

void TestTimeFunctions::initTestCase()
{
    QCOMPARE(QDateTime(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC).toLocalTime().time(), QTime(13, 0));
}

void TestTimeFunctions::universalToLocal_data()
{
    QTest::addColumn<QDateTime>("utc");
    QTest::addColumn<QDateTime>("local");
    QTest::newRow("winter") << QDateTime(QDate(2024, 1, 15), QTime(12, 0)) << QDateTime(QDate(2024, 1, 15), QTime(13, 0));
    QTest::newRow("summer") << QDateTime(QDate(2024, 7, 15), QTime(12, 0)) << QDateTime(QDate(2024, 7, 15), QTime(14, 0));
    // Each date with its own offset, whatever the season is today.
    QTest::newRow("winter date seen from any day")
        << QDateTime(QDate(2023, 12, 31), QTime(23, 30)) << QDateTime(QDate(2024, 1, 1), QTime(0, 30));
    QTest::newRow("fractions of a second are dropped")
        << QDateTime(QDate(2024, 1, 15), QTime(12, 0, 5, 999)) << QDateTime(QDate(2024, 1, 15), QTime(13, 0, 5));
    QTest::newRow("just before the spring change")
        << QDateTime(QDate(2024, 3, 31), QTime(0, 59, 59)) << QDateTime(QDate(2024, 3, 31), QTime(1, 59, 59));
    QTest::newRow("just after the spring change")
        << QDateTime(QDate(2024, 3, 31), QTime(1, 0)) << QDateTime(QDate(2024, 3, 31), QTime(3, 0));
}

void TestTimeFunctions::universalToLocal()
{
    QFETCH(QDateTime, utc);
    QFETCH(QDateTime, local);
    const QDateTime got = dtUTCToLocal(utc);
    QCOMPARE(got.date(), local.date());
    QCOMPARE(got.time(), local.time());
    const QDateTime back = dtLocalToUTC(local);
    QCOMPARE(back.timeSpec(), Qt::UTC);
    QCOMPARE(back.date(), utc.date());
    QCOMPARE(back.time(), QTime(utc.time().hour(), utc.time().minute(), utc.time().second()));
}

void TestTimeFunctions::roundTrip_data()
{
    QTest::addColumn<QDateTime>("local");
    QTest::newRow("winter") << QDateTime(QDate(2025, 2, 1), QTime(8, 15, 30));
    QTest::newRow("summer") << QDateTime(QDate(2025, 8, 1), QTime(23, 59, 59));
    QTest::newRow("new year") << QDateTime(QDate(2025, 1, 1), QTime(0, 0));
}

void TestTimeFunctions::roundTrip()
{
    QFETCH(QDateTime, local);
    const QDateTime again = dtUTCToLocal(dtLocalToUTC(local));
    QCOMPARE(again.date(), local.date());
    QCOMPARE(again.time(), local.time());
}

void TestTimeFunctions::fileTimes()
{
    QCOMPARE(FileTimeUTCToLocal(0), qint64(0));
    QCOMPARE(FileTimeLocalToUTC(0), qint64(0));
    const QDateTime start(QDate(1601, 1, 1), QTime(0, 0));
    QCOMPARE(DateToFileTime(start), qint64(0));
    const QDateTime summer(QDate(2024, 7, 15), QTime(12, 0, 7));
    const qint64 ft = DateToFileTime(summer);
    QCOMPARE(FileTimeToDate(ft).time(), summer.time());
    QCOMPARE(FileTimeToDate(ft).date(), summer.date());
    QCOMPARE(FileTimeUTCToLocal(ft) - ft, qint64(2) * 3600 * 10000000);
    QCOMPARE(FileTimeLocalToUTC(FileTimeUTCToLocal(ft)), ft);
    const qint64 winter = DateToFileTime(QDateTime(QDate(2024, 1, 15), QTime(12, 0)));
    QCOMPARE(FileTimeUTCToLocal(winter) - winter, qint64(3600) * 10000000);
}

QTEST_GUILESS_MAIN(TestTimeFunctions)
#include "tst_timefunctions.moc"
