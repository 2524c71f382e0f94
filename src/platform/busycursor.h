#pragma once
// The hourglass pointer for as long as the guard lives, restored on every way
// out of the scope. Without a GUI application (tests without widgets, the
// benchmark's model runs) there is no pointer to change.

#include <QCursor>
#include <QGuiApplication>

namespace quillor::platform {

class BusyCursor {
public:
    BusyCursor() : m_on(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_on)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (m_on)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_on;
};

} // namespace quillor::platform
