// The detail pages' fields edited as a user edits them, in the real window on
// the sample server: typed and left, clicked, chosen from a list. Each case
// checks what the server stores, the audit line, the message shown, what the
// control shows and its Tag afterwards.
#include "common/appcontext.h"
#include "details/controltag.h"
#include "details/keygrid.h"
#include "embedded/sampleids.h"
#include "mainwindow/objectgrid.h"
#include "mainwindow/routingtree.h"
#include "platform/validatingedit.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace quillor;
using test::storedRow;
using test::sql;
namespace ids = quillor::embedded::SampleIds;

namespace {

// The grid view's kinds, as cmbShowObjectType lists them.
enum Kind { CallHandlers = 0, Subscribers = 1, Interviewers = 2, NameLookups = 3 };

QString handlerColumn(const QString &column, const QString &id)
{
    return QStringLiteral("SELECT %1 FROM vw_CallHandler WHERE CallHandlerObjectID = '%2'").arg(column, id);
}

QString extensionOf(const QString &owner)
{
    return QStringLiteral("SELECT DTMFAccessID FROM DTMFAccessID WHERE ParentObjectID = '%1' AND IsPrimaryID = 1").arg(owner);
}

} // namespace

class TestFieldHandlers : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void typedAndLeft_data();
    void typedAndLeft();
    void clickedAndChosen_data();
    void clickedAndChosen();
    void switchingRulesOnAndOff();
    void greetingExpiry();
    void failedWriteShowsTheStoredValue_data();
    void failedWriteShowsTheStoredValue();
    void renameKeepsTheShownObject();
    void lockAndUnlockAllKeys_data();
    void lockAndUnlockAllKeys();
    void loadingWritesNothing();
    void refusedEditAndAClickElsewhere_data();
    void refusedEditAndAClickElsewhere();
    void pendingEditIsWrittenByAWindowCommand_data();
    void pendingEditIsWrittenByAWindowCommand();
    void writerChecksAnEditLeftInABox_data();
    void writerChecksAnEditLeftInABox();
    void pendingChoiceIsWrittenBeforeAReloadOrClose_data();
    void pendingChoiceIsWrittenBeforeAReloadOrClose();

private:
    AppContext &ctx() { return m_f.server->ctx(); }
    template <typename T = QWidget> T *find(const QString &name)
    {
        T *w = m_f.window->findChild<T *>(name);
        if (!w)
            qWarning("no control %s", qPrintable(name));
        return w;
    }
    QStringList messages() const { return m_f.seams->messages->texts(); }

    // Shows an object as a click on its grid row does.
    void open(Kind kind, const QString &objectId);
    // Types `text` over the box's text, and with typeAndLeave moves the focus on.
    void typeInto(platform::ValidatingLineEdit *box, const QString &text);
    void typeAndLeave(platform::ValidatingLineEdit *box, const QString &text);
    // Changes a control as a user does: clicks a button, or steps a list to `entry`.
    void change(QWidget *control, int entry = -1);

    test::MainWindowFixture m_f;
};

void TestFieldHandlers::init() { QVERIFY(m_f.start(true)); }

void TestFieldHandlers::cleanup() { m_f.stop(); }

void TestFieldHandlers::open(Kind kind, const QString &objectId)
{
    find<QTabWidget>(QStringLiteral("TabTreeGrid"))->setCurrentIndex(1);
    find<QComboBox>(QStringLiteral("cmbShowObjectType"))->setCurrentIndex(kind);
    auto *grid = find<QTableView>(QStringLiteral("gridObjects"));
    const int row = m_f.window->gridModel().rowOfObject(objectId);
    QVERIFY2(row >= 0, qPrintable(objectId));
    grid->setCurrentIndex(grid->model()->index(row, 0));
    m_f.seams->messages->shown.clear();
}

void TestFieldHandlers::typeInto(platform::ValidatingLineEdit *box, const QString &text)
{
    test::reveal(box);
    box->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(box->hasFocus());
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

void TestFieldHandlers::typeAndLeave(platform::ValidatingLineEdit *box, const QString &text)
{
    typeInto(box, text);
    find(QStringLiteral("gridObjects"))->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
}

void TestFieldHandlers::change(QWidget *control, int entry)
{
    test::reveal(control);
    QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    if (auto *list = qobject_cast<QComboBox *>(control)) {
        // One key press, as a user moves to the entry next to the one shown,
        // or to the first or the last.
        list->setFocus(Qt::MouseFocusReason);
        const int from = list->currentIndex();
        const Qt::Key key = entry == 0                   ? Qt::Key_Home
                            : entry == list->count() - 1 ? Qt::Key_End
                            : entry < from               ? Qt::Key_Up
                                                         : Qt::Key_Down;
        QTest::keyClick(list, key);
        QVERIFY2(from != entry, "a change, not the entry shown");
    } else {
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(5, control->height() / 2));
    }
}

