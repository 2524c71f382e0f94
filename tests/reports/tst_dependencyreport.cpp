// The dependency report: its exact text, its refusals, every kind of
// reference counted independently on the sample and on a generated server,
// and the window's Save, Copy and repeated requests from the grid view.
#include "common/appcontext.h"
#include "common/objectid.h"
#include "common/tolvaversion.h"
#include "details/ownerlookup.h"
#include "embedded/generator.h"
#include "embedded/sampleids.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/objectgrid.h"
#include "pickers/pickersearch.h"
#include "reports/dependencyreport.h"
#include "reports/frmdependency.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillor;
namespace ids = quillor::embedded::SampleIds;
using Kind = ids::Kind;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A server of the program's generator, opened as the program opens it.
struct GeneratedServer {
    QTemporaryDir dir;
    std::optional<embedded::SampleServer> server;
    std::unique_ptr<AppContext> ctx;
    explicit GeneratedServer(int objects)
    {
        server = embedded::createGeneratedServer(dir.path(), {objects, 3});
        if (!server)
            return;
        ctx = std::make_unique<AppContext>(embedded::standInProcedures(), &test::testIdentity);
        ctx->loadRegistry(server->registryFile);
        ctx->state().gConnectionString = frmMain::connectionStringFor(QStringLiteral("TOLVASRV"));
        ctx->state().gVersion = getVersion(*ctx);
    }
};

GeneratedServer &generated()
{
    static GeneratedServer server(400);
    return server;
}

qint64 count(AppContext &ctx, const QString &sql, const QStringList &ids)
{
    QStringList marks;
    QVariantList params;
    for (const QString &id : ids) {
        marks << QStringLiteral("?");
        params << id;
    }
    const platform::Recordset rs =
        ctx.db().open(ctx.state().gConnectionString, QString(sql).replace(QStringLiteral("%IDS"), marks.join(u',')), params);
    return rs.isOpen() ? rs.value(0, 0).toLongLong() : -1;
}

