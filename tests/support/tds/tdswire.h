#pragma once
// The byte forms of the TDS stand-in server: reading what a client sends and
// writing the tokens SQL Server answers with. Pure functions, so the tests can
// hold each encoding against what SQL Server documents.

#include "tdsengine.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

namespace quillor::test::tds {

// Thrown where a request cannot be read, or a value cannot be written; the
// server answers it as an ERROR token, so no request ends in silence.
struct WireError {
    QString message;
    int number = 4002; // SQL Server's "the incoming TDS protocol stream is incorrect"
};

// The database collation the stand-in announces: Latin1_General_CI_AS (cp1252).
QByteArray collation();

// Windows code page 1252; what it cannot hold becomes '?', as SQL Server's
// conversion to varchar does.
QByteArray toCp1252(const QString &text);
QString fromCp1252(QByteArrayView bytes);

// The stand-in's own rule of what text is a GUID, kept apart from the
// program's so that a fault in the program's shows: optional braces around
// 8-4-4-4-12 hexadecimal digits in either case, nothing else. The GUID as 36
// upper-case characters without braces; empty when the text is none.
QString guidText(const QString &text);
// uniqueidentifier: the first three groups byte-reversed, the rest as written.
// An empty result means "not a GUID" (guidText).
QByteArray guidToWire(const QString &text);
QString guidFromWire(QByteArrayView sixteenBytes); // upper case, no braces

// datetime: days since 1900-01-01, then 1/300 s ticks since midnight, rounded
// as SQL Server rounds (.998 -> .997, .999 -> the next second).
struct DateTimeWire {
    qint32 days = 0;
    quint32 ticks = 0;
};
DateTimeWire dateTimeToWire(const QDateTime &dateTime);
// Decoded values are QDateTimes in UTC, so no local time-zone gap can make one invalid.
QDateTime dateTimeFromWire(qint32 days, quint32 ticks);
// datetime2(scale): `value` is the time (3-5 bytes) then the 3-byte day count since 0001-01-01.
QDateTime dateTime2FromWire(QByteArrayView value, int scale);

// Reads a request (holding a share of it); every read past the end throws WireError.
class Reader {
public:
    explicit Reader(QByteArray data) : m_data(std::move(data)) {}
    quint8 u8();
    quint8 peek() const { return atEnd() ? 0 : quint8(m_data[m_pos]); }
    quint16 u16();
    quint32 u32();
    quint64 u64();
    QByteArray bytes(qsizetype count);
    QString ucs2(qsizetype chars);
    QString bVarChar() { return ucs2(u8()); }
    void skip(qsizetype count) { take(count); }
    bool atEnd() const { return m_pos >= m_data.size(); }
    qsizetype pos() const { return m_pos; }
    qsizetype size() const { return m_data.size(); }

private:
    QByteArrayView take(qsizetype count);
    QByteArray m_data;
    qsizetype m_pos = 0;
};

// One RPC parameter as the client sent it; the text types (the @stmt and
// @params of the system procedures) come as VarChar or NVarChar values.
struct Parameter {
    QString name;
    bool output = false;
    Value value;
};
// Reads name, status, TYPE_INFO and value; a type it does not know throws, naming it.
Parameter readParameter(Reader &in);

// Token writers. `tds72` selects the 7.2+ forms (4-byte UserType, 8-byte DONE counts, 4-byte line numbers).
namespace token {
inline constexpr quint8 Done = 0xFD, DoneProc = 0xFE, DoneInProc = 0xFF;
inline constexpr quint16 More = 0x0001, Error = 0x0002, Count = 0x0010, Attention = 0x0020;

QByteArray done(quint8 kind, quint16 status, qint64 count, bool tds72);
QByteArray error(const ServerError &error, bool tds72); // INFO for severity 10 or less
QByteArray envChange(quint8 type, const QByteArray &newValue, const QByteArray &oldValue); // values with their length bytes
QByteArray bVarChar(const QString &text);
QByteArray bVarByte(const QByteArray &bytes);
QByteArray loginAck(quint32 tdsVersion);
QByteArray colMetaData(const QList<Column> &columns, bool tds72);
// Throws WireError (8169 for a uniqueidentifier that is not a GUID) naming the column.
QByteArray row(const QList<Column> &columns, const QList<Value> &values);
// Each statement's rows, its error after them, then its DONE (or DONEINPROC
// inside an RPC): MORE on all but a final last one, COUNT where it counted,
// ERROR where it failed (a message of severity 10 or less is an INFO and
// fails nothing). True when one failed.
bool results(QByteArray &out, const QList<StatementResult> &results, quint8 doneKind, bool lastIsFinal, bool tds72);
QByteArray returnStatus(qint32 status);
QByteArray returnIntValue(quint16 ordinal, const QString &name, qint32 value, bool tds72);
} // namespace token

// A message cut into type-4 packets of at most `packetSize` bytes each.
QByteArray packets(const QByteArray &message, int packetSize, quint16 spid);

} // namespace quillor::test::tds
