#include "shell/tfm_tips.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QScreen>

namespace zephra::shell {
namespace {

void EnsureApplication() {
  static int argc = 1;
  static char arg0[] = "shell_test";
  static char* argv[] = {arg0, nullptr};
  if (QApplication::instance() == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    new QApplication(argc, argv);  // lives until the process ends
  }
}

class TfmTipsTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  void TearDown() override {
    CloseTip();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  static QFontMetrics Metrics() { return QFontMetrics(TipFont()); }
  static QRect Screen() { return QGuiApplication::primaryScreen()->geometry(); }
};

TEST_F(TfmTipsTest, OneLineIsSizedFromItsTextAndPlacedAboveTheBottomRight) {
  const QString text = QString::fromUtf8("启用OrvexWIFI后才能使用Zephra...");
  ShowTip(text, 5000);
  TfmTips* tip = CurrentTip();
  ASSERT_NE(tip, nullptr);
  const QFontMetrics metrics = Metrics();
  const QSize expected(20 + metrics.horizontalAdvance(text), 12 + metrics.height() + 3);
  EXPECT_EQ(tip->size(), expected);
  EXPECT_EQ(tip->pos(), QPoint(Screen().right() + 1 - expected.width() - 5,
                               Screen().bottom() + 1 - expected.height() - 35));
  EXPECT_EQ(tip->LblMsg().text(), text);
  EXPECT_EQ(tip->LblMsg().geometry(), QRect(10, 6, expected.width() - 20, expected.height() - 12));
  EXPECT_TRUE(tip->isVisible());
  EXPECT_TRUE(tip->Timer1().isActive());
  EXPECT_EQ(tip->Timer1().interval(), 5000);
}

TEST_F(TfmTipsTest, TwoLinesTakeTheWiderLineAndBothLineHeights) {
  const QString first = QString::fromUtf8("已启动Zephra服务...");
  const QString second = QString::fromUtf8("用手机Zephra体验不一样的看图");
  ShowTip(first + "\r\n" + second, 5000);
  const QFontMetrics metrics = Metrics();
  const int wider = std::max(metrics.horizontalAdvance(first), metrics.horizontalAdvance(second));
  EXPECT_EQ(CurrentTip()->size(), QSize(wider + 20, 2 * metrics.height() + 6 + 12));
  EXPECT_EQ(MeasureTip(metrics, first + "\n" + second), MeasureTip(metrics, first + "\r" + second));
}

TEST_F(TfmTipsTest, ReplacingReusesTheWindowAndSameTextRestartsTheTime) {
  ShowTip(QStringLiteral("first"), 5000);
  TfmTips* tip = CurrentTip();
  const QSize size = tip->size();
  tip->resize(size + QSize(7, 7));  // an unchanged text keeps whatever size the toast has
  ShowTip(QStringLiteral("first"), 3000);
  EXPECT_EQ(CurrentTip(), tip);
  EXPECT_EQ(tip->size(), size + QSize(7, 7));
  EXPECT_EQ(tip->Timer1().interval(), 3000);
  EXPECT_TRUE(tip->Timer1().isActive());

  ShowTip(QStringLiteral("a longer second text"), 5000);
  EXPECT_EQ(CurrentTip(), tip);
  EXPECT_GT(tip->width(), size.width());
}

TEST_F(TfmTipsTest, ShortDurationsStayUpUntilReplacedOrClosed) {
  ShowTip(QStringLiteral("stays"), 100);
  ASSERT_NE(CurrentTip(), nullptr);
  EXPECT_FALSE(CurrentTip()->Timer1().isActive());
  ShowTip(QStringLiteral("stays"), 0);
  EXPECT_FALSE(CurrentTip()->Timer1().isActive());
  CloseTip();
  EXPECT_EQ(CurrentTip(), nullptr);
  CloseTip();  // nothing to close
}

TEST_F(TfmTipsTest, TimerClosesTheToast) {
  ShowTip(QStringLiteral("going"), 150);
  QPointer<TfmTips> tip = CurrentTip();
  ASSERT_TRUE(tip);
  QDeadlineTimer deadline(5000);
  while (CurrentTip() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  EXPECT_EQ(CurrentTip(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(tip);
}

TEST_F(TfmTipsTest, TakesNoInputAndIsRoundedOnTop) {
  ShowTip(QStringLiteral("look"), 5000);
  TfmTips* tip = CurrentTip();
  EXPECT_FALSE(tip->isEnabled());
  EXPECT_TRUE(tip->windowFlags().testFlag(Qt::WindowTransparentForInput));
  EXPECT_TRUE(tip->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_TRUE(tip->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(tip->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_NEAR(tip->windowOpacity(), 200.0 / 255.0, 0.01);
  // Text stays black although the window is disabled.
  EXPECT_EQ(tip->LblMsg().palette().color(QPalette::Disabled, QPalette::WindowText),
            QColor(Qt::black));

  const QRegion shape = tip->mask();
  const int w = tip->width();
  const int h = tip->height();
  EXPECT_FALSE(shape.contains(QPoint(0, 0)));
  EXPECT_TRUE(shape.contains(QPoint(w / 2, 0)));
  EXPECT_TRUE(shape.contains(QPoint(0, h / 2)));
  EXPECT_TRUE(shape.contains(QPoint(w - 1, h / 2)));
  EXPECT_TRUE(shape.contains(QPoint(w / 2, h - 1)));
}

}  // namespace
}  // namespace zephra::shell
