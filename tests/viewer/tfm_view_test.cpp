// The viewer window on Qt's offscreen platform, with its pictures already in the cache.

#include "viewer/tfm_view.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QThread>

#include "base/stop_flag.h"
#include "test_files.h"
#include "view_test_support.h"
#include "viewer/screen_capture.h"

namespace zephra::viewer {
namespace {

using testing::FlatJpeg;
using testing::SpinUntil;

constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Green = qRgb(0, 255, 0);
constexpr QRgb Blue = qRgb(0, 0, 255);

QString Quoted(const QStringList& names) {
  QStringList quoted;
  for (const QString& name : names) quoted.append('"' + name + '"');
  return quoted.join(',');
}

class TfmViewTest : public ::testing::Test {
 protected:
  TfmViewTest() { testing::EnsureApplication(); }
  ~TfmViewTest() override {
    if (view_) view_->FreeViewer();
  }

  TfmView& MakeView(TViewerConfig config = {}) {
    config.ScreenSize = QSize(640, 480);
    config.FetchWait = std::chrono::milliseconds(2000);
    view_ = std::make_unique<TfmView>(files_.Cache(), requests_, abortLoad_, config);
    view_->InitViewer();
    view_->SetOnClosed([this] { ++closedCalls_; });
    return *view_;
  }
  // A list of flat JPEGs: name i is "/p<i>.jpg" of size `sizes[i]` and colour `colours[i]`.
  void PutList(const std::vector<QSize>& sizes, const std::vector<QRgb>& colours) {
    names_.clear();
    sizeTexts_.clear();
    for (size_t i = 0; i < sizes.size(); ++i) {
      const QString name = QStringLiteral("/p%1.jpg").arg(i);
      names_.append(name);
      sizeTexts_.append(
          files_.Put(name, FlatJpeg(sizes[i].width(), sizes[i].height(), colours[i])));
    }
  }
  void Show(int index) { view_->ShowList(index, Quoted(names_), sizeTexts_.join(',')); }
  bool WaitForFetch() {
    return SpinUntil([this] { return !view_->FetchRunning(); });
  }
  QRgb Centre() {
    const QImage& bitmap = view_->ImageCC1().Picture().Bitmap();
    return bitmap.pixel(bitmap.width() / 2, bitmap.height() / 2);
  }

