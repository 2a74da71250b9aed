#include "widgets/image_cc.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace zephra::widgets {
namespace {

constexpr int DefaultSide = 105;
// An enlargement of this much on an axis is drawn with solid blocks, never resampled.
constexpr int BlockEnlargement = 2;
constexpr int PannableZone = 1;  // the zone value of a picture that can be panned

int SaturatedAdd(int value, std::int64_t delta) {
  return static_cast<int>(std::clamp<std::int64_t>(value + delta, INT_MIN, INT_MAX));
}

// The styles whose first paint after a change is a quick stretch, with the quality resample
// prepared for the paints that follow.
bool IsFitStyle(TImageCCViewStyle style) {
  return style == ccvsBest || style == ccvsFitScreen || style == ccvsFitWidth ||
         style == ccvsFitHeight;
}

}  // namespace

TImageCC::TImageCC(QWidget* parent)
    : QWidget(parent), FPicture(std::make_unique<TImageCCPicture>()) {
  SetViewStyleInternal(ccvsBest);
  setMouseTracking(true);  // the cursor follows the zones without a button held
  resize(DefaultSide, DefaultSide);
  BindPicture();
  Clear();
}

TImageCC::~TImageCC() {
  ReleaseScreenCursor();
  FPicture->OnChange = nullptr;
}

void TImageCC::BindPicture() {
  FPicture->OnChange = [this] { PictureChanged(true); };
}

void TImageCC::SetPicture(const TImageCCPicture& picture) { FPicture->Assign(picture); }

void TImageCC::ExchangePicture(std::unique_ptr<TImageCCPicture>& picture) {
  if (!picture) return;
  FPicture->OnChange = nullptr;
  std::swap(FPicture, picture);
  BindPicture();
  // Not repainted now, but the next paint must not show the old picture's cache.
  FCache.SetStale(true);
}

void TImageCC::SetViewStyleInternal(TImageCCViewStyle style) {
  FViewStyle = style;
  if (OnViewStyleChange) OnViewStyleChange(this);
}

void TImageCC::SetViewStyle(TImageCCViewStyle style) {
  if (style == FViewStyle || style > ccvsPicSize) return;
  SetViewStyleInternal(style);
  PictureChanged(true);
}

void TImageCC::SetViewResampleFilter(TViewResampleFilter filter) {
  if (filter == FFilter || filter > vrfCubic) return;
  FFilter = filter;
  PictureChanged(true);
}

void TImageCC::SetTransparent(bool transparent) {
  if (transparent == FTransparent) return;
  FTransparent = transparent;
  PictureChanged(true);
}

double TImageCC::Zoom() const { return ReadZoom(FZoom, FPicture->Width(), FSrcImgWidth); }

void TImageCC::SetZoom(double zoom) {
  if (zoom == FZoom || FPicture->Width() <= 0) return;
  if (!std::isfinite(zoom) || zoom <= 0) return;
  FZoom = ZoomFactorFor(zoom, FPicture->Width(), FSrcImgWidth);
  PictureChanged(true);
}

// A pan never changes what the cache holds (the whole displayed picture), so it keeps it.
void TImageCC::SetOffsX(int offset) {
  if (offset == FOffsets.X) return;
  FOffsets.X = offset;
  PictureChanged(false);
}

void TImageCC::SetOffsY(int offset) {
  if (offset == FOffsets.Y) return;
  FOffsets.Y = offset;
  PictureChanged(false);
}

void TImageCC::SetSrcImgWidth(int width) {
  if (width == FSrcImgWidth) return;
  FSrcImgWidth = width;
  PictureChanged(true);
}

void TImageCC::EndUpdate(bool force) {
  if (FUpdateCount <= 0) return;
  if (force) {
    FUpdateCount = 0;
    FPainting = false;
  } else {
    FUpdateCount = std::max(0, FUpdateCount - 1);
  }
  if (FUpdateCount == 0) PictureChanged(true);
}

void TImageCC::ZoomIn() { ApplyZoomStep(NextZoomIn(ZoomInfo(), FZoom)); }

void TImageCC::ZoomOut() { ApplyZoomStep(NextZoomOut(ZoomInfo(), FZoom)); }

TZoomInfo TImageCC::ZoomInfo() {
  return GetZoomInfo(FPicture->Size(), size(), FSrcImgWidth, GetDestRect().Width());
}

void TImageCC::ApplyZoomStep(double zoom) {
  const bool restyled = FViewStyle != ccvsFree;
  if (restyled) SetViewStyleInternal(ccvsFree);
  const double before = FZoom;
  SetZoom(zoom);
  // A zoom equal to the current factor is not written, but the new style must still show.
  if (restyled && FZoom == before) PictureChanged(true);
}

