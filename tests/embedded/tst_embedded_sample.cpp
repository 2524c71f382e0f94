// The sample server as built: its key facts, its variants, its files and its
// registry export.

#include "embedded/sampleids.h"
#include "embedded/sampleserver.h"
#include "samplefixture.h"

#include <QElapsedTimer>
#include <QStringDecoder>
#include <QtTest>

using namespace quillor::embedded;
using quillor::embedded::test::SampleFixture;

namespace {

QString readRegistryText(const QString &path, QString *problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot open ") + path;
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xFF\xFE")) {
        *problem = QStringLiteral("no UTF-16LE byte order mark");
        return {};
    }
    QStringDecoder decoder(QStringConverter::Utf16LE);
    return decoder(bytes.mid(2));
}

// The values of one key of an export: name -> text as written after "=".
QMap<QString, QString> keyValues(const QString &text, const QString &key)
{
    QMap<QString, QString> values;
    bool inKey = false;
    for (const QString &line : text.split(QStringLiteral("\r\n"))) {
        if (line.startsWith(u'[')) {
            inKey = line.compare(u'[' + key + u']', Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inKey && line.startsWith(u'"')) {
            const qsizetype eq = line.indexOf(QStringLiteral("\"="));
            values.insert(line.mid(1, eq - 1), line.mid(eq + 2));
        }
    }
    return values;
}

bool hasKey(const QString &text, const QString &key)
{
    return text.contains(u'[' + key + u']', Qt::CaseInsensitive);
}

} // namespace

