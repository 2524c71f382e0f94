#include "common/validators.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/module1.h"
#include "common/tolvaversion.h"
#include "platform/seams.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>

namespace quillor {

namespace {

bool isAsciiDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

bool allAsciiDigits(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), isAsciiDigit);
}

// The loose number test of the server's scripting tools: blanks around, an
// optional leading sign, digits with at most one decimal point and an optional
// exponent. It only decides which refusal message explains a text best.
std::optional<double> numericValue(const QString &text)
{
    const QString t = trimBlanks(text);
    qsizetype i = 0;
    const auto at = [&](qsizetype k) { return k < t.size() ? t[k] : QChar(); };
    if (at(i) == u'+' || at(i) == u'-')
        ++i;
    qsizetype digits = 0;
    while (isAsciiDigit(at(i))) {
        ++i;
        ++digits;
    }
    if (at(i) == u'.') {
        ++i;
        while (isAsciiDigit(at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (at(i) == u'e' || at(i) == u'E') {
        ++i;
        if (at(i) == u'+' || at(i) == u'-')
            ++i;
        if (!isAsciiDigit(at(i)))
            return std::nullopt;
        while (isAsciiDigit(at(i)))
            ++i;
    }
    if (i != t.size())
        return std::nullopt;
    bool ok = false;
    const double value = t.toDouble(&ok); // QString::toDouble is locale-independent
    if (!ok)
        return std::nullopt;
    return value;
}

const QString kModule = QStringLiteral("Module1");

} // namespace

QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}

bool myIsDialableString(const QString &text, bool xAllowed)
{
    if (text.isEmpty())
        return true;
    QString rest = text;
    rest.remove(u',').remove(u'*').remove(u'#');
    if (xAllowed)
        rest.remove(u'X').remove(u'x');
    // What is left is dialled digit by digit: blanks, signs, points and
    // exponents are no digits, whatever a number parser would make of them.
    return allAsciiDigits(rest);
}

bool MyIsNumber(const QString &text, qint32 minimum, qint32 maximum)
{
    if (text.isEmpty())
        return true;
    if (!allAsciiDigits(text))
        return false;
    if (minimum == 0 && maximum == 0)
        return true;
    // Any number of digits: a value too long for 64 bits lies above every bound.
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok)
        return false;
    return (minimum <= 0 || value >= qulonglong(minimum)) && maximum >= 0 && value <= qulonglong(maximum);
}

bool myIsValidNameField(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // ASCII upper-casing only: Unicode maps a few other letters onto A-Z.
        const char16_t upper = (u >= u'a' && u <= u'z') ? char16_t(u - u'a' + u'A') : u;
        const bool allowed = (upper >= u'A' && upper <= u'Z') || isAsciiDigit(c) || upper == u'-' || upper == u' '
                             || upper == u',';
        if (!allowed)
            return false;
    }
    return true;
}

bool isValidExtension(const QString &text, qint16 minimumLength)
{
    const QString trimmed = trimBlanks(text);
    if (trimmed.size() < minimumLength) {
        platform::msgBox(QStringLiteral("Extensions must be at least ") + QString::number(minimumLength)
                         + QStringLiteral(" digits in length"));
        return false;
    }
    if (trimmed.isEmpty() && minimumLength <= 0)
        return true;
    const std::optional<double> value = numericValue(text);
    if (!value) {
        platform::msgBox(QStringLiteral("Only numbers are allowed for the extension number"));
        return false;
    }
    if (*value < 0) {
        platform::msgBox(QStringLiteral("Extensions must be positive numbers only"));
        return false;
    }
    if (text.contains(u'.')) {
        platform::msgBox(QStringLiteral("Extension must be a whole number only"));
        return false;
    }
    // A sign or an exponent is numeric but no extension anyone can dial.
    if (!allAsciiDigits(trimmed)) {
        platform::msgBox(QStringLiteral("Only numbers are allowed for the extension number"));
        return false;
    }
    return true;
}

platform::Recordset openDialingDomainExtension(AppContext &ctx, const QString &extension, platform::DbError *error)
{
    return ctx.db().open(ctx.state().gConnectionString,
                         QStringLiteral("SELECT * FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID = ?"),
                         {extension}, error);
}

std::optional<qint16> IsDuplicateExtension(AppContext &ctx, const QString &extension, QString &typeWord,
                                           QString &displayName)
{
    // isValidExtension lets blanks around the digits through; " 5001 " is still 5001 on the phone.
    const QString digits = trimBlanks(extension);
    if (digits.isEmpty())
        return qint16(0);
    platform::DbError err;
    platform::Recordset rs = openDialingDomainExtension(ctx, digits, &err);
    if (!rs.isOpen()) {
        // Unknown is not free: the caller must not take the extension.
        reportError(err.number, err.description, QStringLiteral("IsDuplicateExtension"), QStringLiteral("Module"),
                    kModule);
        return std::nullopt;
    }
    const int count = rs.RecordCount();
    if (count > 0) {
        rs.MoveFirst();
        typeWord = strObjectTypeName(rs.field(QStringLiteral("ObjectType")));
        displayName = rs.text(QStringLiteral("DisplayName"));
    }
    return qint16(std::min(count, int(std::numeric_limits<qint16>::max())));
}

