#pragma once

// What every end-to-end test shares: the real program on the test's virtual X display next to a
// stand-in for the partner hotspot, a phone simulator in this process on the program's fixed
// ports, and ways to read the screen, the cache folder and the phone's log.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QPoint>
#include <QProcessEnvironment>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "child_process.h"
#include "local_ports.h"
#include "phone/phone_simulator.h"
#include "virtual_display.h"

namespace zephra::e2e {

inline constexpr int StartMs = 20000;  // a child process comes up
inline constexpr int ShowMs = 20000;   // a picture reaches the screen
inline constexpr int PollMs = 50;
// A phone that left a moment ago holds the session until the program has seen it go.
inline constexpr int BusySessionMs = 5000;

inline constexpr QRgb DesktopColour = qRgb(200, 200, 200);
inline constexpr int ColourTolerance = 40;
inline constexpr char PhoneName[] = "e2e-phone";
inline const QPoint Centre(ScreenWidth / 2, ScreenHeight / 2);

// Flat colours far from the desktop's greys and from each other.
inline constexpr QRgb Palette[] = {qRgb(220, 30, 30), qRgb(30, 200, 50), qRgb(40, 60, 230),
                                   qRgb(230, 210, 30), qRgb(200, 40, 210)};

// The test program's QCoreApplication, made once.
void EnsureCoreApplication();

// Polls `condition` until it holds (true) or `ms` have passed (false).
template <typename Condition>
bool Eventually(Condition condition, int ms = ShowMs) {
  QDeadlineTimer deadline(ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(PollMs);
  }
  return true;
}

// Both link ports accept a connection; neither does.
bool LinkPortsAccept();
bool LinkPortsClosed();

// A 2:1 picture in one colour, smaller than the screen, as a JPEG.
QByteArray SolidJpeg(QRgb colour);

// xdotool on the test's display: whether it is installed, and a run of it that ended with
// success. Positions are in screen pixels; buttons are X's (1 left, 3 right).
bool XdotoolPresent();
bool RunXdotool(const QStringList& arguments);
bool MovePointer(QPoint point);
bool ClickAt(QPoint point, int button);
// Presses and releases each key (X keysym names such as "Down" or "Return") in turn.
bool PressKeys(const QStringList& keys);

// Where a program started by LaunchProgram writes: standard error goes to the test's, standard
// output nowhere; or both are kept for the test to read.
enum class ProgramOutput { Forwarded, Captured };

class ProgramE2eTest : public ::testing::Test {
 protected:
  // Skips without a display or with a link port taken, and fails when a program of this user
  // left by an earlier run holds one; otherwise the desktop, the stand-in and the program,
  // which then listens on both link ports.
  void SetUp() override;
  // The phone leaves, the program gets SIGTERM (and must end cleanly), the stand-in stops.
  void TearDown() override;
  // Brings up the display the program is to run on and points $DISPLAY at it, or skips: Xvfb.
  virtual void StartDisplay();
  // Runs before the stand-in and the program come up: a window manager, say.
  virtual void StartDesktop() {}
  // What switches the link on: the partner's stand-in, unless a test follows another source.
  virtual void StartHotspotSource() { StartStandin(); }
  // Whether the program is to listen on the link ports as soon as it runs.
  virtual bool ListensAtStart() const { return true; }

  // The partner's stand-in, run from a copy with a name of this test's own: the program counts
  // the partner's processes by executable name, and other test runs on the machine have theirs.
  void StartStandin();
  void StopStandin();
  // The program's environment: the virtual display, and caches, settings and the
  // single-instance lock in the test's folder.
  virtual QProcessEnvironment ProgramEnvironment();
  // Starts a copy of the program in `program` with that environment.
  void LaunchProgram(ChildProcess& program, ProgramOutput output = ProgramOutput::Forwarded);
  // Starts the program and waits until both link ports listen.
  void StartProgram();

  QString CacheRoot() const;
  QString PhoneCache() const;
  QStringList CachedFiles() const;
  // True when nothing, not even an empty folder, is left in the cache.
  bool CacheEmpty() const;

  // `bytes` as the phone's "/DCIM/<fileName>".
  phone::PhonePicture AddPicture(const QString& fileName, const QByteArray& bytes);
  // The phone joins and sends its list (entry options.startIndex first), waiting up to
  // BusySessionMs for the session of a phone that just left to end.
  void StartPhone(const QList<phone::PhonePicture>& pictures, phone::PhoneOptions options = {});

  std::vector<std::string> Log();
  bool Logged(const std::string& line);
  // The lines of the phone's log that start with `prefix`, in order.
  std::vector<std::string> LogLines(const std::string& prefix);
  // The picture names of the PC's chunk requests, in order.
  std::vector<std::string> ChunkRequests();
  int ChunkRequestsFor(const QString& name);

  bool ViewerMapped();
  QRgb PixelAt(QPoint point);
  bool WaitForColour(QPoint point, QRgb colour, int ms = ShowMs);

  QTemporaryDir dir_;
  // The program's system bus; empty: none at all (an address where no bus runs), so that the
  // machine's own NetworkManager plays no part.
  QString systemBus_;
  std::unique_ptr<XClient> x_;
  ChildProcess standin_;
  ChildProcess app_;
  bool appStarted_ = false;
  std::unique_ptr<phone::PhoneSimulator> phone_;

 private:
  std::mutex logMutex_;
  std::vector<std::string> log_;
};

}  // namespace zephra::e2e
