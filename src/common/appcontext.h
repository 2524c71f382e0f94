#pragma once
// What every part of the program works with: the server profile (registry
// export), the databases it names, the log file, the workstation identity and
// the shared state. The main window owns one; tests build their own.

#include "common/appstate.h"
#include "common/logging.h"
#include "common/workstationinfo.h"
#include "platform/database.h"
#include "platform/registry.h"

#include <functional>
#include <memory>

namespace quillor {

class AppContext {
public:
    explicit AppContext(std::shared_ptr<platform::ProcedureCatalogue> standInProcedures = {},
                        WorkStationInfo::Provider identity = {});
    ~AppContext();
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    // Loads the server profile and connects the databases it names. On failure
    // the profile is empty (every key absent) and `error` says why.
    bool loadRegistry(const QString &path, QString *error = nullptr);

    platform::Registry &registry() { return m_registry; }
    platform::Database &db() { return *m_db; }
    LogFile &log() { return m_log; }
    AppState &state() { return m_state; }
    const AppState &state() const { return m_state; }
    // Created on first use and never refreshed, as the identity of one run.
    WorkStationInfo &workstation();

    // Told of each write whose connection went after it was sent (the server
    // may have made it): whoever shows what it wrote reads it again. One
    // listener, set by `owner`; an empty function ends it, when `owner` is
    // still the one that set it (a newer listener stays).
    void setWriteInDoubtListener(std::function<void()> listener, const void *owner)
    {
        if (!listener && owner != m_writeInDoubtOwner)
            return;
        m_writeInDoubt = std::move(listener);
        m_writeInDoubtOwner = m_writeInDoubt ? owner : nullptr;
    }
    void writeInDoubt() const
    {
        if (m_writeInDoubt)
            m_writeInDoubt();
    }

private:
    std::shared_ptr<platform::ProcedureCatalogue> m_standIn;
    WorkStationInfo::Provider m_identity;
    platform::Registry m_registry;
    std::unique_ptr<platform::Database> m_db;
    std::unique_ptr<WorkStationInfo> m_workstation;
    LogFile m_log;
    AppState m_state;
    std::function<void()> m_writeInDoubt;
    const void *m_writeInDoubtOwner = nullptr;
};

} // namespace quillor
