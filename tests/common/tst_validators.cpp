// The edit checks and the small converters; the dialing-domain check and the
// greeting copy against the embedded server.
#include "common/appcontext.h"
#include "common/tolvaversion.h"
#include "common/validators.h"
#include "fakes.h"
#include "testserver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillor;

namespace {

const QString kKeep = QStringLiteral("(untouched)");
const QRegularExpression kDuplicateError(
    QStringLiteral("^\\(error\\):-?\\d+ \\(.+\\) in procedure IsDuplicateExtension of Module Module1$"));

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestValidators : public QObject {
    Q_OBJECT
private slots:
    void dialableString_data();
    void dialableString();
    void number_data();
    void number();
    void nameField_data();
    void nameField();
    void extension_data();
    void extension();
    void objectTypeName_data();
    void objectTypeName();
    void url_data();
    void url();
    void greetingTypeName_data();
    void greetingTypeName();
    void removeSpaces();
    void duplicateExtension_data();
    void duplicateExtension();
    void duplicateExtensionWithoutDatabase_data();
    void duplicateExtensionWithoutDatabase();
    void uniqueStream_data();
    void uniqueStream();
    void uniqueStreamFailures_data();
    void uniqueStreamFailures();
};

void TestValidators::dialableString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("xAllowed");
    QTest::addColumn<bool>("expected");

    QTest::newRow("empty") << "" << false << true;
    QTest::newRow("digits with commas") << "9,,5551234" << false << true;
    QTest::newRow("star and hash around a digit") << "*8#" << false << true;
    QTest::newRow("only star and hash") << "*#" << false << false;
    QTest::newRow("only commas") << ",,," << false << false;
    QTest::newRow("x not allowed") << "12x3" << false << false;
    QTest::newRow("x allowed") << "12x3" << true << true;
    QTest::newRow("capital X allowed") << "X12" << true << true;
    QTest::newRow("only x") << "xX" << true << false;
    QTest::newRow("negative") << "-5" << false << false;
    QTest::newRow("decimal point") << "1.5" << false << false;
    QTest::newRow("exponent") << "1e5" << false << false;
    QTest::newRow("plus sign") << "+12" << false << false;
    QTest::newRow("leading blank") << " 123" << false << false;
    QTest::newRow("blank inside") << "12 34" << false << false;
    QTest::newRow("hexadecimal") << "&H1F" << false << false;
    QTest::newRow("other script's digits") << QString::fromUtf8("\u0661\u0662") << false << false;
}

void TestValidators::dialableString()
{
    QFETCH(QString, text);
    QFETCH(bool, xAllowed);
    QFETCH(bool, expected);
    QCOMPARE(myIsDialableString(text, xAllowed), expected);
}

void TestValidators::number_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<bool>("expected");

    QTest::newRow("empty") << "" << 0 << 0 << true;
    QTest::newRow("empty with a range") << "" << 1 << 10 << true;
    QTest::newRow("leading zeros") << "007" << 0 << 0 << true;
    QTest::newRow("zero fraction") << "5.0" << 0 << 0 << false;
    QTest::newRow("trailing point") << "5." << 0 << 0 << false;
    QTest::newRow("negative") << "-1" << 0 << 0 << false;
    QTest::newRow("minus zero") << "-0" << 0 << 0 << false;
    QTest::newRow("plus sign") << "+5" << 0 << 0 << false;
    QTest::newRow("exponent") << "1e1" << 0 << 0 << false;
    QTest::newRow("blanks around") << " 12 " << 0 << 0 << false;
    QTest::newRow("thousands separator") << "1,000" << 0 << 0 << false;
    QTest::newRow("hexadecimal") << "0x1F" << 0 << 0 << false;
    QTest::newRow("full-width digits") << QString::fromUtf8("\uFF11\uFF12") << 0 << 0 << false;
    QTest::newRow("above the range") << "5" << 1 << 4 << false;
    QTest::newRow("no range") << "5" << 0 << 0 << true;
    QTest::newRow("lower bound included") << "1" << 1 << 10 << true;
    QTest::newRow("upper bound included") << "10" << 1 << 10 << true;
    QTest::newRow("below the range") << "0" << 1 << 10 << false;
    QTest::newRow("only a maximum is a range") << "11" << 0 << 10 << false;
    QTest::newRow("zero within 0 to 10") << "0" << 0 << 10 << true;
    QTest::newRow("longest message") << "3600" << 1 << 3600 << true;
    QTest::newRow("too long a message") << "3601" << 1 << 3600 << false;
    QTest::newRow("leading zeros within range") << "0004" << 1 << 10 << true;
    QTest::newRow("huge without range") << "123456789012345678901234567890" << 0 << 0 << true;
    QTest::newRow("huge with range") << "123456789012345678901234567890" << 1 << 10 << false;
    QTest::newRow("above 32 bits with range") << "4294967297" << 1 << 10 << false;
}

