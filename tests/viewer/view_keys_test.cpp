#include "viewer/view_keys.h"

#include <gtest/gtest.h>

#include <ostream>

namespace zephra::viewer {
namespace {

using namespace std::chrono_literals;

constexpr TShiftState None{};
constexpr TShiftState Shift{.Shift = true};
constexpr TShiftState Ctrl{.Ctrl = true};
constexpr TShiftState Alt{.Alt = true};
constexpr TShiftState AltShift{.Shift = true, .Alt = true};
constexpr TShiftState CtrlAlt{.Ctrl = true, .Alt = true};
constexpr TShiftState CtrlShift{.Shift = true, .Ctrl = true};
constexpr TShiftState All{.Shift = true, .Ctrl = true, .Alt = true};

struct TKeyCase {
  const char* what;
  int virtualKey;
  TShiftState shift;
  TViewAction action;
};

void PrintTo(const TKeyCase& c, std::ostream* out) { *out << c.what; }

class ViewKeyTable : public testing::TestWithParam<TKeyCase> {};

TEST_P(ViewKeyTable, PressGivesTheTablesAction) {
  EXPECT_EQ(ViewKeyAction(GetParam().virtualKey, GetParam().shift), GetParam().action);
}

INSTANTIATE_TEST_SUITE_P(Keys, ViewKeyTable,
                         testing::Values(
                             // Escape closes with any modifiers that pass the Alt rule.
                             TKeyCase{"Esc", VkEscape, None, TViewAction::Close},
                             TKeyCase{"Alt+Esc", VkEscape, Alt, TViewAction::Close},
                             TKeyCase{"Ctrl+Alt+Shift+Esc", VkEscape, All, TViewAction::Close},
                             TKeyCase{"Alt+Shift+Esc", VkEscape, AltShift, TViewAction::None},
                             // Panning and zoom ignore the modifiers.
                             TKeyCase{"Ctrl+Up", VkUp, Ctrl, TViewAction::PanUp},
                             TKeyCase{"Shift+Down", VkDown, Shift, TViewAction::PanDown},
                             TKeyCase{"Alt+Left", VkLeft, Alt, TViewAction::PanLeft},
                             TKeyCase{"Right", VkRight, None, TViewAction::PanRight},
                             TKeyCase{"Alt+Shift+Right", VkRight, AltShift, TViewAction::None},
                             TKeyCase{"NumPad+", VkNumPadPlus, None, TViewAction::ZoomIn},
                             TKeyCase{"Shift+=", VkPlusKey, Shift, TViewAction::ZoomIn},
                             TKeyCase{"Ctrl+NumPad-", VkNumPadMinus, Ctrl, TViewAction::ZoomOut},
                             TKeyCase{"Ctrl+Alt+-", VkMinusKey, CtrlAlt, TViewAction::ZoomOut},
                             // Backslash: fit or original size by the exact modifier set.
                             TKeyCase{"\\", VkBackslash, None, TViewAction::Fit},
                             TKeyCase{"Ctrl+\\", VkBackslash, Ctrl, TViewAction::Fit},
                             TKeyCase{"Shift+\\", VkBackslash, Shift, TViewAction::OriSize},
                             TKeyCase{"Alt+\\", VkBackslash, Alt, TViewAction::None},
                             TKeyCase{"Ctrl+Shift+\\", VkBackslash, CtrlShift, TViewAction::None},
                             // Rotations need exactly Ctrl+Alt.
                             TKeyCase{"Ctrl+Alt+L", 'L', CtrlAlt, TViewAction::RotateLeft},
                             TKeyCase{"Ctrl+Alt+R", 'R', CtrlAlt, TViewAction::RotateRight},
                             TKeyCase{"Ctrl+Alt+D", 'D', CtrlAlt, TViewAction::RotateHalf},
                             TKeyCase{"Ctrl+Alt+H", 'H', CtrlAlt, TViewAction::Mirror},
                             TKeyCase{"Ctrl+Alt+V", 'V', CtrlAlt, TViewAction::Flip},
                             TKeyCase{"Ctrl+Alt+114", 114, CtrlAlt, TViewAction::RotateRight},
                             TKeyCase{"Ctrl+Alt+Shift+R", 'R', All, TViewAction::None},
                             TKeyCase{"Ctrl+R", 'R', Ctrl, TViewAction::None},
                             TKeyCase{"Alt+R", 'R', Alt, TViewAction::None},
                             TKeyCase{"unknown key", VkNone, None, TViewAction::None}));

TEST(ViewKeys, QtKeysMapToVirtualKeyCodes) {
  const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Escape, {}), VkEscape);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Up, keypad), VkUp);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Plus, keypad), VkNumPadPlus);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Plus, Qt::ShiftModifier), VkPlusKey);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Equal, {}), VkPlusKey);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Minus, keypad), VkNumPadMinus);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Minus, {}), VkMinusKey);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Underscore, Qt::ShiftModifier), VkMinusKey);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Backslash, {}), VkBackslash);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Bar, Qt::ShiftModifier), VkBackslash);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_A, {}), VkA);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier), 'R');
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Z, {}), VkZ);
  // Keys outside the table, including ones whose Qt code is a table code of another key.
  for (const int other : {int(Qt::Key_F3), int(Qt::Key_Space), int(Qt::Key_0), int(Qt::Key_Enter),
                          int(Qt::Key_Period), int('r'), VkBackslash}) {
    EXPECT_EQ(VirtualKeyOf(other, {}), VkNone) << other;
  }
}

