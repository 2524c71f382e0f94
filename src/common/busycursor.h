#pragma once
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace quillor {

// The hourglass while a long operation runs; nothing to show without a GUI application.
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

} // namespace quillor
