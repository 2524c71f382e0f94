#include "platform/wheelguard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QWheelEvent>

namespace quillor::platform {

namespace {

// A control whose value the wheel changes. A scroll bar is a slider too, but
// scrolling is what the wheel is for.
bool takesWheelAsValue(const QWidget *w)
{
    return qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QComboBox *>(w) ||
           (qobject_cast<const QAbstractSlider *>(w) && !qobject_cast<const QScrollBar *>(w));
}

// Hands `wheel` up the control's parents, as Qt hands on a wheel a widget did
// not take, until one takes it (the scroll area's viewport) or the window is
// reached. Done here rather than by ignoring the event, since Qt hands on only
// the wheel the window system sent.
void passOn(QWidget *control, QWheelEvent *wheel)
{
    for (QWidget *w = control; !w->isWindow() && !w->testAttribute(Qt::WA_NoMousePropagation);) {
        w = w->parentWidget();
        if (!w)
            break;
        QWheelEvent copy(w->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(), wheel->pixelDelta(),
                         wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(), wheel->inverted(),
                         wheel->source(), wheel->pointingDevice());
        QCoreApplication::sendEvent(w, &copy);
        if (copy.isAccepted())
            break;
    }
    wheel->accept();
}

class WheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto *control = static_cast<QWidget *>(watched);
        if (control->hasFocus())
            return false;
        passOn(control, static_cast<QWheelEvent *>(event));
        return true;
    }
};

class PagePin : public QObject {
public:
    // The bar is kept apart: the filter still sees events while the tab
    // control is being destroyed, when it must not be asked for anything.
    explicit PagePin(QTabWidget *tabs) : QObject(tabs), m_tabs(tabs), m_bar(tabs->tabBar()) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Wheel && type != QEvent::KeyPress)
            return false;
        const bool onBar = watched == m_bar;
        if (onBar && type == QEvent::Wheel)
            return dropped(event);
        if (type != QEvent::KeyPress)
            return false;
        const auto *press = static_cast<QKeyEvent *>(event);
        const int key = press->key();
        if (onBar && (key == Qt::Key_Left || key == Qt::Key_Right))
            return dropped(event);
        // What reaches the tab control itself: no control of its page took it.
        if (watched == m_tabs && (key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
            press->modifiers().testFlag(Qt::ControlModifier))
            return dropped(event);
        return false;
    }

private:
    static bool dropped(QEvent *event)
    {
        event->accept();
        return true;
    }

    const QObject *m_tabs;
    const QObject *m_bar;
};

} // namespace

void guardWheel(QWidget *root)
{
    auto *guard = new WheelGuard(root);
    for (QWidget *control : root->findChildren<QWidget *>()) {
        if (!takesWheelAsValue(control))
            continue;
        control->installEventFilter(guard);
        // A wheel that gave the focus would make the next turn of it count.
        if (control->focusPolicy() == Qt::WheelFocus)
            control->setFocusPolicy(Qt::StrongFocus);
    }
}

void pinCurrentPage(QTabWidget *tabs)
{
    auto *pin = new PagePin(tabs);
    tabs->installEventFilter(pin);
    tabs->tabBar()->installEventFilter(pin);
}

} // namespace quillor::platform
