// The TDS stand-in server's byte forms, each held against what SQL Server
// documents for it, then a few rows through the real driver stack
// (Qt's QODBC -> unixODBC -> FreeTDS) to show the client reads them so.
#include "embedded/generator.h"
#include "embedded/sampleserver.h"
#include "tdsserver.h"
#include "tdswire.h"

#include <QHostAddress>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace quillor::test::tds;
Q_DECLARE_METATYPE(quillor::test::tds::StatementResult)

namespace {

QByteArray hex(const char *spaced) { return QByteArray::fromHex(QByteArray(spaced).replace(' ', "")); }

QString shown(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(v.toByteArray().toHex());
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(Qt::ISODateWithMs);
    return v.toString();
}

// The tokens of a reply without rows, one word each: "FF 11 1" (a DONE kind,
// its status and count), "AA 2627" (an error), "AB" (an info), "79 0" (a return status),
// "AC 1" (an int output value), "E3 8" (an environment change), "AD" (the login).
QString summary(const QByteArray &reply)
{
    QStringList parts;
    Reader in(reply);
    while (!in.atEnd()) {
        const quint8 kind = in.u8();
        QString part = QString::number(kind, 16).toUpper();
        if (kind == 0xAA || kind == 0xAB || kind == 0xE3 || kind == 0xAD) {
            const quint16 length = in.u16();
            const QByteArray body = in.bytes(length);
            if (kind == 0xAA)
                part += u' ' + QString::number(qFromLittleEndian<qint32>(body.constData()));
            else if (kind == 0xE3)
                part += u' ' + QString::number(quint8(body[0]));
        } else if (kind == 0x79) {
            part += u' ' + QString::number(qint32(in.u32()));
        } else if (kind == 0xAC) { // the int form the stand-in sends
            in.u16();
            in.bVarChar();
            in.skip(1 + 4 + 2 + 3);
            part += u' ' + QString::number(qint32(in.u32()));
        } else {
            const quint16 status = in.u16();
            in.u16();
            part += QStringLiteral(" %1 %2").arg(status, 2, 16, QLatin1Char('0')).arg(in.u64());
        }
        parts << part;
    }
    return parts.join(QStringLiteral("; "));
}

// A client that speaks TDS 7.4 byte by byte, for the requests FreeTDS seldom makes.
class RawClient {
public:
    explicit RawClient(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(5000);
    }

    // Sends one message and returns the payload of the reply.
    QByteArray request(quint8 type, const QByteArray &payload, bool withHeaders = true)
    {
        send(type, payload, withHeaders);
        return reply();
    }

    void send(quint8 type, const QByteArray &payload, bool withHeaders = true)
    {
        QByteArray body = withHeaders ? hex("16000000 12000000 0200 0000000000000000 01000000") + payload : payload;
        QByteArray packet(8, '\0');
        packet[0] = char(type);
        packet[1] = 0x01;
        qToBigEndian(quint16(8 + body.size()), packet.data() + 2);
        m_socket.write(packet + body);
    }

    QByteArray reply()
    {
        QByteArray reply;
        for (bool last = false; !last;) {
            while (m_socket.bytesAvailable() < 8 && m_socket.waitForReadyRead(5000)) {}
            const QByteArray header = m_socket.read(8);
            if (header.size() < 8)
                return reply + "<no reply>";
            last = header[1] & 0x01;
            qint64 length = qFromBigEndian<quint16>(header.constData() + 2) - 8;
            while (m_socket.bytesAvailable() < length && m_socket.waitForReadyRead(5000)) {}
            reply += m_socket.read(length);
        }
        return reply;
    }

    QByteArray login(const QString &database)
    {
        QByteArray fixed(94, '\0');
        qToLittleEndian(quint32(0x74000004), fixed.data() + 4);
        qToLittleEndian(quint32(4096), fixed.data() + 8);
        const QString user = QStringLiteral("x");
        qToLittleEndian(quint16(94), fixed.data() + 40);
        qToLittleEndian(quint16(user.size()), fixed.data() + 42);
        qToLittleEndian(quint16(94 + 2 * user.size()), fixed.data() + 68);
        qToLittleEndian(quint16(database.size()), fixed.data() + 70);
        return request(0x10, fixed + ucs2(user + database), false);
    }

    static QByteArray ucs2(const QString &text)
    {
        return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    }

    // An RPC by procedure number (or by name) with int and NTEXT parameters.
    static QByteArray rpc(const QVariant &procedure, const QVariantList &params)
    {
        QByteArray out;
        if (procedure.typeId() == QMetaType::Int) {
            out = hex("FFFF") + QByteArray(2, '\0');
            qToLittleEndian(quint16(procedure.toInt()), out.data() + 2);
        } else {
            const QString name = procedure.toString();
            out = QByteArray(1, char(name.size())) + '\0' + ucs2(name);
        }
        out += hex("0000");
        for (const QVariant &p : params) {
            out += hex("00 00");
            if (p.typeId() == QMetaType::QString) {
                QByteArray value(4, '\0');
                qToLittleEndian(quint32(p.toString().size() * 2), value.data());
                out += hex("63 FFFFFF7F") + collation() + value + ucs2(p.toString());
            } else if (p.isNull()) {
                out += hex("26 04 00");
            } else {
                QByteArray value(4, '\0');
                qToLittleEndian(qint32(p.toInt()), value.data());
                out += hex("26 04 04") + value;
            }
        }
        return out;
    }

private:
    QTcpSocket m_socket;
};

const QDateTime kWorkedInstant(QDate(2024, 1, 2), QTime(3, 4, 5, 678), Qt::UTC);

} // namespace

