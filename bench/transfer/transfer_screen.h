#pragma once

#include <QSize>

namespace zephra::bench {

// The screen the transfer benchmark's viewer fills.
inline constexpr QSize TransferScreen(1920, 1080);

}  // namespace zephra::bench