// What the report must hold for a target, counted with one query per kind
// of reference: reason line -> number of such lines.
QMap<QString, qint64> expectedReasons(AppContext &ctx, qint16 type, const QString &id, qint64 *aliasLines)
{
    QStringList own{id};
    QStringList routing = own;
    if (type == 1) {
        const platform::Recordset s = ctx.db().open(ctx.state().gConnectionString,
            QStringLiteral("SELECT CallHandlerObjectID FROM Subscriber WHERE SubscriberObjectID = ?"), {id});
        routing << s.text(QStringLiteral("CallHandlerObjectID"));
    }
    const QString ch = QStringLiteral("SELECT COUNT(*) FROM CallHandler WHERE IsPrimary = 0 AND ");
    const QString sub = QStringLiteral("SELECT COUNT(*) FROM Subscriber s JOIN CallHandler c ON c.CallHandlerObjectID = "
                                       "s.CallHandlerObjectID WHERE s.SubscriberType NOT IN (0,6) AND ");
    const QString subExit = QStringLiteral("SELECT COUNT(*) FROM Subscriber s WHERE s.SubscriberType NOT IN (0,6) AND ");
    const QString ih = QStringLiteral("SELECT COUNT(*) FROM InterviewHandler WHERE ");
    const QString nlh = QStringLiteral("SELECT COUNT(*) FROM NameLookupHandler WHERE ");
    const auto rows = [](const char *table, const char *parent) {
        return QStringLiteral("EXISTS (SELECT 1 FROM %1 r WHERE r.ParentObjectID = %2 AND r.DestinationObjectID IN (%IDS))")
            .arg(QLatin1String(table), QLatin1String(parent));
    };
    const struct {
        const char *reason;
        QString sql;
        bool routing;
    } checks[] = {
        {"The owner of this call handler", ch + "AdministratorObjectID IN (%IDS)", false},
        {"The recipient of this call handler", ch + "RecipientObjectID IN (%IDS)", false},
        {"The after message destination for this call handler", ch + "AfterMessageObjectID IN (%IDS)", true},
        {"The destination for these caller input keys on this call handler: ",
         ch + rows("MenuEntry", "CallHandlerObjectID"), true},
        {"The after message destination for these greetings on this call handler: ",
         ch + rows("MessagingRule", "CallHandlerObjectID"), true},
        {"The after message destination for this subscriber", sub + "c.AfterMessageObjectID IN (%IDS)", true},
        {"The exit destination for this subscriber", subExit + "s.ExitObjectID IN (%IDS)", true},
        {"The destination for these caller input keys on this subscriber: ",
         sub + rows("MenuEntry", "c.CallHandlerObjectID"), true},
        {"The after message destination for these greetings on this subscriber: ",
         sub + rows("MessagingRule", "c.CallHandlerObjectID"), true},
        {"The owner of this interview handler", ih + "AdministratorObjectID IN (%IDS)", false},
        {"The recipient of this interview handler", ih + "RecipientObjectID IN (%IDS)", false},
        {"The after message destination for this interview handler", ih + "AfterMessageObjectID IN (%IDS)", true},
        {"The owner of this name lookup handler", nlh + "AdministratorObjectID IN (%IDS)", false},
        {"The exit action of this name lookup handler", nlh + "ExitObjectID IN (%IDS)", true},
        {"The zero out action of this name lookup handler", nlh + "ZeroObjectID IN (%IDS)", true},
        {"The no input action of this name lookup handler", nlh + "NoInputObjectID IN (%IDS)", true},
        {"The no selection action of this name lookup handler", nlh + "NoSelectionObjectID IN (%IDS)", true},
    };
    QMap<QString, qint64> expected;
    for (const auto &check : checks)
        if (const qint64 n = count(ctx, check.sql, check.routing ? routing : own))
            expected.insert(QString::fromLatin1(check.reason), n);
    *aliasLines = 0;
    for (const char *table : {"MenuEntry", "MessagingRule"}) {
        *aliasLines += count(ctx,
            QStringLiteral("SELECT COUNT(*) FROM %1 r WHERE r.DestinationObjectID IN (%IDS) AND r.ParentObjectID IN "
                           "(SELECT CallHandlerObjectID FROM CallHandler WHERE IsPrimary = 0 UNION ALL SELECT "
                           "CallHandlerObjectID FROM Subscriber WHERE SubscriberType NOT IN (0,6))")
                .arg(QLatin1String(table)),
            routing);
    }
    QStringList ruleIds;
    for (QString r : routing)
        ruleIds << r.remove(u'{').remove(u'}');
    if (count(ctx, QStringLiteral("SELECT COUNT(*) FROM [Rule] WHERE ActionObjectID IN (%IDS)"), ruleIds) > 0)
        expected.insert(QStringLiteral("rule"), 1);
    return expected;
}

} // namespace

class TestDependencyReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exactText();
    void refusals_data();
    void refusals();
    void everyReferenceCounted_data();
    void everyReferenceCounted();
    void windowFromTheGrid();
    void saveAndCopy();
    void windowTakesTheLinesHandedOn_data();
    void windowTakesTheLinesHandedOn();
    void readersOnSqlServersIdForm_data();
    void readersOnSqlServersIdForm();

private:
    void useVersion(test::TestServer &server) { server.ctx().state().gVersion = getVersion(server.ctx()); }
};

void TestDependencyReport::initTestCase() { QVERIFY(generated().ctx); }

void TestDependencyReport::exactText()
{
    test::FakeSeams seams;
    test::TestServer server;
    useVersion(server);
    // One key of the opening greeting leads to the company directory; nothing else does.
    const QString expected = QStringLiteral(
        "Dependency information for Directory Handler\r\nAlias=companydirectory\r\nDisplay Name=Company Directory\r\n"
        "===========================\r\n\r\nCALL HANDLERS:\r\n    _______\r\n    Alias=openinggreetingch\r\n"
        "    Display Name=Opening Greeting\r\n        The destination for these caller input keys on this call handler: "
        "\r\n            4\r\n\r\nSUBSCRIBERS:\r\n    None\r\n\r\nINTERVIEW HANDLERS:\r\n    None\r\n\r\n"
        "NAME LOOKUP HANDLERS:\r\n    None\r\n\r\nROUTING RULES:\r\n    None\r\n");
    const DependencyReport report = makeDependencyReport(server.ctx(), 6, ids::CompanyDirectory);
    QCOMPARE(report.text, expected);
    QCOMPARE(report.targetAlias, QStringLiteral("companydirectory"));
    QVERIFY(seams.messages->texts().isEmpty());
}

