#include "widgets/transition_effects.h"

#include <gtest/gtest.h>

#include <QString>
#include <atomic>
#include <ostream>
#include <thread>
#include <vector>

#include "test_pictures.h"
#include "widgets/effect_regions.h"
#include "widgets/effect_support.h"
#include "widgets/region_copy.h"

namespace zephra::widgets {
namespace {

using testing::CountEqualPixels;
using testing::FlatPicture;
using testing::NoisePicture;
using testing::SamePixels;

const QString FadeName = QStringLiteral("淡入淡出");

TEST(TransitionEffects, TableHoldsThirteenNamedEffectsWithThreeFades) {
  ASSERT_EQ(Effects.size(), 13u);
  for (int i : {0, 5, 10}) {
    EXPECT_EQ(QString::fromUtf8(Effects[i].Name), FadeName);
    EXPECT_EQ(Effects[i].Proc, &EffectFade);
  }
  EXPECT_EQ(QString::fromUtf8(Effects[1].Name), QStringLiteral("百叶窗"));
  EXPECT_EQ(QString::fromUtf8(Effects[9].Name), QStringLiteral("溶解"));
  EXPECT_EQ(QString::fromUtf8(Effects[12].Name), QStringLiteral("星爆式(逆时针)"));
  EXPECT_EQ(Effects[12].Proc, &EffectStarBurst);
}

// The variant patterns worth running for an effect: all six for the mesh, both directions or
// orientations (pattern div 3) for the effects that have them.
std::vector<int> PatternsFor(int index) {
  if (index == 8) return {0, 1, 2, 3, 4, 5};
  if (index == 1 || index == 6 || index == 11) return {0, 3};
  return {0};
}

bool IsFade(int index) { return Effects[index].Proc == &EffectFade; }

// Every effect and variant, a whole run of ten steps: the last step leaves the source.
class EffectRun : public ::testing::TestWithParam<QSize> {};

TEST_P(EffectRun, StepsUpToOneHundredEndOnTheSource) {
  const QSize size = GetParam();
  const QImage source = NoisePicture(size.width(), size.height(), 1);
  const QImage old = NoisePicture(size.width(), size.height(), 2);
  const QRect rect(QPoint(0, 0), size);
  SeedEffectRandom(5);
  for (int index = 0; index < EffectCount; ++index) {
    for (int pattern : PatternsFor(index)) {
      SetEffectVariant({pattern, pattern / 3, pattern / 3});
      QImage dest = old.copy();
      for (int progress = 10; progress <= 100; progress += 10) {
        Effects[index].Proc(dest, source, rect, DefaultEffectSpacing, progress);
        if (IsFade(index)) continue;
        // Between steps every pixel is the old one or the new one.
        ASSERT_EQ(CountEqualPixels(dest, source) + CountEqualPixels(dest, old),
                  size.width() * size.height())
            << index << " at " << progress;
      }
      EXPECT_TRUE(SamePixels(dest, source)) << "effect " << index << " pattern " << pattern;
    }
  }
}

}  // namespace
}  // namespace zephra::widgets

// Test names show the picture size.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QSize& size, std::ostream* out) {
  *out << size.width() << "x" << size.height();
}
QT_END_NAMESPACE

