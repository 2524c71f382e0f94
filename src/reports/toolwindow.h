#pragma once
// The report and tool windows are modeless and exist once: the first request
// makes the window (owned by the main window, ending itself when closed, so
// that the next request makes it afresh), later ones bring it forward.

#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace quillor {

// The window in `slot`, made by `make` when there is none.
template <typename Window, typename Make> Window &toolWindow(QPointer<Window> &slot, Make make)
{
    if (!slot) {
        slot = make();
        slot->setAttribute(Qt::WA_DeleteOnClose);
    }
    return *slot;
}

// A button of `window` named `name` whose click runs `handler`.
template <typename Window>
QPushButton *makeButton(Window *window, const char *name, const QString &caption, void (Window::*handler)())
{
    auto *button = new QPushButton(caption, window);
    button->setObjectName(QString::fromLatin1(name));
    QObject::connect(button, &QPushButton::clicked, window, handler);
    return button;
}

// Shows a window beside the main window, in front.
inline void showModeless(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace quillor
