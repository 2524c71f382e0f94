// The three creation dialogs driven by their controls on the sample server:
// what a creation writes (checked row by row against its template), what it
// refuses, that a failure part way leaves nothing behind, that every way of
// leaving without a handler is a cancel, the choice of an existing handler,
// and the grid view's "Create Copy".
#include "common/tolvaversion.h"
#include "creation/creation.h"
#include "creation/creationdialogs.h"
#include "creation/frmmakenew.h"
#include "details/interviewerpage.h"
#include "details/pagebuild.h"
#include "embedded/sampleids.h"
#include "embedded/sampleserver.h"
#include "fakes.h"
#include "pickerdriver.h"
#include "mainwindow/objectgrid.h"
#include "pickers/frmpickers.h"
#include "pickers/pickerdialog.h"
#include "pickers/pickerregistry.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <functional>

using namespace quillor;
namespace ids = quillor::embedded::SampleIds;

namespace {
enum Kind : int { CallHandler, DirectoryHandler, Interviewer };

// Shows each message in a real modal box that a timer closes, as a user
// answering it would: what the program was doing waits in the box's own
// event loop, and the mouse release of the click that led to it comes after.
class TimedMessageBox : public platform::MessageBoxSeam {
public:
    platform::MsgAnswer show(QWidget *parent, const QString &text, platform::MsgButtons, const QString &,
                             platform::MsgIcon) override
    {
        texts << text;
        QMessageBox box(parent);
        box.setText(text);
        QTimer::singleShot(20, &box, &QMessageBox::accept);
        box.exec();
        return platform::MsgAnswer::Ok;
    }
    QStringList texts;
};

const char *kViews[] = {"vw_CallHandler", "vw_NameLookupHandler", "vw_InterviewHandler"};
const char *kAuditTables[] = {"CallHandler", "DirectoryHandler", "InterviewHandler"};
// Every table a creation may write to.
const QStringList kTables{"CallHandler", "ContactRule", "MenuEntry", "MessagingRule", "NameLookupHandler",
                          "InterviewHandler", "DTMFAccessID"};
} // namespace

class TestCreation : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void callHandlerCopiesTemplate_data();
    void callHandlerCopiesTemplate();
    void otherKindsCopyTheirTemplate_data();
    void otherKindsCopyTheirTemplate();
    void aliases_data();
    void aliases();
    void refusals_data();
    void refusals();
    void failureLeavesNothing_data();
    void failureLeavesNothing();
    void recordingsWithoutStreamFolder_data();
    void recordingsWithoutStreamFolder();
    void leaveWithoutHandler_data();
    void leaveWithoutHandler();
    void refusedExtensionStopsCreate_data();
    void refusedExtensionStopsCreate();
    void typingStartsInFirstBox_data();
    void typingStartsInFirstBox();
    void cannotLoad_data();
    void cannotLoad();
    void chooseExisting_data();
    void chooseExisting();
    void templateChoice();
    void interviewerStaysLoaded();
    void createCopyFromGrid_data();
    void createCopyFromGrid();

private:
    std::unique_ptr<test::FakeSeams> m_seams;
    std::unique_ptr<test::TestServer> m_server;
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<Pickers> m_pickers;
    std::unique_ptr<CreationDialogs> m_dialogs;

    AppContext &ctx() { return m_server->ctx(); }
    CreationDialog &dialog(int kind);
    // Shows the dialog with showModal() and runs `interact` inside its event
    // loop; a dialog that cannot be used never shows and runs nothing.
    bool runModal(CreationDialog &dialog, const std::function<void()> &interact)
    {
        return test::runModal(dialog, interact, [&] { return dialog.showModal(); });
    }
    // Types a name and an extension on the first page and presses Create.
    static void create(CreationDialog &dialog, const QString &name, const QString &extension);
    static void click(QWidget *parent, const char *button);
    QVariantList row(const QString &sql, const QVariant &key, const QStringList &columns);
    // The rows of a rule table below one handler, by alias, as "column=value" texts.
    QMap<QString, QStringList> rules(const QString &table, const QString &parent, const QStringList &columns);
    QMap<QString, int> tableCounts();
};

CreationDialog &TestCreation::dialog(int kind)
{
    switch (kind) {
    case CallHandler: return m_dialogs->callHandler();
    case DirectoryHandler: return m_dialogs->directoryHandler();
    default: return m_dialogs->interviewer();
    }
}

void TestCreation::init()
{
    m_seams = std::make_unique<test::FakeSeams>();
    m_server = std::make_unique<test::TestServer>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    ctx().state().gVersion = getVersion(ctx());
    QVERIFY(ctx().log().WriteLogHeader(m_server->folder() + QStringLiteral("/creation.log"), {}));
    m_owner = std::make_unique<QWidget>();
    m_pickers = std::make_unique<Pickers>(ctx(), m_owner.get());
    m_dialogs = std::make_unique<CreationDialogs>(ctx(), *m_pickers, m_owner.get());
}

void TestCreation::cleanup()
{
    test::closeOpenDialogs();
    m_dialogs.reset();
    m_pickers.reset();
    m_owner.reset();
    m_server.reset();
    m_seams.reset();
}

void TestCreation::click(QWidget *parent, const char *button)
{
    // Through the window, as the user clicks: a press is decided there.
    const QPushButton *b = parent->findChild<QPushButton *>(QString::fromLatin1(button));
    QTest::mouseClick(b->window()->windowHandle(), Qt::LeftButton, {}, b->mapTo(b->window(), b->rect().center()));
}

void TestCreation::create(CreationDialog &dialog, const QString &name, const QString &extension)
{
    dialog.tabs()->setCurrentIndex(0);
    dialog.findChild<QLineEdit *>(QStringLiteral("txtHandlerName"))->setText(name);
    dialog.findChild<QLineEdit *>(QStringLiteral("txtHandlerExtension"))->setText(extension);
    // Enter presses Create.
    QTest::keyClick(dialog.findChild<QLineEdit *>(QStringLiteral("txtHandlerName")), Qt::Key_Return);
}

QVariantList TestCreation::row(const QString &sql, const QVariant &key, const QStringList &columns)
{
    platform::Recordset rs = ctx().db().open(ctx().state().gConnectionString, sql, {key});
    QVariantList values;
    if (rs.RecordCount() != 1)
        return values;
    for (const QString &column : columns)
        values << rs.field(column);
    return values;
}

