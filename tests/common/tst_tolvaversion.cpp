// Version reading from both registry layouts, the version gates, the install
// and stream-file folders and the configuration look-up.
#include "common/appcontext.h"
#include "common/tolvaversion.h"
#include "fakes.h"
#include "testserver.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillor;

namespace {

// A registry export in the 8-bit format, with the given lines after the header.
QString writeExport(const QTemporaryDir &dir, const QString &body)
{
    const QString path = dir.filePath(QStringLiteral("server.reg"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write("REGEDIT4\r\n\r\n");
    f.write(body.toUtf8());
    return path;
}

QString dword(quint32 n) { return QStringLiteral("dword:%1").arg(n, 8, 16, QLatin1Char('0')); }

} // namespace

class TestTolvaVersion : public QObject {
    Q_OBJECT
private slots:
    void readsBothLayouts_data();
    void readsBothLayouts();
    void gates_data();
    void gates();
    void installAndStreamPaths_data();
    void installAndStreamPaths();
    void configurationString_data();
    void configurationString();
    void configurationWithoutDirectoryDatabase();
};

void TestTolvaVersion::readsBothLayouts_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("newLayout");
    QTest::addColumn<QStringList>("messages");

    const QString newKey = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varko Systems\\Varko Tolva]\r\n");
    const QString oldKey = QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Calvex]\r\n");
    const QString old40_3_120 = oldKey + QStringLiteral("\"Version Number\"=%1\r\n\"Build Number\"=%2\r\n")
                                             .arg(dword(0x00040000), dword(0x00030078));

    QTest::newRow("newer layout")
        << newKey + QStringLiteral("\"MajorVersion\"=%1\r\n\"MinorVersion\"=%2\r\n\"ReleaseVersion\"=%3\r\n\"BuildVersion\"=%4\r\n")
                        .arg(dword(4), dword(2), dword(1), dword(50))
        << "4.2(1.50)" << true << QStringList{};
    QTest::newRow("older layout") << old40_3_120 << "4.0(3.120)" << false << QStringList{};
    QTest::newRow("newer key with major 0 falls back to the older layout")
        << newKey + QStringLiteral("\"MajorVersion\"=%1\r\n").arg(dword(0)) + old40_3_120 << "4.0(3.120)" << false
        << QStringList{};
    QTest::newRow("newer key without major falls back")
        << newKey + QStringLiteral("\"MinorVersion\"=%1\r\n").arg(dword(9)) + old40_3_120 << "4.0(3.120)" << false
        << QStringList{};
    QTest::newRow("build digits read as hexadecimal")
        << oldKey + QStringLiteral("\"Version Number\"=%1\r\n\"Build Number\"=%2\r\n").arg(dword(0x00040000), dword(0x000300A0))
        << "4.0(3.160)" << false << QStringList{};
    QTest::newRow("version digits stop at the first letter")
        << oldKey + QStringLiteral("\"Version Number\"=%1\r\n\"Build Number\"=%2\r\n").arg(dword(0x001200A1), dword(0x00030078))
        << "12.0(3.120)" << false << QStringList{};
    QTest::newRow("key names in another case")
        << QStringLiteral("[HKEY_LOCAL_MACHINE\\software\\CALVEX]\r\n\"version number\"=%1\r\n\"BUILD NUMBER\"=%2\r\n")
               .arg(dword(0x00040000), dword(0x00050001))
        << "4.0(5.1)" << false << QStringList{};
    QTest::newRow("neither layout")
        << QString() << "0.0(0.0)" << false
        << QStringList{QStringLiteral("Error retrieving version of product from the registry.")};
    QTest::newRow("a number too large for the record")
        << newKey + QStringLiteral("\"MajorVersion\"=%1\r\n\"MinorVersion\"=%2\r\n").arg(dword(4), dword(40000))
        << "4.0(0.0)" << true
        << QStringList{QStringLiteral("(error):6 (Overflow) in procedure getVersion of Module TolvaVersion")};
}

void TestTolvaVersion::readsBothLayouts()
{
    QFETCH(QString, body);
    QFETCH(QString, text);
    QFETCH(bool, newLayout);
    QFETCH(QStringList, messages);

    test::FakeSeams seams;
    QTemporaryDir dir;
    AppContext ctx;
    QVERIFY(ctx.loadRegistry(writeExport(dir, body)));
    const TolvaVersionRecord v = getVersion(ctx);
    QCOMPARE(v.Text, text);
    QCOMPARE(v.bNewRegistryLayout, newLayout);
    QCOMPARE(seams.messages->texts(), messages);
}

void TestTolvaVersion::gates_data()
{
    QTest::addColumn<QList<int>>("version");
    QTest::addColumn<QList<int>>("threshold");
    QTest::addColumn<bool>("atOrAbove");

    QTest::newRow("equal") << QList<int>{4, 0, 3, 120} << QList<int>{4, 0, 3, 120} << true;
    QTest::newRow("one build short") << QList<int>{4, 0, 3, 120} << QList<int>{4, 0, 3, 121} << false;
    QTest::newRow("older major") << QList<int>{4, 0, 3, 120} << QList<int>{3, 9, 9, 9} << true;
    QTest::newRow("minor decides over release") << QList<int>{4, 1, 0, 0} << QList<int>{4, 0, 5, 1} << true;
    QTest::newRow("release decides over build") << QList<int>{4, 0, 2, 999} << QList<int>{4, 0, 3, 0} << false;
    QTest::newRow("not loaded") << QList<int>{0, 0, 0, 0} << QList<int>{4, 0, 3, 0} << false;
    QTest::newRow("signed comparison") << QList<int>{4, -1, 0, 0} << QList<int>{4, 0, 0, 0} << false;
}

