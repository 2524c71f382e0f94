#include "common/objectid.h"

namespace quillor {

namespace {

bool isHex(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

// The 36 characters of a GUID without braces: 8-4-4-4-12 hexadecimal digits.
bool isBareGuid(QStringView s)
{
    if (s.size() != 36)
        return false;
    for (qsizetype i = 0; i < 36; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != u'-' : !isHex(s[i]))
            return false;
    }
    return true;
}

} // namespace

QString normalizedObjectId(const QString &id)
{
    // Called for every link of the tree: no regular expression, no copy when already normal.
    QStringView s(id);
    while (!s.isEmpty() && s.front().isSpace())
        s = s.mid(1);
    while (!s.isEmpty() && s.back().isSpace())
        s.chop(1);
    QStringView bare = s;
    if (bare.size() == 38 && bare.front() == u'{' && bare.back() == u'}')
        bare = bare.mid(1, 36);
    if (!isBareGuid(bare))
        return s.size() == id.size() ? id : s.toString();
    if (s.size() == 38 && s.size() == id.size()) {
        bool upper = true;
        for (const QChar c : bare)
            if (c.unicode() >= 'a' && c.unicode() <= 'f')
                upper = false;
        if (upper)
            return id;
    }
    QString out;
    out.reserve(38);
    out += u'{';
    out += bare.toString().toUpper();
    out += u'}';
    return out;
}

QString bracedObjectId(const QString &id)
{
    return isBareGuid(id) ? u'{' + id + u'}' : id;
}

bool isGuidText(const QString &id)
{
    QStringView s = QStringView(id).trimmed();
    if (s.size() == 38 && s.front() == u'{' && s.back() == u'}')
        s = s.mid(1, 36);
    return isBareGuid(s);
}

bool sameObjectId(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    return normalizedObjectId(a).compare(normalizedObjectId(b), Qt::CaseInsensitive) == 0;
}

} // namespace quillor