bool TImageCC::CanZoomIn(int width) {
  return CanZoomInAt(GetDestRect().Width(), width == 0 ? FPicture->Width() : width);
}

bool TImageCC::CanZoomOut(int width) {
  return CanZoomOutAt(GetDestRect().Width(), width == 0 ? FPicture->Width() : width);
}

void TImageCC::ActualSize() {
  if (FViewStyle == ccvsPicSize) return;
  BeginUpdate();
  SetViewStyleInternal(ccvsPicSize);
  EndUpdate();
}

void TImageCC::Clear() {
  FPicture->Clear();
  FCache.Clear();
  FUnscaled = QImage();
}

std::optional<QSize> TImageCC::CalcDisplaySize() const {
  return widgets::CalcDisplaySize(FViewStyle, FZoom, FPicture->Size(), size());
}

TRect TImageCC::GetDestRect() {
  const std::optional<QSize> display = CalcDisplaySize();
  if (!display) return TRect();
  return widgets::GetDestRect(FPicture->Size(), size(), *display, FOffsets);
}

bool TImageCC::LargerThanControl() const {
  const std::optional<QSize> display = CalcDisplaySize();
  return display && (display->width() > width() || display->height() > height());
}

void TImageCC::PictureChanged(bool stale) {
  if (FUpdateCount > 0) return;
  if (stale) {
    FCache.SetStale(true);
    if (FUnscaledKey != FPicture->Bitmap().cacheKey()) FUnscaled = QImage();
  }
  UpdateOpacity();
  if (!FPainting) repaint();
}

// Lets Qt skip painting what lies behind when the picture covers the whole control.
void TImageCC::UpdateOpacity() {
  bool opaque = false;
  if (FPicture->HasGraphic()) {
    const TRect dest = GetDestRect();
    opaque = !FTransparent && !FPicture->HasAlpha() && dest.Left <= 0 && dest.Top <= 0 &&
             dest.Right >= width() && dest.Bottom >= height();
  }
  setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}

QCursor TImageCC::CursorForZone(int zone) const {
  if (OnGetCursor != nullptr) return OnGetCursor(zone);
  return zone == PannableZone ? QCursor(Qt::PointingHandCursor) : QCursor(Qt::ArrowCursor);
}

// ---- Painting ----

void TImageCC::paintEvent(QPaintEvent*) {
  if (FUpdateCount > 0) return;
  const bool wasPainting = FPainting;
  FPainting = true;
  const auto restore = qScopeGuard([&] { FPainting = wasPainting; });
  QPainter painter(this);
  DrawTo(painter);
  // The quick stretch is on screen only until the next paint builds and shows the cache.
  if (FQuickPainted) QTimer::singleShot(0, this, [this] { update(); });
}

void TImageCC::DrawTo(QPainter& painter) {
  FQuickPainted = false;
  if (FPicture->Width() <= 0 || FPicture->Height() <= 0) return;
  painter.save();
  const auto restore = qScopeGuard([&] { painter.restore(); });
  if (FPicture->IsBitmap()) {
    DrawBitmap(painter);
  } else {
    DrawGraphic(painter);
  }
}

void TImageCC::DrawGraphic(QPainter& painter) {
  const TRect dest = GetDestRect();
  FZoom = double(dest.Width()) / FPicture->Width();
  painter.setClipRect(rect(), Qt::IntersectClip);
  FPicture->StretchDraw(painter, dest.ToQRect());
}

void TImageCC::DrawBitmap(QPainter& painter) {
  const std::optional<QSize> display = CalcDisplaySize();
  if (!display) return;
  const QImage& bitmap = FPicture->Bitmap();
  const TPaintRects rects = CalcRects(bitmap.size(), size(), *display, FOffsets);
  const int sw = rects.Source.Width(), sh = rects.Source.Height();
  const int tw = rects.Dest.Width(), th = rects.Dest.Height();
  if (sw <= 0 || sh <= 0) return;
  FZoom = double(tw) / sw;
  if (tw <= 0 || th <= 0) return;
  if (tw >= BlockEnlargement * sw || th >= BlockEnlargement * sh) {
    StretchCopy(painter, rects, false);
    return;
  }
  const bool unscaled = sw == tw && sh == th;
  if (unscaled) {
    Blit(painter, UnscaledCopy(), rects, FZoom);
    return;
  }
  const QSize cacheSize = CacheSize(bitmap.size(), rects, FZoom);
  if (IsFitStyle(FViewStyle)) {
    if (FCache.NeedsBuild(cacheSize)) {
      // On screen a quick stretch shows at once and the next paint builds the cache; Qt shows
      // a frame only once its paint has returned. Other painters get the cached quality.
      if (FPainting && !FBuildPending) {
        QuickPaint(painter, bitmap);
        FBuildPending = true;
        FQuickPainted = true;
        return;
      }
      FCache.Build(bitmap, cacheSize, FFilter);
    }
    FBuildPending = false;
  } else if (FCache.NeedsBuild(cacheSize)) {
    const bool enlarged = sw < tw || sh < th;
    FCache.Build(bitmap, cacheSize, enlarged ? vrfSharp : FFilter);
  }
  if (FCache.Bitmap().isNull()) {
    StretchCopy(painter, rects, true);  // too large to cache: scale on every paint instead
    return;
  }
  Blit(painter, FCache.Bitmap(), rects, FZoom);
}

