// Generated servers: the routing tree's shape, the rules of every handler, the
// mix of objects, extensions, determinism and opening through the registry.

#include "embedded/generator.h"
#include "platform/database.h"
#include "platform/registry.h"
#include "samplefixture.h"

#include <QtTest>

#include <map>
#include <memory>

using namespace quillor::embedded;
using quillor::embedded::test::SampleFixture;

namespace {

const QString PhLinks = QStringLiteral("ConversationName IN ('PHGreeting','PHTransfer')");

// Every PHGreeting/PHTransfer destination of the server, wherever it is stored.
const QString HandlerDestinations = QStringLiteral(
    "SELECT DestinationObjectID FROM MenuEntry WHERE Action=2 AND %1 "
    "UNION ALL SELECT DestinationObjectID FROM MessagingRule WHERE Action=2 AND %1 "
    "UNION ALL SELECT AfterMessageObjectID FROM CallHandler WHERE AfterMessageAction=2 AND AfterMessageConversation IN ('PHGreeting','PHTransfer') "
    "UNION ALL SELECT AfterMessageObjectID FROM InterviewHandler WHERE AfterMessageAction=2 AND AfterMessageConversation IN ('PHGreeting','PHTransfer') "
    "UNION ALL SELECT ExitObjectID FROM Subscriber WHERE ExitAction=2 "
    "UNION ALL SELECT ExitObjectID FROM NameLookupHandler UNION ALL SELECT ZeroObjectID FROM NameLookupHandler "
    "UNION ALL SELECT NoSelectionObjectID FROM NameLookupHandler").arg(PhLinks);

} // namespace

#define SERVER(objects)                                                                                                \
    SampleFixture &s = server(objects);                                                                                \
    QVERIFY2(s.server, qPrintable(s.error));                                                                           \
    [[maybe_unused]] const GeneratedShape shape = generatedShape({objects, 1});

class TestEmbeddedGenerator : public QObject {
    Q_OBJECT

    std::map<int, std::unique_ptr<SampleFixture>> m_servers;

    // The server of `objects` objects (seed 1), built once.
    SampleFixture &server(int objects)
    {
        auto &slot = m_servers[objects];
        if (!slot) {
            slot = std::make_unique<SampleFixture>();
            slot->server = createGeneratedServer(slot->dir.path(), {objects, 1}, &slot->error);
            if (slot->server)
                slot->open(slot->server->mainDatabase);
        }
        return *slot;
    }

    static void sizes()
    {
        QTest::addColumn<int>("objects");
        QTest::newRow("200") << 200;
        QTest::newRow("1000") << 1000;
    }

private slots:
    void exactlyOneRootOperatorAndGoodbye_data() { sizes(); }
    void exactlyOneRootOperatorAndGoodbye()
    {
        QFETCH(int, objects);
        SERVER(objects);
        for (const char *alias : {"openinggreetingch", "operatorch", "goodbyech"})
            QCOMPARE(s.count(QStringLiteral("SELECT * FROM vw_CallHandler WHERE Alias=?"), {QString::fromLatin1(alias)}), 1);
        QCOMPARE(s.scalar(QStringLiteral("SELECT CallHandlerObjectID FROM CallHandler WHERE Alias='openinggreetingch'")).toString(),
                 generatedObjectId(1, SampleIds::Kind::CallHandler, 1));
        // The operator loops back to the root and ends in goodbye.
        const QString op = generatedObjectId(1, SampleIds::Kind::CallHandler, 2);
        QVERIFY(s.count(QStringLiteral("SELECT * FROM MenuEntry WHERE ParentObjectID=? AND DestinationObjectID=?"),
                        {op, generatedObjectId(1, SampleIds::Kind::CallHandler, 1)}) >= 1);
        QCOMPARE(s.scalar(QStringLiteral("SELECT AfterMessageObjectID FROM CallHandler WHERE CallHandlerObjectID=?"), {op}).toString(),
                 generatedObjectId(1, SampleIds::Kind::CallHandler, 3));
    }

