// The four object pickers driven by their controls on the sample server:
// what each search finds, what a pick hands back, that every way of leaving
// without a pick is a cancel, and how a failed search shows.
#include "embedded/sampleids.h"
#include "fakes.h"
#include "pickerdriver.h"
#include "pickers/frmpickers.h"
#include "pickers/pickerregistry.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QtTest>

#include <functional>

using namespace quillor;
namespace ids = quillor::embedded::SampleIds;

namespace {
enum Kind : int { CallHandler, Interviewer, DistributionList, Subscriber };
} // namespace

class TestPickers : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void search_data();
    void search();
    void pick_data();
    void pick();
    void leaveWithoutPick_data();
    void leaveWithoutPick();
    void okWithoutRow_data();
    void okWithoutRow();
    void failedSearch_data();
    void failedSearch();
    void listDomainUnreadable();
    void windowKeepsOneOfEach();

private:
    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<Pickers> m_pickers;

    PickerDialog &picker(int kind);
    // One row per picker: its kind, its message for OK without a row and the view its search reads.
    static void eachKind();
    // The picker's result texts, in the order of its public variables.
    QStringList results(int kind);
    // Shows the picker modally and runs `interact` inside its event loop.
    void runModal(PickerDialog &dialog, const std::function<void()> &interact)
    {
        test::runModal(dialog, interact, [&] { return dialog.exec(); });
    }
    void search(PickerDialog &dialog, const QString &option, const QString &text);
    QStringList aliases(PickerDialog &dialog);
    // Clicks (or double-clicks) the result row of `alias`; false when it is not listed.
    bool clickRow(PickerDialog &dialog, const QString &alias, bool twice);
    QTableView *grid(PickerDialog &dialog) { return dialog.findChild<QTableView *>(QStringLiteral("myGrid")); }
};

PickerDialog &TestPickers::picker(int kind)
{
    switch (kind) {
    case CallHandler: return m_pickers->callHandlerSearch();
    case Interviewer: return m_pickers->interviewerSearch();
    case DistributionList: return m_pickers->distributionListSearch();
    default: return m_pickers->subscriberSearch();
    }
}

QStringList TestPickers::results(int kind)
{
    switch (kind) {
    case CallHandler: {
        const auto &d = m_pickers->callHandlerSearch();
        return {d.strDisplayName, d.strObjectID};
    }
    case Interviewer: {
        const auto &d = m_pickers->interviewerSearch();
        return {d.strDisplayName, d.strObjectID};
    }
    case DistributionList: {
        const auto &d = m_pickers->distributionListSearch();
        return {d.strDisplayName, d.strObjectID, d.strDirectoryID, d.strDomainName};
    }
    default: {
        const auto &d = m_pickers->subscriberSearch();
        return {d.strDisplayName, d.strSubscriberObjectID, d.strHandlerObjectID};
    }
    }
}

void TestPickers::init()
{
    m_seams = std::make_unique<test::FakeSeams>();
    m_server = std::make_unique<test::TestServer>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    m_owner = std::make_unique<QWidget>();
    m_pickers = std::make_unique<Pickers>(m_server->ctx(), m_owner.get());
}

void TestPickers::cleanup()
{
    test::closeOpenDialogs();
    m_pickers.reset();
    m_owner.reset();
    m_server.reset();
    m_seams.reset();
}

void TestPickers::search(PickerDialog &dialog, const QString &option, const QString &text)
{
    auto *box = dialog.findChild<QLineEdit *>(QStringLiteral("txtSearchString"));
    box->clear();
    QTest::keyClicks(box, text);
    if (!option.isEmpty())
        dialog.findChild<QRadioButton *>(option)->click();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdSearch")), Qt::LeftButton);
}

QStringList TestPickers::aliases(PickerDialog &dialog)
{
    QStringList found;
    for (int row = 0; row < dialog.results().rowCount(); ++row)
        found << dialog.results().text(row, 0);
    return found;
}

bool TestPickers::clickRow(PickerDialog &dialog, const QString &alias, bool twice)
{
    const int row = int(aliases(dialog).indexOf(alias));
    if (row < 0)
        return false;
    QTableView *view = grid(dialog);
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    return true;
}