class TstTdsStandin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void cp1252_data();
    void cp1252();
    void dateTimeRounding_data();
    void dateTimeRounding();
    void parameter_data();
    void parameter();
    void cell_data();
    void cell();
    void doneTokens_data();
    void doneTokens();
    void packetsAtTheAgreedSize();
    void rawRequests();
    void requestsCountedAndDelayed();
    void faultMeetsItsStatementOfABatch_data();
    void faultMeetsItsStatementOfABatch();
    void guidRule_data();
    void guidRule();

    void driverReads_data();
    void driverReads();
    void driverWritesAccentedText();
    void driverSeesNoCountAndErrorAfterCount();
    void driverFindsObjectIdsByIndexAndCodePage();
    void driverMeetsLengths();
    void lengthsHoldTheSampleAndGeneratedServers();
    void driverMeetsFaults_data();
    void driverMeetsFaults();

private:
    QSqlDatabase connect(const QString &tdsVersion, const QString &options = {});
    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<TdsServer> m_server;
    int m_connections = 0;
};

void TstTdsStandin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_file = m_dir.filePath(QStringLiteral("tolva.sqlite"));
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        db.setDatabaseName(m_file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE Handler (CallHandlerObjectID TEXT PRIMARY KEY, TimeExpires "
                                      "TEXT, Locked INTEGER, DisplayName TEXT, Note TEXT, Counter INTEGER)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Handler VALUES ('{03020100-0504-0706-0809-0a0b0c0d0e0f}', "
                                      "'2024-01-02 03:04:05.678', 1, 'Zoë Ŵ', 'Müller €', 0)")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE CallHandler (CallHandlerObjectID TEXT PRIMARY KEY, TextName TEXT)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO CallHandler VALUES ('{03020100-0504-0706-0809-0A0B0C0D0E0F}', 'x')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    m_server = std::make_unique<TdsServer>();
    QVERIFY2(m_server->isListening(), qPrintable(m_server->error()));
    m_server->setDatabaseFile(QStringLiteral("TolvaDb"), m_file);
}

void TstTdsStandin::cleanup()
{
    for (const QString &name : QSqlDatabase::connectionNames())
        if (name.startsWith(QLatin1String("driver")))
            QSqlDatabase::removeDatabase(name);
}

void TstTdsStandin::cp1252_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readsBack");
    QTest::newRow("Latin-1 letters") << QStringLiteral("Müller ß") << hex("4D FC 6C 6C 65 72 20 DF") << true;
    QTest::newRow("0x80-0x9F") << QStringLiteral("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ")
                               << hex("80 82 83 84 85 86 87 88 89 8A 8B 8C 8E 91 92 93 94 95 96 97 98 99 9A 9B 9C 9E "
                                      "9F")
                               << true;
    QTest::newRow("bytes Windows leaves undefined") << QStringLiteral("\u0081\u008D\u008F\u0090\u009D")
                                                    << hex("81 8D 8F 90 9D") << true;
    QTest::newRow("outside the page") << QStringLiteral("Ŵ日") << hex("3F 3F") << false;
    QTest::newRow("outside the BMP: one '?'") << QStringLiteral("a😀b") << hex("61 3F 62") << false;
}

void TstTdsStandin::cp1252()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readsBack);
    QCOMPARE(toCp1252(text).toHex(' '), bytes.toHex(' '));
    if (readsBack)
        QCOMPARE(fromCp1252(bytes), text);
}

// SQL Server rounds datetime to .000, .003 or .007 seconds (its datetime
// documentation's table); day 0 is 1900-01-01.
void TstTdsStandin::dateTimeRounding_data()
{
    QTest::addColumn<QDateTime>("given");
    QTest::addColumn<int>("days");
    QTest::addColumn<QDateTime>("stored");
    const QDate day(1998, 1, 1);
    const int n = int(QDate(1900, 1, 1).daysTo(day));
    auto at = [](QDate d, int ms) { return QDateTime(d, QTime(23, 59, 59).addMSecs(ms), Qt::UTC); };
    for (auto [given, kept] : {std::pair{990, 990}, {991, 990}, {992, 993}, {993, 993}, {994, 993}, {995, 997},
                               {996, 997}, {997, 997}, {998, 997}})
        QTest::addRow("23:59:59.%d", given) << at(day, given) << n << at(day, kept);
    QTest::newRow(".999: the next day") << at(day, 999) << n + 1 << QDateTime(day.addDays(1), QTime(0, 0), Qt::UTC);
    QTest::newRow(".678 reads back as .677") << kWorkedInstant << 45291
                                             << QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 677), Qt::UTC);
    const QDateTime disabled(QDate(1993, 1, 2), QTime(0, 0), Qt::UTC);
    QTest::newRow("1993-01-02: day 33969") << disabled << 33969 << disabled;
    const QDateTime before(QDate(1899, 12, 31), QTime(12, 0), Qt::UTC);
    QTest::newRow("before 1900: negative days") << before << -1 << before;
}

