// The stand-in stored procedures, run on a fresh sample server.

#include "embedded/procedures.h"
#include "embedded/sampleids.h"
#include "embedded/sampleserver.h"
#include "samplefixture.h"

#include <QtTest>

using namespace quillor::embedded;
using quillor::embedded::test::SampleFixture;
using quillor::platform::AdoType;
using quillor::platform::DbError;
using quillor::platform::ProcArg;
namespace dberr = quillor::platform::dberr;

Q_DECLARE_METATYPE(QList<ProcArg>)

namespace {

ProcArg a(const char *name, const QVariant &value, AdoType type = AdoType::VarChar)
{
    return ProcArg{QString::fromLatin1(name), value, type};
}

const QVariant Null;

} // namespace

class TestEmbeddedProcedures : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(m_sample.create(), qPrintable(m_sample.error));
        m_procedures = standInProcedures();
    }
    void cleanup() { m_sample.close(); }

    // One parameter written: the column takes the converted value.
    void writesConvertedValue_data()
    {
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<QList<ProcArg>>("args");
        QTest::addColumn<QString>("check");
        QTest::addColumn<QVariant>("expected");
        const QString handler = QStringLiteral("SELECT %1 FROM CallHandler WHERE CallHandlerObjectID='") + SampleIds::Sales + u'\'';
        const QString entry = QStringLiteral("SELECT %1 FROM MenuEntry WHERE MenuEntryObjectID='")
                              + SampleIds::menuEntryId(SampleIds::Sales, 1) + u'\'';
        const QString greeting = QStringLiteral("SELECT %1 FROM MessagingRule WHERE MessagingRuleObjectID='")
                                 + SampleIds::greetingId(SampleIds::Sales, 1) + u'\'';
        const QString rule = QStringLiteral("SELECT %1 FROM ContactRule WHERE ContactRuleObjectID='")
                             + SampleIds::contactRuleId(SampleIds::Sales, 1) + u'\'';
        const QString directory = QStringLiteral("SELECT %1 FROM NameLookupHandler WHERE NameLookupHandlerObjectID='")
                                  + SampleIds::SalesDirectory + u'\'';
        const ProcArg salesKey = a("CallHandlerObjectID", SampleIds::Sales, AdoType::Guid);
        const ProcArg entryKey = a("MenuEntryObjectID", SampleIds::menuEntryId(SampleIds::Sales, 1), AdoType::Guid);
        const ProcArg greetingKey = a("MessagingRuleObjectID", SampleIds::greetingId(SampleIds::Sales, 1), AdoType::Guid);
        const ProcArg ruleKey = a("ContactRuleObjectID", SampleIds::contactRuleId(SampleIds::Sales, 1), AdoType::Guid);
        const ProcArg directoryKey = a("DirectoryHandlerObjectID", SampleIds::SalesDirectory, AdoType::Guid);

        QTest::newRow("text") << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("TextName", "Sales Desk")}
                              << handler.arg("TextName") << QVariant("Sales Desk");
        QTest::newRow("integer text trimmed") << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("MaxMsgLen", " 120 ")}
                                              << handler.arg("MaxMsgLen") << QVariant(120);
        QTest::newRow("negative integer") << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("SendUrgentMsg", "-1")}
                                          << handler.arg("SendUrgentMsg") << QVariant(-1);
        QTest::newRow("integer value") << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("Language", 1033)}
                                       << handler.arg("Language") << QVariant(1033);
        QTest::newRow("Null") << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("Language", Null)}
                              << handler.arg("Language") << Null;
        QTest::newRow("bit -1") << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("EditMsg", "0"), a("EditMsg", "-1")}
                                << handler.arg("EditMsg") << QVariant(1);
        QTest::newRow("bit False") << "sp_ModifyMenuEntry" << QList<ProcArg>{entryKey, a("Locked", "False")}
                                   << entry.arg("Locked") << QVariant(0);
        QTest::newRow("bit True") << "sp_ModifyMenuEntry" << QList<ProcArg>{entryKey, a("Locked", "True")}
                                  << entry.arg("Locked") << QVariant(1);
        QTest::newRow("bit boolean") << "sp_ModifyMenuEntry" << QList<ProcArg>{entryKey, a("Locked", true)}
                                     << entry.arg("Locked") << QVariant(1);
        QTest::newRow("conversation Null") << "sp_ModifyMenuEntry" << QList<ProcArg>{entryKey, a("ConversationName", Null)}
                                           << entry.arg("ConversationName") << Null;
        QTest::newRow("date as regional text") << "csp_MessagingRuleModify"
                                               << QList<ProcArg>{greetingKey, a("TimeExpires", "1/2/93", AdoType::Date)}
                                               << greeting.arg("TimeExpires") << QVariant("1993-01-02 00:00:00");
        QTest::newRow("date value") << "csp_MessagingRuleModify"
                                    << QList<ProcArg>{greetingKey, a("TimeExpires", QDateTime(QDate(2031, 5, 6), QTime(7, 8, 9), QTimeZone::utc()), AdoType::Date)}
                                    << greeting.arg("TimeExpires") << QVariant("2031-05-06 07:08:09");
        QTest::newRow("date Null") << "csp_MessagingRuleModify" << QList<ProcArg>{greetingKey, a("TimeExpires", Null, AdoType::Date)}
                                   << greeting.arg("TimeExpires") << Null;
        QTest::newRow("reprompts text") << "csp_MessagingRuleModify" << QList<ProcArg>{greetingKey, a("Reprompts", "9")}
                                        << greeting.arg("Reprompts") << QVariant(9);
        QTest::newRow("transfer string") << "sp_ModifyContactRule" << QList<ProcArg>{ruleKey, a("Extension", "9,5551234")}
                                         << rule.arg("Extension") << QVariant("9,5551234");
        QTest::newRow("disabled date") << "sp_ModifyContactRule" << QList<ProcArg>{ruleKey, a("TimeExpires", QDate(1993, 1, 2))}
                                       << rule.arg("TimeExpires") << QVariant("1993-01-02 00:00:00");
        QTest::newRow("exit slot") << "sp_ModifyDirectoryHandler"
                                   << QList<ProcArg>{directoryKey, a("NoInputObjectID", SampleIds::Goodbye), a("NoInputObjectIDType", "3")}
                                   << directory.arg("NoInputObjectID || '/' || NoInputObjectIDType")
                                   << QVariant(SampleIds::Goodbye + QStringLiteral("/3"));
        QTest::newRow("directory bit") << "sp_ModifyDirectoryHandler" << QList<ProcArg>{directoryKey, a("MenuStyle", "1")}
                                       << directory.arg("MenuStyle") << QVariant(1);
        QTest::newRow("subscriber exit") << "sp_ModifySubscriber"
                                         << QList<ProcArg>{a("SubscriberObjectID", SampleIds::BobSales), a("ExitAction", "1")}
                                         << QStringLiteral("SELECT ExitAction FROM Subscriber WHERE SubscriberObjectID='")
                                                + SampleIds::BobSales + u'\''
                                         << QVariant(1);
        QTest::newRow("names and key without regard to case")
            << "SP_MODIFYCALLHANDLER" << QList<ProcArg>{a("@callhandlerobjectid", SampleIds::Sales.toLower()), a("TEXTNAME", "x")}
            << handler.arg("TextName") << QVariant("x");
    }
    void writesConvertedValue()
    {
        QFETCH(QString, procedure);
        QFETCH(QList<ProcArg>, args);
        QFETCH(QString, check);
        QFETCH(QVariant, expected);
        QSqlDatabase db = m_sample.db();
        DbError error;
        QVERIFY2(m_procedures->execute(db, procedure, args, &error), qPrintable(error.description));
        QVERIFY(!error.isSet());
        const QVariant actual = m_sample.scalar(check);
        QCOMPARE(actual.isNull(), expected.isNull());
        QCOMPARE(actual.toString(), expected.toString());
    }

    // Parameters left out keep their columns; a Null one clears its column only.
    void absentVersusNull()
    {
        QSqlDatabase db = m_sample.db();
        const QString sql = QStringLiteral("SELECT TextName, Language, ScheduleObjectName FROM CallHandler WHERE CallHandlerObjectID=?");
        const auto row = [&] {
            QSqlQuery q(db);
            q.prepare(sql);
            q.addBindValue(SampleIds::Sales);
            q.exec();
            q.next();
            return QStringList{q.value(0).toString(), q.value(1).isNull() ? "<null>" : q.value(1).toString(),
                               q.value(2).toString()};
        };
        QCOMPARE(row(), QStringList({"Sales", "1031", "Weekdays"}));
        DbError error;
        QVERIFY(m_procedures->execute(db, "sp_ModifyCallHandler", {a("CallHandlerObjectID", SampleIds::Sales), a("TextName", "Sales 2")}, &error));
        QCOMPARE(row(), QStringList({"Sales 2", "1031", "Weekdays"}));
        QVERIFY(m_procedures->execute(db, "sp_ModifyCallHandler", {a("CallHandlerObjectID", SampleIds::Sales), a("Language", Null)}, &error));
        QCOMPARE(row(), QStringList({"Sales 2", "<null>", "Weekdays"}));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<QList<ProcArg>>("args");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message");
        const ProcArg salesKey = a("CallHandlerObjectID", SampleIds::Sales);
        const ProcArg directoryKey = a("DirectoryHandlerObjectID", SampleIds::SalesDirectory);
        QTest::newRow("text for an integer")
            << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("TextName", "changed"), a("OneKeyDelay", "abc")}
            << dberr::ConversionFailed << "Conversion failed when converting the varchar value 'abc' to data type int.";
        QTest::newRow("empty text for an integer")
            << "sp_ModifyDirectoryHandler" << QList<ProcArg>{directoryKey, a("MaxMatches", "")} << dberr::ConversionFailed
            << "Conversion failed when converting the varchar value '' to data type int.";
        QTest::newRow("fraction for an integer")
            << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("MaxMsgLen", "1.5")} << dberr::ConversionFailed
            << "'1.5'";
        QTest::newRow("integer too large")
            << "sp_ModifyCallHandler" << QList<ProcArg>{salesKey, a("MaxMsgLen", "99999999999")} << dberr::ConversionFailed
            << "overflowed an int column";
        QTest::newRow("text for a bit")
            << "sp_ModifyDirectoryHandler" << QList<ProcArg>{directoryKey, a("SayExtension", "maybe")} << dberr::ConversionFailed
            << "to data type bit.";
        QTest::newRow("text for a date")
            << "sp_ModifyContactRule"
            << QList<ProcArg>{a("ContactRuleObjectID", SampleIds::contactRuleId(SampleIds::Sales, 0)), a("TimeExpires", "soon")}
            << dberr::ConversionFailed << "date and/or time";
        QTest::newRow("no such row")
            << "sp_ModifyCallHandler" << QList<ProcArg>{a("CallHandlerObjectID", SampleIds::MissingHandler), a("TextName", "x")}
            << dberr::NoRowAffected << SampleIds::MissingHandler;
        QTest::newRow("no such row, extension only")
            << "sp_ModifySubscriber" << QList<ProcArg>{a("SubscriberObjectID", SampleIds::MissingSubscriber), a("DTMFAccessID", "7777")}
            << dberr::NoRowAffected << "nothing was changed";
        QTest::newRow("Null key")
            << "sp_ModifyMenuEntry" << QList<ProcArg>{a("MenuEntryObjectID", Null), a("Locked", "True")} << dberr::NoRowAffected << "";
        QTest::newRow("key missing")
            << "sp_ModifyCallHandler" << QList<ProcArg>{a("TextName", "x")} << procerr::MissingParameter
            << "expects parameter '@CallHandlerObjectID'";
        QTest::newRow("undeclared parameter")
            << "sp_ModifyMenuEntry" << QList<ProcArg>{a("MenuEntryObjectID", SampleIds::menuEntryId(SampleIds::Sales, 0)), a("Colour", "red")}
            << procerr::NotAParameter << "@Colour is not a parameter for procedure sp_ModifyMenuEntry.";
        QTest::newRow("unknown procedure")
            << "sp_DropEverything" << QList<ProcArg>{salesKey, a("TextName", "x")} << dberr::UnknownProcedure << "sp_DropEverything";
        QTest::newRow("ticket that does not exist")
            << "sp_DeleteDirectorySyncTicket" << QList<ProcArg>{a("Ticket", SampleIds::MissingHandler)} << dberr::NoRowAffected << "";
        QTest::newRow("scope list without directory id")
            << "sp_CreateScopeDList" << QList<ProcArg>{a("DisplayName", "x")} << procerr::MissingParameter << "@DirectoryID";
    }
    void refusals()
    {
        QFETCH(QString, procedure);
        QFETCH(QList<ProcArg>, args);
        QFETCH(int, number);
        QFETCH(QString, message);
        const QStringList tables = {"CallHandler", "NameLookupHandler", "MenuEntry", "ContactRule", "Subscriber",
                                    "DTMFAccessID", "ScopeDList", "DirectorySyncTicket"};
        QHash<QString, QStringList> before;
        for (const QString &t : tables)
            before[t] = m_sample.dump(t);
        QSqlDatabase db = m_sample.db();
        DbError error;
        QVERIFY(!m_procedures->execute(db, procedure, args, &error));
        QCOMPARE(error.number, number);
        QVERIFY2(error.description.contains(message), qPrintable(error.description));
        for (const QString &t : tables)
            QCOMPARE(m_sample.dump(t), before[t]);
    }

    // A statement that fails late takes the earlier ones of the call with it.
    void failureLeavesNothingHalfWritten()
    {
        QSqlDatabase db = m_sample.db();
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON DTMFAccessID BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        const QStringList before = m_sample.dump(QStringLiteral("CallHandler"));
        DbError error;
        QVERIFY(!m_procedures->execute(db, "sp_ModifyCallHandler",
                                       {a("CallHandlerObjectID", SampleIds::Goodbye), a("TextName", "Farewell"), a("DTMFAccessID", "1500")},
                                       &error));
        QVERIFY(error.description.contains(QStringLiteral("refused")));
        QCOMPARE(m_sample.dump(QStringLiteral("CallHandler")), before);
        // The connection is usable afterwards and not left inside a transaction.
        QVERIFY(db.transaction());
        QVERIFY(db.commit());
    }

    void primaryExtension_data()
    {
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<QString>("keyName");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<int>("ownerType");
        QTest::newRow("handler: change") << "sp_ModifyCallHandler" << "CallHandlerObjectID" << SampleIds::Operator << " 7001 "
                                         << SampleIds::Operator << 3;
        QTest::newRow("handler: add") << "sp_ModifyCallHandler" << "CallHandlerObjectID" << SampleIds::Goodbye << "7002"
                                      << SampleIds::Goodbye << 3;
        QTest::newRow("handler: remove") << "sp_ModifyCallHandler" << "CallHandlerObjectID" << SampleIds::Operator << ""
                                         << SampleIds::Operator << 3;
        QTest::newRow("primary handler: the subscriber's") << "sp_ModifyCallHandler" << "CallHandlerObjectID"
                                                           << SampleIds::BobSalesHandler << "7003" << SampleIds::BobSales << 1;
        QTest::newRow("subscriber: change") << "sp_ModifySubscriber" << "SubscriberObjectID" << SampleIds::AliceAdmin << "7004"
                                            << SampleIds::AliceAdmin << 1;
        QTest::newRow("subscriber: remove") << "sp_ModifySubscriber" << "SubscriberObjectID" << SampleIds::BobSales << ""
                                            << SampleIds::BobSales << 1;
        QTest::newRow("directory: add") << "sp_ModifyDirectoryHandler" << "DirectoryHandlerObjectID"
                                        << SampleIds::BrokenDirectory << "7005" << SampleIds::BrokenDirectory << 6;
        QTest::newRow("directory: remove") << "sp_ModifyDirectoryHandler" << "DirectoryHandlerObjectID"
                                           << SampleIds::CompanyDirectory << "" << SampleIds::CompanyDirectory << 6;
    }
    void primaryExtension()
    {
        QFETCH(QString, procedure);
        QFETCH(QString, keyName);
        QFETCH(QString, key);
        QFETCH(QString, extension);
        QFETCH(QString, owner);
        QFETCH(int, ownerType);
        QSqlDatabase db = m_sample.db();
        const int othersBefore = m_sample.count(QStringLiteral("SELECT * FROM DTMFAccessID WHERE ParentObjectID <> ? OR ParentObjectID IS NULL"), {owner});
        DbError error;
        QVERIFY2(m_procedures->execute(db, procedure, {ProcArg{keyName, key, AdoType::Guid}, a("DTMFAccessID", extension)}, &error),
                 qPrintable(error.description));
        const QVariantList rows = m_sample.column(
            QStringLiteral("SELECT DTMFAccessID || '/' || ParentObjectIDType FROM DTMFAccessID WHERE ParentObjectID=? AND IsPrimaryID=1"),
            {owner});
        if (extension.trimmed().isEmpty())
            QCOMPARE(rows.size(), 0);
        else
            QCOMPARE(rows, QVariantList{QStringLiteral("%1/%2").arg(extension.trimmed()).arg(ownerType)});
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM DTMFAccessID WHERE ParentObjectID <> ? OR ParentObjectID IS NULL"), {owner}),
                 othersBefore);
    }

    // A subscriber's new extension shows on its primary handler and in the extension list.
    void subscriberExtensionShowsEverywhere()
    {
        QSqlDatabase db = m_sample.db();
        DbError error;
        QVERIFY(m_procedures->execute(db, "sp_ModifySubscriber",
                                      {a("SubscriberObjectID", SampleIds::AliceAdmin, AdoType::Guid), a("DTMFAccessID", "5099"),
                                       a("DirectorySync", 1, AdoType::Integer)},
                                      &error));
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT DTMFAccessID FROM vw_CallHandler WHERE CallHandlerObjectID=?"),
                                 {SampleIds::AliceAdminHandler}),
                 QVariant(QStringLiteral("5099")));
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID='5001'")), 1);
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT DisplayName FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID='5099'")),
                 QVariant(QStringLiteral("Alice Admin")));
    }

    void syncTicketRoundTrip()
    {
        QSqlDatabase db = m_sample.db();
        const QString ticket = QStringLiteral("{0000AAAA-0000-4000-8000-000000000001}");
        DbError error;
        QVERIFY(m_procedures->execute(db, "sp_ModifySubscriber",
                                      {a("SubscriberObjectID", SampleIds::AliceAdmin), a("DTMFAccessID", "5001"),
                                       a("DirectorySync", 1), a("DirectorySyncTicket", ticket, AdoType::Guid)},
                                      &error));
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT result FROM vw_DirectorySyncTicket WHERE Ticket=?"), {ticket}), QVariant(0));
        QVERIFY(m_procedures->execute(db, "sp_DeleteDirectorySyncTicket", {a("Ticket", ticket.toLower())}, &error));
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_DirectorySyncTicket")), 0);
    }

    void scopeListIsReused()
    {
        QSqlDatabase db = m_sample.db();
        DbError error;
        QVERIFY(m_procedures->execute(db, "sp_CreateScopeDList",
                                      {a("DirectoryID", SampleIds::AllSubscribersDirectoryId), a("DisplayName", "All Subscribers")}, &error));
        QCOMPARE(m_sample.column(QStringLiteral("SELECT ScopeDListObjectID FROM vw_ScopeDList WHERE DirectoryID=?"),
                                 {SampleIds::AllSubscribersDirectoryId}),
                 QVariantList{SampleIds::AllSubscribersScope});
        QVERIFY(m_procedures->execute(db, "sp_CreateScopeDList",
                                      {a("DirectoryID", SampleIds::OperatorsDirectoryId), a("DisplayName", "Operators")}, &error));
        QVERIFY(m_procedures->execute(db, "sp_CreateScopeDList",
                                      {a("DirectoryID", SampleIds::OperatorsDirectoryId.toLower()), a("DisplayName", "Operators")}, &error));
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM vw_ScopeDList WHERE DirectoryID=?"), {SampleIds::OperatorsDirectoryId}), 1);
    }

    void declaredParameters_data()
    {
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("contains");
        QTest::newRow("call handler, other spelling") << "sp_ModifyCallHAndler" << 17 << "CallHandlerObjectID" << "OneKeyDelay";
        QTest::newRow("directory handler: 16 exit parameters") << "sp_modifydirectoryhandler" << 29 << "DirectoryHandlerObjectID" << "NoSelectionObjectIDType";
        QTest::newRow("subscriber") << "sp_ModifySubscriber" << 8 << "SubscriberObjectID" << "DirectorySyncTicket";
        QTest::newRow("contact rule") << "sp_ModifyContactRule" << 6 << "ContactRuleObjectID" << "TransferRings";
        QTest::newRow("greeting") << "CSP_MESSAGINGRULEMODIFY" << 9 << "MessagingRuleObjectID" << "DestinationObjectIDType";
        QTest::newRow("menu entry") << "sp_ModifyMenuEntry" << 6 << "MenuEntryObjectID" << "Locked";
        QTest::newRow("scope list") << "sp_CreateScopeDList" << 2 << "DirectoryID" << "DisplayName";
        QTest::newRow("ticket") << "sp_DeleteDirectorySyncTicket" << 1 << "Ticket" << "Ticket";
        QTest::newRow("create handler") << "csp_CallHandlerCreate" << 16 << "Alias" << "CallHandlerTemplateObjectID";
        QTest::newRow("import handler") << "sp_ImportCallHandler" << 16 << "Alias" << "DtmfId";
        QTest::newRow("create directory") << "sp_CreateDirectoryHandler" << 36 << "Alias" << "UID";
    }
    void declaredParameters()
    {
        QFETCH(QString, procedure);
        QFETCH(int, size);
        QFETCH(QString, first);
        QFETCH(QString, contains);
        const auto names = m_procedures->parameters(procedure);
        QVERIFY(names.has_value());
        QCOMPARE(names->size(), size);
        QCOMPARE(names->first(), first);
        QVERIFY(names->contains(contains));
        QStringList distinct = *names;
        QCOMPARE(distinct.removeDuplicates(), 0);
        QVERIFY(!m_procedures->parameters(QStringLiteral("sp_NoSuchThing")).has_value());
    }

    void batchParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<QStringList>("pairs"); // name=value, <null> for Null
        QTest::newRow("quotes, commas and doubled apostrophes")
            << "csp_CallHandlerCreate @Alias = N'obrien', @TextName = N'O''Brien, Sales, Inc.', @EditMsg = -1"
            << "csp_CallHandlerCreate" << QStringList{"Alias=obrien", "TextName=O'Brien, Sales, Inc.", "EditMsg=-1"};
        QTest::newRow("leading blank kept inside quotes")
            << "csp_CallHandlerCreate @AdministratorObjectIDType = N' 2', @Language = 1031"
            << "csp_CallHandlerCreate" << QStringList{"AdministratorObjectIDType= 2", "Language=1031"};
        QTest::newRow("empty text, NULL, no blanks")
            << "sp_CreateDirectoryHandler @DtmfAccessId=N'',@Language=NULL,@Tries=3"
            << "sp_CreateDirectoryHandler" << QStringList{"DtmfAccessId=", "Language=<null>", "Tries=3"};
        QTest::newRow("EXEC and plain quotes") << "EXEC sp_ModifyMenuEntry @Locked = 'True';"
                                               << "sp_ModifyMenuEntry" << QStringList{"Locked=True"};
        QTest::newRow("at sign and equals inside quotes") << "x @a = N'@b = 1, @c = 2'" << "x" << QStringList{"a=@b = 1, @c = 2"};
        QTest::newRow("no parameters") << "sp_Thing" << "sp_Thing" << QStringList{};
        QTest::newRow("unclosed quote") << "x @a = N'abc" << "" << QStringList{};
        QTest::newRow("trailing comma") << "x @a = 1," << "" << QStringList{};
        QTest::newRow("missing equals") << "x @a 1" << "" << QStringList{};
        QTest::newRow("two bare words") << "x @a = 1 2" << "" << QStringList{};
    }
    void batchParsing()
    {
        QFETCH(QString, text);
        QFETCH(QString, procedure);
        QFETCH(QStringList, pairs);
        DbError error;
        const auto batch = parseProcedureBatch(text, &error);
        if (procedure.isEmpty()) {
            QVERIFY(!batch.has_value());
            QCOMPARE(error.number, procerr::SyntaxError);
            return;
        }
        QVERIFY2(batch.has_value(), qPrintable(error.description));
        QCOMPARE(batch->procedure, procedure);
        QStringList actual;
        for (const ProcArg &arg : batch->args)
            actual << arg.name + u'=' + (arg.value.isNull() ? QStringLiteral("<null>") : arg.value.toString());
        QCOMPARE(actual, pairs);
    }

    // The creation text the program sends, with a name that needs care.
    void createCallHandlerFromBatch()
    {
        QSqlDatabase db = m_sample.db();
        const QString text = QStringLiteral(
            "csp_CallHandlerCreate @Alias = N'obriensales12345', @TextName = N'O''Brien, Sales', "
            "@AdministratorObjectID = N'%1', @AdministratorObjectIDType = N' 2', @AfterMessageAction = 2, "
            "@AfterMessageConversation = N'PHGreeting', @EditMsg = -1, @IsPrimary = 0, @Language = 1031, "
            "@DtmfAccessId = N'1005', @MaxMsgLen = 300, @OneKeyDelay = 1500, @ScheduleObjectName = N'Weekdays', "
            "@SendUrgentMsg = 2, @CallHandlerTemplateObjectID = N'%2', @Undeletable = 0")
                                 .arg(SampleIds::Operators, SampleIds::CallHandlerTemplate);
        DbError error;
        QVERIFY2(m_procedures->executeBatch(db, text, &error), qPrintable(error.description));
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT CallHandlerObjectID, TextName, EditMsg, AdministratorObjectIDType, IsPrimary, "
                                      "DTMFAccessID, Language, Undeletable FROM vw_CallHandler WHERE Alias='obriensales12345'")));
        QVERIFY(q.next());
        const QString id = q.value(0).toString();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$")).match(id).hasMatch(), qPrintable(id));
        QCOMPARE(q.value(1).toString(), QStringLiteral("O'Brien, Sales"));
        QCOMPARE(q.value(2).toInt(), 1);
        QCOMPARE(q.value(3).toInt(), 2);
        QCOMPARE(q.value(4).toInt(), 0);
        QCOMPARE(q.value(5).toString(), QStringLiteral("1005"));
        QCOMPARE(q.value(6).toInt(), 1031);
        QVERIFY(!q.next());
        q.finish();
        QCOMPARE(m_sample.column(QStringLiteral("SELECT Alias FROM ContactRule WHERE ParentObjectID=? ORDER BY rowid"), {id}),
                 QVariantList({"Standard", "Off Hours", "Alternate"}));
        QCOMPARE(m_sample.column(QStringLiteral("SELECT Alias FROM MenuEntry WHERE ParentObjectID=? AND Action=0 ORDER BY rowid"), {id}),
                 QVariantList({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"}));
        QCOMPARE(m_sample.column(QStringLiteral("SELECT Alias FROM MessagingRule WHERE ParentObjectID=? ORDER BY rowid"), {id}),
                 QVariantList({"Standard", "Off Hours", "Busy", "Alternate", "Internal", "Error"}));
        QCOMPARE(m_sample.count(QStringLiteral("SELECT DISTINCT MessagingRuleObjectID FROM MessagingRule WHERE ParentObjectID=?"), {id}), 6);
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT ObjectType FROM vw_DTMFAccessID_DialingDomain WHERE DTMFAccessID='1005'")), QVariant(3));

        // The same alias again is refused and adds nothing.
        const int handlers = m_sample.count(QStringLiteral("SELECT * FROM CallHandler"));
        QVERIFY(!m_procedures->executeBatch(db, QStringLiteral("csp_CallHandlerCreate @Alias = N'OBRIENSALES12345', @TextName = N'x'"), &error));
        QCOMPARE(error.number, procerr::DuplicateKey);
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM CallHandler")), handlers);
    }

    void createDirectoryHandlerFromBatch_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::newRow("with extension") << "3010";
        QTest::newRow("empty extension") << "";
    }
    void createDirectoryHandlerFromBatch()
    {
        QFETCH(QString, extension);
        QSqlDatabase db = m_sample.db();
        const QString text = QStringLiteral(
            "sp_CreateDirectoryHandler @Alias = N'newdir', @TextName = N'New, Directory', @DtmfAccessId = N'%1', "
            "@ApplicationObjectID = N'%2', @SearchScope = N'1', @UID = N'newdir', @EndDialDelay = N'2000', "
            "@MaxMatches = N'8', @MenuStyle = N'1', @SayExtension = N'1', @SearchByFirstName = N'0', "
            "@StartDialDelay = N'', @Tries = N'3', @UseStarToExit = N'1', @NoSelectionAction = N'2', "
            "@NoSelectionConversation = N'PHGreeting', @NoSelectionObjectIDType = N'3', @ExitObjectID = N'%3', "
            "@ExitAction = N'2', @ExitConversation = N'PHGreeting', @ExitObjectIDType = N'3', @Undeletable = N'0', "
            "@AdministratorObjectID = N'%4', @AdministratorObjectIDType = N'1'")
                                 .arg(extension, SampleIds::DirectoryApplication, SampleIds::OpeningGreeting, SampleIds::AliceAdmin);
        DbError error;
        QVERIFY2(m_procedures->executeBatch(db, text, &error), qPrintable(error.description));
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT TextName, DTMFAccessID, StartDialDelay, MenuStyle, ExitObjectID FROM vw_NameLookupHandler WHERE Alias='newdir'")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("New, Directory"));
        QCOMPARE(q.value(1).isNull(), extension.isEmpty());
        QCOMPARE(q.value(1).toString(), extension);
        QVERIFY(q.value(2).isNull()); // an empty template value stays empty
        QCOMPARE(q.value(3).toInt(), 1);
        QCOMPARE(q.value(4).toString(), SampleIds::OpeningGreeting);
        QVERIFY(!q.next());
    }

    void importCallHandlerMakesRulesOnRequest()
    {
        QSqlDatabase db = m_sample.db();
        DbError error;
        QVERIFY2(m_procedures->executeBatch(db, QStringLiteral("sp_ImportCallHandler @Alias = N'imported', @DisplayName = N'Imported', "
                                                                "@DtmfId = N'1006', @CreateContactRules = 0, "
                                                                "@CreateMenuEntries = 1, @CreateMessagingRules = 1"),
                                            &error),
                 qPrintable(error.description));
        const QString id = m_sample.scalar(QStringLiteral("SELECT CallHandlerObjectID FROM vw_CallHandler WHERE TextName='Imported' AND DTMFAccessID='1006'")).toString();
        QVERIFY(!id.isEmpty());
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM ContactRule WHERE ParentObjectID=?"), {id}), 0);
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM MenuEntry WHERE ParentObjectID=?"), {id}), 12);
    }

    void batchRefusals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("syntax") << "csp_CallHandlerCreate @Alias = N'x" << procerr::SyntaxError;
        QTest::newRow("unknown procedure") << "sp_Nothing @Alias = N'x'" << dberr::UnknownProcedure;
        QTest::newRow("no alias") << "csp_CallHandlerCreate @TextName = N'x'" << procerr::MissingParameter;
        QTest::newRow("bad number") << "csp_CallHandlerCreate @Alias = N'x', @MaxMsgLen = N'long'" << dberr::ConversionFailed;
        QTest::newRow("undeclared") << "sp_CreateDirectoryHandler @Alias = N'x', @Colour = 1" << procerr::NotAParameter;
    }
    void batchRefusals()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        const QStringList handlers = m_sample.dump(QStringLiteral("CallHandler"));
        const QStringList directories = m_sample.dump(QStringLiteral("NameLookupHandler"));
        QSqlDatabase db = m_sample.db();
        DbError error;
        QVERIFY(!m_procedures->executeBatch(db, text, &error));
        QCOMPARE(error.number, number);
        QCOMPARE(m_sample.dump(QStringLiteral("CallHandler")), handlers);
        QCOMPARE(m_sample.dump(QStringLiteral("NameLookupHandler")), directories);
    }

    // Older servers update greetings through the view.
    void greetingViewIsUpdatable()
    {
        QSqlQuery q(m_sample.db());
        q.prepare(QStringLiteral("UPDATE vw_MessagingRule SET PlayWhat = ?, IgnoreDigits = ? WHERE ParentObjectID = ? AND Alias = ?"));
        q.addBindValue(2);
        q.addBindValue(1);
        q.addBindValue(SampleIds::Support);
        q.addBindValue(QStringLiteral("off hours"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QCOMPARE(m_sample.scalar(QStringLiteral("SELECT PlayWhat || '/' || IgnoreDigits FROM MessagingRule WHERE MessagingRuleObjectID=?"),
                                 {SampleIds::greetingId(SampleIds::Support, 1)}),
                 QVariant(QStringLiteral("2/1")));
        QCOMPARE(m_sample.count(QStringLiteral("SELECT * FROM MessagingRule WHERE ParentObjectID=? AND PlayWhat=2"), {SampleIds::Support}), 1);
    }

private:
    SampleFixture m_sample;
    std::shared_ptr<quillor::platform::ProcedureCatalogue> m_procedures;
};

QTEST_GUILESS_MAIN(TestEmbeddedProcedures)
#include "tst_embedded_procedures.moc"