void TestFieldHandlers::typedAndLeft_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");   // the box afterwards; its Tag too
    QTest::addColumn<QString>("query");   // what the server stores ...
    QTest::addColumn<QString>("stored");  // ... afterwards
    QTest::addColumn<QString>("audit");   // "" for none
    QTest::addColumn<QString>("message"); // "" for none
    QTest::addColumn<bool>("focusKept");
    QTest::addColumn<QString>("before"); // a statement run before the page is shown, or ""

    const QString oh = ids::OpeningGreeting;
    const QString name = handlerColumn(QStringLiteral("TextName"), oh);
    const QString noName = QStringLiteral("The display name cannot be empty and can contain only letters, numbers, "
                                          "spaces, dashes and commas");
    const QString chLine = QStringLiteral("UPDATE, , , CallHandler, openinggreetingch, ");
    QTest::newRow("call handler renamed, blanks around dropped")
        << int(CallHandlers) << oh << "txtHandlerProfileDisplayName" << "  Main Menu, East " << "Main Menu, East" << name
        << "Main Menu, East" << chLine + "TextName, Main Menu, East" << "" << false << "";
    QTest::newRow("a change of letter case alone is written")
        << int(CallHandlers) << oh << "txtHandlerProfileDisplayName" << "opening GREETING" << "opening GREETING" << name
        << "opening GREETING" << chLine + "TextName, opening GREETING" << "" << false << "";
    QTest::newRow("apostrophe refused") << int(CallHandlers) << oh << "txtHandlerProfileDisplayName" << "O'Brien"
                                        << "Opening Greeting" << name << "Opening Greeting" << "" << noName << false << "";
    QTest::newRow("empty name refused") << int(CallHandlers) << oh << "txtHandlerProfileDisplayName" << ""
                                        << "Opening Greeting" << name << "Opening Greeting" << "" << noName << false << "";
    QTest::newRow("extension") << int(CallHandlers) << oh << "txtHandlerProfileExtension" << "1999" << "1999"
                               << extensionOf(oh) << "1999" << chLine + "DTMFAccessID, 1999" << "" << false << "";
    QTest::newRow("extension with a letter") << int(CallHandlers) << oh << "txtHandlerProfileExtension" << "12a"
                                             << "1000" << extensionOf(oh) << "1000" << ""
                                             << "Only numbers are allowed for the extension number" << false << "";
    QTest::newRow("extension that could not be checked")
        << int(CallHandlers) << oh << "txtHandlerProfileExtension" << "1999" << "1000" << extensionOf(oh) << "1000" << ""
        << "(error):* in procedure IsDuplicateExtension of Module Module1" << false
        << "DROP VIEW vw_DTMFAccessID_DialingDomain";
    QTest::newRow("extension in use") << int(CallHandlers) << oh << "txtHandlerProfileExtension" << "1001" << "1000"
                                      << extensionOf(oh) << "1000" << ""
                                      << "That extension is already in use in the dialing domain by a Call Handler: Operator"
                                      << false << "";
    // The Operator's Standard rule rings the phone: its rings and transfer string can be edited.
    const QString op = ids::Operator;
    const QString standard = QStringLiteral("SELECT TransferRings, Extension FROM ContactRule WHERE ContactRuleObjectID = '%1'")
                                 .arg(ids::contactRuleId(op, 0));
    const QString opRule = QStringLiteral("UPDATE, CallHandler, operatorch, ContactRule, Standard, Update, "
                                          "Rule Enabled | Action=1 | TransferType=1 | ");
    QTest::newRow("rings refused, the focus stays") << int(CallHandlers) << op << "txtHandlerTransferRingstoWait(0)" << "11"
                                                    << "6" << standard << "6|1001" << ""
                                                    << "The rings to wait must be a number between 1 and 10" << true << "";
    QTest::newRow("empty rings become 4") << int(CallHandlers) << op << "txtHandlerTransferRingstoWait(0)" << "" << "4"
                                          << standard << "4|1001" << opRule + "TransferRings=4 | Extension=1001" << ""
                                          << false << "";
    QTest::newRow("transfer string") << int(CallHandlers) << op << "txtHandlerTransferString(0)" << "9,,1234#"
                                     << "9,,1234#" << standard << "6|9,,1234#"
                                     << opRule + "TransferRings=6 | Extension=9,,1234#" << "" << false << "";
    QTest::newRow("transfer string with an x, the focus stays")
        << int(CallHandlers) << op << "txtHandlerTransferString(0)" << "12x" << "1001" << standard << "6|1001" << ""
        << "The transfer string can contain 0-9, '*', ',' and '#' characters only" << true << "";
    const QString length = handlerColumn(QStringLiteral("MaxMsgLen"), oh);
    const QString noLength = QStringLiteral("The max message length must be a number between 1 and 3600 seconds");
    QTest::newRow("max message length") << int(CallHandlers) << oh << "txtHandlerMessagesMaxMessageLength" << "3600"
                                        << "3600" << length << "3600"
                                        << chLine + "Message Option Update, MaxMsgLen=3600 | EditMsg=1 | SendUrgentMsg=2"
                                        << "" << false << "";
    QTest::newRow("max message length 3601") << int(CallHandlers) << oh << "txtHandlerMessagesMaxMessageLength" << "3601"
                                             << "300" << length << "300" << "" << noLength << false << "";
    QTest::newRow("empty max message length") << int(CallHandlers) << oh << "txtHandlerMessagesMaxMessageLength" << ""
                                              << "300" << length << "300" << "" << noLength << false << "";

    const QString bob = ids::BobSalesHandler;
    QTest::newRow("subscriber's extension") << int(Subscribers) << bob << "txtSubscriberProfileExtension" << "5099"
                                            << "5099" << extensionOf(ids::BobSales) << "5099"
                                            << "UPDATE, , , Subscriber, bsales, DTMFAccessID, 5099" << "" << false << "";
    QTest::newRow("subscriber's rings refused, the focus moves on")
        << int(Subscribers) << bob << "txtSubscriberTransferRingsToWait" << "0" << "4"
        << QStringLiteral("SELECT TransferRings FROM ContactRule WHERE ContactRuleObjectID = '%1'")
               .arg(ids::contactRuleId(bob, 2))
        << "4" << "" << "The rings to wait must be a number between 1 and 10" << false << "";

    const QString feedback = ids::FeedbackInterview;
    QTest::newRow("interview handler renamed")
        << int(Interviewers) << feedback << "txtInterviewerDisplayName" << "feedback interview" << "feedback interview"
        << QStringLiteral("SELECT TextName FROM InterviewHandler WHERE InterviewHandlerObjectID = '%1'").arg(feedback)
        << "feedback interview" << "UPDATE, , , InterviewHandler, feedbackih, TextName, feedback interview" << "" << false << "";
    QTest::newRow("interview handler without an extension gets its first")
        << int(Interviewers) << ids::InterviewTemplate << "txtInterviewerExtension" << "2222" << "2222"
        << QStringLiteral("SELECT DTMFAccessID, ParentObjectIDType, IsPrimaryID, DTMFAccessIDType FROM DTMFAccessID "
                          "WHERE ParentObjectID = '%1'")
               .arg(ids::InterviewTemplate)
        << "2222|5|1|0" << "UPDATE, , , InterviewHandler, interviewtemplate, DTMFAccessID, 2222" << "" << false << "";
    QTest::newRow("interview handler extension in use")
        << int(Interviewers) << feedback << "txtInterviewerExtension" << "3000" << "2000" << extensionOf(feedback) << "2000"
        << "" << "That extension conflicts with an existing Directory Handler with a display name= Company Directory"
        << false << "";
    QTest::newRow("interview handler with two extensions")
        << int(Interviewers) << ids::Survey << "txtInterviewerExtension" << "2199" << "2100" << extensionOf(ids::Survey)
        << "2100" << ""
        << "Error!  Found more than one match for the primary extension number for the currently selected interview "
           "handler."
        << false << "";
    QTest::newRow("name lookup handler renamed")
        << int(NameLookups) << ids::SalesDirectory << "txtDirectoryHandlerDisplayName" << "Sales, West" << "Sales, West"
        << QStringLiteral("SELECT TextName FROM NameLookupHandler WHERE NameLookupHandlerObjectID = '%1'")
               .arg(ids::SalesDirectory)
        << "Sales, West" << "UPDATE, , , NameLookupHandler, salesdirectory, TextName, Sales, West" << "" << false << "";
}