class TestEmbeddedSample : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY2(m_sample.create(), qPrintable(m_sample.error)); }
    void cleanup() { m_sample.close(); }

    void rootVariants_data()
    {
        QTest::addColumn<int>("root");
        QTest::addColumn<int>("roots");
        QTest::newRow("normal") << int(SampleOptions::Root::Normal) << 1;
        QTest::newRow("missing") << int(SampleOptions::Root::Missing) << 0;
        QTest::newRow("duplicate") << int(SampleOptions::Root::Duplicate) << 2;
    }
    void rootVariants()
    {
        QFETCH(int, root);
        QFETCH(int, roots);
        SampleOptions options;
        options.root = SampleOptions::Root(root);
        QVERIFY2(m_sample.create(options), qPrintable(m_sample.error));
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_CallHandler WHERE Alias='openinggreetingch'")), roots);
        // Whatever the root, the rest of the routing is intact.
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM CallHandler WHERE CallHandlerObjectID = ?"),
                                {SampleIds::OpeningGreeting}),
                 1);
    }

    void routingLoopsBackToTheRoot_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("alias");
        const QString greeting = QStringLiteral("SELECT DestinationObjectID FROM vw_MessagingRule WHERE ParentObjectID=? AND Alias=?");
        const QString key = QStringLiteral("SELECT DestinationObjectID FROM vw_MenuEntry WHERE ParentObjectID=? AND Alias=?");
        QTest::newRow("root's error greeting") << greeting << SampleIds::OpeningGreeting << "Error";
        QTest::newRow("sales key 1") << key << SampleIds::Sales << "1";
        QTest::newRow("edge cases key 1 (lower-case conversation)") << key << SampleIds::EdgeCases << "1";
    }
    void routingLoopsBackToTheRoot()
    {
        QFETCH(QString, sql);
        QFETCH(QString, parent);
        QFETCH(QString, alias);
        QCOMPARE(m_sample.scalar(sql, {parent, alias}).toString(), SampleIds::OpeningGreeting);
    }

    void danglingLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QVariantList>("params");
        QTest::newRow("root key 6 to a deleted handler")
            << "SELECT DestinationObjectID FROM MenuEntry WHERE ParentObjectID=? AND Alias='6'"
            << "SELECT * FROM CallHandler WHERE CallHandlerObjectID=?" << QVariantList{SampleIds::OpeningGreeting};
        QTest::newRow("root key 7 to a deleted directory")
            << "SELECT DestinationObjectID FROM MenuEntry WHERE ParentObjectID=? AND Alias='7'"
            << "SELECT * FROM NameLookupHandler WHERE NameLookupHandlerObjectID=?" << QVariantList{SampleIds::OpeningGreeting};
        QTest::newRow("ghost handler's subscriber")
            << "SELECT RecipientObjectID FROM CallHandler WHERE CallHandlerObjectID=?"
            << "SELECT * FROM Subscriber WHERE SubscriberObjectID=?" << QVariantList{SampleIds::GhostHandler};
        QTest::newRow("orphan's recipient")
            << "SELECT RecipientObjectID FROM CallHandler WHERE CallHandlerObjectID=?"
            << "SELECT * FROM Subscriber WHERE SubscriberObjectID=?" << QVariantList{SampleIds::Orphan};
        QTest::newRow("carol's class of service")
            << "SELECT COSObjectID FROM Subscriber WHERE SubscriberObjectID=?"
            << "SELECT * FROM vw_COS WHERE COSObjectID=?" << QVariantList{SampleIds::CarolSupport};
    }
    void danglingLinks()
    {
        QFETCH(QString, link);
        QFETCH(QString, target);
        QFETCH(QVariantList, params);
        const QVariant id = m_sample.scalar(link, params);
        QVERIFY(!id.toString().isEmpty());
        QCOMPARE(m_sample.count(target, {id}), 0);
    }

    // Each subscriber and its primary handler point at each other.
    void subscribersAndPrimaryHandlersAgree()
    {
        QSqlQuery q(m_sample.db());
        QVERIFY(q.exec(QStringLiteral("SELECT s.SubscriberObjectID, c.IsPrimary, c.RecipientObjectID, c.RecipientObjectIDType "
                                      "FROM Subscriber s LEFT JOIN CallHandler c ON c.CallHandlerObjectID = s.CallHandlerObjectID")));
        int subscribers = 0;
        while (q.next()) {
            ++subscribers;
            QCOMPARE(q.value(1).toInt(), 1);
            QCOMPARE(q.value(2).toString(), q.value(0).toString());
            QCOMPARE(q.value(3).toInt(), 1);
        }
        QCOMPARE(subscribers, 5);
    }

    void extensions_data()
    {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QVariant>("extension");
        QTest::newRow("primary handler shows its subscriber's") << SampleIds::AliceAdminHandler << QVariant(QStringLiteral("5001"));
        QTest::newRow("own extension") << SampleIds::Operator << QVariant(QStringLiteral("1001"));
        QTest::newRow("none") << SampleIds::Goodbye << QVariant();
        QTest::newRow("primary handler of a deleted subscriber") << SampleIds::GhostHandler << QVariant();
    }
    void extensions()
    {
        QFETCH(QString, handler);
        QFETCH(QVariant, extension);
        const QVariant actual = m_sample.scalar(QStringLiteral("SELECT DTMFAccessID FROM vw_CallHandler WHERE CallHandlerObjectID=?"),
                                                {handler});
        QCOMPARE(actual.isNull(), extension.isNull());
        QCOMPARE(actual.toString(), extension.toString());
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_CallHandler WHERE CallHandlerObjectID=?"), {handler}), 1);
    }

    void extensionInUseTwice()
    {
        QSqlQuery q(m_sample.db());
        QVERIFY(q.exec(QStringLiteral("SELECT ObjectType, DisplayName FROM vw_DTMFAccessID_DialingDomain "
                                      "WHERE DTMFAccessID='5001' ORDER BY ObjectType")));
        QStringList owners;
        while (q.next())
            owners << q.value(0).toString() + u' ' + q.value(1).toString();
        QCOMPARE(owners, QStringList({"1 Alice Admin", "3 After Hours"}));
        // Every extension row shows, primary or not, with its owner's kind.
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_DTMFAccessID_DialingDomain")),
                 m_sample.count(QStringLiteral("SELECT * FROM DTMFAccessID")));
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT DisplayName FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID='2101'")),
                 QVariant(QStringLiteral("Survey")));
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT DisplayName FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID='399'")),
                 QVariant(QStringLiteral("Headquarters")));
    }

    void ruleCounts_data()
    {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<int>("contactRules");
        QTest::addColumn<int>("greetings");
        QTest::addColumn<int>("keys");
        QTest::newRow("opening greeting") << SampleIds::OpeningGreeting << 3 << 6 << 12;
        QTest::newRow("carol: no Busy greeting, no # key") << SampleIds::CarolSupportHandler << 3 << 5 << 11;
        QTest::newRow("orphan") << SampleIds::Orphan << 2 << 5 << 11;
        QTest::newRow("template") << SampleIds::CallHandlerTemplate << 3 << 6 << 12;
    }
    void ruleCounts()
    {
        QFETCH(QString, handler);
        QFETCH(int, contactRules);
        QFETCH(int, greetings);
        QFETCH(int, keys);
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_ContactRule WHERE ParentObjectID=?"), {handler}), contactRules);
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_MessagingRule WHERE ParentObjectID=?"), {handler}), greetings);
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_MenuEntry WHERE ParentObjectID=?"), {handler}), keys);
    }

    void alternateGreetingExpiresInThirtyDays()
    {
        const QString text = m_sample
                                 .scalar(QStringLiteral("SELECT TimeExpires FROM vw_MessagingRule WHERE ParentObjectID=? AND Alias='Alternate'"),
                                         {SampleIds::OpeningGreeting})
                                 .toString();
        QDateTime expires = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        expires.setTimeZone(QTimeZone::utc());
        QVERIFY2(qAbs(expires.secsTo(QDateTime::currentDateTimeUtc().addDays(30))) < 120, qPrintable(text));
    }

    void nameLookupTemplateIsTheFirstRow()
    {
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT Alias FROM vw_namelookuphandler LIMIT 1")),
                 QVariant(QStringLiteral("companydirectory")));
    }

    void sampleIdsNameRealObjects_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("sql");
        QTest::newRow("root") << "openinggreetingch" << "SELECT Alias FROM CallHandler WHERE CallHandlerObjectID=?";
        QTest::newRow("primary handler") << "ch_bsales" << "SELECT Alias FROM CallHandler WHERE CallHandlerObjectID=?";
        QTest::newRow("subscriber") << "AADMIN" << "SELECT Alias FROM Subscriber WHERE SubscriberObjectID=?";
        QTest::newRow("interview") << "surveyih" << "SELECT Alias FROM InterviewHandler WHERE InterviewHandlerObjectID=?";
        QTest::newRow("directory") << "brokendirectory" << "SELECT Alias FROM NameLookupHandler WHERE NameLookupHandlerObjectID=?";
        QTest::newRow("list") << "operators" << "SELECT Alias FROM DistributionList WHERE SystemDListObjectID=?";
        QTest::newRow("location") << "default" << "SELECT Alias FROM Location WHERE LocationObjectID=?";
    }
    void sampleIdsNameRealObjects()
    {
        QFETCH(QString, alias);
        QFETCH(QString, sql);
        const QString id = sampleObjectId(alias);
        QVERIFY(!id.isEmpty());
        QCOMPARE(m_sample.scalar(sql, {id}).toString().toLower(), alias.toLower());
        QCOMPARE(sampleObjectId(QStringLiteral("no such object")), QString());
    }

    void ruleIdsFollowTheScheme()
    {
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT Alias FROM MenuEntry WHERE MenuEntryObjectID=?"),
                                 {SampleIds::menuEntryId(SampleIds::OpeningGreeting, 10)}),
                 QVariant(QStringLiteral("*")));
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT Alias FROM ContactRule WHERE ContactRuleObjectID=?"),
                                 {SampleIds::contactRuleId(SampleIds::AliceAdminHandler, 2)}),
                 QVariant(QStringLiteral("Alternate")));
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT ContactRuleAlternate FROM CallHandler WHERE CallHandlerObjectID=?"),
                                 {SampleIds::Sales}),
                 QVariant(SampleIds::contactRuleId(SampleIds::Sales, 2)));
        QCOMPARE(SampleIds::greetingId(SampleIds::AliceAdmin, 0), QString());
    }

    void streamFolderRow_data()
    {
        QTest::addColumn<bool>("duplicate");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<int>("rows");
        QTest::newRow("one") << false << false << 1;
        QTest::newRow("duplicated") << true << false << 2;
        QTest::newRow("left out") << false << true << 0;
    }
    void streamFolderRow()
    {
        QFETCH(bool, duplicate);
        QFETCH(bool, missing);
        QFETCH(int, rows);
        SampleOptions options;
        options.duplicateStreamFolderRow = duplicate;
        options.missingStreamFolderRow = missing;
        QVERIFY2(m_sample.create(options), qPrintable(m_sample.error));
        SampleFixture directory;
        QVERIFY(directory.open(m_sample.server->directoryDatabase));
        const QVariantList values = directory.column(
            QStringLiteral("SELECT ValueString FROM vw_Configuration WHERE FullName=?"),
            {QStringLiteral("System.SystemSetup.DirectoryDatabase.StreamFileLocation")});
        QCOMPARE(values.size(), rows);
        for (const QVariant &v : values) {
            QCOMPARE(v.toString(), m_sample.server->streamFolder);
            QVERIFY(v.toString().endsWith(u'/'));
            QVERIFY(QFileInfo(v.toString()).isDir());
        }
    }

    void recordings()
    {
        const QString folder = m_sample.server->streamFolder;
        for (const char *name : {"openinggreetingch_Standard.wav", "callhandlertemplate_Standard.wav"}) {
            QFile file(folder + QString::fromLatin1(name));
            QVERIFY2(file.open(QIODevice::ReadOnly), name);
            const QByteArray bytes = file.readAll();
            QVERIFY(bytes.startsWith("RIFF"));
            QCOMPARE(bytes.mid(8, 8), QByteArray("WAVEfmt "));
            const quint32 riffSize = qFromLittleEndian<quint32>(bytes.constData() + 4);
            QCOMPARE(qsizetype(riffSize) + 8, bytes.size());
        }
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("missing_file.wav")));
    }

    // A second build in the same folder starts from scratch.
    void rebuildReplacesTheDatabases()
    {
        QSqlQuery q(m_sample.db());
        QVERIFY(q.exec(QStringLiteral("DELETE FROM CallHandler")));
        q.finish();
        m_sample.close();
        QElapsedTimer timer;
        timer.start();
        QVERIFY2(m_sample.create(), qPrintable(m_sample.error));
        qInfo("sample built in %lld ms", timer.elapsed());
        QVERIFY(m_sample.count(QStringLiteral("SELECT * FROM CallHandler")) > 10);
    }

    void registryExportOfTheCurrentLayout()
    {
        QString problem;
        const QString text = readRegistryText(m_sample.server->registryFile, &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(text.startsWith(QStringLiteral("Windows Registry Editor Version 5.00\r\n")));
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[^\\r]\\n"))), "line ends must be CRLF");

        const auto varko = keyValues(text, QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varko Systems\\Varko Tolva"));
        QCOMPARE(varko.value(QStringLiteral("MajorVersion")), QStringLiteral("dword:00000004"));
        QCOMPARE(varko.value(QStringLiteral("MinorVersion")), QStringLiteral("dword:00000002"));
        QCOMPARE(varko.value(QStringLiteral("ReleaseVersion")), QStringLiteral("dword:00000001"));
        QCOMPARE(varko.value(QStringLiteral("BuildVersion")), QStringLiteral("dword:00000032"));
        QCOMPARE(varko.value(QStringLiteral("InstalledFolderPath")), u'"' + m_sample.server->installFolder + u'"');
        QVERIFY(!hasKey(text, QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Calvex")));

        const QString base = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Calvex\\QDX\\1.0\\initialization\\integrations");
        QCOMPARE(keyValues(text, base + QStringLiteral("\\PBX-B")).value(QStringLiteral("IntegrationID")),
                 QStringLiteral("dword:00000001"));
        QCOMPARE(keyValues(text, QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Calvex\\SystemParameters\\1.0"))
                     .value(QStringLiteral("TUI Languages Loaded")),
                 QStringLiteral("\"ENU,DEU\""));
        const auto port = keyValues(text, QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillor\\Port"));
        QCOMPARE(port.value(QStringLiteral("MainDatabase")), QStringLiteral("\"sqlite:TolvaDb.sqlite\""));
        QCOMPARE(port.value(QStringLiteral("DirectoryDatabase")), QStringLiteral("\"sqlite:TolvaDirDB.sqlite\""));
        QCOMPARE(port.value(QStringLiteral("ServerHost")), QStringLiteral("\"localhost\""));
    }

    void olderLayoutEncoding_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("release");
        QTest::addColumn<int>("build");
        QTest::addColumn<quint32>("versionNumber");
        QTest::addColumn<quint32>("buildNumber");
        QTest::newRow("4.0(3.120)") << 4 << 0 << 3 << 120 << 0x00040000u << 0x00030078u;
        QTest::newRow("4.0(5.0)") << 4 << 0 << 5 << 0 << 0x00040000u << 0x00050000u;
        QTest::newRow("4.0(2.99)") << 4 << 0 << 2 << 99 << 0x00040000u << 0x00020063u;
        QTest::newRow("4.12(10.255)") << 4 << 12 << 10 << 255 << 0x00040012u << 0x001000FFu;
    }
    void olderLayoutEncoding()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, release);
        QFETCH(int, build);
        QFETCH(quint32, versionNumber);
        QFETCH(quint32, buildNumber);
        SampleOptions options;
        options.newRegistryLayout = false;
        options.major = major;
        options.minor = minor;
        options.release = release;
        options.build = build;
        // A variant export beside the sample, reusing its databases.
        const QString path = m_sample.dir.filePath(QStringLiteral("variants/old.reg"));
        QString error;
        QVERIFY2(writeRegistryExport(path, m_sample.server->folder, options, &error), qPrintable(error));
        QString problem;
        const QString text = readRegistryText(path, &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(!hasKey(text, QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Varko Systems\\Varko Tolva")));
        const auto calvex = keyValues(text, QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Calvex"));
        QCOMPARE(calvex.value(QStringLiteral("Version Number")),
                 QStringLiteral("dword:%1").arg(versionNumber, 8, 16, QLatin1Char('0')));
        QCOMPARE(calvex.value(QStringLiteral("Build Number")),
                 QStringLiteral("dword:%1").arg(buildNumber, 8, 16, QLatin1Char('0')));
        QCOMPARE(keyValues(text, QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Calvex\\Quorbel\\1.0")).value(QStringLiteral("Root Path")),
                 u'"' + m_sample.server->installFolder + QStringLiteral("/\""));
        // Paths to the databases still lead to the sample's files.
        QCOMPARE(keyValues(text, QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillor\\Port")).value(QStringLiteral("MainDatabase")),
                 QStringLiteral("\"sqlite:../TolvaDb.sqlite\""));
    }

    void integrationLayoutFollowsTheVersion_data()
    {
        QTest::addColumn<int>("release");
        QTest::addColumn<int>("build");
        QTest::addColumn<bool>("enumerated");
        QTest::newRow("4.2(0.26): fixed keys") << 0 << 26 << false;
        QTest::newRow("4.2(0.27): enumerated") << 0 << 27 << true;
    }
    void integrationLayoutFollowsTheVersion()
    {
        QFETCH(int, release);
        QFETCH(int, build);
        QFETCH(bool, enumerated);
        SampleOptions options;
        options.release = release;
        options.build = build;
        const QString path = m_sample.dir.filePath(QStringLiteral("integrations.reg"));
        QVERIFY(writeRegistryExport(path, m_sample.server->folder, options));
        QString problem;
        const QString text = readRegistryText(path, &problem);
        const QString base = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Calvex\\QDX\\1.0\\initialization\\integrations");
        QCOMPARE(hasKey(text, base + QStringLiteral("\\integration1")), !enumerated);
        QCOMPARE(hasKey(text, base + QStringLiteral("\\PBX-A")), enumerated);
        QCOMPARE(keyValues(text, base + QStringLiteral("\\integration2")).contains(QStringLiteral("IntegrationID")), false);
    }

private:
    SampleFixture m_sample;
};

QTEST_GUILESS_MAIN(TestEmbeddedSample)
#include "tst_embedded_sample.moc"