namespace zephra::widgets {
namespace {

INSTANTIATE_TEST_SUITE_P(Sizes, EffectRun,
                         ::testing::Values(QSize(1, 1), QSize(2, 1), QSize(1, 3), QSize(3, 3),
                                           QSize(7, 5), QSize(89, 61), QSize(1000, 15),
                                           QSize(40, 900), QSize(930, 570)));

TEST(TransitionEffects, RegionEffectsRevealPartOfThePictureHalfway) {
  const QImage source = NoisePicture(330, 190, 1);
  const QImage old = NoisePicture(330, 190, 2);
  SetEffectVariant({2, 0, 1});
  for (int index : {1, 2, 3, 4, 6, 7, 8, 9, 11, 12}) {
    QImage dest = old.copy();
    Effects[index].Proc(dest, source, source.rect(), DefaultEffectSpacing, 50);
    const int revealed = CountEqualPixels(dest, source);
    EXPECT_GT(revealed, 0) << index;
    EXPECT_LT(revealed, 330 * 190) << index;
  }
}

TEST(TransitionEffects, CombEffectsCopyExactlyTheirRegions) {
  const QImage source = NoisePicture(143, 97, 1);
  const QImage old = NoisePicture(143, 97, 2);
  for (int progress : {10, 30, 50, 70, 90}) {
    const TEffectMeasures m = CommonMeasures(143, 97, DefaultEffectSpacing, progress);
    for (int pattern = 0; pattern < MeshPatternCount; ++pattern) {
      SetEffectVariant({pattern, pattern % 2, 0});
      QImage fast = old.copy(), expected = old.copy();
      EffectMesh(fast, source, source.rect(), DefaultEffectSpacing, progress);
      CopyThroughRegion(expected, source, Mesh(m, pattern));
      EXPECT_TRUE(SamePixels(fast, expected)) << "mesh " << pattern << " at " << progress;

      fast = old.copy();
      expected = old.copy();
      EffectTurningComb(fast, source, source.rect(), DefaultEffectSpacing, progress);
      CopyThroughRegion(expected, source, TurningComb(m, pattern % 2));
      EXPECT_TRUE(SamePixels(fast, expected)) << "comb " << pattern % 2 << " at " << progress;
    }
  }
}

TEST(TransitionEffects, TinyPicturesWaitForTheLastStep) {
  // 4 x 4 has u = 0: the blinds and rectangles have no measures before 100.
  const QImage source = NoisePicture(4, 4, 1);
  const QImage old = NoisePicture(4, 4, 2);
  for (TEffectProc proc : {&EffectBlinds, &EffectRectangles}) {
    QImage dest = old.copy();
    proc(dest, source, source.rect(), DefaultEffectSpacing, 90);
    EXPECT_TRUE(SamePixels(dest, old));
    proc(dest, source, source.rect(), DefaultEffectSpacing, 100);
    EXPECT_TRUE(SamePixels(dest, source));
  }
}

TEST(TransitionEffects, FadeHalfwayFromBlackToWhiteIs127) {
  QImage dest = FlatPicture(31, 3, 0, 0, 0);
  const QImage white = FlatPicture(31, 3, 255, 255, 255);
  EffectFade(dest, white, dest.rect(), DefaultEffectSpacing, 50);
  EXPECT_TRUE(SamePixels(dest, FlatPicture(31, 3, 127, 127, 127)));
  // From white to black: (128 x -255 + 255 x 256) >> 8 is 127 as well.
  QImage back = white.copy();
  EffectFade(back, FlatPicture(31, 3, 0, 0, 0), back.rect(), DefaultEffectSpacing, 50);
  EXPECT_EQ(back.pixelColor(30, 2).red(), 127);
  EXPECT_EQ(back.pixelColor(30, 2).blue(), 127);
}

TEST(TransitionEffects, FadeAndDissolveIgnoreTheRectangle) {
  const QImage source = NoisePicture(30, 20, 1);
  for (TEffectProc proc : {&EffectFade, &EffectDissolve}) {
    QImage dest = NoisePicture(30, 20, 2);
    proc(dest, source, QRect(), DefaultEffectSpacing, 100);
    EXPECT_TRUE(SamePixels(dest, source));
  }
}

TEST(TransitionEffects, FadeBlendsEveryChannelByItsOwnValues) {
  QImage dest = FlatPicture(5, 2, 10, 200, 100);
  EffectFade(dest, FlatPicture(5, 2, 250, 0, 100), dest.rect(), DefaultEffectSpacing, 30);
  // k = 76: (76 x (s - d) + 256 d) >> 8.
  EXPECT_EQ(dest.pixelColor(4, 1),
            QColor(100, (76 * -200 + 200 * 256) >> 8, (76 * 240 + 2560) >> 8));
}

TEST(TransitionEffects, DissolveTakesAboutTheProgressShareOfPixels) {
  const QImage source = NoisePicture(200, 100, 1);
  QImage dest = NoisePicture(200, 100, 2);
  SeedEffectRandom(11);
  EffectDissolve(dest, source, dest.rect(), DefaultEffectSpacing, 30);
  const int taken = CountEqualPixels(dest, source);
  EXPECT_GT(taken, 20000 * 27 / 100);
  EXPECT_LT(taken, 20000 * 33 / 100);
}

TEST(TransitionEffects, DissolveCopiesPicturesOfOneRowAtOnce) {
  const QImage source = NoisePicture(50, 1, 1);
  QImage dest = NoisePicture(50, 1, 2);
  EffectDissolve(dest, source, dest.rect(), DefaultEffectSpacing, 10);
  EXPECT_TRUE(SamePixels(dest, source));
}

TEST(TransitionEffects, MismatchedBitmapsAreLeftAlone) {
  const QImage old = NoisePicture(20, 10, 2);
  QImage dest = old.copy();
  for (const TEffect& effect : Effects) {
    effect.Proc(dest, NoisePicture(21, 10, 1), dest.rect(), DefaultEffectSpacing, 100);
    effect.Proc(dest, NoisePicture(20, 10, 1).convertToFormat(QImage::Format_RGB32), dest.rect(),
                DefaultEffectSpacing, 100);
  }
  EXPECT_TRUE(SamePixels(dest, old));
}

TEST(TransitionEffects, SwappedByteOrderIsNotCopiedAsIs) {
  // R,G,B bytes copied onto a B,G,R bitmap would swap red and blue.
  const QImage old = FlatPicture(20, 10, 0, 0, 0);
  const QImage red = FlatPicture(20, 10, 0, 0, 255).convertToFormat(QImage::Format_RGB888);
  for (const TEffect& effect : Effects) {
    QImage dest = old.copy();
    effect.Proc(dest, red, dest.rect(), DefaultEffectSpacing, 100);
    EXPECT_NE(dest.pixelColor(0, 0), QColor(Qt::blue)) << effect.Name;
  }
}

TEST(TransitionEffects, RectangleLargerThanTheBitmapsIsCutToThem) {
  const QImage source = NoisePicture(40, 30, 1);
  const QImage old = NoisePicture(40, 30, 2);
  SetEffectVariant({5, 1, 1});
  for (int index = 0; index < EffectCount; ++index) {
    QImage huge = old.copy(), exact = old.copy();
    SeedEffectRandom(9);
    Effects[index].Proc(huge, source, QRect(0, 0, 1 << 30, 1 << 30), DefaultEffectSpacing, 50);
    SeedEffectRandom(9);
    Effects[index].Proc(exact, source, exact.rect(), DefaultEffectSpacing, 50);
    EXPECT_TRUE(SamePixels(huge, exact)) << index;
  }
}

TEST(TransitionEffects, VariantSetOnAnotherThreadWhileEffectsRun) {
  // Run under ThreadSanitizer this pins that the variant values are read and written atomically.
  const QImage source = NoisePicture(64, 48, 1);
  std::atomic<bool> done{false};
  std::thread setter([&] {
    for (int i = 0; !done.load(); ++i) SetEffectVariant({i % MeshPatternCount, i % 2, i % 2});
  });
  QImage dest = NoisePicture(64, 48, 2);
  for (int progress = 10; progress <= 100; progress += 10) {
    for (int index : {1, 6, 8, 11}) {
      Effects[index].Proc(dest, source, dest.rect(), DefaultEffectSpacing, progress);
    }
  }
  done = true;
  setter.join();
  EXPECT_TRUE(SamePixels(dest, source));
}

}  // namespace
}  // namespace zephra::widgets