  testing::TTestCache files_;
  TPictureRequests requests_;
  base::TStopFlag abortLoad_;
  std::unique_ptr<TfmView> view_;
  QStringList names_;
  QStringList sizeTexts_;
  int closedCalls_ = 0;
};

TEST_F(TfmViewTest, AFailedFirstPictureKeepsTheWindowHiddenAndAGoodOneBringsItUp) {
  TfmView& view = MakeView();
  view.ShowList(0, Quoted({"/missing.jpg"}), "1000");
  ASSERT_TRUE(WaitForFetch());
  EXPECT_EQ(view.FetchResult(), FetchNoService);
  EXPECT_TRUE(view.ViewerHidden());
  EXPECT_FALSE(view.isVisible());

  PutList({QSize(1280, 960)}, {Red});
  Show(0);
  ASSERT_TRUE(WaitForFetch());
  EXPECT_FALSE(view.ViewerHidden());
  EXPECT_TRUE(view.isVisible());
  // Reduced to the screen (1/2), the full size remembered.
  EXPECT_EQ(view.ImageCC1().Picture().Bitmap().size(), QSize(640, 480));
  EXPECT_TRUE(view.Reduced());
  EXPECT_EQ(view.SrcWidth(), 1280);
  EXPECT_TRUE(testing::Near(Centre(), Red));
  // The offscreen screen isn't the view's 640x480: the plain backdrop, dimmed.
  ASSERT_EQ(view.Background().size(), QSize(640, 480));
  EXPECT_EQ(view.Background().pixel(320, 240), qRgb(12, 12, 12));

  view.HandleKey(VkEscape, TShiftState{false, false, true});  // Alt + Esc closes too
  EXPECT_TRUE(view.ViewerHidden());
  EXPECT_EQ(closedCalls_, 1);
  EXPECT_FALSE(view.ImageCC1().Picture().HasGraphic());
  // What only the window needed is released while the program waits in the tray.
  EXPECT_TRUE(view.Background().isNull());
  EXPECT_FALSE(view.TimerPool().FindTimer(PoolItemAppear)->Enabled());
  EXPECT_TRUE(view.ImageCC1().Cache().Bitmap().isNull());
  view.CloseQuietly();
  EXPECT_EQ(closedCalls_, 1);
}

TEST_F(TfmViewTest, ListsWithoutNamesOrWithoutIndexKeepWhatTheyShould) {
  TfmView& view = MakeView();
  PutList({QSize(64, 48), QSize(64, 48), QSize(64, 48)}, {Red, Green, Blue});
  Show(0);
  ASSERT_TRUE(WaitForFetch());
  // No names: entry 2 of the list held.
  view.ShowList(2, QString(), QString());
  ASSERT_TRUE(WaitForFetch());
  EXPECT_EQ(view.Content().ItemIndex, 2);
  EXPECT_TRUE(testing::Near(Centre(), Blue));
  // Names but no index: the list is replaced, nothing new is shown.
  view.ShowList(-1, Quoted({"/other.jpg"}), "10");
  ASSERT_TRUE(WaitForFetch());
  EXPECT_EQ(view.Names(), QStringList{"/other.jpg"});
  EXPECT_TRUE(testing::Near(Centre(), Blue));
}

TEST_F(TfmViewTest, AFailingPictureOnScreenShowsTheCannotShowPicture) {
  TfmView& view = MakeView();
  PutList({QSize(64, 48)}, {Red});
  names_.append("/broken.jpg");
  sizeTexts_.append(files_.Put("/broken.jpg", QByteArray("no picture here")));
  Show(0);
  ASSERT_TRUE(WaitForFetch());
  Show(1);
  ASSERT_TRUE(WaitForFetch());
  EXPECT_TRUE(view.Empty());
  EXPECT_EQ(view.ImageCC1().Picture().Size(), QSize(203, 176));
  EXPECT_FALSE(view.ViewerHidden());
  // Zooming the stand-in must not bring back an earlier picture.
  view.HandleKey(VkNumPadPlus, {});
  EXPECT_EQ(view.ImageCC1().Picture().Size(), QSize(203, 176));
}

TEST_F(TfmViewTest, SlideShowStepsWrapsAndReturnsToItsStartWhenStopped) {
  TViewerConfig config;
  config.SlideInterval = std::chrono::milliseconds(30);
  TfmView& view = MakeView(config);
  PutList({QSize(64, 48), QSize(64, 48), QSize(64, 48)}, {Red, Green, Blue});
  Show(1);
  ASSERT_TRUE(WaitForFetch());

  view.StartSlideShow(1, Quoted(names_), sizeTexts_.join(','));
  EXPECT_EQ(view.Content().ItemIndex, 2);  // the next picture at once
  std::vector<int> seen;
  ASSERT_TRUE(SpinUntil([&] {
    if (seen.empty() || seen.back() != view.Content().ItemIndex) {
      seen.push_back(view.Content().ItemIndex);
    }
    return seen.size() >= 3;
  }));
  EXPECT_EQ(seen, (std::vector<int>{2, 0, 1}));
  view.StartSlideShow(0, QString(), QString());  // running already: nothing
  EXPECT_TRUE(view.SlideShow());

  // A picture the phone asks for meanwhile gets its full time too.
  view.ShowList(0, QString(), QString());
  EXPECT_FALSE(view.SlideTimerActive());
  ASSERT_TRUE(WaitForFetch());

  view.StopSlideShow(true);
  ASSERT_TRUE(WaitForFetch());
  EXPECT_EQ(view.Content().ItemIndex, 1);
  EXPECT_TRUE(testing::Near(Centre(), Green));
  EXPECT_FALSE(view.SlideTimerActive());
}

TEST_F(TfmViewTest, StepsTakeThePrefetchedNeighbourAndKeepThePreviousForAStepBack) {
  TfmView& view = MakeView();
  PutList({QSize(64, 48), QSize(64, 48), QSize(64, 48)}, {Red, Green, Blue});
  Show(1);
  ASSERT_TRUE(WaitForFetch());
  TThrImgCache& cache = *view.CacheWorker();
  ASSERT_TRUE(SpinUntil([&] {
    return cache.FindSlot("/p0.jpg") >= 0 &&
           cache.SlotCopy(cache.FindSlot("/p0.jpg")).State == isReady &&
           cache.FindSlot("/p2.jpg") >= 0 &&
           cache.SlotCopy(cache.FindSlot("/p2.jpg")).State == isReady;
  }));
  view.ShowList(2, QString(), QString());
  ASSERT_TRUE(WaitForFetch());
  EXPECT_TRUE(testing::Near(Centre(), Blue));
  // The picture shown before waits in the slot the new one came from.
  const int back = cache.FindSlot("/p1.jpg");
  ASSERT_GE(back, 0);
  EXPECT_EQ(cache.SlotCopy(back).State, isReady);
  EXPECT_TRUE(testing::Near(cache.SlotCopy(back).Picture.pixel(1, 1), Green));

  // A turned picture is not kept for a step back: the next showing starts unturned.
  view.HandleKey('R', TShiftState{false, true, true});
  EXPECT_EQ(view.ImageCC1().Picture().Size(), QSize(48, 64));
  view.ShowList(1, QString(), QString());
  ASSERT_TRUE(WaitForFetch());
  view.ShowList(2, QString(), QString());
  ASSERT_TRUE(WaitForFetch());
  EXPECT_EQ(view.ImageCC1().Picture().Size(), QSize(64, 48));
}

TEST_F(TfmViewTest, AnAnimationPlaysWhenReachedByAStepAndIsNeverTurned) {
  TfmView& view = MakeView();
  PutList({QSize(64, 48)}, {Red});
  const std::vector<testing::TTestFrame> frames{{QRect(0, 0, 4, 4), std::vector<uchar>(16, 0)},
                                                {QRect(0, 0, 4, 4), std::vector<uchar>(16, 1)}};
  names_.append("/spin.gif");
  sizeTexts_.append(files_.Put(
      "/spin.gif", testing::EncodeGif(QSize(4, 4), {qRgb(255, 0, 0), qRgb(0, 0, 255)}, frames, 0)));
  Show(0);
  ASSERT_TRUE(WaitForFetch());
  TThrImgCache& cache = *view.CacheWorker();
  ASSERT_TRUE(SpinUntil([&] {
    const int slot = cache.FindSlot("/spin.gif");
    return slot >= 0 && cache.SlotCopy(slot).State == isReady;
  }));
  view.ShowList(1, QString(), QString());
  ASSERT_TRUE(WaitForFetch());
  EXPECT_EQ(view.ImageCC1().Picture().Kind(), widgets::TImageCCPicture::pkAnimation);
  view.HandleKey('R', TShiftState{false, true, true});
  EXPECT_EQ(view.ImageCC1().Picture().Kind(), widgets::TImageCCPicture::pkAnimation);
  EXPECT_EQ(view.SrcWidth(), 4);
}

TEST_F(TfmViewTest, TransformsWorkOnTheFullPictureAndTheWheelZoomsOncePerTwentyMs) {
  TfmView& view = MakeView();
  files_.Put("/q.jpg", testing::EncodeJpeg(testing::Quadrants(1280, 960)));
  view.ShowList(0, Quoted({"/q.jpg"}), QString());
  ASSERT_TRUE(WaitForFetch());
  ASSERT_TRUE(view.Reduced());

  const TShiftState ctrlAlt{false, true, true};
  view.HandleKey('R', ctrlAlt);
  EXPECT_FALSE(view.Reduced());
  EXPECT_EQ(view.SrcWidth(), 960);
  EXPECT_EQ(view.SrcHeight(), 1280);
  const QImage& bitmap = view.ImageCC1().Picture().Bitmap();
  EXPECT_EQ(bitmap.size(), QSize(960, 1280));
  // Turned clockwise: the red top-left quadrant is now top right.
  EXPECT_TRUE(testing::Near(bitmap.pixel(900, 50), qRgb(255, 0, 0)));
  view.HandleKey('D', ctrlAlt);  // every further turn turns again
  EXPECT_EQ(view.SrcWidth(), 960);
  EXPECT_TRUE(testing::Near(view.ImageCC1().Picture().Bitmap().pixel(50, 1230), qRgb(255, 0, 0)));
  view.HandleKey('R', TShiftState{true, true, true});  // with Shift: nothing
  EXPECT_EQ(view.SrcWidth(), 960);

  view.HandleKey(VkBackslash, {});
  const double fitted = view.ImageCC1().Zoom();
  view.HandleWheel(120, TShiftState{false, true, false});
  view.HandleWheel(120, TShiftState{false, true, false});  // within 20 ms: ignored
  const double once = view.ImageCC1().Zoom();
  EXPECT_GT(once, fitted);
  QThread::msleep(25);
  view.HandleWheel(120, TShiftState{false, true, false});
  const double twice = view.ImageCC1().Zoom();
  EXPECT_GT(twice, once);
  QThread::msleep(25);
  view.HandleWheel(-120, {});  // without Ctrl: nothing
  EXPECT_EQ(view.ImageCC1().Zoom(), twice);
}

TEST_F(TfmViewTest, TheCloseButtonStaysWhileThePointerIsNearItAndIsArmedToHideOtherwise) {
  TfmView& view = MakeView();
  PutList({QSize(64, 48)}, {Red});
  Show(0);
  ASSERT_TRUE(WaitForFetch());
  widgets::TKelvoTimerItem& hide = *view.TimerPool().FindTimer(PoolItemHideClose);
  EXPECT_TRUE(view.ImgClose().isVisible());
  EXPECT_TRUE(hide.Enabled());  // armed by the first appearance

  const auto move = [&view](QPoint at) {
    QMouseEvent event(QEvent::MouseMove, at, view.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&view.ImageCC1(), &event);
  };
  view.ImgClose().hide();
  move(QPoint(view.width() - CloseButtonSize - CloseBand + 1, CloseButtonSize + CloseBand - 1));
  EXPECT_TRUE(view.ImgClose().isVisible());
  EXPECT_FALSE(hide.Enabled());
  move(QPoint(view.width() / 2, view.height() / 2));
  EXPECT_TRUE(hide.Enabled());
  EXPECT_TRUE(SpinUntil([&view] { return !view.ImgClose().isVisible(); }, 6000));
}

TEST(DesktopBackdropTest, ShotsWithoutADesktopGiveThePlainColourAndARealOneIsKept) {
  const QSize screen(64, 48);
  const QColor plain(77, 77, 77);
  const auto filled = [&](QImage::Format format, QRgb colour) {
    QImage image(screen, format);
    image.fill(colour);
    return image;
  };
  const QImage plainBackdrop = filled(QImage::Format_BGR888, plain.rgb());
  const auto isPlain = [&](const QImage& backdrop) { return backdrop == plainBackdrop; };

  EXPECT_TRUE(isPlain(DesktopBackdrop(QImage(), screen, plain)));
  EXPECT_TRUE(isPlain(DesktopBackdrop(testing::Quadrants(32, 24), screen, plain)));
  EXPECT_TRUE(isPlain(DesktopBackdrop(filled(QImage::Format_RGB32, qRgb(0, 0, 0)), screen, plain)));
  EXPECT_TRUE(
      isPlain(DesktopBackdrop(filled(QImage::Format_RGB32, qRgb(255, 255, 255)), screen, plain)));
  // Transparent, whatever colour the pixels carry beneath their alpha.
  EXPECT_TRUE(isPlain(
      DesktopBackdrop(filled(QImage::Format_ARGB32, qRgba(90, 10, 200, 0)), screen, plain)));
  EXPECT_TRUE(
      isPlain(DesktopBackdrop(filled(QImage::Format_ARGB32_Premultiplied, 0), screen, plain)));

  // A desktop is kept pixel for pixel, even one that differs only in its last pixel.
  const QImage desktop = testing::Quadrants(screen.width(), screen.height());
  const QImage kept = DesktopBackdrop(desktop.convertToFormat(QImage::Format_RGB32), screen, plain);
  EXPECT_EQ(kept.format(), QImage::Format_BGR888);
  EXPECT_EQ(kept, desktop);
  QImage lastDiffers = filled(QImage::Format_RGB32, qRgb(0, 0, 0));
  lastDiffers.setPixel(screen.width() - 1, screen.height() - 1, qRgb(0, 0, 1));
  EXPECT_EQ(
      DesktopBackdrop(lastDiffers, screen, plain).pixel(screen.width() - 1, screen.height() - 1),
      qRgb(0, 0, 1));
  // Its transparent parts show the plain colour.
  QImage holed = desktop.convertToFormat(QImage::Format_ARGB32);
  holed.setPixel(3, 3, qRgba(255, 255, 255, 0));
  const QImage patched = DesktopBackdrop(holed, screen, plain);
  EXPECT_EQ(patched.pixel(3, 3), plain.rgb());
  EXPECT_EQ(patched.pixel(4, 4), desktop.pixel(4, 4));
}

}  // namespace
}  // namespace zephra::viewer