void TestFieldHandlers::typedAndLeft()
{
    QFETCH(int, kind);
    QFETCH(QString, object);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, query);
    QFETCH(QString, stored);
    QFETCH(QString, audit);
    QFETCH(QString, message);
    QFETCH(bool, focusKept);
    QFETCH(QString, before);

    if (!before.isEmpty())
        QVERIFY(sql(ctx(), before));
    open(Kind(kind), object);
    auto *edit = find<platform::ValidatingLineEdit>(box);
    QVERIFY(edit);
    typeAndLeave(edit, typed);
    if (message.isEmpty())
        QCOMPARE(messages(), QStringList{});
    else
        QVERIFY2(messages().size() == 1
                     && QRegularExpression::fromWildcard(message, Qt::CaseSensitive, QRegularExpression::UnanchoredWildcardConversion)
                            .match(messages().first()).hasMatch(),
                 qPrintable(messages().join(u'|')));
    QCOMPARE(edit->text(), shown);
    QCOMPARE(tag(edit), shown);
    QCOMPARE(storedRow(ctx(), query, {}), stored);
    QCOMPARE(test::auditLines(ctx()), audit.isEmpty() ? QStringList{} : QStringList{audit});
    QTRY_COMPARE(edit->hasFocus(), focusKept);
}

void TestFieldHandlers::clickedAndChosen_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("entry"); // a list's entry chosen; -1 for a click
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("audit");

    const QString oh = ids::OpeningGreeting;
    const QString greeting = QStringLiteral("SELECT TimeExpires, IgnoreDigits, PlayWhat, Reprompts FROM MessagingRule "
                                            "WHERE MessagingRuleObjectID = '%1'");
    QTest::newRow("greeting's user input")
        << int(CallHandlers) << oh << "chkHandlerGreetingAllowUserInput(0)" << -1 << greeting.arg(ids::greetingId(oh, 0))
        << "<null>|1|1|1"
        << "UPDATE, CallHandler, openinggreetingch, MessagingRule, Standard, Update, "
           "Rule Enabled | Ignore Digits=1 | PlayWhat=1 | Repeat=1";
    QTest::newRow("greeting's repeat") << int(CallHandlers) << oh << "cmbHandlerGreetingRepeat(0)" << 2
                                       << greeting.arg(ids::greetingId(oh, 0)) << "<null>|0|1|2"
                                       << "UPDATE, CallHandler, openinggreetingch, MessagingRule, Standard, Update, "
                                          "Rule Enabled | Ignore Digits=0 | PlayWhat=1 | Repeat=2";
    QTest::newRow("subscriber greeting's source")
        << int(Subscribers) << ids::BobSalesHandler << "cmbSubscriberGreetingSource(0)" << 1
        << greeting.arg(ids::greetingId(ids::BobSalesHandler, 0)) << "<null>|0|1|0"
        << "UPDATE, Subscriber, bsales, MessagingRule, Standard, Update, Rule Enabled | Ignore Digits=0 | PlayWhat=1 | Repeat=0";
    const QString rule = QStringLiteral("SELECT Action, TransferType FROM ContactRule WHERE ContactRuleObjectID = '%1'");
    QTest::newRow("transfer type") << int(CallHandlers) << ids::Operator << "cmbHandlerTransferType(0)" << 0
                                   << rule.arg(ids::contactRuleId(ids::Operator, 0)) << "1|0"
                                   << "UPDATE, CallHandler, operatorch, ContactRule, Standard, Update, "
                                      "Rule Enabled | Action=1 | TransferType=0 | TransferRings=6 | Extension=1001";
    QTest::newRow("send to greeting") << int(CallHandlers) << ids::Operator << "optHandlerTransferSendToGreeting(0)" << -1
                                      << rule.arg(ids::contactRuleId(ids::Operator, 0)) << "0|1"
                                      << "UPDATE, CallHandler, operatorch, ContactRule, Standard, Update, "
                                         "Rule Enabled | Action=0 | TransferType=1 | TransferRings=6 | Extension=1001";
    QTest::newRow("subscriber rings the phone")
        << int(Subscribers) << ids::AliceAdminHandler << "optSubscriberTransferAttemptToRingPhone" << -1
        << rule.arg(ids::contactRuleId(ids::AliceAdminHandler, 2)) << "1|0"
        << "UPDATE, Subscriber, aadmin, ContactRule, Alternate, Update, "
           "Rule enabled | Action=1 | TransferType=0 | TransferRings=4 | Extension=5001";
    const QString messages = handlerColumn(QStringLiteral("MaxMsgLen, EditMsg, SendUrgentMsg"), oh);
    QTest::newRow("callers may edit") << int(CallHandlers) << oh << "chkHandlerMessagesCanEditMessages" << -1 << messages
                                      << "300|0|2"
                                      << "UPDATE, , , CallHandler, openinggreetingch, Message Option Update, "
                                         "MaxMsgLen=300 | EditMsg=0 | SendUrgentMsg=2";
    QTest::newRow("urgency, always") << int(CallHandlers) << oh << "cmbHandlerMessagesCanMarkUrgent" << 1 << messages
                                     << "300|1|1"
                                     << "UPDATE, , , CallHandler, openinggreetingch, Message Option Update, "
                                        "MaxMsgLen=300 | EditMsg=1 | SendUrgentMsg=1";
    QTest::newRow("language") << int(CallHandlers) << oh << "cmbHandlerProfileLanguage" << 1
                              << handlerColumn(QStringLiteral("Language"), oh) << "1033"
                              << "UPDATE, , , CallHandler, openinggreetingch, Language, English (United States)";
    QTest::newRow("subscriber's language")
        << int(Subscribers) << ids::BobSalesHandler << "cmbSubscriberProfileLanguage" << 1
        << handlerColumn(QStringLiteral("Language"), ids::BobSalesHandler) << "1033"
        << "UPDATE, , , Subscriber, bsales, Language, English (United States)";
    QTest::newRow("subscriber's schedule")
        << int(Subscribers) << ids::BobSalesHandler << "cmbSubscriberProfileSchedule" << 1
        << handlerColumn(QStringLiteral("ScheduleObjectName"), ids::BobSalesHandler) << "Edge Bits"
        << "UPDATE, , , Subscriber, bsales, ScheduleObjectName, Edge Bits";
    QTest::newRow("interview handler's language inherited")
        << int(Interviewers) << ids::FeedbackInterview << "cmbInterviewerLanguage" << 0
        << QStringLiteral("SELECT Language FROM InterviewHandler WHERE InterviewHandlerObjectID = '%1'")
               .arg(ids::FeedbackInterview)
        << "<null>" << "UPDATE, , , Interview Handler, feedbackih, Language, Inherited";
}

