#include "widgets/gif_player.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <vector>

#include "test_pictures.h"

namespace zephra::widgets {
namespace {

using testing::EnsureApplication;

TGifFrames Frames(const std::vector<int>& delays, int playCount) {
  TGifFrames frames;
  frames.ScreenSize = QSize(4, 3);
  frames.PlayCount = playCount;
  int shade = 0;
  for (int delay : delays) {
    QImage image(4, 3, QImage::Format_ARGB32_Premultiplied);
    image.fill(qRgb(shade, shade, shade));
    shade += 40;
    frames.Frames.push_back({image, delay});
  }
  return frames;
}

class TGifPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }

  // Records the indices that FrameChanged reports in Seen.
  void Watch(TGifPlayer& player) {
    QObject::connect(&player, &TGifPlayer::FrameChanged, &player,
                     [this](int index) { Seen.push_back(index); });
  }
  std::vector<int> Seen;
};

TEST_F(TGifPlayerTest, StepsThroughTheFramesAndLoopsForever) {
  TGifPlayer player(Frames({50, 60, 70}, 0));
  Watch(player);
  EXPECT_EQ(player.CurrentIndex(), 0);
  EXPECT_EQ(player.CurrentFrame().pixel(0, 0), qRgb(0, 0, 0));
  for (int i = 0; i < 7; ++i) player.Advance();
  EXPECT_EQ(Seen, (std::vector<int>{1, 2, 0, 1, 2, 0, 1}));
  EXPECT_EQ(player.CurrentIndex(), 1);
  EXPECT_EQ(player.CurrentFrame().pixel(0, 0), qRgb(40, 40, 40));
  EXPECT_EQ(player.CurrentDelay(), 60);
  EXPECT_FALSE(player.Finished());
}

TEST_F(TGifPlayerTest, AFinitePlayCountStopsOnTheLastFrame) {
  TGifPlayer player(Frames({50, 50}, 2));
  Watch(player);
  player.Start();
  EXPECT_TRUE(player.IsRunning());
  for (int i = 0; i < 6; ++i) player.Advance();
  EXPECT_EQ(Seen, (std::vector<int>{1, 0, 1}));
  EXPECT_TRUE(player.Finished());
  EXPECT_FALSE(player.IsRunning());
  EXPECT_EQ(player.CurrentIndex(), 1);
  player.Start();
  EXPECT_FALSE(player.IsRunning());

  player.Rewind();
  EXPECT_EQ(player.CurrentIndex(), 0);
  EXPECT_FALSE(player.Finished());
  player.Start();
  EXPECT_TRUE(player.IsRunning());
}

TEST_F(TGifPlayerTest, PausingKeepsTheFrameAndResumingGoesOnFromIt) {
  TGifPlayer player(Frames({50, 50, 50}, 0));
  player.Start();
  player.Advance();
  player.Stop();
  EXPECT_FALSE(player.IsRunning());
  EXPECT_EQ(player.CurrentIndex(), 1);
  player.Start();
  EXPECT_TRUE(player.IsRunning());
  EXPECT_EQ(player.CurrentIndex(), 1);
}

TEST_F(TGifPlayerTest, OneFrameOrNoneNeverMoves) {
  TGifPlayer single(Frames({0}, 0));
  single.Start();
  EXPECT_FALSE(single.IsRunning());
  single.Advance();
  EXPECT_EQ(single.CurrentIndex(), 0);

  TGifPlayer none(Frames({}, 0));
  none.Start();
  none.Advance();
  EXPECT_TRUE(none.CurrentFrame().isNull());
  EXPECT_EQ(none.CurrentDelay(), DefaultGifDelayMs);
}

TEST_F(TGifPlayerTest, VeryShortDelaysAreRaisedAsBrowsersDo) {
  EXPECT_EQ(EffectiveGifDelay(0), DefaultGifDelayMs);
  EXPECT_EQ(EffectiveGifDelay(10), DefaultGifDelayMs);
  EXPECT_EQ(EffectiveGifDelay(-5), DefaultGifDelayMs);
  EXPECT_EQ(EffectiveGifDelay(20), 20);
  TGifPlayer player(Frames({0, 30}, 0));
  EXPECT_EQ(player.CurrentDelay(), DefaultGifDelayMs);
  player.Advance();
  EXPECT_EQ(player.CurrentDelay(), 30);
}

TEST_F(TGifPlayerTest, AReceiverMayDeleteThePlayerOnAFrameChange) {
  for (const bool rewind : {false, true}) {
    auto* player = new TGifPlayer(Frames({50, 60}, 0));
    player->Start();
    if (rewind) player->Advance();
    QObject::connect(player, &TGifPlayer::FrameChanged, [player](int) { delete player; });
    // Under AddressSanitizer any use of the player after the signal fails here.
    rewind ? player->Rewind() : player->Advance();
  }
}

}  // namespace
}  // namespace zephra::widgets
