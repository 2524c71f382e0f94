#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace quillor::platform;

namespace {

const QString kV4 = QStringLiteral("REGEDIT4\r\n\r\n");
const QString kV5 = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n");
const QString kSource = QStringLiteral("/profiles/server.reg");

enum Enc { Utf8, Utf8Bom, Utf16Bom, Utf16NoBom, Cp1252 };

QByteArray encode(const QString &text, Enc enc)
{
    switch (enc) {
    case Utf8: return text.toUtf8();
    case Utf8Bom: return "\xEF\xBB\xBF" + text.toUtf8();
    case Utf16Bom:
    case Utf16NoBom: {
        QByteArray out = enc == Utf16Bom ? QByteArray("\xFF\xFE") : QByteArray();
        for (QChar c : text)
            out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
        return out;
    }
    case Cp1252: {
        QByteArray out;
        for (QChar c : text)
            out.append(c == u'€' ? '\x80' : char(c.unicode()));
        return out;
    }
    }
    return {};
}

// Every root is absent once a load has failed.
bool isEmpty(const Registry &reg)
{
    for (int r = 0; r < 5; ++r)
        if (reg.subKeys(RootKey(r), {}))
            return false;
    return reg.fileName().isEmpty();
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT
private slots:
    void encodings_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("enc");
        QTest::addColumn<QString>("eol");
        QTest::newRow("v4 utf-8") << kV4 << int(Utf8) << "\r\n";
        QTest::newRow("v4 windows-1252") << kV4 << int(Cp1252) << "\r\n";
        QTest::newRow("v4 utf-8 lf only") << kV4 << int(Utf8) << "\n";
        QTest::newRow("v5 utf-16 bom") << kV5 << int(Utf16Bom) << "\r\n";
        QTest::newRow("v5 utf-16 no bom") << kV5 << int(Utf16NoBom) << "\r\n";
        QTest::newRow("v5 utf-8") << kV5 << int(Utf8) << "\r\n";
        QTest::newRow("v5 utf-8 bom") << kV5 << int(Utf8Bom) << "\n";
    }
    void encodings()
    {
        QFETCH(QString, header);
        QFETCH(int, enc);
        QFETCH(QString, eol);
        const QString text = header + QStringLiteral("; greeting%1[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q]%1"
                                                     "\"Greeting\"=\"Grüße €\"%1").arg(eol);
        Registry reg;
        QString error;
        QVERIFY2(reg.loadData(encode(text, Enc(enc)), kSource, &error), qPrintable(error));
        const auto v = reg.value(RootKey::LocalMachine, "SOFTWARE\\Q", "greeting");
        QVERIFY(v);
        QCOMPARE(v->data.toString(), QStringLiteral("Grüße €"));
        QCOMPARE(reg.fileName(), kSource);
    }

