// The name lookup handler page's options, its search order and scope (with
// the scope lists a picked distribution list becomes) and the number boxes of
// the handler pages, driven through their controls in the real window on the
// sample server: the row written, the audit line, and what must not be
// written.
#include "common/appcontext.h"
#include "details/namelookuppage.h"
#include "embedded/sampleids.h"
#include "pickerdriver.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

using namespace quillor;
using test::PickerAnswer;
using test::storedRow;
namespace ids = quillor::embedded::SampleIds;

namespace {
const QString kAudit = QStringLiteral("UPDATE, , , NameLookupHandler, ");
const QString kFailed = QStringLiteral("FAILED_UPDATE, , , NameLookupHandler, ");
const QString kNewList = QStringLiteral("<new list>");
} // namespace

class TestNameLookupEditing : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loadingWritesNothing();
    void writes_data();
    void writes();
    void searchScope_data();
    void searchScope();
    void refusedWrite_data();
    void refusedWrite();

private:
    AppContext &ctx() { return m_f.server->ctx(); }
    template <typename T = QWidget> T *find(const QString &name) { return m_f.window->findChild<T *>(name); }
    void show(const QString &objectId, int nodeType);
    // Runs steps "click:NAME", "type:NAME:TEXT" (typed into a number box and
    // committed with Enter), "choose:LIST:TEXT" (chosen in a list, which keeps
    // the focus), "leave" (the focus goes to another control of the page),
    // "show:OBJECTID" (a name lookup handler loaded), "empty:LIST" (a scope
    // list without entries), "pick:ALIAS", "cancel"
    // (the answer of the next picker), "serviceFails" (the directory service
    // fails from then on), "refuseNewLists" (the server makes no scope list).
    void run(const QStringList &steps);

    test::MainWindowFixture m_f;
};

void TestNameLookupEditing::init() { QVERIFY(m_f.start(true)); }

void TestNameLookupEditing::cleanup() { m_f.stop(); }

void TestNameLookupEditing::show(const QString &objectId, int nodeType)
{
    m_f.window->LoadTabInfo(objectId, qint16(nodeType));
    m_f.seams->messages->shown.clear();
}