QMap<QString, QStringList> TestCreation::rules(const QString &table, const QString &parent, const QStringList &columns)
{
    platform::Recordset rs = ctx().db().open(ctx().state().gConnectionString,
                                             QStringLiteral("SELECT * FROM %1 WHERE ParentObjectID = ?").arg(table), {parent});
    QMap<QString, QStringList> byAlias;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        QStringList cells;
        for (const QString &column : columns)
            cells << column + u'=' + (rs.isNull(column) ? QStringLiteral("(null)") : rs.text(column));
        byAlias.insert(rs.text(QStringLiteral("Alias")), cells);
    }
    return byAlias;
}

QMap<QString, int> TestCreation::tableCounts()
{
    QMap<QString, int> counts;
    for (const QString &table : kTables) {
        platform::Recordset rs = ctx().db().open(ctx().state().gConnectionString,
                                                 QStringLiteral("SELECT COUNT(*) AS N FROM %1").arg(table));
        counts.insert(table, rs.field(QStringLiteral("N")).toInt());
    }
    return counts;
}

// ---- what a creation writes ----------------------------------------------------

void TestCreation::callHandlerCopiesTemplate_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("prepare"); // run on the template first
    QTest::addColumn<bool>("olderServer");
    QTest::addColumn<QString>("alias");

    QTest::newRow("plain") << "Front Desk" << "" << "" << false << "FrontDesk";
    QTest::newRow("apostrophes kept in the name") << "Bob's Front Desk" << " 7100 " << "" << false << "BobsFrontDesk";
    // Through FreeTDS both ways only with the client's character set named (the tds run).
    QTest::newRow("accented name read back") << QStringLiteral("Empfang Müller") << "" << "" << false << QStringLiteral("EmpfangMüller");
    // A number of ten or more characters is still rung on the copy's behalf.
    QTest::newRow("long extension rings") << "Outside Line" << "0123456789" << "" << false << "OutsideLine";
    QTest::newRow("schedule with apostrophe")
        << "Night" << "" << "UPDATE CallHandler SET ScheduleObjectName = 'Bob''s Hours' WHERE CallHandlerObjectID = ?"
        << false << "Night";
    QTest::newRow("template without owner or recipient")
        << "Loose" << ""
        << "UPDATE CallHandler SET AdministratorObjectID = NULL, AdministratorObjectIDType = NULL, "
           "RecipientObjectID = NULL, RecipientObjectIDType = NULL, AfterMessageObjectID = NULL, Language = NULL "
           "WHERE CallHandlerObjectID = ?"
        << false << "Loose";
    QTest::newRow("older server") << "Legacy" << "7200" << "" << true << "Legacy";
}

void TestCreation::callHandlerCopiesTemplate()
{
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QString, prepare);
    QFETCH(bool, olderServer);
    QFETCH(QString, alias);
    if (!prepare.isEmpty())
        QVERIFY(test::sql(ctx(), prepare, {ids::CallHandlerTemplate}));
    if (olderServer)
        ctx().state().gVersion = {true, 4, 0, 2, 98, QStringLiteral("4.0(2.98)")};

    CreationDialog &d = dialog(CallHandler);
    const bool made = runModal(d, [&] {
        d.findChild<QLineEdit *>(QStringLiteral("txtHandlerTemplateObjectID"))->setText(ids::CallHandlerTemplate);
        create(d, name, extension);
    });
    QVERIFY2(made, qPrintable(m_seams->messages->texts().join(u'\n')));
    QVERIFY2(m_seams->messages->texts().isEmpty(), qPrintable(m_seams->messages->texts().join(u"|")));
    const QString id = d.strObjectID;
    QCOMPARE(d.strDisplayName, name);

    const QStringList handlerColumns{"Language", "ScheduleObjectName", "MaxMsgLen", "EditMsg", "SendUrgentMsg",
                                     "AfterMessageAction", "AfterMessageConversation", "AfterMessageObjectID",
                                     "AfterMessageObjectIDType", "OneKeyDelay", "AdministratorObjectID",
                                     "AdministratorObjectIDType", "RecipientObjectID", "RecipientObjectIDType"};
    const QString byId = QStringLiteral("SELECT * FROM vw_CallHandler WHERE CallHandlerObjectID = ?");
    QCOMPARE(row(byId, id, handlerColumns), row(byId, ids::CallHandlerTemplate, handlerColumns));
    QCOMPARE(row(byId, id, {"Alias", "TextName", "IsPrimary"}), (QVariantList{alias, name, 0}));
    QCOMPARE(row(byId, id, {"DTMFAccessID"}).value(0).toString(), extension.trimmed());

    const QStringList keyColumns{"Action", "ConversationName", "DestinationObjectID", "DestinationObjectIDType", "Locked"};
    QCOMPARE(rules("MenuEntry", id, keyColumns), rules("MenuEntry", ids::CallHandlerTemplate, keyColumns));
    const QStringList greetingColumns{"Action", "ConversationName", "DestinationObjectID", "DestinationObjectIDType",
                                      "IgnoreDigits", "PlayWhat", "Reprompts", "RepromptDelay", "TimeExpires"};
    QCOMPARE(rules("MessagingRule", id, greetingColumns), rules("MessagingRule", ids::CallHandlerTemplate, greetingColumns));
    const QStringList ruleColumns{"PlayWhat", "RNAAction", "TimeExpires", "TransferRings", "TransferType", "SwitchID"};
    QCOMPARE(rules("ContactRule", id, ruleColumns), rules("ContactRule", ids::CallHandlerTemplate, ruleColumns));
    // The template's standard rule rings 1000: a short number sends callers to the greeting instead.
    const bool rings = extension.size() >= 10;
    QStringList standard{"Extension=(null)", "Action=0"};
    if (rings)
        standard = QStringList{"Extension=" + extension}
                   + rules("ContactRule", ids::CallHandlerTemplate, {"Action"}).value("Standard");
    QCOMPARE(rules("ContactRule", id, {"Extension", "Action"}).value("Standard"), standard);

    // The standard greeting's recording is copied; the missing one leaves the server's value.
    const auto streams = rules("MessagingRule", id, {"StreamPath"});
    const QString copy = streams.value("Standard").value(0).mid(11);
    QVERIFY2(copy.startsWith(alias + QStringLiteral("_Standard_GREETING_{")), qPrintable(copy));
    const QString folder = m_server->server().streamFolder;
    QFile copied(folder + copy), original(folder + QStringLiteral("callhandlertemplate_Standard.wav"));
    QVERIFY(copied.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), original.readAll());
    QCOMPARE(streams.value("Off Hours"), QStringList{"StreamPath=(null)"});

    QVERIFY(test::logText(ctx()).contains(QStringLiteral(", ADD_NEW, , , CallHandler, %1, , %2").arg(alias, id)));
}

