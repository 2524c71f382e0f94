#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <map>

namespace quillor::platform {

// Children and values are keyed by their case-folded name, which gives both the
// case-insensitive look-up and the case-insensitive order of subKeys(); the
// name as first written is kept for display.
struct Registry::Node {
    QString name;
    std::map<QString, std::unique_ptr<Node>> children;
    std::map<QString, RegValue> values;
};

namespace {

constexpr int kRootCount = 5;

const char *const kRootNames[kRootCount] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG",
};
const char *const kRootShortNames[kRootCount] = {"HKCR", "HKCU", "HKLM", "HKU", "HKCC"};

const QString kHeader4 = QStringLiteral("REGEDIT4");
const QString kHeader5 = QStringLiteral("Windows Registry Editor Version 5.00");

int rootIndex(RootKey root)
{
    const int i = static_cast<int>(root);
    return i >= 0 && i < kRootCount ? i : -1;
}

std::optional<RootKey> parseRoot(const QString &name)
{
    for (int i = 0; i < kRootCount; ++i) {
        if (name.compare(QLatin1String(kRootNames[i]), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String(kRootShortNames[i]), Qt::CaseInsensitive) == 0)
            return static_cast<RootKey>(i);
    }
    return std::nullopt;
}

QStringList splitPath(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

// The bytes 0x80..0x9F of Windows-1252; the five unassigned ones map to the C1
// control of the same number, as Latin-1 would.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Old exports were written in the machine's code page, newer tools write UTF-8
// without saying so; text that is valid UTF-8 is almost never meant as anything
// else, so try that first.
QString decode8Bit(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<uchar>(c);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b));
    }
    return text;
}

// A trailing odd byte (a truncated file) is dropped rather than guessed at.
QString decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<uchar>(bytes[bigEndian ? i + 1 : i]);
        const auto hi = static_cast<uchar>(bytes[bigEndian ? i : i + 1]);
        text.append(QChar(static_cast<char16_t>(lo | (hi << 8))));
    }
    return text;
}

QString decodeFile(const QByteArray &bytes)
{
    const QByteArrayView v(bytes);
    if (v.startsWith("\xEF\xBB\xBF"))
        return decode8Bit(v.sliced(3));
    if (v.startsWith("\xFF\xFE"))
        return decodeUtf16(v.sliced(2), false);
    if (v.startsWith("\xFE\xFF"))
        return decodeUtf16(v.sliced(2), true);
    // UTF-16 that lost its byte order mark still starts with an ASCII letter
    // followed by a zero byte, which 8-bit text never does.
    if (v.size() >= 2 && v[0] != '\0' && v[1] == '\0')
        return decodeUtf16(v, false);
    return decode8Bit(v);
}

// Registry string data ends at its terminator; anything after it is not text.
QString untilNul(QString s)
{
    const qsizetype nul = s.indexOf(QChar(u'\0'));
    if (nul >= 0)
        s.truncate(nul);
    return s;
}

QString decodeRegString(const QByteArray &raw, bool unicode)
{
    return unicode ? decodeUtf16(raw, false) : decode8Bit(raw);
}

// A multi-string is NUL-separated and ends with an empty string.
QStringList decodeMultiString(const QByteArray &raw, bool unicode)
{
    QStringList out;
    for (const QString &part : decodeRegString(raw, unicode).split(QChar(u'\0'))) {
        if (part.isEmpty())
            break;
        out.append(part);
    }
    return out;
}

