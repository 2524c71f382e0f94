#include "creation/creationdialogs.h"

#include "creation/frmmakenew.h"
#include "details/interviewerpage.h"

namespace quillor {

CreationDialogs::CreationDialogs(AppContext &ctx, Pickers &pickers, QWidget *owner)
    : m_ctx(ctx), m_pickers(pickers), m_owner(owner)
{
}

// Each dialog is owned by the window.
frmMakeNewCallHandler &CreationDialogs::callHandler()
{
    if (!m_callHandler)
        m_callHandler = new frmMakeNewCallHandler(m_ctx, m_pickers, m_owner);
    return *m_callHandler;
}

frmMakeNewDirectoryHandler &CreationDialogs::directoryHandler()
{
    if (!m_directoryHandler)
        m_directoryHandler = new frmMakeNewDirectoryHandler(m_ctx, m_owner);
    return *m_directoryHandler;
}

frmMakeNewInterviewer &CreationDialogs::interviewer()
{
    if (!m_interviewer) {
        m_interviewer = new frmMakeNewInterviewer(m_ctx, m_pickers, m_owner);
        m_interviewer->setQuestionPage(m_questionPage);
    }
    return *m_interviewer;
}

void CreationDialogs::setQuestionPage(InterviewerPage *page)
{
    m_questionPage = page;
    if (m_interviewer)
        m_interviewer->setQuestionPage(page);
}

} // namespace quillor