void TstTdsStandin::dateTimeRounding()
{
    QFETCH(QDateTime, given);
    QFETCH(int, days);
    QFETCH(QDateTime, stored);
    const DateTimeWire wire = dateTimeToWire(given);
    QCOMPARE(wire.days, days);
    QCOMPARE(dateTimeFromWire(wire.days, wire.ticks), stored);
}

// Parameters as FreeTDS sends them (name and status first, then TYPE_INFO
// and value); the bytes are MS-TDS's worked forms.
void TstTdsStandin::parameter_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("type"); // -1: refused
    QTest::addColumn<QString>("value");
    const auto t = [](SqlType type) { return int(type); };
    QTest::newRow("INTN 4") << hex("26 04 04 D6 FF FF FF") << t(SqlType::Int) << "-42";
    QTest::newRow("INTN NULL") << hex("26 04 00") << t(SqlType::Int) << "<null>";
    QTest::newRow("INTN 8") << hex("26 08 08 00 00 00 00 01 00 00 00") << t(SqlType::BigInt) << "4294967296";
    QTest::newRow("BITN 1") << hex("68 01 01 01") << t(SqlType::Bit) << "true";
    QTest::newRow("BITN 0") << hex("68 01 01 00") << t(SqlType::Bit) << "false";
    QTest::newRow("FLTN 8") << hex("6D 08 08 00 00 00 00 00 00 F8 3F") << t(SqlType::Float) << "1.5";
    QTest::newRow("DATETIMN 8") << hex("6F 08 08 EB B0 00 00 27 90 32 00") << t(SqlType::DateTime)
                                << "2024-01-02T03:04:05.677Z";
    QTest::newRow("DATETIMN 4 (minutes)") << hex("6F 04 04 B1 84 3C 00") << t(SqlType::DateTime)
                                          << "1993-01-02T01:00:00.000Z";
    QTest::newRow("DATETIME2(7)") << hex("2A 07 08 E0 B4 BC B7 19 46 46 0B") << t(SqlType::DateTime)
                                  << "2024-01-02T03:04:05.678Z";
    QTest::newRow("DATETIME2(0), day 693595 = 1900-01-01") << hex("2A 00 06 00 00 00 5B 95 0A")
                                                           << t(SqlType::DateTime) << "1900-01-01T00:00:00.000Z";
    QTest::newRow("DATE") << hex("28 03 46 46 0B") << t(SqlType::DateTime) << "2024-01-02T00:00:00.000Z";
    QTest::newRow("TIME(7)") << hex("29 07 05 E0 B4 BC B7 19") << t(SqlType::DateTime) << "1900-01-01T03:04:05.678Z";
    QTest::newRow("NUMERIC(19,0)") << hex("6C 11 13 00 09 00 2A 00 00 00 00 00 00 00") << t(SqlType::BigInt) << "-42";
    QTest::newRow("DECIMAL(10,2)") << hex("6A 11 0A 02 05 01 39 30 00 00") << t(SqlType::Float) << "123.45";
    QTest::newRow("GUID") << hex("24 10 10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F") << t(SqlType::Guid)
                          << "03020100-0504-0706-0809-0A0B0C0D0E0F";
    QTest::newRow("VARCHAR in cp1252") << hex("A7 07 00 09 04 D0 00 34 06 00 4D FC 6C 6C 65 72") << t(SqlType::VarChar)
                                       << "Müller";
    QTest::newRow("VARCHAR NULL") << hex("A7 08 00 09 04 D0 00 00 FF FF") << t(SqlType::VarChar) << "<null>";
    QTest::newRow("NVARCHAR") << hex("E7 10 00 09 04 D0 00 00 04 00 5A 00 EB 00") << t(SqlType::NVarChar) << "Zë";
    QTest::newRow("VARBINARY(MAX) in one chunk")
        << hex("A5 FF FF 03 00 00 00 00 00 00 00 03 00 00 00 01 02 03 00 00 00 00") << t(SqlType::VarBinary)
        << "010203";
    QTest::newRow("VARBINARY(MAX) in two chunks")
        << hex("A5 FF FF FE FF FF FF FF FF FF FF 01 00 00 00 01 02 00 00 00 02 03 00 00 00 00")
        << t(SqlType::VarBinary) << "010203";
    QTest::newRow("VARBINARY(MAX) NULL") << hex("A5 FF FF FF FF FF FF FF FF FF FF") << t(SqlType::VarBinary) << "<null>";
    QTest::newRow("IMAGE") << hex("22 FF FF FF 7F 02 00 00 00 AB CD") << t(SqlType::Image) << "abcd";
    QTest::newRow("NTEXT") << hex("63 FF FF FF 7F 09 04 D0 00 00 04 00 00 00 40 00 50 00") << t(SqlType::NVarChar)
                           << "@P";
    QTest::newRow("INT4, a type FreeTDS never sends") << hex("38 2A 00 00 00") << -1 << "0x38";
    QTest::newRow("cut short") << hex("26 04 04 2A 00") << -1 << "ends";
}

void TstTdsStandin::parameter()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, type);
    QFETCH(QString, value);
    Reader in(QByteArray(2, '\0') + bytes); // unnamed, status 0
    try {
        const Parameter p = readParameter(in);
        QCOMPARE(int(p.value.type), type);
        QCOMPARE(shown(p.value.value), value);
        QVERIFY(in.atEnd());
    } catch (const WireError &e) {
        QCOMPARE(type, -1);
        QVERIFY2(e.message.contains(value), qPrintable(e.message));
    }
}