bool isHexDigits(QStringView s, qsizetype maxLen)
{
    if (s.isEmpty() || s.size() > maxLen)
        return false;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

// Reads a quoted string starting at line[pos] == '"'. Only \\ and \" are
// escapes; exports write paths such as C:\Temp with single backslashes, and
// those must survive unchanged. On success pos is just past the closing quote.
std::optional<QString> parseQuoted(QStringView line, qsizetype &pos)
{
    QString out;
    qsizetype i = pos + 1;
    while (i < line.size()) {
        const QChar c = line[i];
        if (c == u'"') {
            pos = i + 1;
            return out;
        }
        if (c == u'\\' && i + 1 < line.size() && (line[i + 1] == u'\\' || line[i + 1] == u'"')) {
            out.append(line[i + 1]);
            i += 2;
            continue;
        }
        out.append(c);
        ++i;
    }
    return std::nullopt;
}

qsizetype skipBlanks(QStringView line, qsizetype pos)
{
    while (pos < line.size() && line[pos].isSpace())
        ++pos;
    return pos;
}

// Appends the comma-separated bytes of one physical line of a hex list. An
// empty last item is the comma before a line break (or a stray final comma).
bool parseHexSegment(QStringView seg, QByteArray &out)
{
    seg = seg.trimmed();
    if (seg.isEmpty())
        return true;
    const auto items = seg.split(u',');
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QStringView item = items[i].trimmed();
        if (item.isEmpty() && i == items.size() - 1)
            break;
        if (!isHexDigits(item, 2))
            return false;
        out.append(static_cast<char>(item.toUShort(nullptr, 16)));
    }
    return true;
}

struct SyntaxError {
    int line;
    QString what;
};

} // namespace

Registry::Registry() = default;
Registry::~Registry() = default;

void Registry::clear()
{
    for (auto &root : m_roots)
        root.reset();
    m_fileName.clear();
}

QString Registry::fileName() const
{
    return m_fileName;
}

QString Registry::folder() const
{
    return m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).absolutePath();
}

Registry::Node *Registry::find(RootKey root, const QString &subKey) const
{
    const int r = rootIndex(root);
    if (r < 0)
        return nullptr;
    Node *node = m_roots[r].get();
    for (const QString &part : splitPath(subKey)) {
        if (!node)
            return nullptr;
        const auto it = node->children.find(part.toCaseFolded());
        node = it == node->children.end() ? nullptr : it->second.get();
    }
    return node;
}

Registry::Node *Registry::ensure(RootKey root, const QString &subKey)
{
    const int r = rootIndex(root);
    if (r < 0)
        return nullptr;
    if (!m_roots[r]) {
        m_roots[r] = std::make_unique<Node>();
        m_roots[r]->name = QLatin1String(kRootNames[r]);
    }
    Node *node = m_roots[r].get();
    for (const QString &part : splitPath(subKey)) {
        auto &child = node->children[part.toCaseFolded()];
        if (!child) {
            child = std::make_unique<Node>();
            child->name = part;
        }
        node = child.get();
    }
    return node;
}

void Registry::removeKey(RootKey root, const QString &subKey)
{
    const int r = rootIndex(root);
    if (r < 0)
        return;
    QStringList parts = splitPath(subKey);
    if (parts.isEmpty()) {
        m_roots[r].reset();
        return;
    }
    const QString last = parts.takeLast().toCaseFolded();
    if (Node *parent = find(root, parts.join(QLatin1Char('\\'))))
        parent->children.erase(last);
}

bool Registry::keyExists(RootKey root, const QString &subKey) const
{
    return find(root, subKey) != nullptr;
}

std::optional<RegValue> Registry::value(RootKey root, const QString &subKey, const QString &valueName) const
{
    const Node *node = find(root, subKey);
    if (!node)
        return std::nullopt;
    const auto it = node->values.find(valueName.toCaseFolded());
    if (it == node->values.end())
        return std::nullopt;
    return it->second;
}

std::optional<QStringList> Registry::subKeys(RootKey root, const QString &subKey) const
{
    const Node *node = find(root, subKey);
    if (!node)
        return std::nullopt;
    QStringList names;
    names.reserve(static_cast<qsizetype>(node->children.size()));
    for (const auto &[folded, child] : node->children)
        names.append(child->name);
    return names;
}