void TestTolvaVersion::gates()
{
    QFETCH(QList<int>, version);
    QFETCH(QList<int>, threshold);
    QFETCH(bool, atOrAbove);
    TolvaVersionRecord v;
    v.Major = qint16(version[0]);
    v.Minor = qint16(version[1]);
    v.Release = qint16(version[2]);
    v.Build = qint16(version[3]);
    QCOMPARE(bIsVersionGreaterThanOrEqualTo(v, qint16(threshold[0]), qint16(threshold[1]), qint16(threshold[2]),
                                            qint16(threshold[3])),
             atOrAbove);
}

void TestTolvaVersion::installAndStreamPaths_data()
{
    QTest::addColumn<bool>("newLayout");
    QTest::addColumn<bool>("missingConfigRow");
    QTest::addColumn<bool>("expectStream");

    QTest::newRow("newer layout") << true << false << true;
    QTest::newRow("newer layout without the configuration row") << true << true << false;
    QTest::newRow("older layout") << false << false << true;
}

void TestTolvaVersion::installAndStreamPaths()
{
    QFETCH(bool, newLayout);
    QFETCH(bool, missingConfigRow);
    QFETCH(bool, expectStream);

    test::FakeSeams seams;
    embedded::SampleOptions options;
    options.newRegistryLayout = newLayout;
    options.major = 4;
    options.minor = newLayout ? 2 : 0;
    options.release = newLayout ? 1 : 5;
    options.build = newLayout ? 50 : 1;
    options.missingStreamFolderRow = missingConfigRow;
    test::TestServer server(options);
    QVERIFY2(server.ok(), qPrintable(server.error()));
    AppContext &ctx = server.ctx();
    ctx.state().gVersion = getVersion(ctx);
    QCOMPARE(ctx.state().gVersion.bNewRegistryLayout, newLayout);

    const QString install = strGetInstallPath(ctx);
    QVERIFY2(install.endsWith(u'\\') || install.endsWith(u'/'), qPrintable(install));
    QCOMPARE(QDir(serverPathToLocal(install)).canonicalPath(), QDir(server.server().installFolder).canonicalPath());

    const QString stream = strGetStreamFilesPath(ctx);
    if (expectStream) {
        QCOMPARE(QDir(serverPathToLocal(stream)).canonicalPath(), QDir(server.server().streamFolder).canonicalPath());
    } else {
        QCOMPARE(stream, QString());
    }
    QCOMPARE(seams.messages->texts(), QStringList{});
}

void TestTolvaVersion::configurationString_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("logged");

    QTest::newRow("empty name") << QString() << QString() << 0 << QString() << false;
    QTest::newRow("no row") << "A.B" << QString() << 0 << QString() << false;
    QTest::newRow("one row") << "A.B" << "value" << 1 << "value" << false;
    QTest::newRow("one row, Null") << "A.B" << QString() << 1 << QString() << false;
    QTest::newRow("two rows") << "A.B" << "value" << 2 << QString() << true;
    QTest::newRow("apostrophe in the name") << "O'Brien.Setting" << "x" << 1 << "x" << false;
}

void TestTolvaVersion::configurationString()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(int, rows);
    QFETCH(QString, expected);
    QFETCH(bool, logged);

    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        db.setDatabaseName(server.server().directoryDatabase);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (int i = 0; i < rows; ++i) {
            QVERIFY(q.prepare(QStringLiteral("INSERT INTO Configuration (FullName, ValueString) VALUES (?, ?)")));
            q.addBindValue(name);
            q.addBindValue(value.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(value));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));

    AppContext &ctx = server.ctx();
    QCOMPARE(strPullConfigurationString(ctx, name), expected);
    // Message lines handed over before the log exists are kept for it.
    QCOMPARE(ctx.log().isOpen(), false);
    const QString path = server.folder() + QStringLiteral("/log.txt");
    QVERIFY(ctx.log().WriteLogHeader(path, {}));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(f.readAll());
    QCOMPARE(text.contains(QStringLiteral("(error) more than one value found in vw_Configuration view for fullName='%1'")
                               .arg(name)),
             logged);
    QCOMPARE(seams.messages->texts(), QStringList{});
}

void TestTolvaVersion::configurationWithoutDirectoryDatabase()
{
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY(QFile::remove(server.server().directoryDatabase));
    server.reload();
    AppContext &ctx = server.ctx();
    QCOMPARE(strPullConfigurationString(ctx, QStringLiteral("System.SystemSetup.DirectoryDatabase.StreamFileLocation")),
             QString());
    // Not shown on screen: only the log hears of it.
    QCOMPARE(seams.messages->texts(), QStringList{});
    const QString path = server.folder() + QStringLiteral("/log.txt");
    QVERIFY(ctx.log().WriteLogHeader(path, {}));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLocal8Bit(f.readAll())
                .contains(QStringLiteral("in procedure strPullConfigurationString of Module TolvaVersion")));
}

QTEST_GUILESS_MAIN(TestTolvaVersion)
#include "tst_tolvaversion.moc"