void TestValidators::number()
{
    QFETCH(QString, text);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(bool, expected);
    QCOMPARE(MyIsNumber(text, minimum, maximum), expected);
}

void TestValidators::nameField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("letters digits blanks commas dashes") << "Smith, John-2" << true;
    QTest::newRow("lower case") << "sales team" << true;
    QTest::newRow("apostrophe") << "O'Brien" << false;
    QTest::newRow("full stop") << "St. John" << false;
    QTest::newRow("accented letter") << QString::fromUtf8("Jos\u00E9") << false;
    QTest::newRow("long s upper-cases to S elsewhere") << QString::fromUtf8("Ro\u017Fe") << false;
    QTest::newRow("dotless i upper-cases to I elsewhere") << QString::fromUtf8("L\u0131sa") << false;
    QTest::newRow("tab") << "Sales\tTeam" << false;
    QTest::newRow("underscore") << "sales_team" << false;
    QTest::newRow("empty") << "" << false;
}

void TestValidators::nameField()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(myIsValidNameField(text), expected);
}

void TestValidators::extension_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QStringList>("messages");

    const QString length3 = QStringLiteral("Extensions must be at least 3 digits in length");
    const QString numbers = QStringLiteral("Only numbers are allowed for the extension number");
    QTest::newRow("too short") << "12" << 3 << false << QStringList{length3};
    QTest::newRow("blanks do not count") << " 12 " << 3 << false << QStringList{length3};
    QTest::newRow("three digits with blanks") << " 123 " << 3 << true << QStringList{};
    QTest::newRow("digits and a letter") << "12a" << 3 << false << QStringList{numbers};
    QTest::newRow("negative") << "-123" << 0 << false << QStringList{"Extensions must be positive numbers only"};
    QTest::newRow("fraction") << "12.5" << 0 << false << QStringList{"Extension must be a whole number only"};
    QTest::newRow("empty, no minimum") << "" << 0 << true << QStringList{};
    QTest::newRow("only blanks, no minimum") << "   " << 0 << true << QStringList{};
    QTest::newRow("empty with a minimum") << "" << 3 << false << QStringList{length3};
    QTest::newRow("exponent") << "1e3" << 0 << false << QStringList{numbers};
    QTest::newRow("plus sign") << "+123" << 0 << false << QStringList{numbers};
    QTest::newRow("other script's digits") << QString::fromUtf8("\u0661\u0662\u0663") << 0 << false
                                           << QStringList{numbers};
    QTest::newRow("blank inside") << "12 34" << 0 << false << QStringList{numbers};
    QTest::newRow("leading zeros") << "0042" << 4 << true << QStringList{};
}

void TestValidators::extension()
{
    QFETCH(QString, text);
    QFETCH(int, minimum);
    QFETCH(bool, expected);
    QFETCH(QStringList, messages);
    test::FakeSeams seams;
    QCOMPARE(isValidExtension(text, qint16(minimum)), expected);
    QCOMPARE(seams.messages->texts(), messages);
}

void TestValidators::objectTypeName_data()
{
    QTest::addColumn<QVariant>("code");
    QTest::addColumn<QString>("expected");

    QTest::newRow("2") << QVariant(2) << "Distribution List";
    QTest::newRow("4 is no type") << QVariant(4) << "Unknown";
    QTest::newRow("5 as the server spells it") << QVariant(5) << "Inteview Handler";
    QTest::newRow("9") << QVariant(9) << "Location Object";
    QTest::newRow("Null") << QVariant(QMetaType::fromType<int>()) << "Unknown";
    QTest::newRow("code as text") << QVariant(QStringLiteral("3")) << "Call Handler";
    QTest::newRow("wraps to 3 in 16 bits") << QVariant(65539) << "Unknown";
    QTest::newRow("not a number") << QVariant(QStringLiteral("three")) << "Unknown";
}

