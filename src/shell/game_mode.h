#pragma once

#include <optional>

namespace zephra::shell {

// False exactly when the partner's game-mode value exists and reads 1: the viewer must not
// pop up over a game then.
bool NotInGameMode();
// The same rule for a given value (nullopt: missing or not an integer).
bool NotInGameMode(std::optional<int> gameModeValue);

}  // namespace zephra::shell