void TestNameLookupEditing::run(const QStringList &steps)
{
    for (const QString &step : steps) {
        const QStringList part = step.split(u':');
        QWidget *control = part.size() > 1 ? find(part[1]) : nullptr;
        if (control)
            test::reveal(control);
        if (part[0] == QLatin1String("click")) {
            // On the indicator: a check box or option button takes clicks on its box and caption only.
            QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(6, control->height() / 2));
        } else if (part[0] == QLatin1String("type")) {
            auto *box = qobject_cast<QSpinBox *>(control);
            box->setFocus(Qt::TabFocusReason);
            box->selectAll();
            QTest::keyClicks(box, part[2]);
            QTest::keyClick(box, Qt::Key_Enter);
        } else if (part[0] == QLatin1String("choose")) {
            auto *list = qobject_cast<QComboBox *>(control);
            list->setFocus(Qt::TabFocusReason);
            const int entry = list->findText(part[2]);
            list->setCurrentIndex(entry);
            emit list->activated(entry); // as a choice of the user's
        } else if (part[0] == QLatin1String("leave")) {
            QWidget *elsewhere = find(QStringLiteral("txtDirectoryHandlerAlias"));
            test::reveal(elsewhere);
            elsewhere->setFocus(Qt::TabFocusReason);
        } else if (part[0] == QLatin1String("pick")) {
            test::answerNextPicker(PickerAnswer::Pick, part[1]);
        } else if (part[0] == QLatin1String("show")) {
            show(part[1], 6);
        } else if (part[0] == QLatin1String("refuseNewLists")) {
            QVERIFY(test::refuseWrites(ctx(), QStringLiteral("ScopeDList"), QStringLiteral("INSERT")));
        } else if (part[0] == QLatin1String("serviceFails")) {
            m_f.seams->directoryService->fail = true;
        } else if (part[0] == QLatin1String("empty")) {
            // A server without any: the list and its hidden twin of ObjectIDs.
            qobject_cast<QComboBox *>(control)->clear();
            find<QComboBox>(part[1] + QStringLiteral("ObjectID"))->clear();
        } else if (part[0] == QLatin1String("cancel")) {
            test::answerNextPicker(PickerAnswer::Cancel);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
}

void TestNameLookupEditing::loadingWritesNothing()
{
    const std::pair<QString, int> objects[] = {
        {ids::CompanyDirectory, 6}, {ids::SalesDirectory, 6}, {ids::RestrictedDirectory, 6}, {ids::HqDirectory, 6},
        {ids::LocalDirectory, 6},   {ids::OpeningGreeting, 3}, {ids::AliceAdminHandler, 1}};
    const quint64 writes = ctx().db().writeCount();
    for (const auto &[id, nodeType] : objects)
        show(id, nodeType);
    QCOMPARE(ctx().db().writeCount(), writes);
    QCOMPARE(test::auditLines(ctx()), QStringList{});
}

void TestNameLookupEditing::writes_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("row"); // query of the column written
    QTest::addColumn<QString>("written");
    QTest::addColumn<QStringList>("audit");

    const QString handler = QStringLiteral("SELECT %1 FROM NameLookupHandler WHERE NameLookupHandlerObjectID = '%2'");
    const QString callHandler = QStringLiteral("SELECT OneKeyDelay FROM CallHandler WHERE CallHandlerObjectID = '%1'");
    const QString company = kAudit + QStringLiteral("companydirectory, ");
    const QString sales = kAudit + QStringLiteral("salesdirectory, ");

    // A check box writes each click, also one that leaves the value as stored.
    QTest::newRow("play all names") << ids::CompanyDirectory << 6 << QStringList{"click:chkDirectoryHandlerPlayAllNames"}
                                    << handler.arg("PlayAllNames", ids::CompanyDirectory) << "1"
                                    << QStringList{company + "PlayAllNames, True"};
    QTest::newRow("announce extensions cleared")
        << ids::CompanyDirectory << 6 << QStringList{"click:chkNameLookupHandlerMenuFormatAnnounceExtensions"}
        << handler.arg("SayExtension", ids::CompanyDirectory) << "0" << QStringList{company + "SayExtension, False"};
    QTest::newRow("extension format") << ids::CompanyDirectory << 6
                                      << QStringList{"click:optNameLookupHandlerAnnounceMatchedNamesExtensionFormat"}
                                      << handler.arg("MenuStyle", ids::CompanyDirectory) << "0"
                                      << QStringList{company + "MenuStyle, False"};
    QTest::newRow("menu format") << ids::SalesDirectory << 6
                                 << QStringList{"click:optNameLookupHandlerAnnounceMatchedNamesMenuFormat"}
                                 << handler.arg("MenuStyle", ids::SalesDirectory) << "1"
                                 << QStringList{sales + "MenuStyle, True"};
    QTest::newRow("request caller input first")
        << ids::CompanyDirectory << 6 << QStringList{"click:optNameLookupHandlerOnUniqueMatchRequestCallerInput"}
        << handler.arg("AutoRoute", ids::CompanyDirectory) << "0" << QStringList{company + "AutoRoute, False"};
    QTest::newRow("route automatically")
        << ids::SalesDirectory << 6 << QStringList{"click:optNameLookupHandlerOnUniqueMatchRouteAutomatically"}
        << handler.arg("AutoRoute", ids::SalesDirectory) << "1" << QStringList{sales + "AutoRoute, True"};
    QTest::newRow("language") << ids::CompanyDirectory << 6
                              << QStringList{"choose:cmbDirectoryHandlerLanguage:English (United States)"}
                              << handler.arg("Language", ids::CompanyDirectory) << "1033"
                              << QStringList{company + "Language, English (United States)"};

    // A number typed is written once when committed, not keystroke by keystroke.
    QTest::newRow("maximum matches typed") << ids::CompanyDirectory << 6 << QStringList{"type:txtDirectoryHandlerMaxMatches:20"}
                                           << handler.arg("MaxMatches", ids::CompanyDirectory) << "20"
                                           << QStringList{company + "MaxMatches, 20"};
    QTest::newRow("maximum matches beyond 50") << ids::CompanyDirectory << 6
                                               << QStringList{"type:txtDirectoryHandlerMaxMatches:51"}
                                               << handler.arg("MaxMatches", ids::CompanyDirectory) << "5"
                                               << QStringList{company + "MaxMatches, 5"};
    QTest::newRow("maximum matches one step") << ids::CompanyDirectory << 6
                                              << QStringList{"click:upDownDirectoryHandlerMaxMatches/up"}
                                              << handler.arg("MaxMatches", ids::CompanyDirectory) << "9"
                                              << QStringList{company + "MaxMatches, 9"};
    QTest::newRow("maximum matches at 0") << ids::CompanyDirectory << 6
                                          << QStringList{"type:txtDirectoryHandlerMaxMatches:0",
                                                         "click:upDownDirectoryHandlerMaxMatches/down"}
                                          << handler.arg("MaxMatches", ids::CompanyDirectory) << "0"
                                          << QStringList{company + "MaxMatches, 0"};
    QTest::newRow("call handler's delay typed")
        << ids::OpeningGreeting << 3 << QStringList{"type:txtCallHandlerMillisecondsToWaitForAdditionalDigits:2500"}
        << callHandler.arg(ids::OpeningGreeting) << "2500"
        << QStringList{"UPDATE, , , Call Handler, openinggreetingch, OneKeyDelay, 2500"};
    QTest::newRow("call handler's delay beyond 32000")
        << ids::OpeningGreeting << 3 << QStringList{"type:txtCallHandlerMillisecondsToWaitForAdditionalDigits:40000"}
        << callHandler.arg(ids::OpeningGreeting) << "4000"
        << QStringList{"UPDATE, , , Call Handler, openinggreetingch, OneKeyDelay, 4000"};
    // A subscriber's delay is its primary call handler's.
    QTest::newRow("subscriber's delay one step down")
        << ids::AliceAdminHandler << 1 << QStringList{"click:UpDown2/down"} << callHandler.arg(ids::AliceAdminHandler)
        << "1400" << QStringList{"UPDATE, , , Subscriber, aadmin, OneKeyDelay, 1400"};
}

