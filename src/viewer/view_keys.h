#pragma once

#include <Qt>
#include <chrono>
#include <optional>

namespace zephra::viewer {

// What a key press asks of the viewer window. Panning is asked for whatever the modifiers; the
// window decides whether the picture can be panned at all.
enum class TViewAction {
  None,
  Close,
  PanUp,
  PanDown,
  PanLeft,
  PanRight,
  ZoomIn,
  ZoomOut,
  Fit,          // the whole picture in the window
  OriSize,      // one picture pixel per screen pixel
  RotateLeft,   // a quarter turn counter-clockwise
  RotateRight,  // a quarter turn clockwise
  RotateHalf,   // a half turn
  Mirror,       // left and right swapped
  Flip,         // top and bottom swapped
};

// The modifiers held during a key press or wheel notch. Meta (the Windows key) is not part of it.
struct TShiftState {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
  bool operator==(const TShiftState&) const = default;
};

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers);

// Windows virtual-key codes the key table is written in.
inline constexpr int VkNone = 0;
inline constexpr int VkEscape = 27;
inline constexpr int VkLeft = 37;
inline constexpr int VkUp = 38;
inline constexpr int VkRight = 39;
inline constexpr int VkDown = 40;
inline constexpr int VkA = 65;  // letters A..Z are 65..90
inline constexpr int VkZ = 90;
inline constexpr int VkNumPadPlus = 107;
inline constexpr int VkNumPadMinus = 109;
inline constexpr int VkPlusKey = 187;   // the =/+ key of the main block
inline constexpr int VkMinusKey = 189;  // the -/_ key of the main block
inline constexpr int VkBackslash = 220;

// The virtual-key code of a Qt key: Escape, the arrows (numeric-pad arrows too), plus and minus
// on the numeric pad (Qt::KeypadModifier set) and in the main block (Key_Equal, or Key_Plus
// without the keypad modifier as X11 reports Shift+=; Key_Minus without it, Key_Underscore),
// backslash (Key_Backslash, or Key_Bar for Shift+\) and the letters A..Z. VkNone for any other
// key. Modifiers other than Qt::KeypadModifier don't change the result.
int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

// The action for a key press given as a virtual-key code. A press with Alt but not Ctrl acts only
// when Alt is the only modifier; otherwise:
// - Escape: Close; arrows: Pan*; 107/187: ZoomIn; 109/189: ZoomOut; all with any modifiers.
// - Backslash: Fit with no modifier or Ctrl alone, OriSize with Shift alone, else None.
// - With exactly Ctrl+Alt: L RotateLeft, R RotateRight, D RotateHalf, H Mirror, V Flip. Each also
//   answers to its lower-case character code (108, 114, 100, 104, 118), so the numeric-pad and
//   function keys that share those codes act alike; VirtualKeyOf never yields them for letters.
// Anything else gives None.
TViewAction ViewKeyAction(int virtualKey, TShiftState shift);

// Wheel notches closer together than this after the last accepted one are dropped, so that a
// fast-spinning wheel doesn't queue up zoom steps.
inline constexpr std::chrono::milliseconds WheelMinGap{20};

// Rate limit for wheel commands. The caller asks only for notches that give a command.
class TWheelGate {
 public:
  using Clock = std::chrono::steady_clock;

  explicit TWheelGate(std::chrono::milliseconds minGap = WheelMinGap);

  // True, and `now` becomes the reference point, when nothing was accepted yet or at least the
  // minimum gap has passed since the last accepted command. A refused command leaves the
  // reference point where it was.
  bool Accept(Clock::time_point now);

 private:
  std::chrono::milliseconds minGap_;
  std::optional<Clock::time_point> lastAccepted_;
};

enum class TWheelCommand { None, ZoomIn, ZoomOut };

// The command for a wheel turn by `angleDeltaY` (positive away from the user): only with Ctrl as
// the sole modifier, ZoomIn for a turn up and ZoomOut for a turn down; None otherwise and for 0.
TWheelCommand WheelCommandOf(int angleDeltaY, TShiftState shift);

}  // namespace zephra::viewer
