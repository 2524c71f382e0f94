// The seams' own behaviour: the program's random numbers and the filter that
// shows a repeated message once.
#include "fakes.h"
#include "platform/seams.h"

#include <QtTest>

using namespace quillor;
using platform::MsgButtons;
using platform::Seams;

class TestSeams : public QObject {
    Q_OBJECT
private slots:
    void sameSequenceEveryRun();
    void drawsScaledAndRoundedDown_data();
    void drawsScaledAndRoundedDown();
    void repeatedMessagesShownOnce();
};

void TestSeams::sameSequenceEveryRun()
{
    // Two generators as two runs start with them.
    const auto first = platform::unseededRandom();
    const auto second = platform::unseededRandom();
    QList<double> a, b;
    for (int i = 0; i < 1000; ++i) {
        a << first->next();
        b << second->next();
        QVERIFY(a.last() >= 0.0 && a.last() < 1.0);
    }
    QCOMPARE(a, b);
    QVERIFY(QSet<double>(a.cbegin(), a.cend()).size() > 990);
    for (int i = 0; i < 1000; ++i) {
        const int n = first->bounded(100000);
        QVERIFY(n >= 0 && n < 100000);
    }
}

void TestSeams::drawsScaledAndRoundedDown_data()
{
    QTest::addColumn<double>("draw");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("whole");
    QTest::newRow("zero") << 0.0 << 100000 << 0;
    QTest::newRow("rounded down") << 0.123459 << 100000 << 12345;
    QTest::newRow("just below one") << 0.9999999999999999 << 100000 << 99999;
    QTest::newRow("an empty range") << 0.5 << 0 << 0;
}

void TestSeams::drawsScaledAndRoundedDown()
{
    QFETCH(double, draw);
    QFETCH(int, range);
    QFETCH(int, whole);
    test::FakeSeams seams;
    seams.random->draws.enqueue(draw);
    QCOMPARE(Seams::random().bounded(range), whole);
    seams.random->queueWhole(whole, 100000);
    QCOMPARE(Seams::random().bounded(100000), whole);
}

void TestSeams::repeatedMessagesShownOnce()
{
    test::FakeSeams seams;
    QStringList recorded;
    {
        const platform::OnceOnlyMessages once([&](const QString &text) { recorded << text; });
        platform::msgBox(QStringLiteral("a"));
        platform::msgBox(QStringLiteral("b"));
        platform::msgBox(QStringLiteral("a"));
        // Questions are always asked, and answered.
        seams.messages->answers.enqueue(platform::MsgAnswer::Cancel);
        seams.messages->answers.enqueue(platform::MsgAnswer::Ok);
        QCOMPARE(platform::msgBox(QStringLiteral("q"), MsgButtons::OkCancel), platform::MsgAnswer::Cancel);
        QCOMPARE(platform::msgBox(QStringLiteral("q"), MsgButtons::OkCancel), platform::MsgAnswer::Ok);
    }
    QCOMPARE(recorded, (QStringList{"a", "b", "a", "q", "q"}));
    QCOMPARE(seams.messages->texts(), (QStringList{"a", "b", "q", "q"}));
    // Outside the scope every message shows again.
    platform::msgBox(QStringLiteral("a"));
    QCOMPARE(seams.messages->texts().size(), 5);
}

QTEST_MAIN(TestSeams)
#include "tst_seams.moc"