void TestNameLookupEditing::writes()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QStringList, steps);
    QFETCH(QString, row);
    QFETCH(QString, written);
    QFETCH(QStringList, audit);

    show(objectId, nodeType);
    for (QString &step : steps) {
        // An up-down control's arrow: "click:CONTROL/up".
        if (step.contains(u'/')) {
            const QString name = step.section(u':', 1).section(u'/', 0, 0);
            test::reveal(find(name));
            find(name)->findChild<QToolButton *>(step.section(u'/', 1))->click();
            continue;
        }
        run({step});
    }
    QCOMPARE(storedRow(ctx(), row, {}), written);
    QCOMPARE(test::auditLines(ctx()), audit);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
}

void TestNameLookupEditing::searchScope_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<QStringList>("prepare"); // statements run first
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("stored"); // SearchScope|SearchScopeObjectID|SearchByFirstName afterwards
    QTest::addColumn<QStringList>("audit");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("serviceCalls"); // calls of the directory service

    const QString local = kAudit + QStringLiteral("localdirectory, SearchOptions, Search by last name then first name | ");
    const QString sales = kAudit + QStringLiteral("salesdirectory, SearchOptions, ");
    const QString restricted = kAudit + QStringLiteral("cosdirectory, SearchOptions, ");
    const QString failedLocal = kFailed + QStringLiteral("localdirectory, SearchOptions, ");
    const QStringList none;

    QTest::newRow("dialing domain keeps the stored scope object")
        << ids::HqDirectory << QStringList{} << QStringList{"click:optDirHandlerSearchOptionDialingDomain"}
        << "1|" + ids::Headquarters + "|0"
        << QStringList{kAudit + "hqdirectory, SearchOptions, Search by last name then first name | Search scope set to local dialing domain"}
        << none << 0;
    QTest::newRow("local") << ids::CompanyDirectory << QStringList{} << QStringList{"click:optDirHandlerSearchOptionLocal"}
                           << "0|<null>|0"
                           << QStringList{kAudit + "companydirectory, SearchOptions, Search by last name then first name | "
                                                   "Search scope set to local location"}
                           << none << 0;
    QTest::newRow("name order of a class-of-service scope")
        << ids::RestrictedDirectory << QStringList{} << QStringList{"click:optDirHandlerSearchByFirstNameLastName"}
        << "5|" + ids::RestrictedCos + "|1"
        << QStringList{restricted + "Search by first name then last name | Search scope set to COS: Restricted"} << none
        << 0;
    QTest::newRow("class of service chosen, then left")
        << ids::RestrictedDirectory << QStringList{} << QStringList{"choose:cmbDirectoryHandlerSearchInCOS:Default COS", "leave"}
        << "5|" + ids::DefaultCos + "|0"
        << QStringList{restricted + "Search by last name then first name | Search scope set to COS: Default COS"} << none
        << 0;
    QTest::newRow("location list left while its scope is not selected")
        << ids::RestrictedDirectory << QStringList{} << QStringList{"choose:cmbDirectoryHandlerSearchInLocation:Headquarters", "leave"}
        << "5|" + ids::RestrictedCos + "|0" << QStringList{} << none << 0;
    // A new kind of scope names an entry of its list: the first, when none is chosen.
    QTest::newRow("class of service for a local scope: the list's first")
        << ids::LocalDirectory << QStringList{} << QStringList{"click:optDirHandlerSearchOptionCOS"}
        << "5|" + ids::DefaultCos + "|0" << QStringList{local + "Search scope set to COS: Default COS"} << none << 0;
    QTest::newRow("location for a class-of-service scope: the list's first")
        << ids::RestrictedDirectory << QStringList{} << QStringList{"click:optDirHandlerSearchOptionLocation"}
        << "3|" + ids::Headquarters + "|0"
        << QStringList{restricted + "Search by last name then first name | Search scope set to location: Headquarters"}
        << none << 0;
    QTest::newRow("class of service without any")
        << ids::LocalDirectory << QStringList{}
        << QStringList{"empty:cmbDirectoryHandlerSearchInCOS", "click:optDirHandlerSearchOptionCOS"} << "0|<null>|<null>"
        << QStringList{} << QStringList{"There is no class of service to search in. The search scope stays as it was."}
        << 0;
    QTest::newRow("location without any")
        << ids::RestrictedDirectory << QStringList{}
        << QStringList{"empty:cmbDirectoryHandlerSearchInLocation", "click:optDirHandlerSearchOptionLocation"}
        << "5|" + ids::RestrictedCos + "|0" << QStringList{}
        << QStringList{"There is no location to search in. The search scope stays as it was."} << 0;
    QTest::newRow("location not in the list keeps the stored one")
        << ids::HqDirectory
        << QStringList{"UPDATE NameLookupHandler SET SearchScopeObjectID = '" + ids::BranchOffice + "' WHERE Alias = 'hqdirectory'"}
        << QStringList{"click:optDirHandlerSearchByFirstNameLastName"} << "3|" + ids::BranchOffice + "|1"
        << QStringList{kAudit + "hqdirectory, SearchOptions, Search by first name then last name | Search scope set to location: "}
        << none << 0;

    // A handler scoped to a list keeps that list: only a fresh pick makes one.
    QTest::newRow("name order of a list scope")
        << ids::SalesDirectory << QStringList{} << QStringList{"click:optDirHandlerSearchByLastNameFirstName"}
        << "4|" + ids::AllSubscribersScope + "|0"
        << QStringList{sales + "Search by last name then first name | Search scope set to DL: All Subscribers"} << none << 0;
    QTest::newRow("list option of a list scope")
        << ids::SalesDirectory << QStringList{} << QStringList{"click:optDirHandlerSearchOptionDL"}
        << "4|" + ids::AllSubscribersScope + "|1"
        << QStringList{sales + "Search by first name then last name | Search scope set to DL: All Subscribers"} << none << 0;
    QTest::newRow("list option without a list: picked") << ids::LocalDirectory << QStringList{}
                                                        << QStringList{"pick:operators", "click:optDirHandlerSearchOptionDL"}
                                                        << "4|" + kNewList + "|0"
                                                        << QStringList{local + "Search scope set to DL: Operators"} << none
                                                        << 1;
    QTest::newRow("directory service failing")
        << ids::LocalDirectory << QStringList{}
        << QStringList{"serviceFails", "pick:operators", "click:optDirHandlerSearchOptionDL"} << "4|" + kNewList + "|0"
        << QStringList{local + "Search scope set to DL: Operators"} << none << 1;
    QTest::newRow("another list picked for a list scope")
        << ids::SalesDirectory << QStringList{} << QStringList{"pick:operators", "click:cmdDirectoryHandlerSearchInDL"}
        << "4|" + kNewList + "|1"
        << QStringList{sales + "Search by first name then last name | Search scope set to DL: Operators"} << none << 1;
    QTest::newRow("list picked while another scope is selected")
        << ids::LocalDirectory << QStringList{} << QStringList{"pick:operators", "click:cmdDirectoryHandlerSearchInDL"}
        << "0|<null>|0" << QStringList{local + "Search scope set to local location"} << none << 0;
    QTest::newRow("picker cancelled") << ids::LocalDirectory << QStringList{} << QStringList{"cancel", "click:optDirHandlerSearchOptionDL"}
                                      << "0|<null>|<null>" << QStringList{} << none << 0;
    // Nothing of the list-scoped handler shown before is taken for this one's list.
    QTest::newRow("list option after a list-scoped handler")
        << ids::LocalDirectory << QStringList{}
        << QStringList{"show:" + ids::SalesDirectory, "show:" + ids::LocalDirectory, "cancel",
                       "click:optDirHandlerSearchOptionDL"}
        << "0|<null>|<null>" << QStringList{} << none << 0;
    QTest::newRow("list without a mail domain")
        << ids::LocalDirectory << QStringList{} << QStringList{"pick:nomail", "click:optDirHandlerSearchOptionDL"} << "0|<null>|<null>"
        << QStringList{}
        << QStringList{"No SMTP address found for that distribution list - it cannot be set as the scope to this name "
                       "lookup handler."}
        << 0;
    // A list that cannot be made leaves the handler's search options as they were.
    QTest::newRow("scope list not made")
        << ids::LocalDirectory
        << QStringList{} << QStringList{"refuseNewLists", "pick:operators", "click:optDirHandlerSearchOptionDL"} << "0|<null>|<null>"
        << QStringList{failedLocal + "Scope Distribution List set to:Operators",
                       failedLocal + "Search by last name then first name | Search scope set to DL: Operators"}
        << QStringList{"Failed to create scope distribution list"} << 0;
    QTest::newRow("scope list not found after it was made")
        << ids::LocalDirectory
        << QStringList{"DROP VIEW vw_ScopeDList",
                       "CREATE VIEW vw_ScopeDList AS SELECT * FROM ScopeDList WHERE DisplayName <> 'Operators'"}
        << QStringList{"pick:operators", "click:optDirHandlerSearchOptionDL"} << "0|<null>|<null>"
        << QStringList{failedLocal + "Search by last name then first name | Search scope set to DL: Operators"}
        << QStringList{"Scope distribution list not found in database after create."} << 1;
}

