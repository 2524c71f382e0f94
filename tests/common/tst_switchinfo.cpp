// The integration list from both registry layouts and the name look-up by switch id.
#include "common/appcontext.h"
#include "common/switchinfo.h"
#include "common/tolvaversion.h"
#include "fakes.h"
#include "testserver.h"

#include <QFile>
#include <optional>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillor;

namespace {

const QString kBase = QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Calvex\\QDX\\1.0\\initialization\\integrations");

QString dword(quint32 n) { return QStringLiteral("dword:%1").arg(n, 8, 16, QLatin1Char('0')); }

// The newer version key followed by `body`.
QString versionKey(int major, int minor, int release, int build)
{
    return QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varko Systems\\Varko Tolva]\r\n"
                          "\"MajorVersion\"=%1\r\n\"MinorVersion\"=%2\r\n\"ReleaseVersion\"=%3\r\n\"BuildVersion\"=%4\r\n\r\n")
        .arg(dword(major), dword(minor), dword(release), dword(build));
}

QString integration(const QString &subKey, const QString &name, std::optional<quint32> id = std::nullopt)
{
    QString s = kBase + u'\\' + subKey + QStringLiteral("]\r\n\"DisplayName\"=\"%1\"\r\n").arg(name);
    if (id)
        s += QStringLiteral("\"IntegrationID\"=%1\r\n").arg(dword(*id));
    return s + QStringLiteral("\r\n");
}

// A context on a registry export with the given lines, its version read as at start-up.
struct Profile {
    QTemporaryDir dir;
    AppContext ctx;
    explicit Profile(const QString &body)
    {
        const QString path = dir.filePath(QStringLiteral("server.reg"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) {
            f.write("REGEDIT4\r\n\r\n");
            f.write(body.toUtf8());
        }
        f.close();
        ctx.loadRegistry(path);
        ctx.state().gVersion = getVersion(ctx);
    }
};

} // namespace

class TestSwitchInfo : public QObject {
    Q_OBJECT
private slots:
    void init() { modSwitchInfo::resetSwitchInfo(); }
    void lookupBeforeLoading();
    void lookups_data();
    void lookups();
    void missingBaseKeyOnNewerServer();
    void idBeyondSixteenBits();
    void loadingTwiceDoesNotDouble();
    void sampleServers_data();
    void sampleServers();
};

void TestSwitchInfo::lookupBeforeLoading()
{
    QCOMPARE(strGetSwitchName(0), QStringLiteral("(error) - switch info not initalized"));
}

void TestSwitchInfo::lookups_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");

    const QString old = versionKey(4, 2, 0, 26);
    const QString newer = versionKey(4, 2, 0, 27);
    const QString oldOne = old + integration(QStringLiteral("integration1"), QStringLiteral("Main PBX"));
    const QString oldTwo = oldOne + integration(QStringLiteral("integration2"), QStringLiteral("Branch PBX"));
    QTest::newRow("old, one key, id 0") << oldOne << 1 << 0 << "Main PBX";
    QTest::newRow("old, one key, id 1") << oldOne << 1 << 1 << "(error) - invalid switch ID: 1";
    QTest::newRow("old, two keys, id 1") << oldTwo << 2 << 1 << "Branch PBX";
    QTest::newRow("old, two keys, id 2") << oldTwo << 2 << 2 << "(error) - invalid switch ID: 2";
    QTest::newRow("old, two keys, id -1") << oldTwo << 2 << -1 << "(error) - invalid switch ID: -1";
    QTest::newRow("old, first key missing still counts")
        << old + integration(QStringLiteral("integration2"), QStringLiteral("Branch PBX")) << 2 << 0 << "";
    QTest::newRow("old layout ignores other keys and ids")
        << old + integration(QStringLiteral("PBX-A"), QStringLiteral("Main PBX"), 5) << 1 << 5
        << "(error) - invalid switch ID: 5";

    const QString ids37 = newer + integration(QStringLiteral("A"), QStringLiteral("Three"), 3)
                          + integration(QStringLiteral("B"), QStringLiteral("Seven"), 7);
    QTest::newRow("new, id 7") << ids37 << 2 << 7 << "Seven";
    QTest::newRow("new, id 3") << ids37 << 2 << 3 << "Three";
    QTest::newRow("new, id 5") << ids37 << 2 << 5 << "(error) - invalid switch ID: 5";
    QTest::newRow("new, id is not the position") << ids37 << 2 << 0 << "(error) - invalid switch ID: 0";
    QTest::newRow("new, duplicate ids: last wins")
        << newer + integration(QStringLiteral("A"), QStringLiteral("First"), 4)
               + integration(QStringLiteral("B"), QStringLiteral("Second"), 4)
        << 2 << 4 << "Second";
    QTest::newRow("new, enumeration order is name order")
        << newer + integration(QStringLiteral("integration2"), QStringLiteral("Two"), 1)
               + integration(QStringLiteral("integration10"), QStringLiteral("Ten"), 1)
        << 2 << 1 << "Two";
    QTest::newRow("new, IntegrationID missing is 0")
        << newer + integration(QStringLiteral("A"), QStringLiteral("No id")) << 1 << 0 << "No id";
    QTest::newRow("new, base key without subkeys")
        << newer + kBase + QStringLiteral("]\r\n\r\n") << 1 << 0 << "";
}