void TestFieldHandlers::clickedAndChosen()
{
    QFETCH(int, kind);
    QFETCH(QString, object);
    QFETCH(QString, control);
    QFETCH(int, entry);
    QFETCH(QString, query);
    QFETCH(QString, stored);
    QFETCH(QString, audit);

    open(Kind(kind), object);
    QWidget *w = find(control);
    QVERIFY(w);
    change(w, entry);
    QCOMPARE(messages(), QStringList{});
    QCOMPARE(storedRow(ctx(), query, {}), stored);
    QCOMPARE(test::auditLines(ctx()), QStringList{audit});
}

void TestFieldHandlers::switchingRulesOnAndOff()
{
    open(CallHandlers, ids::OpeningGreeting);
    // The Off Hours rule is off: switching it on fills it as stored, with
    // the handler's extension for a transfer string it never had.
    QVERIFY(sql(ctx(), QStringLiteral("UPDATE ContactRule SET TransferRings = NULL, Extension = NULL, Action = 1 "
                                      "WHERE ContactRuleObjectID = ?"),
                {ids::contactRuleId(ids::OpeningGreeting, 1)}));
    open(CallHandlers, ids::OpeningGreeting);
    // A switch-on the server refuses leaves the rule as shown, filled-in boxes included.
    const QStringList ruleControls{"chkHandlerTransferEnabled(1)", "optHandlerTransferAttemptRingPhone(1)",
                                   "optHandlerTransferSendToGreeting(1)", "cmbHandlerTransferType(1)",
                                   "txtHandlerTransferRingstoWait(1)", "txtHandlerTransferString(1)"};
    const auto ruleShown = [&] {
        QStringList shown;
        for (const QString &name : ruleControls) {
            QWidget *w = find(name);
            if (auto *button = qobject_cast<QAbstractButton *>(w))
                shown << QString::number(button->isChecked());
            else if (auto *list = qobject_cast<QComboBox *>(w))
                shown << QString::number(list->currentIndex());
            else
                shown << qobject_cast<QLineEdit *>(w)->text();
            shown.last() += w->isEnabled() ? QStringLiteral("+") : QStringLiteral("-");
        }
        return shown;
    };
    const QStringList before = ruleShown();
    QVERIFY(sql(ctx(), QStringLiteral("PRAGMA query_only = 1")));
    change(find(QStringLiteral("chkHandlerTransferEnabled(1)")));
    QVERIFY(sql(ctx(), QStringLiteral("PRAGMA query_only = 0")));
    QCOMPARE(messages().count(QStringLiteral("Failed to update database")), 1);
    QCOMPARE(ruleShown(), before);
    m_f.seams->messages->shown.clear();
    change(find(QStringLiteral("chkHandlerTransferEnabled(1)")));
    QCOMPARE(messages(), QStringList{});
    QCOMPARE(find<QLineEdit>(QStringLiteral("txtHandlerTransferRingstoWait(1)"))->text(), QStringLiteral("4"));
    QCOMPARE(find<QLineEdit>(QStringLiteral("txtHandlerTransferString(1)"))->text(), QStringLiteral("1000"));
    QVERIFY(find<QRadioButton>(QStringLiteral("optHandlerTransferAttemptRingPhone(1)"))->isChecked());
    QVERIFY(find(QStringLiteral("txtHandlerTransferString(1)"))->isEnabled());
    QCOMPARE(storedRow(ctx(), QStringLiteral("SELECT TimeExpires, Action, TransferRings, Extension FROM ContactRule "
                                           "WHERE ContactRuleObjectID = ?"),
                     {ids::contactRuleId(ids::OpeningGreeting, 1)}),
             QStringLiteral("<null>|1|4|1000"));

    // A greeting switched off: its controls follow, the disabled date is stored.
    change(find(QStringLiteral("chkHandlerGreetingEnabled(1)")));
    for (const char *name : {"chkHandlerGreetingAllowUserInput(1)", "cmbHandlerGreetingRepeat(1)",
                             "cmbHandlerGreetingSource(1)", "optExpireGreetingNever(1)", "dateGreetingExpire(1)"})
        QVERIFY2(!find(QString::fromLatin1(name))->isEnabled(), name);
    QCOMPARE(storedRow(ctx(), QStringLiteral("SELECT TimeExpires FROM MessagingRule WHERE MessagingRuleObjectID = ?"),
                     {ids::greetingId(ids::OpeningGreeting, 1)}),
             QStringLiteral("1993-01-02 00:00:00"));
    // The switches of the Standard rule and of Standard and Error greetings cannot be cleared.
    for (const char *name : {"chkHandlerTransferEnabled(0)", "chkHandlerGreetingEnabled(0)", "chkHandlerGreetingEnabled(5)"})
        QVERIFY2(!find(QString::fromLatin1(name))->isEnabled(), name);
    QCOMPARE(test::auditLines(ctx()).size(), 3);
}

