// The owner and recipient buttons of the call handler, interview handler and
// name lookup handler pages in the real window on the sample server: the
// popup they open, the pick through the real pickers, the row and the audit
// line written, and every way of leaving or failing.
#include "common/appcontext.h"
#include "details/controltag.h"
#include "embedded/sampleids.h"
#include "pickerdriver.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace quillor;
using test::PickerAnswer;
using test::storedRow;
namespace ids = quillor::embedded::SampleIds;

Q_DECLARE_METATYPE(quillor::test::PickerAnswer)

class TestOwnerRecipient : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_f.start()); }
    void cleanup() { m_f.stop(); }
    void change_data();
    void change();
    void leaveWithoutPick_data();
    void leaveWithoutPick();
    void failedWrite_data();
    void failedWrite();
    void interviewHandlerGone();

private:
    AppContext &ctx() { return m_f.server->ctx(); }
    template <typename T = QWidget> T *find(const QString &name) { return m_f.window->findChild<T *>(name); }
    // Shows the object's page, presses `button` and answers the popup with
    // `entry` and the picker with `answer`; the popup's ticks as it opened.
    QString choose(const QString &objectId, int nodeType, const QString &button, const QString &entry,
                   PickerAnswer answer, const QString &alias);

    test::MainWindowFixture m_f;
};

QString TestOwnerRecipient::choose(const QString &objectId, int nodeType, const QString &button, const QString &entry,
                                   PickerAnswer answer, const QString &alias)
{
    m_f.window->LoadTabInfo(objectId, qint16(nodeType));
    m_f.seams->messages->shown.clear(); // what the page said of its object
    find<QPushButton>(button)->click();
    auto *popup = find<QMenu>(QStringLiteral("PopupOwnerRecipient"));
    if (!popup->isVisible())
        return QStringLiteral("<no popup>");
    QStringList ticked;
    for (const QAction *a : popup->actions())
        if (a->isChecked())
            ticked << a->text();
    const test::PickerScript script = test::answerNextPicker(answer, alias);
    QAction *chosen = find<QAction>(entry);
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(chosen).center());
    if (!*script.answered)
        return QStringLiteral("<no picker>");
    return ticked.join(u',');
}

void TestOwnerRecipient::change_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("ticked"); // the popup's entry ticked for the present owner or recipient
    QTest::addColumn<bool>("owner");     // bChangeOwner
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("alias"); // picked
    QTest::addColumn<QString>("row");   // query of the two columns written
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("audit");
    QTest::addColumn<QString>("box"); // shows the new owner or recipient after the page's reload
    QTest::addColumn<QString>("shown");

    const QString handler = QStringLiteral("SELECT %1, %1Type FROM CallHandler WHERE CallHandlerObjectID = '%2'");
    const QString directory = QStringLiteral("SELECT %1, %1Type FROM NameLookupHandler WHERE NameLookupHandlerObjectID = '%2'");
    const QString interviewer = QStringLiteral("SELECT %1, %1Type FROM InterviewHandler WHERE InterviewHandlerObjectID = '%2'");
    const QString owner = QStringLiteral("AdministratorObjectID");
    const QString recipient = QStringLiteral("RecipientObjectID");

    QTest::newRow("call handler's owner to a list")
        << ids::OpeningGreeting << 3 << "cmdHandlerChangeOwner" << "Subscriber" << true
        << "PopupOwnerRecipientDistributionList" << "operators" << handler.arg(owner, ids::OpeningGreeting)
        << ids::Operators + "|2"
        << "UPDATE, , , Call Handler, openinggreetingch, AdministratorObjectID, Distribution list=Operators"
        << "txtHandlerProfileOwner" << "Operators";
    QTest::newRow("call handler's recipient to a subscriber")
        << ids::OpeningGreeting << 3 << "cmdHandlerMessagesChangeRecipient" << "DistributionList" << false
        << "PopupOwnerRecipientSubscriber" << "bsales" << handler.arg(recipient, ids::OpeningGreeting)
        << ids::BobSales + "|1" << "UPDATE, , , Call Handler, openinggreetingch, RecipientObjectID, Subscriber=Bob Sales"
        << "txtHandlerMessagesRecipient" << "Bob Sales";
    QTest::newRow("name lookup handler's owner to a subscriber")
        << ids::LocalDirectory << 6 << "cmdChangeDirectoryHandlerOwner" << "DistributionList" << true
        << "PopupOwnerRecipientSubscriber" << "aadmin" << directory.arg(owner, ids::LocalDirectory)
        << ids::AliceAdmin + "|1"
        << "UPDATE, , , Directory Handler, localdirectory, AdministratorObjectID, Subscriber=Alice Admin"
        << "txtDirectoryHandlerOwner" << "Alice Admin";
    QTest::newRow("name lookup handler without owner, to a list")
        << ids::BrokenDirectory << 6 << "cmdChangeDirectoryHandlerOwner" << "" << true
        << "PopupOwnerRecipientDistributionList" << "allsubscribers" << directory.arg(owner, ids::BrokenDirectory)
        << ids::AllSubscribers + "|2"
        << "UPDATE, , , Directory Handler, brokendirectory, AdministratorObjectID, Distribution list=All Subscribers"
        << "txtDirectoryHandlerOwner" << "All Subscribers";
    QTest::newRow("interview handler's owner to a list")
        << ids::InterviewTemplate << 5 << "cmdInterviewerProfileSetOwner" << "Subscriber" << true
        << "PopupOwnerRecipientDistributionList" << "operators" << interviewer.arg(owner, ids::InterviewTemplate)
        << ids::Operators + "|2"
        << "UPDATE, , , Inteview Handler, interviewtemplate, AdministratorObjectID, Distribution list=Operators"
        << "txtInterviewerOwner" << "Operators";
    QTest::newRow("interview handler without recipient, to a subscriber")
        << ids::Survey << 5 << "cmdInterviewerProfileSetRecipient" << "" << false << "PopupOwnerRecipientSubscriber"
        << "csupport" << interviewer.arg(recipient, ids::Survey) << ids::CarolSupport + "|1"
        << "UPDATE, , , Inteview Handler, surveyih, RecipientObjectID, Subscriber=Carol Support"
        << "txtInterviewerRecipient" << "Carol Support";
}

