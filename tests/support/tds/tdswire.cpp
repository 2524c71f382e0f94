#include "tdswire.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace quillor::test::tds {

namespace {

// cp1252 0x80-0x9F; the five bytes Windows leaves undefined map to the C1
// control of the same number, as Windows' own conversion does. The rest of
// the page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const QDate kDay0(1900, 1, 1);
constexpr qint64 kTicksPerDay = 300LL * 86400;

template <typename T> void put(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

void putUcs2(QByteArray &out, const QString &text)
{
    for (QChar c : text)
        put<quint16>(out, c.unicode());
}

void putUsVarChar(QByteArray &out, const QString &text)
{
    put<quint16>(out, quint16(text.size()));
    putUcs2(out, text);
}

QByteArray plp(const QByteArray &bytes)
{
    QByteArray out;
    put<quint64>(out, quint64(bytes.size()));
    if (!bytes.isEmpty()) {
        put<quint32>(out, quint32(bytes.size()));
        out += bytes;
    }
    put<quint32>(out, 0);
    return out;
}

QByteArray readPlp(Reader &in, bool &isNull)
{
    const quint64 total = in.u64();
    isNull = total == ~quint64(0);
    QByteArray data;
    if (isNull)
        return data;
    while (const quint32 chunk = in.u32())
        data += in.bytes(chunk);
    return data;
}

QString fromUcs2(QByteArrayView bytes)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(bytes.data() + 2 * i));
    return text;
}

qint64 powerOfTen(int scale)
{
    qint64 p = 1;
    while (scale-- > 0)
        p *= 10;
    return p;
}

// Column sizes: 0 means "not given" (8000 bytes); MAX exists only from 7.2.
quint16 declaredSize(const Column &c)
{
    return c.size > 0 && c.size <= 0xFFFF ? quint16(c.size) : quint16(8000);
}

} // namespace

QByteArray collation() { return QByteArray("\x09\x04\xD0\x00\x00", 5); }

QByteArray toCp1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(char(c));
            continue;
        }
        const char16_t *hit = std::find(std::begin(kCp1252High), std::end(kCp1252High), c);
        if (hit != std::end(kCp1252High)) {
            out.append(char(0x80 + (hit - kCp1252High)));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // one '?' per character, not per UTF-16 unit
        out.append('?');
    }
    return out;
}

QString fromCp1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = quint8(bytes[i]);
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QString guidText(const QString &text)
{
    QStringView s(text);
    if (s.size() == 38 && s.front() == u'{' && s.back() == u'}')
        s = s.mid(1, 36);
    if (s.size() != 36)
        return {};
    QString out(36, Qt::Uninitialized);
    for (qsizetype i = 0; i < 36; ++i) {
        const char16_t c = s[i].unicode();
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool lower = c >= u'a' && c <= u'f';
        const bool digit = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || lower;
        if (dash ? c != u'-' : !digit)
            return {};
        out[i] = QChar(lower ? char16_t(c - u'a' + u'A') : c);
    }
    return out;
}

QByteArray guidToWire(const QString &text)
{
    const QString id = guidText(text);
    if (id.isEmpty())
        return {};
    QByteArray b = QByteArray::fromHex(id.toLatin1());
    std::reverse(b.begin(), b.begin() + 4);
    std::reverse(b.begin() + 4, b.begin() + 6);
    std::reverse(b.begin() + 6, b.begin() + 8);
    return b;
}

QString guidFromWire(QByteArrayView sixteenBytes)
{
    QByteArray b = sixteenBytes.toByteArray();
    std::reverse(b.begin(), b.begin() + 4);
    std::reverse(b.begin() + 4, b.begin() + 6);
    std::reverse(b.begin() + 6, b.begin() + 8);
    const QByteArray h = b.toHex().toUpper();
    return QString::fromLatin1(h.left(8) + '-' + h.mid(8, 4) + '-' + h.mid(12, 4) + '-' + h.mid(16, 4) + '-' + h.mid(20));
}

DateTimeWire dateTimeToWire(const QDateTime &dateTime)
{
    qint64 days = kDay0.daysTo(dateTime.date());
    qint64 ticks = (qint64(dateTime.time().msecsSinceStartOfDay()) * 3 + 5) / 10; // half up
    if (ticks >= kTicksPerDay) {
        ++days;
        ticks -= kTicksPerDay;
    }
    return {qint32(days), quint32(ticks)};
}

