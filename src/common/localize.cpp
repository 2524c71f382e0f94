#include "common/localize.h"

#include "platform/apppaths.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLocale>
#include <QWidget>

#include <algorithm>
#include <array>

namespace quillor::modLocalize {

namespace {

struct CodeEntry {
    qint32 lcid;
    const char *code;
};

// LCID -> code. LCID 0 (no language chosen) counts as English.
constexpr std::array<CodeEntry, 40> kCodeOfLcid{{
    {0, "ENU"},     {1033, "ENU"},  {1031, "DEU"},  {1034, "ESP"},  {1036, "FRA"},  {1040, "ITA"},
    {1041, "JPN"},  {1043, "NLD"},  {1044, "NOR"},  {1046, "PTB"},  {2055, "DES"},  {2057, "ENG"},
    {2058, "ESM"},  {2060, "FRB"},  {2064, "ITS"},  {2067, "NLB"},  {2068, "NON"},  {2070, "PTG"},
    {3079, "DEA"},  {3081, "ENA"},  {3082, "ESN"},  {3084, "FRC"},  {4103, "DEL"},  {4105, "ENC"},
    {4106, "ESG"},  {4108, "FRS"},  {5127, "DEC"},  {5129, "ENZ"},  {5130, "ESC"},  {5132, "FRL"},
    {6153, "ENI"},  {6154, "ESA"},  {7178, "ESD"},  {8202, "ESV"},  {9226, "ESO"},  {10250, "ESR"},
    {11274, "ESS"}, {18442, "ESH"}, {19466, "ESI"}, {20490, "ESU"},
}};

// Codes the server knows besides those above; they have no way back to a code.
constexpr std::array<CodeEntry, 12> kCodeOnly{{
    {1025, "ARA"}, {33801, "ENX"}, {1028, "CHT"}, {3076, "ZHT"}, {2052, "CHS"}, {4100, "ZHI"},
    {1029, "CSY"}, {1030, "DAN"},  {1038, "HUN"}, {1042, "KOR"}, {1053, "SVE"}, {3076, "ZHH"},
}};

struct NameEntry {
    qint32 lcid;
    const char *name;
};

// The program's own names of the languages it can meet, one text per LCID so
// that choice lists can be matched by their text.
constexpr std::array<NameEntry, 51> kNames{{
    {0, "Language Neutral"},
    {1025, "Arabic (Saudi Arabia)"},
    {1028, "Chinese (Taiwan)"},
    {1029, "Czech"},
    {1030, "Danish"},
    {1031, "German (Germany)"},
    {1033, "English (United States)"},
    {1034, "Spanish (Traditional Sort)"},
    {1036, "French (France)"},
    {1038, "Hungarian"},
    {1040, "Italian (Italy)"},
    {1041, "Japanese"},
    {1042, "Korean"},
    {1043, "Dutch (Netherlands)"},
    {1044, "Norwegian (Bokm\xc3\xa5l)"},
    {1046, "Portuguese (Brazil)"},
    {1053, "Swedish"},
    {2052, "Chinese (PRC)"},
    {2055, "German (Switzerland)"},
    {2057, "English (United Kingdom)"},
    {2058, "Spanish (Mexico)"},
    {2060, "French (Belgium)"},
    {2064, "Italian (Switzerland)"},
    {2067, "Dutch (Belgium)"},
    {2068, "Norwegian (Nynorsk)"},
    {2070, "Portuguese (Portugal)"},
    {3076, "Chinese (Hong Kong SAR)"},
    {3079, "German (Austria)"},
    {3081, "English (Australia)"},
    {3082, "Spanish (Modern Sort)"},
    {3084, "French (Canada)"},
    {4100, "Chinese (Singapore)"},
    {4103, "German (Luxembourg)"},
    {4105, "English (Canada)"},
    {4106, "Spanish (Guatemala)"},
    {4108, "French (Switzerland)"},
    {5127, "German (Liechtenstein)"},
    {5129, "English (New Zealand)"},
    {5130, "Spanish (Costa Rica)"},
    {5132, "French (Luxembourg)"},
    {6153, "English (Ireland)"},
    {6154, "Spanish (Panama)"},
    {7178, "Spanish (Dominican Republic)"},
    {8202, "Spanish (Venezuela)"},
    {9226, "Spanish (Colombia)"},
    {10250, "Spanish (Peru)"},
    {11274, "Spanish (Argentina)"},
    {18442, "Spanish (Honduras)"},
    {19466, "Spanish (Nicaragua)"},
    {20490, "Spanish (Puerto Rico)"},
    {33801, "English (Extended)"},
}};

struct LocaleEntry {
    QLocale::Language language;
    QLocale::Territory territory;
    qint32 lcid;
};

// The locale of the user as an LCID. The first entry of a language also
// stands for its territories not listed.
const std::array<LocaleEntry, 49> kLocales{{
    {QLocale::English, QLocale::UnitedStates, 1033},
    {QLocale::English, QLocale::UnitedKingdom, 2057},
    {QLocale::English, QLocale::Australia, 3081},
    {QLocale::English, QLocale::Canada, 4105},
    {QLocale::English, QLocale::NewZealand, 5129},
    {QLocale::English, QLocale::Ireland, 6153},
    {QLocale::German, QLocale::Germany, 1031},
    {QLocale::German, QLocale::Switzerland, 2055},
    {QLocale::German, QLocale::Austria, 3079},
    {QLocale::German, QLocale::Luxembourg, 4103},
    {QLocale::German, QLocale::Liechtenstein, 5127},
    // Spain's default sort is the modern one.
    {QLocale::Spanish, QLocale::Spain, 3082},
    {QLocale::Spanish, QLocale::Mexico, 2058},
    {QLocale::Spanish, QLocale::Guatemala, 4106},
    {QLocale::Spanish, QLocale::CostaRica, 5130},
    {QLocale::Spanish, QLocale::Panama, 6154},
    {QLocale::Spanish, QLocale::DominicanRepublic, 7178},
    {QLocale::Spanish, QLocale::Venezuela, 8202},
    {QLocale::Spanish, QLocale::Colombia, 9226},
    {QLocale::Spanish, QLocale::Peru, 10250},
    {QLocale::Spanish, QLocale::Argentina, 11274},
    {QLocale::Spanish, QLocale::Honduras, 18442},
    {QLocale::Spanish, QLocale::Nicaragua, 19466},
    {QLocale::Spanish, QLocale::PuertoRico, 20490},
    {QLocale::French, QLocale::France, 1036},
    {QLocale::French, QLocale::Belgium, 2060},
    {QLocale::French, QLocale::Canada, 3084},
    {QLocale::French, QLocale::Switzerland, 4108},
    {QLocale::French, QLocale::Luxembourg, 5132},
    {QLocale::Italian, QLocale::Italy, 1040},
    {QLocale::Italian, QLocale::Switzerland, 2064},
    {QLocale::Dutch, QLocale::Netherlands, 1043},
    {QLocale::Dutch, QLocale::Belgium, 2067},
    {QLocale::NorwegianBokmal, QLocale::Norway, 1044},
    {QLocale::NorwegianNynorsk, QLocale::Norway, 2068},
    {QLocale::Portuguese, QLocale::Brazil, 1046},
    {QLocale::Portuguese, QLocale::Portugal, 2070},
    {QLocale::Japanese, QLocale::Japan, 1041},
    {QLocale::Korean, QLocale::SouthKorea, 1042},
    {QLocale::Chinese, QLocale::China, 2052},
    {QLocale::Chinese, QLocale::Taiwan, 1028},
    {QLocale::Chinese, QLocale::HongKong, 3076},
    {QLocale::Chinese, QLocale::Singapore, 4100},
    {QLocale::Arabic, QLocale::SaudiArabia, 1025},
    {QLocale::Czech, QLocale::Czechia, 1029},
    {QLocale::Danish, QLocale::Denmark, 1030},
    {QLocale::Hungarian, QLocale::Hungary, 1038},
    {QLocale::Swedish, QLocale::Sweden, 1053},
    {QLocale::Swedish, QLocale::Finland, 1053},
}};

constexpr qint32 kEnglishUs = 1033;
constexpr int kDefaultCharset = 1;

// What a control had before a language font replaced it.
const char *const kOriginalFontProperty = "languageOriginalFont";
const char *const kCharsetProperty = "languageCharset";

// The fixed part of every language file name: "<program>_".
QString filePrefix() { return platform::AppPaths::executableName() + u'_'; }

// A language file: "<program>_" + three characters + ".dll", without regard to case.
bool isLanguageFileName(const QString &name)
{
    const QString prefix = filePrefix();
    return name.size() == prefix.size() + 3 + 4 && name.startsWith(prefix, Qt::CaseInsensitive)
        && name.endsWith(QStringLiteral(".dll"), Qt::CaseInsensitive);
}

// The program folder's files, in name order without regard to case.
QStringList programFolderFiles()
{
    QDir dir(platform::AppPaths::programFolder());
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

QApplication *widgetApplication() { return qobject_cast<QApplication *>(QCoreApplication::instance()); }

} // namespace

LocalizeState &localizeState()
{
    static LocalizeState s;
    return s;
}

FontSpec fontSpecForLanguage(qint32 lcid)
{
    switch (lcid) {
    case 1042:
        return {129, QString::fromUtf16(u"\uAD74\uB9BC")};
    case 1028:
        return {136, QString::fromUtf16(u"\u65B0\u7D30\u660E\u9AD4")};
    case 1041:
        return {128, QString::fromUtf16(u"\uFF2D\uFF33\u0020\uFF30\u30B4\u30B7\u30C3\u30AF")};
    case 2052:
        return {134, QString::fromUtf16(u"\u5B8B\u4F53")};
    default:
        return {kDefaultCharset, QString()};
    }
}

qint32 lcidFromLocale(const QLocale &locale)
{
    const LocaleEntry *firstOfLanguage = nullptr;
    for (const LocaleEntry &e : kLocales) {
        if (e.language != locale.language())
            continue;
        if (e.territory == locale.territory())
            return e.lcid;
        if (!firstOfLanguage)
            firstOfLanguage = &e;
    }
    return firstOfLanguage ? firstOfLanguage->lcid : kEnglishUs;
}

qint32 GetUserDefaultLangID() { return lcidFromLocale(QLocale()); }

QString languageFilePath(const QString &code)
{
    if (code.isEmpty())
        return {};
    const QString wanted = filePrefix() + code + QStringLiteral(".dll");
    for (const QString &name : programFolderFiles()) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return QDir(platform::AppPaths::programFolder()).filePath(name);
    }
    return {};
}

void InitalizeLanguages()
{
    LocalizeState &s = localizeState();
    if (s.gLanguageLCID == 0)
        s.gLanguageLCID = GetUserDefaultLangID();

    // Nothing is read from the file: taking it only marks the language as present.
    s.gLanguageLibrary.clear();
    s.gLanguageLibrary = languageFilePath(strLanguageCodeFromLCID(s.gLanguageLCID));

    s.gLanguageCodes.clear();
    for (const QString &name : programFolderFiles()) {
        if (isLanguageFileName(name))
            s.gLanguageCodes.append(name.mid(name.size() - 7, 3));
    }
    if (s.gLanguageCodes.isEmpty())
        s.gLanguageCodes.append(QString());

    if (widgetApplication()) {
        for (QWidget *form : QApplication::topLevelWidgets())
            ApplyLanguageFontToControls(form);
    }
}

void ApplyLanguageFontToControls(QWidget *form)
{
    if (!form)
        return;
    SetFontForLanguage(form);
    for (QWidget *control : form->findChildren<QWidget *>())
        SetFontForLanguage(control);
}

void SetFontForLanguage(QWidget *control)
{
    if (!control)
        return;
    const FontSpec wanted = fontSpecForLanguage(localizeState().gLanguageLCID);
    control->setProperty(kCharsetProperty, wanted.charset);

    if (wanted.family.isEmpty()) {
        // Back to a language without a font of its own: the control's own font again.
        const QVariant original = control->property(kOriginalFontProperty);
        if (original.isValid()) {
            control->setFont(original.value<QFont>());
            control->setProperty(kOriginalFontProperty, QVariant());
        }
        return;
    }
    if (!control->property(kOriginalFontProperty).isValid()) {
        // An inherited font is kept as an empty one, so that it is inherited again later.
        control->setProperty(kOriginalFontProperty,
                             control->testAttribute(Qt::WA_SetFont) ? control->font() : QFont());
    }
    QFont font = control->font();
    // The name is asked for first; the fall-backs cover machines without it.
    QStringList families{wanted.family};
    switch (wanted.charset) {
    case 129:
        families << QStringLiteral("Noto Sans CJK KR");
        break;
    case 136:
        families << QStringLiteral("Noto Sans CJK TC");
        break;
    case 128:
        families << QStringLiteral("Noto Sans CJK JP");
        break;
    case 134:
        families << QStringLiteral("Noto Sans CJK SC");
        break;
    default:
        break;
    }
    font.setFamilies(families);
    control->setFont(font);
}

QString strLanguageCodeFromLCID(qint32 lcid)
{
    for (const CodeEntry &e : kCodeOfLcid) {
        if (e.lcid == lcid)
            return QString::fromLatin1(e.code);
    }
    return QStringLiteral("ERROR");
}

qint32 lngLCIDFromLanguageCode(const QString &code)
{
    const QString upper = code.toUpper();
    for (const CodeEntry &e : kCodeOfLcid) {
        if (e.lcid != 0 && upper == QLatin1String(e.code))
            return e.lcid;
    }
    for (const CodeEntry &e : kCodeOnly) {
        if (upper == QLatin1String(e.code))
            return e.lcid;
    }
    return kEnglishUs;
}

QString strLanguageNameFromLCID(qint32 lcid)
{
    for (const NameEntry &e : kNames) {
        if (e.lcid == lcid)
            return QString::fromUtf8(e.name);
    }
    return QStringLiteral("(error)");
}

QString strLanguageDisplayName(const QString &code) { return strLanguageNameFromLCID(lngLCIDFromLanguageCode(code)); }

} // namespace quillor::modLocalize
