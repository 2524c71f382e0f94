// The detail pages in the real main window on the sample server: what each
// control of the subscriber, interview handler and name lookup handler pages
// shows and keeps as its Tag; on every page the messages for missing parts, an
// object not found, that nothing of one object survives on a page when the
// next is shown and that nothing nobody writes can be changed; the key grid's
// row numbers; that the wheel changes only the control with the focus and
// never turns the pane to a hidden page.
#include "common/appcontext.h"
#include "details/controltag.h"
#include "details/interviewerpage.h"
#include "details/keygrid.h"
#include "details/namelookuppage.h"
#include "details/subscriberpage.h"
#include "embedded/sampleids.h"
#include "mainwindow/objectgrid.h"
#include "platform/validatingedit.h"
#include "platform/outlineview.h"
#include "testserver.h"
#include "treehelpers.h"
#include "windowfixture.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QApplication>
#include <QTimer>
#include <QtTest>

using namespace quillor;
using test::sql;
namespace ids = quillor::embedded::SampleIds;

namespace {

// The text a control shows: a box its text, a list its entry, a check box or
// option button "1"/"0".
QString shown(const QWidget *control)
{
    if (const auto *box = qobject_cast<const QLineEdit *>(control))
        return box->text();
    if (const auto *list = qobject_cast<const QComboBox *>(control))
        return list->currentText();
    if (const auto *number = qobject_cast<const QAbstractSpinBox *>(control))
        return number->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return QStringLiteral("?");
}

} // namespace

class TestDetailPages : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void missingParts_data();
    void missingParts();
    void objectNotFound_data();
    void objectNotFound();
    void subscriberGreetings_data();
    void subscriberGreetings();
    void expiryIsUniversalTime_data();
    void expiryIsUniversalTime();
    void questions_data();
    void questions();
    void questionRowShowsItsRecording();
    void searchScope_data();
    void searchScope();
    void nothingOfThePreviousObjectStays_data();
    void nothingOfThePreviousObjectStays();
    void entriesMissingFromTheirLists_data();
    void entriesMissingFromTheirLists();
    void nothingUnwrittenLooksEditable_data();
    void nothingUnwrittenLooksEditable();
    void keyGridRows();
    void everyGridRowOpensItsPage_data();
    void everyGridRowOpensItsPage();
    void treeRowsOpenTheirPage_data();
    void treeRowsOpenTheirPage();
    void wheelChangesOnlyAFocusedControl_data();
    void wheelChangesOnlyAFocusedControl();
    void paneTurnsToNoHiddenPage_data();
    void paneTurnsToNoHiddenPage();

private:
    void show(const QString &objectId, int nodeType)
    {
        m_f.seams->messages->shown.clear();
        m_f.window->LoadTabInfo(objectId, qint16(nodeType));
    }
    template <typename T = QWidget> T *find(const QString &name) { return m_f.window->findChild<T *>(name); }
    QStringList messages() const { return m_f.seams->messages->texts(); }
    bool activate()
    {
        QApplication::setActiveWindow(m_f.window.get());
        return QTest::qWaitForWindowActive(m_f.window.get());
    }

    test::MainWindowFixture m_f;
};

void TestDetailPages::init() { QVERIFY(m_f.start()); }

void TestDetailPages::cleanup() { m_f.stop(); }

