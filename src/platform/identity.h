#pragma once
#include <QString>

namespace quillor::platform {

// What the operating system tells about this machine and its user.
struct SystemIdentity {
    bool available = false;
    QString computerName;  // host name without its domain, case kept
    QString domain;        // DNS domain of the host, "" when none
    QString userName;
    int loggedOnUsers = 0;
    int osMajor = 0;
    int osMinor = 0;
};

SystemIdentity readSystemIdentity();

// A new GUID in registry form: braces, upper-case hexadecimal, 38 characters.
QString newGuidText();

} // namespace quillor::platform
