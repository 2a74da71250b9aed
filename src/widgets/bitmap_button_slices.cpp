#include "widgets/bitmap_button_slices.h"

#include <algorithm>

namespace zephra::widgets {

TGlyphStep EnterStep(TGlyphState state, int glyphCount) {
  if (state == gsHover) return {state, std::nullopt};
  if (glyphCount > HoverGlyphCount) return {gsHover, HoverSlice};
  return {gsHover, std::nullopt};
}

TGlyphStep LeaveStep(TGlyphState state, int glyphCount) {
  if (state == gsNormal) return {state, std::nullopt};
  if (glyphCount > HoverGlyphCount) return {gsNormal, NormalSlice};
  return {gsNormal, std::nullopt};
}

TGlyphStep PressStep(TGlyphState state, int glyphCount) {
  if (state == gsPressed) return {state, std::nullopt};
  if (glyphCount >= PressGlyphCount) return {gsPressed, PressedSlice};
  return {gsPressed, std::nullopt};
}

TGlyphStep ReleaseStep(int glyphCount) {
  if (glyphCount >= PressGlyphCount) return {gsReleased, HoverSlice};
  return {gsReleased, std::nullopt};
}

int SliceWidth(int pictureWidth, int glyphCount) {
  return std::max(pictureWidth, 0) / std::max(glyphCount, 1);
}

int PaintedSlice(bool enabled, int selected, int glyphCount) {
  const int slice = enabled ? selected : DisabledSlice;
  return slice >= 0 && slice < glyphCount ? slice : NormalSlice;
}

QRect SliceRect(int slice, int pictureWidth, int pictureHeight, int glyphCount) {
  const int width = SliceWidth(pictureWidth, glyphCount);
  if (width == 0 || pictureHeight <= 0) return {};
  return {slice * width, 0, width, pictureHeight};
}

}  // namespace zephra::widgets
