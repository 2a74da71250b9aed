#pragma once

#include <QRect>
#include <optional>

namespace zephra::widgets {

// The glyph button's visual states.
enum TGlyphState : int {
  gsReleased = 0,  // released after a press, showing the hover image; the initial state
  gsNormal = 1,
  gsHover = 2,
  gsPressed = 3,
};

// Slice numbers, 0-based from the left of the picture.
inline constexpr int NormalSlice = 0;
inline constexpr int HoverSlice = 1;
inline constexpr int PressedSlice = 2;
inline constexpr int DisabledSlice = 3;
inline constexpr int DefaultGlyphCount = 4;
// Hover and leave change slices only with more slices than this; press and release with at
// least PressGlyphCount; enabling and disabling with at least DisabledGlyphCount.
inline constexpr int HoverGlyphCount = 2;
inline constexpr int PressGlyphCount = 3;
inline constexpr int DisabledGlyphCount = 4;

// The result of one mouse-driven change: the new state and the slice to select and show at
// once, if any.
struct TGlyphStep {
  TGlyphState State;
  std::optional<int> Slice;
};

// Mouse enter: hover state; hover image with more than two slices. Nothing in the hover state.
TGlyphStep EnterStep(TGlyphState state, int glyphCount);
// Mouse leave, or another button taking the hover: normal state and image. Nothing when normal.
TGlyphStep LeaveStep(TGlyphState state, int glyphCount);
// Left press: pressed state and image (three slices or more). Nothing when already pressed.
TGlyphStep PressStep(TGlyphState state, int glyphCount);
// Left release with the mouse inside: released state, hover image (three slices or more).
TGlyphStep ReleaseStep(int glyphCount);

// Width of one slice in pixels: pictureWidth div glyphCount; glyph counts below 1 count as 1.
int SliceWidth(int pictureWidth, int glyphCount);
// The slice drawn: `selected` while enabled, DisabledSlice while disabled. A picture without
// that slice (fewer than four slices, or fewer than `selected` + 1) shows NormalSlice instead.
int PaintedSlice(bool enabled, int selected, int glyphCount);
// The columns of `slice` in a picture of the given size: x from slice x slice width, one slice
// wide, full height. Empty when the picture is narrower than glyphCount pixels.
QRect SliceRect(int slice, int pictureWidth, int pictureHeight, int glyphCount);

}  // namespace zephra::widgets
