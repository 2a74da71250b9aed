#include "viewer/gif_decoder.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <QBuffer>
#include <vector>

#include "base/stop_flag.h"
#include "test_files.h"

namespace zephra::viewer {
namespace {

using testing::EncodeGif;
using testing::TTestFrame;

constexpr QRgb Transparent = 0;

TTestFrame Filled(QRect rect, GifByteType index, int disposal = DISPOSAL_UNSPECIFIED) {
  return {rect, std::vector<GifByteType>(rect.width() * rect.height(), index), disposal};
}

const std::vector<QRgb> Palette{qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
constexpr QRgb Red = qRgb(255, 0, 0), Green = qRgb(0, 255, 0), Blue = qRgb(0, 0, 255);
const QRect Screen(0, 0, 4, 3);

class TGifDecoderTest : public ::testing::Test {
 protected:
  std::optional<widgets::TGifFrames> Decode(const QByteArray& gif,
                                            qint64 maxBytes = MaxPictureBytes) {
    QBuffer buffer;
    buffer.setData(gif);
    buffer.open(QIODevice::ReadOnly);
    return DecodeGifFrames(buffer, Stop, maxBytes);
  }
  QRgb Pixel(const widgets::TGifFrames& frames, int frame, int x, int y) {
    return frames.Frames[frame].Image.pixel(x, y);
  }

  base::TStopFlag Stop;
};

TEST_F(TGifDecoderTest, ComposesEveryFrameWithItsDelayAndThePlayCount) {
  TTestFrame second = Filled(QRect(1, 1, 2, 1), 2);
  second.DelayCs = 20;
  const std::vector<TTestFrame> frames{Filled(Screen, 1), second};
  const auto decoded = Decode(EncodeGif(Screen.size(), Palette, frames, 0));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->ScreenSize, QSize(4, 3));
  EXPECT_EQ(decoded->PlayCount, 0);
  ASSERT_EQ(decoded->Frames.size(), 2u);
  EXPECT_EQ(decoded->Frames[1].DelayMs, 200);
  EXPECT_EQ(decoded->Frames[1].Image.size(), QSize(4, 3));
  EXPECT_EQ(Pixel(*decoded, 0, 1, 1), Red);
  EXPECT_EQ(Pixel(*decoded, 1, 1, 1), Green);
  EXPECT_EQ(Pixel(*decoded, 1, 0, 0), Red);

  EXPECT_EQ(Decode(EncodeGif(Screen.size(), Palette, frames, 2))->PlayCount, 3);
  EXPECT_EQ(Decode(EncodeGif(Screen.size(), Palette, frames))->PlayCount, 1);
}

TEST_F(TGifDecoderTest, DisposalRestoresThePreviousScreenOrClearsTheFrame) {
  const std::vector<TTestFrame> frames{
      Filled(Screen, 1), Filled(QRect(0, 0, 2, 1), 2, DISPOSE_PREVIOUS),
      Filled(QRect(3, 0, 1, 1), 3, DISPOSE_BACKGROUND), Filled(QRect(3, 2, 1, 1), 3)};
  const auto decoded = Decode(EncodeGif(Screen.size(), Palette, frames));
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->Frames.size(), 4u);
  EXPECT_EQ(Pixel(*decoded, 1, 0, 0), Green);
  EXPECT_EQ(Pixel(*decoded, 2, 0, 0), Red);  // restored
  EXPECT_EQ(Pixel(*decoded, 2, 3, 0), Blue);
  EXPECT_EQ(Pixel(*decoded, 3, 3, 0), Transparent);  // cleared
  EXPECT_EQ(Pixel(*decoded, 3, 3, 2), Blue);
  EXPECT_EQ(Pixel(*decoded, 3, 0, 0), Red);
  // Frames handed over are not changed by those composed after them.
  EXPECT_EQ(Pixel(*decoded, 1, 0, 0), Green);
}

TEST_F(TGifDecoderTest, TransparentAndOutOfPaletteIndexesLeaveTheScreen) {
  // Two colours use a 2-bit code, so indexes 2 and 3 can be stored but have no colour.
  const std::vector<QRgb> twoColours{qRgb(0, 0, 0), qRgb(255, 255, 255)};
  TTestFrame overlay{QRect(0, 0, 4, 1), {0, 1, 2, 3}};
  overlay.Transparent = 1;
  const auto decoded = Decode(EncodeGif(Screen.size(), twoColours, {Filled(Screen, 1), overlay}));
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->Frames.size(), 2u);
  EXPECT_EQ(Pixel(*decoded, 1, 0, 0), qRgb(0, 0, 0));
  for (int x = 1; x < 4; ++x) EXPECT_EQ(Pixel(*decoded, 1, x, 0), qRgb(255, 255, 255)) << x;
}

