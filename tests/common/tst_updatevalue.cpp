// The write path against the embedded server, with the rows checked afterwards.
#include "common/appcontext.h"
#include "common/module1.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "testserver.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

Q_DECLARE_METATYPE(quillor::classProcParam)

using namespace quillor;
namespace ids = quillor::embedded::SampleIds;

namespace {

const auto version = test::serverVersion;

QVariant readValue(AppContext &ctx, const QString &sql, const QVariantList &params)
{
    platform::DbError err;
    platform::Recordset rs = test::storeOf(ctx).open(ctx.state().gConnectionString, sql, params, &err);
    if (!rs.isOpen() || rs.RecordCount() != 1)
        return QStringLiteral("<no row: %1>").arg(err.description);
    rs.MoveFirst();
    return rs.value(0, 0);
}

QVariant handlerColumn(AppContext &ctx, const QString &column, const QString &id = ids::Sales)
{
    return readValue(ctx, QStringLiteral("SELECT %1 FROM vw_CallHandler WHERE CallHandlerObjectID = ?").arg(column), {id});
}

QVariant greetingColumn(AppContext &ctx, const QString &column, const QString &id)
{
    return readValue(ctx, QStringLiteral("SELECT %1 FROM MessagingRule WHERE MessagingRuleObjectID = ?").arg(column), {id});
}


classProcParam key(const QString &name, const QString &id) { return {name, id, 72}; }

const QRegularExpression kUpdateValueError(QStringLiteral("^\\(error\\):-?\\d+ \\(.+\\) in procedure UpdateValue of Module Module1$"));

} // namespace

class TestUpdateValue : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void procedurePath_data();
    void procedurePath();
    void refusedWritesChangeNothing_data();
    void refusedWritesChangeNothing();
    void greetingsByServerVersion_data();
    void greetingsByServerVersion();
    void directPathConvertsByType_data();
    void directPathConvertsByType();
    void directPathFailures_data();
    void directPathFailures();
    void directorySync();
    void newGuidForm();

private:
    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    AppContext &ctx() { return m_server->ctx(); }
};

void TestUpdateValue::init()
{
    m_seams = std::make_unique<test::FakeSeams>();
    m_server = std::make_unique<test::TestServer>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    ctx().state().gVersion = version(4, 2, 1, 50);
    QVERIFY(ctx().log().WriteLogHeader(m_server->folder() + QStringLiteral("/test.log"), {}));
}

void TestUpdateValue::cleanup()
{
    m_server.reset();
    m_seams.reset();
}

void TestUpdateValue::procedurePath_data()
{
    QTest::addColumn<QString>("procedure");
    QTest::addColumn<QList<classProcParam>>("params");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("display name")
        << "sp_ModifyCallHandler" << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "Sales Team", 200}}
        << "TextName" << QVariant("Sales Team");
    QTest::newRow("apostrophes are plain text")
        << "sp_ModifyCallHandler"
        << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "O'Brien's desk", 200}}
        << "TextName" << QVariant("O'Brien's desk");
    QTest::newRow("procedure name in another case")
        << "sp_ModifyCallHAndler" << QList<classProcParam>{key("callhandlerobjectid", ids::Sales), {"textname", "x", 200}}
        << "TextName" << QVariant("x");
    QTest::newRow("Null for inherited language")
        << "sp_ModifyCallHandler"
        << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"Language", 1033, 200, true}} << "Language"
        << QVariant(QMetaType::fromType<QString>());
    QTest::newRow("[dontset] leaves the parameter unset")
        << "sp_ModifyCallHandler"
        << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "[DontSet]", 200},
                                 {"MaxMsgLen", "120", 3}}
        << "TextName" << QVariant("Sales");
    QTest::newRow("integer given as text")
        << "sp_ModifyCallHandler" << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"MaxMsgLen", " 120 ", 3}}
        << "MaxMsgLen" << QVariant(120);
    QTest::newRow("a later record of the same name wins")
        << "sp_ModifyCallHandler"
        << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "first", 200}, {"TextName", "second", 200}}
        << "TextName" << QVariant("second");
    QTest::newRow("key in lower case") << "sp_ModifyCallHandler"
                                       << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales.toLower()),
                                                                {"TextName", "lower", 200}}
                                       << "TextName" << QVariant("lower");
}