void TestDetailPages::controls_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("title");
    // "control=shown text" or "control=shown text|Tag"; a control listed
    // without a Tag must have none.
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("subscriber") << ids::AliceAdminHandler << 1 << "Alice Admin"
                                << QStringList{"txtSubscriberObjectID=" + ids::AliceAdmin,
                                               "txtSubscriberProfileAlias=aadmin",
                                               "txtSubscriberProfileDisplayName=Alice Admin",
                                               "txtSubscriberProfileExtension=5001|5001",
                                               "cmbSubscriberProfileLanguage=English (United States)|English (United States)",
                                               "cmbSubscriberProfileSchedule=Weekdays",
                                               "txtSubscriberProfileCOS=Administrators",
                                               "txtSubscriberProfileSwitch=Main PBX",
                                               "txtSubscriberProfileHomeServer=MAIL01",
                                               "txtSubscriberProfileDirectoryID=" + ids::AliceAdminDirectoryId,
                                               "optSubscriberTransferSendToGreeting=1",
                                               "cmbSubscriberTransferType=Release",
                                               "txtSubscriberTransferRingsToWait=4|4",
                                               "txtSubscriberTransferString=5001|5001",
                                               "txtSubscriberMessagesMaxMessageLength=300|300",
                                               "chkSubscriberMessagesCanEditMessages=1",
                                               "cmbSubscriberMessagesCanMarkUrgent=Always",
                                               "txtSubscriberMessagesAfterMessageAction=Hang Up",
                                               "txtSubscriberConversationExitAction=Send to greeting for: Opening Greeting",
                                               "txtSubscriberMillisecondsToWaitForAdditionalDigits=1500"};
    QTest::newRow("subscriber: inherited language, ringing, no exit")
        << ids::BobSalesHandler << 99 << "Bob Sales"
        << QStringList{"cmbSubscriberProfileLanguage=Inherited|Inherited", "cmbSubscriberProfileSchedule=All Hours",
                       "txtSubscriberProfileSwitch=Branch PBX", "optSubscriberTransferAttemptToRingPhone=1",
                       "cmbSubscriberTransferType=Supervised", "txtSubscriberTransferString=5002|5002",
                       "txtSubscriberConversationExitAction=Error! Exit destination not set!"};
    QTest::newRow("subscriber without switch") << ids::CarolSupportHandler << 1 << "Carol Support"
                                               << QStringList{"txtSubscriberProfileSwitch=Main PBX",
                                                              "txtSubscriberTransferString=9,5551234|9,5551234",
                                                              "txtSubscriberConversationExitAction=Hang Up"};
    QTest::newRow("interview handler") << ids::InterviewTemplate << 5 << "Interview Template"
                                       << QStringList{"txtInterviewerAlias=interviewtemplate",
                                                      "txtInterviewerDisplayName=Interview Template|Interview Template",
                                                      "txtInterviewerExtension=|",
                                                      "txtInterviewerOwner=Alice Admin|1",
                                                      "txtInterviewerRecipient=Operators|2",
                                                      "cmbInterviewerLanguage=Inherited|Inherited",
                                                      "txtInterviewerAfterMessageAction=Send to greeting for: Goodbye"};
    QTest::newRow("interview handler owned by a list") << ids::FeedbackInterview << 5 << "Feedback Interview"
                                                       << QStringList{"txtInterviewerExtension=2000|2000",
                                                                      "txtInterviewerOwner=All Subscribers|2",
                                                                      "txtInterviewerRecipient=Bob Sales|1",
                                                                      "cmbInterviewerLanguage=English (United States)|English (United States)",
                                                                      "txtInterviewerAfterMessageAction=Hang Up"};
    // Owner and recipient Null: each box is empty, neither shows the other's name.
    QTest::newRow("interview handler without owner") << ids::Survey << 5 << "Survey"
                                                     << QStringList{"txtInterviewerOwner=|0", "txtInterviewerRecipient=|0"};
    QTest::newRow("name lookup handler")
        << ids::LocalDirectory << 6 << "Local Directory"
        << QStringList{"txtDirectoryHandlerAlias=localdirectory",
                       "txtDirectoryHandlerDisplayName=Local Directory|Local Directory",
                       "txtDirectoryHandlerExtension=3004|3004",
                       // A language stored as 0 is the code tables' default language.
                       "cmbDirectoryHandlerLanguage=English (United States)|English (United States)",
                       "txtDirectoryHandlerOwner=Operators|2",
                       "chkDirectoryHandlerPlayAllNames=1",
                       "optDirHandlerSearchOptionLocal=1",
                       "optDirHandlerSearchByLastNameFirstName=1",
                       "txtDirectoryHandlerExitAction=Send to greeting for: Goodbye",
                       "txtDirectoryHandlerZeroExitAction=Hang Up",
                       "txtDirectoryHandlerNoSelectionExitAction=Ring phone for: Operator",
                       "txtDirectoryHandlerNoInputExitAction=Send to greeting for: Opening Greeting",
                       "optNameLookupHandlerOnUniqueMatchRequestCallerInput=1",
                       "optNameLookupHandlerAnnounceMatchedNamesMenuFormat=1",
                       "chkNameLookupHandlerMenuFormatAnnounceExtensions=0",
                       "txtDirectoryHandlerMaxMatches=12"};
    QTest::newRow("name lookup handler in extension format")
        << ids::SalesDirectory << 6 << "Sales Directory"
        << QStringList{"txtDirectoryHandlerOwner=All Subscribers|2", "optDirHandlerSearchByFirstNameLastName=1",
                       "optNameLookupHandlerAnnounceMatchedNamesExtensionFormat=1",
                       "chkNameLookupHandlerMenuFormatAnnounceExtensions=1", "txtDirectoryHandlerMaxMatches=5"};
    QTest::newRow("name lookup handler without owner")
        << ids::BrokenDirectory << 6 << "Broken Directory"
        << QStringList{"txtDirectoryHandlerOwner=|0", "txtDirectoryHandlerExtension=|", "chkDirectoryHandlerPlayAllNames=0",
                       "optNameLookupHandlerOnUniqueMatchRouteAutomatically=1"};
}

void TestDetailPages::controls()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, title);
    QFETCH(QStringList, expected);

    show(objectId, nodeType);
    for (const QString &line : expected) {
        const QString name = line.section(u'=', 0, 0);
        const QString value = line.section(u'=', 1);
        QWidget *control = find(name);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(test::asStored(shown(control)), value.section(u'|', 0, 0));
        QVERIFY2(control->property("Tag").isValid() == value.contains(u'|') || tag(control).isEmpty(), qPrintable(name));
        if (value.contains(u'|'))
            QCOMPARE(tag(control), value.section(u'|', 1));
    }
    QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), title);
    const SelectedObject &selected = m_f.window->CurrentlySelectedObject();
    QCOMPARE(selected.ObjectType, qint16(nodeType == 99 ? 1 : nodeType));
    QCOMPARE(test::asStored(selected.ObjectID), objectId);
    QCOMPARE(selected.DisplayName, title);
    QVERIFY(!m_f.server->ctx().state().bLoadingControls);
}

void TestDetailPages::missingParts_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("change"); // SQL run first, bound to the object's id
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("unusable"); // groups left empty and disabled

    QTest::newRow("call handler, complete") << ids::OpeningGreeting << 3 << "" << QStringList{} << QStringList{};
    QTest::newRow("call handler without owner, rule, greeting and key")
        << ids::Orphan << 3 << ""
        << QStringList{"Error, no valid owner found for this call handler.",
                       "Error in LoadTabInfo.  Could not find contact rule: 1",
                       "Error in LoadTabInfo, could not find messaging rule",
                       "Error, could not find menu entry for selected call handler by alias=#"}
        << QStringList{};
    QTest::newRow("subscriber: missing class of service, greeting and key")
        << ids::CarolSupportHandler << 1 << ""
        << QStringList{"Error in LoadTabInfo.  Could not find COS reference:" + test::asRead(ids::MissingCos),
                       "Error in LoadTabInfo, could not find messaging rule",
                       "Error, could not find menu entry for selected subscriber by alias=#"}
        << QStringList{"frameSubscriberGreetingInfo(2)"};
    QTest::newRow("subscriber without contact rules")
        << ids::AliceAdminHandler << 1 << "DELETE FROM ContactRule WHERE ParentObjectID=?"
        << QStringList{"Error in LoadTabInfo.  Did not find contact rules for selected subscriber:aadmin"}
        << QStringList{"frameSubscriberInfo(1)", "frameSubscriberGreetingInfo(0)", "frameSubscriberInfo(3)",
                       "pageSubscriberConversation", "pageSubscriberUserInput"};
    QTest::newRow("subscriber without alternate contact rule")
        << ids::AliceAdminHandler << 1 << "DELETE FROM ContactRule WHERE ParentObjectID=? AND Alias='Alternate'"
        << QStringList{"Error in LoadTabInfo.  Could not find alternate contact rule:" +
                       ids::contactRuleId(ids::AliceAdminHandler, 2)}
        << QStringList{"frameSubscriberInfo(1)"};
    QTest::newRow("subscriber without greetings")
        << ids::AliceAdminHandler << 1 << "DELETE FROM MessagingRule WHERE ParentObjectID=?"
        << QStringList{"Error in LoadTabInfo - no messaging rules found for selected subscriber: aadmin"}
        << QStringList{"frameSubscriberGreetingInfo(5)", "frameSubscriberInfo(3)", "pageSubscriberConversation",
                       "pageSubscriberUserInput"};
    QTest::newRow("name lookup handler of scope 2") << ids::BrokenDirectory << 6 << ""
                                                    << QStringList{"Invalid SearchScope setting for the currently "
                                                                   "selected name lookup handler"}
                                                    << QStringList{};
}