void TImageCC::QuickPaint(QPainter& painter, const QImage& bitmap) {
  painter.setClipRect(rect(), Qt::IntersectClip);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setBrushOrigin(0, 0);
  painter.drawImage(GetDestRect().ToQRect(), bitmap);
}

// Copies the part of `from` that the view shows, one to one: the part starts where the cached
// view puts it and has the destination's size, moved back inside `from` where rounding would
// take it over the edge.
void TImageCC::Blit(QPainter& painter, const QImage& from, const TPaintRects& rects, double zoom) {
  const TRect dest = ClipToControl(rects.Dest, size());
  const TRect cached = CacheSourceRect(rects, zoom);
  const int left = std::clamp(cached.Left, 0, std::max(0, from.width() - dest.Width()));
  const int top = std::clamp(cached.Top, 0, std::max(0, from.height() - dest.Height()));
  painter.drawImage(QPoint(dest.Left, dest.Top), from,
                    QRect(left, top, dest.Width(), dest.Height()));
}

// A stretch of the visible part of the bitmap: solid blocks for enlargements, smoothed else.
void TImageCC::StretchCopy(QPainter& painter, const TPaintRects& rects, bool smooth) {
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  painter.drawImage(ClipToControl(rects.Dest, size()).ToQRect(), FPicture->Bitmap(),
                    rects.Source.ToQRect());
}

const QImage& TImageCC::UnscaledCopy() {
  const QImage& bitmap = FPicture->Bitmap();
  if (bitmap.format() == DisplayFormat(bitmap.hasAlphaChannel())) return bitmap;
  if (FUnscaled.isNull() || FUnscaledKey != bitmap.cacheKey()) {
    FUnscaled = DisplayCopy(bitmap, bitmap.size(), FFilter);
    FUnscaledKey = bitmap.cacheKey();
  }
  return FUnscaled;
}

// ---- Mouse ----

void TImageCC::mousePressEvent(QMouseEvent* event) {
  if (!RaiseMouseDown(event)) return;
  FMouseOperate = ccmoNone;
  // A press while the 100 % view is still up (its release never came) ends it first.
  if (FTemporaryView) EndTemporaryView();
  const bool scrolls = FMoveStyle == ccmsScroll || FMoveStyle == ccmsZoomInView;
  if (event->button() != Qt::LeftButton || !scrolls) return;
  const QPoint at = event->position().toPoint();
  if (FMoveStyle == ccmsZoomInView && event->modifiers() == Qt::ControlModifier &&
      event->buttons() == Qt::LeftButton) {
    ZoomInView(at.x(), at.y());
  }
  if (LargerThanControl()) StartDrag(event->globalPosition().toPoint());
}

void TImageCC::mouseDoubleClickEvent(QMouseEvent* event) {
  if (RaiseMouseDown(event)) FMouseOperate = ccmoNone;
}

bool TImageCC::RaiseMouseDown(QMouseEvent* event) {
  if (!OnMouseDown) return true;
  // The handler runs from a copy and may delete the control.
  const QPointer<TImageCC> self(this);
  const TImageCCMouseEvent handler = OnMouseDown;
  handler(this, event);
  return !self.isNull();
}

void TImageCC::StartDrag(QPoint screenPos) {
  OverrideScreenCursor(CursorForZone(PannableZone));
  FDragAnchor = screenPos;
  FMouseOperate = ccmoMoving;
  const int shown = GetDestRect().Width();
  FDragFactor = shown == 0 ? 1.0 : std::max(1.0, double(FPicture->Width()) / shown);
}