// A cell as SQL Server sends it in a ROW.
void TstTdsStandin::cell_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("bytes"); // empty: refused
    const auto t = [](SqlType type) { return int(type); };
    const QString guid = QStringLiteral("03020100-0504-0706-0809-0A0B0C0D0E0F");
    const QByteArray guidBytes = hex("10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
    QTest::newRow("int") << t(SqlType::Int) << 0 << QVariant(qint64(-2)) << hex("04 FE FF FF FF");
    QTest::newRow("int NULL") << t(SqlType::Int) << 0 << QVariant() << hex("00");
    QTest::newRow("bit 1") << t(SqlType::Bit) << 0 << QVariant(true) << hex("01 01");
    QTest::newRow("bit 0") << t(SqlType::Bit) << 0 << QVariant(false) << hex("01 00");
    QTest::newRow("bit NULL") << t(SqlType::Bit) << 0 << QVariant() << hex("00");
    QTest::newRow("datetime") << t(SqlType::DateTime) << 0 << QVariant(kWorkedInstant)
                              << hex("08 EB B0 00 00 27 90 32 00");
    QTest::newRow("datetime 1993-01-02") << t(SqlType::DateTime) << 0
                                         << QVariant(QDateTime(QDate(1993, 1, 2), QTime(0, 0), Qt::UTC))
                                         << hex("08 B1 84 00 00 00 00 00 00");
    QTest::newRow("uniqueidentifier") << t(SqlType::Guid) << 0 << QVariant(guid) << guidBytes;
    QTest::newRow("uniqueidentifier from braced lower case") << t(SqlType::Guid) << 0
                                                             << QVariant(u'{' + guid.toLower() + u'}') << guidBytes;
    QTest::newRow("uniqueidentifier that is no GUID") << t(SqlType::Guid) << 0 << QVariant(QStringLiteral("x"))
                                                      << QByteArray();
    QTest::newRow("varchar in cp1252") << t(SqlType::VarChar) << 50 << QVariant(QStringLiteral("Müller €"))
                                       << hex("08 00 4D FC 6C 6C 65 72 20 80");
    QTest::newRow("varchar NULL") << t(SqlType::VarChar) << 50 << QVariant() << hex("FF FF");
    QTest::newRow("nvarchar") << t(SqlType::NVarChar) << 100 << QVariant(QStringLiteral("Zŵ"))
                              << hex("04 00 5A 00 75 01");
    QTest::newRow("varchar(max) as PLP") << t(SqlType::VarChar) << 0xFFFF << QVariant(QStringLiteral("ab"))
                                         << hex("02 00 00 00 00 00 00 00 02 00 00 00 61 62 00 00 00 00");
    QTest::newRow("binary(12) padded") << t(SqlType::Binary) << 12 << QVariant(QByteArray("\x7F", 1))
                                       << hex("0C 00 7F 00 00 00 00 00 00 00 00 00 00 00");
    QTest::newRow("varbinary too long") << t(SqlType::VarBinary) << 2 << QVariant(QByteArray("abc")) << QByteArray();
}

void TstTdsStandin::cell()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, bytes);
    const Column column{QStringLiteral("C"), SqlType(type), size};
    try {
        QCOMPARE(token::row({column}, {Value{column.type, value}}).toHex(' '), (char(0xD1) + bytes).toHex(' '));
    } catch (const WireError &e) {
        QVERIFY2(bytes.isEmpty(), qPrintable(e.message));
        QVERIFY(e.message.contains(u'C'));
    }
}

// MORE on all but the last token of a reply, COUNT only where a statement
// counted (none under SET NOCOUNT ON), and an error after the counts that
// came before it, with the ERROR bit on its own DONE.
void TstTdsStandin::doneTokens_data()
{
    QTest::addColumn<QList<StatementResult>>("results");
    QTest::addColumn<bool>("inRpc");
    QTest::addColumn<QString>("tokens");
    StatementResult noCount, counted, failed;
    counted.count = 3;
    failed.error = ServerError{2627, QStringLiteral("Violation of PRIMARY KEY constraint")};
    QTest::newRow("empty batch") << QList<StatementResult>{} << false << "FD 00 0";
    QTest::newRow("batch") << QList{noCount, counted} << false << "FD 01 0; FD 10 3";
    QTest::newRow("batch under NOCOUNT") << QList{noCount, noCount} << false << "FD 01 0; FD 00 0";
    QTest::newRow("batch, error after a count") << QList{counted, failed} << false << "FD 11 3; AA 2627; FD 02 0";
    QTest::newRow("RPC: DONEINPROC, all MORE") << QList{noCount, counted} << true << "FF 01 0; FF 11 3";
    StatementResult warned;
    warned.error = ServerError{3621, QStringLiteral("The statement has been terminated."), 0};
    QTest::newRow("an informational message fails nothing") << QList{warned} << false << "AB; FD 00 0";
    QTest::newRow("RPC, error after a count") << QList{counted, failed, noCount} << true
                                              << "FF 11 3; AA 2627; FF 03 0; FF 01 0";
}