    void countsFollowTheMix_data() { sizes(); }
    void countsFollowTheMix()
    {
        QFETCH(int, objects);
        SERVER(objects);
        const int menus = s.scalar(QStringLiteral("SELECT count(*) FROM CallHandler WHERE IsPrimary=0")).toInt();
        const int subscribers = s.scalar(QStringLiteral("SELECT count(*) FROM Subscriber")).toInt();
        const int interviews = s.scalar(QStringLiteral("SELECT count(*) FROM InterviewHandler")).toInt();
        const int directories = s.scalar(QStringLiteral("SELECT count(*) FROM NameLookupHandler")).toInt();
        QCOMPARE(menus, shape.callHandlers);
        QCOMPARE(subscribers, shape.subscribers);
        QCOMPARE(interviews, shape.interviewHandlers);
        QCOMPARE(directories, shape.nameLookupHandlers);
        QVERIFY(qAbs(menus + subscribers + interviews + directories - objects) <= objects / 100);
        const auto near = [&](int count, double share) { return qAbs(count - share * objects) <= 0.02 * objects; };
        QVERIFY2(near(menus, 0.30) && near(subscribers, 0.60) && near(interviews, 0.05) && near(directories, 0.05),
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(menus).arg(subscribers).arg(interviews).arg(directories)));
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM InterviewHandler WHERE Undeletable=1")), 1);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM InterviewHandler i WHERE NOT EXISTS (SELECT 1 FROM "
                                        "InterviewQuestion q WHERE q.ParentObjectID=i.InterviewHandlerObjectID)")), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT ParentObjectID FROM InterviewQuestion GROUP BY 1 HAVING count(*) > 3")), 0);
        // The creation template is the first directory row and lends every column but two.
        QCOMPARE(s.scalar(QStringLiteral("SELECT Alias FROM NameLookupHandler ORDER BY rowid LIMIT 1")).toString(),
                 QStringLiteral("companydirectory"));
    }

    void shapeStaysRealisticForEverySeed()
    {
        QSet<int> depths;
        for (int objects : {200, 1000, 5000, 20000, 100000})
            for (quint32 seed = 1; seed <= 12; ++seed) {
                const GeneratedShape shape = generatedShape({objects, seed});
                QCOMPARE(shape.objects, shape.callHandlers + shape.subscribers + shape.interviewHandlers
                                            + shape.nameLookupHandlers);
                QCOMPARE(shape.menus, shape.callHandlers - 2);
                QVERIFY2(shape.depth >= 4 && shape.depth <= 6, qPrintable(QStringLiteral("%1/%2").arg(objects).arg(seed)));
                QVERIFY(shape.invalidHandlerLinks >= 1 && shape.invalidHandlerLinks + shape.invalidDirectoryLinks <= objects / 100);
                depths.insert(shape.depth);
            }
        QVERIFY(depths.size() > 1);
    }

    void everySubscriberHasOnePrimaryHandler_data() { sizes(); }
    void everySubscriberHasOnePrimaryHandler()
    {
        QFETCH(int, objects);
        SERVER(objects);
        QCOMPARE(s.count(QStringLiteral(
                     "SELECT * FROM Subscriber u WHERE SubscriberType<>1 OR (SELECT count(*) FROM CallHandler c WHERE "
                     "c.IsPrimary=1 AND c.RecipientObjectID=u.SubscriberObjectID) <> 1 OR NOT EXISTS (SELECT 1 FROM "
                     "CallHandler c WHERE c.CallHandlerObjectID=u.CallHandlerObjectID AND c.IsPrimary=1 AND "
                     "c.RecipientObjectID=u.SubscriberObjectID AND c.RecipientObjectIDType=1 AND "
                     "c.AdministratorObjectID=u.SubscriberObjectID)")), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM CallHandler WHERE IsPrimary=1")), shape.subscribers);
        // The primary handler shows its subscriber's own extension.
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM vw_CallHandler c JOIN DTMFAccessID d ON d.ParentObjectID="
                                        "c.RecipientObjectID AND d.ParentObjectIDType=1 WHERE c.IsPrimary=1 AND "
                                        "c.DTMFAccessID=d.DTMFAccessID")), shape.subscribers);
    }

    void everyHandlerHasItsRules_data()
    {
        QTest::addColumn<int>("objects");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("aliases");
        const QStringList keys = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};
        const QStringList greetings = {"Standard", "Off Hours", "Busy", "Alternate", "Internal", "Error"};
        const QStringList contacts = {"Standard", "Off Hours", "Alternate"};
        for (int objects : {200, 1000}) {
            QTest::addRow("%d keys", objects) << objects << "MenuEntry" << keys;
            QTest::addRow("%d greetings", objects) << objects << "MessagingRule" << greetings;
            QTest::addRow("%d contact rules", objects) << objects << "ContactRule" << contacts;
        }
    }
    void everyHandlerHasItsRules()
    {
        QFETCH(int, objects);
        QFETCH(QString, table);
        QFETCH(QStringList, aliases);
        SERVER(objects);
        const int handlers = shape.callHandlers + shape.subscribers;
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM CallHandler")), handlers);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM %1").arg(table)), handlers * int(aliases.size()));
        for (const QString &alias : aliases)
            QCOMPARE(s.count(QStringLiteral("SELECT * FROM CallHandler c WHERE (SELECT count(*) FROM %1 r WHERE "
                                            "r.ParentObjectID=c.CallHandlerObjectID AND r.Alias=?) <> 1").arg(table), {alias}), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM CallHandler c WHERE NOT EXISTS (SELECT 1 FROM ContactRule r WHERE "
                                        "r.ContactRuleObjectID=c.ContactRuleAlternate AND r.Alias='Alternate')")), 0);
    }

    void routingTreeLinksEachHandlerOnce_data() { sizes(); }
    void routingTreeLinksEachHandlerOnce()
    {
        QFETCH(int, objects);
        SERVER(objects);
        // Parent -> destination over keys "1"-"9" of the menus (the operator's lead back to the root).
        QSqlQuery q(s.db());
        QVERIFY(q.exec(QStringLiteral("SELECT m.ParentObjectID, upper(m.DestinationObjectID) FROM MenuEntry m JOIN CallHandler c "
                                      "ON c.CallHandlerObjectID=m.ParentObjectID WHERE c.IsPrimary=0 AND c.Alias<>'operatorch' AND m.Action=2 AND m.Alias "
                                      "BETWEEN '1' AND '9' AND m.") + PhLinks));
        QMultiHash<QString, QString> children;
        QHash<QString, int> parents;
        while (q.next()) {
            children.insert(q.value(0).toString(), q.value(1).toString());
            ++parents[q.value(1).toString()];
        }
        const QVariantList linked = s.column(QStringLiteral(
            "SELECT CallHandlerObjectID FROM CallHandler WHERE Alias NOT IN ('openinggreetingch','operatorch','goodbyech')"));
        for (const QVariant &id : linked)
            QVERIFY2(parents.value(id.toString()) == 1, qPrintable(id.toString()));
        QVERIFY(std::all_of(parents.cbegin(), parents.cend(), [](int n) { return n == 1; }));
        QCOMPARE(int(parents.size()), shape.callHandlers - 3 + shape.subscribers + shape.invalidHandlerLinks);

        // Breadth first from the root: every menu is reached, the deepest menus at 4-6 levels.
        QHash<QString, int> depth{{generatedObjectId(1, SampleIds::Kind::CallHandler, 1), 0}};
        QStringList queue = depth.keys();
        int deepest = 0;
        while (!queue.isEmpty()) {
            const QString at = queue.takeFirst();
            for (const QString &child : children.values(at))
                if (!depth.contains(child) && children.contains(child)) {
                    depth.insert(child, depth.value(at) + 1);
                    deepest = std::max(deepest, depth.value(child));
                    queue << child;
                }
        }
        QCOMPARE(int(depth.size()), int(QSet<QString>(children.keyBegin(), children.keyEnd()).size()));
        QCOMPARE(deepest, shape.depth);
        QVERIFY2(deepest >= 4 && deepest <= 6, qPrintable(QString::number(deepest)));

        // Key 0 reaches the operator from every menu; directories and interviews hang off menus.
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM MenuEntry m JOIN CallHandler c ON c.CallHandlerObjectID=m.ParentObjectID "
                                        "WHERE c.IsPrimary=0 AND c.Alias NOT IN ('operatorch','goodbyech') AND m.Alias='0' AND "
                                        "m.ConversationName='PHTransfer' AND m.DestinationObjectID=?"),
                         {generatedObjectId(1, SampleIds::Kind::CallHandler, 2)}),
                 shape.callHandlers - 2);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM MenuEntry WHERE ConversationName='AD'")),
                 shape.nameLookupHandlers + shape.invalidDirectoryLinks);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM MenuEntry WHERE ConversationName='CHInterview' AND DestinationObjectIDType=5 "
                                        "AND DestinationObjectID IN (SELECT InterviewHandlerObjectID FROM vw_InterviewHandler)")),
                 shape.interviewHandlers - 1);
    }

    void destinationsExistOrAreDeliberatelyInvalid_data() { sizes(); }
    void destinationsExistOrAreDeliberatelyInvalid()
    {
        QFETCH(int, objects);
        SERVER(objects);
        const QVariantList missing = s.column(QStringLiteral("SELECT DestinationObjectID FROM (%1) WHERE DestinationObjectID "
                                                             "NOT IN (SELECT CallHandlerObjectID FROM vw_CallHandler)")
                                                  .arg(HandlerDestinations));
        QCOMPARE(int(missing.size()), shape.invalidHandlerLinks);
        QVERIFY(shape.invalidHandlerLinks >= 1);
        for (const QVariant &id : missing)
            QVERIFY2(isGeneratedMissingId(id.toString()), qPrintable(id.toString()));
        const QVariantList missingDirectories = s.column(QStringLiteral(
            "SELECT DestinationObjectID FROM MenuEntry WHERE ConversationName='AD' AND DestinationObjectID NOT IN "
            "(SELECT NameLookupHandlerObjectID FROM vw_NameLookupHandler)"));
        QCOMPARE(int(missingDirectories.size()), shape.invalidDirectoryLinks);
        for (const QVariant &id : missingDirectories)
            QVERIFY(isGeneratedMissingId(id.toString()));
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM CallHandler WHERE length(CallHandlerObjectID) <> 38 OR "
                                        "CallHandlerObjectID LIKE '{FFFF%'")), 0);
    }

    void namesAndExtensionsAreUnique_data() { sizes(); }
    void namesAndExtensionsAreUnique()
    {
        QFETCH(int, objects);
        SERVER(objects);
        const QString aliases = QStringLiteral("SELECT Alias FROM CallHandler UNION ALL SELECT Alias FROM Subscriber UNION ALL "
                                               "SELECT Alias FROM InterviewHandler UNION ALL SELECT Alias FROM NameLookupHandler");
        QCOMPARE(s.count(QStringLiteral("SELECT Alias FROM (%1) GROUP BY Alias COLLATE BINARY HAVING count(*) > 1").arg(aliases)), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM (%1) WHERE Alias <> lower(Alias) OR Alias LIKE '% %' OR Alias = ''").arg(aliases)), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT TextName FROM CallHandler GROUP BY 1 HAVING count(*) > 1")), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM Subscriber WHERE DisplayName NOT LIKE 'Subscriber %' OR FirstName = '' "
                                        "OR LastName = '' OR FirstName IS NULL OR LastName IS NULL")), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM CallHandler WHERE Alias LIKE 'menu%' AND "
                                        "replace(substr(Alias, 6), '_', '.') <> substr(TextName, 6)")), 0);

        QCOMPARE(s.count(QStringLiteral("SELECT DTMFAccessID FROM DTMFAccessID GROUP BY ParentObjectIDType, DTMFAccessID HAVING count(*) > 1")), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT DTMFAccessID FROM DTMFAccessID GROUP BY DTMFAccessID HAVING count(*) > 1")), 0);
        QCOMPARE(s.count(QStringLiteral("SELECT * FROM DTMFAccessID WHERE ParentObjectIDType=1")), shape.subscribers);
        const int menusWithExtension = s.count(QStringLiteral("SELECT * FROM DTMFAccessID WHERE ParentObjectIDType=3"));
        QVERIFY2(menusWithExtension >= shape.callHandlers * 7 / 10 && menusWithExtension < shape.callHandlers,
                 qPrintable(QString::number(menusWithExtension)));
    }

    void sameSeedSameServerOtherSeedOther()
    {
        const auto build = [](quint32 seed, SampleFixture &f) {
            f.server = createGeneratedServer(f.dir.path(), {200, seed}, &f.error);
            return f.server && f.open(f.server->mainDatabase);
        };
        SampleFixture a, b, c;
        QVERIFY2(build(7, a) && build(7, b) && build(8, c), qPrintable(a.error + b.error + c.error));
        for (const char *table : {"CallHandler", "Subscriber", "MenuEntry", "MessagingRule", "ContactRule", "DTMFAccessID",
                                  "InterviewHandler", "InterviewQuestion", "NameLookupHandler"})
            QCOMPARE(a.dump(QString::fromLatin1(table)), b.dump(QString::fromLatin1(table)));
        const QString ids = QStringLiteral("SELECT CallHandlerObjectID FROM CallHandler ORDER BY rowid");
        const QString subscriberAliases = QStringLiteral("SELECT Alias FROM Subscriber ORDER BY rowid");
        const QString tree = QStringLiteral("SELECT Alias FROM CallHandler WHERE Alias LIKE 'menu%' ORDER BY rowid");
        QVERIFY(a.column(ids) != c.column(ids));
        QVERIFY(a.column(subscriberAliases) != c.column(subscriberAliases));
        QVERIFY(a.column(tree) != c.column(tree));
    }

    void opensThroughTheRegistryExport()
    {
        SERVER(200);
        quillor::platform::Registry registry;
        QString error;
        QVERIFY2(registry.loadFile(s.server->registryFile, &error), qPrintable(error));
        const auto major = registry.value(quillor::platform::RootKey::LocalMachine,
                                          QStringLiteral("SOFTWARE\\Varko Systems\\Varko Tolva"), QStringLiteral("MajorVersion"));
        QVERIFY(major && major->data.toUInt() == 4);
        const auto profile = quillor::platform::ServerProfile::fromRegistry(registry);
        QCOMPARE(profile.mainDatabase, QStringLiteral("sqlite:") + s.server->mainDatabase);
        quillor::platform::Database db(profile, standInProcedures());
        quillor::platform::DbError dbError;
        auto root = db.open(QStringLiteral("Provider=SQLOLEDB;Initial Catalog=TolvaDb"),
                            QStringLiteral("SELECT * FROM vw_CallHandler WHERE Alias=?"), {QStringLiteral("openinggreetingch")}, &dbError);
        QVERIFY2(root.isOpen(), qPrintable(dbError.description));
        QCOMPARE(root.RecordCount(), 1);
        auto stream = db.open(QStringLiteral("Driver={SQL Server};database=TolvaDirDB"),
                              QStringLiteral("SELECT FullName, ValueString FROM vw_Configuration WHERE FullName=?"),
                              {QStringLiteral("System.SystemSetup.DirectoryDatabase.StreamFileLocation")}, &dbError);
        QCOMPARE(stream.RecordCount(), 1);
        QCOMPARE(stream.text(QStringLiteral("ValueString")), s.server->streamFolder);
        QVERIFY(QFileInfo::exists(s.server->streamFolder + QStringLiteral("openinggreetingch_Standard.wav")));
        QVERIFY(s.count(QStringLiteral("SELECT * FROM sqlite_stat1 WHERE tbl='MenuEntry'")) > 0);
    }

    void tinyRequestsAreRaisedToTheMinimum_data()
    {
        QTest::addColumn<int>("objects");
        for (int objects : {-5, 0, 10, 11, 12, 13, 17})
            QTest::addRow("%d", objects) << objects;
    }
    void tinyRequestsAreRaisedToTheMinimum()
    {
        QFETCH(int, objects);
        SampleFixture f;
        f.server = createGeneratedServer(f.dir.path(), {objects, 3}, &f.error);
        QVERIFY2(f.server && f.open(f.server->mainDatabase), qPrintable(f.error));
        const GeneratedShape shape = generatedShape({objects, 3});
        QCOMPARE(shape.objects, std::max(objects, MinimumGeneratedObjects));
        QCOMPARE(f.count(QStringLiteral("SELECT * FROM vw_CallHandler WHERE Alias='openinggreetingch'")), 1);
        QCOMPARE(f.count(QStringLiteral("SELECT * FROM MenuEntry")), 12 * (shape.callHandlers + shape.subscribers));
        QVERIFY(shape.subscribers >= 1 && shape.invalidHandlerLinks >= 1);
    }

    void rebuildingReplacesTheServer()
    {
        SampleFixture f;
        QVERIFY(createGeneratedServer(f.dir.path(), {300, 1}));
        f.server = createGeneratedServer(f.dir.path(), {5000, 2}, &f.error);
        QVERIFY2(f.server && f.open(f.server->mainDatabase), qPrintable(f.error));
        QCOMPARE(f.count(QStringLiteral("SELECT * FROM CallHandler WHERE CallHandlerObjectID LIKE '%00000001}'")), 0);
        QCOMPARE(f.count(QStringLiteral("SELECT * FROM Subscriber")), generatedShape({5000, 2}).subscribers);
    }

    // The deep shape: chains whose every step leads on (key 1), back to the
    // root (key 0) and sideways (keys 2 and 3) to the first two menus below
    // the root, each chain hanging off one menu outside those two.
    void chainsRunDeepAndLeadSideways()
    {
        const GeneratedOptions options{1000, 1, 50};
        SampleFixture f;
        f.server = createGeneratedServer(f.dir.path(), options, &f.error);
        QVERIFY2(f.server && f.open(f.server->mainDatabase), qPrintable(f.error));
        const GeneratedShape shape = generatedShape(options);
        QCOMPARE(shape.chainLength, 50);
        QCOMPARE(shape.chains, 2);
        QCOMPARE(shape.menus + shape.chains * shape.chainLength, shape.callHandlers - 2);
        QCOMPARE(f.count(QStringLiteral("SELECT * FROM CallHandler WHERE IsPrimary=0")), shape.callHandlers);
        QCOMPARE(f.count(QStringLiteral("SELECT * FROM Subscriber")), shape.subscribers);

        const auto handler = [&](qint64 serial) { return generatedObjectId(1, SampleIds::Kind::CallHandler, serial); };
        const QString key = QStringLiteral("SELECT DestinationObjectID FROM MenuEntry WHERE ParentObjectID=? AND Alias=?");
        for (int c = 0; c < shape.chains; ++c) {
            const qint64 head = 3 + shape.menus + qint64(c) * shape.chainLength;
            for (qint64 step = head; step < head + shape.chainLength; ++step) {
                const QString id = handler(step);
                QCOMPARE(f.scalar(key, {id, QStringLiteral("0")}).toString(), handler(1));
                QCOMPARE(f.scalar(key, {id, QStringLiteral("1")}).toString(),
                         step + 1 < head + shape.chainLength ? handler(step + 1) : QString());
                QCOMPARE(f.scalar(key, {id, QStringLiteral("2")}).toString(), handler(4));
                QCOMPARE(f.scalar(key, {id, QStringLiteral("3")}).toString(), handler(5));
            }
            // Menu 1 and Menu 2 are the sideways menus; the chain hangs elsewhere.
            const QVariantList hangers = f.column(
                QStringLiteral("SELECT c.Alias FROM MenuEntry m JOIN CallHandler c ON c.CallHandlerObjectID=m.ParentObjectID "
                               "WHERE m.DestinationObjectID=? AND c.Alias NOT LIKE 'chain%'"),
                {handler(head)});
            QCOMPARE(hangers.size(), 1);
            const QString hanger = hangers.first().toString();
            QVERIFY2(hanger == QLatin1String("openinggreetingch")
                         || (hanger.startsWith(QLatin1String("menu_")) && !QStringList{"1", "2"}.contains(hanger.mid(5).section(u'_', 0, 0))),
                     qPrintable(hanger));
        }
        QCOMPARE(f.scalar(QStringLiteral("SELECT TextName FROM CallHandler WHERE CallHandlerObjectID=?"), {handler(4)}).toString(),
                 QStringLiteral("Menu 1"));
        QCOMPARE(f.count(QStringLiteral("SELECT TextName FROM CallHandler GROUP BY 1 HAVING count(*) > 1")), 0);
        // Too small a server for a chain and a few menus beside it gets none.
        QCOMPARE(generatedShape({200, 1, 50}).chains, 0);
    }

    void cleanupTestCase() { m_servers.clear(); }
};

QTEST_GUILESS_MAIN(TestEmbeddedGenerator)
#include "tst_embedded_generator.moc"