void TestDetailPages::missingParts()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, change);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, unusable);

    if (!change.isEmpty())
        QVERIFY(sql(m_f.server->ctx(), change, {objectId}));
    show(objectId, nodeType);
    QCOMPARE(this->messages(), messages);
    QCOMPARE(test::asStored(m_f.window->CurrentlySelectedObject().ObjectID), objectId);
    for (const QString &name : unusable) {
        QWidget *group = find(name);
        QVERIFY2(group && !group->isEnabled(), qPrintable(name));
        for (const QLineEdit *box : group->findChildren<QLineEdit *>())
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
    }
}

void TestDetailPages::objectNotFound_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("message");
    const QString unknown = QStringLiteral("{00000005-0000-4000-8000-0000000000EE}");
    const QString unknownHandler = QStringLiteral("{00000003-0000-4000-8000-0000000000EE}");
    QTest::newRow("call handler") << unknownHandler << 3 << "tabHandlerInfo"
                                  << "Error in LoadTabInfo. could not find handler reference:" + unknownHandler;
    QTest::newRow("subscriber: not a primary call handler")
        << ids::Sales << 1 << "tabSubscriberDetails"
        << "Error, could not find primary call handler for selected subscriber in the SQL database.";
    QTest::newRow("subscriber deleted") << ids::GhostHandler << 1 << "tabSubscriberDetails"
                                        << "Error, could not find selected subscriber in the SQL database.";
    QTest::newRow("interview handler") << unknown << 5 << "tabInterviewerInfo"
                                       << "Error in LoadTabInfo. could not find interviewer object id:" + unknown;
    QTest::newRow("name lookup handler") << ids::MissingDirectoryHandler << 6 << "tabDirectoryHandlerInfo"
                                         << "Error in LoadTabInfo. could not find directory handler object id:" +
                                                ids::MissingDirectoryHandler;
}

void TestDetailPages::objectNotFound()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, page);
    QFETCH(QString, message);

    // The same kind of object shown first, so that its values could linger.
    const QString before = nodeType == 1   ? ids::AliceAdminHandler
                           : nodeType == 3 ? ids::Sales
                           : nodeType == 5 ? ids::FeedbackInterview
                                           : ids::SalesDirectory;
    show(before, nodeType);
    show(objectId, nodeType);
    QCOMPARE(messages(), QStringList{message});
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectType, qint16(0));
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectID, QString());
    QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), QString());
    QVERIFY(!find(page)->isEnabled());
    // Every box is empty, the date pickers of the call handler's greeting expiry too.
    for (const QLineEdit *box : find(page)->findChildren<QLineEdit *>())
        QVERIFY2(box->text().trimmed().isEmpty() || box->objectName().isEmpty(), qPrintable(box->objectName()));
    for (const QDateTimeEdit *picker : find(page)->findChildren<QDateTimeEdit *>())
        QVERIFY2(picker->text().trimmed().isEmpty(), qPrintable(picker->objectName()));
    show(before, nodeType);
    QVERIFY(find(page)->isEnabled());
}

void TestDetailPages::subscriberGreetings_data()
{
    QTest::addColumn<int>("greeting");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("allowInput");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QString>("path");

    QTest::newRow("recording, repeated") << 0 << true << true << "Take Message" << 1 << 2 << "ch_aadmin_Standard.wav";
    QTest::newRow("ignores digits") << 1 << true << false << "Take Message" << 0 << 0 << "(none)";
    QTest::newRow("switched off") << 2 << false << true << "Take Message" << 0 << 0 << "(none)";
    QTest::newRow("on until a later date") << 3 << true << true << "Take Message" << 2 << 0 << "(none)";
    QTest::newRow("expired") << 4 << false << true << "Take Message" << 0 << 0 << "(none)";
    QTest::newRow("error greeting") << 5 << true << true << "Send to greeting for: Opening Greeting" << 0 << 0 << "(none)";
}