void TestUpdateValue::procedurePath()
{
    QFETCH(QString, procedure);
    QFETCH(QList<classProcParam>, params);
    QFETCH(QString, column);
    QFETCH(QVariant, expected);

    QVERIFY2(UpdateValue(ctx(), procedure, params), qPrintable(m_seams->messages->texts().join(u'|')));
    const QVariant actual = handlerColumn(ctx(), column);
    QCOMPARE(actual.isNull(), expected.isNull());
    if (!expected.isNull())
        QCOMPARE(actual.toString(), expected.toString());
    QCOMPARE(m_seams->messages->texts(), QStringList{});
}

void TestUpdateValue::refusedWritesChangeNothing_data()
{
    QTest::addColumn<QString>("procedure");
    QTest::addColumn<QList<classProcParam>>("params");
    QTest::addColumn<bool>("messageShown");

    QTest::newRow("one record only")
        << "sp_ModifyCallHandler" << QList<classProcParam>{{"TextName", "changed", 200}} << false;
    QTest::newRow("no records") << "sp_ModifyCallHandler" << QList<classProcParam>{} << false;
    QTest::newRow("a parameter the procedure does not have")
        << "sp_ModifyCallHandler"
        << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "changed", 200}, {"NoSuchColumn", "1", 200}}
        << true;
    QTest::newRow("a value that is not a number")
        << "sp_ModifyCallHandler"
        << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "changed", 200}, {"MaxMsgLen", "abc", 3}}
        << true;
    QTest::newRow("an empty number")
        << "sp_ModifyCallHandler"
        << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "changed", 200}, {"MaxMsgLen", "", 3}}
        << true;
    QTest::newRow("a key that is not a GUID")
        << "sp_ModifyCallHandler" << QList<classProcParam>{key("CallHandlerObjectID", "sales"), {"TextName", "changed", 200}}
        << true;
    QTest::newRow("a procedure the server does not have")
        << "sp_NoSuchProcedure" << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "changed", 200}}
        << true;
    QTest::newRow("the server refuses the value")
        << "sp_ModifyCallHandler"
        << QList<classProcParam>{key("CallHandlerObjectID", ids::Sales), {"TextName", "changed", 200}, {"OneKeyDelay", "soon", 200}}
        << true;
}

void TestUpdateValue::refusedWritesChangeNothing()
{
    QFETCH(QString, procedure);
    QFETCH(QList<classProcParam>, params);
    QFETCH(bool, messageShown);

    QVERIFY(!UpdateValue(ctx(), procedure, params));
    QCOMPARE(handlerColumn(ctx(), QStringLiteral("TextName")).toString(), QStringLiteral("Sales"));
    QCOMPARE(handlerColumn(ctx(), QStringLiteral("MaxMsgLen")).toInt() == 0, false);
    const QStringList shown = m_seams->messages->texts();
    QCOMPARE(shown.size(), messageShown ? 1 : 0);
    if (messageShown)
        QVERIFY2(kUpdateValueError.match(shown.first()).hasMatch(), qPrintable(shown.first()));
}

void TestUpdateValue::greetingsByServerVersion_data()
{
    QTest::addColumn<TolvaVersionRecord>("server");
    QTest::addColumn<QString>("procedure");
    QTest::addColumn<bool>("direct");

    QTest::newRow("4.0(5.0) writes the row") << version(4, 0, 5, 0) << "csp_MessagingRuleModify" << true;
    QTest::newRow("4.0(5.0), name in another case") << version(4, 0, 5, 0) << "CSP_messagingRULEmodify" << true;
    QTest::newRow("4.0(3.120) writes the row") << version(4, 0, 3, 120) << "csp_MessagingRuleModify" << true;
    QTest::newRow("4.0(5.1) runs the procedure") << version(4, 0, 5, 1) << "csp_MessagingRuleModify" << false;
    QTest::newRow("4.2 runs the procedure") << version(4, 2, 1, 50) << "Csp_MessagingRuleModify" << false;
}

