#include "common/workstationinfo.h"

namespace quillor {

namespace {
// The platform id the workstation query reports for the family the program runs on.
constexpr int kPlatformIdThisFamily = 500;
} // namespace

WorkStationInfo::WorkStationInfo(Provider provider)
    : m_provider(provider ? std::move(provider) : Provider(&platform::readSystemIdentity))
{
    Refresh();
}

void WorkStationInfo::Refresh()
{
    const platform::SystemIdentity id = m_provider();
    // A failed query leaves the fields as they were.
    if (!id.available)
        return;
    m_computerName = id.computerName;
    m_domain = id.domain;
    m_logonDomain = id.domain;
    m_userName = id.userName;
    m_loggedOnUsers = id.loggedOnUsers;
    m_verMajor = id.osMajor;
    m_verMinor = id.osMinor;
    m_platformId = kPlatformIdThisFamily;
}

} // namespace quillor