void TestDetailPages::subscriberGreetings()
{
    QFETCH(int, greeting);
    QFETCH(bool, enabled);
    QFETCH(bool, allowInput);
    QFETCH(QString, action);
    QFETCH(int, source);
    QFETCH(int, repeat);
    QFETCH(QString, path);

    show(ids::AliceAdminHandler, 1);
    SubscriberPage &page = m_f.window->subscriberPage();
    const SubscriberPage::Greeting &g = page.greetings[size_t(greeting)];
    QCOMPARE(g.chkSubscriberGreetingEnabled->objectName(), indexedName(QStringLiteral("chkSubscriberGreetingEnabled"), greeting));
    QCOMPARE(g.chkSubscriberGreetingEnabled->isChecked(), enabled);
    QCOMPARE(g.chkSubscriberGreetingAllowInput->isChecked(), allowInput);
    QCOMPARE(g.txtSubscriberGreetingAfterGreetingAction->text(), action);
    QCOMPARE(g.cmbSubscriberGreetingSource->currentIndex(), source);
    QCOMPARE(g.cmbSubscriberGreetingsRepeat->currentIndex(), repeat);
    QCOMPARE(g.txtSubscriberGreetingStreamPath->text(), path);
    QCOMPARE(test::asStored(g.txtSubscriberGreetingObjectID->text()), ids::greetingId(ids::AliceAdminHandler, greeting));
    QVERIFY(g.txtSubscriberGreetingObjectID->isHidden());
    for (QWidget *control : {static_cast<QWidget *>(g.chkSubscriberGreetingAllowInput),
                             static_cast<QWidget *>(g.cmbSubscriberGreetingSource),
                             static_cast<QWidget *>(g.cmbSubscriberGreetingsRepeat),
                             static_cast<QWidget *>(g.cmdSubscriberGreetingChangeAfterGreetingAction),
                             static_cast<QWidget *>(g.txtSubscriberGreetingAfterGreetingAction)})
        QCOMPARE(page.editLock().isUsable(control), enabled);
    for (const char *tagless : {"chkSubscriberGreetingEnabled", "cmbSubscriberGreetingSource", "cmbSubscriberGreetingsRepeat"})
        QVERIFY(!find(indexedName(QString::fromLatin1(tagless), greeting))->property("Tag").isValid());
}

void TestDetailPages::expiryIsUniversalTime_data()
{
    QTest::addColumn<QString>("rule");   // the row whose TimeExpires is set
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("check"); // the rule's check box
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("expires");
    QTest::addColumn<bool>("on");

    // 11:30 summer time in Berlin is 09:30 universal time.
    const QString transfer = ids::contactRuleId(ids::Operator, 2);
    const QString greeting = ids::greetingId(ids::BobSalesHandler, 1);
    for (const bool isTransfer : {true, false}) {
        const QString rule = isTransfer ? transfer : greeting;
        const QString table = isTransfer ? QStringLiteral("ContactRule") : QStringLiteral("MessagingRule");
        const QString id = isTransfer ? ids::Operator : ids::BobSalesHandler;
        const int type = isTransfer ? 3 : 1;
        const QString check = isTransfer ? QStringLiteral("chkHandlerTransferEnabled(2)")
                                         : QStringLiteral("chkSubscriberGreetingEnabled(1)");
        const QString frame = isTransfer ? QStringLiteral("frameHandlerTransferInfo(2)")
                                         : QStringLiteral("frameSubscriberGreetingInfo(1)");
        const char *what = isTransfer ? "transfer rule" : "subscriber greeting";
        QTest::addRow("%s: ahead in universal time, behind as local", what)
            << rule << table << id << type << check << frame << "2026-07-01 10:00:00" << true;
        QTest::addRow("%s: just passed", what) << rule << table << id << type << check << frame << "2026-07-01 09:29:00"
                                               << false;
        QTest::addRow("%s: unreadable", what) << rule << table << id << type << check << frame << "soon" << false;
    }
}

void TestDetailPages::expiryIsUniversalTime()
{
    QFETCH(QString, rule);
    QFETCH(QString, table);
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, check);
    QFETCH(QString, frame);
    QFETCH(QString, expires);
    QFETCH(bool, on);

    m_f.seams->clock->current = QDateTime(QDate(2026, 7, 1), QTime(11, 30));
    const QString key = table == QLatin1String("ContactRule") ? QStringLiteral("ContactRuleObjectID")
                                                              : QStringLiteral("MessagingRuleObjectID");
    QVERIFY(sql(m_f.server->ctx(), QStringLiteral("UPDATE %1 SET TimeExpires=? WHERE %2=?").arg(table, key), {expires, rule}));
    show(objectId, nodeType);
    QCOMPARE(find<QCheckBox>(check)->isChecked(), on);
    // A state that cannot be read is reported, and the rule cannot be changed.
    const bool readable = expires != QLatin1String("soon");
    QCOMPARE(find(frame)->isEnabled(), readable);
    const QString procedure = nodeType == 3 ? QStringLiteral("LoadTabCallHandler") : QStringLiteral("LoadTabSubscriber");
    QCOMPARE(messages(), readable ? QStringList{}
                                  : QStringList{"(error):13 (Type mismatch) in procedure " + procedure + " of Form frmMain"});
}

void TestDetailPages::questions_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QStringList>("rows"); // "number|limit|question|ObjectID|StreamPath"
    QTest::addColumn<bool>("deleteUsable");

    const auto row = [](int n, const QString &limit, const QString &text, const QString &handler, int index,
                        const QString &path) {
        return QStringList{QStringLiteral(" %1").arg(n), limit, text, ids::questionId(handler, index), path}.join(u'|');
    };
    QTest::newRow("none") << ids::Survey << QStringList{} << false;
    QTest::newRow("one")
        << ids::InterviewTemplate
        << QStringList{row(1, "30", "Please leave your message after the tone.", ids::InterviewTemplate, 0, "")} << false;
    // Numbered in alias order, whatever order the view gives; a limit of 0 stays 0.
    QTest::newRow("three") << ids::FeedbackInterview
                           << QStringList{row(1, "10", "Please say your name.", ids::FeedbackInterview, 0,
                                              "iq_feedbackih_1.wav"),
                                          row(2, "30", "Describe the problem.", ids::FeedbackInterview, 1, ""),
                                          row(3, "0", "Anything else?", ids::FeedbackInterview, 2, "")}
                           << true;
}

