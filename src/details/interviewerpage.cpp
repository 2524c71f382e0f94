#include "details/interviewerpage.h"

#include "common/appcontext.h"
#include "common/objectid.h"
#include "details/controltag.h"
#include "details/pagebuild.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quillor {

using platform::msgBox;
using platform::Recordset;

namespace {
// Column 0 holds the question's number and has no key.
const QStringList kQuestionCaptions{QString(), QStringLiteral("Limit (sec)"), QStringLiteral("Question Text"),
                                    QStringLiteral("ObjectID"), QStringLiteral("StreamPath")};
const QStringList kQuestionKeys{QString(), QStringLiteral("AnswerLimit"), QStringLiteral("Question"),
                                QStringLiteral("ObjectID"), QStringLiteral("StreamPath")};
constexpr int kQuestionWidthsTwips[] = {285, 795, 1725, 960, 1305};
} // namespace

InterviewerPage::InterviewerPage(QWidget *parent) : DetailPage(parent)
{
    setObjectName(QStringLiteral("InterviewerPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    tabInterviewerInfo = named(new QTabWidget(this), QStringLiteral("tabInterviewerInfo"));
    tabInterviewerInfo->addTab(createProfilePage(), QStringLiteral("Profile"));
    tabInterviewerInfo->addTab(createQuestionsPage(), QStringLiteral("Questions"));
    layout->addWidget(tabInterviewerInfo);
}

QWidget *InterviewerPage::createProfilePage()
{
    QWidget *page = nullptr;
    QFormLayout *form = formPage(tabInterviewerInfo, QStringLiteral("pageInterviewerProfile"), &page);
    QWidget *content = form->parentWidget();
    const auto setButton = [content](const char *name) {
        return named(new QPushButton(QStringLiteral("Set"), content), QString::fromLatin1(name));
    };
    txtInterviewerAlias = readOnlyBox(content, QStringLiteral("txtInterviewerAlias"));
    txtInterviewerDisplayName = named(new platform::ValidatingLineEdit(content), QStringLiteral("txtInterviewerDisplayName"));
    txtInterviewerExtension = named(new platform::ValidatingLineEdit(content), QStringLiteral("txtInterviewerExtension"));
    txtInterviewerOwner = readOnlyBox(content, QStringLiteral("txtInterviewerOwner"));
    cmdInterviewerProfileSetOwner = setButton("cmdInterviewerProfileSetOwner");
    txtInterviewerRecipient = readOnlyBox(content, QStringLiteral("txtInterviewerRecipient"));
    cmdInterviewerProfileSetRecipient = setButton("cmdInterviewerProfileSetRecipient");
    cmbInterviewerLanguage = named(new QComboBox(content), QStringLiteral("cmbInterviewerLanguage"));
    txtInterviewerAfterMessageAction = readOnlyBox(content, QStringLiteral("txtInterviewerAfterMessageAction"));
    cmdInterviewerProfileChangeAfterMessageAction = setButton("cmdInterviewerProfileChangeAfterMessageAction");
    m_lock.lock({txtInterviewerDisplayName, txtInterviewerExtension, cmdInterviewerProfileSetOwner,
                 cmdInterviewerProfileSetRecipient, cmbInterviewerLanguage, cmdInterviewerProfileChangeAfterMessageAction});
    form->addRow(QStringLiteral("Alias"), txtInterviewerAlias);
    form->addRow(QStringLiteral("Display Name"), txtInterviewerDisplayName);
    form->addRow(QStringLiteral("Extension"), txtInterviewerExtension);
    form->addRow(QStringLiteral("Owner"), withButton(content, txtInterviewerOwner, cmdInterviewerProfileSetOwner));
    form->addRow(QStringLiteral("Recipient"), withButton(content, txtInterviewerRecipient, cmdInterviewerProfileSetRecipient));
    form->addRow(QStringLiteral("Language Callers Hear"), cmbInterviewerLanguage);
    form->addRow(QStringLiteral("After Message Action"),
                 withButton(content, txtInterviewerAfterMessageAction, cmdInterviewerProfileChangeAfterMessageAction));
    return page;
}

QWidget *InterviewerPage::createQuestionsPage()
{
    auto *page = pageQuestions = named(new QWidget, QStringLiteral("pageInterviewerQuestions"));
    auto *layout = new QVBoxLayout(page);
    gridInterviewQuestions = named(new QTableWidget(0, 0, page), QStringLiteral("gridInterviewQuestions"));
    setKeyedColumns(gridInterviewQuestions, kQuestionCaptions, kQuestionKeys);
    gridInterviewQuestions->verticalHeader()->hide();
    gridInterviewQuestions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridInterviewQuestions->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridInterviewQuestions->setSelectionMode(QAbstractItemView::SingleSelection);
    // The designed widths, but never narrower than a caption.
    const double twip = gridInterviewQuestions->logicalDpiX() / 1440.0;
    const QFontMetrics metrics = gridInterviewQuestions->horizontalHeader()->fontMetrics();
    for (int c = 0; c < gridInterviewQuestions->columnCount(); ++c)
        gridInterviewQuestions->setColumnWidth(c, std::max(int(kQuestionWidthsTwips[c] * twip + 0.5),
                                                           metrics.horizontalAdvance(kQuestionCaptions[c]) + 16));
    gridInterviewQuestions->horizontalHeader()->setStretchLastSection(true);
    gridInterviewQuestions->setColumnHidden(keyedColumn(gridInterviewQuestions, QStringLiteral("ObjectID")), true);
    gridInterviewQuestions->setColumnHidden(keyedColumn(gridInterviewQuestions, QStringLiteral("StreamPath")), true);
    connect(gridInterviewQuestions, &QTableWidget::currentCellChanged, this,
            &InterviewerPage::gridInterviewQuestions_RowColChange);
    layout->addWidget(gridInterviewQuestions, 1);

    auto *path = new QFormLayout;
    txtInterviewerQuestionStreamPath = readOnlyBox(page, QStringLiteral("txtInterviewerQuestionStreamPath"));
    path->addRow(QStringLiteral("WAV file:"), txtInterviewerQuestionStreamPath);
    layout->addLayout(path);

    auto *buttons = new QHBoxLayout;
    cmdInterviewQuestionsAdd = named(new QPushButton(QStringLiteral("Add"), page), QStringLiteral("cmdInterviewQuestionsAdd"));
    cmdInterviewQuestionsDelete =
        named(new QPushButton(QStringLiteral("Delete"), page), QStringLiteral("cmdInterviewQuestionsDelete"));
    cmdInterviewQuestionsMoveUp =
        named(new QPushButton(QStringLiteral("Move Up"), page), QStringLiteral("cmdInterviewQuestionsMoveUp"));
    cmdInterviewQuestionsMoveDown =
        named(new QPushButton(QStringLiteral("Move Down"), page), QStringLiteral("cmdInterviewQuestionsMoveDown"));
    for (QPushButton *button :
         {cmdInterviewQuestionsAdd, cmdInterviewQuestionsDelete, cmdInterviewQuestionsMoveUp, cmdInterviewQuestionsMoveDown})
        buttons->addWidget(button);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    // Questions are not edited here: the buttons have no action and are never released.
    m_lock.lock({cmdInterviewQuestionsAdd, cmdInterviewQuestionsDelete, cmdInterviewQuestionsMoveUp,
                 cmdInterviewQuestionsMoveDown});
    return page;
}

int InterviewerPage::questionCount() const { return gridInterviewQuestions->rowCount(); }

QString InterviewerPage::questionCell(int row, const QString &columnKey) const
{
    const QTableWidgetItem *cell = gridInterviewQuestions->item(row - 1, keyedColumn(gridInterviewQuestions, columnKey));
    return cell ? cell->text() : QString();
}

int InterviewerPage::currentQuestionRow() const { return gridInterviewQuestions->currentRow() + 1; }

void InterviewerPage::gridInterviewQuestions_RowColChange()
{
    txtInterviewerQuestionStreamPath->clear();
    const int row = currentQuestionRow();
    if (row >= 1)
        txtInterviewerQuestionStreamPath->setText(questionCell(row, QStringLiteral("StreamPath")));
}

void InterviewerPage::resetControls()
{
    for (QLineEdit *box : std::initializer_list<QLineEdit *>{
             txtInterviewerAlias, txtInterviewerDisplayName, txtInterviewerExtension, txtInterviewerOwner,
             txtInterviewerRecipient, txtInterviewerAfterMessageAction, txtInterviewerQuestionStreamPath}) {
        box->clear();
        setTag(box, QString());
    }
    clearComboSelection(cmbInterviewerLanguage);
    setTag(cmbInterviewerLanguage, QString());
    // No row left: the hidden question ids of the handler shown before are gone.
    gridInterviewQuestions->setRowCount(0);
    m_lock.setUsable(cmdInterviewQuestionsDelete, false);
}

bool InterviewerPage::load(AppContext &ctx, const QString &strObjectID, SelectedObject &selected)
{
    const PageLoad run(ctx, QStringLiteral("LoadTabInterviewer"));
    resetControls();
    m_shownObjectId.clear();
    pageQuestions->setEnabled(false);

    Recordset handler = run.open(QStringLiteral("SELECT * FROM vw_InterviewHandler WHERE InterviewHandlerObjectID=?"),
                                 {normalizedObjectId(strObjectID)});
    if (handler.isOpen() && handler.RecordCount() != 1)
        msgBox(QStringLiteral("Error in LoadTabInfo. could not find interviewer object id:") + strObjectID);
    if (handler.RecordCount() != 1) {
        showNotFound(tabInterviewerInfo, selected);
        return false;
    }
    tabInterviewerInfo->setEnabled(true);
    handler.MoveFirst();

    selected.ObjectType = 5;
    selected.Alias = handler.text(QStringLiteral("Alias"));
    selected.DisplayName = handler.text(QStringLiteral("TextName"));
    selected.ObjectID = strObjectID;
    m_shownObjectId = strObjectID;

    // Owner and recipient are looked up apart, so neither can show the other's name.
    const PageLoad::Owner owner = run.findOwner(handler, QStringLiteral("AdministratorObjectID"), 0);
    txtInterviewerOwner->setText(owner.name);
    setTag(txtInterviewerOwner, QString::number(owner.kind));
    const PageLoad::Owner recipient = run.findOwner(handler, QStringLiteral("RecipientObjectID"), 0);
    txtInterviewerRecipient->setText(recipient.name);
    setTag(txtInterviewerRecipient, QString::number(recipient.kind));

    emit titleChanged(handler.text(QStringLiteral("TextName")));
    txtInterviewerAlias->setText(handler.text(QStringLiteral("Alias")));
    txtInterviewerDisplayName->setText(handler.text(QStringLiteral("TextName")));
    setTag(txtInterviewerDisplayName, txtInterviewerDisplayName->text());
    txtInterviewerExtension->setText(handler.text(QStringLiteral("DTMFAccessID")));
    setTag(txtInterviewerExtension, txtInterviewerExtension->text());
    run.selectLanguage(cmbInterviewerLanguage, handler, QStringLiteral("Language"));
    setTag(cmbInterviewerLanguage, cmbInterviewerLanguage->currentText());
    run.lookUpDestinations({{handler, QStringLiteral("AfterMessageConversation"), QStringLiteral("AfterMessageAction"),
                             QStringLiteral("AfterMessageObjectID")}});
    txtInterviewerAfterMessageAction->setText(run.actionText(handler, QStringLiteral("AfterMessageConversation"),
                                                             QStringLiteral("AfterMessageAction"),
                                                             QStringLiteral("AfterMessageObjectID")));

    fillQuestions(run, handler.text(QStringLiteral("InterviewHandlerObjectID")));
    return true;
}

void InterviewerPage::fillQuestions(const PageLoad &run, const QString &handlerObjectId)
{
    Recordset questions = run.open(QStringLiteral("SELECT * FROM vw_InterviewQuestion WHERE ParentObjectID=?"),
                                   {normalizedObjectId(handlerObjectId)});
    if (!questions.isOpen())
        return;
    pageQuestions->setEnabled(true);
    // Numbered in the order of their aliases, whatever order the server returns them in.
    QList<int> order;
    for (int r = 0; r < questions.RecordCount(); ++r)
        order << r;
    const int alias = questions.fieldIndex(QStringLiteral("Alias"));
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return questions.value(a, alias).toString().compare(questions.value(b, alias).toString(), Qt::CaseInsensitive) < 0;
    });

    QTableWidget *grid = gridInterviewQuestions;
    grid->setUpdatesEnabled(false);
    grid->setRowCount(int(order.size()));
    for (int i = 0; i < order.size(); ++i) {
        questions.moveTo(order[i]);
        const auto set = [&](const QString &key, const QString &text) {
            const int column = key.isEmpty() ? 0 : keyedColumn(grid, key);
            grid->setItem(i, column, new QTableWidgetItem(text));
        };
        set(QString(), QStringLiteral(" %1").arg(i + 1));
        set(QStringLiteral("Question"), questions.text(QStringLiteral("StreamText")));
        set(QStringLiteral("ObjectID"), questions.text(QStringLiteral("InterviewQuestionObjectID")));
        const QString limit = questions.text(QStringLiteral("MaxMsgLength"));
        set(QStringLiteral("AnswerLimit"), limit.isEmpty() ? QStringLiteral("30") : limit);
        set(QStringLiteral("StreamPath"), questions.text(QStringLiteral("StreamPath")));
    }
    grid->setUpdatesEnabled(true);
    if (!order.isEmpty())
        grid->setCurrentCell(0, keyedColumn(grid, QStringLiteral("AnswerLimit")));
    // Shown also when the first question was already the current one.
    gridInterviewQuestions_RowColChange();
    m_lock.setUsable(cmdInterviewQuestionsDelete, order.size() >= 2);
}

} // namespace quillor