void TestCreation::otherKindsCopyTheirTemplate_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("prepare"); // run on the template first
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("templateId");
    QTest::addColumn<QStringList>("copied"); // columns equal to the template's

    const QStringList directory{"Language", "SearchScope", "SearchScopeObjectID", "SearchByFirstName", "MaxMatches",
                                "MenuStyle", "SayExtension", "ApplicationObjectID", "EndDialDelay", "StartDialDelay",
                                "Tries", "UseStarToExit", "ExitAction", "ExitConversation", "ExitObjectID",
                                "ExitObjectIDType", "LocationObjectID", "AdministratorObjectID",
                                "AdministratorObjectIDType"};
    const QStringList interviewer{"AdministratorObjectID", "AdministratorObjectIDType", "RecipientObjectID",
                                  "RecipientObjectIDType", "AfterMessageAction", "AfterMessageConversation",
                                  "AfterMessageObjectID", "AfterMessageObjectIDType", "LocationObjectID"};
    QTest::newRow("directory handler") << int(DirectoryHandler) << "7300" << "" << "NameLookupHandler"
                                       << ids::CompanyDirectory << directory;
    QTest::newRow("directory handler, template Nulls stay Null")
        << int(DirectoryHandler) << ""
        << "UPDATE NameLookupHandler SET Language = NULL, ExitObjectID = NULL, ApplicationObjectID = NULL, "
           "MenuStyle = NULL WHERE NameLookupHandlerObjectID = ?"
        << "NameLookupHandler" << ids::CompanyDirectory << QStringList(directory).replaceInStrings("MenuStyle", "Tries");
    QTest::newRow("interviewer") << int(Interviewer) << "7400" << "" << "InterviewHandler" << ids::InterviewTemplate
                                 << interviewer;
    QTest::newRow("interviewer, template without owner")
        << int(Interviewer) << ""
        << "UPDATE InterviewHandler SET AdministratorObjectID = NULL, RecipientObjectID = NULL, "
           "AfterMessageObjectID = '', LocationObjectID = NULL WHERE InterviewHandlerObjectID = ?"
        << "InterviewHandler" << ids::InterviewTemplate
        << QStringList(interviewer).replaceInStrings("AfterMessageObjectID", "AfterMessageAction");
}

void TestCreation::otherKindsCopyTheirTemplate()
{
    QFETCH(int, kind);
    QFETCH(QString, extension);
    QFETCH(QString, prepare);
    QFETCH(QString, table);
    QFETCH(QString, templateId);
    QFETCH(QStringList, copied);
    if (!prepare.isEmpty())
        QVERIFY(test::sql(ctx(), prepare, {templateId}));
    const QString name = QStringLiteral("Sam's Line");
    CreationDialog &d = dialog(kind);
    QVERIFY(runModal(d, [&] { create(d, name, extension); }));
    QVERIFY(m_seams->messages->texts().isEmpty());

    const QString key = table + QStringLiteral("ObjectID");
    const QString byId = QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(table, key);
    QCOMPARE(row(byId, d.strObjectID, copied), row(byId, templateId, copied));
    QCOMPARE(row(byId, d.strObjectID, {"Alias", "TextName"}), (QVariantList{"SamsLine", name}));
    QCOMPARE(d.strDisplayName, name);
    if (kind == DirectoryHandler) {
        // Every exit leads where the template's Exit leads.
        QStringList exits;
        for (const char *prefix : {"Exit", "Zero", "NoInput", "NoSelection"})
            for (const char *part : {"Action", "Conversation", "ObjectID", "ObjectIDType"})
                exits << QString::fromLatin1(prefix) + QString::fromLatin1(part);
        const QVariantList values = row(byId, d.strObjectID, exits);
        for (int i = 4; i < values.size(); ++i)
            QCOMPARE(values[i], values[i % 4]);
        QCOMPARE(row(byId, d.strObjectID, {"UID", "Undeletable"}), (QVariantList{"SamsLine", 0}));
    }
    if (prepare.contains(QStringLiteral("AfterMessageObjectID = ''")))
        QVERIFY(row(byId, d.strObjectID, {"AfterMessageObjectID"}).value(0).isNull());
    if (prepare.contains(QStringLiteral("MenuStyle = NULL")))
        QCOMPARE(row(byId, d.strObjectID, {"MenuStyle"}).value(0).toInt(), 0);
    const QVariantList extensionRow = row(QStringLiteral("SELECT * FROM DTMFAccessID WHERE ParentObjectID = ?"),
                                          d.strObjectID, {"DTMFAccessID", "ParentObjectIDType", "IsPrimaryID"});
    QCOMPARE(extensionRow, extension.isEmpty() ? QVariantList{}
                                               : QVariantList({extension, kind == Interviewer ? 5 : 6, 1}));
    QVERIFY(test::logText(ctx()).contains(
        QStringLiteral(", ADD_NEW, , , %1, SamsLine, , %2").arg(QString::fromLatin1(kAuditTables[kind]), d.strObjectID)));
}

void TestCreation::aliases_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("taken"); // an alias made taken first ("" for none)
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("stored"); // the name stored and handed back ("" the name as typed)

    // The random numbers drawn are 7, then 42.
    QTest::newRow("call handler, free") << int(CallHandler) << "Help Line" << "" << "HelpLine" << "";
    QTest::newRow("call handler, taken in other case") << int(CallHandler) << "Sales CH" << "" << "SalesCH7" << "";
    QTest::newRow("call handler, suffix taken too")
        << int(CallHandler) << "Sales CH" << "SalesCH7" << "SalesCH742" << "";
    QTest::newRow("directory handler, taken") << int(DirectoryHandler) << "Company Directory" << ""
                                              << "CompanyDirectory7" << "";
    QTest::newRow("interviewer, taken") << int(Interviewer) << "Survey IH" << "" << "SurveyIH7" << "";
    QTest::newRow("interviewer, suffix taken too") << int(Interviewer) << "Survey IH" << "SurveyIH7" << "SurveyIH742"
                                                   << "";
    // Blanks around the name go, as on the detail pages; apostrophes stay in the name.
    QTest::newRow("call handler, blanks around") << int(CallHandler) << "  Help Line  " << "" << "HelpLine"
                                                 << "Help Line";
    QTest::newRow("directory handler, apostrophe and blanks")
        << int(DirectoryHandler) << " Sam's Finder " << "" << "SamsFinder" << "Sam's Finder";
    QTest::newRow("interviewer, apostrophe and blanks") << int(Interviewer) << "O'Neil Poll   " << "" << "ONeilPoll"
                                                        << "O'Neil Poll";
}