void TestValidators::objectTypeName()
{
    QFETCH(QVariant, code);
    QFETCH(QString, expected);
    QCOMPARE(strObjectTypeName(code), expected);
    if (code.metaType().id() == QMetaType::Int && !code.isNull() && code.toInt() < 100)
        QCOMPARE(strObjectTypeName(qint16(code.toInt())), expected);
}

void TestValidators::url_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("expected");

    const QString id = QStringLiteral("{0A1B2C3D-0000-4000-8000-00000000001F}");
    const QString enc = QStringLiteral("%7B0A1B2C3D%2D0000%2D4000%2D8000%2D00000000001F%7D");
    const QString base = QStringLiteral("http://TOLVASRV/Web/SA/FrameASP/");
    QTest::newRow("call handler") << 3 << id << base + "handFrame.asp?id=%01%0703%3A" + enc + "&NavWidth=205";
    QTest::newRow("distribution list") << 2 << id << base + "DListFrame.asp?id=%01%0702%3A" + enc + "&NavWidth=205";
    QTest::newRow("interview handler") << 5 << id << base + "IntHFrame.asp?id=%01%0705%3A" + enc + "&NavWidth=205";
    QTest::newRow("name lookup handler") << 6 << id << base + "DirHFrame.asp?id=%01%0706%3A" + enc + "&NavWidth=205";
    QTest::newRow("subscriber by directory id, unencoded")
        << 1 << id << base + "SubsFrame.asp?DirID=" + id + "&NavWidth=205";
    QTest::newRow("leaf has no page") << 0 << id << "";
    QTest::newRow("type 4 has no page") << 4 << id << "";
    QTest::newRow("location has no page") << 9 << id << "";
}

void TestValidators::url()
{
    QFETCH(int, type);
    QFETCH(QString, id);
    QFETCH(QString, expected);
    QCOMPARE(strGenerateURL(qint16(type), id, QVariant(QStringLiteral("TOLVASRV"))), expected);
}

void TestValidators::greetingTypeName_data()
{
    QTest::addColumn<QVariant>("index");
    QTest::addColumn<QString>("expected");

    QTest::newRow("0") << QVariant(0) << "Standard";
    QTest::newRow("1") << QVariant(1) << "OffHours";
    QTest::newRow("6") << QVariant(6) << "(invalid)";
    QTest::newRow("-1") << QVariant(-1) << "(invalid)";
    QTest::newRow("text 3") << QVariant(QStringLiteral("3")) << "Alternate";
    QTest::newRow("text with blanks") << QVariant(QStringLiteral(" 4 ")) << "Internal";
    QTest::newRow("16-bit") << QVariant::fromValue<qint16>(5) << "Error";
    QTest::newRow("Null") << QVariant() << "(invalid)";
    QTest::newRow("Null text") << QVariant(QMetaType::fromType<QString>()) << "(invalid)";
    QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << "(invalid)";
    QTest::newRow("fraction") << QVariant(3.5) << "(invalid)";
}

void TestValidators::greetingTypeName()
{
    QFETCH(QVariant, index);
    QFETCH(QString, expected);
    QCOMPARE(strGreetingTypeName(index), expected);
}

void TestValidators::removeSpaces()
{
    QCOMPARE(strRemoveSpaces(QStringLiteral(" Sales  Team ")), QStringLiteral("SalesTeam"));
    // Only the blank goes: tabs and non-breaking spaces are kept.
    QCOMPARE(strRemoveSpaces(QString::fromUtf8("a\tb\u00A0c d")), QString::fromUtf8("a\tb\u00A0cd"));
}