void TstTdsStandin::doneTokens()
{
    QFETCH(QList<StatementResult>, results);
    QFETCH(bool, inRpc);
    QFETCH(QString, tokens);
    QByteArray out;
    const bool failed = token::results(out, results, inRpc ? token::DoneInProc : token::Done, !inRpc, true);
    QCOMPARE(summary(out), tokens);
    QCOMPARE(failed, tokens.contains(QStringLiteral("AA ")));
}

// In a batch the fault meets the statement that carries its match: what ran
// before it stays, and the batch ends (1205) or goes on (1222, an error after
// the results) as SQL Server's would; the next batch shows whether the last
// SET NOCOUNT OFF ran.
void TstTdsStandin::faultMeetsItsStatementOfABatch_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("tokens");
    QTest::addColumn<QString>("next");
    using K = TdsServer::Fault::Kind;
    QTest::newRow("deadlock ends the batch") << int(K::Deadlock) << "FD 01 0; AA 1205; FD 02 0" << "FD 00 0";
    QTest::newRow("lock time-out ends the statement") << int(K::LockTimeout) << "FD 01 0; AA 1222; FD 03 0; FD 00 0"
                                                      << "FD 10 1";
    QTest::newRow("error after the count") << int(K::RowsThenError) << "FD 01 0; AA 50000; FD 03 0; FD 00 0"
                                           << "FD 10 1";
}

void TstTdsStandin::faultMeetsItsStatementOfABatch()
{
    QFETCH(int, kind);
    QFETCH(QString, tokens);
    QFETCH(QString, next);
    RawClient c(m_server->port());
    c.login(QStringLiteral("tolvadb"));
    TdsServer::Fault fault;
    fault.kind = TdsServer::Fault::Kind(kind);
    fault.match = QStringLiteral("update handler");
    m_server->addFault(fault);
    QCOMPARE(summary(c.request(1, RawClient::ucs2(QStringLiteral("SET NOCOUNT ON; UPDATE Handler SET Counter = 9; "
                                                                 "SET NOCOUNT OFF")))),
             tokens);
    m_server->clearFaults();
    QCOMPARE(summary(c.request(1, RawClient::ucs2(QStringLiteral("UPDATE Handler SET Counter = 0")))), next);
}

// What the stand-in takes for a GUID, by its own rule: braces or none,
// 8-4-4-4-12 hexadecimal digits in either case, nothing else.
void TstTdsStandin::guidRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("guid"); // "": no GUID
    const QString id = QStringLiteral("0A0B0C0D-0E0F-4A5B-8C9D-AEBFCADBECFD");
    QTest::newRow("bare") << id << id;
    QTest::newRow("braced lower case") << u'{' + id.toLower() + u'}' << id;
    QTest::newRow("one brace") << u'{' + id << "";
    QTest::newRow("a blank around it") << u' ' + id << "";
    QTest::newRow("a letter beyond F") << QString(id).replace(0, 1, u'G') << "";
    QTest::newRow("a dash out of place") << QString(id).replace(8, 2, QStringLiteral("E-")) << "";
    QTest::newRow("no dashes") << QString(id).remove(u'-') << "";
}

void TstTdsStandin::guidRule()
{
    QFETCH(QString, text);
    QFETCH(QString, guid);
    QCOMPARE(guidText(text), guid);
    QCOMPARE(guidToWire(text).isEmpty(), guid.isEmpty());
    if (!guid.isEmpty())
        QCOMPARE(guidFromWire(guidToWire(text)), guid);
}

void TstTdsStandin::packetsAtTheAgreedSize()
{
    const QByteArray message(1000, 'x');
    const QByteArray wire = packets(message, 512, 51);
    QCOMPARE(wire.size(), message.size() + 2 * 8);
    QCOMPARE(wire.left(8).toHex(' '), QByteArray("04 00 02 00 00 33 01 00"));
    QCOMPARE(wire.mid(512, 8).toHex(' '), QByteArray("04 01 01 f8 00 33 02 00"));
}

// The login reply, the prepared-statement procedures by number and by name,
// the transaction requests (each end before the next begin) and attention,
// each answered as SQL Server answers; what the stand-in cannot take is an error.
void TstTdsStandin::rawRequests()
{
    RawClient c(m_server->port());
    QCOMPARE(summary(RawClient(m_server->port()).login(QStringLiteral("nosuchdb"))), "AA 4060; AA 18456; FD 02 0");
    QCOMPARE(summary(c.login(QStringLiteral("tolvadb"))), "E3 1; E3 7; E3 4; AD; FD 00 0");

    const QString update = QStringLiteral("UPDATE Handler SET Locked = @P1");
    const QString declared = QStringLiteral("@P1 INT");
    QCOMPARE(summary(c.request(3, RawClient::rpc(13, {QVariant(), declared, update, 1}))), "FF 11 1; 79 0; AC 1; FE 00 0");
    QCOMPARE(summary(c.request(3, RawClient::rpc(12, {1, 0}))), "FF 11 1; 79 0; FE 00 0");
    QCOMPARE(summary(c.request(3, RawClient::rpc(QStringLiteral("sp_execute"), {1, 1}))), "FF 11 1; 79 0; FE 00 0");
    QCOMPARE(summary(c.request(3, RawClient::rpc(15, {1}))), "79 0; FE 00 0");
    QCOMPARE(summary(c.request(3, RawClient::rpc(12, {1, 1}))), "AA 8179; FE 02 0");
    QCOMPARE(summary(c.request(3, RawClient::rpc(10, {update, declared}))), "AA 8178; FE 02 0");
    QCOMPARE(summary(c.request(3, RawClient::rpc(QStringLiteral("sp_nothing"), {}))), "AA 2812; FE 02 0");

    QCOMPARE(summary(c.request(0x0E, hex("0500 00 00"))), "E3 8; FD 00 0");
    QCOMPARE(summary(c.request(0x0E, hex("0700 00 01 00 00"))), "E3 9; E3 8; FD 00 0");
    QCOMPARE(summary(c.request(0x0E, hex("0800 00 00"))), "E3 10; FD 00 0");
    QCOMPARE(summary(c.request(0x0E, hex("0800 00 00"))).left(7), "AA 3903");

    QCOMPARE(summary(c.request(6, {}, false)), "FD 20 0");
    QCOMPARE(summary(c.request(7, {})), "AA 4002; FD 02 0");
}

