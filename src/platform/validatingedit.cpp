#include "platform/validatingedit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace quillor::platform {

namespace {

const char *const kCancelButton = "quillorCancelButton";

bool isCancelButton(const QWidget *widget)
{
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    if (!button)
        return false;
    if (button->property(kCancelButton).toBool())
        return true;
    const auto *box = qobject_cast<const QDialogButtonBox *>(button->parentWidget());
    return box && box->buttonRole(const_cast<QAbstractButton *>(button)) == QDialogButtonBox::RejectRole;
}

// A press that cannot act: a label, a frame, the empty part of a page (but
// not the viewport of a list or a grid, where the rows are).
bool isPassive(const QWidget *widget)
{
    const QMetaObject *type = widget->metaObject();
    if (type == &QWidget::staticMetaObject || type == &QFrame::staticMetaObject) {
        const auto *area = qobject_cast<const QAbstractScrollArea *>(widget->parentWidget());
        return !area || area->viewport() != widget;
    }
    if (const auto *group = qobject_cast<const QGroupBox *>(widget))
        return !group->isCheckable();
    return qobject_cast<const QLabel *>(widget) || qobject_cast<const QStackedWidget *>(widget)
           || qobject_cast<const QStatusBar *>(widget);
}

// Pressing `target` leaves a box without its check: a Cancel button, the menu
// bar (a menu is not another control), or a place where a press does nothing.
bool leavesUnchecked(const QWidget *target)
{
    if (!target)
        return false;
    for (const QWidget *w = target; w; w = w->isWindow() ? nullptr : w->parentWidget())
        if (isCancelButton(w) || qobject_cast<const QMenuBar *>(w))
            return true;
    return isPassive(target);
}

// Sees every mouse press of the program before the control pressed acts on
// it, so that the box being left is checked first and a refusal that keeps
// the focus can drop the press. One for the program.
class PressGuard : public QObject {
public:
    static PressGuard &instance()
    {
        static QPointer<PressGuard> guard;
        if (!guard) {
            guard = new PressGuard(qApp);
            qApp->installEventFilter(guard);
        }
        return *guard;
    }

    // The press that moved the focus out of `box` (it arrives once the focus
    // has moved) was checked: refused, it is dropped and the box takes its
    // focus back.
    void pressChecked(ValidatingLineEdit *box, bool accepted)
    {
        m_checkedBy = box;
        m_accepted = accepted;
        // A focus moved by code with a mouse reason has no press to follow.
        QTimer::singleShot(0, this, [this] { m_checkedBy = nullptr; });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick
            && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove)
            return false;
        // Only what the user did, delivered to a control; the window's own
        // copy of a press comes before it and is passed over.
        if (!watched->isWidgetType() || !event->spontaneous())
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            // The copies a press that was not taken passes on to the parents
            // follow the decision made for the press itself.
            if (type == m_lastType && mouse->timestamp() == m_lastTime)
                return drop(event);
            m_lastType = type;
            m_lastTime = mouse->timestamp();
            // The second press of a double click whose first was dropped goes too.
            if (!(type == QEvent::MouseButtonDblClick && m_swallowing))
                m_swallowing = refused(static_cast<QWidget *>(watched), mouse->button());
            return drop(event);
        }
        // The release and the moves of a dropped press go with it.
        if (!m_swallowing)
            return false;
        if (type == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton)
            m_swallowing = false;
        event->accept();
        return true;
    }

private:
    explicit PressGuard(QObject *parent) : QObject(parent) {}

    bool drop(QEvent *event) const
    {
        if (m_swallowing)
            event->accept();
        return m_swallowing;
    }

    // True when the press of `button` on `target` must not act.
    bool refused(QWidget *target, Qt::MouseButton button)
    {
        bool checked = false;
        if (ValidatingLineEdit *box = std::exchange(m_checkedBy, nullptr); box && box->window() == target->window()) {
            if (!m_accepted) {
                box->setFocus(Qt::OtherFocusReason);
                return true;
            }
            checked = true;
        } else if (auto *focused = qobject_cast<ValidatingLineEdit *>(QApplication::focusWidget());
                   focused && focused->holdsEdit() && focused->window() == target->window() && focused != target
                   && !focused->isAncestorOf(target) && !leavesUnchecked(target)) {
            // A press on a control that takes no focus leaves the focus in the box.
            if (!focused->validate())
                return true;
            checked = true;
        }
        // The user let go of the button while the check's message was shown:
        // that click is over, and its press acts on nothing.
        return checked && !(QGuiApplication::mouseButtons() & button);
    }

    QPointer<ValidatingLineEdit> m_checkedBy;
    bool m_accepted = false;
    bool m_swallowing = false;
    QEvent::Type m_lastType = QEvent::None;
    quint64 m_lastTime = 0;
};

// Enter in `box` presses a default button of its dialog.
bool entersDefaultButton(const QWidget *box)
{
    const auto *dialog = qobject_cast<const QDialog *>(box->window());
    if (!dialog)
        return false;
    const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
    return std::any_of(buttons.cbegin(), buttons.cend(), [dialog](const QPushButton *b) {
        return b->isDefault() && b->isVisible() && b->isEnabled() && b->window() == dialog;
    });
}

} // namespace

ValidatingLineEdit::ValidatingLineEdit(QWidget *parent) : QLineEdit(parent) { init(); }

ValidatingLineEdit::ValidatingLineEdit(const QString &text, QWidget *parent) : QLineEdit(text, parent) { init(); }

void ValidatingLineEdit::init()
{
    PressGuard::instance();
    // A key typed emits textEdited just before textChanged; text a program
    // puts in emits textChanged alone.
    connect(this, &QLineEdit::textEdited, this, [this] { m_typed = true; });
    connect(this, &QLineEdit::textChanged, this, [this] {
        m_holdsEdit = std::exchange(m_typed, false);
        m_checked = false;
    });
}

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
    // A refusal that keeps the focus leaves an edit to be checked again.
    m_holdsEdit = cancel;
    m_checked = !cancel;
    return !cancel;
}

bool ValidatingLineEdit::settle()
{
    if (m_validating || !m_holdsEdit)
        return true;
    return validate();
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
    // Checked just before the press or the key that leaves it: once is enough.
    if (std::exchange(m_checked, false) || m_validating || !isEnabled() || isReadOnly())
        return;
    const bool byMouse = event->reason() == Qt::MouseFocusReason;
    if (byMouse && isCancelButton(QApplication::focusWidget()))
        return;
    const bool accepted = validate();
    // The press that moved the focus has not acted yet: refused, it is
    // dropped and the box takes the focus back.
    if (byMouse)
        PressGuard::instance().pressChecked(this, accepted);
    if (accepted)
        return;
    // Any other move has finished by the time this runs.
    QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
}

void ValidatingLineEdit::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && m_holdsEdit && entersDefaultButton(this) && !validate()) {
        event->accept(); // the default button is not pressed
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void markAsCancelButton(QAbstractButton *button) { button->setProperty(kCancelButton, true); }

QString checkedText(ValidatingLineEdit *box)
{
    box->settle();
    return box->text();
}

} // namespace quillor::platform
