// The main and directory database schemas on their own, without sample rows.

#include "embedded/sampleserver.h"
#include "samplefixture.h"

#include <QSqlRecord>
#include <QtTest>

using namespace quillor::embedded;
using quillor::embedded::test::SampleFixture;

class TestEmbeddedSchema : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_fixture.dir.isValid());
        QVERIFY(m_fixture.open(m_fixture.dir.filePath(QStringLiteral("empty.sqlite"))));
        QSqlDatabase db = m_fixture.db();
        QString error;
        QVERIFY2(createMainSchema(db, &error), qPrintable(error));
    }
    void cleanup()
    {
        m_fixture.close();
        QFile::remove(m_fixture.dir.filePath(QStringLiteral("empty.sqlite")));
    }

    void everyViewAnswers_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QStringList>("columns");
        const auto row = [](const char *view, const QStringList &columns) {
            QTest::newRow(view) << QString::fromLatin1(view) << columns;
        };
        row("vw_CallHandler", {"CallHandlerObjectID", "Alias", "TextName", "IsPrimary", "DTMFAccessID",
                               "ContactRuleAlternate", "AfterMessageObjectID", "OneKeyDelay"});
        row("vw_Subscriber", {"SubscriberObjectID", "CallHandlerObjectID", "SubscriberType", "COSObjectID", "SwitchID",
                              "ExitAction", "ExitObjectIDType", "DirectoryID", "HomeServer"});
        row("vw_ContactRule", {"ContactRuleObjectID", "ParentObjectID", "Alias", "Extension", "TransferRings",
                               "TransferType", "TimeExpires", "Action", "SwitchID", "PlayWhat", "RNAAction"});
        row("vw_MessagingRule", {"MessagingRuleObjectID", "ParentObjectID", "Alias", "Action", "ConversationName",
                                 "DestinationObjectID", "DestinationObjectIDType", "IgnoreDigits", "TimeExpires",
                                 "StreamPath", "PlayWhat", "Reprompts", "RepromptDelay"});
        row("vw_MenuEntry", {"MenuEntryObjectID", "ParentObjectID", "Alias", "Action", "ConversationName",
                             "DestinationObjectID", "DestinationObjectIDType", "Locked"});
        row("vw_InterviewHandler", {"InterviewHandlerObjectID", "DTMFAccessID", "Undeletable", "LocationObjectID",
                                    "AfterMessageObjectIDType"});
        row("vw_InterviewQuestion", {"InterviewQuestionObjectID", "ParentObjectID", "Alias", "StreamText",
                                     "MaxMsgLength", "StreamPath"});
        row("vw_NameLookupHandler", {"NameLookupHandlerObjectID", "DTMFAccessID", "PlayAllNames", "SearchScope",
                                     "NoSelectionObjectIDType", "ApplicationObjectID", "UseStarToExit", "Undeletable"});
        row("vw_DTMFAccessID_DialingDomain", {"DTMFAccessID", "ObjectType", "DisplayName"});
        row("vw_DistributionList", {"SystemDListObjectID", "DisplayName", "Alias", "DtmfAccessId", "DirectoryID"});
        row("vw_ScopeDList", {"ScopeDListObjectID", "DirectoryID", "DisplayName"});
        row("vw_COS", {"COSObjectID", "TextName"});
        row("vw_Location", {"LocationObjectID", "TextName", "Alias"});
        row("vw_Schedule", {"DisplayName", "IgnoreHolidays", "Monday", "Sunday"});
        row("vw_DirectorySyncTicket", {"Ticket", "result"});
        row("[Rule]", {"ActionObjectID"});
        row("DistributionList", {"DirectoryID", "SMTPAddress"});
    }
    void everyViewAnswers()
    {
        QFETCH(QString, view);
        QFETCH(QStringList, columns);
        QSqlQuery q(m_fixture.db());
        QVERIFY2(q.exec(QStringLiteral("SELECT * FROM %1").arg(view)), qPrintable(q.lastError().text()));
        const QSqlRecord record = q.record();
        for (const QString &column : columns)
            QVERIFY2(record.indexOf(column) >= 0, qPrintable(view + u'.' + column));
    }

    void directorySchemaAnswers()
    {
        SampleFixture dir;
        QVERIFY(dir.open(m_fixture.dir.filePath(QStringLiteral("dir.sqlite"))));
        QSqlDatabase db = dir.db();
        QString error;
        QVERIFY2(createDirectorySchema(db, &error), qPrintable(error));
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Configuration (FullName, ValueString) VALUES ('A.B', 'x')")));
        QCOMPARE(dir.scalar(QStringLiteral("SELECT ValueString FROM vw_Configuration WHERE FullName = 'a.b'")),
                 QVariant(QStringLiteral("x")));
    }

    // The searches that run once per object or per number must use an index.
    void searchesUseAnIndex_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("extension in use") << "SELECT * FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID = '1000'";
        QTest::newRow("rule by parent and alias") << "SELECT * FROM vw_MenuEntry WHERE ParentObjectID = 'x' AND Alias = '1'";
        QTest::newRow("greetings of a handler") << "SELECT * FROM vw_MessagingRule WHERE ParentObjectID = 'x'";
        QTest::newRow("contact rules of a handler") << "SELECT * FROM vw_ContactRule WHERE ParentObjectID = 'x'";
        QTest::newRow("handler by alias") << "SELECT * FROM vw_CallHandler WHERE Alias = 'openinggreetingch'";
        QTest::newRow("handler by id, joined extension")
            << "SELECT DTMFAccessID FROM vw_CallHandler WHERE CallHandlerObjectID = 'x'";
        QTest::newRow("subscriber by alias") << "SELECT * FROM vw_Subscriber WHERE Alias = 'aadmin'";
        QTest::newRow("scope list by directory id") << "SELECT * FROM vw_ScopeDList WHERE DirectoryID = 'x'";
    }
    void searchesUseAnIndex()
    {
        QFETCH(QString, query);
        QSqlQuery q(m_fixture.db());
        QVERIFY2(q.exec(QStringLiteral("EXPLAIN QUERY PLAN ") + query), qPrintable(q.lastError().text()));
        QStringList plan;
        while (q.next())
            plan << q.value(3).toString();
        for (const QString &step : plan)
            QVERIFY2(!step.startsWith(QStringLiteral("SCAN")), qPrintable(plan.join(QStringLiteral("; "))));
    }

    // IDs, aliases and names compare as on the real server: without regard to case.
    void textComparesWithoutCase()
    {
        QSqlQuery q(m_fixture.db());
        QVERIFY(q.exec(QStringLiteral("INSERT INTO CallHandler (CallHandlerObjectID, Alias) VALUES ('{ABCDEF}', 'SalesCH')")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO DTMFAccessID (DTMFAccessID, ParentObjectID, ParentObjectIDType) "
                                      "VALUES ('0100', '{abcdef}', 3)")));
        QCOMPARE(m_fixture.scalar(QStringLiteral("SELECT DTMFAccessID FROM vw_CallHandler WHERE Alias = 'salesch'")),
                 QVariant(QStringLiteral("0100")));
        QCOMPARE(m_fixture.count(QStringLiteral("SELECT * FROM vw_CallHandler WHERE CallHandlerObjectID = '{abcDEF}'")), 1);
        // Extensions keep their leading zeros.
        QCOMPARE(m_fixture.count(QStringLiteral("SELECT * FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID = '100'")), 0);
    }

    // A new interview handler gets its key from the server.
    void interviewHandlerKeyIsGenerated()
    {
        QSqlQuery q(m_fixture.db());
        QVERIFY(q.exec(QStringLiteral("INSERT INTO InterviewHandler (Alias) VALUES ('new')")));
        const QString id = m_fixture.scalar(QStringLiteral("SELECT InterviewHandlerObjectID FROM InterviewHandler")).toString();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$")).match(id).hasMatch(),
                 qPrintable(id));
    }

    void scheduleMasksAreTwelveBytes()
    {
        QSqlQuery q(m_fixture.db());
        q.prepare(QStringLiteral("INSERT INTO Schedule (DisplayName, Monday) VALUES (?, ?)"));
        q.bindValue(0, QStringLiteral("Short"));
        q.bindValue(1, QByteArray(11, '\0'));
        QVERIFY(!q.exec());
        q.bindValue(0, QStringLiteral("Right"));
        q.bindValue(1, QByteArray(12, '\0'));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }

    void scriptSplitting_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("statements");
        QTest::newRow("plain") << "CREATE TABLE a (x); CREATE TABLE b (y);" << 2;
        QTest::newRow("semicolon in text and comment")
            << "INSERT INTO a VALUES ('x;y'); -- not; a statement\nINSERT INTO a VALUES ('it''s;');" << 2;
        QTest::newRow("trigger body") << "CREATE TRIGGER t AFTER INSERT ON a BEGIN UPDATE a SET x = 1; DELETE FROM b; END;"
                                         " SELECT 1;"
                                      << 2;
        QTest::newRow("no final semicolon") << "SELECT 1; SELECT 2" << 2;
    }
    void scriptSplitting()
    {
        QFETCH(QString, script);
        QFETCH(int, statements);
        QCOMPARE(splitSqlScript(script).size(), statements);
    }

    // A script that fails part way leaves nothing of itself behind.
    void failedScriptLeavesNothing()
    {
        QSqlDatabase db = m_fixture.db();
        QString error;
        QVERIFY(!executeSqlScript(db, QStringLiteral("CREATE TABLE Fresh (x); CREATE TABLE CallHandler (y);"), &error));
        QVERIFY(error.contains(QStringLiteral("CallHandler")));
        QVERIFY(!db.tables().contains(QStringLiteral("Fresh")));
        QVERIFY(executeSqlScript(db, QStringLiteral("CREATE TABLE Fresh (x);"), &error));
        QVERIFY(db.tables().contains(QStringLiteral("Fresh")));
    }

private:
    SampleFixture m_fixture;
};

QTEST_GUILESS_MAIN(TestEmbeddedSchema)
#include "tst_embedded_schema.moc"
