#pragma once

#include <QRect>
#include <QSize>
#include <cstdint>
#include <optional>

namespace zephra::widgets {

// How the picture control sizes its picture.
enum TImageCCViewStyle : std::uint8_t {
  ccvsFree,          // picture size times the zoom factor
  ccvsBest,          // unscaled when it fits, else as ccvsFitScreen
  ccvsFitScreen,     // largest size inside the control, aspect kept (may enlarge)
  ccvsFitWidth,      // control width at most, aspect kept (never enlarges)
  ccvsFitHeight,     // control height at most, aspect kept (never enlarges)
  ccvsStretch,       // the control's size
  ccvsFitMaxWidth,   // the control's width, aspect kept (may enlarge)
  ccvsFitMaxHeight,  // the control's height, aspect kept (may enlarge)
  ccvsPicSize,       // unscaled
};

// What dragging with the left button does.
enum TImageCCMoveStyle : std::uint8_t {
  ccmsSelect,      // nothing
  ccmsScroll,      // pans a picture larger than the control
  ccmsZoomInView,  // pans; Ctrl + left press shows 100 % while held
};

enum TImageCCMouseOperate : std::uint8_t { ccmoNone, ccmoDrawing, ccmoMoving, ccmoResizing };

// A rectangle as left, top and exclusive right and bottom edges (Right - Left is the width).
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// The panning state of both axes. On an axis where the displayed picture is wider (taller) than
// the control the offset is the first visible picture column (row), in picture pixels, from 0 to
// the last position that still fills the control; on an axis where it fits the offset is the
// negated centring margin in control pixels (zero or negative).
struct TOffsets {
  int X = 0, Y = 0;
  friend bool operator==(const TOffsets&, const TOffsets&) = default;
};

// The largest side a displayed picture may have, in control pixels (the largest widget side);
// larger results are cut to it.
inline constexpr int MaxDisplaySide = (1 << 24) - 1;

// Nearest integer, halves to even, saturated to the int range (NaN gives 0).
int RoundHalfEven(double value);

// The displayed size of a `picture` in a `control` under `style`, in control pixels; `zoom` is
// the zoom factor that ccvsFree uses (displayed width / picture width). Empty when the picture
// has no pixels. A control of zero width or height gives a zero size in the fit styles.
std::optional<QSize> CalcDisplaySize(TImageCCViewStyle style, double zoom, QSize picture,
                                     QSize control);

// True when the displayed picture does not fit the control on that axis, so that the axis pans.
// Uses the centring margin: a picture one pixel larger than the control is cut, not panned.
bool PansOnAxis(int displayed, int control);

// Where the displayed picture lands in control coordinates. Clamps `offsets` to their range (see
// TOffsets). `picture` and `display` must be non-empty on both axes.
TRect GetDestRect(QSize picture, QSize control, QSize display, TOffsets& offsets);

// The visible part of the picture (Source, picture pixels) and where it lands (Dest, control
// pixels): on a panned axis the part from the offset that fills the control, which it spans;
// on a fitting axis the whole picture, centred. Clamps `offsets` as GetDestRect does.
struct TPaintRects {
  TRect Source, Dest;
};
TPaintRects CalcRects(QSize picture, QSize control, QSize display, TOffsets& offsets);

// The size at which the resample cache holds the whole displayed picture, for the zoom factor
// `zoom` (destination width / source width) of `rects`. Source height must not be 0.
QSize CacheSize(QSize picture, const TPaintRects& rects, double zoom);

// The part of the cache (held at CacheSize) that shows `rects.Source`. Destination width and
// height, and source height, must not be 0.
TRect CacheSourceRect(const TPaintRects& rects, double zoom);

// `dest` cut to the control's area.
TRect ClipToControl(const TRect& dest, QSize control);

// The cursor zone at control column `x`: 3 left of the picture, 2 right of it, 1 over a picture
// that pans on either axis, else 0 (also when `display` is empty).
int CursorZone(const std::optional<QSize>& display, QSize control, int x);

// The picture pixel under control point (x, y) of a picture placed at `dest` with zoom factor
// `zoom` (> 0), rounded to the nearest pixel.
QPoint PicturePointAt(const TRect& dest, double zoom, int x, int y);

}  // namespace zephra::widgets
