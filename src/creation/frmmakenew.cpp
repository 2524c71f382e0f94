#include "creation/frmmakenew.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "creation/creation.h"
#include "details/interviewerpage.h"
#include "details/pagebuild.h"
#include "pickers/frmpickers.h"
#include "pickers/pickerregistry.h"
#include "platform/seams.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace quillor {

namespace {

const CreationLayout kCallHandlerLayout{
    "frmMakeNewCallHandler", "Get Call Handler", "tabMain", "Create New Handler", "Choose Existing Handler",
    "Search...", PickerKind::CallHandler, "CallHandlerObjectID", "Error!  No call handler selected!", 0};
const CreationLayout kDirectoryHandlerLayout{
    "frmMakeNewDirectoryHandler", "Get Directory Handler", "SSTab1", "Create New Directory Handler",
    "Choose Existing Directory Handler", "Search...", PickerKind::NameLookupHandler, "NameLookupHandlerObjectID",
    "Error!  No directory handler selected!", 0};
const CreationLayout kInterviewerLayout{
    "frmMakeNewInterviewer", "Get Interviewer", "tabInterviewer", "Create New", "Select Existing", "search...",
    PickerKind::InterviewHandler, "InterviewHandlerObjectID", "Error!  No interview handler selected!", 1};

// A failed read while loading is reported in the form's own error frame.
void reportLoadError(const platform::DbError &error, const char *form)
{
    reportError(error.number, error.description, QStringLiteral("Form_Load"), QStringLiteral("Form"),
                QString::fromLatin1(form));
}

QPushButton *templateButton(const QString &caption, const char *name)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

// --- call handlers -------------------------------------------------------------

frmMakeNewCallHandler::frmMakeNewCallHandler(AppContext &ctx, Pickers &pickers, QWidget *parent)
    : CreationDialog(ctx, kCallHandlerLayout, parent), m_pickers(pickers),
      cmdSelectCallHandler(templateButton(QStringLiteral("Search"), "cmdSelectCallHandler"))
{
    addTemplateFrame(QStringLiteral("Base new call handler on this one:"), cmdSelectCallHandler);
    connect(tabs(), &QTabWidget::currentChanged, this, &frmMakeNewCallHandler::tabMain_Click);
    connect(cmdSelectCallHandler, &QPushButton::clicked, this, &frmMakeNewCallHandler::cmdSelectCallHandler_Click);
}

bool frmMakeNewCallHandler::Form_Load()
{
    bCancel = true;
    strDisplayName.clear();
    setTemplate({}, {});
    // Only a handler of no subscriber can be a template.
    platform::DbError error;
    platform::Recordset rs = context().db().open(
        context().state().gConnectionString,
        QStringLiteral("SELECT CallHandlerObjectID, IsPrimary, TextName FROM vw_CallHandler WHERE IsPrimary = 0"), {},
        &error);
    if (!rs.isOpen()) {
        reportLoadError(error, "frmMakeNewCallHandler");
        return true;
    }
    // The template used last, while it exists; else the first one listed. With
    // none at all the boxes stay empty and Create says so.
    rs.MoveFirst();
    if (strTemplateObjectID.isEmpty()
        || !rs.Find(QStringLiteral("CallHandlerObjectID"),
                    [this](const QVariant &id) { return sameObjectId(id.toString(), strTemplateObjectID); }))
        rs.MoveFirst();
    if (!rs.isEOF()) {
        setTemplate(rs.text(QStringLiteral("TextName")), rs.text(QStringLiteral("CallHandlerObjectID")));
        strTemplateObjectID = txtHandlerTemplateObjectID->text();
    }
    return true;
}

void frmMakeNewCallHandler::cmdSelectCallHandler_Click()
{
    frmCallHandlerSearch &picker = m_pickers.callHandlerSearch();
    picker.exec();
    if (picker.bCancelHit)
        return;
    setTemplate(picker.strDisplayName, picker.strObjectID);
    strTemplateObjectID = picker.strObjectID;
}

void frmMakeNewCallHandler::cmdCreateHandler_Click()
{
    if (const auto created =
            createCallHandler(context(), {txtHandlerTemplateObjectID->text(), typedName(), typedExtension()}))
        handBack(*created);
}

// --- name lookup handlers ------------------------------------------------------

frmMakeNewDirectoryHandler::frmMakeNewDirectoryHandler(AppContext &ctx, QWidget *parent)
    : CreationDialog(ctx, kDirectoryHandlerLayout, parent)
{
    connect(tabs(), &QTabWidget::currentChanged, this, &frmMakeNewDirectoryHandler::SSTab1_Click);
}

bool frmMakeNewDirectoryHandler::Form_Load()
{
    // A new handler copies an existing one, and only existing ones can be chosen.
    platform::DbError error;
    const platform::Recordset rs =
        context().db().open(context().state().gConnectionString,
                            QStringLiteral("SELECT COUNT(*) AS Handlers FROM vw_NameLookupHandler"), {}, &error);
    if (!rs.isOpen()) {
        reportLoadError(error, "frmMakeNewDirectoryHandler");
        return false;
    }
    if (rs.field(QStringLiteral("Handlers")).toInt() < 1) {
        platform::msgBox(QStringLiteral("No directory handlers defined, system in illegal state!"));
        return false;
    }
    return true;
}

void frmMakeNewDirectoryHandler::cmdCreateHandler_Click()
{
    if (const auto created = createDirectoryHandler(context(), {QString(), typedName(), typedExtension()}))
        handBack(*created);
}

// --- interview handlers --------------------------------------------------------

frmMakeNewInterviewer::frmMakeNewInterviewer(AppContext &ctx, Pickers &pickers, QWidget *parent)
    : CreationDialog(ctx, kInterviewerLayout, parent), m_pickers(pickers),
      cmdSelectHandler(templateButton(QStringLiteral("search..."), "cmdSelectHandler"))
{
    addTemplateFrame(QStringLiteral("Base new interviewer on:"), cmdSelectHandler);
    connect(tabs(), &QTabWidget::currentChanged, this, &frmMakeNewInterviewer::tabInterviewer_Click);
    connect(cmdSelectHandler, &QPushButton::clicked, this, &frmMakeNewInterviewer::cmdSelectHandler_Click);
}

bool frmMakeNewInterviewer::Form_Load()
{
    platform::DbError error;
    platform::Recordset rs = context().db().open(
        context().state().gConnectionString,
        QStringLiteral("SELECT InterviewHandlerObjectID, TextName FROM vw_InterviewHandler WHERE Undeletable = 1"), {},
        &error);
    if (!rs.isOpen()) {
        reportLoadError(error, "frmMakeNewInterviewer");
        return false;
    }
    if (rs.RecordCount() < 1) {
        platform::msgBox(QStringLiteral("No interviewers defined, system in illegal state!"));
        return false;
    }
    rs.MoveFirst();
    setTemplate(rs.text(QStringLiteral("TextName")), rs.text(QStringLiteral("InterviewHandlerObjectID")));
    cmdSelectHandler->setEnabled(rs.RecordCount() >= 2);
    return true;
}

void frmMakeNewInterviewer::setQuestionPage(InterviewerPage *page)
{
    m_questionPage = page;
}

void frmMakeNewInterviewer::cmdSelectHandler_Click()
{
    frmInterviewerSearch &picker = m_pickers.interviewerSearch();
    picker.exec();
    if (picker.bCancelHit)
        return;
    setTemplate(picker.strDisplayName, picker.strObjectID);
}

void frmMakeNewInterviewer::cmdCreateHandler_Click()
{
    const auto created =
        createInterviewHandler(context(), {txtHandlerTemplateObjectID->text(), typedName(), typedExtension()});
    if (!created)
        return;
    if (m_questionPage)
        seedFirstQuestion(*m_questionPage, *created);
    // Only hidden: the next showing keeps the name, extension and template.
    handBack(*created, true);
}

void seedFirstQuestion(InterviewerPage &page, const CreatedHandler &created)
{
    // Another handler's questions (the template's, after Create Copy) stay as they are.
    if (page.shownObjectId().isEmpty() || !sameObjectId(page.shownObjectId(), created.objectId))
        return;
    const QString &alias = created.alias;
    QTableWidget *grid = page.gridInterviewQuestions;
    grid->setRowCount(0);
    grid->setRowCount(1);
    const auto set = [grid](int column, const QString &text) { grid->setItem(0, column, new QTableWidgetItem(text)); };
    set(0, QStringLiteral("New Question"));
    set(keyedColumn(grid, QStringLiteral("Question")), QStringLiteral("Question Text"));
    set(keyedColumn(grid, QStringLiteral("AnswerLimit")), QStringLiteral("30"));
    set(keyedColumn(grid, QStringLiteral("StreamPath")), newQuestionStreamName(alias, grid->rowCount()));
    grid->scrollToItem(grid->item(0, 1));
}

} // namespace quillor
