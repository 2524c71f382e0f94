#pragma once
// The "Interviewer" page of the detail pane: the profile of one interview
// handler and its questions. The question grid has a header row 0 and one
// row per question from row 1, in the order of the questions' aliases; its
// columns are found by their keys ("AnswerLimit", "Question", and the hidden
// "ObjectID" and "StreamPath"). Nothing on the page changes the questions.

#include "details/detailpage.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace quillor {

namespace platform {
class ValidatingLineEdit;
}

class AppContext;

class InterviewerPage : public DetailPage {
    Q_OBJECT
public:
    explicit InterviewerPage(QWidget *parent = nullptr);

    // Fills the page with one interview handler and makes it the shown
    // object. False when it was not found: the page is then emptied and
    // disabled and nothing is shown.
    bool load(AppContext &ctx, const QString &strObjectID, SelectedObject &selected);

    // The number of questions shown, and the cell of question row `row`
    // (1 = the first question) in the column keyed `columnKey`.
    int questionCount() const;
    QString questionCell(int row, const QString &columnKey) const;
    // The question row selected, 0 when none is.
    int currentQuestionRow() const;
    // The interview handler the page holds; empty when it holds none.
    const QString &shownObjectId() const { return m_shownObjectId; }

    // Shows the selected question's recording path below the grid.
    void gridInterviewQuestions_RowColChange();

    QTabWidget *tabInterviewerInfo = nullptr;

    // Profile
    QLineEdit *txtInterviewerAlias = nullptr;
    platform::ValidatingLineEdit *txtInterviewerDisplayName = nullptr;
    platform::ValidatingLineEdit *txtInterviewerExtension = nullptr;
    QLineEdit *txtInterviewerOwner = nullptr;
    QPushButton *cmdInterviewerProfileSetOwner = nullptr;
    QLineEdit *txtInterviewerRecipient = nullptr;
    QPushButton *cmdInterviewerProfileSetRecipient = nullptr;
    QComboBox *cmbInterviewerLanguage = nullptr;
    QLineEdit *txtInterviewerAfterMessageAction = nullptr;
    QPushButton *cmdInterviewerProfileChangeAfterMessageAction = nullptr;

    // Questions
    QWidget *pageQuestions = nullptr;
    QTableWidget *gridInterviewQuestions = nullptr;
    QLineEdit *txtInterviewerQuestionStreamPath = nullptr;
    // No action of their own: they stay disabled.
    QPushButton *cmdInterviewQuestionsAdd = nullptr;
    QPushButton *cmdInterviewQuestionsDelete = nullptr;
    QPushButton *cmdInterviewQuestionsMoveUp = nullptr;
    QPushButton *cmdInterviewQuestionsMoveDown = nullptr;

private:
    QString m_shownObjectId;
    QWidget *createProfilePage();
    QWidget *createQuestionsPage();
    void resetControls();
    void fillQuestions(const PageLoad &run, const QString &handlerObjectId);
};

} // namespace quillor
