#pragma once

#include <QCursor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "widgets/image_cc_cache.h"
#include "widgets/image_cc_geometry.h"
#include "widgets/image_cc_picture.h"
#include "widgets/image_cc_zoom.h"
#include "widgets/resample.h"

class QPainter;

namespace zephra::widgets {

class TImageCC;

using TImageCCNotifyEvent = std::function<void(TImageCC* sender)>;
using TImageCCMouseEvent = std::function<void(TImageCC* sender, QMouseEvent* event)>;
// Maps a cursor zone (see CursorZone: 0 plain, 1 over a pannable picture, 2 right of the
// picture, 3 left of it) to the cursor to show there.
using TImageCCGetCursor = QCursor (*)(int zone);

// A zoomable picture control. It paints on its parent's surface (nothing outside the picture is
// painted, so the parent shows through there), shows its picture under one of nine view styles,
// centres it where it is smaller than the control, pans it with the left button where it is
// larger, and zooms stepwise through ZoomSteps. Reduced bitmaps are resampled once into a cache
// in the screen's format, so that repaints and pans only copy. Coordinates are control pixels
// unless a comment says picture pixels. GUI thread only.
//
// Every property change reaches the screen through PictureChanged, which repaints at once unless
// BeginUpdate holds it back; owners that replace the picture bracket the change with
// BeginUpdate/EndUpdate so that no paint sees it half done.
class TImageCC : public QWidget {
 public:
  explicit TImageCC(QWidget* parent = nullptr);
  ~TImageCC() override;

  // The control's own picture; its changes repaint the control.
  TImageCCPicture& Picture() { return *FPicture; }
  const TImageCCPicture& Picture() const { return *FPicture; }
  // Copies `picture` into the control's own picture.
  void SetPicture(const TImageCCPicture& picture);
  // Swaps the control's picture object with `picture` without copying; the control now follows
  // the changes of the picture it receives and no longer those of the one it hands back. Does
  // not repaint. A null `picture` is refused.
  void ExchangePicture(std::unique_ptr<TImageCCPicture>& picture);

  // Stored for the owner; the control never reads it.
  const QString& FileName() const { return FFileName; }
  void SetFileName(const QString& name) { FFileName = name; }

  TImageCCViewStyle ViewStyle() const { return FViewStyle; }
  void SetViewStyle(TImageCCViewStyle style);
  TImageCCMoveStyle MoveStyle() const { return FMoveStyle; }
  void SetMoveStyle(TImageCCMoveStyle style) { FMoveStyle = style; }
  TViewResampleFilter ViewResampleFilter() const { return FFilter; }
  void SetViewResampleFilter(TViewResampleFilter filter);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool transparent);
  TImageCCMouseOperate MouseOperate() const { return FMouseOperate; }
  void SetMouseOperate(TImageCCMouseOperate operate) { FMouseOperate = operate; }

  // The zoom relative to the full-size image: the zoom factor, or, when SrcImgWidth is set, the
  // factor scaled by picture width / SrcImgWidth; read to one decimal above 3.0. Writing sets the
  // factor that ccvsFree uses; it does not change the view style. Writes of the current factor,
  // of a value that is not positive and finite, or to a control without a picture are ignored.
  double Zoom() const;
  void SetZoom(double zoom);
  // Displayed width / picture width as last computed (by a paint, a zoom or the 100 % view).
  double ZoomFactor() const { return FZoom; }

  // Pan offsets; see TOffsets for their units. Clamped to their range by the next GetDestRect.
  int OffsX() const { return FOffsets.X; }
  void SetOffsX(int offset);
  int OffsY() const { return FOffsets.Y; }
  void SetOffsY(int offset);
  // Width of the full-size image of which the picture is a reduced copy; 0 (or less) when the
  // picture is the full image. Zoom and the zoom steps are relative to it.
  int SrcImgWidth() const { return FSrcImgWidth; }
  void SetSrcImgWidth(int width);

  // While the count is above 0 nothing repaints. EndUpdate lowers it (force: to 0) and, when it
  // reaches 0, repaints through PictureChanged.
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate(bool force = false);
  int UpdateCount() const { return FUpdateCount; }

  // One step through ZoomSteps, visiting the fit size on the way; the view style becomes
  // ccvsFree.
  void ZoomIn();
  void ZoomOut();
  // Whether a step would still change the view, measured against `width` (0: the picture width).
  bool CanZoomIn(int width = 0);
  bool CanZoomOut(int width = 0);
  // Shows the picture unscaled (ccvsPicSize).
  void ActualSize();