TEST_F(TGifDecoderTest, FramesReachingOutsideTheScreenAreClipped) {
  const std::vector<TTestFrame> frames{Filled(Screen, 1), Filled(QRect(2, 1, 4, 4), 3),
                                       Filled(QRect(10, 10, 2, 2), 2)};
  const auto decoded = Decode(EncodeGif(Screen.size(), Palette, frames));
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->Frames.size(), 3u);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(Pixel(*decoded, 1, x, y), x >= 2 && y >= 1 ? Blue : Red) << x << "," << y;
    }
  }
  EXPECT_EQ(decoded->Frames[2].Image, decoded->Frames[1].Image);
}

TEST_F(TGifDecoderTest, InterlacedRowsLandWhereTheyBelong) {
  // Ten rows are stored in the order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  const std::vector<GifByteType> stored{0, 0, 1, 2, 1, 3, 1, 1, 3, 3};
  TTestFrame frame{QRect(0, 0, 1, 10), stored};
  frame.Interlaced = true;
  const auto decoded = Decode(EncodeGif(QSize(1, 10), Palette, {frame}));
  ASSERT_TRUE(decoded);
  const QRgb expected[] = {0, Blue, Green, Red, Red, Red, Red, Blue, 0, Blue};
  for (int y = 0; y < 10; ++y) {
    EXPECT_EQ(Pixel(*decoded, 0, 0, y), expected[y] | 0xFF000000u) << y;
  }
}

TEST_F(TGifDecoderTest, BrokenOrOversizedFilesGiveNothingWithoutLargeAllocations) {
  const QByteArray gif = EncodeGif(Screen.size(), Palette, {Filled(Screen, 1)});
  QByteArray hugeScreen = gif;
  hugeScreen[6] = hugeScreen[7] = hugeScreen[8] = hugeScreen[9] = char(0xFF);
  // The first image descriptor follows the header (13 bytes), the palette and the control
  // extension (8 bytes); its width and height are bytes 5 to 8.
  QByteArray hugeFrame = gif;
  const int descriptor = 13 + 3 * 4 + 8;
  ASSERT_EQ(hugeFrame[descriptor], ',');
  for (int i = 5; i <= 8; ++i) hugeFrame[descriptor + i] = char(0xFF);
  const QByteArray noFrames = EncodeGif(Screen.size(), Palette, {});
  for (const QByteArray& bytes : {gif.left(gif.size() - 6), QByteArray("GIF89a"),
                                  QByteArray("\x89PNG"), hugeScreen, hugeFrame, noFrames}) {
    EXPECT_FALSE(Decode(bytes)) << bytes.size();
  }
  Stop.Set(true);
  EXPECT_FALSE(Decode(gif));
}

TEST_F(TGifDecoderTest, FramesBeyondTheMemoryBudgetAreRefused) {
  const std::vector<TTestFrame> frames(10, Filled(QRect(0, 0, 1, 1), 1));
  const QByteArray gif = EncodeGif(QSize(100, 100), Palette, frames);
  const qint64 frameBytes = 100 * 100 * 4 + GifFrameOverheadBytes;
  // Ten frames kept and the screen being drawn on.
  EXPECT_EQ(Decode(gif, frameBytes * 11)->Frames.size(), 10u);
  EXPECT_FALSE(Decode(gif, frameBytes * 10));
  // A flood of one-pixel frames: their records, not their 4-byte screens, fill the memory.
  const std::vector<TTestFrame> dots(1000, Filled(QRect(0, 0, 1, 1), 1));
  EXPECT_FALSE(Decode(EncodeGif(QSize(1, 1), Palette, dots), 64 * 1024));
}

}  // namespace
}  // namespace zephra::viewer
