#pragma once

#include <optional>

namespace zephra::platform {

// The partner hotspot program's "gamemode" value: system-wide settings of organisation
// "OrvexSafe", application "mobilemgr" (on Windows the registry key
// HKEY_LOCAL_MACHINE\SOFTWARE\OrvexSafe\mobilemgr, elsewhere a settings file under /etc/xdg).
// nullopt when the settings or the value are missing or the value is not an integer. Nothing is
// created.
std::optional<int> PartnerGameModeValue();

}  // namespace zephra::platform