void TestDependencyReport::refusals_data()
{
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("release");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("text");
    const QString tooOld = QStringLiteral("This report only works with Tolva 4.1(1) and later\r\n");
    QTest::newRow("4.1(0)") << 1 << 0 << 3 << ids::Operator << tooOld;
    QTest::newRow("4.0(5)") << 0 << 5 << 3 << ids::Operator << tooOld;
    QTest::newRow("type 0") << 2 << 1 << 0 << ids::Operator
                            << QStringLiteral("Invalid object type passed to report: 0\r\n");
    QTest::newRow("type 2") << 2 << 1 << 2 << ids::AllSubscribers
                            << QStringLiteral("Invalid object type passed to report: 2");
    QTest::newRow("9 characters") << 2 << 1 << 3 << QStringLiteral("123456789")
                                  << QStringLiteral("Invalid ObjectID string passed to report: 123456789\r\n");
    QTest::newRow("10 characters") << 2 << 1 << 3 << QStringLiteral("1234567890")
                                   << QStringLiteral("Unable to find record for Call Handler using ObjectID=1234567890");
    QTest::newRow("a subscriber's call handler") << 2 << 1 << 1 << ids::BobSalesHandler
                                                 << QStringLiteral("Unable to find record for Subscriber using ObjectID=")
                                                        + ids::BobSalesHandler;
}

void TestDependencyReport::refusals()
{
    QFETCH(int, minor);
    QFETCH(int, release);
    QFETCH(int, type);
    QFETCH(QString, id);
    QFETCH(QString, text);
    test::FakeSeams seams;
    embedded::SampleOptions options;
    options.minor = minor;
    options.release = release;
    test::TestServer server(options);
    useVersion(server);
    const DependencyReport report = makeDependencyReport(server.ctx(), qint16(type), id);
    QCOMPARE(report.text, text);
    QCOMPARE(report.targetAlias, QString());
}

void TestDependencyReport::everyReferenceCounted_data()
{
    QTest::addColumn<bool>("onGenerated");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("id");
    QTest::newRow("opening greeting (its own error greeting, subscribers' greetings)") << false << 3 << ids::OpeningGreeting;
    QTest::newRow("operator (a routing rule)") << false << 3 << ids::Operator;
    QTest::newRow("goodbye (after message)") << false << 3 << ids::Goodbye;
    QTest::newRow("sales (an id in lower case)") << false << 3 << ids::Sales;
    QTest::newRow("alice (owner and recipient)") << false << 1 << ids::AliceAdmin;
    QTest::newRow("bob (keys to his call handler)") << false << 1 << ids::BobSales;
    QTest::newRow("feedback interview") << false << 5 << ids::FeedbackInterview;
    QTest::newRow("company directory") << false << 6 << ids::CompanyDirectory;
    using embedded::generatedObjectId;
    QTest::newRow("generated root") << true << 3 << generatedObjectId(3, Kind::CallHandler, 1);
    QTest::newRow("generated operator") << true << 3 << generatedObjectId(3, Kind::CallHandler, 2);
    QTest::newRow("generated subscriber") << true << 1 << generatedObjectId(3, Kind::Subscriber, 1);
    QTest::newRow("generated interview handler") << true << 5 << generatedObjectId(3, Kind::InterviewHandler, 2);
    QTest::newRow("generated directory") << true << 6 << generatedObjectId(3, Kind::NameLookupHandler, 1);
}

