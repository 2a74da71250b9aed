#include "shell/game_mode.h"

#include "platform/game_mode.h"

namespace zephra::shell {

namespace {

constexpr int GameModeOn = 1;

}  // namespace

bool NotInGameMode(std::optional<int> gameModeValue) { return gameModeValue != GameModeOn; }

bool NotInGameMode() { return NotInGameMode(platform::PartnerGameModeValue()); }

}  // namespace zephra::shell
