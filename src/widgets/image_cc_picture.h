#pragma once

#include <QImage>
#include <QPicture>
#include <cstdint>
#include <functional>
#include <memory>

#include "widgets/gif_frames.h"

class QPainter;
class QRect;

namespace zephra::widgets {

class TGifPlayer;

// The picture a picture control shows: a bitmap, an animation or a recorded vector picture (or
// nothing). Every change through its setters raises OnChange; a caller that edits Bitmap() in
// place calls Changed() itself or brackets the edit with the control's BeginUpdate/EndUpdate.
// Animations play on the thread that sets them. Not copyable: Assign copies the content.
class TImageCCPicture {
 public:
  enum TKind : std::uint8_t { pkNone, pkBitmap, pkAnimation, pkVector };

  TImageCCPicture();
  ~TImageCCPicture();
  TImageCCPicture(const TImageCCPicture&) = delete;
  TImageCCPicture& operator=(const TImageCCPicture&) = delete;

  // An animation or vector picture once set, else a bitmap when one with pixels is held.
  TKind Kind() const;
  bool HasGraphic() const { return Kind() != pkNone; }
  bool IsBitmap() const { return Kind() == pkBitmap; }
  // In picture pixels: the bitmap's, the animation's logical screen or the vector bounds.
  QSize Size() const;
  int Width() const { return Size().width(); }
  int Height() const { return Size().height(); }
  // Whether drawing may leave pixels of what lies behind uncovered.
  bool HasAlpha() const;

  // The bitmap; null unless the kind is pkBitmap (or an edit in place is about to make it so).
  QImage& Bitmap() { return FBitmap; }
  const QImage& Bitmap() const { return FBitmap; }
  // The animation's player, or null.
  TGifPlayer* Player() const { return FPlayer.get(); }
  const QPicture& Vector() const { return FVector; }

  // Each replaces the whole content. An animation starts playing at once.
  void SetBitmap(QImage bitmap);
  void SetAnimation(TGifFrames frames);
  void SetVector(QPicture picture);
  void Assign(const TImageCCPicture& source);
  void Clear();

  // Draws the picture scaled into `dest` (painter coordinates) with smoothing.
  void StretchDraw(QPainter& painter, const QRect& dest) const;

  // Raises OnChange.
  void Changed();
  std::function<void()> OnChange;

 private:
  void Reset();

  QImage FBitmap;
  std::unique_ptr<TGifPlayer> FPlayer;
  QPicture FVector;
  bool FHasVector = false;
};

}  // namespace zephra::widgets