// What the stand-in counts (one per message after the login, however many
// RPCs it holds), and that replies held back for the latency keep their order.
void TstTdsStandin::requestsCountedAndDelayed()
{
    RawClient c(m_server->port());
    c.login(QStringLiteral("tolvadb"));
    m_server->resetRequestCount();
    const QByteArray update = RawClient::rpc(10, {QStringLiteral("UPDATE Handler SET Locked = 1"), QVariant()});
    QCOMPARE(summary(c.request(3, update + '\xFF' + update)), "FF 11 1; 79 0; FE 01 0; FF 11 1; 79 0; FE 00 0");
    QCOMPARE(summary(c.request(0x0E, hex("0500 00 00"))), "E3 8; FD 00 0");
    m_server->setReplyDelay(30);
    c.send(0x0E, hex("0800 00 00"));
    c.send(6, {}, false);
    QCOMPARE(summary(c.reply()), "E3 10; FD 00 0");
    QCOMPARE(summary(c.reply()), "FD 20 0");
    m_server->setReplyDelay(0);
    QCOMPARE(m_server->requestCount(), 4);
}

QSqlDatabase TstTdsStandin::connect(const QString &tdsVersion, const QString &options)
{
    auto db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("driver%1").arg(++m_connections));
    db.setDatabaseName(QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=TolvaDb;UID=x;PWD=y;"
                                      "TDS_Version=%2;ClientCharset=UTF-8;%3")
                           .arg(m_server->port())
                           .arg(tdsVersion, options));
    if (!db.open())
        qWarning() << db.lastError().text();
    return db;
}

// What the program reads through FreeTDS of each column type.
void TstTdsStandin::driverReads_data()
{
    QTest::addColumn<QString>("tdsVersion");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected");
    for (const char *version : {"7.1", "7.4"}) {
        QTest::addRow("%s uniqueidentifier: upper case, no braces", version)
            << version << "CallHandlerObjectID" << QVariant(QStringLiteral("03020100-0504-0706-0809-0A0B0C0D0E0F"));
        QTest::addRow("%s datetime: .678 stored, .677 read", version)
            << version << "TimeExpires" << QVariant(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 677)));
        QTest::addRow("%s bit", version) << version << "Locked" << QVariant(1);
        QTest::addRow("%s varchar in cp1252", version) << version << "Note" << QVariant(QStringLiteral("Müller €"));
        QTest::addRow("%s nvarchar", version) << version << "DisplayName" << QVariant(QStringLiteral("Zoë Ŵ"));
    }
}

void TstTdsStandin::driverReads()
{
    QFETCH(QString, tdsVersion);
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    QSqlDatabase db = connect(tdsVersion);
    QVERIFY(db.isOpen());
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QVERIFY2(q.exec(QStringLiteral("SELECT %1 FROM Handler").arg(column)), qPrintable(q.lastError().text()));
    QVERIFY(q.next());
    QVariant value = q.value(0);
    QVERIFY(value.convert(expected.metaType()));
    QCOMPARE(value, expected);
}