void TestCreation::aliases()
{
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(QString, taken);
    QFETCH(QString, alias);
    QFETCH(QString, stored);
    if (stored.isEmpty())
        stored = name;
    if (!taken.isEmpty())
        QVERIFY(test::sql(ctx(), QStringLiteral("UPDATE %1 SET Alias = ? WHERE Alias = 'goodbyech' OR Alias = 'feedbackih'")
                                     .arg(kind == CallHandler ? "CallHandler" : "InterviewHandler"),
                          {taken}));
    m_seams->random->queueWhole(7, 100000);
    m_seams->random->queueWhole(42, 100000);
    CreationDialog &d = dialog(kind);
    QVERIFY(runModal(d, [&] { create(d, name, QString()); }));
    const QString byAlias = QStringLiteral("SELECT Alias, TextName FROM %1 WHERE Alias = ?");
    QCOMPARE(row(byAlias.arg(QString::fromLatin1(kViews[kind])), alias, {"Alias", "TextName"}),
             (QVariantList{alias, stored}));
    QCOMPARE(d.strDisplayName, stored);
}

// ---- what a creation refuses ---------------------------------------------------

void TestCreation::refusals_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("templateId"); // "" keeps the dialog's own
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("message");

    const QString noName = "You must enter a name for the new call handler!";
    QTest::newRow("template of one character") << int(CallHandler) << "x" << "Desk" << "" << "No handler selected for template!";
    QTest::newRow("empty name") << int(CallHandler) << "" << "" << "" << noName;
    QTest::newRow("name of blanks") << int(CallHandler) << "" << "   " << "" << noName;
    QTest::newRow("name of apostrophes") << int(CallHandler) << "" << "' '" << "" << noName;
    QTest::newRow("directory handler without name")
        << int(DirectoryHandler) << "" << " " << "" << "You must enter a name for the new directory handler!";
    QTest::newRow("interviewer without name")
        << int(Interviewer) << "" << "" << "" << "You must enter a name for the new interviewer!";
    QTest::newRow("extension of two owners")
        << int(CallHandler) << "" << "Desk" << " 5001"
        << "That extension is in use by the following objects:\r\n    Call Handler with display name=After Hours\r\n"
           "    Subscriber with display name=Alice Admin\r\n";
    QTest::newRow("extension in use, directory handler")
        << int(DirectoryHandler) << "" << "Desk" << "2000"
        << "That extension is in use by the following objects:\r\n    Inteview Handler with display name=Feedback "
           "Interview\r\n";
    QTest::newRow("extension not a number")
        << int(Interviewer) << "" << "Desk" << "12a" << "Only numbers are allowed for the extension number";
    QTest::newRow("template gone") << int(CallHandler) << ids::MissingHandler << "Desk" << ""
                                   << "Error in cmdCreateHandler - the user selected CallHandler template could not "
                                      "be found:" + ids::MissingHandler;
    QTest::newRow("interviewer template gone")
        << int(Interviewer) << ids::MissingHandler << "Desk" << ""
        << "Error in cmdCreateHandler - the selected Interviewer template could not be found:" + ids::MissingHandler;
    // A control character would split the log's lines, the tree export and the grid's rows.
    const QString control = "The name cannot contain control characters such as tabs or line breaks!";
    for (char16_t c = 0; c <= 0x7F; c = c == 0x1F ? 0x7F : c + 1)
        QTest::addRow("U+%04X in the name, %s", unsigned(c), kViews[c % 3])
            << int(c % 3) << "" << QStringLiteral("Desk") + QChar(c) + QStringLiteral("Line") << "" << control;
    // Line breaks beyond ASCII: the C1 controls (U+0085 among them) and the separators.
    const char16_t wider[] = {0x85, 0x9F, 0x2028, 0x2029};
    for (int i = 0; i < 4; ++i)
        QTest::addRow("U+%04X in the name, %s", unsigned(wider[i]), kViews[i % 3])
            << i % 3 << "" << QStringLiteral("Desk") + QChar(wider[i]) + QStringLiteral("Line") << "" << control;
    QTest::newRow("tab before the trailing blanks") << int(Interviewer) << "" << "Desk\t  " << "" << control;
    // A direction control would show the name (and its alias) as another text.
    const QString direction = "The name cannot contain the characters that change the direction of text (U+202A to "
                              "U+202E, U+2066 to U+2069)!";
    for (char16_t c : {0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069})
        QTest::addRow("U+%04X in the name, %s", unsigned(c), kViews[c % 3])
            << int(c % 3) << "" << QStringLiteral("Desk") + QChar(c) + QStringLiteral("Line") << "" << direction;
    QTest::newRow("right-to-left override after Hebrew")
        << int(CallHandler) << "" << QStringLiteral(u"\u05E9\u05DC\u05D5\u05DD\u202Eabc") << "" << direction;
}

void TestCreation::refusals()
{
    QFETCH(int, kind);
    QFETCH(QString, templateId);
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QString, message);
    const QMap<QString, int> before = tableCounts();
    CreationDialog &d = dialog(kind);
    bool stayedOpen = false;
    QVERIFY(!runModal(d, [&] {
        if (!templateId.isEmpty())
            d.findChild<QLineEdit *>(QStringLiteral("txtHandlerTemplateObjectID"))->setText(templateId);
        create(d, name, extension);
        stayedOpen = d.isVisible();
    }));
    QVERIFY(stayedOpen);
    QCOMPARE(m_seams->messages->texts(), QStringList{message});
    QCOMPARE(tableCounts(), before);
    QVERIFY(!test::logText(ctx()).contains(QStringLiteral("ADD_NEW")));
}

// ---- a failure part way ----------------------------------------------------------

