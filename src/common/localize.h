#pragma once
// The program's interface languages and the language tables the detail tabs
// use to label the server's telephone languages.
//
// A language is present when a file named "<program>_<code>.dll" lies in the
// program folder. Choosing one changes the font of every control of every open
// window to the one that language needs (Korean, Japanese, the two Chinese
// scripts); no text is taken from the file.

#include <QList>
#include <QString>
#include <QStringList>

class QLocale;
class QWidget;

namespace quillor {

namespace modLocalize {

// The selection and what InitalizeLanguages found.
struct LocalizeState {
    qint32 gLanguageLCID = 0;    // 0 until the first InitalizeLanguages
    QString gLanguageLibrary;    // the language file taken, "" when none
    QStringList gLanguageCodes;  // one empty entry when no file was found
};
LocalizeState &localizeState();

// The character set and font a language needs. Character sets are kept as the
// numbers the server's tools use (1 = default); Qt fonts have no such field,
// so the number is recorded on each control (property "languageCharset").
struct FontSpec {
    int charset = 1;
    QString family; // "" leaves the control's own font
    bool operator==(const FontSpec &) const = default;
};
FontSpec fontSpecForLanguage(qint32 lcid);

// The user's default language as an LCID, from the program's default locale
// (QLocale()); 1033 when it has none of the known ones.
qint32 GetUserDefaultLangID();
qint32 lcidFromLocale(const QLocale &locale);

// The file of a language in the program folder ("<program>_<code>.dll",
// found without regard to case); "" when there is none.
QString languageFilePath(const QString &code);

// Takes the selected language's file, lists the language files of the
// program folder and gives every open window the language's font.
void InitalizeLanguages();
// SetFontForLanguage on `form` and every control on it.
void ApplyLanguageFontToControls(QWidget *form);
// The selected language's font on one control. Leaving a language that
// needed its own font gives the control back the font it had before.
void SetFontForLanguage(QWidget *control);

// Three-letter code of an LCID, "ERROR" for any other.
QString strLanguageCodeFromLCID(qint32 lcid);
// LCID of a three-letter code (compared in upper case), 1033 for any other.
qint32 lngLCIDFromLanguageCode(const QString &code);
// The name of a language, "(error)" when the program does not know it.
QString strLanguageNameFromLCID(qint32 lcid);
// strLanguageNameFromLCID(lngLCIDFromLanguageCode(code)).
QString strLanguageDisplayName(const QString &code);

} // namespace modLocalize

using modLocalize::lngLCIDFromLanguageCode;
using modLocalize::strLanguageCodeFromLCID;
using modLocalize::strLanguageDisplayName;
using modLocalize::strLanguageNameFromLCID;

} // namespace quillor