void TestValidators::duplicateExtension_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("typeWords"); // the first row's word is one of these
    QTest::addColumn<QString>("displayName");

    QTest::newRow("distribution list") << "4000" << 1 << QStringList{"Distribution List"} << "All Subscribers";
    QTest::newRow("interview handler") << "2000" << 1 << QStringList{"Inteview Handler"} << "Feedback Interview";
    QTest::newRow("not the primary extension") << "2101" << 1 << QStringList{"Inteview Handler"} << "Survey";
    QTest::newRow("owner of no known kind") << "8888" << 1 << QStringList{"Unknown"} << "";
    QTest::newRow("subscriber and call handler") << "5001" << 2 << QStringList{"Subscriber", "Call Handler"} << "*";
    QTest::newRow("blanks around, as the extension check allows")
        << " 4000 " << 1 << QStringList{"Distribution List"} << "All Subscribers";
    QTest::newRow("only blanks") << "   " << 0 << QStringList{kKeep} << kKeep;
    QTest::newRow("free") << "9999" << 0 << QStringList{kKeep} << kKeep;
    QTest::newRow("empty") << "" << 0 << QStringList{kKeep} << kKeep;
    QTest::newRow("apostrophe is plain text") << "1' OR '1'='1" << 0 << QStringList{kKeep} << kKeep;
}

void TestValidators::duplicateExtension()
{
    QFETCH(QString, extension);
    QFETCH(int, count);
    QFETCH(QStringList, typeWords);
    QFETCH(QString, displayName);
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));

    QString type = kKeep;
    QString name = kKeep;
    const quint64 queriesBefore = server.ctx().db().queryCount();
    const std::optional<qint16> found = IsDuplicateExtension(server.ctx(), extension, type, name);
    QVERIFY(found.has_value());
    QCOMPARE(int(*found), count);
    QVERIFY2(typeWords.contains(type), qPrintable(type));
    if (displayName == u'*')
        QCOMPARE(name, type == QStringLiteral("Subscriber") ? QStringLiteral("Alice Admin") : QStringLiteral("After Hours"));
    else
        QCOMPARE(name, displayName);
    if (extension.trimmed().isEmpty())
        QCOMPARE(server.ctx().db().queryCount(), queriesBefore);
    QCOMPARE(seams.messages->texts(), QStringList{});
}

void TestValidators::duplicateExtensionWithoutDatabase_data()
{
    test::TestServer::addFaultRows();
}

void TestValidators::duplicateExtensionWithoutDatabase()
{
    QFETCH(test::TestServer::Fault, fault);
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    AppContext &ctx = server.ctx();
    QVERIFY(server.breakMainDatabase(fault, QStringLiteral("vw_DTMFAccessID_DialingDomain")));

    QString type = kKeep;
    QString name = kKeep;
    // An extension that is in use: a failed check must not report it as free.
    const std::optional<qint16> found = IsDuplicateExtension(ctx, QStringLiteral("4000"), type, name);
    QVERIFY(!found.has_value());
    QCOMPARE(type, kKeep);
    QCOMPARE(name, kKeep);
    QCOMPARE(seams.messages->shown.size(), 1);
    QVERIFY2(kDuplicateError.match(seams.messages->shown[0].text).hasMatch(), qPrintable(seams.messages->shown[0].text));
}

void TestValidators::uniqueStream_data()
{
    QTest::addColumn<bool>("newLayout");
    QTest::addColumn<QString>("source"); // "<outside>" a file outside the stream folder
    QTest::addColumn<QString>("firstPart");
    QTest::addColumn<QString>("secondPart");
    QTest::addColumn<QString>("prefix");

    QTest::newRow("name in the stream folder") << true << "openinggreetingch_Standard.wav" << "Standard"
                                               << "newch" << "newch_Standard_GREETING_";
    QTest::newRow("older registry layout") << false << "callhandlertemplate_Standard.wav" << "OffHours"
                                           << "copych" << "copych_OffHours_GREETING_";
    QTest::newRow("full path elsewhere") << true << "<outside>" << "Alternate" << "other" << "other_Alternate_GREETING_";
    QTest::newRow("separators in the parts stay in the folder")
        << true << "openinggreetingch_Standard.wav" << "a/b" << "..\\up" << ".._up_a_b_GREETING_";
}

