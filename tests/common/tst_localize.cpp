// The language tables, the language files of the program folder, the language
// fonts on open windows, and the About box driven as the user would.
#include "common/frmabout.h"
#include "common/localize.h"
#include "fakes.h"
#include "platform/apppaths.h"
#include "programfolder.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillor;
using modLocalize::localizeState;

namespace {

using test::ProgramFolder;

QString exe() { return platform::AppPaths::executableName(); }

const QString kJapaneseFont = QString::fromUtf16(u"\uFF2D\uFF33\u0020\uFF30\u30B4\u30B7\u30C3\u30AF");

} // namespace

class TestLocalize : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        localizeState() = {};
        QLocale::setDefault(QLocale::c());
    }
    void codeFromLcid_data();
    void codeFromLcid();
    void lcidFromCode_data();
    void lcidFromCode();
    void displayNames_data();
    void displayNames();
    void fonts_data();
    void fonts();
    void userDefaultLanguage_data();
    void userDefaultLanguage();
    void listsLanguageFiles_data();
    void listsLanguageFiles();
    void loadsTheDefaultLanguageFile();
    void aboutShowsVersionAndControls();
    void aboutMenu_data();
    void aboutMenu();
    void aboutSecondLoadDoesNotKeepOldEntries();
    void switchingLanguageChangesEveryOpenWindow();
    void okHidesTheBox();
};

void TestLocalize::codeFromLcid_data()
{
    QTest::addColumn<int>("lcid");
    QTest::addColumn<QString>("code");
    const QList<QPair<int, const char *>> rows{
        {0, "ENU"},     {1033, "ENU"},  {1031, "DEU"},  {1034, "ESP"},  {1036, "FRA"},  {1040, "ITA"},
        {1041, "JPN"},  {1043, "NLD"},  {1044, "NOR"},  {1046, "PTB"},  {2055, "DES"},  {2057, "ENG"},
        {2058, "ESM"},  {2060, "FRB"},  {2064, "ITS"},  {2067, "NLB"},  {2068, "NON"},  {2070, "PTG"},
        {3079, "DEA"},  {3081, "ENA"},  {3082, "ESN"},  {3084, "FRC"},  {4103, "DEL"},  {4105, "ENC"},
        {4106, "ESG"},  {4108, "FRS"},  {5127, "DEC"},  {5129, "ENZ"},  {5130, "ESC"},  {5132, "FRL"},
        {6153, "ENI"},  {6154, "ESA"},  {7178, "ESD"},  {8202, "ESV"},  {9226, "ESO"},  {10250, "ESR"},
        {11274, "ESS"}, {18442, "ESH"}, {19466, "ESI"}, {20490, "ESU"},
    };
    QCOMPARE(rows.size(), 40);
    for (const auto &[lcid, code] : rows)
        QTest::addRow("%d", lcid) << lcid << QString::fromLatin1(code);
    // Languages with a code but no way back.
    for (int lcid : {1025, 1028, 1029, 1030, 1038, 1042, 1053, 2052, 3076, 4100, 33801, 9999, -1, 65536 + 1033})
        QTest::addRow("one-way or unknown %d", lcid) << lcid << "ERROR";
}

void TestLocalize::codeFromLcid()
{
    QFETCH(int, lcid);
    QFETCH(QString, code);
    QCOMPARE(strLanguageCodeFromLCID(lcid), code);
}