void TestNameLookupEditing::searchScope()
{
    QFETCH(QString, objectId);
    QFETCH(QStringList, prepare);
    QFETCH(QStringList, steps);
    QFETCH(QString, stored);
    QFETCH(QStringList, audit);
    QFETCH(QStringList, messages);
    QFETCH(int, serviceCalls);

    for (const QString &statement : prepare)
        QVERIFY2(test::sql(ctx(), statement), qPrintable(statement));
    show(objectId, 6);
    run(steps);
    const QString newList = storedRow(ctx(), QStringLiteral("SELECT ScopeDListObjectID FROM ScopeDList WHERE DirectoryID = ?"),
                                    {ids::OperatorsDirectoryId});
    QCOMPARE(storedRow(ctx(), QStringLiteral("SELECT SearchScope, SearchScopeObjectID, SearchByFirstName FROM "
                                           "NameLookupHandler WHERE NameLookupHandlerObjectID = ?"),
                     {objectId}),
             QString(stored).replace(kNewList, newList));
    // The page shows the stored kind of scope, written or not.
    const QRadioButton *scope = m_f.window->nameLookupHandlerPage().scopeOption(stored.section(u'|', 0, 0).toInt());
    QVERIFY(scope && scope->isChecked());
    QCOMPARE(test::auditLines(ctx()), audit);
    // Besides the write path's own report of a refusal by the server.
    QStringList shown = m_f.seams->messages->texts();
    shown.removeIf([](const QString &m) { return m.endsWith(QLatin1String("in procedure UpdateValue of Module Module1")); });
    QCOMPARE(shown, messages);
    const QList<test::DirectoryServiceCall> &calls = m_f.seams->directoryService->calls;
    QCOMPARE(calls.size(), serviceCalls);
    if (!calls.isEmpty()) {
        QCOMPARE(calls[0].operation, 18);
        QCOMPARE(calls[0].directoryId, ids::OperatorsDirectoryId);
        QCOMPARE(calls[0].properties, QList<qint32>{0x61800008});
        QCOMPARE(calls[0].values, QVariantList{QStringLiteral("tolva.example.com")});
    }
}