void TestUpdateValue::greetingsByServerVersion()
{
    QFETCH(TolvaVersionRecord, server);
    QFETCH(QString, procedure);
    QFETCH(bool, direct);

    ctx().state().gVersion = server;
    const QString greeting = ids::greetingId(ids::Sales, 1);
    QVERIFY(!greeting.isEmpty());
    const QVariant streamBefore = greetingColumn(ctx(), QStringLiteral("StreamPath"), greeting);
    // StreamPath is a column of the row but no parameter of the procedure:
    // only the direct write accepts it.
    const QList<classProcParam> params = {key("MessagingRuleObjectID", greeting), {"Reprompts", "7", 200},
                                          {"PlayWhat", "[dontset]", 200}, {"TimeExpires", QVariant(), 7, true},
                                          {"StreamPath", "new.wav", 200}};
    const QVariant playWhatBefore = greetingColumn(ctx(), QStringLiteral("PlayWhat"), greeting);
    const bool done(UpdateValue(ctx(), procedure, params));
    QCOMPARE(done, direct);
    if (direct) {
        QCOMPARE(greetingColumn(ctx(), QStringLiteral("Reprompts"), greeting).toInt(), 7);
        QVERIFY(greetingColumn(ctx(), QStringLiteral("TimeExpires"), greeting).isNull());
        QCOMPARE(greetingColumn(ctx(), QStringLiteral("PlayWhat"), greeting), playWhatBefore);
        QCOMPARE(greetingColumn(ctx(), QStringLiteral("StreamPath"), greeting).toString(), QStringLiteral("new.wav"));
        QCOMPARE(m_seams->messages->texts(), QStringList{});
    } else {
        // Refused as a whole: nothing of it reached the row.
        QCOMPARE(greetingColumn(ctx(), QStringLiteral("StreamPath"), greeting), streamBefore);
        QVERIFY(greetingColumn(ctx(), QStringLiteral("Reprompts"), greeting).toInt() != 7);
        QCOMPARE(m_seams->messages->texts().size(), 1);
        // Without the stray column the procedure does the same write.
        QVERIFY(UpdateValue(ctx(), procedure, params.mid(0, 4)));
        QCOMPARE(greetingColumn(ctx(), QStringLiteral("Reprompts"), greeting).toInt(), 7);
        QVERIFY(greetingColumn(ctx(), QStringLiteral("TimeExpires"), greeting).isNull());
    }
}

// Older servers' direct greeting write takes and refuses values exactly as
// the procedure of newer servers does.
void TestUpdateValue::directPathConvertsByType_data()
{
    QTest::addColumn<QString>("keyText"); // "" : the greeting's own ObjectID
    QTest::addColumn<classProcParam>("record");
    QTest::addColumn<QString>("stored"); // "" : refused, nothing written

    QTest::newRow("the switched-off date") << "" << classProcParam{"TimeExpires", "1/2/93", 7} << "1993-01-02 00:00:00";
    QTest::newRow("a date and time")
        << "" << classProcParam{"TimeExpires", QDateTime(QDate(2030, 5, 6), QTime(7, 8, 9)), 7} << "2030-05-06 07:08:09";
    QTest::newRow("an integer as text") << "" << classProcParam{"Reprompts", " 4 ", 3} << "4";
    QTest::newRow("not an integer") << "" << classProcParam{"Reprompts", "abc", 3} << "";
    QTest::newRow("not a date") << "" << classProcParam{"TimeExpires", "soon", 7} << "";
    QTest::newRow("a key that is not a GUID") << "greeting" << classProcParam{"Reprompts", "4", 3} << "";
}