void TestDetailPages::questions()
{
    QFETCH(QString, handler);
    QFETCH(QStringList, rows);
    QFETCH(bool, deleteUsable);

    show(ids::FeedbackInterview, 5);
    show(handler, 5);
    InterviewerPage &page = m_f.window->interviewerPage();
    QTableWidget *grid = page.gridInterviewQuestions;
    QCOMPARE(page.questionCount(), int(rows.size()));
    const QStringList keys{"", "AnswerLimit", "Question", "ObjectID", "StreamPath"};
    for (int r = 1; r <= rows.size(); ++r) {
        const QStringList cells = rows[r - 1].split(u'|');
        QCOMPARE(grid->item(r - 1, 0)->text(), cells[0]);
        for (int c = 1; c < keys.size(); ++c)
            QCOMPARE(test::asStored(page.questionCell(r, keys[c])), cells[c]);
    }
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QStringLiteral("Limit (sec)"));
    QCOMPARE(grid->horizontalHeaderItem(2)->text(), QStringLiteral("Question Text"));
    QVERIFY(grid->isColumnHidden(3) && grid->isColumnHidden(4));
    // The first question's recording shows below the grid.
    QCOMPARE(page.txtInterviewerQuestionStreamPath->text(), rows.isEmpty() ? QString() : rows[0].section(u'|', 4));
    QCOMPARE(page.editLock().isUsable(page.cmdInterviewQuestionsDelete), deleteUsable);
    // The question buttons have no action: never usable.
    for (QPushButton *button : {page.cmdInterviewQuestionsAdd, page.cmdInterviewQuestionsDelete,
                                page.cmdInterviewQuestionsMoveUp, page.cmdInterviewQuestionsMoveDown})
        QVERIFY(!button->isEnabled());
}

void TestDetailPages::questionRowShowsItsRecording()
{
    show(ids::FeedbackInterview, 5);
    InterviewerPage &page = m_f.window->interviewerPage();
    QTableWidget *grid = page.gridInterviewQuestions;
    QCOMPARE(page.txtInterviewerQuestionStreamPath->text(), QStringLiteral("iq_feedbackih_1.wav"));
    grid->setCurrentCell(1, 2);
    QCOMPARE(page.txtInterviewerQuestionStreamPath->text(), QString());
    grid->setCurrentCell(0, 2);
    QCOMPARE(page.txtInterviewerQuestionStreamPath->text(), QStringLiteral("iq_feedbackih_1.wav"));
    grid->setCurrentCell(-1, -1);
    QCOMPARE(page.txtInterviewerQuestionStreamPath->text(), QString());
}

void TestDetailPages::searchScope_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("list");    // "" : no list of the scope
    QTest::addColumn<QString>("entry");   // selected in that list
    QTest::addColumn<QString>("dlName");
    QTest::addColumn<QString>("dlTag");
    QTest::addColumn<QString>("dlDirectoryId");

    QTest::newRow("local") << ids::LocalDirectory << 0 << "" << "" << "" << "" << "";
    QTest::newRow("dialing domain") << ids::CompanyDirectory << 1 << "" << "" << "" << "" << "";
    QTest::newRow("no such scope: local") << ids::BrokenDirectory << 0 << "" << "" << "" << "" << "";
    QTest::newRow("location") << ids::HqDirectory << 3 << "cmbDirectoryHandlerSearchInLocation" << "Headquarters" << ""
                              << "" << "";
    QTest::newRow("class of service, third entry")
        << ids::RestrictedDirectory << 5 << "cmbDirectoryHandlerSearchInCOS" << "Restricted" << "" << "" << "";
    QTest::newRow("distribution list") << ids::SalesDirectory << 4 << "" << "" << "All Subscribers" << "2"
                                       << ids::AllSubscribersScope;
}

void TestDetailPages::searchScope()
{
    QFETCH(QString, handler);
    QFETCH(int, scope);
    QFETCH(QString, list);
    QFETCH(QString, entry);
    QFETCH(QString, dlName);
    QFETCH(QString, dlTag);
    QFETCH(QString, dlDirectoryId);

    // A handler of each other scope first, so that nothing of it can linger.
    show(ids::SalesDirectory, 6);
    show(ids::RestrictedDirectory, 6);
    show(handler, 6);
    NameLookupHandlerPage &page = m_f.window->nameLookupHandlerPage();
    for (int s : {0, 1, 3, 4, 5})
        QCOMPARE(page.scopeOption(s)->isChecked(), s == scope);
    for (const QString &name : {QStringLiteral("cmbDirectoryHandlerSearchInLocation"), QStringLiteral("cmbDirectoryHandlerSearchInCOS")}) {
        auto *shownList = find<QComboBox>(name);
        auto *ids = find<QComboBox>(name + QStringLiteral("ObjectID"));
        QCOMPARE(shownList->currentText(), name == list ? entry : QString());
        // The hidden twin holds the ObjectID of the entry shown.
        QCOMPARE(ids->currentIndex(), shownList->currentIndex());
        QVERIFY(ids->isHidden());
    }
    if (scope == 5)
        QCOMPARE(test::asStored(page.cmbDirectoryHandlerSearchInCOSObjectID->currentText()), ids::RestrictedCos);
    QCOMPARE(page.txtDirectoryHandlerSearchInDL->text(), dlName);
    QCOMPARE(tag(page.txtDirectoryHandlerSearchInDL), dlTag);
    QCOMPARE(test::asStored(page.txtDirectoryHandlerSearchInDLDirectoryID->text()), dlDirectoryId);
    QCOMPARE(page.txtDirectoryHandlerSearchInDLDomainName->text(), QString());
}

void TestDetailPages::nothingOfThePreviousObjectStays_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QStringList>("emptied"); // boxes empty after the second load

    QTest::newRow("subscriber: greeting and key missing")
        << ids::AliceAdminHandler << ids::CarolSupportHandler << 1
        << QStringList{"txtSubscriberGreetingObjectID(2)", "txtSubscriberGreetingAfterGreetingAction(2)",
                       "txtSubscriberProfileCOS"};
    QTest::newRow("name lookup handler: list scope, then local")
        << ids::SalesDirectory << ids::CompanyDirectory << 6
        << QStringList{"txtDirectoryHandlerSearchInDL", "txtDirectoryHandlerSearchInDLDirectoryID",
                       "txtDirectoryHandlerExtension"};
    QTest::newRow("interview handler: owner and recipient Null")
        << ids::FeedbackInterview << ids::Survey << 5 << QStringList{"txtInterviewerOwner", "txtInterviewerRecipient",
                                                                     "txtInterviewerExtension"};
}

