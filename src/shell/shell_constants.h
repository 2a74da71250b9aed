#pragma once

#include <QColor>
#include <chrono>

namespace zephra::shell {

// The partner hotspot program is recognised by a top-level window of this class and title, and
// counts as running while at least PartnerProcessCount processes of its executable exist.
inline constexpr char PartnerWindowClass[] = "OrvexTlxAPPopLayeredWindow";
inline constexpr char PartnerWindowTitle[] = "Orvex随身WiFi";
inline constexpr int PartnerProcessCount = 2;

// The hotspot watch looks at the partner and the addresses on every third timer tick.
inline constexpr unsigned CheckEveryTicks = 3;
// A shown viewer whose phone has sent nothing for longer than this is closed.
inline constexpr std::chrono::milliseconds ViewerQuietLimit{10000};

// Toast window: alpha of 255, background colour, text margins and line spacing, placement from
// the bottom-right corner of the primary screen, corner rounding, font height.
inline constexpr int TipAlpha = 200;
inline constexpr QColor TipColour{222, 222, 240};
inline constexpr int TipLabelLeft = 10;
inline constexpr int TipLabelTop = 6;
inline constexpr int TipLineGap = 3;
inline constexpr int TipRightGap = 5;
inline constexpr int TipBottomGap = 35;
inline constexpr int TipCornerRadius = 5;
inline constexpr int TipFontPixels = 12;
// Durations up to this many milliseconds leave the toast up until it is replaced or closed.
inline constexpr int TipLongestStay = 100;

}  // namespace zephra::shell
