#pragma once
// Who and where the program runs: the computer name (connection string, web
// administration address), the workstation's domain and the user (log header).

#include "platform/identity.h"

#include <QString>
#include <functional>

namespace quillor {

class WorkStationInfo {
public:
    using Provider = std::function<platform::SystemIdentity()>;
    // Reads the identity through `provider` (the operating system by default).
    explicit WorkStationInfo(Provider provider = {});

    QString ComputerName() const { return m_computerName; }
    QString Domain() const { return m_domain; }
    QString LanRoot() const { return m_lanRoot; }
    int LoggedOnUsers() const { return m_loggedOnUsers; }
    int PlatformId() const { return m_platformId; }
    int VerMajor() const { return m_verMajor; }
    int VerMinor() const { return m_verMinor; }
    QString LogonDomain() const { return m_logonDomain; }
    QString LogonServer() const { return m_logonServer; }
    QString OtherDomains() const { return m_otherDomains; }
    QString UserName() const { return m_userName; }

    void Refresh();

private:
    Provider m_provider;
    QString m_computerName, m_domain, m_lanRoot, m_logonDomain, m_logonServer, m_otherDomains, m_userName;
    int m_loggedOnUsers = 0, m_platformId = 0, m_verMajor = 0, m_verMinor = 0;
};

} // namespace quillor
