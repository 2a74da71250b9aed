// The neighbour plan and the image-cache worker with real files in a cache folder.

#include "viewer/img_cache.h"

#include <gtest/gtest.h>

#include <QThread>

#include "base/stop_flag.h"
#include "view_test_support.h"
#include "viewer/neighbour_plan.h"

namespace zephra::viewer {
namespace {

using testing::FlatJpeg;
using testing::SpinUntil;
using testing::TTestCache;

TEST(NeighbourPlan, PreviousAndNextWrappingAroundTheList) {
  EXPECT_EQ(NeighbourIndexes(1, 0), std::vector<int>{});
  EXPECT_EQ(NeighbourIndexes(2, 0), std::vector<int>{1});
  EXPECT_EQ(NeighbourIndexes(2, 1), std::vector<int>{0});
  EXPECT_EQ(NeighbourIndexes(10, 9), (std::vector<int>{0, 8}));
  EXPECT_EQ(NeighbourIndexes(10, 0), (std::vector<int>{1, 9}));
  EXPECT_EQ(NeighbourIndexes(10, 4), (std::vector<int>{3, 5}));
  EXPECT_EQ(NeighbourIndexes(3, 1), (std::vector<int>{0, 2}));
}

class ImgCacheTest : public ::testing::Test {
 protected:
  TThrImgCache& MakeWorker(bool fitted = true) {
    worker_ = std::make_unique<TThrImgCache>(
        TImgCacheEnv{files_.Cache(), requests_, abortLoad_, QSize(320, 240),
                     std::chrono::milliseconds(2000), [fitted] { return fitted; }});
    return *worker_;
  }
  // Waits until the worker has served `passes` wake-ups.
  bool WaitForPasses(int passes) {
    return SpinUntil([&] { return worker_->Passes() >= passes; });
  }

  TTestCache files_;
  TPictureRequests requests_;  // no request service: files not in the cache can't be had
  base::TStopFlag abortLoad_;
  std::unique_ptr<TThrImgCache> worker_;
};

TEST_F(ImgCacheTest, NeighboursAreDecodedReducedAndAFailedOneIsMarked) {
  const QString a = files_.Put("/a.jpg", FlatJpeg(1280, 960, qRgb(255, 0, 0)));
  const QString b = files_.Put("/b.jpg", FlatJpeg(64, 48, qRgb(0, 255, 0)));
  const QString c = files_.Put("/c.jpg", QByteArray("not a picture"));
  TThrImgCache& worker = MakeWorker();
  worker.PlanNeighbours({"/a.jpg", "/b.jpg", "/c.jpg"}, {a, b, c}, 2);
  worker.KickCache("/c.jpg", c, false);
  ASSERT_TRUE(WaitForPasses(1));

  const TImgCache first = worker.SlotCopy(0);
  EXPECT_EQ(first.Name, "/a.jpg");
  EXPECT_EQ(first.State, isReady);
  EXPECT_EQ(first.Picture.size(), QSize(320, 240));  // 1/4 for a 320 x 240 screen
  EXPECT_TRUE(first.Reduced);
  EXPECT_EQ(first.Width, 1280);
  EXPECT_EQ(worker.SlotCopy(1).State, isReady);
  EXPECT_EQ(worker.FindSlot("/B.JPG"), 1);  // names match ignoring case
  // Nothing was prepared at full resolution: the current picture isn't shown reduced.
  EXPECT_EQ(worker.FullCopy().State, isFailed);

  // The broken file as a neighbour fails and stays failed.
  worker.PlanNeighbours({"/a.jpg", "/b.jpg", "/c.jpg"}, {a, b, c}, 0);
  worker.KickCache("/a.jpg", a, true);
  ASSERT_TRUE(WaitForPasses(2));
  // Slot 1 keeps /b.jpg, still wanted; slot 0 takes the other wish.
  EXPECT_EQ(worker.FindSlot("/b.jpg"), 1);
  EXPECT_EQ(worker.FindSlot("/c.jpg"), 0);
  EXPECT_EQ(worker.SlotCopy(0).State, isFailed);
  // The reduced JPEG on show got its full-resolution decode.
  TImgCache full;
  EXPECT_TRUE(worker.TakeFull("/a.jpg", full));
  EXPECT_EQ(full.Picture.size(), QSize(1280, 960));
  EXPECT_FALSE(worker.TakeFull("/a.jpg", full));  // handed out once
}

TEST_F(ImgCacheTest, UnobtainableNeighboursStayPendingAndIconsAreNeverWanted) {
  const QString a = files_.Put("/a.jpg", FlatJpeg(64, 48, qRgb(255, 0, 0)));
  TThrImgCache& worker = MakeWorker();
  worker.PlanNeighbours({"/a.jpg", "/missing.jpg", "/b.ico"}, {a, "100", "100"}, 0);
  worker.KickCache("/a.jpg", a, false);
  ASSERT_TRUE(WaitForPasses(1));
  EXPECT_EQ(worker.FindSlot("/b.ico"), -1);
  const TImgCache missing = worker.SlotCopy(0);
  EXPECT_EQ(missing.Name, "/missing.jpg");
  EXPECT_EQ(missing.State, isPending);  // tried again at the next wake-up

  // A list of one makes no requests, so nothing wakes the worker.
  worker.PlanNeighbours({"/a.jpg"}, {a}, 0);
  worker.KickCache("/a.jpg", a, true);
  QThread::msleep(50);
  EXPECT_EQ(worker.Passes(), 1);
}

TEST_F(ImgCacheTest, TakeCachedSwapsTheShownPictureIntoTheSlot) {
  const QString a = files_.Put("/a.jpg", FlatJpeg(64, 48, qRgb(255, 0, 0)));
  const QString b = files_.Put("/b.jpg", FlatJpeg(32, 24, qRgb(0, 0, 255)));
  TThrImgCache& worker = MakeWorker();
  worker.PlanNeighbours({"/a.jpg", "/b.jpg"}, {a, b}, 0);
  worker.KickCache("/a.jpg", a, false);
  ASSERT_TRUE(WaitForPasses(1));

  TImgCache shown;
  shown.Name = "/a.jpg";
  shown.Key = a;
  shown.Picture = QImage(64, 48, QImage::Format_BGR888);
  shown.Width = 64;
  // A file that changed its size under the same name is another picture.
  EXPECT_FALSE(worker.TakeCached("/b.jpg", "1", true, shown));
  EXPECT_TRUE(worker.TakeCached("/b.jpg", b, true, shown));
  EXPECT_EQ(shown.Name, "/b.jpg");
  EXPECT_EQ(shown.Picture.size(), QSize(32, 24));
  const TImgCache slot = worker.SlotCopy(worker.FindSlot("/a.jpg"));
  EXPECT_EQ(slot.State, isReady);
  EXPECT_EQ(slot.Picture.size(), QSize(64, 48));

  // A shown picture that is nothing (a stand-in was on screen) leaves a failed, unnamed slot.
  TImgCache nothing;
  nothing.Name = "/b.jpg";
  EXPECT_TRUE(worker.TakeCached("/a.jpg", a, true, nothing));
  EXPECT_EQ(worker.FindSlot("/b.jpg"), -1);
}

}  // namespace
}  // namespace zephra::viewer