void TestFieldHandlers::greetingExpiry()
{
    // An afternoon: the pickers' noon of today has passed.
    m_f.seams->clock->current = QDateTime(QDate(2026, 3, 10), QTime(15, 0));
    open(CallHandlers, ids::OpeningGreeting);
    auto *date = find<QDateTimeEdit>(QStringLiteral("dateGreetingExpire(2)"));
    auto *time = find<QDateTimeEdit>(QStringLiteral("timeGreetingExpire(2)"));
    auto *never = find<QRadioButton>(QStringLiteral("optExpireGreetingNever(2)"));
    const QString expires = QStringLiteral("SELECT TimeExpires FROM MessagingRule WHERE MessagingRuleObjectID = ?");
    const QString busy = ids::greetingId(ids::OpeningGreeting, 2);
    // Busy is off in the sample: switch it on first.
    change(find(QStringLiteral("chkHandlerGreetingEnabled(2)")));
    QVERIFY(never->isChecked());
    QCOMPARE(QDateTime(date->date(), time->time()), QDateTime(QDate(2026, 3, 10), QTime(12, 0)));
    const int switchedOn = test::auditLines(ctx()).size();
    change(find(QStringLiteral("optExpireGreetingOnDate(2)")));
    QCOMPARE(messages(), QStringList{"The expiry date and time have already passed. Pick a later date first: the date "
                                     "can be changed while \"Never\" is selected."});
    QVERIFY(never->isChecked());
    QCOMPARE(storedRow(ctx(), expires, {busy}), QStringLiteral("<null>"));
    QCOMPARE(test::auditLines(ctx()).size(), switchedOn);

    // A later date picked while "Never" is selected, then "At this time:".
    date->setDate(QDate(2026, 3, 11));
    change(find(QStringLiteral("optExpireGreetingOnDate(2)")));
    QCOMPARE(storedRow(ctx(), expires, {busy}), QStringLiteral("2026-03-11 11:00:00"));
    QVERIFY(test::auditLines(ctx()).last().endsWith(QStringLiteral("Rule Enabled with expirable date | Ignore Digits=0 | "
                                                                   "PlayWhat=0 | Repeat=0")));
    time->setTime(QTime(10, 0));
    const int before = test::auditLines(ctx()).size();
    // A new date moves the time picker to it at its own time of day, and writes once.
    date->setDate(QDate(2030, 7, 1));
    QCOMPARE(time->date(), QDate(2030, 7, 1));
    QCOMPARE(time->time(), QTime(10, 0));
    QCOMPARE(test::auditLines(ctx()).size(), before + 1);
    QCOMPARE(storedRow(ctx(), expires, {busy}), QStringLiteral("2030-07-01 08:00:00"));
}

void TestFieldHandlers::failedWriteShowsTheStoredValue_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed"); // a box's text, or "" for a control that is clicked or chosen
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("audit");

    QTest::newRow("display name") << "txtHandlerProfileDisplayName" << "Main Menu" << -1
                                  << "FAILED_UPDATE, , , CallHandler, operatorch, TextName, Main Menu";
    QTest::newRow("rings") << "txtHandlerTransferRingstoWait(0)" << "7" << -1
                           << "FAILED_UPDATE, CallHandler, operatorch, ContactRule, Standard, Update, "
                              "Rule Enabled | Action=1 | TransferType=1 | TransferRings=7 | Extension=1001";
    QTest::newRow("urgency") << "cmbHandlerMessagesCanMarkUrgent" << "" << 1
                             << "FAILED_UPDATE, , , CallHandler, operatorch, Message Option Update, "
                                "MaxMsgLen=300 | EditMsg=1 | SendUrgentMsg=1";
    QTest::newRow("greeting's user input") << "chkHandlerGreetingAllowUserInput(0)" << "" << -1
                                           << "FAILED_UPDATE, CallHandler, operatorch, MessagingRule, Standard, "
                                              "Update, Rule Enabled | Ignore Digits=1 | PlayWhat=0 | Repeat=0";
}

void TestFieldHandlers::failedWriteShowsTheStoredValue()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(int, entry);
    QFETCH(QString, audit);

    open(CallHandlers, ids::Operator);
    QWidget *w = find(control);
    QVERIFY(w);
    const auto state = [w] {
        if (auto *box = qobject_cast<QLineEdit *>(w))
            return box->text();
        if (auto *list = qobject_cast<QComboBox *>(w))
            return list->currentText();
        return QString::number(qobject_cast<QCheckBox *>(w)->isChecked());
    };
    const QString before = state();
    QVERIFY(sql(ctx(), QStringLiteral("PRAGMA query_only = 1")));
    if (auto *box = qobject_cast<platform::ValidatingLineEdit *>(w))
        typeAndLeave(box, typed);
    else
        change(w, entry);
    QVERIFY(sql(ctx(), QStringLiteral("PRAGMA query_only = 0")));
    QCOMPARE(messages().count(QStringLiteral("Failed to update database")), 1);
    QCOMPARE(test::auditLines(ctx()), QStringList{audit});
    QCOMPARE(state(), before);
}

