#include "platform/validatingedit.h"

#include <QFocusEvent>
#include <QTimer>

namespace quillor::platform {

ValidatingLineEdit::ValidatingLineEdit(QWidget *parent) : QLineEdit(parent) {}

ValidatingLineEdit::ValidatingLineEdit(const QString &text, QWidget *parent) : QLineEdit(text, parent) {}

bool ValidatingLineEdit::validate()
{
    // A handler's own message box moves the focus away and back; those moves
    // must not check the box a second time while the first check runs.
    if (m_validating)
        return true;
    m_validating = true;
    bool cancel = false;
    emit validating(&cancel);
    m_validating = false;
    return !cancel;
}

void ValidatingLineEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    switch (event->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return; // the focus left the window, not the box
    default:
        break;
    }
    if (m_validating || !isEnabled() || isReadOnly())
        return;
    if (!validate())
        // The focus is already on its way to the next control; take it back
        // once that move has finished.
        QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
}

} // namespace quillor::platform
