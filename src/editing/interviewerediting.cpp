#include "editing/interviewerediting.h"

#include "details/editlock.h"
#include "details/interviewerpage.h"
#include "editing/fieldwrite.h"
#include "editing/profilefields.h"
#include "platform/validatingedit.h"

#include <QComboBox>

namespace quillor {

InterviewerEditing::InterviewerEditing(EditingHost &host, InterviewerPage &page, QObject *parent)
    : QObject(parent), m_host(host), m_page(page), m_memory(new ControlMemory(this))
{
    for (QWidget *control : {static_cast<QWidget *>(page.txtInterviewerDisplayName),
                             static_cast<QWidget *>(page.txtInterviewerExtension),
                             static_cast<QWidget *>(page.cmbInterviewerLanguage)})
        page.editLock().release(control);
    m_memory->watch(page.cmbInterviewerLanguage);
    connect(page.txtInterviewerDisplayName, &platform::ValidatingLineEdit::validating, this,
            &InterviewerEditing::txtInterviewerDisplayName_Validate);
    connect(page.txtInterviewerExtension, &platform::ValidatingLineEdit::validating, this,
            &InterviewerEditing::txtInterviewerExtension_Validate);
    connect(page.cmbInterviewerLanguage, &QComboBox::activated, this, &InterviewerEditing::cmbInterviewerLanguage_Click);
}

void InterviewerEditing::txtInterviewerDisplayName_Validate(bool *)
{
    validateInterviewerDisplayName(m_host, m_page.txtInterviewerDisplayName);
}

void InterviewerEditing::txtInterviewerExtension_Validate(bool *)
{
    validateInterviewerExtension(m_host, m_page.txtInterviewerExtension);
}

void InterviewerEditing::cmbInterviewerLanguage_Click()
{
    if (writeInterviewerLanguage(m_host, m_page.cmbInterviewerLanguage) == EditResult::NotWritten)
        m_memory->restore(m_page.cmbInterviewerLanguage);
}

} // namespace quillor
