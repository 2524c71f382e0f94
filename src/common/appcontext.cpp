#include "common/appcontext.h"

namespace quillor {

AppContext::AppContext(std::shared_ptr<platform::ProcedureCatalogue> standInProcedures,
                       WorkStationInfo::Provider identity)
    : m_standIn(std::move(standInProcedures)), m_identity(std::move(identity)),
      m_db(std::make_unique<platform::Database>(platform::ServerProfile{}, m_standIn))
{
}

AppContext::~AppContext() = default;

bool AppContext::loadRegistry(const QString &path, QString *error)
{
    const bool ok = m_registry.loadFile(path, error);
    m_db = std::make_unique<platform::Database>(platform::ServerProfile::fromRegistry(m_registry), m_standIn);
    return ok;
}

WorkStationInfo &AppContext::workstation()
{
    if (!m_workstation)
        m_workstation = std::make_unique<WorkStationInfo>(m_identity);
    return *m_workstation;
}

} // namespace quillor