void TestDependencyReport::everyReferenceCounted()
{
    QFETCH(bool, onGenerated);
    QFETCH(int, type);
    QFETCH(QString, id);
    test::FakeSeams seams;
    std::unique_ptr<test::TestServer> sample;
    if (!onGenerated) {
        sample = std::make_unique<test::TestServer>();
        useVersion(*sample);
    }
    AppContext &ctx = onGenerated ? *generated().ctx : sample->ctx();

    qint64 aliasLines = 0;
    const QMap<QString, qint64> expected = expectedReasons(ctx, qint16(type), id, &aliasLines);
    const DependencyReport report = makeDependencyReport(ctx, qint16(type), id);
    QVERIFY2(report.text.startsWith(QStringLiteral("Dependency information for ")), qPrintable(report.text));

    QMap<QString, qint64> found;
    qint64 foundAliases = 0;
    qint64 blocks = 0;
    qint64 nones = 0;
    const QStringList lines = report.text.split(kCrLf);
    for (const QString &line : lines) {
        if (line.startsWith(QStringLiteral("            ")))
            ++foundAliases;
        else if (line.startsWith(QStringLiteral("        ")))
            ++found[line.mid(8)];
        else if (line == QStringLiteral("    _______"))
            ++blocks;
        else if (line == QStringLiteral("    None"))
            ++nones;
        else if (line == QStringLiteral("    One or more routing rules reference this object"))
            found.insert(QStringLiteral("rule"), 1);
    }
    QCOMPARE(found, expected);
    QCOMPARE(foundAliases, aliasLines);
    QVERIFY(blocks > 0 || nones == 5);
    QVERIFY(!expected.isEmpty());
    QVERIFY(seams.messages->texts().isEmpty());
}

void TestDependencyReport::windowFromTheGrid()
{
    test::MainWindowFixture f;
    QVERIFY(f.start());
    auto *kinds = f.window->findChild<QComboBox *>(QStringLiteral("cmbShowObjectType"));
    auto *grid = f.window->findChild<QTableView *>(QStringLiteral("gridObjects"));
    auto *command = f.window->findChild<QAction *>(QStringLiteral("mnuDependencyReport"));
    QVERIFY(kinds && grid && command && command->isEnabled());
    const auto requestFor = [&](int kind, const QString &objectId) {
        kinds->setCurrentIndex(kind);
        grid->setCurrentIndex(f.window->gridModel().index(f.window->gridModel().rowOfObject(objectId), 0));
        command->trigger();
        auto *window = f.window->findChild<frmDependency *>();
        return window ? window->reportText() : QString();
    };
    AppContext &ctx = f.server->ctx();
    // A subscriber row reports on the subscriber, not on its call handler.
    QCOMPARE(requestFor(GridSubscribers, ids::BobSalesHandler), makeDependencyReport(ctx, 1, ids::BobSales).text);
    auto *window = f.window->findChild<frmDependency *>();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Dependency Report"));
    // A second request while the window is open reports on the new object, in the same window.
    QCOMPARE(requestFor(GridInterviewHandlers, ids::FeedbackInterview),
             makeDependencyReport(ctx, 5, ids::FeedbackInterview).text);
    QCOMPARE(f.window->findChildren<frmDependency *>().size(), 1);
    f.window->findChild<frmDependency *>()->findChild<QPushButton *>(QStringLiteral("cmdExit"))->click();
    QTRY_VERIFY(f.window->findChildren<frmDependency *>().isEmpty());
}

