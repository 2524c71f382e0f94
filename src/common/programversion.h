#pragma once
#include <QCoreApplication>
#include <QVersionNumber>

namespace quillor {

// The running program's version; the build's own numbers when the application
// set none (tests, tools).
inline QVersionNumber programVersion()
{
    const QVersionNumber v = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    if (!v.isNull())
        return v;
    return QVersionNumber(QUILLOR_VERSION_MAJOR, QUILLOR_VERSION_MINOR, QUILLOR_VERSION_PATCH);
}

} // namespace quillor
