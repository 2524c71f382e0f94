#pragma once
// The three creation dialogs: a call handler copied from a template, a name
// lookup handler copied from the first one the server lists, an interview
// handler copied from a template; each can also hand back an existing one.

#include "creation/creationdialog.h"

#include <QPointer>

class QPushButton;

namespace quillor {

class InterviewerPage;
class Pickers;

class frmMakeNewCallHandler : public CreationDialog {
    Q_OBJECT
public:
    frmMakeNewCallHandler(AppContext &ctx, Pickers &pickers, QWidget *parent = nullptr);

    // The template last preselected or picked, preselected again at the next load.
    QString strTemplateObjectID;

    void tabMain_Click() { tab_Click(); }
    void cmdSelectCallHandler_Click();
    void cmdCreateHandler_Click() override;

protected:
    bool Form_Load() override;

private:
    Pickers &m_pickers;
    QPushButton *cmdSelectCallHandler;
};

class frmMakeNewDirectoryHandler : public CreationDialog {
    Q_OBJECT
public:
    frmMakeNewDirectoryHandler(AppContext &ctx, QWidget *parent = nullptr);

    void SSTab1_Click() { tab_Click(); }
    void cmdCreateHandler_Click() override;

protected:
    bool Form_Load() override;
};

class frmMakeNewInterviewer : public CreationDialog {
    Q_OBJECT
public:
    frmMakeNewInterviewer(AppContext &ctx, Pickers &pickers, QWidget *parent = nullptr);

    // The page whose question grid a new handler's first question is shown in.
    void setQuestionPage(InterviewerPage *page);

    void tabInterviewer_Click() { tab_Click(); }
    void cmdSelectHandler_Click();
    void cmdCreateHandler_Click() override;

protected:
    bool Form_Load() override;

private:
    Pickers &m_pickers;
    QPushButton *cmdSelectHandler;
    QPointer<InterviewerPage> m_questionPage;
};

// Shows the first question of the new interview handler `created` in `page`'s
// question grid, in place of what it held, when the page shows that handler;
// a page showing another handler keeps its questions. Nothing is written.
void seedFirstQuestion(InterviewerPage &page, const CreatedHandler &created);

} // namespace quillor
