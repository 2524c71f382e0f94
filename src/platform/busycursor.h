#pragma once
// The hourglass pointer for as long as the guard lives, restored on every way
// out of the scope. Without a GUI application (tests without widgets, the
// benchmark's model runs) there is no pointer to change. Guards nest: only the
// outermost changes the pointer, since each change is a round trip to the
// display server and a walk over the tree opens its rows by the thousand,
// each under a guard of its own.

#include <QCursor>
#include <QGuiApplication>

namespace quillor::platform {

class BusyCursor {
public:
    BusyCursor() : m_on(s_depth++ == 0 && qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_on)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        --s_depth;
        if (m_on)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    static inline int s_depth = 0; // guards alive (GUI thread only)
    bool m_on;
};

} // namespace quillor::platform