void TestDetailPages::nothingOfThePreviousObjectStays()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, nodeType);
    QFETCH(QStringList, emptied);

    // Drop what the second object has on the server, so that only a stale value could show.
    QVERIFY(sql(m_f.server->ctx(), QStringLiteral("DELETE FROM DTMFAccessID WHERE ParentObjectID=?"), {second}));
    show(first, nodeType);
    show(second, nodeType);
    for (const QString &name : emptied)
        QVERIFY2(find<QLineEdit>(name)->text().isEmpty(), qPrintable(name));
    if (nodeType == 1) {
        KeyGridWidget *grid = m_f.window->subscriberPage().gridSubscriberKeys;
        QCOMPARE(grid->menuEntryObjectId(12), QString());
        QVERIFY(!grid->isRowLoaded(12));
        QCOMPARE(test::asStored(grid->menuEntryObjectId(11)), ids::menuEntryId(ids::CarolSupportHandler, 10));
    }
}

void TestDetailPages::entriesMissingFromTheirLists_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("list");

    QTest::newRow("language not loaded") << "UPDATE NameLookupHandler SET Language=1025 WHERE NameLookupHandlerObjectID=?"
                                         << ids::SalesDirectory << 6 << "cmbDirectoryHandlerLanguage";
    QTest::newRow("class of service added later")
        << "UPDATE NameLookupHandler SET SearchScopeObjectID='" + ids::MissingCos + "' WHERE NameLookupHandlerObjectID=?"
        << ids::RestrictedDirectory << 6 << "cmbDirectoryHandlerSearchInCOS";
    QTest::newRow("location that is no default location")
        << "UPDATE NameLookupHandler SET SearchScopeObjectID='" + ids::BranchOffice + "' WHERE NameLookupHandlerObjectID=?"
        << ids::HqDirectory << 6 << "cmbDirectoryHandlerSearchInLocation";
    QTest::newRow("schedule added later") << "UPDATE CallHandler SET ScheduleObjectName='Night' WHERE CallHandlerObjectID=?"
                                          << ids::BobSalesHandler << 1 << "cmbSubscriberProfileSchedule";
}

void TestDetailPages::entriesMissingFromTheirLists()
{
    QFETCH(QString, change);
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, list);

    QVERIFY(sql(m_f.server->ctx(), change, {objectId}));
    // An object whose choice is in the list first: it must not stay selected.
    show(nodeType == 1 ? ids::AliceAdminHandler : ids::RestrictedDirectory, nodeType);
    show(nodeType == 1 ? ids::AliceAdminHandler : ids::HqDirectory, nodeType);
    show(objectId, nodeType);
    QCOMPARE(find<QComboBox>(list)->currentIndex(), -1);
    QCOMPARE(messages(), QStringList{});
    const QString log = test::logText(m_f.server->ctx());
    QVERIFY2(log.contains(list), qPrintable(log));
}

void TestDetailPages::nothingUnwrittenLooksEditable_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("validating"); // edit boxes checked when left

    QTest::newRow("call handler") << ids::OpeningGreeting << 3 << "CallHandlerPage"
                                  << QStringList{"txtHandlerProfileDisplayName", "txtHandlerProfileExtension",
                                                 "txtHandlerTransferString(0)", "txtHandlerTransferRingstoWait(2)",
                                                 "txtHandlerMessagesMaxMessageLength"};
    QTest::newRow("subscriber") << ids::BobSalesHandler << 1 << "SubscriberPage"
                                << QStringList{"txtSubscriberProfileExtension", "txtSubscriberTransferRingsToWait",
                                               "txtSubscriberTransferString", "txtSubscriberMessagesMaxMessageLength"};
    QTest::newRow("interview handler") << ids::FeedbackInterview << 5 << "InterviewerPage"
                                       << QStringList{"txtInterviewerDisplayName", "txtInterviewerExtension"};
    QTest::newRow("name lookup handler") << ids::SalesDirectory << 6 << "NameLookupHandlerPage"
                                         << QStringList{"txtDirectoryHandlerDisplayName", "txtDirectoryHandlerExtension"};
}

void TestDetailPages::nothingUnwrittenLooksEditable()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, page);
    QFETCH(QStringList, validating);

    show(objectId, nodeType);
    auto *detail = find<DetailPage>(page);
    QVERIFY(detail);
    const auto changeable = [](const QWidget *w) {
        if (!w->isEnabled())
            return false;
        if (const auto *box = qobject_cast<const QLineEdit *>(w))
            return !box->isReadOnly();
        if (qobject_cast<const QTabBar *>(w->parentWidget()) || qobject_cast<const QAbstractSpinBox *>(w->parentWidget()))
            return false; // a tab bar's scroll buttons, a number box's editor (the box itself counts)
        return qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractButton *>(w) ||
               qobject_cast<const QAbstractSpinBox *>(w);
    };
    // Whatever a user can change is one the page locked when it built it and
    // whose writer has released it; everything else stays locked.
    const EditLock &lock = detail->editLock();
    for (const QWidget *w : detail->findChildren<QWidget *>())
        QVERIFY2(!w->isVisibleTo(detail) || qobject_cast<const QAbstractItemView *>(w->parentWidget()) || !changeable(w)
                     || (lock.isManaged(w) && !lock.isLocked(w)),
                 qPrintable(w->objectName() + u' ' + QString::fromLatin1(w->metaObject()->className())));

    // The boxes checked when left have their writers: as usable as the page says.
    for (const QString &name : validating) {
        auto *box = find<platform::ValidatingLineEdit>(name);
        QVERIFY2(box && lock.isManaged(box) && !lock.isLocked(box), qPrintable(name));
        QVERIFY(!box->isReadOnly());
        QCOMPARE(box->isEnabled(), lock.isUsable(box));
    }
    detail->editLock().releaseAll();
    QVERIFY(detail->editLock().lockedControls().isEmpty());
}