void TestLocalize::lcidFromCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("lcid");
    const QList<QPair<const char *, int>> rows{
        {"ENU", 1033},   {"DEU", 1031},   {"ESP", 1034},   {"FRA", 1036},   {"ITA", 1040},  {"JPN", 1041},
        {"NLD", 1043},   {"NOR", 1044},   {"PTB", 1046},   {"DES", 2055},   {"ENG", 2057},  {"ESM", 2058},
        {"FRB", 2060},   {"ITS", 2064},   {"NLB", 2067},   {"NON", 2068},   {"PTG", 2070},  {"DEA", 3079},
        {"ENA", 3081},   {"ESN", 3082},   {"FRC", 3084},   {"DEL", 4103},   {"ENC", 4105},  {"ESG", 4106},
        {"FRS", 4108},   {"DEC", 5127},   {"ENZ", 5129},   {"ESC", 5130},   {"FRL", 5132},  {"ENI", 6153},
        {"ESA", 6154},   {"ESD", 7178},   {"ESV", 8202},   {"ESO", 9226},   {"ESR", 10250}, {"ESS", 11274},
        {"ESH", 18442},  {"ESI", 19466},  {"ESU", 20490},  {"ARA", 1025},   {"ENX", 33801}, {"CHT", 1028},
        {"ZHT", 3076},   {"CHS", 2052},   {"ZHI", 4100},   {"CSY", 1029},   {"DAN", 1030},  {"HUN", 1038},
        {"KOR", 1042},   {"SVE", 1053},   {"ZHH", 3076},
    };
    QCOMPARE(rows.size(), 51);
    for (const auto &[code, lcid] : rows)
        QTest::newRow(code) << QString::fromLatin1(code) << lcid;
    QTest::newRow("lower case ara") << "ara" << 1025;
    QTest::newRow("mixed case kOr") << "kOr" << 1042;
    QTest::newRow("unknown") << "XYZ" << 1033;
    QTest::newRow("empty") << "" << 1033;
    QTest::newRow("ERROR") << "ERROR" << 1033;
    QTest::newRow("padded") << " DEU" << 1033;
}

void TestLocalize::lcidFromCode()
{
    QFETCH(QString, code);
    QFETCH(int, lcid);
    QCOMPARE(lngLCIDFromLanguageCode(code), lcid);
}

void TestLocalize::displayNames_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("ENU") << "ENU" << "English (United States)";
    QTest::newRow("DEU") << "DEU" << "German (Germany)";
    QTest::newRow("DES") << "DES" << "German (Switzerland)";
    QTest::newRow("ESP") << "ESP" << "Spanish (Traditional Sort)";
    QTest::newRow("ESN") << "ESN" << "Spanish (Modern Sort)";
    QTest::newRow("KOR") << "KOR" << "Korean";
    QTest::newRow("CHS") << "CHS" << "Chinese (PRC)";
    QTest::newRow("ZHT and ZHH alike") << "ZHH" << "Chinese (Hong Kong SAR)";
    QTest::newRow("lower case") << "fra" << "French (France)";
    QTest::newRow("unknown code is English") << "QQQ" << "English (United States)";
}

void TestLocalize::displayNames()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QCOMPARE(strLanguageDisplayName(code), name);
}

void TestLocalize::fonts_data()
{
    QTest::addColumn<int>("lcid");
    QTest::addColumn<int>("charset");
    QTest::addColumn<QString>("family");
    QTest::newRow("Korean") << 1042 << 129 << QString::fromUtf16(u"\uAD74\uB9BC");
    QTest::newRow("Chinese traditional") << 1028 << 136 << QString::fromUtf16(u"\u65B0\u7D30\u660E\u9AD4");
    QTest::newRow("Japanese") << 1041 << 128 << kJapaneseFont;
    QTest::newRow("Chinese simplified") << 2052 << 134 << QString::fromUtf16(u"\u5B8B\u4F53");
    QTest::newRow("German") << 1031 << 1 << "";
    QTest::newRow("Hong Kong has no own font") << 3076 << 1 << "";
    QTest::newRow("none") << 0 << 1 << "";
}

void TestLocalize::fonts()
{
    QFETCH(int, lcid);
    QFETCH(int, charset);
    QFETCH(QString, family);
    QCOMPARE(modLocalize::fontSpecForLanguage(lcid), (modLocalize::FontSpec{charset, family}));
}