void TestDependencyReport::saveAndCopy()
{
    test::FakeSeams seams;
    test::TestServer server;
    useVersion(server);
    // A name the box must not turn into blanks or line ends.
    const QString name = QStringLiteral("Good\u00A0bye\u2028line");
    QVERIFY(test::sql(server.ctx(), QStringLiteral("UPDATE CallHandler SET TextName = ? WHERE CallHandlerObjectID = ?"),
                      {name, ids::Goodbye}));
    frmDependency window(server.ctx());
    window.iObjectType = 3;
    window.strObjectID = ids::Goodbye;
    window.Form_Load();
    const QString text = makeDependencyReport(server.ctx(), 3, ids::Goodbye).text;
    QVERIFY(text.contains(QStringLiteral("Display Name=") + name + kCrLf));
    QCOMPARE(window.reportText(), text);
    const auto click = [&](const char *name) { window.findChild<QPushButton *>(QString::fromLatin1(name))->click(); };
    const auto fileBytes = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    };

    // A new file: the report as shown, byte for byte, under the proposed name.
    const QString path = server.folder() + QStringLiteral("/report.txt");
    seams.fileDialog->answers << path;
    click("cmdSave");
    QCOMPARE(seams.fileDialog->saveRequests.value(0).value(1), QStringLiteral("DependencyReport_goodbyech.txt"));
    QCOMPARE(fileBytes(path), text.toLocal8Bit());
    QVERIFY(fileBytes(path).contains("Display Name=Good\xC2\xA0" "bye\xE2\x80\xA8line\r\n"));
    click("cmdCopyToClipboard");
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
    QCOMPARE(seams.messages->texts(),
             (QStringList{QStringLiteral("File saved"), QStringLiteral("Report text copied to the clipboard")}));

    // An existing file: No keeps it; Yes replaces it with what the box holds now.
    auto *box = window.findChild<QPlainTextEdit *>(QStringLiteral("txtOutput"));
    box->setPlainText(QStringLiteral("edited\nby hand"));
    seams.messages->shown.clear();
    seams.fileDialog->answers << path << path;
    seams.messages->answers << platform::MsgAnswer::No << platform::MsgAnswer::Yes;
    click("cmdSave");
    QCOMPARE(fileBytes(path), text.toLocal8Bit());
    click("cmdSave");
    QCOMPARE(fileBytes(path), QByteArray("edited\r\nby hand"));
    QCOMPARE(seams.messages->texts(), (QStringList{QStringLiteral("Overwrite ") + path + u'?',
                                                   QStringLiteral("Overwrite ") + path + u'?', QStringLiteral("File saved")}));
    QCOMPARE(seams.messages->shown.value(0).title, QStringLiteral("Overwrite existing file?"));

    // A file that cannot be written is reported, never as saved.
    seams.messages->shown.clear();
    seams.fileDialog->answers << server.folder() + QStringLiteral("/no such folder/report.txt");
    click("cmdSave");
    QCOMPARE(seams.messages->texts().size(), 1);
    QVERIFY2(seams.messages->texts().value(0).startsWith(QStringLiteral("(error):75 (Cannot write ")),
             qPrintable(seams.messages->texts().value(0)));

    // Copy hands on the same text as Save.
    seams.messages->shown.clear();
    click("cmdCopyToClipboard");
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("edited\r\nby hand"));
    QCOMPARE(seams.messages->texts(), QStringList{QStringLiteral("Report text copied to the clipboard")});
}

void TestDependencyReport::windowTakesTheLinesHandedOn_data()
{
    QTest::addColumn<bool>("onGenerated");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<bool>("made");
    const QString root = embedded::generatedObjectId(3, Kind::CallHandler, 1);
    QTest::newRow("a report of many runs") << true << 3 << root << QString() << true;
    QTest::newRow("a refusal") << false << 3 << QStringLiteral("123") << QString() << false;
    // Call handlers and subscribers have been handed on when the interview handlers fail.
    QTest::newRow("a list that fails late") << true << 3 << root << QStringLiteral("InterviewHandler") << false;
}

void TestDependencyReport::windowTakesTheLinesHandedOn()
{
    QFETCH(bool, onGenerated);
    QFETCH(int, type);
    QFETCH(QString, id);
    QFETCH(QString, dropped);
    QFETCH(bool, made);
    test::FakeSeams seams;
    test::TestServer sample;
    useVersion(sample);
    // The shared generated server stays whole for the other tests.
    std::unique_ptr<GeneratedServer> broken;
    if (!dropped.isEmpty()) {
        broken = std::make_unique<GeneratedServer>(400);
        QVERIFY(broken->ctx && test::sql(*broken->ctx, QStringLiteral("DROP TABLE ") + dropped));
    }
    AppContext &ctx = broken ? *broken->ctx : onGenerated ? *generated().ctx : sample.ctx();

    QStringList runs;
    const DependencyReport handedOn =
        makeDependencyReport(ctx, qint16(type), id, [&runs](QString lines) { runs << lines; });
    const DependencyReport report = makeDependencyReport(ctx, qint16(type), id);
    QCOMPARE(handedOn.made, made);
    QCOMPARE(report.made, made);
    QCOMPARE(runs.isEmpty(), !onGenerated);
    for (const QString &run : std::as_const(runs))
        QVERIFY(run.endsWith(kCrLf));
    QCOMPARE(made ? runs.join(QString()) : handedOn.text, report.text);

    frmDependency window(ctx);
    window.iObjectType = qint16(type);
    window.strObjectID = id;
    window.Form_Load();
    QCOMPARE(window.reportText(), report.text);
    // A report not made leaves its one line alone, whatever was handed on before it failed.
    QCOMPARE(window.reportText().count(kCrLf) > 1, made);
}