void TestDetailPages::keyGridRows()
{
    QCOMPARE(KeyGridWidget::keyOfRow(0), QString());
    QCOMPARE(KeyGridWidget::keyOfRow(1), QStringLiteral("0"));
    QCOMPARE(KeyGridWidget::keyOfRow(10), QStringLiteral("9"));
    QCOMPARE(KeyGridWidget::keyOfRow(11), QStringLiteral("*"));
    QCOMPARE(KeyGridWidget::keyOfRow(12), QStringLiteral("#"));
    QCOMPARE(KeyGridWidget::keyOfRow(13), QString());
    QCOMPARE(KeyGridWidget::rowOfKey(QStringLiteral("#")), 12);
    QCOMPARE(KeyGridWidget::rowOfKey(QStringLiteral("10")), 0);

    // Carol's "#" is missing.
    show(ids::CarolSupportHandler, 1);
    auto *info = find<QTabWidget>(QStringLiteral("tabInfoTab"));
    for (int i = 0; i < info->count(); ++i)
        info->setTabVisible(i, i == 0);
    m_f.window->subscriberPage().tabSubscriberDetails->setCurrentIndex(5);
    KeyGridWidget *grid = m_f.window->subscriberPage().gridSubscriberKeys;
    auto *table = grid->findChild<QTableWidget *>();
    QVERIFY(table && table->isVisible());
    // The window answers a key with the action popup; it is dismissed here.
    QTimer dismiss;
    dismiss.setInterval(5);
    connect(&dismiss, &QTimer::timeout, this, [] {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    });
    dismiss.start();
    QSignalSpy doubleClicked(grid, &KeyGridWidget::keyDoubleClicked);
    QSignalSpy rightPressed(grid, &KeyGridWidget::keyRightPressed);
    const auto cell = [table](int tableRow) {
        table->scrollToItem(table->item(tableRow, 2));
        return table->visualItemRect(table->item(tableRow, 2)).center();
    };
    const QPoint star = cell(10);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, star);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, star);
    QCOMPARE(doubleClicked.size(), 1);
    QCOMPARE(doubleClicked.first().first().toInt(), 11);
    QTest::mousePress(table->viewport(), Qt::RightButton, {}, cell(0));
    QCOMPARE(rightPressed.size(), 1);
    QCOMPARE(rightPressed.first().first().toInt(), 1);
    QCOMPARE(grid->currentRow(), 1);
    // The missing key's row is never selected, but its presses are reported,
    // so that the opener can say the entry is missing.
    const QPoint hash = cell(11);
    QTest::mousePress(table->viewport(), Qt::RightButton, {}, hash);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, hash);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, hash);
    QCOMPARE(rightPressed.size(), 2);
    QCOMPARE(rightPressed.last().first().toInt(), 12);
    QCOMPARE(doubleClicked.size(), 2);
    QCOMPARE(doubleClicked.last().first().toInt(), 12);
    QCOMPARE(grid->currentRow(), 1);
    QCOMPARE(test::asStored(grid->menuEntryObjectId(grid->currentRow())), ids::menuEntryId(ids::CarolSupportHandler, 0));
}

void TestDetailPages::everyGridRowOpensItsPage_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("page");
    QTest::newRow("subscribers") << 1 << "tabSubscriberDetails";
    QTest::newRow("interview handlers") << 2 << "tabInterviewerInfo";
    QTest::newRow("directory handlers") << 3 << "tabDirectoryHandlerInfo";
}

void TestDetailPages::everyGridRowOpensItsPage()
{
    QFETCH(int, kind);
    QFETCH(QString, page);
    find<QTabWidget>(QStringLiteral("TabTreeGrid"))->setCurrentIndex(1);
    find<QComboBox>(QStringLiteral("cmbShowObjectType"))->setCurrentIndex(kind);
    auto *grid = find<QTableView>(QStringLiteral("gridObjects"));
    ObjectGridModel &model = m_f.window->gridModel();
    QVERIFY(model.rowCount() >= 3);
    for (int row = 0; row < model.rowCount(); ++row) {
        grid->setCurrentIndex(model.index(row, 0));
        const QString name = model.data(model.index(row, 0)).toString();
        QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), name);
        QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectID, model.objectId(row));
        QVERIFY(find(page)->isVisible() && find(page)->isEnabled());
        // A text longer than its box shows how it begins.
        for (const QLineEdit *box : find(page)->findChildren<QLineEdit *>())
            QVERIFY2(box->cursorPosition() == 0 || qobject_cast<QAbstractSpinBox *>(box->parentWidget()),
                     qPrintable(name + u' ' + box->objectName()));
    }
}

void TestDetailPages::treeRowsOpenTheirPage_data()
{
    QTest::addColumn<QString>("key"); // of the opening greeting's menu
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::newRow("subscriber") << "3" << "Subscriber" << "Bob Sales";
    QTest::newRow("name lookup handler") << "4" << "Directory Handler" << "Company Directory";
    QTest::newRow("interview handler") << "5" << "Interviewer" << "Feedback Interview";
}

void TestDetailPages::treeRowsOpenTheirPage()
{
    QFETCH(QString, key);
    QFETCH(QString, page);
    QFETCH(QString, title);
    RoutingTree &tree = m_f.window->routingTree();
    platform::OutlineNode *row = test::link(tree, tree.ATTree().root(), key);
    QVERIFY(row);
    find<platform::OutlineTreeView>(QStringLiteral("ATTree"))->selectNode(row);
    QCOMPARE(test::visiblePages(find<QTabWidget>(QStringLiteral("tabInfoTab"))), QStringList{page});
    QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), title);
    QCOMPARE(test::asStored(m_f.window->CurrentlySelectedObject().ObjectID), tree.objectId(row));
    QCOMPARE(messages(), QStringList{});
}

