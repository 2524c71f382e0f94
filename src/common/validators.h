#pragma once
// The checks every edit handler runs before it writes (dial strings, numbers,
// display names, extensions, extensions already in use) and the small
// converters several screens share.
//
// The checks accept exactly what the messages their callers show promise:
// digits are the ASCII digits 0-9 and nothing else, so a text such as "1e3",
// "+12", " 12" or "0x1F" never reaches the server as a number or a dial string.

#include "platform/database.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace quillor {

class AppContext;

// The text without its leading and trailing blanks (U+0020 only; tabs stay),
// as the server's scripting tools trim.
QString trimBlanks(const QString &text);

// Transfer and dial strings: empty, or digits with any ",", "*" and "#" (and,
// when `xAllowed`, "X" and "x") among them; at least one digit.
bool myIsDialableString(const QString &text, bool xAllowed);

// Empty, or only the digits 0-9 (leading zeros allowed). Unless both bounds
// are 0 the value must also lie between them, both included.
bool MyIsNumber(const QString &text, qint32 minimum = 0, qint32 maximum = 0);

// Display names: not empty; only the letters A-Z (either case), digits,
// blanks, "-" and ",".
bool myIsValidNameField(const QString &text);

// Extensions. Shows one message box for a refusal and answers False; the
// empty text (after blanks are trimmed) passes when `minimumLength` is 0.
// Blanks around the digits are accepted; the caller decides what it stores.
bool isValidExtension(const QString &text, qint16 minimumLength);

// Who uses `extension` in the dialing domain: the number of rows of
// vw_DTMFAccessID_DialingDomain with that extension; when there is one or
// more, `typeWord` and `displayName` take the first row's owner's type word
// and display name. Blanks around the extension are ignored. An empty
// extension gives 0 without a query and leaves both alone. nullopt when the check could not be made (the error has been
// shown): the extension must then be treated as not known to be free.
std::optional<qint16> IsDuplicateExtension(AppContext &ctx, const QString &extension, QString &typeWord,
                                           QString &displayName);

// The rows of vw_DTMFAccessID_DialingDomain for one extension, matched as typed.
platform::Recordset openDialingDomainExtension(AppContext &ctx, const QString &extension,
                                               platform::DbError *error);

// The display word of an object type code: "Subscriber", "Distribution List",
// "Call Handler", "Inteview Handler", "Directory Handler", "Location Object",
// else "Unknown".
QString strObjectTypeName(qint16 objectType);
// The same for a code read from the database: Null, text or a number outside
// the 16-bit range give "Unknown".
QString strObjectTypeName(const QVariant &objectType);

// The text without any blank (U+0020); other white space stays.
QString strRemoveSpaces(const QString &text);

// The object's page in the server's web administration on `server`; "" for
// object types that have no page.
QString strGenerateURL(qint16 objectType, const QString &objectId, const QVariant &server);

// The URL form of a GUID: "{" -> "%7B", "}" -> "%7D", "-" -> "%2D".
QString strURLEncodeGUID(const QString &guid);

// The greeting name of an index 0-5 ("Standard", "OffHours", "Busy",
// "Alternate", "Internal", "Error"), compared as a number so that the text "3"
// works too; "(invalid)" for anything else, Null included.
QString strGreetingTypeName(const QVariant &greetingIndex);

// Copies a greeting recording for a new object into the stream folder as
// "<second>_<first>_GREETING_<new GUID>.wav" and answers the new file's name
// (without folder). A source without a folder is a file of the stream folder.
// "" when the source is shorter than 2 characters, cannot be found, the stream
// folder is unknown or the copy fails (the failure is shown).
QString strGenerateUniqueStream(AppContext &ctx, const QString &sourceFile, const QString &firstPart,
                                const QString &secondPart);

// The same copy without a message: `fileName` (without folder) and `path` of
// the new file when it was made; both "" when there was nothing to copy (as
// above) or the copy failed, which `failure` then says. A recording left
// uncopied because the stream folder is unknown is not nothing to copy:
// `folderUnknown` then says why the folder is unknown.
struct StreamCopy {
    QString fileName;
    QString path;
    QString failure;
    QString folderUnknown;
};
StreamCopy copyGreetingStream(AppContext &ctx, const QString &sourceFile, const QString &firstPart,
                              const QString &secondPart);

} // namespace quillor
