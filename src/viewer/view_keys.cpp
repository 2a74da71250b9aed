#include "viewer/view_keys.h"

namespace zephra::viewer {
namespace {

// The letters of the rotation keys, and their lower-case character codes, which the table also
// accepts.
constexpr int VkD = 'D';
constexpr int VkH = 'H';
constexpr int VkL = 'L';
constexpr int VkR = 'R';
constexpr int VkV = 'V';
constexpr int LowerCaseOffset = 'a' - 'A';

constexpr TShiftState NoModifier{};
constexpr TShiftState ShiftOnly{.Shift = true};
constexpr TShiftState CtrlOnly{.Ctrl = true};
constexpr TShiftState AltOnly{.Alt = true};
constexpr TShiftState CtrlAlt{.Ctrl = true, .Alt = true};

bool IsLetter(int virtualKey, int upperCase) {
  return virtualKey == upperCase || virtualKey == upperCase + LowerCaseOffset;
}

// Alt without Ctrl is a menu-style chord; only plain Alt reaches the table.
bool PassesAltRule(TShiftState shift) { return !shift.Alt || shift.Ctrl || shift == AltOnly; }

TViewAction BackslashAction(TShiftState shift) {
  if (shift == NoModifier || shift == CtrlOnly) return TViewAction::Fit;
  if (shift == ShiftOnly) return TViewAction::OriSize;
  return TViewAction::None;
}

TViewAction RotationAction(int virtualKey) {
  if (IsLetter(virtualKey, VkL)) return TViewAction::RotateLeft;
  if (IsLetter(virtualKey, VkR)) return TViewAction::RotateRight;
  if (IsLetter(virtualKey, VkD)) return TViewAction::RotateHalf;
  if (IsLetter(virtualKey, VkH)) return TViewAction::Mirror;
  if (IsLetter(virtualKey, VkV)) return TViewAction::Flip;
  return TViewAction::None;
}

}  // namespace

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers) {
  return {.Shift = modifiers.testFlag(Qt::ShiftModifier),
          .Ctrl = modifiers.testFlag(Qt::ControlModifier),
          .Alt = modifiers.testFlag(Qt::AltModifier)};
}

int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return VkA + (qtKey - Qt::Key_A);
  switch (qtKey) {
    case Qt::Key_Escape:
      return VkEscape;
    case Qt::Key_Left:
      return VkLeft;
    case Qt::Key_Up:
      return VkUp;
    case Qt::Key_Right:
      return VkRight;
    case Qt::Key_Down:
      return VkDown;
    case Qt::Key_Plus:
      return keypad ? VkNumPadPlus : VkPlusKey;
    case Qt::Key_Equal:
      return VkPlusKey;
    case Qt::Key_Minus:
      return keypad ? VkNumPadMinus : VkMinusKey;
    case Qt::Key_Underscore:
      return VkMinusKey;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return VkBackslash;
    default:
      return VkNone;
  }
}

TViewAction ViewKeyAction(int virtualKey, TShiftState shift) {
  if (!PassesAltRule(shift)) return TViewAction::None;
  switch (virtualKey) {
    case VkEscape:
      return TViewAction::Close;
    case VkUp:
      return TViewAction::PanUp;
    case VkDown:
      return TViewAction::PanDown;
    case VkLeft:
      return TViewAction::PanLeft;
    case VkRight:
      return TViewAction::PanRight;
    case VkNumPadPlus:
    case VkPlusKey:
      return TViewAction::ZoomIn;
    case VkNumPadMinus:
    case VkMinusKey:
      return TViewAction::ZoomOut;
    case VkBackslash:
      return BackslashAction(shift);
    default:
      break;
  }
  return shift == CtrlAlt ? RotationAction(virtualKey) : TViewAction::None;
}

TWheelGate::TWheelGate(std::chrono::milliseconds minGap) : minGap_(minGap) {}

bool TWheelGate::Accept(Clock::time_point now) {
  if (lastAccepted_ && now - *lastAccepted_ < minGap_) return false;
  lastAccepted_ = now;
  return true;
}

TWheelCommand WheelCommandOf(int angleDeltaY, TShiftState shift) {
  if (shift != CtrlOnly || angleDeltaY == 0) return TWheelCommand::None;
  return angleDeltaY > 0 ? TWheelCommand::ZoomIn : TWheelCommand::ZoomOut;
}

}  // namespace zephra::viewer