QString strObjectTypeName(qint16 objectType)
{
    switch (objectType) {
    case 1: return QStringLiteral("Subscriber");
    case 2: return QStringLiteral("Distribution List");
    case 3: return QStringLiteral("Call Handler");
    case 5: return QStringLiteral("Inteview Handler");
    case 6: return QStringLiteral("Directory Handler");
    case 9: return QStringLiteral("Location Object");
    default: return QStringLiteral("Unknown");
    }
}

QString strObjectTypeName(const QVariant &objectType)
{
    if (objectType.isNull() || !objectType.isValid())
        return strObjectTypeName(qint16(0));
    bool ok = false;
    const qlonglong code = objectType.toLongLong(&ok);
    if (!ok || code < std::numeric_limits<qint16>::min() || code > std::numeric_limits<qint16>::max())
        return strObjectTypeName(qint16(0));
    return strObjectTypeName(qint16(code));
}

QString strRemoveSpaces(const QString &text) { return QString(text).remove(u' '); }

QString strGenerateURL(qint16 objectType, const QString &objectId, const QVariant &server)
{
    const QString frame = QStringLiteral("http://") + server.toString() + QStringLiteral("/Web/SA/FrameASP/");
    const QString tail = QStringLiteral("&NavWidth=205");
    const auto framed = [&](const char *page, const char *kind) {
        return frame + QLatin1String(page) + QStringLiteral("?id=%01%07") + QLatin1String(kind)
               + QStringLiteral("%3A") + strURLEncodeGUID(objectId) + tail;
    };
    switch (objectType) {
    case 3: return framed("handFrame.asp", "03");
    case 2: return framed("DListFrame.asp", "02");
    case 5: return framed("IntHFrame.asp", "05");
    case 6: return framed("DirHFrame.asp", "06");
    case 1: return frame + QStringLiteral("SubsFrame.asp?DirID=") + objectId + tail;
    // No page: nothing for the desktop to open.
    default: return {};
    }
}

QString strURLEncodeGUID(const QString &guid)
{
    QString out = guid;
    out.replace(u'{', QStringLiteral("%7B")).replace(u'}', QStringLiteral("%7D")).replace(u'-', QStringLiteral("%2D"));
    return out;
}

QString strGreetingTypeName(const QVariant &greetingIndex)
{
    static const char *const names[] = {"Standard", "OffHours", "Busy", "Alternate", "Internal", "Error"};
    const QString invalid = QStringLiteral("(invalid)");
    if (greetingIndex.isNull() || !greetingIndex.isValid())
        return invalid;
    std::optional<double> value;
    if (greetingIndex.metaType().id() == QMetaType::QString) {
        value = numericValue(greetingIndex.toString());
    } else {
        bool ok = false;
        const double d = greetingIndex.toDouble(&ok);
        if (ok)
            value = d;
    }
    if (!value)
        return invalid;
    for (int i = 0; i < 6; ++i)
        if (*value == i)
            return QString::fromLatin1(names[i]);
    return invalid;
}

StreamCopy copyGreetingStream(AppContext &ctx, const QString &sourceFile, const QString &firstPart,
                              const QString &secondPart)
{
    StreamCopy copy;
    if (sourceFile.size() < 2)
        return copy;
    QString whyUnknown;
    QString folder = serverPathToLocal(strGetStreamFilesPath(ctx, &whyUnknown));
    // Without a stream folder neither a bare source name nor the copy has a place.
    if (folder.isEmpty()) {
        copy.folderUnknown = whyUnknown;
        return copy;
    }
    if (!folder.endsWith(u'/'))
        folder += u'/';
    const bool hasFolder = sourceFile.contains(u'\\') || sourceFile.contains(u'/');
    const QString source = hasFolder ? serverPathToLocal(sourceFile) : folder + sourceFile;
    if (!QFileInfo(source).isFile())
        return copy;

    // The parts are aliases; a separator in one must not move the copy out of the folder.
    const auto part = [](QString text) {
        return text.replace(u'/', u'_').replace(u'\\', u'_').replace(QChar(u'\0'), u'_');
    };
    const QString name = part(secondPart) + u'_' + part(firstPart) + QStringLiteral("_GREETING_") + strNewGUID()
                         + QStringLiteral(".wav");
    const QString target = folder + name;
    QFile existing(target);
    if (existing.exists() && !existing.remove()) {
        copy.failure = existing.errorString();
        return copy;
    }
    QFile file(source);
    if (!file.copy(target)) {
        copy.failure = file.errorString();
        return copy;
    }
    copy.fileName = name;
    copy.path = target;
    return copy;
}

QString strGenerateUniqueStream(AppContext &ctx, const QString &sourceFile, const QString &firstPart,
                                const QString &secondPart)
{
    const StreamCopy copy = copyGreetingStream(ctx, sourceFile, firstPart, secondPart);
    // A name without its file would leave the new greeting silent.
    if (!copy.failure.isEmpty())
        platform::msgBox(QStringLiteral("Error in strGenerateUniqueStream on Moduel1:") + copy.failure);
    return copy.fileName;
}

} // namespace quillor