void TestLocalize::userDefaultLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("lcid");
    QTest::newRow("C") << "C" << 1033;
    QTest::newRow("de_DE") << "de_DE" << 1031;
    QTest::newRow("de_CH") << "de_CH" << 2055;
    QTest::newRow("de_BE falls back to German") << "de_BE" << 1031;
    QTest::newRow("es_ES modern sort") << "es_ES" << 3082;
    QTest::newRow("ja_JP") << "ja_JP" << 1041;
    QTest::newRow("zh_TW") << "zh_TW" << 1028;
    QTest::newRow("zh_CN") << "zh_CN" << 2052;
    QTest::newRow("nb_NO") << "nb_NO" << 1044;
    QTest::newRow("pl_PL unknown") << "pl_PL" << 1033;
}

void TestLocalize::userDefaultLanguage()
{
    QFETCH(QString, locale);
    QFETCH(int, lcid);
    QLocale::setDefault(QLocale(locale));
    QCOMPARE(modLocalize::GetUserDefaultLangID(), lcid);
}

void TestLocalize::listsLanguageFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("codes");
    const QString e = exe();
    QTest::newRow("none") << QStringList{} << QStringList{""};
    QTest::newRow("case and order")
        << QStringList{e + "_FRA.dll", e.toLower() + "_deu.DLL", e + "_ENU.dll"} << QStringList{"deu", "ENU", "FRA"};
    QTest::newRow("only language files")
        << QStringList{e + "_DEU.dll", e + "_Log.txt", "Other_ENU.dll", e + "_x.dll", e + "_LONG.dll", e + "_ENUDLL",
                       e + ".dll"}
        << QStringList{"DEU"};
}

void TestLocalize::listsLanguageFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, codes);
    ProgramFolder folder(files);
    modLocalize::InitalizeLanguages();
    QCOMPARE(localizeState().gLanguageCodes, codes);
}

void TestLocalize::loadsTheDefaultLanguageFile()
{
    ProgramFolder folder({exe() + "_deu.dll", exe() + "_ENU.dll"});
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    QLabel form(QStringLiteral("x"));
    modLocalize::InitalizeLanguages();
    QCOMPARE(localizeState().gLanguageLCID, 1031);
    QCOMPARE(localizeState().gLanguageLibrary, folder.dir.filePath(exe() + "_deu.dll"));
    QCOMPARE(form.property("languageCharset").toInt(), 1);

    // A language without a file: nothing taken.
    localizeState().gLanguageLCID = 1036;
    modLocalize::InitalizeLanguages();
    QCOMPARE(localizeState().gLanguageLibrary, QString());
}

void TestLocalize::aboutShowsVersionAndControls()
{
    test::FakeSeams seams;
    ProgramFolder folder;
    QCoreApplication::setApplicationVersion(QStringLiteral("5.0.25"));
    frmAbout about;
    QCOMPARE(about.findChild<QLabel *>("lblVersion")->text(), QStringLiteral("5.0 Build25"));
    QCOMPARE(about.findChild<QLabel *>("lblVersionTitle")->text(), QStringLiteral("Version:"));
    QCOMPARE(about.findChild<QLabel *>("lblChangeLanguage")->text(), QStringLiteral("Change Language"));
    for (const char *name : {"picVarkoLogo", "picTolvaLogo", "lblVarkoAddress1", "lblVarkoAddress2", "lblVarkoAddress3",
                             "lblTrademark", "lblCopyright"})
        QVERIFY2(about.findChild<QLabel *>(name), name);
    QVERIFY(about.findChild<QPushButton *>("cmdOK"));
    auto *menu = about.findChild<QMenu *>("mnuSelectLanguage");
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("Select Language"));
    QVERIFY(about.isModal());
    QCOMPARE(frmAbout::versionText(4, 2, 0), QStringLiteral("4.2 Build0"));
    QCOMPARE(seams.messages->texts(), QStringList{});
    QCoreApplication::setApplicationVersion(QString());
}

