// The program in a Wayland session: a headless weston with its desktop shell, WAYLAND_DISPLAY,
// DISPLAY and XDG_SESSION_TYPE set as a session sets them and no QT_QPA_PLATFORM, so that the
// program itself picks weston's XWayland.
// XWayland lets no X client read the screen, so the viewer's backdrop can't be the desktop and
// the screen is read back from weston instead.

#include <memory>
#include <optional>
#include <vector>

#include "e2e_fixture.h"
#include "test_files.h"
#include "viewer/viewer_constants.h"
#include "wayland_session.h"

namespace zephra::e2e {
namespace {

using viewer::testing::Near;

// The viewer's own colour, RGB(77, 77, 77), dimmed to 40/255 as the desktop would be.
constexpr QRgb DimmedPlain = qRgb(12, 12, 12);
constexpr int PlainTolerance = 3;

// Beside the picture: the top band where weston's panel is, the middle of each side and the
// bottom, away from the close button at the top right and the toast at the bottom right.
const QPoint BackdropPoints[] = {{512, 8}, {200, 60}, {8, 384}, {1015, 384}, {512, 720}};

class WaylandE2eTest : public ProgramE2eTest {
 protected:
  // weston in place of Xvfb, with its runtime folder the program's; this process's DISPLAY and
  // WAYLAND_DISPLAY point at it until TearDown.
  void StartDisplay() override {
    session_ = std::make_unique<WestonSession>(dir_.filePath(QStringLiteral("XDG_RUNTIME_DIR")),
                                               dir_.filePath(QStringLiteral("weston.log")));
    if (!session_->Up()) GTEST_SKIP() << session_->Problem();
    for (const char* name : SessionVariables) {
      saved_.emplace_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                          : std::nullopt);
    }
    qputenv("DISPLAY", session_->XDisplay());
    qputenv("WAYLAND_DISPLAY", WestonSession::WaylandSocket);
  }
  void TearDown() override {
    ProgramE2eTest::TearDown();
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) {
        qputenv(SessionVariables[i], *saved_[i]);
      } else {
        qunsetenv(SessionVariables[i]);
      }
    }
    session_.reset();
  }

  QProcessEnvironment ProgramEnvironment() override {
    QProcessEnvironment environment = ProgramE2eTest::ProgramEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    return environment;
  }

  std::unique_ptr<WestonSession> session_;

 private:
  static constexpr const char* SessionVariables[] = {"DISPLAY", "WAYLAND_DISPLAY"};
  // Their values before the session; none where one wasn't set.
  std::vector<std::optional<QByteArray>> saved_;
};

TEST_F(WaylandE2eTest, FirstPictureFillsTheScreenOverThePlainDimmedBackdrop) {
  // Red, green, blue and white quadrants, shown at their size in the middle of the screen.
  StartPhone({AddPicture(QStringLiteral("a.jpg"),
                         viewer::testing::EncodeJpeg(viewer::testing::Quadrants(480, 240)))});

  // The window manager (weston's) puts the viewer over the whole screen, panel included.
  const QRect screenRect(0, 0, ScreenWidth, ScreenHeight);
  std::optional<XClient::Window> viewer;
  ASSERT_TRUE(Eventually([&] {
    viewer = x_->FindWindow(QByteArray(viewer::ViewerCaption));
    return viewer && viewer->rect == screenRect;
  })) << "the viewer is not up over the screen";

  ASSERT_TRUE(Eventually([&] {
    const QImage shot = session_->Screenshot();
    return shot.size() == screenRect.size() &&
           Near(shot.pixel(Centre + QPoint(-120, -60)), qRgb(255, 0, 0));
  })) << "the picture did not reach weston's screen";
  const QImage screen = session_->Screenshot();
  ASSERT_EQ(screen.size(), screenRect.size());
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(120, -60)), qRgb(0, 255, 0)));
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(-120, 60)), qRgb(0, 0, 255)));
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(120, 60)), qRgb(255, 255, 255)));
  for (const QPoint point : BackdropPoints) {
    const QRgb pixel = screen.pixel(point);
    EXPECT_TRUE(Near(pixel, DimmedPlain, PlainTolerance))
        << "at " << point.x() << "," << point.y() << ": " << qRed(pixel) << " " << qGreen(pixel)
        << " " << qBlue(pixel);
  }
}

}  // namespace
}  // namespace zephra::e2e