void TestFieldHandlers::renameKeepsTheShownObject()
{
    open(CallHandlers, ids::Sales);
    auto *grid = find<QTableView>(QStringLiteral("gridObjects"));
    const int rows = grid->model()->rowCount();
    typeAndLeave(find<platform::ValidatingLineEdit>(QStringLiteral("txtHandlerProfileDisplayName")), QStringLiteral("Zulu Sales"));
    QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), QStringLiteral("Zulu Sales"));
    // The grid view lists the new name and still shows the same object.
    const ObjectGridModel &model = m_f.window->gridModel();
    QTRY_VERIFY(model.rowOfObject(ids::Sales) >= 0
                && grid->model()->index(model.rowOfObject(ids::Sales), 0).data().toString() == QStringLiteral("Zulu Sales"));
    QCOMPARE(grid->model()->rowCount(), rows);
    QCOMPARE(grid->currentIndex().row(), model.rowOfObject(ids::Sales));
    QCOMPARE(test::asStored(m_f.window->CurrentlySelectedObject().ObjectID), ids::Sales);
    QCOMPARE(find<QLineEdit>(QStringLiteral("txtHandlerProfileDisplayName"))->text(), QStringLiteral("Zulu Sales"));

    // Left by a click on another row, which a new name moves in the list: the
    // row clicked is the one shown.
    auto *name = find<platform::ValidatingLineEdit>(QStringLiteral("txtHandlerProfileDisplayName"));
    name->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(name->hasFocus());
    name->setText(QStringLiteral("Aaron Sales"));
    const QModelIndex operatorRow = grid->model()->index(model.rowOfObject(ids::Operator), 0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(operatorRow).center());
    QTRY_COMPARE(test::asStored(m_f.window->CurrentlySelectedObject().ObjectID), ids::Operator);
    QTRY_COMPARE(grid->model()->index(model.rowOfObject(ids::Sales), 0).data().toString(), QStringLiteral("Aaron Sales"));
    QCOMPARE(grid->currentIndex().row(), model.rowOfObject(ids::Operator));
    QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), QStringLiteral("Operator"));
    QCOMPARE(storedRow(ctx(), handlerColumn(QStringLiteral("TextName"), ids::Sales), {}), QStringLiteral("Aaron Sales"));
}

void TestFieldHandlers::lockAndUnlockAllKeys_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("grid");
    QTest::addColumn<bool>("locked");

    QTest::newRow("lock a call handler's keys") << int(CallHandlers) << ids::Sales << "cmdCallHandlerLockAllKeys"
                                                << "gridHandlerKeys" << true;
    QTest::newRow("unlock a subscriber's keys") << int(Subscribers) << ids::BobSalesHandler << "cmdSubscriberUnlockAllKeys"
                                                << "gridSubscriberKeys" << false;
    // Carol's "#" has no entry: it fails, and has its line.
    QTest::newRow("lock a subscriber's keys, one missing") << int(Subscribers) << ids::CarolSupportHandler
                                                          << "cmdSubscriberLockAllKeys" << "gridSubscriberKeys" << true;
}

void TestFieldHandlers::lockAndUnlockAllKeys()
{
    QFETCH(int, kind);
    QFETCH(QString, object);
    QFETCH(QString, button);
    QFETCH(QString, grid);
    QFETCH(bool, locked);

    QVERIFY(sql(ctx(), QStringLiteral("UPDATE MenuEntry SET Locked = ? WHERE ParentObjectID = ?"), {locked ? 0 : 1, object}));
    open(Kind(kind), object);
    auto *keys = find<KeyGridWidget>(grid);
    const bool missing = !keys->isRowLoaded(KeyGridWidget::kLastKeyRow);
    change(find(button));
    QCOMPARE(messages().count(QStringLiteral("Failed to update database")), missing ? 1 : 0);
    QCOMPARE(storedRow(ctx(), QStringLiteral("SELECT COUNT(*) FROM MenuEntry WHERE ParentObjectID = ? AND Locked = ?"),
                     {object, locked ? 1 : 0}),
             missing ? QStringLiteral("11") : QStringLiteral("12"));
    const QStringList lines = test::auditLines(ctx());
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines.first(), QStringLiteral("UPDATE, CallHandler, %1, MenuEntry, 0, Locked, %2")
                                .arg(m_f.window->CurrentlySelectedObject().Alias, locked ? "True" : "False"));
    QCOMPARE(lines.last(), QStringLiteral("%1, CallHandler, %2, MenuEntry, #, Locked, %3")
                               .arg(missing ? "FAILED_UPDATE" : "UPDATE", m_f.window->CurrentlySelectedObject().Alias,
                                    locked ? "True" : "False"));
    // The page was loaded again: its grid shows what is stored.
    for (int row = KeyGridWidget::kFirstKeyRow; row <= KeyGridWidget::kLastKeyRow; ++row)
        QCOMPARE(keys->isLocked(row), locked && keys->isRowLoaded(row));
}

void TestFieldHandlers::loadingWritesNothing()
{
    const quint64 writes = ctx().db().writeCount();
    for (const auto &[kind, id] : {std::pair{CallHandlers, ids::OpeningGreeting}, std::pair{Subscribers, ids::AliceAdminHandler},
                                   std::pair{Interviewers, ids::Survey}, std::pair{NameLookups, ids::HqDirectory}})
        open(kind, id);
    QCOMPARE(ctx().db().writeCount(), writes);
    QCOMPARE(test::auditLines(ctx()), QStringList{});
}

