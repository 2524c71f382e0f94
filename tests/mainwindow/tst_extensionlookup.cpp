// Extensions > "Find extension in database" on the embedded server: what is
// asked, what is listed, and what a cancel, a wrong text or a failing
// database lead to.
#include "common/appcontext.h"
#include "fakes.h"
#include "mainwindow/extensionlookup.h"
#include "mainwindow/frmmain.h"
#include "testserver.h"

#include <QRegularExpression>
#include <QtTest>

using namespace quillor;

namespace {

const QString kHeading = QStringLiteral("That extension is in use by the following objects:\r\n");
const QString kNone = QStringLiteral("No objects using that extension were found in the dialing domain");
const QString kDigits = QStringLiteral("Please enter only digits");

QString entry(const char *extension, const char *type, const char *name)
{
    return QStringLiteral("Extension= %1 is owned by %2 with a Display Name= %3.  ")
        .arg(QLatin1String(extension), QLatin1String(type), QLatin1String(name));
}

} // namespace

class TestExtensionLookup : public QObject {
    Q_OBJECT
private slots:
    void lookUp_data();
    void lookUp();
    void twoOwnersOnOneLine();
    void failingDatabase_data();
    void failingDatabase();
    void menuHandlerOfTheWindow();
};

void TestExtensionLookup::lookUp_data()
{
    QTest::addColumn<QVariant>("answer"); // an invalid QVariant: the user cancels
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("cancelled") << QVariant() << QStringList{};
    QTest::newRow("confirmed empty") << QVariant(QString()) << QStringList{};
    QTest::newRow("a letter") << QVariant("40a0") << QStringList{kDigits};
    QTest::newRow("a minus sign") << QVariant("-5") << QStringList{kDigits};
    QTest::newRow("a decimal point") << QVariant("1.0") << QStringList{kDigits};
    QTest::newRow("an exponent") << QVariant("4e3") << QStringList{kDigits};
    QTest::newRow("a blank") << QVariant(" 4000") << QStringList{kDigits};
    QTest::newRow("an apostrophe") << QVariant("4000'") << QStringList{kDigits};
    QTest::newRow("nobody uses it") << QVariant("9999") << QStringList{kNone};
    QTest::newRow("leading zero is another extension") << QVariant("04000") << QStringList{kNone};
    QTest::newRow("distribution list")
        << QVariant("4000") << QStringList{kHeading + entry("4000", "Distribution List", "All Subscribers")};
    QTest::newRow("interview handler")
        << QVariant("2000") << QStringList{kHeading + entry("2000", "Inteview Handler", "Feedback Interview")};
    QTest::newRow("location") << QVariant("399") << QStringList{kHeading + entry("399", "Location Object", "Headquarters")};
    QTest::newRow("owner of no known kind, no name")
        << QVariant("8888") << QStringList{kHeading + entry("8888", "Unknown", "")};
}

void TestExtensionLookup::lookUp()
{
    QFETCH(QVariant, answer);
    QFETCH(QStringList, messages);
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    seams.inputBox->answers.enqueue(answer.isValid() ? std::optional<QString>(answer.toString()) : std::nullopt);
    const quint64 writesBefore = server.ctx().db().writeCount();

    findExtensionInDialingDomain(server.ctx());

    QCOMPARE(seams.inputBox->asked.size(), 1);
    QCOMPARE(seams.inputBox->asked[0].prompt, QStringLiteral("Enter extension number to find"));
    QCOMPARE(seams.inputBox->asked[0].title, QStringLiteral("Find Extension"));
    QCOMPARE(seams.inputBox->asked[0].defaultText, QString());
    QCOMPARE(seams.messages->texts(), messages);
    for (const test::ShownMessage &m : seams.messages->shown) {
        QCOMPARE(m.buttons, platform::MsgButtons::Ok);
        QCOMPARE(m.title, QString());
    }
    QCOMPARE(server.ctx().db().writeCount(), writesBefore);
}

void TestExtensionLookup::twoOwnersOnOneLine()
{
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    seams.inputBox->answers.enqueue(QStringLiteral("5001"));

    findExtensionInDialingDomain(server.ctx());

    QCOMPARE(seams.messages->shown.size(), 1);
    const QString text = seams.messages->shown[0].text;
    const QString subscriber = entry("5001", "Subscriber", "Alice Admin");
    const QString handler = entry("5001", "Call Handler", "After Hours");
    // The view gives no order; both entries follow the heading on one line.
    QVERIFY2(text == kHeading + subscriber + handler || text == kHeading + handler + subscriber, qPrintable(text));
}

void TestExtensionLookup::failingDatabase_data()
{
    test::TestServer::addFaultRows();
}

void TestExtensionLookup::failingDatabase()
{
    QFETCH(test::TestServer::Fault, fault);
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    AppContext &ctx = server.ctx();
    QVERIFY(server.breakMainDatabase(fault, QStringLiteral("vw_DTMFAccessID_DialingDomain")));
    seams.inputBox->answers.enqueue(QStringLiteral("4000"));

    findExtensionInDialingDomain(ctx);

    // The failure is reported, never "nobody uses it".
    QCOMPARE(seams.messages->shown.size(), 1);
    const QRegularExpression frame(
        QStringLiteral("^\\(error\\):-?\\d+ \\(.+\\) in procedure mnuFindExtension_Click of Form frmMain$"));
    QVERIFY2(frame.match(seams.messages->shown[0].text).hasMatch(), qPrintable(seams.messages->shown[0].text));
}

void TestExtensionLookup::menuHandlerOfTheWindow()
{
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    frmMain window(server.ctx());
    seams.inputBox->answers.enqueue(QStringLiteral("4000"));
    seams.inputBox->answers.enqueue(std::nullopt);

    window.mnuFindExtension_Click();
    window.mnuFindExtension_Click();

    QCOMPARE(seams.inputBox->asked.size(), 2);
    QCOMPARE(seams.messages->texts(), QStringList{kHeading + entry("4000", "Distribution List", "All Subscribers")});
}

QTEST_MAIN(TestExtensionLookup)
#include "tst_extensionlookup.moc"
