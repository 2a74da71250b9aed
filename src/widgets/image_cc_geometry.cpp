#include "widgets/image_cc_geometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace zephra::widgets {
namespace {

using std::int64_t;

int Side(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, 0, MaxDisplaySide)); }

int Side(double value) { return std::clamp(RoundHalfEven(value), 0, MaxDisplaySide); }

QSize FitScreen(int pw, int ph, int cw, int ch) {
  const double ratio = double(ph) / pw;
  // A control without width leaves no room: the width-limited branch gives 0 x 0.
  if (cw > 0 && ratio > double(ch) / cw) return QSize(Side(ch / ratio), ch);
  return QSize(cw, Side(cw * ratio));
}

QSize FitWidth(int pw, int ph, int cw) {
  const int dw = std::min(pw, cw);
  return QSize(dw, Side(dw * (double(ph) / pw)));
}

QSize FitHeight(int pw, int ph, int ch) {
  const int dh = std::min(ph, ch);
  return QSize(Side(dh * (double(pw) / ph)), dh);
}

// One axis of the destination rectangle: clamps `offset` and gives the picture's start.
int PlaceAxis(int picture, int control, int displayed, int& offset) {
  const int margin = (control - displayed) / 2;
  if (margin >= 0) {
    offset = -margin;
    return margin;
  }
  const int64_t limit = int64_t(picture) * (displayed - control) / displayed;
  offset = static_cast<int>(std::clamp<int64_t>(offset, 0, limit));
  return static_cast<int>(-(int64_t(displayed) * offset / picture));
}

struct TAxisSpan {
  int SourceStart, SourceEnd, DestStart, DestEnd;
};

// One axis of CalcRects: the visible source span and the destination span it fills.
TAxisSpan SpanAxis(int picture, int control, int displayed, int& offset) {
  const int start = PlaceAxis(picture, control, displayed, offset);
  if (!PansOnAxis(displayed, control)) return {0, picture, start, start + displayed};
  const int64_t visible = int64_t(picture) * control / displayed;
  return {offset, static_cast<int>(offset + visible), 0, control};
}

int Scaled(int64_t value, int64_t numerator, int64_t denominator) {
  return static_cast<int>(std::clamp<int64_t>(value * numerator / denominator, INT_MIN, INT_MAX));
}

}  // namespace

int RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
  if (rounded <= double(INT_MIN)) return INT_MIN;
  if (rounded >= double(INT_MAX)) return INT_MAX;
  return static_cast<int>(rounded);
}

std::optional<QSize> CalcDisplaySize(TImageCCViewStyle style, double zoom, QSize picture,
                                     QSize control) {
  const int pw = picture.width(), ph = picture.height();
  if (pw <= 0 || ph <= 0) return std::nullopt;
  const int cw = std::max(0, control.width()), ch = std::max(0, control.height());
  switch (style) {
    case ccvsFree:
      return QSize(Side(pw * zoom), Side(ph * zoom));
    case ccvsBest:
      if (cw >= pw && ch >= ph) return picture;
      return FitScreen(pw, ph, cw, ch);
    case ccvsFitScreen:
      return FitScreen(pw, ph, cw, ch);
    case ccvsFitWidth:
      return FitWidth(pw, ph, cw);
    case ccvsFitHeight:
      return FitHeight(pw, ph, ch);
    case ccvsStretch:
      return QSize(cw, ch);
    case ccvsFitMaxWidth:
      return QSize(cw, Side(int64_t(cw) * ph / pw));
    case ccvsFitMaxHeight:
      return QSize(Side(int64_t(ch) * pw / ph), ch);
    case ccvsPicSize:
      return picture;
  }
  return picture;
}

bool PansOnAxis(int displayed, int control) { return (control - displayed) / 2 < 0; }

TRect GetDestRect(QSize picture, QSize control, QSize display, TOffsets& offsets) {
  TRect rect;
  rect.Left = PlaceAxis(picture.width(), control.width(), display.width(), offsets.X);
  rect.Top = PlaceAxis(picture.height(), control.height(), display.height(), offsets.Y);
  rect.Right = rect.Left + display.width();
  rect.Bottom = rect.Top + display.height();
  return rect;
}

TPaintRects CalcRects(QSize picture, QSize control, QSize display, TOffsets& offsets) {
  const TAxisSpan h = SpanAxis(picture.width(), control.width(), display.width(), offsets.X);
  const TAxisSpan v = SpanAxis(picture.height(), control.height(), display.height(), offsets.Y);
  return {{h.SourceStart, v.SourceStart, h.SourceEnd, v.SourceEnd},
          {h.DestStart, v.DestStart, h.DestEnd, v.DestEnd}};
}

QSize CacheSize(QSize picture, const TPaintRects& rects, double zoom) {
  return QSize(Side(picture.width() * zoom),
               Side(int64_t(picture.height()) * rects.Dest.Height() / rects.Source.Height()));
}

TRect CacheSourceRect(const TPaintRects& rects, double zoom) {
  const TRect& s = rects.Source;
  const int tw = rects.Dest.Width(), th = rects.Dest.Height(), sh = s.Height();
  TRect r{RoundHalfEven(s.Left * zoom), Scaled(s.Top, th, sh), RoundHalfEven(s.Right * zoom),
          Scaled(s.Bottom, th, sh)};
  const int w = r.Width(), h = r.Height();
  return {Scaled(r.Left, w, tw), Scaled(r.Top, h, th), Scaled(r.Right, w, tw),
          Scaled(r.Bottom, h, th)};
}

TRect ClipToControl(const TRect& dest, QSize control) {
  return {std::max(0, dest.Left), std::max(0, dest.Top), std::min(control.width(), dest.Right),
          std::min(control.height(), dest.Bottom)};
}

int CursorZone(const std::optional<QSize>& display, QSize control, int x) {
  if (!display) return 0;
  const int margin = (control.width() - display->width()) / 2;
  if (x < margin) return 3;
  if (x > margin + display->width()) return 2;
  if (display->width() > control.width() || display->height() > control.height()) return 1;
  return 0;
}

QPoint PicturePointAt(const TRect& dest, double zoom, int x, int y) {
  return QPoint(RoundHalfEven((x - dest.Left) / zoom), RoundHalfEven((y - dest.Top) / zoom));
}

}  // namespace zephra::widgets
