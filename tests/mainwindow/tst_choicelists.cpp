// The choice lists the start-up fills: telephone languages from the
// registry, schedules, the fixed position-coded lists, and what an empty
// server table does.
#include "common/appcontext.h"
#include "details/callhandlerpage.h"
#include "details/choicelists.h"
#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/routingtree.h"
#include "testserver.h"

#include <QComboBox>
#include <QtTest>

using namespace quillor;
using test::sql;

namespace {

QStringList entries(const QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

QList<int> itemData(const QComboBox *combo)
{
    QList<int> list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemData(i).toInt();
    return list;
}

} // namespace

class TestChoiceLists : public QObject {
    Q_OBJECT
private slots:
    void telephoneLanguages_data();
    void telephoneLanguages();
    void languageListAfterStartUp_data();
    void languageListAfterStartUp();
    void fixedListsAndSchedules();
    void emptyTables_data();
    void emptyTables();
};

void TestChoiceLists::telephoneLanguages_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("lcids");
    const QString english = QStringLiteral("English (United States)");
    const QString german = QStringLiteral("German (Germany)");
    QTest::newRow("missing") << "" << QStringList{} << QList<int>{};
    QTest::newRow("one") << "ENU" << QStringList{english} << QList<int>{1033};
    QTest::newRow("two in order") << "DEU,ENU" << QStringList{german, english} << QList<int>{1031, 1033};
    QTest::newRow("letter case") << "deu" << QStringList{german} << QList<int>{1031};
    // The server's own list is taken as it stands: an empty piece or one
    // with a blank is no known code and reads as the default language.
    QTest::newRow("trailing comma") << "ENU," << QStringList{english, english} << QList<int>{1033, 1033};
    QTest::newRow("blank before code") << "ENU, DEU" << QStringList{english, english} << QList<int>{1033, 1033};
    QTest::newRow("code without a way back") << "ARA" << QStringList{"Arabic (Saudi Arabia)"} << QList<int>{1025};
}

void TestChoiceLists::telephoneLanguages()
{
    QFETCH(QString, value);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, lcids);
    QStringList gotNames;
    QList<int> gotLcids;
    for (const ChoiceLists::Language &language : quillor::telephoneLanguages(value)) {
        gotNames << language.name;
        gotLcids << language.lcid;
    }
    QCOMPARE(gotNames, names);
    QCOMPARE(gotLcids, lcids);
}

void TestChoiceLists::languageListAfterStartUp_data()
{
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("lcids");
    QTest::newRow("ENU,DEU") << "ENU,DEU" << QStringList{"Inherited", "English (United States)", "German (Germany)"}
                             << QList<int>{0, 1033, 1031};
    QTest::newRow("none loaded") << "" << QStringList{"Inherited"} << QList<int>{0};
}

void TestChoiceLists::languageListAfterStartUp()
{
    QFETCH(QString, loaded);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, lcids);
    test::FakeSeams seams;
    embedded::SampleOptions options;
    options.tuiLanguagesLoaded = loaded;
    test::TestServer server(options);
    frmMain window(server.ctx());
    QVERIFY(window.Form_Load());
    QComboBox *list = window.findChild<QComboBox *>(QStringLiteral("cmbHandlerProfileLanguage"));
    QVERIFY(list);
    QCOMPARE(entries(list), names);
    QCOMPARE(itemData(list), lcids);
    QCOMPARE(server.ctx().state().gTUILanguageDefault, QStringLiteral("ENU"));
}

void TestChoiceLists::fixedListsAndSchedules()
{
    test::FakeSeams seams;
    test::TestServer server;
    const quint64 writesBefore = server.ctx().db().writeCount();
    frmMain window(server.ctx());
    QVERIFY(window.Form_Load());
    // Selecting the lists' first entries during start-up writes nothing.
    QCOMPARE(server.ctx().db().writeCount(), writesBefore);
    CallHandlerPage &page = window.callHandlerPage();

    for (const CallHandlerPage::TransferRule &rule : page.transferRules)
        QCOMPARE(entries(rule.cmbHandlerTransferType), (QStringList{"Release", "Supervised"}));
    for (const CallHandlerPage::Greeting &greeting : page.greetings) {
        QCOMPARE(entries(greeting.cmbHandlerGreetingSource), (QStringList{"System", "Recording", "Blank"}));
        QCOMPARE(greeting.cmbHandlerGreetingRepeat->count(), 10);
        QCOMPARE(greeting.cmbHandlerGreetingRepeat->itemText(0), QStringLiteral("0 times (play once)"));
        QCOMPARE(greeting.cmbHandlerGreetingRepeat->itemText(1), QStringLiteral("1 time"));
        QCOMPARE(greeting.cmbHandlerGreetingRepeat->itemText(9), QStringLiteral("9 times"));
    }
    QCOMPARE(entries(page.cmbHandlerMessagesCanMarkUrgent), (QStringList{"Never", "Always", "Ask Caller"}));

    QStringList schedules;
    platform::Recordset rs = server.ctx().db().open(server.ctx().state().gConnectionString,
                                                    QStringLiteral("SELECT DisplayName FROM vw_Schedule"));
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
        schedules << rs.text(QStringLiteral("DisplayName"));
    QVERIFY(schedules.size() >= 2);
    QCOMPARE(entries(page.cmbHandlerProfileSchedule), schedules);

    const ChoiceLists &lists = window.choiceLists();
    QCOMPARE(lists.classesOfService.size(), 3);
    QCOMPARE(lists.classesOfService[0].name, QStringLiteral("Default COS"));
    QCOMPARE(lists.locations.size(), 1); // only the alias 'default'
    QCOMPARE(lists.locations[0].name, QStringLiteral("Headquarters"));
}

void TestChoiceLists::emptyTables_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("schedules") << "Schedule" << QStringList{"No schedules are defined on the local Tolva server!"};
    // Once for the empty list and once more when its first entry is selected.
    QTest::newRow("classes of service")
        << "COS"
        << QStringList{"(error):3021 (Either BOF or EOF is True, or the current record has been deleted. Requested "
                       "operation requires a current record.) in procedure PopulateControls of Form frmMain",
                       "(error):380 (Invalid property value) in procedure PopulateControls of Form frmMain"};
}

void TestChoiceLists::emptyTables()
{
    QFETCH(QString, table);
    QFETCH(QStringList, messages);
    test::FakeSeams seams;
    test::TestServer server;
    QVERIFY(sql(server.ctx(), QStringLiteral("DELETE FROM ") + table));
    frmMain window(server.ctx());
    // Start-up carries on after the message.
    QVERIFY(window.Form_Load());
    QCOMPARE(seams.messages->texts(), messages);
    QVERIFY(!window.routingTree().ATTree().isEmpty());
}

QTEST_MAIN(TestChoiceLists)
#include "tst_choicelists.moc"