void TestCreation::failureLeavesNothing_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("repair");
    QTest::addColumn<QString>("message"); // how the message begins

    QTest::newRow("procedure refused")
        << int(CallHandler) << "CREATE TRIGGER refuse BEFORE INSERT ON MenuEntry BEGIN SELECT RAISE(ABORT, 'no keys'); END"
        << "DROP TRIGGER refuse" << "error in cmdCreateHandler_Click:";
    QTest::newRow("greeting copy refused")
        << int(CallHandler)
        << "CREATE TRIGGER refuse BEFORE UPDATE ON MessagingRule WHEN NEW.Alias = 'Error' BEGIN SELECT RAISE(ABORT, "
           "'no greeting'); END"
        << "DROP TRIGGER refuse" << "error in cmdCreateHandler_Click:";
    QTest::newRow("template key the copy lacks")
        << int(CallHandler)
        << "INSERT INTO MenuEntry (ParentObjectID, Alias) VALUES ('" + ids::CallHandlerTemplate + "', 'A')"
        << "DELETE FROM MenuEntry WHERE Alias = 'A'" << "error in cmbCreatCallHandler - target menu entries missing alias=A";
    // A name the stream folder cannot take, read after the first recording was
    // copied: that copy must go again.
    const QString longAlias(250, u'Z');
    QTest::newRow("recording cannot be copied")
        << int(CallHandler)
        << "UPDATE MessagingRule SET Alias = '" + longAlias
               + "', StreamPath = 'callhandlertemplate_Standard.wav' WHERE MessagingRuleObjectID = '"
               + ids::greetingId(ids::CallHandlerTemplate, 2)
               + "';;CREATE TRIGGER rename AFTER INSERT ON MessagingRule WHEN NEW.Alias = 'Busy' BEGIN UPDATE "
                 "MessagingRule SET Alias = '"
               + longAlias + "' WHERE MessagingRuleObjectID = NEW.MessagingRuleObjectID; END"
        << "DROP TRIGGER rename;;UPDATE MessagingRule SET Alias = 'Busy', StreamPath = NULL WHERE Alias = '" + longAlias
               + "'"
        << "error in cmdCreateHandler_Click:the recording callhandlertemplate_Standard.wav of the greeting ZZZ";
    // Refused by the database before the transaction: logged all the same.
    const auto viewMade = [](const QString &view) {
        const QStringList statements = embedded::splitSqlScript(embedded::mainSchemaSql());
        const auto made = std::find_if(statements.cbegin(), statements.cend(), [&](const QString &statement) {
            return statement.contains(QStringLiteral("CREATE VIEW %1 ").arg(view));
        });
        return made == statements.cend() ? QString() : *made;
    };
    for (const int kind : {CallHandler, DirectoryHandler, Interviewer})
        QTest::addRow("%s, dialing domain unreadable", kViews[kind])
            << kind << "DROP VIEW vw_DTMFAccessID_DialingDomain" << viewMade("vw_DTMFAccessID_DialingDomain")
            << "error in cmdCreateHandler_Click:";
    QTest::newRow("directory handler refused")
        << int(DirectoryHandler)
        << "CREATE TRIGGER refuse BEFORE INSERT ON NameLookupHandler BEGIN SELECT RAISE(ABORT, 'no'); END"
        << "DROP TRIGGER refuse" << "error in cmdCreateHandler_Click:";
    QTest::newRow("interviewer extension refused")
        << int(Interviewer) << "CREATE TRIGGER refuse BEFORE INSERT ON DTMFAccessID BEGIN SELECT RAISE(ABORT, 'no'); END"
        << "DROP TRIGGER refuse" << "error in cmdCreateHandler_Click:";
}

void TestCreation::failureLeavesNothing()
{
    QFETCH(int, kind);
    QFETCH(QString, fault);
    QFETCH(QString, repair);
    QFETCH(QString, message);
    for (const QString &statement : fault.split(QStringLiteral(";;")))
        QVERIFY(test::sql(ctx(), statement));
    const QMap<QString, int> before = tableCounts();
    const QDir streams(m_server->server().streamFolder);
    const QStringList files = streams.entryList(QDir::Files);

    CreationDialog &d = dialog(kind);
    QVERIFY(runModal(d, [&] {
        if (kind == CallHandler)
            d.findChild<QLineEdit *>(QStringLiteral("txtHandlerTemplateObjectID"))->setText(ids::CallHandlerTemplate);
        create(d, QStringLiteral("Half Made"), QStringLiteral("7500"));
        QVERIFY(d.isVisible());
        QCOMPARE(m_seams->messages->texts().size(), 1);
        QVERIFY2(m_seams->messages->texts().value(0).startsWith(message), qPrintable(m_seams->messages->texts().value(0)));
        QCOMPARE(tableCounts(), before);
        QCOMPARE(streams.entryList(QDir::Files), files);
        QVERIFY(test::logText(ctx()).contains(
            QStringLiteral(", FAILED_ADD_NEW, , , %1, HalfMade, , ").arg(QString::fromLatin1(kAuditTables[kind]))));
        // Once the fault is gone, Create again makes exactly one handler, under the same alias.
        for (const QString &statement : repair.split(QStringLiteral(";;")))
            QVERIFY(test::sql(ctx(), statement));
        click(&d, "cmdCreateHandler");
    }));
    QCOMPARE(m_seams->messages->texts().size(), 1);
    QCOMPARE(row(QStringLiteral("SELECT COUNT(*) AS N FROM %1 WHERE Alias = ?").arg(QString::fromLatin1(kViews[kind])),
                 QStringLiteral("HalfMade"), {"N"}),
             QVariantList{1});
}

void TestCreation::recordingsWithoutStreamFolder_data()
{
    QTest::addColumn<QString>("location"); // of the directory database, as the profile names it
    QTest::newRow("path that does not exist") << "sqlite:no-such-folder/TolvaDirDB.sqlite";
    QTest::newRow("loopback port nothing listens on")
        << "odbc:Driver=FreeTDS;Server=127.0.0.1;Port=1;Database=TolvaDirDB;UID=admin;PWD=secret;TDS_Version=7.4";
}

