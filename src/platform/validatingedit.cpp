#include "platform/validatingedit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QDialog>
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
#include <QStyleHints>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace quillor::platform {

namespace {

const char *const kCancelButton = "quillorCancelButton";

bool isCancelButton(const QWidget *widget) { return widget && widget->property(kCancelButton).toBool(); }

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
// bar (a menu is not another control), or a place where a press does nothing,
// a disabled control (or one on a disabled page) among them.
bool leavesUnchecked(const QWidget *target)
{
    if (!target->isEnabled())
        return true;
    for (const QWidget *w = target; w; w = w->isWindow() ? nullptr : w->parentWidget())
        if (isCancelButton(w) || qobject_cast<const QMenuBar *>(w))
            return true;
    return isPassive(target);
}

QWidget *widgetOf(const QWindow *window)
{
    const QWidgetList tops = QApplication::topLevelWidgets();
    const auto found = std::find_if(tops.cbegin(), tops.cend(), [window](const QWidget *w) {
        return w->windowHandle() == window;
    });
    return found == tops.cend() ? nullptr : *found;
}

// Decides every mouse press of the program where its window first receives
// it, before Qt picks the control pressed and moves the focus: the box the
// press leaves is checked first, and a refusal that keeps the focus drops the
// press. One for the program.
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick
            && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove)
            return false;
        // What the user did, as the window gets it; the copies Qt hands the
        // controls follow the decision made here.
        if (!watched->isWindowType() || !event->spontaneous())
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        switch (type) {
        case QEvent::MouseButtonPress:
            return pressed(static_cast<QWindow *>(watched), mouse);
        case QEvent::MouseButtonDblClick:
            // Follows the press of the same click, kept or dropped with it.
            return m_swallowing && swallow(event);
        default: {
            // The moves and the release of a dropped press go with it. Its
            // release may never come (a message box took it): a move with no
            // button down ends the press all the same.
            const bool drop = m_swallowing && (type == QEvent::MouseButtonRelease || mouse->buttons() != Qt::NoButton);
            if (mouse->buttons() == Qt::NoButton)
                m_swallowing = false;
            return drop && swallow(event);
        }
        }
    }

private:
    explicit PressGuard(QObject *parent) : QObject(parent) {}

    static bool swallow(QEvent *event)
    {
        event->accept();
        return true;
    }

    bool pressed(QWindow *window, QMouseEvent *press)
    {
        // The second press of a double click whose first was dropped goes too.
        const auto hints = QGuiApplication::styleHints();
        const QPointF moved = press->globalPosition() - m_dropped.where;
        m_swallowing = m_dropped.button == press->button() && m_dropped.window == window
                       && press->timestamp() - m_dropped.time < quint64(hints->mouseDoubleClickInterval())
                       && moved.manhattanLength() <= hints->mouseDoubleClickDistance();
        m_dropped = {};
        if (m_swallowing)
            return swallow(press);

        // A press in a popup (or one that closes it) reaches the popup; a
        // grabber gets every press.
        QWidget *top = widgetOf(window);
        if (!top || QApplication::activePopupWidget() || QWidget::mouseGrabber())
            return false;
        // The window's own focus widget: while the window is inactive the
        // application has none, and the press may activate the window
        // without moving the focus out of the box.
        auto *box = qobject_cast<ValidatingLineEdit *>(top->focusWidget());
        if (!box || !box->holdsEdit() || !box->isVisible() || !box->isEnabled() || box->isReadOnly())
            return false;
        QWidget *target = top->childAt(press->position().toPoint());
        if (!target)
            target = top;
        if (target == box || box->isAncestorOf(target) || leavesUnchecked(target))
            return false;

        // What the press says, kept before the check: the event's point is
        // shared with the device's, which the events of a message box move.
        const QPointF local = press->position();
        const QPointF scene = press->scenePosition();
        const QPointF global = press->globalPosition();
        const Qt::MouseButton button = press->button();
        const Qt::MouseButtons buttons = press->buttons();
        const Qt::KeyboardModifiers modifiers = press->modifiers();
        const QPointingDevice *device = press->pointingDevice();
        const quint64 time = press->timestamp();
        const QPointer<QWindow> alive(window);
        if (!box->validate()) {
            m_dropped = {alive, button, time, global};
            m_swallowing = true;
            return swallow(press);
        }
        // Accepted, or refused without keeping the focus: the press goes on,
        // as it was made (a message box may have moved the event's point).
        if (!alive)
            return swallow(press);
        const bool released = !(QGuiApplication::mouseButtons() & button);
        QMouseEvent again(QEvent::MouseButtonPress, local, scene, global, button, buttons, modifiers, device);
        again.setTimestamp(time);
        static_cast<QObject *>(window)->event(&again);
        // When the check's message took the release, the press has acted all
        // the same (a row loads, a tab turns, a list opens); what acts on its
        // release (a button, a check box) is let go away from it, so it is
        // not clicked and not left drawn pressed.
        if (released && alive && !QApplication::activePopupWidget()) {
            const QPointF away(-100000, -100000);
            QMouseEvent release(QEvent::MouseButtonRelease, away, away, window->mapToGlobal(away), button,
                                Qt::NoButton, modifiers, device);
            static_cast<QObject *>(window)->event(&release);
        }
        press->setAccepted(again.isAccepted());
        return true;
    }

    struct Dropped {
        QPointer<QWindow> window;
        Qt::MouseButton button = Qt::NoButton;
        quint64 time = 0;
        QPointF where;
    };
    Dropped m_dropped; // the last press dropped, for the double click it may start
    bool m_swallowing = false;
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
    if (event->reason() == Qt::MouseFocusReason && isCancelButton(window()->focusWidget()))
        return;
    if (validate())
        return;
    // The move (a Tab, a wheel over another control) has finished by the
    // time this runs.
    QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
}

void ValidatingLineEdit::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Ctrl+Tab turns the page of the tab control the box lies on, which
    // hides the box: checked first, as a press on the tab is.
    const bool turnsPage = (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
                           && event->modifiers().testFlag(Qt::ControlModifier);
    if (((enter && entersDefaultButton(this)) || turnsPage) && m_holdsEdit && !validate()) {
        event->accept(); // the key does nothing
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