void TestPickers::search_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected"); // aliases, in any order

    const QStringList allHandlers{"afterhoursch", "callhandlertemplate", "edgecasesch", "goodbyech", "openinggreetingch",
                                  "operatorch", "orphanch", "salesch", "supportch"};
    QTest::newRow("handler by name") << int(CallHandler) << "" << "Operator" << QStringList{"operatorch"};
    QTest::newRow("handler name trimmed") << int(CallHandler) << "" << "  Operator  " << QStringList{"operatorch"};
    QTest::newRow("handler name prefix") << int(CallHandler) << "" << "O*"
                                         << QStringList{"goodbyech", "openinggreetingch", "operatorch"};
    QTest::newRow("apostrophe") << int(CallHandler) << "" << "O'Brien's Desk" << QStringList{"goodbyech"};
    QTest::newRow("percent as typed") << int(CallHandler) << "" << "50%*" << QStringList{"afterhoursch"};
    QTest::newRow("underscore as typed") << int(CallHandler) << "" << "A_B" << QStringList{"orphanch"};
    QTest::newRow("no such name") << int(CallHandler) << "" << "Nobody" << QStringList{};
    QTest::newRow("every handler, no subscriber's") << int(CallHandler) << "" << "*" << allHandlers;
    QTest::newRow("leading star lists all") << int(CallHandler) << "optSearchByExtension" << "*zzz" << allHandlers;
    QTest::newRow("extension with inner star")
        << int(CallHandler) << "optSearchByExtension" << "1*1" << QStringList{"operatorch"};
    QTest::newRow("extension not trimmed") << int(CallHandler) << "optSearchByExtension" << " 1001" << QStringList{};
    QTest::newRow("extension shared with a subscriber")
        << int(CallHandler) << "optSearchByExtension" << "5001" << QStringList{"afterhoursch"};

    QTest::newRow("interviewer by name") << int(Interviewer) << "" << "Survey" << QStringList{"surveyih"};
    QTest::newRow("interviewer by extension")
        << int(Interviewer) << "optSearchByExtension" << "2000" << QStringList{"feedbackih"};
    QTest::newRow("every interviewer") << int(Interviewer) << "" << "*"
                                       << QStringList{"feedbackih", "interviewtemplate", "surveyih"};

    QTest::newRow("list by name") << int(DistributionList) << "" << "Op*" << QStringList{"operators"};
    QTest::newRow("list by extension")
        << int(DistributionList) << "optSearchByExtension" << "4000" << QStringList{"allsubscribers"};
    QTest::newRow("every list") << int(DistributionList) << "" << "*"
                                << QStringList{"allsubscribers", "atfirst", "nomail", "operators"};

    QTest::newRow("subscriber by last name") << int(Subscriber) << "" << "Admin" << QStringList{"aadmin"};
    QTest::newRow("last name with apostrophe") << int(Subscriber) << "" << "O'Brien" << QStringList{"bsales"};
    QTest::newRow("last name not trimmed") << int(Subscriber) << "" << " Admin" << QStringList{};
    QTest::newRow("subscriber by first name")
        << int(Subscriber) << "optSearchByFirstName" << "Carol" << QStringList{"csupport"};
    QTest::newRow("subscriber by alias") << int(Subscriber) << "optSearchByAlias" << "a*" << QStringList{"aadmin"};
    // Only subscribers of types 1 and 3 are offered.
    QTest::newRow("subscriber by extension")
        << int(Subscriber) << "optSearchByExtension" << "500*" << QStringList{"aadmin", "bsales", "csupport"};
    QTest::newRow("every subscriber") << int(Subscriber) << "" << "*" << QStringList{"aadmin", "bsales", "csupport"};
}

void TestPickers::search()
{
    QFETCH(int, kind);
    QFETCH(QString, option);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);

    // Names that a search text pasted into the statement would break or misread.
    const auto rename = [&](const QString &id, const QString &name) {
        QVERIFY(test::sql(m_server->ctx(), QStringLiteral("UPDATE CallHandler SET TextName = ? WHERE CallHandlerObjectID = ?"),
                          {name, id}));
    };
    rename(ids::Goodbye, QStringLiteral("O'Brien's Desk"));
    rename(ids::AfterHours, QStringLiteral("50% Off"));
    rename(ids::Support, QStringLiteral("500 Club"));
    rename(ids::Orphan, QStringLiteral("A_B"));
    rename(ids::EdgeCases, QStringLiteral("AxB"));
    QVERIFY(test::sql(m_server->ctx(), QStringLiteral("UPDATE Subscriber SET LastName = ? WHERE SubscriberObjectID = ?"),
                      {QStringLiteral("O'Brien"), ids::BobSales}));

    PickerDialog &dialog = picker(kind);
    QAbstractItemModelTester tester(grid(dialog)->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QStringList found;
    runModal(dialog, [&] {
        search(dialog, option, text);
        found = aliases(dialog);
        // After a search no row is picked yet.
        QCOMPARE(dialog.pickedRow(), -1);
    });
    QVERIFY(m_seams->messages->texts().isEmpty());
    found.sort();
    QCOMPARE(found, expected);
}

