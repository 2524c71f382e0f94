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
    void gapAndFold_data();
    void gapAndFold();
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

// Berlin springs forward on 31 March 2024 at 02:00 (to 03:00) and falls
// back on 27 October 2024 at 03:00 (to 02:00).
void TestTimeFunctions::gapAndFold_data()
{
    QTest::addColumn<QDateTime>("local"); // fields only
    QTest::addColumn<QDateTime>("utc");
    const auto at = [](int month, int day, int h, int m, int s = 0) { return QDateTime(QDate(2024, month, day), QTime(h, m, s)); };
    // In the gap: the offset from before it (CET), never an invalid or unshifted time.
    QTest::newRow("gap start") << at(3, 31, 2, 0) << at(3, 31, 1, 0);
    QTest::newRow("gap middle") << at(3, 31, 2, 30) << at(3, 31, 1, 30);
    QTest::newRow("gap end") << at(3, 31, 2, 59, 59) << at(3, 31, 1, 59, 59);
    QTest::newRow("after the gap") << at(3, 31, 3, 0) << at(3, 31, 1, 0);
    QTest::newRow("before the gap") << at(3, 31, 1, 59, 59) << at(3, 31, 0, 59, 59);
    // In the fold: the earlier of the two moments (still CEST).
    QTest::newRow("fold start") << at(10, 27, 2, 0) << at(10, 27, 0, 0);
    QTest::newRow("fold middle") << at(10, 27, 2, 30) << at(10, 27, 0, 30);
    QTest::newRow("fold end") << at(10, 27, 2, 59, 59) << at(10, 27, 0, 59, 59);
    QTest::newRow("after the fold") << at(10, 27, 3, 0) << at(10, 27, 2, 0);
    QTest::newRow("before the fold") << at(10, 27, 1, 59, 59) << at(10, 26, 23, 59, 59);
}

void TestTimeFunctions::gapAndFold()
{
    QFETCH(QDateTime, local);
    QFETCH(QDateTime, utc);
    const QDateTime expected(utc.date(), utc.time(), Qt::UTC);
    // As fields, and as the (invalid, in the gap) local QDateTime an edit would give.
    QCOMPARE(dtLocalToUTC(local.date(), local.time()), expected);
    QCOMPARE(dtLocalToUTC(QDateTime(local.date(), local.time(), Qt::LocalTime)), expected);
    QCOMPARE(dtLocalToUTC(local).timeSpec(), Qt::UTC);
    // The file-time conversion agrees.
    const qint64 ft = DateToFileTime(local);
    QCOMPARE(FileTimeToDate(FileTimeLocalToUTC(ft)).date(), utc.date());
    QCOMPARE(FileTimeToDate(FileTimeLocalToUTC(ft)).time(), utc.time());
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
