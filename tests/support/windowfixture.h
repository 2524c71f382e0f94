#pragma once
// The real main window on a fresh sample server, brought up as at start-up
// and shown offscreen, for the tests that drive its widgets.

#include "fakes.h"
#include "mainwindow/frmmain.h"
#include "testserver.h"

#include <QApplication>
#include <QLayout>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <memory>

namespace quillor::test {

// Closes the popup menus and modal dialogs still open, so that one failed
// test cannot leave a box that blocks the rest.
inline void closeOpenDialogs()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    while (QWidget *modal = QApplication::activeModalWidget())
        modal->close();
}

// Brings `control` to the front as a user does before using it: every tab
// page it lies on is shown and made current, and the window is laid out from
// the top down, so that a click lands where the control is shown.
inline void reveal(QWidget *control)
{
    QList<QWidget *> ancestors;
    for (QWidget *w = control; w; w = w->parentWidget()) {
        ancestors.prepend(w);
        QWidget *stack = w->parentWidget();
        auto *tabs = qobject_cast<QTabWidget *>(stack ? stack->parentWidget() : nullptr);
        if (const int page = tabs ? tabs->indexOf(w) : -1; page >= 0) {
            tabs->setTabVisible(page, true);
            tabs->setCurrentIndex(page);
        }
    }
    for (QWidget *w : std::as_const(ancestors))
        if (w->layout())
            w->layout()->activate();
}

// Turns the mouse wheel by `notches` (negative: towards the user, scrolling
// down) over the middle of `control` as the window system does: to the widget
// under the pointer, handed on to its parents while none takes it, and giving
// the focus to a control that takes it by the wheel.
inline void turnWheel(QWidget *control, int notches)
{
    const QPoint middle = control->rect().center();
    QWidget *target = control->childAt(middle);
    if (!target)
        target = control;
    const QPointF local = target->mapFrom(control, QPointF(middle));
    QWheelEvent wheel(local, target->mapToGlobal(local), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::instance()->notify(target, &wheel);
}

struct MainWindowFixture {
    std::unique_ptr<FakeSeams> seams;
    std::unique_ptr<TestServer> server;
    std::unique_ptr<frmMain> window;

    // False when the server or the window could not be brought up. With
    // `activate` the window also becomes the active one, as for typing.
    bool start(bool activate = false)
    {
        seams = std::make_unique<FakeSeams>();
        server = std::make_unique<TestServer>();
        if (!server->ok())
            return false;
        window = std::make_unique<frmMain>(server->ctx());
        if (!window->Form_Load())
            return false;
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return false;
        if (activate)
            QApplication::setActiveWindow(window.get());
        return !activate || QTest::qWaitForWindowActive(window.get());
    }

    void stop()
    {
        closeOpenDialogs();
        window.reset();
        server.reset();
        seams.reset();
    }
};

// The captions of the pages a tab control shows.
inline QStringList visiblePages(const QTabWidget *tabs)
{
    QStringList pages;
    for (int i = 0; tabs && i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            pages << tabs->tabText(i);
    return pages;
}

} // namespace quillor::test