void TestPickers::pick_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("how"); // "OK", "double-click" or "Enter" after a click on the row
    QTest::addColumn<QString>("prepare"); // a statement run first
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("call handler") << int(CallHandler) << "" << "Oper*" << "operatorch" << "OK" << ""
                                  << QStringList{"Operator", ids::Operator};
    QTest::newRow("interviewer by double-click") << int(Interviewer) << "" << "*" << "feedbackih" << "double-click" << ""
                                                 << QStringList{"Feedback Interview", ids::FeedbackInterview};
    QTest::newRow("subscriber: both ids") << int(Subscriber) << "optSearchByAlias" << "c*" << "csupport" << "double-click"
                                          << "" << QStringList{"Carol Support", ids::CarolSupport, ids::CarolSupportHandler};
    QTest::newRow("call handler by Enter on its row") << int(CallHandler) << "" << "*" << "salesch" << "Enter" << ""
                                                      << QStringList{"Sales", ids::Sales};

    // The list's mail domain comes from its row in DistributionList.
    const auto list = [](const char *name, const char *alias, const QString &prepare, const QString &id,
                         const QString &directoryId, const QString &listName, const QString &domain) {
        QTest::newRow(name) << int(DistributionList) << "optSearchByDisplayName" << "*" << alias << "OK" << prepare
                            << QStringList{listName, id, directoryId, domain};
    };
    list("list with a domain", "allsubscribers", "", ids::AllSubscribers, ids::AllSubscribersDirectoryId,
         "All Subscribers", "tolva.example.com");
    list("address without @", "nomail", "", ids::NoMailList, ids::NoMailListDirectoryId, "No Mail List", "");
    list("address starting with @", "atfirst", "", ids::AtSignFirst, ids::AtSignFirstDirectoryId, "At Sign First", "");
    list("domain after the first @", "operators", "UPDATE DistributionList SET SMTPAddress = 'a@b@c' WHERE Alias = 'operators'",
         ids::Operators, ids::OperatorsDirectoryId, "Operators", "b@c");
    list("no address", "operators", "UPDATE DistributionList SET SMTPAddress = NULL WHERE Alias = 'operators'",
         ids::Operators, ids::OperatorsDirectoryId, "Operators", "");
    list("directory id of two lists", "operators",
         "INSERT INTO DistributionList (SystemDListObjectID, DirectoryID, Alias, DisplayName, SMTPAddress) "
         "SELECT '{00000002-0000-4000-8000-0000000000EE}', DirectoryID, 'copy', 'Copy', SMTPAddress FROM "
         "DistributionList WHERE Alias = 'operators'",
         ids::Operators, ids::OperatorsDirectoryId, "Operators", "");
}

void TestPickers::pick()
{
    QFETCH(int, kind);
    QFETCH(QString, option);
    QFETCH(QString, text);
    QFETCH(QString, alias);
    QFETCH(QString, how);
    QFETCH(QString, prepare);
    QFETCH(QStringList, expected);
    if (!prepare.isEmpty())
        QVERIFY(test::sql(m_server->ctx(), prepare));

    PickerDialog &dialog = picker(kind);
    QPoint placed;
    runModal(dialog, [&] {
        placed = dialog.pos() - dialog.screen()->geometry().topLeft();
        search(dialog, option, text);
        QVERIFY(clickRow(dialog, alias, how == u"double-click"));
        if (how == u"OK")
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        else if (how == u"Enter")
            QTest::keyClick(grid(dialog), Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
    });
    QCOMPARE(placed, QPoint(13, 13));
    QVERIFY(m_seams->messages->texts().isEmpty());
    QCOMPARE(dialog.bCancelHit, false);
    QCOMPARE(test::asStored(results(kind)), expected);
    // The search's rows are let go with the dialog.
    QCOMPARE(dialog.results().rowCount(), 0);
}

void TestPickers::leaveWithoutPick_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("way");
    const char *const kinds[] = {"call handler", "interviewer", "list", "subscriber"};
    for (int kind = CallHandler; kind <= Subscriber; ++kind) {
        for (const char *way : {"Cancel", "Escape", "close box", "hidden"})
            QTest::addRow("%s, %s", kinds[kind], way) << kind << QString::fromLatin1(way);
    }
}