TEST(ViewKeys, ModifiersAsReportedByQtReachTheTable) {
  EXPECT_EQ(ShiftStateOf(Qt::MetaModifier | Qt::KeypadModifier), None);
  EXPECT_EQ(ShiftStateOf(Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier), CtrlAlt);
  // X11 reports Shift+\ as Key_Bar and Shift+= as Key_Plus, both with the Shift modifier.
  const auto act = [](int qtKey, Qt::KeyboardModifiers modifiers) {
    return ViewKeyAction(VirtualKeyOf(qtKey, modifiers), ShiftStateOf(modifiers));
  };
  EXPECT_EQ(act(Qt::Key_Bar, Qt::ShiftModifier), TViewAction::OriSize);
  EXPECT_EQ(act(Qt::Key_Plus, Qt::ShiftModifier), TViewAction::ZoomIn);
  EXPECT_EQ(act(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier), TViewAction::RotateRight);
}

TEST(WheelKeys, OnlyCtrlAloneTurnsTheWheelIntoZoom) {
  EXPECT_EQ(WheelCommandOf(120, Ctrl), TWheelCommand::ZoomIn);
  EXPECT_EQ(WheelCommandOf(-120, Ctrl), TWheelCommand::ZoomOut);
  EXPECT_EQ(WheelCommandOf(0, Ctrl), TWheelCommand::None);
  for (const TShiftState shift : {None, Shift, Alt, CtrlShift, CtrlAlt, All}) {
    EXPECT_EQ(WheelCommandOf(120, shift), TWheelCommand::None);
  }
}

TEST(WheelKeys, NotchesCloserThanTheGapAfterTheLastAcceptedOneAreDropped) {
  const TWheelGate::Clock::time_point t0{};
  TWheelGate close;
  EXPECT_TRUE(close.Accept(t0));
  EXPECT_FALSE(close.Accept(t0 + 10ms));

  TWheelGate apart;
  EXPECT_TRUE(apart.Accept(t0));
  EXPECT_TRUE(apart.Accept(t0 + 20ms));

  // A dropped notch leaves the reference at the accepted one: 0 in, 15 out, 20 in, 39 out.
  TWheelGate steady;
  EXPECT_TRUE(steady.Accept(t0));
  EXPECT_FALSE(steady.Accept(t0 + 15ms));
  EXPECT_TRUE(steady.Accept(t0 + 20ms));
  EXPECT_FALSE(steady.Accept(t0 + 39ms));
  EXPECT_TRUE(steady.Accept(t0 + 40ms));

  TWheelGate wide(100ms);
  EXPECT_TRUE(wide.Accept(t0));
  EXPECT_FALSE(wide.Accept(t0 + 99ms));
}

}  // namespace
}  // namespace zephra::viewer