void TestNameLookupEditing::refusedWrite_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("table"); // refuses every update
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown"); // after the refusal: what is stored
    QTest::addColumn<QString>("audit");

    const QString company = kFailed + QStringLiteral("companydirectory, ");
    QTest::newRow("play all names, in the row")
        << ids::CompanyDirectory << 6 << "NameLookupHandler" << "click:chkDirectoryHandlerPlayAllNames"
        << "chkDirectoryHandlerPlayAllNames" << "0" << company + "PlayAllNames, True";
    QTest::newRow("announce format") << ids::CompanyDirectory << 6 << "NameLookupHandler"
                                     << "click:optNameLookupHandlerAnnounceMatchedNamesExtensionFormat"
                                     << "optNameLookupHandlerAnnounceMatchedNamesMenuFormat" << "1"
                                     << company + "MenuStyle, False";
    QTest::newRow("maximum matches") << ids::CompanyDirectory << 6 << "NameLookupHandler"
                                     << "type:txtDirectoryHandlerMaxMatches:20" << "txtDirectoryHandlerMaxMatches" << "8"
                                     << company + "MaxMatches, 20";
    QTest::newRow("search order") << ids::CompanyDirectory << 6 << "NameLookupHandler"
                                  << "click:optDirHandlerSearchByFirstNameLastName"
                                  << "optDirHandlerSearchByLastNameFirstName" << "1"
                                  << company + "SearchOptions, Search by first name then last name | Search scope set "
                                               "to local dialing domain";
    QTest::newRow("one-key delay") << ids::OpeningGreeting << 3 << "CallHandler"
                                   << "type:txtCallHandlerMillisecondsToWaitForAdditionalDigits:2500"
                                   << "txtCallHandlerMillisecondsToWaitForAdditionalDigits" << "1500"
                                   << "FAILED_UPDATE, , , Call Handler, openinggreetingch, OneKeyDelay, 2500";
}

void TestNameLookupEditing::refusedWrite()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, table);
    QFETCH(QString, step);
    QFETCH(QString, control);
    QFETCH(QString, shown);
    QFETCH(QString, audit);

    QVERIFY(test::refuseWrites(ctx(), table));
    show(objectId, nodeType);
    run({step});
    QCOMPARE(test::auditLines(ctx()), QStringList{audit});
    QCOMPARE(m_f.seams->messages->texts().count(QStringLiteral("Failed to update database")), 1);
    QWidget *w = find(control);
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(button->isChecked() ? QStringLiteral("1") : QStringLiteral("0"), shown);
    else
        QCOMPARE(qobject_cast<QSpinBox *>(w)->text(), shown);
}

QTEST_MAIN(TestNameLookupEditing)
#include "tst_namelookupediting.moc"
