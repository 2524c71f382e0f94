#pragma once
// The server's telephone-system integrations ("switches"): their display names
// by switch id. Loaded once from the registry when the detail tabs fill their
// choice lists, then asked for a name whenever a rule shows its switch.

#include <QList>
#include <QString>
#include <QStringList>

namespace quillor {

class AppContext;

namespace modSwitchInfo {

// Where the integrations are listed (under HKEY_LOCAL_MACHINE).
inline constexpr auto kIntegrationsKey = "Software\\Calvex\\QDX\\1.0\\initialization\\integrations";

// What the loaded list holds. `count` 0 means not loaded.
struct SwitchInfoState {
    qint16 count = 0;
    QStringList names;   // indexed from 0
    QList<qint16> ids;   // parallel to names; only the newer layout has them
    bool bIdLayout = false; // the list came from the newer layout (ids, not positions)
};

// Loads the list for the running server (gVersion decides the layout). Any
// earlier list is dropped first, so loading twice never doubles it.
void InitalizeSwitchInfo(AppContext &ctx);

// The display name of a switch, or an "(error) - ..." text.
QString strGetSwitchName(qint16 switchId);

// The list as loaded (for tests and diagnostics); resetSwitchInfo forgets it.
const SwitchInfoState &switchInfoState();
void resetSwitchInfo();

} // namespace modSwitchInfo

using modSwitchInfo::InitalizeSwitchInfo;
using modSwitchInfo::strGetSwitchName;

} // namespace quillor
