// The viewer window's keys, wheel and mouse, its view commands and transforms, and the
// full-resolution reload they need.

#include <QKeyEvent>
#include <QWheelEvent>

#include "viewer/picture_loader.h"
#include "viewer/picture_names.h"
#include "viewer/picture_transforms.h"
#include "viewer/tfm_view.h"
#include "widgets/gif_player.h"

namespace zephra::viewer {

bool TfmView::FittedView() const {
  const widgets::TImageCCViewStyle style = imageCC1_->ViewStyle();
  return style == widgets::ccvsBest || style == widgets::ccvsFitScreen;
}

bool TfmView::ShowsAnimation() const {
  return imageCC1_->Picture().Kind() == widgets::TImageCCPicture::pkAnimation;
}

void TfmView::keyPressEvent(QKeyEvent* event) {
  HandleKey(VirtualKeyOf(event->key(), event->modifiers()), ShiftStateOf(event->modifiers()));
}

void TfmView::wheelEvent(QWheelEvent* event) {
  HandleWheel(event->angleDelta().y(), ShiftStateOf(event->modifiers()));
}

void TfmView::HandleKey(int virtualKey, TShiftState shift) {
  RunAction(ViewKeyAction(virtualKey, shift));
}

void TfmView::RunAction(TViewAction action) {
  try {
    switch (action) {
      case TViewAction::None:
        return;
      case TViewAction::Close:
        Close();
        return;
      case TViewAction::PanUp:
      case TViewAction::PanDown:
      case TViewAction::PanLeft:
      case TViewAction::PanRight:
        Pan(action);
        return;
      case TViewAction::ZoomIn:
        if (imageCC1_->CanZoomIn()) ViewCommand(TViewCommand::ZoomIn);
        return;
      case TViewAction::ZoomOut:
        if (imageCC1_->CanZoomOut()) ViewCommand(TViewCommand::ZoomOut);
        return;
      case TViewAction::Fit:
        ViewCommand(TViewCommand::Fit);
        return;
      case TViewAction::OriSize:
        ViewCommand(TViewCommand::OriSize);
        return;
      default:
        Transform(action);
        return;
    }
  } catch (...) {
  }
}

void TfmView::HandleWheel(int angleDeltaY, TShiftState shift) {
  const TWheelCommand command = WheelCommandOf(angleDeltaY, shift);
  if (command == TWheelCommand::None) return;
  if (!wheelGate_.Accept(TWheelGate::Clock::now())) return;
  ViewCommand(command == TWheelCommand::ZoomIn ? TViewCommand::ZoomIn : TViewCommand::ZoomOut);
}

void TfmView::Pan(TViewAction action) {
  if (FittedView()) return;
  const std::optional<QSize> shown = imageCC1_->CalcDisplaySize();
  if (!shown || (shown->width() <= imageCC1_->width() && shown->height() <= imageCC1_->height())) {
    return;
  }
  switch (action) {
    case TViewAction::PanUp:
      imageCC1_->SetOffsY(imageCC1_->OffsY() - PanStep);
      break;
    case TViewAction::PanDown:
      imageCC1_->SetOffsY(imageCC1_->OffsY() + PanStep);
      break;
    case TViewAction::PanLeft:
      imageCC1_->SetOffsX(imageCC1_->OffsX() - PanStep);
      break;
    default:
      imageCC1_->SetOffsX(imageCC1_->OffsX() + PanStep);
      break;
  }
}

void TfmView::ViewCommand(TViewCommand command) {
  if (!imageCC1_->Picture().HasGraphic()) return;
  if (FReduced && commandBusy_) return;
  commandBusy_ = true;
  widgets::TGifPlayer* player = imageCC1_->Picture().Player();
  if (player) player->Stop();
  imageCC1_->BeginUpdate();
  try {
    switch (command) {
      case TViewCommand::Fit:
        imageCC1_->SetViewStyle(widgets::ccvsBest);
        break;
      case TViewCommand::ZoomIn:
        imageCC1_->ZoomIn();
        break;
      case TViewCommand::ZoomOut:
        imageCC1_->ZoomOut();
        break;
      case TViewCommand::OriSize:
        imageCC1_->ActualSize();
        break;
    }
    fittedView_.store(FittedView());
    SettleResolution();
  } catch (...) {
  }
  imageCC1_->EndUpdate();
  if (player && imageCC1_->Picture().Player() == player) player->Start();
  commandBusy_ = false;
}

// Settles the resolution: an unfitted view of a reduced decode gets the full-resolution picture,
// keeping the zoom level the user chose.
void TfmView::SettleResolution() {
  if (!FReduced || FittedView()) return;
  const bool actual = imageCC1_->ViewStyle() == widgets::ccvsPicSize &&
                      PictureKind(content_.Current.Path) == pkJpeg;
  if (actual) imageCC1_->SetZoom(1.0);
  const double zoom = imageCC1_->Zoom();
  imageCC1_->EndUpdate();
  imageCC1_->BeginUpdate();
  if (actual) imageCC1_->SetViewStyle(widgets::ccvsPicSize);
  ImageCC1ReLoadPic();
  if (imageCC1_->ViewStyle() == widgets::ccvsFree) imageCC1_->SetZoom(zoom);
  imageCC1_->EndUpdate();
}

// ImageCC1ReLoadPic: replaces a reduced decode by the full-resolution picture, taken from the
// image cache when it prepared one (waiting for it while it is being made), else decoded here.
// The reduced state ends only when the full picture is in the control.
void TfmView::ImageCC1ReLoadPic() {
  if (!FReduced || imageCC1_->Picture().Width() == FSrcWidth) return;
  imageCC1_->BeginUpdate();
  TImgCache full;
  const bool prepared = imgCache_ && imgCache_->TakeFull(content_.Current.Name, full);
  bool placed = false;
  if (prepared) {
    imageCC1_->Picture().SetBitmap(std::move(full.Picture));
    placed = true;
  } else {
    QImage picture;
    const base::TStopFlag never;
    const TLoadResult loaded = LoadPicture(picture, content_.Current.Path, 0, 1, never);
    content_.Current.Width = loaded.Width;
    content_.Current.Height = loaded.Height;
    if (loaded.Success) {
      content_.Current.FrameCount = loaded.FrameCount;
      imageCC1_->Picture().SetBitmap(std::move(picture));
      placed = true;
    }
  }
  imageCC1_->EndUpdate();
  if (placed) FReduced = false;
}

void TfmView::Transform(TViewAction action) {
  // Animations, and the loading and cannot-show pictures, are never turned.
  if (ShowsAnimation() || !imageCC1_->Picture().IsBitmap() || standIn_) return;
  ImageCC1ReLoadPic();
  // The turned bitmap is no decode of the file: a step back must not find it in a slot.
  currentValid_ = false;
  const bool quarter = action == TViewAction::RotateLeft || action == TViewAction::RotateRight;
  if (quarter) {
    imageCC1_->SetSrcImgWidth(FSrcHeight);
    std::swap(FSrcWidth, FSrcHeight);
  }
  imageCC1_->BeginUpdate();
  QImage& bitmap = imageCC1_->Picture().Bitmap();
  switch (action) {
    case TViewAction::RotateLeft:
      RotateLeft(bitmap);
      break;
    case TViewAction::RotateRight:
      RotateRight(bitmap);
      break;
    case TViewAction::RotateHalf:
      RotateHalf(bitmap);
      break;
    case TViewAction::Mirror:
      MirrorLeftRight(bitmap);
      break;
    case TViewAction::Flip:
      FlipTopBottom(bitmap);
      break;
    default:
      break;
  }
  imageCC1_->Picture().Changed();
  imageCC1_->EndUpdate();
  imageCC1_->BeginUpdate();
  SettleResolution();
  imageCC1_->EndUpdate();
}

// The close button shows while the pointer is within its band and hides a few seconds after the
// pointer left it.
void TfmView::ImageCC1MouseMove(QMouseEvent* event) {
  if (event->buttons() == Qt::NoButton && event->modifiers() == Qt::NoModifier) {
    const QPoint at = event->scenePosition().toPoint();
    widgets::TKelvoTimerItem* hide = tpTimer_->FindTimer(PoolItemHideClose);
    if (at.x() > width() - imgClose_->width() - CloseBand &&
        at.y() < imgClose_->height() + CloseBand) {
      hide->SetEnabled(false);
      imgClose_->show();
    } else {
      hide->SetEnabled(true);
    }
  }
  imgClose_->DoMouseLeave();
}

}  // namespace zephra::viewer