void TestUpdateValue::directPathConvertsByType()
{
    QFETCH(QString, keyText);
    QFETCH(classProcParam, record);
    QFETCH(QString, stored);

    QStringList messages;
    for (const bool direct : {true, false}) {
        ctx().state().gVersion = direct ? version(4, 0, 5, 0) : version(4, 0, 5, 1);
        const QString greeting = ids::greetingId(ids::Sales, direct ? 1 : 3);
        const QString column = record.strPropertyName;
        const QVariant before = greetingColumn(ctx(), column, greeting);
        const QVariant playWhat = greetingColumn(ctx(), QStringLiteral("PlayWhat"), greeting);
        m_seams->messages->shown.clear();
        const bool done(UpdateValue(ctx(), QStringLiteral("csp_MessagingRuleModify"),
                                    {key("MessagingRuleObjectID", keyText.isEmpty() ? greeting : keyText),
                                     {"PlayWhat", "2", 3}, record}));
        QCOMPARE(done, !stored.isEmpty());
        if (done) {
            QCOMPARE(greetingColumn(ctx(), column, greeting).toString(), stored);
            QCOMPARE(m_seams->messages->texts(), QStringList{});
            continue;
        }
        // Refused with the write path's message; not even the valid record was written.
        QCOMPARE(greetingColumn(ctx(), column, greeting), before);
        QCOMPARE(greetingColumn(ctx(), QStringLiteral("PlayWhat"), greeting), playWhat);
        QCOMPARE(m_seams->messages->texts().size(), 1);
        QVERIFY2(kUpdateValueError.match(m_seams->messages->texts().first()).hasMatch(),
                 qPrintable(m_seams->messages->texts().first()));
        messages << m_seams->messages->texts();
    }
    if (!messages.isEmpty())
        QCOMPARE(messages.first(), messages.last());
}

void TestUpdateValue::directPathFailures_data()
{
    QTest::addColumn<QList<classProcParam>>("params");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("messageShown");

    QTest::newRow("no key record") << QList<classProcParam>{{"Reprompts", "3", 200}, {"PlayWhat", "1", 200}}
                                   << "(error) could not find objectId in list of parameters for updating the messaging rule."
                                   << false;
    QTest::newRow("no such row")
        << QList<classProcParam>{key("MessagingRuleObjectID", "{0000A2FF-0000-4000-8000-000000000000}"), {"Reprompts", "3", 200}}
        << "(error) could not find messaging rule for update purposes.  MessagingRuleObjectID={0000A2FF-0000-4000-8000-000000000000}"
        << false;
    QTest::newRow("no such column") << QList<classProcParam>{key("MessagingRuleObjectID", ids::greetingId(ids::Sales, 1)),
                                                             {"Reprompts", "3", 200}, {"NoSuchColumn", "1", 200}}
                                    << QString() << true;
}

void TestUpdateValue::directPathFailures()
{
    QFETCH(QList<classProcParam>, params);
    QFETCH(QString, logLine);
    QFETCH(bool, messageShown);

    ctx().state().gVersion = version(4, 0, 5, 0);
    const QString greeting = ids::greetingId(ids::Sales, 1);
    const QVariant before = greetingColumn(ctx(), QStringLiteral("Reprompts"), greeting);
    QVERIFY(!UpdateValue(ctx(), QStringLiteral("csp_MessagingRuleModify"), params));
    QCOMPARE(greetingColumn(ctx(), QStringLiteral("Reprompts"), greeting), before);
    if (const QString log = test::logText(ctx()); !logLine.isEmpty())
        QVERIFY2(log.contains(logLine + QStringLiteral("\r\n")), qPrintable(log));
    QCOMPARE(m_seams->messages->texts().size(), messageShown ? 1 : 0);
}

void TestUpdateValue::directorySync()
{
    // The subscriber's extension, with the directory told of it.
    QVERIFY(UpdateValue(ctx(), QStringLiteral("sp_ModifySubscriber"),
                        {key("SubscriberObjectID", ids::BobSales), {"DTMFAccessID", "5999", 200}}, true, false));
    QCOMPARE(handlerColumn(ctx(), QStringLiteral("DTMFAccessID"), ids::BobSalesHandler).toString(), QStringLiteral("5999"));
    // A procedure without the synchronisation parameter refuses the whole write.
    QVERIFY(!UpdateValue(ctx(), QStringLiteral("sp_ModifyCallHandler"),
                         {key("CallHandlerObjectID", ids::Sales), {"TextName", "synced", 200}}, true, false));
    QCOMPARE(handlerColumn(ctx(), QStringLiteral("TextName")).toString(), QStringLiteral("Sales"));
    QCOMPARE(m_seams->messages->texts().size(), 1);
}

void TestUpdateValue::newGuidForm()
{
    static const QRegularExpression form(
        QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    const QString a = strNewGUID();
    QVERIFY2(form.match(a).hasMatch(), qPrintable(a));
    QCOMPARE(a.size(), 38);
    QVERIFY(a != strNewGUID());
}

QTEST_GUILESS_MAIN(TestUpdateValue)
#include "tst_updatevalue.moc"