void TestSwitchInfo::lookups()
{
    QFETCH(QString, body);
    QFETCH(int, count);
    QFETCH(int, id);
    QFETCH(QString, name);
    test::FakeSeams seams;
    Profile p(body);
    InitalizeSwitchInfo(p.ctx);
    QCOMPARE(modSwitchInfo::switchInfoState().count, count);
    QCOMPARE(strGetSwitchName(qint16(id)), name);
    QCOMPARE(seams.messages->texts(), QStringList{});
}

void TestSwitchInfo::missingBaseKeyOnNewerServer()
{
    test::FakeSeams seams;
    Profile p(versionKey(4, 2, 1, 0));
    InitalizeSwitchInfo(p.ctx);
    QCOMPARE(seams.messages->texts(),
             QStringList{"Error 9 (Subscript out of range) in procedure InitalizeSwitchInfo of Module modSwitchInfo"});
    QCOMPARE(modSwitchInfo::switchInfoState().count, 0);
    QCOMPARE(strGetSwitchName(0), QStringLiteral("(error) - switch info not initalized"));
}

void TestSwitchInfo::idBeyondSixteenBits()
{
    test::FakeSeams seams;
    Profile p(versionKey(4, 2, 1, 0) + integration(QStringLiteral("A"), QStringLiteral("Big"), 40000)
              + integration(QStringLiteral("B"), QStringLiteral("Fine"), 2));
    InitalizeSwitchInfo(p.ctx);
    QCOMPARE(seams.messages->texts(),
             QStringList{"Error 6 (Overflow) in procedure InitalizeSwitchInfo of Module modSwitchInfo"});
    // Loading carried on after the report.
    QCOMPARE(modSwitchInfo::switchInfoState().count, 2);
    QCOMPARE(strGetSwitchName(2), QStringLiteral("Fine"));
    QCOMPARE(strGetSwitchName(qint16(40000 - 65536)), QStringLiteral("(error) - invalid switch ID: -25536"));
}

void TestSwitchInfo::loadingTwiceDoesNotDouble()
{
    test::FakeSeams seams;
    Profile p(versionKey(4, 2, 1, 0) + integration(QStringLiteral("A"), QStringLiteral("Only"), 1));
    InitalizeSwitchInfo(p.ctx);
    InitalizeSwitchInfo(p.ctx);
    QCOMPARE(modSwitchInfo::switchInfoState().count, 1);
    QCOMPARE(modSwitchInfo::switchInfoState().names, QStringList{"Only"});
}

void TestSwitchInfo::sampleServers_data()
{
    QTest::addColumn<bool>("newLayout");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("release");
    QTest::addColumn<int>("build");
    QTest::addColumn<bool>("withoutSubkeys");
    QTest::addColumn<QStringList>("names"); // by id 0, 1

    QTest::newRow("4.2(1.50)") << true << 4 << 2 << 1 << 50 << false << QStringList{"Main PBX", "Branch PBX"};
    QTest::newRow("4.2(0.26), older key layout")
        << false << 4 << 2 << 0 << 26 << false << QStringList{"Main PBX", "Branch PBX"};
    QTest::newRow("4.0(3.120)") << false << 4 << 0 << 3 << 120 << false << QStringList{"Main PBX", "Branch PBX"};
    QTest::newRow("4.2(1.50) without subkeys")
        << true << 4 << 2 << 1 << 50 << true << QStringList{"", "(error) - invalid switch ID: 1"};
    QTest::newRow("4.0(3.120) without subkeys")
        << false << 4 << 0 << 3 << 120 << true << QStringList{"", "(error) - invalid switch ID: 1"};
}

void TestSwitchInfo::sampleServers()
{
    QFETCH(bool, newLayout);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, release);
    QFETCH(int, build);
    QFETCH(bool, withoutSubkeys);
    QFETCH(QStringList, names);

    test::FakeSeams seams;
    embedded::SampleOptions options;
    options.newRegistryLayout = newLayout;
    options.major = major;
    options.minor = minor;
    options.release = release;
    options.build = build;
    options.integrationsWithoutSubkeys = withoutSubkeys;
    test::TestServer server(options);
    QVERIFY2(server.ok(), qPrintable(server.error()));
    server.ctx().state().gVersion = getVersion(server.ctx());
    InitalizeSwitchInfo(server.ctx());
    QCOMPARE(strGetSwitchName(0), names.at(0));
    QCOMPARE(strGetSwitchName(1), names.at(1));
    QCOMPARE(seams.messages->texts(), QStringList{});
}

QTEST_GUILESS_MAIN(TestSwitchInfo)
#include "tst_switchinfo.moc"