QDateTime dateTimeFromWire(qint32 days, quint32 ticks)
{
    const qint64 ms = (qint64(ticks) * 10 + 1) / 3; // to the nearest millisecond
    return QDateTime(kDay0.addDays(days), QTime(0, 0), Qt::UTC).addMSecs(ms);
}

QDateTime dateTime2FromWire(QByteArrayView value, int scale)
{
    if (value.size() < 6 || value.size() > 8 || scale < 0 || scale > 7)
        throw WireError{QStringLiteral("a datetime2(%1) value of %2 bytes").arg(scale).arg(value.size())};
    quint64 units = 0;
    const qsizetype timeBytes = value.size() - 3;
    for (qsizetype i = timeBytes - 1; i >= 0; --i)
        units = units << 8 | quint8(value[i]);
    qint64 days = 0;
    for (qsizetype i = value.size() - 1; i >= timeBytes; --i)
        days = days << 8 | quint8(value[i]);
    const qint64 unitsPerSecond = powerOfTen(scale);
    const qint64 ms = (qint64(units) * 1000 + unitsPerSecond / 2) / unitsPerSecond;
    return QDateTime(QDate(1, 1, 1).addDays(days), QTime(0, 0), Qt::UTC).addMSecs(ms);
}

QByteArrayView Reader::take(qsizetype count)
{
    if (count < 0 || count > m_data.size() - m_pos)
        throw WireError{QStringLiteral("the request ends at byte %1 where %2 more bytes were expected")
                            .arg(m_data.size())
                            .arg(count)};
    const QByteArrayView view = QByteArrayView(m_data).sliced(m_pos, count);
    m_pos += count;
    return view;
}

quint8 Reader::u8() { return quint8(take(1)[0]); }
quint16 Reader::u16() { return qFromLittleEndian<quint16>(take(2).data()); }
quint32 Reader::u32() { return qFromLittleEndian<quint32>(take(4).data()); }
quint64 Reader::u64() { return qFromLittleEndian<quint64>(take(8).data()); }
QByteArray Reader::bytes(qsizetype count) { return take(count).toByteArray(); }
QString Reader::ucs2(qsizetype chars) { return fromUcs2(take(2 * chars)); }