void TestFieldHandlers::refusedEditAndAClickElsewhere_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("typed"); // each typed, then a click elsewhere
    QTest::addColumn<QString>("click"); // an object's row of the grid view, or "rule tab" (a tab takes no focus)
    QTest::addColumn<bool>("modal");    // a real message box, let go of meanwhile, leaving the window inactive
    QTest::addColumn<QString>("shown"); // the object shown afterwards
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("focusKept"); // the window's focus widget afterwards

    const QString rings = QStringLiteral("The rings to wait must be a number between 1 and 10");
    const QString standard = QStringLiteral("SELECT TransferRings, Extension FROM ContactRule WHERE ContactRuleObjectID = '%1'")
                                 .arg(ids::contactRuleId(ids::Operator, 0));
    const QString ringsBox = QStringLiteral("txtHandlerTransferRingstoWait(0)");
    const QString name = QStringLiteral("txtHandlerProfileDisplayName");
    const QString nameRefused =
        QStringLiteral("The display name cannot be empty and can contain only letters, numbers, spaces, dashes and commas");
    for (const bool modal : {false, true}) {
        const QByteArray how = modal ? ", real message" : "";
        QTest::newRow("refused rings keep the shown handler" + how)
            << ids::Operator << ringsBox << QStringList{"99"} << ids::Sales << modal << ids::Operator
            << QStringList{rings} << standard << "6|1001" << true;
        QTest::newRow("refused rings keep the rule's tab" + how)
            << ids::Operator << ringsBox << QStringList{"99"} << "rule tab" << modal << ids::Operator << QStringList{rings}
            << standard << "6|1001" << true;
        // A display name refused lets the focus go: the row clicked loads at the first click.
        QTest::newRow("refused display name lets the row load" + how)
            << ids::Sales << name << QStringList{"O'Brien"} << ids::Operator << modal << ids::Operator
            << QStringList{nameRefused} << handlerColumn(QStringLiteral("TextName"), ids::Sales) << "Sales" << false;
    }
    // After the message the window is inactive; the corrected value is checked all the same.
    QTest::newRow("refused rings, corrected and still refused, inactive window")
        << ids::Operator << ringsBox << QStringList{"99", "79"} << ids::Sales << true << ids::Operator
        << QStringList{rings, rings} << standard << "6|1001" << true;
}

void TestFieldHandlers::refusedEditAndAClickElsewhere()
{
    QFETCH(QString, object);
    QFETCH(QString, box);
    QFETCH(QStringList, typed);
    QFETCH(QString, click);
    QFETCH(bool, modal);
    QFETCH(QString, shown);
    QFETCH(QStringList, said);
    QFETCH(QString, query);
    QFETCH(QString, stored);
    QFETCH(bool, focusKept);

    open(CallHandlers, object);
    auto *edit = find<platform::ValidatingLineEdit>(box);
    typeInto(edit, typed.first());
    auto *ruleTabs = find<QTabWidget>(QStringLiteral("tabHandlerTransferInfo"));
    const int ruleTab = ruleTabs->currentIndex();
    QWidget *target = ruleTabs->tabBar();
    QPoint spot = ruleTabs->tabBar()->tabRect(ruleTab + 1).center();
    if (click != u"rule tab") {
        auto *grid = find<QTableView>(QStringLiteral("gridObjects"));
        target = grid->viewport();
        spot = grid->visualRect(grid->model()->index(m_f.window->gridModel().rowOfObject(click), 0)).center();
    }
    QWindow *window = m_f.window->windowHandle();
    spot = target->mapTo(m_f.window.get(), spot);
    m_f.seams->messages->modal = modal;
    m_f.seams->messages->whileShown = [&] { QTest::mouseRelease(window, Qt::LeftButton, {}, spot); };
    for (const QString &text : typed) {
        if (edit->text() != text) {
            edit->selectAll();
            QTest::keyClicks(edit, text);
        }
        QTest::mousePress(window, Qt::LeftButton, {}, spot);
        if (!modal)
            QTest::mouseRelease(window, Qt::LeftButton, {}, spot);
    }
    QCoreApplication::processEvents();
    QCOMPARE(messages(), said);
    QCOMPARE(test::asStored(m_f.window->CurrentlySelectedObject().ObjectID), shown);
    QCOMPARE(ruleTabs->currentIndex(), ruleTab);
    QCOMPARE(storedRow(ctx(), query, {}), stored);
    QCOMPARE(test::auditLines(ctx()), QStringList{});
    QTRY_COMPARE(m_f.window->focusWidget() == edit, focusKept);
}

void TestFieldHandlers::pendingEditIsWrittenByAWindowCommand_data()
{
    QTest::addColumn<QString>("command"); // a menu command, or "close" for the window's close box
    QTest::addColumn<bool>("inactive");   // a message box closed just before, leaving the window inactive

    for (const char *command : {"mnuExit", "mnuReload", "ShowNoLeafs", "CollapseAllNodes", "close"})
        QTest::newRow(command) << command << false;
    QTest::newRow("mnuExit, inactive window") << "mnuExit" << true;
    QTest::newRow("close, inactive window") << "close" << true;
}

// A new name still in its box when a command rebuilds the tree or ends the
// program is written first: the rebuilt tree shows it.
void TestFieldHandlers::pendingEditIsWrittenByAWindowCommand()
{
    QFETCH(QString, command);
    QFETCH(bool, inactive);

    const QString root = m_f.window->routingTree().gRootObjectID;
    open(CallHandlers, root);
    auto *name = find<platform::ValidatingLineEdit>(QStringLiteral("txtHandlerProfileDisplayName"));
    typeInto(name, QStringLiteral("Front Desk"));
    if (inactive) {
        {
            QMessageBox message(m_f.window.get());
            QTimer::singleShot(10, &message, &QMessageBox::accept);
            message.exec();
        }
        QCOMPARE(QApplication::focusWidget(), nullptr);
        QCOMPARE(m_f.window->focusWidget(), name);
    }
    if (command == u"close")
        m_f.window->close();
    else
        find<QAction>(command)->trigger();
    QCOMPARE(messages(), QStringList{});
    QCOMPARE(storedRow(ctx(), handlerColumn(QStringLiteral("TextName"), root), {}), QStringLiteral("Front Desk"));
    QCOMPARE(test::auditLines(ctx()).size(), 1);
    const bool ends = command == u"mnuExit" || command == u"close";
    QCOMPARE(m_f.seams->shell->endedWith, ends ? QList<int>{0} : QList<int>{});
    if (!ends) {
        RoutingTree &tree = m_f.window->routingTree();
        QVERIFY2(tree.ATTree().mainText(tree.ATTree().root()).contains(u"Front Desk"),
                 qPrintable(tree.ATTree().mainText(tree.ATTree().root())));
    }
}