bool Registry::loadFile(const QString &path, QString *error)
{
    clear();
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("The registry file %1 could not be read: %2").arg(absolute, why);
        return false;
    };
    const QFileInfo info(absolute);
    if (!info.exists())
        return fail(QStringLiteral("the file does not exist"));
    if (!info.isFile())
        return fail(QStringLiteral("it is not a file"));
    QFile file(absolute);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return loadData(bytes, absolute, error);
}

bool Registry::loadData(const QByteArray &bytes, const QString &sourceName, QString *error)
{
    clear();
    auto fail = [&](const QString &why) {
        clear();
        if (error)
            *error = QStringLiteral("The registry file %1 could not be read: %2").arg(sourceName, why);
        return false;
    };

    QStringList lines = decodeFile(bytes).split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }

    qsizetype idx = 0;
    while (idx < lines.size() && lines[idx].trimmed().isEmpty())
        ++idx;
    if (idx == lines.size())
        return fail(QStringLiteral("the file is empty"));
    const QString header = lines[idx].trimmed();
    if (header != kHeader4 && header != kHeader5) {
        // The first line is only quoted when it is text: a binary file's bytes
        // would show as garbage, cut short at its first NUL.
        const bool text = std::all_of(header.cbegin(), header.cend(), [](QChar c) {
            return c.isPrint() && c != QChar::ReplacementCharacter;
        });
        const QString found = text ? QStringLiteral("line %1: \"%2\"")
                                         .arg(idx + 1)
                                         .arg(header.size() > 40 ? header.left(40) + QStringLiteral("...") : header)
                                   : QStringLiteral("this file holds binary data");
        return fail(QStringLiteral("it is not a registry export, which begins with the line \"%1\" or \"%2\" (%3).")
                        .arg(kHeader4, kHeader5, found));
    }
    // Version 5 stores string data inside hex lists as UTF-16LE whatever the
    // file's own encoding; version 4 stores it in the 8-bit code page.
    const bool unicode = header == kHeader5;

    Node *current = nullptr;
    // Values listed under a deleted key have nowhere to go; they are dropped,
    // not reported, so that an export that deletes and lists in one section loads.
    bool inDeletedKey = false;

    auto syntax = [](qsizetype lineIdx, const char *what) {
        return SyntaxError{static_cast<int>(lineIdx + 1), QString::fromLatin1(what)};
    };

    auto parseLine = [&](qsizetype &i) -> std::optional<SyntaxError> {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            return std::nullopt;

        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')) || line.size() < 2)
                return syntax(i, "bad key line");
            QString inner = line.mid(1, line.size() - 2);
            const bool remove = inner.startsWith(QLatin1Char('-'));
            if (remove)
                inner.remove(0, 1);
            QStringList parts = splitPath(inner);
            if (parts.isEmpty())
                return syntax(i, "bad key line");
            const auto root = parseRoot(parts.takeFirst());
            if (!root)
                return syntax(i, "unknown root key");
            const QString sub = parts.join(QLatin1Char('\\'));
            if (remove) {
                removeKey(*root, sub);
                current = nullptr;
                inDeletedKey = true;
            } else {
                current = ensure(*root, sub);
                inDeletedKey = false;
            }
            return std::nullopt;
        }

        if (!line.startsWith(QLatin1Char('"')) && !line.startsWith(QLatin1Char('@')))
            return syntax(i, "unrecognised line");
        if (!current && !inDeletedKey)
            return syntax(i, "value line outside any key");

        const QStringView v(line);
        qsizetype pos = 0;
        QString name;
        if (v[0] == u'@') {
            pos = 1;
        } else {
            auto quoted = parseQuoted(v, pos);
            if (!quoted)
                return syntax(i, "unterminated string");
            name = std::move(*quoted);
        }
        pos = skipBlanks(v, pos);
        if (pos >= v.size() || v[pos] != u'=')
            return syntax(i, "missing '=' after the value name");
        pos = skipBlanks(v, pos + 1);
        const QStringView data = v.sliced(pos);
        const qsizetype valueLine = i;

        std::optional<RegValue> parsed;
        if (data == u"-") {
            // deletion: parsed stays empty
        } else if (data.startsWith(u'"')) {
            qsizetype end = 0;
            auto text = parseQuoted(data, end);
            if (!text)
                return syntax(i, "unterminated string");
            if (!data.sliced(end).trimmed().isEmpty())
                return syntax(i, "unexpected text after the string value");
            parsed = RegValue{RegType::Sz, *text};
        } else if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
            const QStringView digits = data.sliced(6).trimmed();
            if (!isHexDigits(digits, 8))
                return syntax(i, "bad dword value");
            parsed = RegValue{RegType::Dword, QVariant::fromValue(digits.toUInt(nullptr, 16))};
        } else if (data.startsWith(u"hex", Qt::CaseInsensitive)) {
            qsizetype p = 3;
            int type = static_cast<int>(RegType::Binary);
            if (p < data.size() && data[p] == u'(') {
                const qsizetype close = data.indexOf(u')', p);
                const QStringView num = close < 0 ? QStringView() : data.sliced(p + 1, close - p - 1).trimmed();
                if (!isHexDigits(num, 8) || num.toUInt(nullptr, 16) > 0x7fffffffu)
                    return syntax(i, "bad value type");
                type = static_cast<int>(num.toUInt(nullptr, 16));
                p = close + 1;
            }
            if (p >= data.size() || data[p] != u':')
                return syntax(i, "bad hex value");
            QByteArray raw;
            QStringView seg = data.sliced(p + 1).trimmed();
            // A long list is wrapped with a trailing backslash; the next line
            // (indented) carries on with more bytes.
            for (;;) {
                const bool more = seg.endsWith(u'\\');
                if (more)
                    seg.chop(1);
                if (!parseHexSegment(seg, raw))
                    return syntax(i, "bad hex value");
                if (!more || i + 1 >= lines.size())
                    break;
                ++i;
                seg = QStringView(lines[i]).trimmed();
            }
            // Types with a QVariant form of their own get it, so callers can
            // read a value the same way however the export chose to write it.
            // A dword or qword of the wrong width has no meaning and is refused.
            switch (static_cast<RegType>(type)) {
            case RegType::Sz:
            case RegType::ExpandSz:
                parsed = RegValue{static_cast<RegType>(type), untilNul(decodeRegString(raw, unicode))};
                break;
            case RegType::MultiSz:
                parsed = RegValue{RegType::MultiSz, decodeMultiString(raw, unicode)};
                break;
            case RegType::Dword:
                if (raw.size() != 4)
                    return syntax(valueLine, "bad dword value");
                parsed = RegValue{RegType::Dword, QVariant::fromValue(qFromLittleEndian<quint32>(raw.constData()))};
                break;
            case RegType::Qword:
                if (raw.size() != 8)
                    return syntax(valueLine, "bad qword value");
                parsed = RegValue{RegType::Qword, QVariant::fromValue(qFromLittleEndian<quint64>(raw.constData()))};
                break;
            default:
                parsed = RegValue{static_cast<RegType>(type), raw};
                break;
            }
        } else {
            return syntax(i, "bad value data");
        }

        if (!current)
            return std::nullopt;
        const QString key = name.toCaseFolded();
        if (parsed)
            current->values.insert_or_assign(key, std::move(*parsed));
        else
            current->values.erase(key);
        return std::nullopt;
    };

    for (qsizetype i = idx + 1; i < lines.size(); ++i) {
        if (const auto err = parseLine(i))
            return fail(QStringLiteral("line %1: %2").arg(err->line).arg(err->what));
    }

    m_fileName = sourceName;
    if (error)
        error->clear();
    return true;
}

} // namespace quillor::platform