void TestCreation::recordingsWithoutStreamFolder()
{
    QFETCH(QString, location);
    const QString profile = m_server->server().registryFile;
    {
        QFile file(profile);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QStringDecoder decode(QStringConverter::Utf16LE);
        QString text = decode(file.readAll().mid(2));
        static const QRegularExpression directory(QStringLiteral("\"DirectoryDatabase\"=\"[^\r\n]*\""));
        QVERIFY(text.contains(directory));
        text.replace(directory, QStringLiteral("\"DirectoryDatabase\"=\"%1\"").arg(location));
        QStringEncoder encode(QStringConverter::Utf16LE);
        QVERIFY(file.resize(0) && file.seek(0));
        file.write(QByteArray("\xFF\xFE", 2) + QByteArray(encode(text)));
    }
    QVERIFY(ctx().loadRegistry(profile));

    CreationDialog &d = dialog(CallHandler);
    QVERIFY(runModal(d, [&] {
        d.findChild<QLineEdit *>(QStringLiteral("txtHandlerTemplateObjectID"))->setText(ids::CallHandlerTemplate);
        create(d, QStringLiteral("Front Desk"), QString());
    }));
    // The handler stays, with one message naming each greeting left without its recording, and why.
    const QStringList messages = m_seams->messages->texts();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith(QStringLiteral(
                 "The call handler \"Front Desk\" was created without the recordings of these greetings of its "
                 "template, which could not be copied: Standard (callhandlertemplate_Standard.wav), Off Hours "
                 "(missing_file.wav). The folder of the server's recordings is unknown: the directory database could "
                 "not be read ("))
                 && messages[0].endsWith(QStringLiteral(").")),
             qPrintable(messages[0]));
    QVERIFY(!messages[0].contains(QStringLiteral("secret")));
    QCOMPARE(rules("MessagingRule", d.strObjectID, {"StreamPath"}).value("Standard"), QStringList{"StreamPath=(null)"});
    const QString log = test::logText(ctx());
    QVERIFY(log.contains(QStringLiteral(", ADD_NEW, , , CallHandler, FrontDesk, , %1").arg(d.strObjectID)));
    QVERIFY(log.contains(QStringLiteral("in procedure strPullConfigurationString of Module TolvaVersion")));
}

// ---- leaving without a handler ---------------------------------------------------

void TestCreation::leaveWithoutHandler_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("way");
    for (int kind : {CallHandler, DirectoryHandler, Interviewer})
        for (const char *way : {"cmdCancel", "Escape", "close box"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(kViews[kind], way))) << kind << QString::fromLatin1(way);
}

void TestCreation::leaveWithoutHandler()
{
    QFETCH(int, kind);
    QFETCH(QString, way);
    CreationDialog &d = dialog(kind);
    // An earlier use handed back a handler; leaving now must not hand it back again.
    QVERIFY(runModal(d, [&] { create(d, QStringLiteral("Earlier"), QString()); }));
    const QMap<QString, int> before = tableCounts();
    QVERIFY(!runModal(d, [&] {
        d.findChild<QLineEdit *>(QStringLiteral("txtHandlerName"))->setText(QStringLiteral("Never"));
        if (way == u"cmdCancel")
            click(&d, "cmdCancel");
        else if (way == u"Escape")
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
        QVERIFY(!d.isVisible());
    }));
    QVERIFY(d.bCancel);
    QCOMPARE(d.strObjectID, QString());
    QCOMPARE(d.strDisplayName, QString());
    QCOMPARE(tableCounts(), before);
    // The next showing starts afresh.
    QVERIFY(d.ensureLoaded());
    QCOMPARE(d.findChild<QLineEdit *>(QStringLiteral("txtHandlerName"))->text(), QString());
}

void TestCreation::refusedExtensionStopsCreate_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("realBox"); // the message in a real modal box rather than the fake
    QTest::addColumn<bool>("byEnter"); // Enter in the box rather than a click on Create
    for (int kind : {CallHandler, DirectoryHandler})
        for (bool realBox : {false, true})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(kViews[kind], realBox ? "real box" : "fake box")))
                << kind << realBox << false;
    QTest::newRow("vw_CallHandler, Enter") << int(CallHandler) << false << true;
}

void TestCreation::refusedExtensionStopsCreate()
{
    QFETCH(int, kind);
    QFETCH(bool, realBox);
    QFETCH(bool, byEnter);
    std::unique_ptr<platform::MessageBoxSeam> fake;
    TimedMessageBox *timed = nullptr;
    if (realBox) {
        auto owned = std::make_unique<TimedMessageBox>();
        timed = owned.get();
        fake = platform::Seams::install(std::move(owned));
    }
    const auto restore = qScopeGuard([&] {
        if (fake)
            platform::Seams::install(std::move(fake));
    });
    const QMap<QString, int> before = tableCounts();
    CreationDialog &d = dialog(kind);
    bool stayedOpen = false;
    bool focusBack = false;
    QVERIFY(!runModal(d, [&] {
        d.tabs()->setCurrentIndex(0);
        d.findChild<QLineEdit *>(QStringLiteral("txtHandlerName"))->setText(QStringLiteral("Desk"));
        auto *extension = d.findChild<QLineEdit *>(QStringLiteral("txtHandlerExtension"));
        extension->setFocus();
        QTRY_VERIFY(extension->hasFocus());
        QTest::keyClicks(extension, QStringLiteral("71O0"));
        if (byEnter)
            QTest::keyClick(extension, Qt::Key_Return);
        else
            click(&d, "cmdCreateHandler");
        stayedOpen = d.isVisible();
        // The dialog's focus is in the box again (the offscreen platform does
        // not activate the dialog again once a real box has closed).
        focusBack = QTest::qWaitFor([&] { return d.focusWidget() == extension; });
    }));
    QVERIFY(stayedOpen);
    QVERIFY(focusBack);
    QCOMPARE(timed ? timed->texts : m_seams->messages->texts(),
             QStringList{QStringLiteral("Only numbers are allowed for the extension number")});
    QCOMPARE(tableCounts(), before);
    QVERIFY(!test::logText(ctx()).contains(QStringLiteral("ADD_NEW")));
}

void TestCreation::typingStartsInFirstBox_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("firstBox"); // of the page the dialog opens on
    QTest::newRow("call handler") << int(CallHandler) << "txtHandlerName";
    QTest::newRow("directory handler") << int(DirectoryHandler) << "txtHandlerName";
    QTest::newRow("interviewer") << int(Interviewer) << "txtSearchString";
}

void TestCreation::typingStartsInFirstBox()
{
    QFETCH(int, kind);
    QFETCH(QString, firstBox);
    CreationDialog &d = dialog(kind);
    // Each showing, also one after a use that left the focus elsewhere.
    for (int use = 0; use < 2; ++use) {
        QString focused;
        runModal(d, [&] {
            focused = d.focusWidget() ? d.focusWidget()->objectName() : QString();
            d.findChild<QWidget *>(d.tabs()->currentIndex() == 0 ? QStringLiteral("txtHandlerExtension")
                                                                  : QStringLiteral("optSearchByExtension"))
                ->setFocus();
        });
        QCOMPARE(focused, firstBox);
    }
}