void TestValidators::uniqueStream()
{
    QFETCH(bool, newLayout);
    QFETCH(QString, source);
    QFETCH(QString, firstPart);
    QFETCH(QString, secondPart);
    QFETCH(QString, prefix);

    test::FakeSeams seams;
    embedded::SampleOptions options;
    options.newRegistryLayout = newLayout;
    if (!newLayout) {
        options.minor = 0;
        options.release = 5;
        options.build = 1;
    }
    test::TestServer server(options);
    QVERIFY2(server.ok(), qPrintable(server.error()));
    AppContext &ctx = server.ctx();
    ctx.state().gVersion = getVersion(ctx);

    const QString streamFolder = server.server().streamFolder;
    QString sourcePath = streamFolder + source;
    if (source == QLatin1String("<outside>")) {
        sourcePath = server.folder() + QStringLiteral("/elsewhere/recording.wav");
        QVERIFY(QDir().mkpath(QFileInfo(sourcePath).path()));
        QFile f(sourcePath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("RIFF-outside");
        f.close();
        source = sourcePath;
    }
    const QStringList before = QDir(streamFolder).entryList(QDir::Files | QDir::Hidden);

    const QString name = strGenerateUniqueStream(ctx, source, firstPart, secondPart);
    QVERIFY2(name.startsWith(prefix), qPrintable(name));
    const QRegularExpression guidWav(QStringLiteral("_GREETING_\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}\\.wav$"));
    QVERIFY2(guidWav.match(name).hasMatch(), qPrintable(name));
    QVERIFY(!name.contains(u'/') && !name.contains(u'\\'));
    QCOMPARE(fileBytes(streamFolder + name), fileBytes(sourcePath));
    QCOMPARE(QDir(streamFolder).entryList(QDir::Files | QDir::Hidden).size(), before.size() + 1);
    // A second copy gets a name of its own.
    QVERIFY(strGenerateUniqueStream(ctx, source, firstPart, secondPart) != name);
    QCOMPARE(seams.messages->texts(), QStringList{});
}

void TestValidators::uniqueStreamFailures_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("streamFolderSetting"); // "<keep>" leaves the sample's
    QTest::addColumn<int>("messages");

    QTest::newRow("empty source") << "" << "<keep>" << 0;
    QTest::newRow("one character") << "a" << "<keep>" << 0;
    QTest::newRow("missing file") << "missing_file.wav" << "<keep>" << 0;
    QTest::newRow("missing full path") << "/no/such/folder/x.wav" << "<keep>" << 0;
    QTest::newRow("stream folder unknown") << "openinggreetingch_Standard.wav" << "" << 0;
    // The source exists, the copy cannot be written: reported, and no name handed out.
    QTest::newRow("copy fails") << "<sample>" << "<missing folder>" << 1;
}

void TestValidators::uniqueStreamFailures()
{
    QFETCH(QString, source);
    QFETCH(QString, streamFolderSetting);
    QFETCH(int, messages);

    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    AppContext &ctx = server.ctx();
    ctx.state().gVersion = getVersion(ctx);
    if (source == QLatin1String("<sample>"))
        source = server.server().streamFolder + QStringLiteral("openinggreetingch_Standard.wav");
    if (streamFolderSetting != QLatin1String("<keep>")) {
        const QString folder = streamFolderSetting == QLatin1String("<missing folder>")
                                   ? server.folder() + QStringLiteral("/no such folder/")
                                   : streamFolderSetting;
        platform::DbError err;
        QVERIFY2(ctx.db().execute(directoryConnectionString(),
                                  QStringLiteral("UPDATE Configuration SET ValueString = ? WHERE FullName = ?"),
                                  {folder, QStringLiteral("System.SystemSetup.DirectoryDatabase.StreamFileLocation")},
                                  &err),
                 qPrintable(err.description));
    }
    const QStringList before = QDir(server.server().streamFolder).entryList(QDir::Files | QDir::Hidden);

    QCOMPARE(strGenerateUniqueStream(ctx, source, QStringLiteral("Standard"), QStringLiteral("newch")), QString());
    QCOMPARE(QDir(server.server().streamFolder).entryList(QDir::Files | QDir::Hidden), before);
    QCOMPARE(seams.messages->shown.size(), messages);
    if (messages)
        QVERIFY2(seams.messages->shown[0].text.startsWith(QStringLiteral("Error in strGenerateUniqueStream on Moduel1:")),
                 qPrintable(seams.messages->shown[0].text));
}

QTEST_GUILESS_MAIN(TestValidators)
#include "tst_validators.moc"