Parameter readParameter(Reader &in)
{
    Parameter p;
    p.name = in.bVarChar();
    p.output = in.u8() & 0x01;
    const quint8 type = in.u8();
    Value &v = p.value;
    auto fixed = [&](SqlType t, auto read) {
        const quint8 max = in.u8();
        v.type = t;
        const quint8 size = in.u8();
        if (size > max)
            throw WireError{QStringLiteral("a value of %1 bytes for a type of %2").arg(size).arg(max)};
        if (size != 0)
            v.value = read(size);
    };
    switch (type) {
    case 0x26: // INTN
        fixed(SqlType::Int, [&](quint8 size) -> QVariant {
            switch (size) {
            case 1: return qint64(in.u8());
            case 2: return qint64(qint16(in.u16()));
            case 4: return qint64(qint32(in.u32()));
            case 8: v.type = SqlType::BigInt; return qint64(in.u64());
            }
            throw WireError{QStringLiteral("an integer of %1 bytes").arg(size)};
        });
        break;
    case 0x68: // BITN
        fixed(SqlType::Bit, [&](quint8) -> QVariant { return in.u8() != 0; });
        break;
    case 0x6D: // FLTN
        fixed(SqlType::Float, [&](quint8 size) -> QVariant {
            if (size == 4) {
                const quint32 bits = in.u32();
                float f;
                std::memcpy(&f, &bits, 4);
                return double(f);
            }
            const quint64 bits = in.u64();
            double d;
            std::memcpy(&d, &bits, 8);
            return d;
        });
        break;
    case 0x6F: // DATETIMN
        fixed(SqlType::DateTime, [&](quint8 size) -> QVariant {
            if (size == 4) {
                const quint16 days = in.u16();
                return dateTimeFromWire(days, quint32(in.u16()) * 60 * 300);
            }
            const auto days = qint32(in.u32());
            return dateTimeFromWire(days, in.u32());
        });
        break;
    case 0x2A: { // DATETIME2N: the scale stands where the others have a size
        const quint8 scale = in.u8();
        v.type = SqlType::DateTime;
        if (const quint8 size = in.u8())
            v.value = dateTime2FromWire(in.bytes(size), scale);
        break;
    }
    case 0x28: // DATEN: the day alone, read as its midnight
        v.type = SqlType::DateTime;
        if (const quint8 size = in.u8())
            v.value = dateTime2FromWire(QByteArray(3, '\0') + in.bytes(size), 0);
        break;
    case 0x29: { // TIMEN: read on 1900-01-01 (day 693595), as SQL Server turns a time into a datetime
        const quint8 scale = in.u8();
        v.type = SqlType::DateTime;
        if (const quint8 size = in.u8())
            v.value = dateTime2FromWire(in.bytes(size) + QByteArray("\x5B\x95\x0A", 3), scale);
        break;
    }
    case 0x6A: case 0x6C: { // DECIMALN, NUMERICN: sign byte, then the unscaled magnitude
        in.skip(2); // size, precision
        const quint8 scale = in.u8();
        v.type = scale ? SqlType::Float : SqlType::BigInt;
        const quint8 size = in.u8();
        if (size == 0)
            break;
        const bool negative = in.u8() == 0;
        const QByteArray magnitude = in.bytes(size - 1);
        long double exact = 0;
        for (qsizetype i = magnitude.size() - 1; i >= 0; --i)
            exact = exact * 256 + quint8(magnitude[i]);
        exact = (negative ? -exact : exact) / powerOfTen(scale);
        if (scale == 0 && std::abs(exact) <= 9007199254740992.0L) // whole and exact in a double's 53 bits
            v.value = qint64(exact);
        else
            v.value = double(exact);
        break;
    }
    case 0x24: // GUIDTYPE
        fixed(SqlType::Guid, [&](quint8 size) -> QVariant {
            if (size != 16)
                throw WireError{QStringLiteral("a uniqueidentifier of %1 bytes").arg(size)};
            return guidFromWire(in.bytes(16));
        });
        break;
    case 0xA7: case 0xAF: // BIGVARCHR, BIGCHAR
    case 0xE7: case 0xEF: // NVARCHAR, NCHAR
    case 0xA5: case 0xAD: { // BIGVARBIN, BIGBINARY
        const quint16 max = in.u16();
        const bool text = type != 0xA5 && type != 0xAD;
        if (text)
            in.skip(5); // the collation: the stand-in speaks only the one it announced
        bool isNull = false;
        QByteArray data;
        if (max == 0xFFFF) {
            data = readPlp(in, isNull);
        } else {
            const quint16 size = in.u16();
            isNull = size == 0xFFFF;
            if (!isNull)
                data = in.bytes(size);
        }
        const bool wide = type == 0xE7 || type == 0xEF;
        v.type = !text ? SqlType::VarBinary : wide ? SqlType::NVarChar : SqlType::VarChar;
        if (!isNull)
            v.value = !text ? QVariant(data) : wide ? QVariant(fromUcs2(data)) : QVariant(fromCp1252(data));
        break;
    }
    case 0x22: case 0x23: case 0x63: { // IMAGE, TEXT, NTEXT
        in.skip(4); // the maximum length
        if (type != 0x22)
            in.skip(5);
        const quint32 size = in.u32();
        v.type = type == 0x22 ? SqlType::Image : type == 0x23 ? SqlType::VarChar : SqlType::NVarChar;
        if (size != 0xFFFFFFFF) {
            const QByteArray data = in.bytes(size);
            v.value = type == 0x22 ? QVariant(data) : type == 0x23 ? QVariant(fromCp1252(data)) : QVariant(fromUcs2(data));
        }
        break;
    }
    default:
        throw WireError{QStringLiteral("a parameter of TDS type 0x%1, which the stand-in does not read")
                            .arg(type, 2, 16, QLatin1Char('0'))};
    }
    return p;
}