  // Paints the current view into `painter`, in control coordinates (for example an off-screen
  // bitmap of the control's size). The painter's state is left as it was.
  void DrawTo(QPainter& painter);
  // Empties the picture and the cache.
  void Clear();

  // The displayed size of the picture; empty without one.
  std::optional<QSize> CalcDisplaySize() const;
  // Where the displayed picture lands, clamping the offsets; empty without a picture.
  TRect GetDestRect();
  // The single path from a change to the screen: marks the cache stale when `stale`, updates
  // whether the control covers its area, and repaints unless a paint is running. Does nothing
  // while BeginUpdate holds the control.
  void PictureChanged(bool stale = true);
  // The cursor for a zone: OnGetCursor's when installed, else a pointing hand over a pannable
  // picture and the arrow elsewhere.
  QCursor CursorForZone(int zone) const;

  const TImageCCCache& Cache() const { return FCache; }
  // True while a Ctrl + left press shows the picture at 100 %.
  bool InTemporaryView() const { return FTemporaryView; }

  TImageCCNotifyEvent OnMouseEnter, OnMouseLeave;
  TImageCCMouseEvent OnMouseDown, OnMouseMove, OnMouseUp;
  // Raised whenever the view style is set internally, even to the same value.
  TImageCCNotifyEvent OnViewStyleChange;
  // Raised by the temporary 100 % view; the owner may then replace the picture by a larger
  // rendition of the same image.
  TImageCCNotifyEvent ReLoadPic;
  TImageCCGetCursor OnGetCursor = nullptr;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // The view that the temporary 100 % view replaces, restored on release.
  struct TSavedView {
    double Zoom = 1.0;
    TImageCCViewStyle Style = ccvsBest;
    TOffsets Offsets;
    QSize Picture;
  };

  void BindPicture();
  void SetViewStyleInternal(TImageCCViewStyle style);
  void UpdateOpacity();
  bool LargerThanControl() const;
  void ApplyZoomStep(double zoom);
  TZoomInfo ZoomInfo();

  // Steps of DrawTo.
  void DrawGraphic(QPainter& painter);
  void DrawBitmap(QPainter& painter);
  void QuickPaint(QPainter& painter, const QImage& bitmap);
  void Blit(QPainter& painter, const QImage& from, const TPaintRects& rects, double zoom);
  void StretchCopy(QPainter& painter, const TPaintRects& rects, bool smooth);
  // The picture's bitmap unscaled in DisplayFormat: the bitmap itself when it has that format.
  const QImage& UnscaledCopy();

  // Mouse steps.
  // Raises OnMouseDown; false when the handler deleted the control.
  bool RaiseMouseDown(QMouseEvent* event);
  void StartDrag(QPoint screenPos);
  void Pan(QPoint screenPos);
  void ZoomInView(int x, int y);
  void EndTemporaryView();
  void OverrideScreenCursor(const QCursor& cursor);
  void ReleaseScreenCursor();

  std::unique_ptr<TImageCCPicture> FPicture;
  QString FFileName;
  TImageCCViewStyle FViewStyle = ccvsBest;
  TImageCCMoveStyle FMoveStyle = ccmsScroll;
  TImageCCMouseOperate FMouseOperate = ccmoNone;
  TViewResampleFilter FFilter = vrfStand;
  double FZoom = 1.0;
  TOffsets FOffsets;
  int FSrcImgWidth = 0;
  int FUpdateCount = 0;
  bool FTransparent = false;
  bool FPainting = false;
  bool FQuickPainted = false;  // the last DrawTo painted quickly, leaving the cache to build
  bool FBuildPending = false;  // the next paint builds the cache instead of painting quickly

  TImageCCCache FCache;
  // The bitmap as the cache would hold it unscaled, for views at 100 %; kept apart from the
  // cache so that the 100 % view does not cost the cache of the view it temporarily replaces.
  QImage FUnscaled;
  qint64 FUnscaledKey = 0;  // the bitmap's cacheKey when FUnscaled was made

  QPoint FDragAnchor;        // screen position of the last drag step
  double FDragFactor = 1.0;  // picture pixels per screen pixel of drag
  bool FScreenCursorSet = false;
  bool FTemporaryView = false;
  TSavedView FSaved;
};

}  // namespace zephra::widgets