void TestPickers::leaveWithoutPick()
{
    QFETCH(int, kind);
    QFETCH(QString, way);
    PickerDialog &dialog = picker(kind);
    // A pick first, which a later cancel must not hand back.
    runModal(dialog, [&] {
        search(dialog, {}, QStringLiteral("*"));
        QVERIFY(clickRow(dialog, dialog.results().text(0, 0), true));
    });
    QVERIFY(!dialog.bCancelHit);
    QVERIFY(!results(kind).join(QString()).isEmpty());

    QString textAtShow = QStringLiteral("unset");
    runModal(dialog, [&] {
        auto *box = dialog.findChild<QLineEdit *>(QStringLiteral("txtSearchString"));
        textAtShow = box->text() + QString::number(dialog.results().rowCount());
        search(dialog, {}, QStringLiteral("*"));
        QVERIFY(clickRow(dialog, dialog.results().text(0, 0), false));
        if (way == QLatin1String("Cancel"))
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        else if (way == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        else if (way == QLatin1String("close box"))
            dialog.close();
        else
            dialog.hide();
        QVERIFY(!dialog.isVisible());
    });
    QCOMPARE(textAtShow, QStringLiteral("0")); // the showing started with an empty text and grid
    QVERIFY(dialog.bCancelHit);
    QCOMPARE(results(kind), QStringList(results(kind).size(), QString()));
    QVERIFY(m_seams->messages->texts().isEmpty());
}

void TestPickers::eachKind()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message"); // for OK without a row
    QTest::addColumn<QString>("view");    // what the search reads
    QTest::newRow("call handler") << int(CallHandler) << "Error!  No call handler selected!" << "vw_CallHandler";
    QTest::newRow("interviewer") << int(Interviewer) << "Error!  No interview handler selected!"
                                 << "vw_InterviewHandler";
    QTest::newRow("list") << int(DistributionList) << "Error!  No distribution list selected!"
                          << "vw_DistributionList";
    QTest::newRow("subscriber") << int(Subscriber) << "Error!  No subscriber selected!" << "vw_Subscriber";
}

void TestPickers::okWithoutRow_data()
{
    eachKind();
}

void TestPickers::okWithoutRow()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    PickerDialog &dialog = picker(kind);
    runModal(dialog, [&] {
        search(dialog, {}, QStringLiteral("*"));
        QVERIFY(dialog.results().rowCount() > 0);
        auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"));
        QTest::mouseClick(ok, Qt::LeftButton);
        // A grid that has the focus has a current row, but nothing is picked.
        grid(dialog)->setFocus();
        QTest::mouseClick(ok, Qt::LeftButton);
        QHeaderView *header = grid(dialog)->horizontalHeader();
        QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionPosition(1) + 5, 5));
        QVERIFY(dialog.isVisible());
    });
    QCOMPARE(m_seams->messages->texts(), QStringList(2, message));
    QVERIFY(dialog.bCancelHit);
}

void TestPickers::failedSearch_data()
{
    eachKind();
}

void TestPickers::failedSearch()
{
    QFETCH(int, kind);
    QFETCH(QString, view);
    PickerDialog &dialog = picker(kind);
    int rowsBefore = 0;
    runModal(dialog, [&] {
        search(dialog, {}, QStringLiteral("*"));
        rowsBefore = dialog.results().rowCount();
        QVERIFY(m_server->breakMainDatabase(test::TestServer::Fault::ViewMissing, view));
        search(dialog, {}, QStringLiteral("*"));
        // Not "nothing found" over the rows of before: an empty grid and the reason.
        QCOMPARE(dialog.results().rowCount(), 0);
    });
    QVERIFY(rowsBefore > 0);
    const QStringList shown = m_seams->messages->texts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith(QLatin1String("Error in cmdSearch function=")) && shown[0].contains(view),
             qPrintable(shown[0]));
}

void TestPickers::listDomainUnreadable()
{
    PickerDialog &dialog = picker(DistributionList);
    runModal(dialog, [&] {
        search(dialog, {}, QStringLiteral("Operators"));
        QVERIFY(test::sql(m_server->ctx(), QStringLiteral("DROP TABLE DistributionList")));
        QVERIFY(clickRow(dialog, QStringLiteral("operators"), true));
        // Not a list without a domain: the reason, and the dialog waits.
        QVERIFY(dialog.isVisible());
    });
    const QStringList shown = m_seams->messages->texts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains(QLatin1String("cmdOK_Click of Form frmDistributionListSearch")), qPrintable(shown[0]));
    QVERIFY(dialog.bCancelHit);
}

void TestPickers::windowKeepsOneOfEach()
{
    test::MainWindowFixture f;
    QVERIFY(f.start());
    Pickers &held = f.window->pickers();
    const QList<QDialog *> first{&held.callHandlerSearch(), &held.distributionListSearch(), &held.interviewerSearch(),
                                 &held.subscriberSearch()};
    const QList<QDialog *> again{&held.callHandlerSearch(), &held.distributionListSearch(), &held.interviewerSearch(),
                                 &held.subscriberSearch()};
    QCOMPARE(again, first);
    for (QDialog *dialog : first) {
        QCOMPARE(dialog->parentWidget(), f.window.get());
        QCOMPARE(f.window->findChildren<QDialog *>(dialog->objectName()).size(), 1);
    }
    f.stop();
}

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