namespace token {

QByteArray done(quint8 kind, quint16 status, qint64 count, bool tds72)
{
    QByteArray out(1, char(kind));
    put<quint16>(out, status);
    put<quint16>(out, 0xC1); // CurCmd: the client skips it
    if (tds72)
        put<quint64>(out, quint64(count));
    else
        put<quint32>(out, quint32(count));
    return out;
}

QByteArray error(const ServerError &e, bool tds72)
{
    QByteArray body;
    put<qint32>(body, e.number);
    body.append(char(e.state)).append(char(e.severity));
    putUsVarChar(body, e.message);
    body.append(bVarChar(QString())).append(bVarChar(QString())); // server, procedure
    if (tds72)
        put<qint32>(body, 1);
    else
        put<quint16>(body, 1);
    QByteArray out(1, char(e.severity > 10 ? 0xAA : 0xAB)); // up to 10 a message is only informational
    put<quint16>(out, quint16(body.size()));
    return out + body;
}

QByteArray envChange(quint8 type, const QByteArray &newValue, const QByteArray &oldValue)
{
    QByteArray out(1, char(0xE3));
    put<quint16>(out, quint16(1 + newValue.size() + oldValue.size()));
    return out + char(type) + newValue + oldValue;
}

QByteArray bVarChar(const QString &text)
{
    QByteArray out(1, char(text.size()));
    putUcs2(out, text);
    return out;
}

QByteArray bVarByte(const QByteArray &bytes) { return char(bytes.size()) + bytes; }

QByteArray loginAck(quint32 tdsVersion)
{
    QByteArray body(1, char(1)); // interface: T-SQL
    char version[4];
    qToBigEndian(tdsVersion, version); // LOGIN7 carries it little-endian, LOGINACK big-endian
    body.append(version, 4);
    body += bVarChar(QStringLiteral("Microsoft SQL Server"));
    body.append("\x0F\x00\x07\xD0", 4); // 15.0.2000
    QByteArray out(1, char(0xAD));
    put<quint16>(out, quint16(body.size()));
    return out + body;
}

QByteArray colMetaData(const QList<Column> &columns, bool tds72)
{
    QByteArray out(1, char(0x81));
    put<quint16>(out, quint16(columns.size()));
    for (const Column &c : columns) {
        if (tds72)
            put<quint32>(out, 0);
        else
            put<quint16>(out, 0);
        put<quint16>(out, c.nullable ? 0x0001 : 0x0000);
        switch (c.type) {
        case SqlType::Int: out.append("\x26\x04", 2); break;
        case SqlType::BigInt: out.append("\x26\x08", 2); break;
        case SqlType::Bit: out.append("\x68\x01", 2); break;
        case SqlType::Float: out.append("\x6D\x08", 2); break;
        case SqlType::DateTime: out.append("\x6F\x08", 2); break;
        case SqlType::Guid: out.append("\x24\x10", 2); break;
        case SqlType::VarChar:
        case SqlType::NVarChar:
            out.append(char(c.type == SqlType::VarChar ? 0xA7 : 0xE7));
            put<quint16>(out, declaredSize(c));
            out += collation();
            break;
        case SqlType::VarBinary:
        case SqlType::Image:
            out.append(char(0xA5));
            put<quint16>(out, declaredSize(c));
            break;
        case SqlType::Binary:
            out.append(char(0xAD));
            put<quint16>(out, declaredSize(c));
            break;
        }
        out += bVarChar(c.name);
    }
    return out;
}

QByteArray row(const QList<Column> &columns, const QList<Value> &values)
{
    QByteArray out(1, char(0xD1));
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const Column &c = columns[i];
        const QVariant v = i < values.size() ? values[i].value : QVariant();
        const bool isNull = v.isNull();
        const bool plpForm = c.size == 0xFFFF; // MAX
        auto sized = [&](const QByteArray &bytes) {
            if (plpForm) {
                out += isNull ? QByteArray(8, char(0xFF)) : plp(bytes);
            } else if (isNull) {
                put<quint16>(out, 0xFFFF);
            } else {
                if (bytes.size() > declaredSize(c))
                    throw WireError{QStringLiteral("column %1 holds %2 bytes, more than its %3")
                                        .arg(c.name).arg(bytes.size()).arg(declaredSize(c)), 8152};
                put<quint16>(out, quint16(bytes.size()));
                out += bytes;
            }
        };
        const bool fixedSize = c.type == SqlType::Int || c.type == SqlType::BigInt || c.type == SqlType::Bit
                               || c.type == SqlType::Float || c.type == SqlType::DateTime || c.type == SqlType::Guid;
        if (isNull && fixedSize) {
            out.append('\0'); // the length byte 0
            continue;
        }
        switch (c.type) {
        case SqlType::Int:
            out.append(char(4));
            put<qint32>(out, qint32(v.toLongLong()));
            break;
        case SqlType::BigInt:
            out.append(char(8));
            put<qint64>(out, v.toLongLong());
            break;
        case SqlType::Bit:
            out.append(char(1)).append(char(v.toBool() ? 1 : 0));
            break;
        case SqlType::Float: {
            const double d = v.toDouble();
            quint64 bits;
            std::memcpy(&bits, &d, 8);
            out.append(char(8));
            put<quint64>(out, bits);
            break;
        }
        case SqlType::DateTime: {
            const QDateTime dt = v.toDateTime();
            if (!dt.isValid())
                throw WireError{QStringLiteral("column %1 holds \"%2\", not a date").arg(c.name, v.toString()), 241};
            const DateTimeWire w = dateTimeToWire(dt);
            out.append(char(8));
            put<qint32>(out, w.days);
            put<quint32>(out, w.ticks);
            break;
        }
        case SqlType::Guid: {
            const QByteArray g = guidToWire(v.toString());
            if (g.isEmpty())
                throw WireError{QStringLiteral("Conversion failed when converting from a character string to "
                                               "uniqueidentifier (column %1 holds \"%2\").")
                                    .arg(c.name, v.toString()),
                                8169};
            out.append(char(16)).append(g);
            break;
        }
        case SqlType::VarChar: sized(toCp1252(v.toString())); break;
        case SqlType::NVarChar: {
            QByteArray bytes;
            putUcs2(bytes, v.toString());
            sized(bytes);
            break;
        }
        case SqlType::VarBinary:
        case SqlType::Image: sized(v.toByteArray()); break;
        case SqlType::Binary: {
            QByteArray bytes = v.toByteArray();
            if (!isNull && bytes.size() < declaredSize(c))
                bytes.append(QByteArray(declaredSize(c) - bytes.size(), '\0')); // binary(n) is padded
            sized(bytes);
            break;
        }
        }
    }
    return out;
}

