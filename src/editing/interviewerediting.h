#pragma once
// The field handlers of the "Interviewer" page that write the interview
// handler's own rows: its display name, its extension and its language.

#include <QObject>

namespace quillor {

class ControlMemory;
class EditingHost;
class InterviewerPage;

class InterviewerEditing : public QObject {
    Q_OBJECT
public:
    InterviewerEditing(EditingHost &host, InterviewerPage &page, QObject *parent = nullptr);

    void txtInterviewerDisplayName_Validate(bool *cancel);
    void txtInterviewerExtension_Validate(bool *cancel);
    void cmbInterviewerLanguage_Click();

private:
    EditingHost &m_host;
    InterviewerPage &m_page;
    ControlMemory *m_memory;
};

} // namespace quillor