void TImageCC::mouseMoveEvent(QMouseEvent* event) {
  const bool scrolls = FMoveStyle == ccmsScroll || FMoveStyle == ccmsZoomInView;
  if (scrolls && (event->buttons() & Qt::LeftButton)) {
    if (FMouseOperate == ccmoMoving) Pan(event->globalPosition().toPoint());
  } else {
    FMouseOperate = ccmoNone;
    if (event->buttons() == Qt::NoButton && event->modifiers() == Qt::NoModifier) {
      const int x = event->position().toPoint().x();
      setCursor(CursorForZone(CursorZone(CalcDisplaySize(), size(), x)));
    }
  }
  if (OnMouseMove) OnMouseMove(this, event);
}

// Moves the offsets directly, so the cache stays; the next paint clamps them.
void TImageCC::Pan(QPoint screenPos) {
  FOffsets.X =
      SaturatedAdd(FOffsets.X, RoundHalfEven((FDragAnchor.x() - screenPos.x()) * FDragFactor));
  FOffsets.Y =
      SaturatedAdd(FOffsets.Y, RoundHalfEven((FDragAnchor.y() - screenPos.y()) * FDragFactor));
  FDragAnchor = screenPos;
  if (!FPainting) repaint();
}

void TImageCC::mouseReleaseEvent(QMouseEvent* event) {
  if (FMoveStyle == ccmsZoomInView && FTemporaryView) EndTemporaryView();
  FMouseOperate = ccmoNone;
  ReleaseScreenCursor();
  if (OnMouseUp) OnMouseUp(this, event);
}

// Shows the picture at 100 % with the picture point under (x, y) staying there, while the
// button is held. Only a reduced picture has anything to show.
void TImageCC::ZoomInView(int x, int y) {
  if (FZoom >= 1.0 || FZoom == 0) return;
  const TRect dest = GetDestRect();
  if (!dest.Contains(x, y)) return;
  if (FViewStyle == ccvsFree && LargerThanControl()) return;
  FSaved = {FZoom, FViewStyle, FOffsets, FPicture->Size()};
  const QPoint at = PicturePointAt(dest, FZoom, x, y);
  FTemporaryView = true;
  BeginUpdate();
  if (ReLoadPic) ReLoadPic(this);
  const QSize now = FPicture->Size();
  FOffsets.X =
      SaturatedAdd(-x, RoundHalfEven(double(at.x()) * now.width() / FSaved.Picture.width()));
  FOffsets.Y =
      SaturatedAdd(-y, RoundHalfEven(double(at.y()) * now.height() / FSaved.Picture.height()));
  FZoom = 1.0;
  FViewStyle = ccvsFree;
  EndUpdate();
}

// Back to the view before the 100 % view; the cache built for it is still good. When ReLoadPic
// put a larger rendition in place, the saved zoom factor and the panned offsets (positive, in
// picture pixels) are rescaled to it, so that the view keeps its size and position.
void TImageCC::EndTemporaryView() {
  FTemporaryView = false;
  const QSize now = FPicture->Size();
  const bool rescale = now.width() > 0 && now.height() > 0 && now != FSaved.Picture;
  const auto scaled = [](int offset, int to, int from) {
    return offset > 0 ? RoundHalfEven(double(offset) * to / from) : offset;
  };
  FZoom = rescale ? FSaved.Zoom * FSaved.Picture.width() / now.width() : FSaved.Zoom;
  FViewStyle = FSaved.Style;
  FOffsets = FSaved.Offsets;
  if (rescale) {
    FOffsets.X = scaled(FOffsets.X, now.width(), FSaved.Picture.width());
    FOffsets.Y = scaled(FOffsets.Y, now.height(), FSaved.Picture.height());
  }
  FCache.SetStale(false);
  PictureChanged(false);
}

void TImageCC::OverrideScreenCursor(const QCursor& cursor) {
  if (FScreenCursorSet) {
    QGuiApplication::changeOverrideCursor(cursor);
  } else {
    QGuiApplication::setOverrideCursor(cursor);
    FScreenCursorSet = true;
  }
}

void TImageCC::ReleaseScreenCursor() {
  if (!FScreenCursorSet) return;
  QGuiApplication::restoreOverrideCursor();
  FScreenCursorSet = false;
}

// ---- Other events ----

void TImageCC::resizeEvent(QResizeEvent* event) {
  PictureChanged(true);
  QWidget::resizeEvent(event);
}

void TImageCC::enterEvent(QEnterEvent* event) {
  if (OnMouseEnter) OnMouseEnter(this);
  QWidget::enterEvent(event);
}

void TImageCC::leaveEvent(QEvent* event) {
  if (OnMouseLeave) OnMouseLeave(this);
  QWidget::leaveEvent(event);
}

}  // namespace zephra::widgets