void TestOwnerRecipient::change()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, button);
    QFETCH(QString, ticked);
    QFETCH(bool, owner);
    QFETCH(QString, entry);
    QFETCH(QString, alias);
    QFETCH(QString, row);
    QFETCH(QString, written);
    QFETCH(QString, audit);
    QFETCH(QString, box);
    QFETCH(QString, shown);

    // The flag holds the opposite first: the button sets it.
    ctx().state().bChangeOwner = !owner;
    // No load of the page has anything to say (the broken handler's scope would).
    QVERIFY(test::sql(ctx(), QStringLiteral("UPDATE NameLookupHandler SET SearchScope = 0 WHERE SearchScope = 2")));
    QCOMPARE(choose(objectId, nodeType, button, entry, PickerAnswer::Pick, alias), ticked);
    QCOMPARE(ctx().state().bChangeOwner, owner);
    QCOMPARE(storedRow(ctx(), row, {}), written);
    QCOMPARE(test::auditLines(ctx()), QStringList{audit});
    QVERIFY(m_f.seams->messages->texts().isEmpty());
    QCOMPARE(find<QLineEdit>(box)->text(), shown);
    QCOMPARE(tag(find<QLineEdit>(box)), written.right(1));
}

void TestOwnerRecipient::leaveWithoutPick_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<PickerAnswer>("answer");
    QTest::newRow("subscriber, Cancel") << "PopupOwnerRecipientSubscriber" << PickerAnswer::Cancel;
    QTest::newRow("subscriber, Escape") << "PopupOwnerRecipientSubscriber" << PickerAnswer::Escape;
    QTest::newRow("list, close box") << "PopupOwnerRecipientDistributionList" << PickerAnswer::CloseBox;
    QTest::newRow("list, Escape") << "PopupOwnerRecipientDistributionList" << PickerAnswer::Escape;
}

void TestOwnerRecipient::leaveWithoutPick()
{
    QFETCH(QString, entry);
    QFETCH(PickerAnswer, answer);
    const QString query = QStringLiteral("SELECT AdministratorObjectID, AdministratorObjectIDType FROM CallHandler "
                                         "WHERE CallHandlerObjectID = '%1'").arg(ids::OpeningGreeting);
    const QString before = storedRow(ctx(), query, {});
    QCOMPARE(choose(ids::OpeningGreeting, 3, QStringLiteral("cmdHandlerChangeOwner"), entry, answer, {}),
             QStringLiteral("Subscriber"));
    QCOMPARE(storedRow(ctx(), query, {}), before);
    QCOMPARE(test::auditLines(ctx()), QStringList{});
}

void TestOwnerRecipient::failedWrite_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("audit");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("stored");
    QTest::newRow("through the procedure") << ids::OpeningGreeting << 3 << "cmdHandlerChangeOwner" << "CallHandler"
                                           << "FAILED_UPDATE, , , Call Handler, openinggreetingch, AdministratorObjectID, "
                                              "Subscriber=Carol Support"
                                           << "txtHandlerProfileOwner" << "Alice Admin";
    // Updated in its own row, an interview handler's failure is no success either.
    QTest::newRow("in the row") << ids::FeedbackInterview << 5 << "cmdInterviewerProfileSetRecipient"
                                << "InterviewHandler"
                                << "FAILED_UPDATE, , , Inteview Handler, feedbackih, RecipientObjectID, "
                                   "Subscriber=Carol Support"
                                << "txtInterviewerRecipient" << "Bob Sales";
}

void TestOwnerRecipient::failedWrite()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, button);
    QFETCH(QString, table);
    QFETCH(QString, audit);
    QFETCH(QString, box);
    QFETCH(QString, stored);
    QVERIFY(test::refuseWrites(ctx(), table));
    choose(objectId, nodeType, button, QStringLiteral("PopupOwnerRecipientSubscriber"), PickerAnswer::Pick,
           QStringLiteral("csupport"));
    QCOMPARE(m_f.seams->messages->texts().filter(QStringLiteral("Failed to update database")).size(), 1);
    QCOMPARE(test::auditLines(ctx()), QStringList{audit});
    // The page is loaded again and shows what is stored.
    QCOMPARE(find<QLineEdit>(box)->text(), stored);
}

void TestOwnerRecipient::interviewHandlerGone()
{
    m_f.window->LoadTabInfo(ids::Survey, 5);
    QVERIFY(test::sql(ctx(), QStringLiteral("DELETE FROM InterviewHandler WHERE InterviewHandlerObjectID = ?"), {ids::Survey}));
    find<QPushButton>(QStringLiteral("cmdInterviewerProfileSetOwner"))->click();
    const test::PickerScript script = test::answerNextPicker(PickerAnswer::Pick, QStringLiteral("operators"));
    find<QAction>(QStringLiteral("PopupOwnerRecipientDistributionList"))->trigger();
    QVERIFY(*script.answered);
    QCOMPARE(m_f.seams->messages->texts(),
             QStringList{"Error!  Could not find interview handler in database in PopupOwnerRecipientDistributionList routine."});
    QCOMPARE(test::auditLines(ctx()), QStringList{});
}

QTEST_MAIN(TestOwnerRecipient)
#include "tst_ownerrecipient.moc"