// What each reader makes of every object of the sample, from the stand-in's
// own ObjectIDs and from the same rows with their ObjectIDs read back as SQL
// Server hands them (upper case, without braces): the same.
void TestDependencyReport::readersOnSqlServersIdForm_data()
{
    QTest::addColumn<int>("reader");
    QTest::newRow("dependency report of every object") << 0;
    QTest::newRow("owners and recipients") << 1;
    QTest::newRow("pickers and the names of their picks") << 2;
}

void TestDependencyReport::readersOnSqlServersIdForm()
{
    QFETCH(int, reader);
    test::FakeSeams seams;
    test::TestServer server;
    useVersion(server);
    AppContext &ctx = server.ctx();
    const auto column = [&ctx](const QString &sql) {
        QStringList values;
        const platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString, sql);
        for (int row = 0; row < rs.RecordCount(); ++row)
            values << rs.value(row, 0).toString();
        return values;
    };
    const auto owner = [&ctx](const QString &id) {
        QString name;
        const qint16 kind = TolvaDBFindSubscriberOrDLbyObjectID(ctx, id, name);
        return QStringLiteral("%1 %2").arg(kind).arg(name);
    };
    const auto read = [&]() {
        seams.messages->shown.clear();
        QStringList out;
        if (reader == 0) {
            // Each object as the grid view and the tree hand it to the report: its ObjectID as read.
            for (const auto &[type, table] : {std::pair{3, "CallHandler"}, std::pair{5, "InterviewHandler"},
                                              std::pair{1, "Subscriber"}, std::pair{6, "NameLookupHandler"}})
                for (const QString &id : column(QStringLiteral("SELECT %1ObjectID FROM %1 ORDER BY Alias").arg(table)))
                    out << makeDependencyReport(ctx, qint16(type), id).text;
        } else if (reader == 1) {
            for (const QString &id : column(QStringLiteral(
                     "SELECT AdministratorObjectID FROM CallHandler UNION ALL SELECT RecipientObjectID FROM CallHandler "
                     "UNION ALL SELECT AdministratorObjectID FROM InterviewHandler UNION ALL SELECT RecipientObjectID FROM "
                     "InterviewHandler UNION ALL SELECT AdministratorObjectID FROM NameLookupHandler")))
                out << owner(id);
        } else {
            // A pick's ObjectIDs as the program keeps them, and the name an owner or recipient picked shows.
            for (const PickerKind kind : {PickerKind::CallHandler, PickerKind::InterviewHandler, PickerKind::DistributionList,
                                          PickerKind::Subscriber, PickerKind::NameLookupHandler}) {
                const platform::Recordset rs = pickerSearch(ctx, kind, SearchBy::DisplayName, QStringLiteral("*"));
                for (int row = 0; row < rs.RecordCount(); ++row) {
                    QStringList cells;
                    for (int c = 0; c < rs.fieldCount(); ++c) {
                        const QString text = rs.value(row, c).toString();
                        const bool id = rs.fieldNames().at(c).endsWith(QLatin1String("ObjectID"), Qt::CaseInsensitive);
                        cells << (id ? normalizedObjectId(text) + u' ' + owner(text) : text);
                    }
                    out << cells.join(u'|');
                }
            }
        }
        return out + seams.messages->texts();
    };
    const QStringList own = read();
    QVERIFY(own.size() > 10);
    test::ObjectIdsAsSqlServerGivesThem form;
    QCOMPARE(test::storedRow(ctx, QStringLiteral("SELECT SubscriberObjectID FROM Subscriber WHERE SubscriberObjectID = ?"),
                             {ids::AliceAdmin}),
             ids::AliceAdmin.mid(1, 36));
    QCOMPARE(read(), own);
}

QTEST_MAIN(TestDependencyReport)
#include "tst_dependencyreport.moc"