void TestCreation::cannotLoad_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("prepare");
    QTest::addColumn<QString>("message");
    QTest::newRow("no directory handler") << int(DirectoryHandler) << "DELETE FROM NameLookupHandler"
                                          << "No directory handlers defined, system in illegal state!";
    QTest::newRow("no undeletable interviewer") << int(Interviewer) << "UPDATE InterviewHandler SET Undeletable = 0"
                                                << "No interviewers defined, system in illegal state!";
}

void TestCreation::cannotLoad()
{
    QFETCH(int, kind);
    QFETCH(QString, prepare);
    QFETCH(QString, message);
    CreationDialog &d = dialog(kind);
    // An earlier choice must not come back from a dialog that cannot be used.
    d.tabs()->setCurrentIndex(1);
    QVERIFY(runModal(d, [&] {
        d.tabs()->setCurrentIndex(1);
        d.findChild<QLineEdit *>(QStringLiteral("txtSearchString"))->setText(QStringLiteral("*"));
        click(&d, "cmdSearch");
        auto *grid = d.findChild<QTableView *>(QStringLiteral("myGrid"));
        grid->selectRow(0);
        click(&d, "cmdSelect");
    }));
    QVERIFY(test::sql(ctx(), prepare));
    bool shown = false;
    QVERIFY(!runModal(d, [&] { shown = true; }));
    QVERIFY(!shown);
    QVERIFY(d.bCancel);
    QCOMPARE(d.strObjectID, QString());
    QCOMPARE(m_seams->messages->texts(), QStringList{message});
}

// ---- choosing an existing handler ------------------------------------------------

void TestCreation::chooseExisting_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("byExtension");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("message"); // for Select without a row
    QTest::addColumn<QStringList>("chosen"); // display name and ObjectID of the first row listed

    QTest::newRow("call handler") << int(CallHandler) << "O*" << false
                                  << QStringList{"openinggreetingch", "operatorch", "orphanch"}
                                  << "Error!  No call handler selected!"
                                  << QStringList{"Opening Greeting", ids::OpeningGreeting};
    QTest::newRow("directory handler by extension")
        << int(DirectoryHandler) << "300*" << true
        << QStringList{"companydirectory", "cosdirectory", "hqdirectory", "localdirectory", "salesdirectory"}
        << "Error!  No directory handler selected!" << QStringList{"Company Directory", ids::CompanyDirectory};
    QTest::newRow("interviewer, name with apostrophe")
        << int(Interviewer) << "O'Brien's*" << false << QStringList{"surveyih"}
        << "Error!  No interview handler selected!" << QStringList{"O'Brien's Survey", ids::Survey};
}

void TestCreation::chooseExisting()
{
    QFETCH(int, kind);
    QFETCH(QString, search);
    QFETCH(bool, byExtension);
    QFETCH(QStringList, listed);
    QFETCH(QString, message);
    QFETCH(QStringList, chosen);
    QVERIFY(test::sql(ctx(), QStringLiteral("UPDATE InterviewHandler SET TextName = 'O''Brien''s Survey' WHERE Alias = 'surveyih'")));
    CreationDialog &d = dialog(kind);
    for (const QString way : {"Select", "double-click", "Enter"}) {
        QVERIFY(runModal(d, [&] {
            d.tabs()->setCurrentIndex(1);
            QVERIFY(!d.findChild<QPushButton *>(QStringLiteral("cmdCreateHandler"))->isVisible());
            if (byExtension)
                d.findChild<QRadioButton *>(QStringLiteral("optSearchByExtension"))->click();
            d.findChild<QLineEdit *>(QStringLiteral("txtSearchString"))->setText(search);
            click(&d, "cmdSearch");
            QStringList aliases;
            for (int r = 0; r < d.results().rowCount(); ++r)
                aliases << d.results().text(r, 0);
            QCOMPARE(aliases, listed);
            auto *grid = d.findChild<QTableView *>(QStringLiteral("myGrid"));
            const QPoint at = grid->visualRect(grid->model()->index(0, 0)).center();
            if (way == "Select") {
                click(&d, "cmdSelect");
                QCOMPARE(m_seams->messages->texts(), QStringList{message});
                QVERIFY(d.isVisible());
                grid->selectRow(0);
                click(&d, "cmdSelect");
            } else if (way == "double-click") {
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
            } else {
                // Enter on the row picked takes it; it does not search again.
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
                QTest::keyClick(grid, Qt::Key_Return);
            }
        }));
        QCOMPARE(test::asStored(QStringList{d.strDisplayName, d.strObjectID}), chosen);
    }
}

void TestCreation::templateChoice()
{
    // The call handler dialog preselects the template used last, while it exists.
    frmMakeNewCallHandler &handlers = m_dialogs->callHandler();
    auto *templateId = handlers.findChild<QLineEdit *>(QStringLiteral("txtHandlerTemplateObjectID"));
    QVERIFY(runModal(handlers, [&] {
        QVERIFY(!templateId->text().isEmpty());
        // A cancelled picker changes nothing.
        const QString preselected = templateId->text();
        QTimer::singleShot(0, [&] { m_pickers->callHandlerSearch().reject(); });
        click(&handlers, "cmdSelectCallHandler");
        QCOMPARE(templateId->text(), preselected);
        QTimer::singleShot(0, [&] {
            PickerDialog *picker = &m_pickers->callHandlerSearch();
            picker->findChild<QLineEdit *>(QStringLiteral("txtSearchString"))->setText(QStringLiteral("Sales"));
            click(picker, "cmdSearch");
            picker->findChild<QTableView *>(QStringLiteral("myGrid"))->selectRow(0);
            click(picker, "cmdOK");
        });
        click(&handlers, "cmdSelectCallHandler");
        QCOMPARE(test::asStored(templateId->text()), ids::Sales);
        create(handlers, QStringLiteral("Sales Copy"), QString());
    }));
    QCOMPARE(test::asStored(handlers.strTemplateObjectID), ids::Sales);
    QVERIFY(handlers.ensureLoaded());
    QCOMPARE(test::asStored(templateId->text()), ids::Sales);
    handlers.reject();
    QVERIFY(test::sql(ctx(), QStringLiteral("UPDATE CallHandler SET IsPrimary = 1 WHERE CallHandlerObjectID = ?"), {ids::Sales}));
    QVERIFY(handlers.ensureLoaded());
    QVERIFY(test::asStored(templateId->text()) != ids::Sales && !templateId->text().isEmpty());
    handlers.reject();

    // The interviewer template button is offered only when there is a choice.
    frmMakeNewInterviewer &interviewers = m_dialogs->interviewer();
    QVERIFY(interviewers.ensureLoaded());
    QVERIFY(interviewers.findChild<QPushButton *>(QStringLiteral("cmdSelectHandler"))->isEnabled());
    interviewers.reject();
    QVERIFY(test::sql(ctx(), QStringLiteral("UPDATE InterviewHandler SET Undeletable = 0 WHERE Alias = 'surveyih'")));
    QVERIFY(interviewers.ensureLoaded());
    QVERIFY(!interviewers.findChild<QPushButton *>(QStringLiteral("cmdSelectHandler"))->isEnabled());
    QCOMPARE(test::asStored(interviewers.findChild<QLineEdit *>(QStringLiteral("txtHandlerTemplateObjectID"))->text()),
             ids::InterviewTemplate);
    interviewers.reject();
}

