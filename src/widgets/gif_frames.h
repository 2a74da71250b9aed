#pragma once

#include <QImage>
#include <QSize>
#include <vector>

namespace zephra::widgets {

// One frame of an animation, ready to show: the whole logical screen as it looks while the frame
// is up (earlier frames and their disposal already composed in), and how long it stays.
struct TGifFrame {
  QImage Image;     // logical-screen size; any format, alpha where the screen is transparent
  int DelayMs = 0;  // as stored; the player raises very short delays (see TGifPlayer)
};

// An animation as a decoder hands it over: every frame fully composed, in playing order.
struct TGifFrames {
  QSize ScreenSize;  // the logical screen; every frame's image has this size
  std::vector<TGifFrame> Frames;
  // How many times the whole sequence plays; 0 plays forever. A file without a loop extension
  // plays once (1); a loop extension's repeat count n gives n + 1, and its 0 gives 0.
  int PlayCount = 0;
};

}  // namespace zephra::widgets