void TestFieldHandlers::writerChecksAnEditLeftInABox_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("list"); // a list beside it whose change is written at once
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("shown"); // the box afterwards
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("audit");

    const QString oh = ids::OpeningGreeting;
    QTest::newRow("max message length 99999")
        << oh << "txtHandlerMessagesMaxMessageLength" << "99999" << "cmbHandlerMessagesCanMarkUrgent" << 1 << "300"
        << "The max message length must be a number between 1 and 3600 seconds"
        << handlerColumn(QStringLiteral("MaxMsgLen, EditMsg, SendUrgentMsg"), oh) << "300|1|1"
        << "UPDATE, , , CallHandler, openinggreetingch, Message Option Update, MaxMsgLen=300 | EditMsg=1 | SendUrgentMsg=1";
    const QString rule = QStringLiteral("SELECT TransferType, TransferRings, Extension FROM ContactRule WHERE "
                                        "ContactRuleObjectID = '%1'")
                             .arg(ids::contactRuleId(ids::Operator, 0));
    const QString ruleLine = QStringLiteral("UPDATE, CallHandler, operatorch, ContactRule, Standard, Update, "
                                            "Rule Enabled | Action=1 | TransferType=0 | TransferRings=6 | Extension=1001");
    QTest::newRow("rings 99") << ids::Operator << "txtHandlerTransferRingstoWait(0)" << "99" << "cmbHandlerTransferType(0)"
                              << 0 << "6" << "The rings to wait must be a number between 1 and 10" << rule << "0|6|1001"
                              << ruleLine;
    QTest::newRow("transfer string with an x")
        << ids::Operator << "txtHandlerTransferString(0)" << "12x" << "cmbHandlerTransferType(0)" << 0 << "1001"
        << "The transfer string can contain 0-9, '*', ',' and '#' characters only" << rule << "0|6|1001" << ruleLine;
}

void TestFieldHandlers::writerChecksAnEditLeftInABox()
{
    QFETCH(QString, object);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, list);
    QFETCH(int, entry);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    QFETCH(QString, query);
    QFETCH(QString, stored);
    QFETCH(QString, audit);

    open(CallHandlers, object);
    auto *edit = find<platform::ValidatingLineEdit>(box);
    typeInto(edit, typed);
    // The list changes while the focus stays in the box, as a wheel turned over it does.
    auto *beside = find<QComboBox>(list);
    beside->setCurrentIndex(entry);
    emit beside->activated(entry);
    QCOMPARE(messages(), QStringList{message});
    QCOMPARE(edit->text(), shown);
    QCOMPARE(storedRow(ctx(), query, {}), stored);
    QCOMPARE(test::auditLines(ctx()), QStringList{audit});
}

void TestFieldHandlers::pendingChoiceIsWrittenBeforeAReloadOrClose_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("entry"); // chosen in the list, which keeps the focus; "" for none
    QTest::addColumn<bool>("close");    // the window closes; otherwise Reload
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("audit"); // "" for none

    const QString schedule = handlerColumn(QStringLiteral("ScheduleObjectName"), ids::OpeningGreeting);
    const QString scheduleLine = QStringLiteral("UPDATE, , , CallHandler, openinggreetingch, ScheduleObjectName, All Hours");
    QTest::newRow("schedule, then Reload") << int(CallHandlers) << ids::OpeningGreeting << "cmbHandlerProfileSchedule"
                                           << "All Hours" << false << schedule << "All Hours" << scheduleLine;
    QTest::newRow("schedule, then the window closes") << int(CallHandlers) << ids::OpeningGreeting
                                                      << "cmbHandlerProfileSchedule" << "All Hours" << true << schedule
                                                      << "All Hours" << scheduleLine;
    const QString scope = QStringLiteral("SELECT SearchScope, SearchScopeObjectID FROM NameLookupHandler WHERE "
                                         "NameLookupHandlerObjectID = '%1'")
                              .arg(ids::RestrictedDirectory);
    QTest::newRow("class of service, then the window closes")
        << int(NameLookups) << ids::RestrictedDirectory << "cmbDirectoryHandlerSearchInCOS" << "Default COS" << true << scope
        << "5|" + ids::DefaultCos
        << "UPDATE, , , NameLookupHandler, cosdirectory, SearchOptions, Search by last name then first name | "
           "Search scope set to COS: Default COS";
    QTest::newRow("class of service, nothing chosen") << int(NameLookups) << ids::RestrictedDirectory
                                                      << "cmbDirectoryHandlerSearchInCOS" << "" << true << scope
                                                      << "5|" + ids::RestrictedCos << "";
}

void TestFieldHandlers::pendingChoiceIsWrittenBeforeAReloadOrClose()
{
    QFETCH(int, kind);
    QFETCH(QString, object);
    QFETCH(QString, list);
    QFETCH(QString, entry);
    QFETCH(bool, close);
    QFETCH(QString, query);
    QFETCH(QString, stored);
    QFETCH(QString, audit);

    open(Kind(kind), object);
    auto *choices = find<QComboBox>(list);
    test::reveal(choices);
    choices->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(choices->hasFocus());
    if (!entry.isEmpty()) {
        const int index = choices->findText(entry);
        QVERIFY(index >= 0 && index != choices->currentIndex());
        choices->setCurrentIndex(index);
        emit choices->activated(index); // as a choice of the user's
    }
    QCOMPARE(test::auditLines(ctx()), QStringList{}); // written when the list is left
    if (close)
        m_f.window->close();
    else
        find<QAction>(QStringLiteral("mnuReload"))->trigger();
    QCOMPARE(messages(), QStringList{});
    QCOMPARE(storedRow(ctx(), query, {}), stored);
    QCOMPARE(test::auditLines(ctx()), audit.isEmpty() ? QStringList{} : QStringList{audit});
}

QTEST_MAIN(TestFieldHandlers)
#include "tst_fieldhandlers.moc"