bool results(QByteArray &out, const QList<StatementResult> &results, quint8 doneKind, bool lastIsFinal, bool tds72)
{
    bool failed = false;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const StatementResult &r = results[i];
        std::optional<ServerError> rowError;
        if (r.hasRows) {
            QList<Column> columns = r.columns;
            for (Column &c : columns)
                if (!tds72 && c.size == 0xFFFF)
                    c.size = 8000; // the MAX types came with 7.2
            out += colMetaData(columns, tds72);
            try {
                for (const QList<Value> &values : r.rows)
                    out += row(columns, values);
            } catch (const WireError &e) {
                rowError = ServerError{e.number, e.message};
            }
        }
        quint16 status = lastIsFinal && i == results.size() - 1 ? 0 : More;
        for (const auto &e : {rowError, r.error}) {
            if (e) {
                out += error(*e, tds72);
                if (e->severity > 10) {
                    status |= Error;
                    failed = true;
                }
            }
        }
        if (r.count)
            status |= Count;
        out += done(doneKind, status, r.count.value_or(0), tds72);
    }
    if (results.isEmpty() && lastIsFinal)
        out += done(doneKind, 0, 0, tds72);
    return failed;
}

QByteArray returnStatus(qint32 status)
{
    QByteArray out(1, char(0x79));
    put<qint32>(out, status);
    return out;
}

QByteArray returnIntValue(quint16 ordinal, const QString &name, qint32 value, bool tds72)
{
    QByteArray out(1, char(0xAC));
    put<quint16>(out, ordinal);
    out += bVarChar(name);
    out.append(char(0x01)); // an output parameter
    if (tds72)
        put<quint32>(out, 0);
    else
        put<quint16>(out, 0);
    put<quint16>(out, 0); // flags
    out.append("\x26\x04\x04", 3);
    put<qint32>(out, value);
    return out;
}

} // namespace token

QByteArray packets(const QByteArray &message, int packetSize, quint16 spid)
{
    const qsizetype chunk = packetSize - 8;
    QByteArray out;
    quint8 id = 1;
    qsizetype at = 0;
    do {
        const qsizetype n = std::min(chunk, message.size() - at);
        const bool last = at + n >= message.size();
        char header[8] = {0x04, char(last ? 0x01 : 0x00), 0, 0, 0, 0, char(id++), 0};
        qToBigEndian(quint16(n + 8), header + 2);
        qToBigEndian(spid, header + 4);
        out.append(header, 8).append(message.constData() + at, n);
        at += n;
    } while (at < message.size());
    return out;
}

} // namespace quillor::test::tds
