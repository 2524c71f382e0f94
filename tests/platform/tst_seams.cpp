// The seams' own behaviour: the program's random numbers, the filter that
// shows a repeated message once and the desktop's opener.
#include "fakes.h"
#include "platform/seams.h"

#include <QProcess>
#include <QWidget>
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
    void openerAnswers_data();
    void openerAnswers();
    void boxGoneWithItsParent_data();
    void boxGoneWithItsParent();
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

void TestSeams::openerAnswers_data()
{
    QTest::addColumn<int>("exitStatus"); // -1: no opener installed
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QString>("argument"); // what the opener is given
    QTest::addColumn<QString>("reason");   // "": no failure reported

    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/var/log/a b%.TXT"));
    const QUrl page(QStringLiteral("http://srv/Web/handFrame.asp?id=%01%0703%3A%7B0%7D&NavWidth=205"));
    QTest::newRow("file opened") << 0 << file << "/var/log/a b%.TXT" << "";
    QTest::newRow("page opened") << 0 << page << page.toString(QUrl::FullyEncoded) << "";
    QTest::newRow("no program for it") << 3 << file << "/var/log/a b%.TXT"
                                       << "no program to open it was found (xdg-open, exit status 3)";
    QTest::newRow("viewer failed") << 4 << page << page.toString(QUrl::FullyEncoded)
                                   << "the program that was to open it failed (xdg-open, exit status 4)";
    QTest::newRow("opener missing") << -1 << file << ""
                                    << "the desktop's opener xdg-open could not be started (it comes with the package "
                                       "xdg-utils)";
}

// The program's own shell, with an opener of the test's making first in the PATH.
void TestSeams::openerAnswers()
{
    QFETCH(int, exitStatus);
    QFETCH(QUrl, url);
    QFETCH(QString, argument);
    QFETCH(QString, reason);
    QTemporaryDir bin;
    if (exitStatus >= 0) {
        QFile opener(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > \"${0%/*}/argument\"\nexit %1\n").arg(exitStatus).toUtf8());
        opener.close();
        opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit());
    QStringList reasons;
    Seams::shell().openUrl(url, [&reasons](const QString &why) { reasons << why; });
    qputenv("PATH", path);
    QTRY_VERIFY(qApp->findChildren<QProcess *>().isEmpty());
    QCOMPARE(reasons, reason.isEmpty() ? QStringList{} : QStringList{reason});
    QFile given(bin.filePath(QStringLiteral("argument")));
    QCOMPARE(given.exists(), !argument.isEmpty());
    if (given.open(QIODevice::ReadOnly))
        QCOMPARE(QString::fromUtf8(given.readAll()), argument);
}

void TestSeams::boxGoneWithItsParent_data()
{
    QTest::addColumn<MsgButtons>("buttons");
    QTest::addColumn<platform::MsgAnswer>("answer"); // the cautious one
    QTest::newRow("OK") << MsgButtons::Ok << platform::MsgAnswer::Ok;
    QTest::newRow("Yes, No") << MsgButtons::YesNo << platform::MsgAnswer::No;
    QTest::newRow("OK, Cancel") << MsgButtons::OkCancel << platform::MsgAnswer::Cancel;
}

void TestSeams::boxGoneWithItsParent()
{
    QFETCH(MsgButtons, buttons);
    QFETCH(platform::MsgAnswer, answer);
    // The real box, its parent deleted while it waits for an answer.
    auto parent = std::make_unique<QWidget>();
    QTimer::singleShot(50, [&parent] { parent.reset(); });
    QCOMPARE(platform::msgBox(QStringLiteral("Still there?"), buttons, {}, parent.get()), answer);
    QVERIFY(!parent);
}

QTEST_MAIN(TestSeams)
#include "tst_seams.moc"
