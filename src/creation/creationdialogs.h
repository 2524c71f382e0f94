#pragma once
// The one instance of each creation dialog: created on first use as a child
// of the owning window and kept for the rest of the run, so that a template
// chosen (and an interview handler's inputs after a creation) are still
// there at the next use, whoever shows the dialog.

#include <QPointer>

class QWidget;

namespace quillor {

class AppContext;
class InterviewerPage;
class Pickers;
class frmMakeNewCallHandler;
class frmMakeNewDirectoryHandler;
class frmMakeNewInterviewer;

class CreationDialogs {
public:
    CreationDialogs(AppContext &ctx, Pickers &pickers, QWidget *owner);
    CreationDialogs(const CreationDialogs &) = delete;
    CreationDialogs &operator=(const CreationDialogs &) = delete;

    frmMakeNewCallHandler &callHandler();
    frmMakeNewDirectoryHandler &directoryHandler();
    frmMakeNewInterviewer &interviewer();

    // The page whose question grid shows a new interview handler's first question.
    void setQuestionPage(InterviewerPage *page);

private:
    AppContext &m_ctx;
    Pickers &m_pickers;
    QWidget *m_owner;
    QPointer<InterviewerPage> m_questionPage;
    QPointer<frmMakeNewCallHandler> m_callHandler;
    QPointer<frmMakeNewDirectoryHandler> m_directoryHandler;
    QPointer<frmMakeNewInterviewer> m_interviewer;
};

} // namespace quillor