void TestLocalize::aboutMenu_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("tags");
    const QString e = exe();
    QTest::newRow("two files") << QStringList{e + "_JPN.dll", e + "_DEU.dll"}
                               << QStringList{"German (Germany)", "Japanese"} << QStringList{"1031", "1041"};
    QTest::newRow("one file") << QStringList{e + "_DEU.dll"} << QStringList{"no languages loaded"}
                              << QStringList{"1033"};
    QTest::newRow("no file") << QStringList{} << QStringList{"no languages loaded"} << QStringList{"1033"};
    QTest::newRow("a code of no LCID")
        << QStringList{e + "_ENU.dll", e + "_XYZ.dll"} << QStringList{"English (United States)", "English (United States)"}
        << QStringList{"1033", "1033"};
}

void TestLocalize::aboutMenu()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, tags);
    ProgramFolder folder(files);
    frmAbout about;
    QStringList shownCaptions, shownTags;
    for (QAction *entry : about.findChild<QMenu *>("mnuSelectLanguage")->actions()) {
        QCOMPARE(entry->objectName(), QStringLiteral("mnuLanguageList"));
        shownCaptions << entry->text();
        shownTags << entry->data().toString();
    }
    QCOMPARE(shownCaptions, captions);
    QCOMPARE(shownTags, tags);
}

void TestLocalize::aboutSecondLoadDoesNotKeepOldEntries()
{
    ProgramFolder folder({exe() + "_DEU.dll", exe() + "_FRA.dll", exe() + "_ITA.dll"});
    frmAbout about;
    QCOMPARE(about.languageEntries().size(), 3);
    QFile::remove(folder.dir.filePath(exe() + "_ITA.dll"));
    QFile::remove(folder.dir.filePath(exe() + "_FRA.dll"));
    about.Form_Load();
    QCOMPARE(about.findChild<QMenu *>("mnuSelectLanguage")->actions().size(), 1);
    QCOMPARE(about.languageEntries().at(0)->text(), QStringLiteral("no languages loaded"));
}

void TestLocalize::switchingLanguageChangesEveryOpenWindow()
{
    ProgramFolder folder({exe() + "_ENU.dll", exe() + "_JPN.dll"});
    QWidget other;
    other.setObjectName(QStringLiteral("frmOther"));
    auto *edit = new QLineEdit(&other);
    auto *label = new QLabel(QStringLiteral("text"), &other);
    QFont own(QStringLiteral("Serif"));
    label->setFont(own);
    other.show();

    frmAbout about;
    about.show();
    QCOMPARE(about.languageEntries().size(), 2);
    QCOMPARE(about.languageEntries().at(1)->data().toString(), QStringLiteral("1041"));
    about.languageEntries().at(1)->trigger();

    QCOMPARE(localizeState().gLanguageLCID, 1041);
    QCOMPARE(localizeState().gLanguageLibrary, folder.dir.filePath(exe() + "_JPN.dll"));
    QList<QWidget *> controls{&other, edit, label, &about};
    controls += about.findChildren<QWidget *>();
    for (QWidget *w : controls) {
        QCOMPARE(w->property("languageCharset").toInt(), 128);
        QCOMPARE(w->font().families().value(0), kJapaneseFont);
    }

    // Back to English: each control has its own font again.
    about.languageEntries().at(0)->trigger();
    QCOMPARE(localizeState().gLanguageLCID, 1033);
    QCOMPARE(label->property("languageCharset").toInt(), 1);
    QCOMPARE(label->font().family(), own.family());
    QVERIFY(!edit->testAttribute(Qt::WA_SetFont));
    QCOMPARE(edit->font().families().value(0), other.font().families().value(0));
    QVERIFY(edit->font().families().value(0) != kJapaneseFont);
}

void TestLocalize::okHidesTheBox()
{
    ProgramFolder folder;
    frmAbout about;
    about.show();
    QTest::mouseClick(about.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QVERIFY(!about.isVisible());
    // Kept: the box can be shown again with its entries.
    QCOMPARE(about.languageEntries().size(), 1);
}

QTEST_MAIN(TestLocalize)
#include "tst_localize.moc"