void TestCreation::interviewerStaysLoaded()
{
    InterviewerPage page;
    m_dialogs->setQuestionPage(&page);
    frmMakeNewInterviewer &d = m_dialogs->interviewer();
    m_seams->random->queueWhole(815, 100000);
    m_seams->random->queueWhole(7, 100000);
    QVERIFY(runModal(d, [&] {
        QCOMPARE(d.tabs()->currentIndex(), 1);
        create(d, QStringLiteral("Exit Poll"), QStringLiteral("7600"));
    }));
    // A page that does not show the new handler keeps what it holds.
    QTableWidget *grid = page.gridInterviewQuestions;
    QCOMPARE(grid->rowCount(), 0);
    // On a page that shows it, the first question is shown, not written.
    SelectedObject shown;
    QVERIFY(page.load(ctx(), d.strObjectID, shown));
    seedFirstQuestion(page, {d.strObjectID, QStringLiteral("Exit Poll"), QStringLiteral("ExitPoll")});
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("New Question"));
    QCOMPARE(page.questionCell(1, QStringLiteral("Question")), QStringLiteral("Question Text"));
    QCOMPARE(page.questionCell(1, QStringLiteral("AnswerLimit")), QStringLiteral("30"));
    QCOMPARE(page.questionCell(1, QStringLiteral("StreamPath")), QStringLiteral("iq_ExitPoll_1_815.wav"));
    QCOMPARE(row(QStringLiteral("SELECT COUNT(*) AS N FROM vw_InterviewQuestion WHERE ParentObjectID = ?"), d.strObjectID,
                 {"N"}),
             QVariantList{0});

    // Shown again, it keeps what it held; Create makes a second handler.
    const QString first = d.strObjectID;
    QVERIFY(runModal(d, [&] {
        QCOMPARE(d.tabs()->currentIndex(), 0);
        QCOMPARE(d.findChild<QLineEdit *>(QStringLiteral("txtHandlerName"))->text(), QStringLiteral("Exit Poll"));
        d.findChild<QLineEdit *>(QStringLiteral("txtHandlerExtension"))->clear();
        click(&d, "cmdCreateHandler");
    }));
    QVERIFY(d.strObjectID != first);
    QCOMPARE(row(QStringLiteral("SELECT Alias FROM InterviewHandler WHERE InterviewHandlerObjectID = ?"), d.strObjectID,
                 {"Alias"}),
             QVariantList{"ExitPoll7"});
}

// ---- Create Copy in the grid view ------------------------------------------------

void TestCreation::createCopyFromGrid_data()
{
    QTest::addColumn<int>("gridKind");
    QTest::addColumn<QString>("templateAlias");
    QTest::addColumn<int>("questions"); // the template's, which its page keeps showing (-1: not a page of questions)
    QTest::newRow("call handler") << int(GridCallHandlers) << "salesch" << -1;
    QTest::newRow("interview handler") << int(GridInterviewHandlers) << "feedbackih" << 3;
}

void TestCreation::createCopyFromGrid()
{
    QFETCH(int, gridKind);
    QFETCH(QString, templateAlias);
    QFETCH(int, questions);
    cleanup();
    test::MainWindowFixture fixture;
    QVERIFY(fixture.start());
    frmMain &window = *fixture.window;
    window.findChild<QTabWidget *>(QStringLiteral("TabTreeGrid"))->setCurrentIndex(1);
    window.findChild<QComboBox *>(QStringLiteral("cmbShowObjectType"))->setCurrentIndex(gridKind);
    ObjectGridModel &grid = window.gridModel();
    int templateRow = -1;
    for (int r = 0; r < grid.rowCount(); ++r)
        if (grid.text(r, 2) == templateAlias)
            templateRow = r;
    QVERIFY(templateRow >= 0);
    const QString templateId = grid.objectId(templateRow);
    const int rows = grid.rowCount();
    window.gridObjects_MouseDown(templateRow, QPoint(20, 20));
    auto *popup = window.findChild<QMenu *>(QStringLiteral("mnuPopUpCreatecopy"));
    QTRY_VERIFY(popup->isVisible());
    auto *entry = window.findChild<QAction *>(QStringLiteral("mnuCreateCopy"));
    QVERIFY(entry->isVisible() && entry->isEnabled());
    popup->close();

    QString shownTemplate;
    QTimer::singleShot(0, &window, [&] {
        auto *d = qobject_cast<CreationDialog *>(QApplication::activeModalWidget());
        QVERIFY(d);
        QCOMPARE(d->tabs()->currentIndex(), 0);
        shownTemplate = d->findChild<QLineEdit *>(QStringLiteral("txtHandlerTemplateObjectID"))->text();
        create(*d, QStringLiteral("Copied One"), QString());
        if (d->isVisible())
            d->reject();
    });
    entry->trigger();
    QCOMPARE(shownTemplate, templateId);
    // Listed again at once, with the copy among the rows.
    QCOMPARE(grid.rowCount(), rows + 1);
    bool listed = false;
    for (int r = 0; r < grid.rowCount(); ++r)
        listed = listed || grid.text(r, 2) == u"CopiedOne";
    QVERIFY(listed);
    if (questions >= 0) {
        InterviewerPage &shown = window.interviewerPage();
        QCOMPARE(shown.shownObjectId(), templateId);
        QCOMPARE(shown.questionCount(), questions);
        QVERIFY(shown.questionCell(1, QStringLiteral("Question")) != QStringLiteral("Question Text"));
    }
    fixture.stop();
}

QTEST_MAIN(TestCreation)
#include "tst_creation.moc"
