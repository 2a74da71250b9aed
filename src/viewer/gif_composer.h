#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

namespace zephra::viewer {

// How a GIF frame leaves the screen for the next one (the graphic control extension's values).
enum TGifDisposal : int {
  gdNone = 0,        // none given: left as it is
  gdKeep = 1,        // left as it is
  gdBackground = 2,  // the frame's area cleared to transparent, as browsers do
  gdPrevious = 3,    // the screen restored to what it was before the frame
};

// Composes the frames of a GIF on its logical screen, one after the other: each frame is drawn
// over what earlier frames and their disposal left, and the result is the whole screen as it
// looks while the frame is up. Frame pixels outside the screen are clipped; colour indexes that
// are transparent or outside the palette leave the screen pixel as it was.
class TGifComposer {
 public:
  // A transparent screen of `screen` size in Format_ARGB32_Premultiplied; IsValid() is false
  // when it could not be allocated. The caller has checked the size against the picture caps.
  explicit TGifComposer(QSize screen);

  bool IsValid() const { return !FScreen.isNull(); }

  // Starts a frame covering `frame` in screen coordinates (any position and size), drawn with
  // `palette` (may be empty); `transparentIndex` is -1 when no index is transparent; unknown
  // disposal values count as gdNone.
  void BeginFrame(const QRect& frame, std::vector<QRgb> palette, int transparentIndex,
                  int disposal);
  // Draws row `row` (0 to frame height - 1) of the frame: frame width colour indexes.
  void PutRow(int row, const std::uint8_t* indexes);
  // The screen with the frame drawn (shared until the composer next writes), and the frame's
  // disposal applied for the next frame.
  QImage EndFrame();

 private:
  QImage FScreen;
  QImage FBeforeFrame;  // kept only for gdPrevious
  QRect FFrame;
  QRect FVisible;  // FFrame clipped to the screen
  std::vector<QRgb> FPalette;
  int FTransparent = -1;
  int FDisposal = gdNone;
};

}  // namespace zephra::viewer