    void values_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type"); // -1: the value is absent
        QTest::addColumn<QVariant>("data");
        const auto sz = int(RegType::Sz);
        QTest::newRow("escaped backslash") << kV5 << "\"v\"=\"a\\\\b\"" << "v" << sz << QVariant("a\\b");
        QTest::newRow("escaped quote") << kV5 << "\"v\"=\"say \\\"hi\\\"\"" << "v" << sz << QVariant("say \"hi\"");
        QTest::newRow("lone backslashes kept") << kV5 << "\"v\"=\"C:\\Temp\\new\"" << "v" << sz
                                               << QVariant("C:\\Temp\\new");
        QTest::newRow("ends in backslash") << kV5 << "\"v\"=\"C:\\\\\"" << "v" << sz << QVariant("C:\\");
        QTest::newRow("escaped name") << kV5 << "\"a\\\"b\"=\"x\"" << "a\"b" << sz << QVariant("x");
        QTest::newRow("empty string") << kV5 << "\"v\"=\"\"" << "v" << sz << QVariant(QString());
        QTest::newRow("default value") << kV5 << "@=\"def\"" << "" << sz << QVariant("def");
        QTest::newRow("name any case") << kV5 << "\"MaxUsers\"=\"9\"" << "MAXusers" << sz << QVariant("9");
        QTest::newRow("later replaces") << kV5 << "\"v\"=\"1\"\n\"V\"=dword:2" << "v" << int(RegType::Dword)
                                        << QVariant::fromValue(2u);
        QTest::newRow("deleted") << kV5 << "\"v\"=\"1\"\n\"V\"=-" << "v" << -1 << QVariant();
        QTest::newRow("default deleted") << kV5 << "@=\"1\"\n@=-" << "" << -1 << QVariant();
        QTest::newRow("dword zero") << kV4 << "\"d\"=dword:00000000" << "d" << int(RegType::Dword)
                                    << QVariant::fromValue(0u);
        QTest::newRow("dword max") << kV4 << "\"d\"=dword:ffffffff" << "d" << int(RegType::Dword)
                                   << QVariant::fromValue(0xffffffffu);
        QTest::newRow("dword upper") << kV5 << "\"d\"=DWORD:0000ABCD" << "d" << int(RegType::Dword)
                                     << QVariant::fromValue(0xabcdu);
        QTest::newRow("hex") << kV5 << "\"b\"=hex:00,ff,10" << "b" << int(RegType::Binary)
                             << QVariant(QByteArray("\x00\xff\x10", 3));
        QTest::newRow("hex empty") << kV5 << "\"b\"=hex:" << "b" << int(RegType::Binary) << QVariant(QByteArray());
        QTest::newRow("hex continued") << kV5 << "\"b\"=hex:01,02,\\\n  03,\\\n  04" << "b" << int(RegType::Binary)
                                       << QVariant(QByteArray("\x01\x02\x03\x04"));
        QTest::newRow("hex(2) v5") << kV5 << "\"e\"=hex(2):25,00,fc,00,00,00" << "e" << int(RegType::ExpandSz)
                                   << QVariant("%ü");
        QTest::newRow("hex(2) v4") << kV4 << "\"e\"=hex(2):25,41,00" << "e" << int(RegType::ExpandSz) << QVariant("%A");
        QTest::newRow("hex(7) v5") << kV5 << "\"m\"=hex(7):61,00,00,00,62,00,\\\n  63,00,00,00,00,00" << "m"
                                   << int(RegType::MultiSz) << QVariant(QStringList{"a", "bc"});
        QTest::newRow("hex(7) v4") << kV4 << "\"m\"=hex(7):61,00,62,63,00,00" << "m" << int(RegType::MultiSz)
                                   << QVariant(QStringList{"a", "bc"});
        QTest::newRow("hex(7) empty") << kV5 << "\"m\"=hex(7):00,00" << "m" << int(RegType::MultiSz)
                                      << QVariant(QStringList{});
        QTest::newRow("hex(b)") << kV5 << "\"q\"=hex(b):01,00,00,00,00,00,00,80" << "q" << int(RegType::Qword)
                                << QVariant::fromValue(Q_UINT64_C(0x8000000000000001));
        QTest::newRow("hex(0) raw") << kV5 << "\"n\"=hex(0):" << "n" << 0 << QVariant(QByteArray());
        QTest::newRow("hex(a) raw") << kV5 << "\"r\"=hex(a):7f" << "r" << 10 << QVariant(QByteArray("\x7f"));
    }
    void values()
    {
        QFETCH(QString, header);
        QFETCH(QString, lines);
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(QVariant, data);
        Registry reg;
        QString error;
        const QString text = header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q]\r\n" + lines + "\r\n";
        QVERIFY2(reg.loadData(encode(text, header == kV5 ? Utf16Bom : Utf8), kSource, &error), qPrintable(error));
        const auto v = reg.value(RootKey::LocalMachine, "SOFTWARE\\Q", name);
        QCOMPARE(bool(v), type >= 0);
        if (!v)
            return;
        QCOMPARE(int(v->type), type);
        QCOMPARE(v->data.metaType(), data.metaType());
        QCOMPARE(v->data, data);
    }

    void keys_data()
    {
        QTest::addColumn<int>("root");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QStringList>("subKeys");
        const int lm = int(RootKey::LocalMachine);
        QTest::newRow("plain") << lm << "SOFTWARE\\Q\\Server" << true << QStringList{};
        QTest::newRow("any case") << lm << "software\\q\\SERVER" << true << QStringList{};
        QTest::newRow("trailing and doubled") << lm << "\\SOFTWARE\\\\Q\\Server\\" << true << QStringList{};
        QTest::newRow("written with doubled separators") << lm << "SOFTWARE\\Q\\Mail" << true << QStringList{};
        QTest::newRow("order and case as written") << lm << "SOFTWARE\\Q\\Order" << true
                                                   << QStringList{"alpha", "Beta", "DELTA", "gamma"};
        QTest::newRow("deleted subtree") << lm << "SOFTWARE\\Q\\Old" << false << QStringList{};
        QTest::newRow("deleted child") << lm << "SOFTWARE\\Q\\Old\\Child" << false << QStringList{};
        QTest::newRow("recreated after delete") << lm << "SOFTWARE\\Q\\Gone\\Again" << true << QStringList{};
        QTest::newRow("root itself") << lm << "" << true << QStringList{"SOFTWARE"};
        QTest::newRow("short root") << int(RootKey::CurrentUser) << "Software" << true << QStringList{"Q"};
        QTest::newRow("absent root") << int(RootKey::Users) << "" << false << QStringList{};
        QTest::newRow("absent key") << lm << "SOFTWARE\\Nope" << false << QStringList{};
        QTest::newRow("absent under leaf") << lm << "SOFTWARE\\Q\\Server\\X" << false << QStringList{};
    }
    void keys()
    {
        QFETCH(int, root);
        QFETCH(QString, path);
        QFETCH(bool, exists);
        QFETCH(QStringList, subKeys);
        const QString text = kV5 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Server]\n"
                             "\"Port\"=dword:00000019\n"
                             "[HKCU\\Software\\Q]\n"
                             "[HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\\\\\Q\\\\Mail\\\\]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Order\\gamma]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Order\\Beta]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Order\\alpha]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Order\\DELTA]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Order\\delta]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Old\\Child]\n"
                             "[-HKEY_LOCAL_MACHINE\\software\\q\\OLD]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Gone]\n"
                             "[-HKLM\\SOFTWARE\\Q\\Gone]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q\\Gone\\Again]\n";
        Registry reg;
        QString error;
        QVERIFY2(reg.loadData(encode(text, Utf16Bom), kSource, &error), qPrintable(error));
        QCOMPARE(reg.keyExists(RootKey(root), path), exists);
        const auto names = reg.subKeys(RootKey(root), path);
        QCOMPARE(bool(names), exists);
        if (names)
            QCOMPARE(*names, subKeys);
    }

    void sectionsMergeAndDeletedSectionsDropValues()
    {
        const QString text = kV4 + "[HKLM\\S\\Q]\n"
                             "\"Port\"=dword:19\n"
                             "\"Host\"=\"old\"\n"
                             "[HKLM\\S\\Other]\n"
                             "[hkey_local_machine\\s\\q]\n"
                             "\"Host\"=\"pbx\"\n"
                             "[-HKLM\\S\\Other]\n"
                             "\"Stray\"=\"x\"\n";
        Registry reg;
        QVERIFY(reg.loadData(text.toUtf8(), kSource));
        QCOMPARE(reg.value(RootKey::LocalMachine, "S\\Q", "port")->data, QVariant::fromValue(0x19u));
        QCOMPARE(reg.value(RootKey::LocalMachine, "S\\Q", "host")->data.toString(), QStringLiteral("pbx"));
        QVERIFY(!reg.keyExists(RootKey::LocalMachine, "S\\Other"));
        QVERIFY(!reg.value(RootKey::LocalMachine, "S\\Q", "Stray"));
    }

    void errors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line"); // 0: the message names no line
        QTest::addColumn<QString>("phrase");
        // The header, a blank line, a key and a value come first, so errors start at line 5.
        const QString pre = kV5 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Before]\r\n\"ok\"=\"1\"\r\n";
        auto row = [&](const char *tag, const QString &body, int line, const char *phrase) {
            QTest::newRow(tag) << encode(pre + body, Utf16Bom) << line << QString::fromLatin1(phrase);
        };
        QTest::newRow("unknown header") << QByteArray("REGEDIT5\r\n[HKLM\\S]\r\n") << 1 << "not a registry export";
        QTest::newRow("comment before header") << QByteArray("\r\n; x\r\nREGEDIT4\r\n") << 2 << "not a registry export";
        // Binary files are named as such, never quoted (their bytes would show cut at the first NUL).
        QTest::newRow("binary file") << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0", 20) << 0
                                     << "binary data";
        QTest::newRow("binary text-like") << QByteArray("PK\x03\x04\x14\0\0\0\x08\0REGEDIT4", 18) << 0 << "binary data";
        QTest::newRow("empty file") << QByteArray() << 0 << "empty";
        QTest::newRow("blank file") << QByteArray(" \r\n\r\n") << 0 << "empty";
        QTest::newRow("value outside key") << encode(kV5 + "\"a\"=\"b\"\r\n", Utf8) << 3 << "outside any key";
        row("unterminated value", "\"a\"=\"b\r\n", 5, "unterminated string");
        row("unterminated name", "\"a=\"b\"\r\n", 5, "missing '='");
        row("escaped closing quote", "\"a\"=\"b\\\"\r\n", 5, "unterminated string");
        row("text after string", "\"a\"=\"b\" c\r\n", 5, "unexpected text");
        row("bad hex digit", "\"a\"=hex:0g\r\n", 5, "bad hex value");
        row("hex too long", "\"a\"=hex:123\r\n", 5, "bad hex value");
        row("hex empty item", "\"a\"=hex:01,,02\r\n", 5, "bad hex value");
        row("bad hex on continuation", "\"a\"=hex:01,\\\r\n  02,\\\r\n  zz\r\n", 7, "bad hex value");
        row("bad hex type", "\"a\"=hex(z):00\r\n", 5, "bad value type");
        row("short qword", "\"a\"=hex(b):01,02\r\n", 5, "bad qword value");
        row("dword too long", "\"a\"=dword:123456789\r\n", 5, "bad dword value");
        row("dword empty", "\"a\"=dword:\r\n", 5, "bad dword value");
        row("dword not hex", "\"a\"=dword:12x4\r\n", 5, "bad dword value");
        row("unknown data", "\"a\"=sz:\"x\"\r\n", 5, "bad value data");
        row("unclosed key", "[HKEY_LOCAL_MACHINE\\Foo\r\n", 5, "bad key line");
        row("empty key", "[\\]\r\n", 5, "bad key line");
        row("unknown root", "[HKEY_NOWHERE\\Foo]\r\n", 5, "unknown root key");
        row("stray text", "garbage\r\n", 5, "unrecognised line");
    }
    void errors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QFETCH(QString, phrase);
        Registry reg;
        QVERIFY(reg.loadData(encode(kV4 + "[HKCU\\Earlier]\r\n", Utf8), "/earlier.reg"));
        QString error;
        QVERIFY(!reg.loadData(bytes, kSource, &error));
        QVERIFY2(error.startsWith("The registry file " + kSource + " could not be read: "), qPrintable(error));
        QVERIFY2(error.contains(phrase), qPrintable(error));
        QCOMPARE(error.contains(QStringLiteral("line %1:").arg(line)), line > 0);
        if (error.contains(QStringLiteral("not a registry export")))
            QVERIFY2(error.contains(R"("REGEDIT4" or "Windows Registry Editor Version 5.00")"), qPrintable(error));
        // Nothing of the file that a message box would not show as it is.
        QVERIFY2(std::all_of(error.cbegin(), error.cend(), [](QChar c) { return c.isPrint(); }), qPrintable(error));
        QVERIFY(isEmpty(reg));
    }

    void files()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("server.reg");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(encode(kV5 + "[HKLM\\S]\r\n", Utf16Bom));
        f.close();

        Registry reg;
        QString error;
        QVERIFY2(reg.loadFile(dir.path() + "/./server.reg", &error), qPrintable(error));
        QCOMPARE(reg.fileName(), QDir::cleanPath(path));
        QCOMPARE(reg.folder(), QDir::cleanPath(dir.path()));
        QVERIFY(reg.keyExists(RootKey::LocalMachine, "S"));

        for (const QString &bad : {dir.filePath("missing.reg"), dir.path()}) {
            QVERIFY(!reg.loadFile(bad, &error));
            QVERIFY2(error.startsWith("The registry file " + QDir::cleanPath(bad) + " could not be read: "),
                     qPrintable(error));
            QVERIFY(isEmpty(reg));
            QCOMPARE(reg.folder(), QString());
        }
    }

    // Damaged profiles must give an answer, never a crash: every truncation
    // (odd byte counts included), random byte damage and a very long line.
    void damagedInput()
    {
        const QByteArray good = encode(kV5 + "[HKLM\\S\\Q]\r\n\"s\"=\"x\"\r\n\"m\"=hex(7):61,00,00,\\\r\n  00\r\n"
                                             "\"q\"=hex(b):01,02,03,04,05,06,07,08\r\n", Utf16Bom);
        QRandomGenerator rng(4242);
        QList<QByteArray> inputs;
        for (qsizetype n = 0; n <= good.size(); ++n)
            inputs.append(good.left(n));
        for (int k = 0; k < 500; ++k) {
            QByteArray b = good;
            for (int j = 0; j < 4; ++j)
                b[rng.bounded(int(b.size()))] = char(rng.bounded(256));
            inputs.append(b);
        }
        for (const QByteArray &b : inputs) {
            Registry reg;
            QString error;
            if (!reg.loadData(b, kSource, &error))
                QVERIFY(!error.isEmpty() && isEmpty(reg));
        }

        Registry reg;
        const QString big(1 << 20, u'x');
        QByteArray text = encode(kV4 + "[HKLM\\S]\r\n\"big\"=\"" + big + "\"\r\n\"bin\"=hex:", Utf8);
        for (int i = 0; i < 200000; ++i)
            text.append("ab,");
        QVERIFY(reg.loadData(text, kSource));
        QCOMPARE(reg.value(RootKey::LocalMachine, "S", "big")->data.toString().size(), big.size());
        QCOMPARE(reg.value(RootKey::LocalMachine, "S", "bin")->data.toByteArray().size(), 200000);
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