// A bound text goes as VARCHAR in the announced code page and arrives whole.
void TstTdsStandin::driverWritesAccentedText()
{
    QSqlDatabase db = connect(QStringLiteral("7.4"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QVERIFY(q.prepare(QStringLiteral("SELECT Note FROM Handler WHERE Note = ?")));
    q.addBindValue(QStringLiteral("Müller €"));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("Müller €"));
}

void TstTdsStandin::driverSeesNoCountAndErrorAfterCount()
{
    QSqlDatabase db = connect(QStringLiteral("7.4"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QVERIFY2(q.exec(QStringLiteral("UPDATE Handler SET Locked = 1")), qPrintable(q.lastError().text()));
    QCOMPARE(q.numRowsAffected(), 1);
    QVERIFY(q.exec(QStringLiteral("SET NOCOUNT ON; UPDATE Handler SET Locked = 1; SET NOCOUNT OFF")));
    QCOMPARE(q.numRowsAffected(), -1);

    // The update's count comes first, then the duplicate key's error: the call fails, the update stays.
    QVERIFY(q.prepare(QStringLiteral("UPDATE Handler SET Locked = 0; INSERT INTO Handler (CallHandlerObjectID) "
                                     "SELECT CallHandlerObjectID FROM Handler")));
    QVERIFY(!q.exec());
    QCOMPARE(q.lastError().nativeErrorCode(), QStringLiteral("2627"));
    QVERIFY(q.exec(QStringLiteral("SELECT Locked FROM Handler")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

// An ObjectID is found by value (the file holds it braced, in lower case),
// through an index; the database's code page is the collation's.
void TstTdsStandin::driverFindsObjectIdsByIndexAndCodePage()
{
    QSqlDatabase db = connect(QStringLiteral("7.4"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    for (const char *prefix : {"", "EXPLAIN QUERY PLAN "}) {
        QVERIFY(q.prepare(QLatin1String(prefix) + QStringLiteral("SELECT Note FROM Handler WHERE CallHandlerObjectID = ?")));
        q.addBindValue(QStringLiteral("03020100-0504-0706-0809-0A0B0C0D0E0F"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        if (*prefix)
            QVERIFY2(q.value(3).toString().contains(QLatin1String("USING INDEX")), qPrintable(q.value(3).toString()));
        else
            QCOMPARE(q.value(0).toString(), QStringLiteral("Müller €"));
    }
    QVERIFY(q.exec(QStringLiteral("SELECT CONVERT(int, COLLATIONPROPERTY(CONVERT(nvarchar(128), DATABASEPROPERTYEX("
                                  "DB_NAME(), 'Collation')), 'CodePage')) AS CodePage")));
    QVERIFY(q.next());
    QCOMPARE(q.record().fieldName(0), QStringLiteral("CodePage"));
    QCOMPARE(q.value(0).toInt(), 1252);
}

// A bounded column as SQL Server has it: its length in the metadata and the
// parameter look-up, a longer direct write refused, a longer procedure
// argument cut without a word; a longer value stored around the server still
// reads whole.
void TstTdsStandin::driverMeetsLengths()
{
    QSqlDatabase db = connect(QStringLiteral("7.4"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QVERIFY(q.exec(QStringLiteral("SELECT DisplayName FROM Handler")));
    QCOMPARE(q.record().field(0).length(), 40);
    q.finish();

    QVERIFY(q.exec(QStringLiteral("SELECT PARAMETER_NAME, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.PARAMETERS "
                                  "WHERE SPECIFIC_NAME = 'sp_ModifyCallHandler' ORDER BY ORDINAL_POSITION")));
    QStringList lengths;
    while (q.next())
        lengths << q.value(0).toString() + u' ' + (q.isNull(1) ? QStringLiteral("-") : q.value(1).toString());
    QCOMPARE(lengths.mid(0, 4).join(QStringLiteral(", ")),
             QStringLiteral("@CallHandlerObjectID -, @TextName 40, @DTMFAccessID 30, @Language -"));

    const QString name41(41, u'n');
    for (const QString &name : {name41, name41.left(40)}) {
        QVERIFY(q.prepare(QStringLiteral("UPDATE Handler SET DisplayName = ?")));
        q.addBindValue(name);
        QCOMPARE(q.exec() ? QStringLiteral("ok") : q.lastError().nativeErrorCode(),
                 name.size() > 40 ? QStringLiteral("8152") : QStringLiteral("ok"));
    }
    QVERIFY(q.prepare(QStringLiteral("SET NOCOUNT ON; EXEC sp_ModifyCallHandler @CallHandlerObjectID = ?, @TextName = ?; "
                                     "SET NOCOUNT OFF")));
    q.addBindValue(QStringLiteral("03020100-0504-0706-0809-0A0B0C0D0E0F"));
    q.addBindValue(name41);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QVERIFY(q.exec(QStringLiteral("SELECT TextName FROM CallHandler")) && q.next());
    QCOMPARE(q.value(0).toString(), name41.left(40));
    q.finish();

    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("around"));
        file.setDatabaseName(m_file);
        QVERIFY(file.open());
        QVERIFY(QSqlQuery(file).exec(QStringLiteral("UPDATE Handler SET DisplayName = '%1'").arg(QString(10000, u'w'))));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("around"));
    // It goes as a MAX type, which Qt 6.4 reads through FreeTDS as empty:
    // only the rest of the row can be held to.
    QVERIFY2(q.exec(QStringLiteral("SELECT DisplayName, Note FROM Handler")) && q.next(), qPrintable(q.lastError().text()));
    QCOMPARE(q.value(1).toString(), QStringLiteral("Müller €"));
    QVERIFY(!q.lastError().isValid());
    q.finish();
    QVERIFY(q.exec(QStringLiteral("UPDATE Handler SET DisplayName = N'Zoë Ŵ'")));
}

// Every value of the sample and of a generated server fits its column's bound.
void TstTdsStandin::lengthsHoldTheSampleAndGeneratedServers()
{
    QString error;
    const auto sample = quillor::embedded::createSampleServer(m_dir.filePath(QStringLiteral("sample")), {}, &error);
    QVERIFY2(sample, qPrintable(error));
    const auto generated = quillor::embedded::createGeneratedServer(m_dir.filePath(QStringLiteral("generated")),
                                                                    {2000, 7, 4}, &error);
    QVERIFY2(generated, qPrintable(error));
    QStringList longer;
    for (const QString &file : {sample->mainDatabase, sample->directoryDatabase, generated->mainDatabase,
                                generated->directoryDatabase}) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lengths"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("SELECT m.name, c.name FROM sqlite_master m, pragma_table_info(m.name) c "
                                          "WHERE m.type = 'table'")));
            QList<std::pair<QString, QString>> columns;
            while (q.next())
                columns << std::pair{q.value(0).toString(), q.value(1).toString()};
            for (const auto &[table, column] : columns) {
                const int bound = maxLength(column);
                if (bound == 0)
                    continue;
                QVERIFY(q.exec(QStringLiteral("SELECT max(length(\"%1\")) FROM \"%2\"").arg(column, table)) && q.next());
                if (q.value(0).toInt() > bound)
                    longer << QStringLiteral("%1.%2: %3 > %4").arg(table, column).arg(q.value(0).toInt()).arg(bound);
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lengths"));
    }
    QVERIFY2(longer.isEmpty(), qPrintable(longer.join(QStringLiteral("; "))));
}

// Each fault as the driver meets it, on one or two bound updates (the second
// the one hit when `skip` is 1), inside a transaction or not: what each
// statement and the commit gave, whether the connection still runs a
// statement, and what a new connection then finds stored (and can write).
void TstTdsStandin::driverMeetsFaults_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("skip");
    QTest::addColumn<bool>("inTransaction");
    QTest::addColumn<QString>("options"); // of the connection
    QTest::addColumn<QString>("outcome");
    using K = TdsServer::Fault::Kind;
    const auto k = [](K kind) { return int(kind); };
    QTest::newRow("cut before") << k(K::CutBefore) << 0 << false << "" << "7 cut; then cut; stored 0";
    QTest::newRow("cut after, committed") << k(K::CutAfter) << 0 << false << "" << "7 cut; then cut; stored 7";
    QTest::newRow("cut after, in a transaction") << k(K::CutAfter) << 1 << true << ""
                                                 << "5 ok; 7 cut; commit cut; then cut; stored 0";
    QTest::newRow("cut at the commit") << k(K::CutAtCommit) << 0 << true << "" << "7 ok; commit cut; then cut; stored 0";
    QTest::newRow("deadlock: the transaction rolled back")
        << k(K::Deadlock) << 1 << true << "" << "5 ok; 7 1205; commit 3902; then ok; stored 0";
    QTest::newRow("lock time-out: the transaction kept")
        << k(K::LockTimeout) << 1 << true << "" << "5 ok; 7 1222; commit ok; then ok; stored 5";
    QTest::newRow("stall, then run") << k(K::Stall) << 0 << false << "" << "7 ok; then ok; stored 7";
    QTest::newRow("stall cancelled by the time-out") << k(K::Stall) << 0 << false << "Timeout=1"
                                                     << "7 timeout; then ok; stored 0";
    QTest::newRow("error after the count") << k(K::RowsThenError) << 0 << false << ""
                                           << "7 50000; then ok; stored 7";
}

void TstTdsStandin::driverMeetsFaults()
{
    QFETCH(int, kind);
    QFETCH(int, skip);
    QFETCH(bool, inTransaction);
    QFETCH(QString, options);
    QFETCH(QString, outcome);
    const auto said = [](const QSqlError &e) {
        // What FreeTDS says of a server gone: on the read that finds it gone, then on later writes.
        for (const char *gone : {"Unexpected EOF from the server", "Write to the server failed",
                                 "Communication link failure"})
            if (e.text().contains(QLatin1String(gone)))
                return QStringLiteral("cut");
        if (e.text().contains(QLatin1String("Timeout expired")))
            return QStringLiteral("timeout");
        return e.nativeErrorCode();
    };
    QStringList got;
    {
        QSqlDatabase db = connect(QStringLiteral("7.4"), options);
        QVERIFY(db.isOpen());
        const int hitBefore = m_server->faultsHit();
        TdsServer::Fault fault;
        fault.kind = TdsServer::Fault::Kind(kind);
        fault.match = QStringLiteral("set counter");
        fault.skip = skip;
        fault.seconds = options.isEmpty() ? 1 : 30;
        m_server->addFault(fault);
        QVERIFY(!inTransaction || db.transaction());
        QSqlQuery q(db);
        q.setForwardOnly(true);
        for (int value : skip ? QList{5, 7} : QList{7}) {
            QVERIFY(q.prepare(QStringLiteral("UPDATE Handler SET Counter = ?")));
            q.addBindValue(value);
            got << QStringLiteral("%1 %2").arg(value).arg(q.exec() ? QStringLiteral("ok") : said(q.lastError()));
        }
        if (inTransaction)
            got << QStringLiteral("commit ") + (db.commit() ? QStringLiteral("ok") : said(db.lastError()));
        got << QStringLiteral("then ") + (q.exec(QStringLiteral("SELECT 1")) ? QStringLiteral("ok") : said(q.lastError()));
        m_server->clearFaults();
        QCOMPARE(m_server->faultsHit(), hitBefore + 1);
    }
    QSqlDatabase fresh = connect(QStringLiteral("7.4"));
    QSqlQuery q(fresh);
    q.setForwardOnly(true);
    QVERIFY(q.exec(QStringLiteral("SELECT Counter FROM Handler")) && q.next());
    got << QStringLiteral("stored ") + q.value(0).toString();
    QVERIFY2(q.exec(QStringLiteral("UPDATE Handler SET Counter = 0")), qPrintable(q.lastError().text()));
    QCOMPARE(got.join(QStringLiteral("; ")), outcome);
}

QTEST_GUILESS_MAIN(TstTdsStandin)
#include "tst_tdsstandin.moc"