void TestDetailPages::wheelChangesOnlyAFocusedControl_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<int>("nodeType");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("query"); // of the value the control writes, bound to `key`
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<QString>("stored"); // afterwards
    QTest::addColumn<QStringList>("audit");

    const QString lookup = QStringLiteral("SELECT %1 FROM NameLookupHandler WHERE NameLookupHandlerObjectID = ?");
    const QString handler = QStringLiteral("SELECT %1 FROM CallHandler WHERE CallHandlerObjectID = ?");
    const QString expiry = QStringLiteral("SELECT TimeExpires FROM MessagingRule WHERE MessagingRuleObjectID = ?");
    const QString company = ids::CompanyDirectory;
    const QString greeting = ids::greetingId(ids::OpeningGreeting, 0);

    QTest::newRow("number box") << company << 6 << "txtDirectoryHandlerMaxMatches" << lookup.arg("MaxMatches")
                                << company << false << "8" << QStringList{};
    QTest::newRow("one-key delay") << ids::OpeningGreeting << 3 << "txtCallHandlerMillisecondsToWaitForAdditionalDigits"
                                   << handler.arg("OneKeyDelay") << ids::OpeningGreeting << false << "1500"
                                   << QStringList{};
    QTest::newRow("language list") << company << 6 << "cmbDirectoryHandlerLanguage" << lookup.arg("Language")
                                   << company << false << "<null>" << QStringList{};
    QTest::newRow("schedule list") << ids::BobSalesHandler << 1 << "cmbSubscriberProfileSchedule"
                                   << handler.arg("ScheduleObjectName") << ids::BobSalesHandler << false << "All Hours"
                                   << QStringList{};
    QTest::newRow("expiry date") << ids::OpeningGreeting << 3 << "dateGreetingExpire(0)" << expiry << greeting << false
                                 << "<null>" << QStringList{};
    QTest::newRow("expiry time") << ids::OpeningGreeting << 3 << "timeGreetingExpire(0)" << expiry << greeting << false
                                 << "<null>" << QStringList{};
    // The user asked for it: the box he is in steps as before.
    QTest::newRow("number box with the focus")
        << company << 6 << "txtDirectoryHandlerMaxMatches" << lookup.arg("MaxMatches") << company << true << "7"
        << QStringList{"UPDATE, , , NameLookupHandler, companydirectory, MaxMatches, 7"};
}

void TestDetailPages::wheelChangesOnlyAFocusedControl()
{
    QFETCH(QString, objectId);
    QFETCH(int, nodeType);
    QFETCH(QString, control);
    QFETCH(QString, query);
    QFETCH(QString, key);
    QFETCH(bool, focused);
    QFETCH(QString, stored);
    QFETCH(QStringList, audit);

    QVERIFY(activate());
    show(objectId, nodeType);
    QWidget *w = find(control);
    QVERIFY(w && w->isEnabled());
    test::reveal(w);
    // A page taller than its view, as in a small window, so that it has something to scroll.
    // The one-key page has no scroll area of its own.
    QScrollArea *area = nullptr;
    for (QWidget *p = w; p && !area; p = p->parentWidget())
        area = qobject_cast<QScrollArea *>(p);
    QScrollBar *bar = area ? area->verticalScrollBar() : nullptr;
    if (area) {
        area->setMaximumHeight(area->widget()->sizeHint().height() / 2);
        QTRY_VERIFY(bar->maximum() > 0);
    }
    if (focused)
        w->setFocus();
    QCOMPARE(w->hasFocus(), focused);
    const QString before = shown(w);
    const quint64 writes = m_f.server->ctx().db().writeCount();

    test::turnWheel(w, -1);
    QCOMPARE(shown(w) != before, focused);
    QCOMPARE(w->hasFocus(), focused);
    if (bar)
        QCOMPARE(bar->value() > 0, !focused);
    QCOMPARE(test::storedRow(m_f.server->ctx(), query, {key}), stored);
    QCOMPARE(test::auditLines(m_f.server->ctx()), audit);
    QCOMPARE(m_f.server->ctx().db().writeCount() - writes, quint64(audit.size()));
    QCOMPARE(messages(), QStringList{});
}

void TestDetailPages::paneTurnsToNoHiddenPage_data()
{
    QTest::addColumn<int>("key"); // 0: the wheel
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("notches");
    QTest::newRow("wheel towards the user") << 0 << 0 << -1;
    QTest::newRow("wheel away") << 0 << 0 << 1;
    QTest::newRow("Ctrl+Tab") << int(Qt::Key_Tab) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Ctrl+Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ControlModifier | Qt::ShiftModifier) << 0;
    QTest::newRow("right arrow") << int(Qt::Key_Right) << 0 << 0;
    QTest::newRow("left arrow") << int(Qt::Key_Left) << 0 << 0;
}

void TestDetailPages::paneTurnsToNoHiddenPage()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, notches);

    // The tree's root, the opening greeting, shows the call handler page between two hidden ones.
    auto *info = find<QTabWidget>(QStringLiteral("tabInfoTab"));
    QCOMPARE(test::visiblePages(info), QStringList{"Call Handler"});
    QVERIFY(activate());
    QTabBar *tabBar = info->tabBar();
    tabBar->setFocus();
    if (key)
        QTest::keyClick(tabBar, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    else
        test::turnWheel(tabBar, notches);
    QCOMPARE(info->tabText(info->currentIndex()), QStringLiteral("Call Handler"));
    QCOMPARE(test::visiblePages(info), QStringList{"Call Handler"});
}

QTEST_MAIN(TestDetailPages)
#include "tst_detailpages.moc"
