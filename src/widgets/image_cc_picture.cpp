#include "widgets/image_cc_picture.h"

#include <QPainter>
#include <utility>

#include "widgets/gif_player.h"

namespace zephra::widgets {

TImageCCPicture::TImageCCPicture() = default;

TImageCCPicture::~TImageCCPicture() = default;

TImageCCPicture::TKind TImageCCPicture::Kind() const {
  if (FPlayer) return pkAnimation;
  if (FHasVector) return pkVector;
  return FBitmap.isNull() ? pkNone : pkBitmap;
}

QSize TImageCCPicture::Size() const {
  switch (Kind()) {
    case pkAnimation:
      return FPlayer->Size();
    case pkVector:
      return FVector.boundingRect().size();
    case pkBitmap:
      return FBitmap.size();
    case pkNone:
      break;
  }
  return QSize(0, 0);
}

bool TImageCCPicture::HasAlpha() const {
  switch (Kind()) {
    case pkAnimation:
      return FPlayer->CurrentFrame().hasAlphaChannel();
    case pkVector:
      return true;
    case pkBitmap:
      return FBitmap.hasAlphaChannel();
    case pkNone:
      break;
  }
  return false;
}

void TImageCCPicture::Reset() {
  FBitmap = QImage();
  FPlayer.reset();
  FVector = QPicture();
  FHasVector = false;
}

void TImageCCPicture::SetBitmap(QImage bitmap) {
  Reset();
  FBitmap = std::move(bitmap);
  Changed();
}

void TImageCCPicture::SetAnimation(TGifFrames frames) {
  Reset();
  FPlayer = std::make_unique<TGifPlayer>(std::move(frames));
  QObject::connect(FPlayer.get(), &TGifPlayer::FrameChanged, FPlayer.get(), [this] { Changed(); });
  FPlayer->Start();
  Changed();
}

void TImageCCPicture::SetVector(QPicture picture) {
  Reset();
  FVector = std::move(picture);
  FHasVector = true;
  Changed();
}

void TImageCCPicture::Assign(const TImageCCPicture& source) {
  if (&source == this) return;
  switch (source.Kind()) {
    case pkAnimation:
      SetAnimation(source.FPlayer->Frames());
      break;
    case pkVector:
      SetVector(source.FVector);
      break;
    case pkBitmap:
      SetBitmap(source.FBitmap);
      break;
    case pkNone:
      Clear();
      break;
  }
}

void TImageCCPicture::Clear() {
  Reset();
  Changed();
}

void TImageCCPicture::StretchDraw(QPainter& painter, const QRect& dest) const {
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  switch (Kind()) {
    case pkAnimation:
      painter.drawImage(dest, FPlayer->CurrentFrame());
      break;
    case pkVector: {
      const QRectF bounds = FVector.boundingRect();
      if (bounds.isEmpty()) break;
      painter.translate(dest.topLeft());
      painter.scale(dest.width() / bounds.width(), dest.height() / bounds.height());
      painter.translate(-bounds.topLeft());
      painter.drawPicture(0, 0, FVector);
      break;
    }
    case pkBitmap:
      painter.drawImage(dest, FBitmap);
      break;
    case pkNone:
      break;
  }
  painter.restore();
}

void TImageCCPicture::Changed() {
  if (OnChange) OnChange();
}

}  // namespace zephra::widgets
