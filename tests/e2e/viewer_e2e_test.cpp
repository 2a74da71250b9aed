// The viewer end to end: the real program on a virtual X display next to the partner hotspot's
// stand-in, a phone simulator in this process on the program's fixed ports, and the screen read
// back from the X server.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "link/link_constants.h"
#include "phone/phone_messages.h"
#include "phone/phone_simulator.h"
#include "test_files.h"
#include "virtual_display.h"

namespace zephra::e2e {
namespace {

using namespace std::chrono_literals;
using phone::PhonePicture;
using viewer::testing::EncodeJpeg;
using viewer::testing::Near;

constexpr int StartMs = 20000;  // a child process comes up
constexpr int ShowMs = 20000;   // a picture reaches the screen
constexpr int PollMs = 50;
constexpr int ConnectMs = 1000;

constexpr QRgb DesktopColour = qRgb(200, 200, 200);
// The desktop as the viewer shows it behind the picture: dimmed to 40/255.
constexpr int DimmedDesktop = 200 * 40 / 255;
constexpr int DimTolerance = 8;
constexpr int ColourTolerance = 40;

constexpr char ViewerTitle[] = "Orvex看图";
constexpr char PhoneName[] = "e2e-phone";
constexpr char CacheBelowHome[] = "zephra.wifi/Cache";

const QPoint Centre(ScreenWidth / 2, ScreenHeight / 2);
// Points of the desktop beside every picture used here (none is wider than twice its height,
// so even fitted to the screen it leaves bands above and below), away from the stand-in's window
// at the top left, the close button at the top right and the toast at the bottom right.
const QPoint DesktopPoints[] = {{512, 60}, {800, 60}, {512, 720}};

// Flat colours far from the desktop's greys and from each other.
const QRgb Palette[] = {qRgb(220, 30, 30), qRgb(30, 200, 50), qRgb(40, 60, 230), qRgb(230, 210, 30),
                        qRgb(200, 40, 210)};

void EnsureCoreApplication() {
  static int argc = 1;
  static char arg0[] = "e2e_test";
  static char* argv[] = {arg0, nullptr};
  if (QCoreApplication::instance() == nullptr) {
    new QCoreApplication(argc, argv);  // lives until the process ends
  }
}

template <typename Condition>
bool Eventually(Condition condition, int ms = ShowMs) {
  QDeadlineTimer deadline(ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(PollMs);
  }
  return true;
}

bool PortFree(quint16 port) {
  QTcpServer probe;
  return probe.listen(QHostAddress::AnyIPv4, port);
}

bool Accepts(quint16 port) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  return socket.waitForConnected(ConnectMs);
}

// A 2:1 picture in one colour, smaller than the screen.
QByteArray SolidJpeg(QRgb colour) {
  QImage image(320, 160, QImage::Format_RGB32);
  image.fill(colour);
  return EncodeJpeg(image);
}

class ViewerE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreApplication();
    if (!XServer::Instance().Up()) GTEST_SKIP() << "no Xvfb";
    for (const quint16 port : {link::ControlPort, link::DataPort}) {
      if (!PortFree(port)) GTEST_SKIP() << "port " << port << " is in use";
    }
    ASSERT_TRUE(dir_.isValid());
    x_ = std::make_unique<XClient>();
    ASSERT_TRUE(x_->Ok());
    x_->PaintRoot(DesktopColour);
    ASSERT_NO_FATAL_FAILURE(StartStandin());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
  }

  void TearDown() override {
    phone_.reset();
    if (appStarted_) {
      // SIGTERM closes the program like its menu does: promptly and cleanly.
      EXPECT_TRUE(app_.Stop()) << "the program did not end on SIGTERM";
      EXPECT_EQ(app_.Process().exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(app_.Process().exitCode(), 0);
    }
    standin_.Stop();
    x_.reset();
  }

  // The program offers the link only while the partner runs: the stand-in comes first.
  void StartStandin() {
    standin_.Process().setProcessChannelMode(QProcess::ForwardedErrorChannel);
    standin_.Process().start(QStringLiteral(HOTSPOT_STANDIN_PATH), {});
    ASSERT_TRUE(standin_.Process().waitForReadyRead(StartMs)) << "the stand-in did not come up";
    ASSERT_TRUE(standin_.Process().readLine().startsWith("ready"));
  }

  // The program on the virtual display, with caches, settings and its single-instance lock in
  // the test's folder; waits until both link ports listen.
  void StartProgram() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), qEnvironmentVariable("DISPLAY"));
    for (const char* variable : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
      const QString folder = dir_.filePath(QString::fromLatin1(variable));
      ASSERT_TRUE(QDir().mkpath(folder));
      QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
      environment.insert(QString::fromLatin1(variable), folder);
    }
    QProcess& app = app_.Process();
    app.setProcessEnvironment(environment);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.setStandardOutputFile(QProcess::nullDevice());
    app.start(QStringLiteral(ZEPHRA_WIFI_PATH), {});
    ASSERT_TRUE(app.waitForStarted(StartMs));
    appStarted_ = true;
    ASSERT_TRUE(Eventually(
        [this] {
          return !app_.Running() || (Accepts(link::ControlPort) && Accepts(link::DataPort));
        },
        StartMs))
        << "the program did not open its ports";
    ASSERT_TRUE(app_.Running()) << "the program ended with code " << app.exitCode();
  }

  QString CacheRoot() const {
    return dir_.filePath(QStringLiteral("XDG_CACHE_HOME/") + QString::fromLatin1(CacheBelowHome));
  }
  QString PhoneCache() const {
    return CacheRoot() + QLatin1Char('/') + QString::fromLatin1(PhoneName);
  }
  QStringList CachedFiles() const {
    return QDir(PhoneCache()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  }

  // `bytes` as the phone's "/DCIM/<fileName>".
  PhonePicture AddPicture(const QString& fileName, const QByteArray& bytes) {
    const QString path = viewer::testing::WriteFile(dir_, fileName, bytes);
    return {QStringLiteral("/DCIM/") + fileName, path, bytes.size()};
  }

  // The phone joins and sends its list (entry options.startIndex first).
  void StartPhone(const QList<PhonePicture>& pictures, phone::PhoneOptions options = {}) {
    options.host = "127.0.0.1";
    options.name = PhoneName;
    phone_ =
        std::make_unique<phone::PhoneSimulator>(options, pictures, [this](const std::string& line) {
          std::lock_guard lock(logMutex_);
          log_.push_back(line);
        });
    ASSERT_TRUE(phone_->Start()) << phone_->LastError();
  }

  std::vector<std::string> Log() {
    std::lock_guard lock(logMutex_);
    return log_;
  }
  bool Logged(const std::string& line) {
    const std::vector<std::string> log = Log();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  // The picture names of the PC's chunk requests, in order.
  std::vector<std::string> ChunkRequests() {
    std::vector<std::string> names;
    for (const std::string& line : Log()) {
      const std::size_t at = line.find(" name=");
      if (line.starts_with("<- chunk-request ") && at != std::string::npos) {
        names.push_back(line.substr(at + 6));
      }
    }
    return names;
  }
  int ChunkRequestsFor(const QString& name) {
    const std::vector<std::string> names = ChunkRequests();
    return static_cast<int>(std::count(names.begin(), names.end(), name.toStdString()));
  }

  bool ViewerMapped() { return x_->WindowMapped(QByteArray(ViewerTitle)); }
  QRgb PixelAt(QPoint point) {
    const QImage screen = x_->Grab();
    return screen.isNull() ? QRgb(0) : screen.pixel(point);
  }
  bool WaitForColour(QPoint point, QRgb colour, int ms = ShowMs) {
    return Eventually([&] { return Near(PixelAt(point), colour, ColourTolerance); }, ms);
  }
  // The palette entry shown at the centre, when two samples a poll apart agree on one (a
  // transition under way shows neither).
  std::optional<int> ShownEntry(int count) {
    std::optional<int> seen;
    for (int sample = 0; sample < 2; ++sample) {
      if (sample > 0) QThread::msleep(PollMs);
      const QRgb pixel = PixelAt(Centre);
      const auto match = std::find_if(Palette, Palette + count,
                                      [&](QRgb colour) { return Near(pixel, colour, 30); });
      if (match == Palette + count) return std::nullopt;
      const int entry = static_cast<int>(match - Palette);
      if (seen && *seen != entry) return std::nullopt;
      seen = entry;
    }
    return seen;
  }
  // True when the viewer's window stayed unmapped for `ms`.
  bool StaysHidden(int ms) {
    return !Eventually([this] { return ViewerMapped(); }, ms);
  }
  void PressEscape() {
    // Without a window manager the keyboard follows the pointer.
    const int moved =
        QProcess::execute(QStringLiteral("xdotool"),
                          {"mousemove", QString::number(Centre.x()), QString::number(Centre.y())});
    ASSERT_EQ(moved, 0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), {"key", "Escape"}), 0);
  }

  QTemporaryDir dir_;
  std::unique_ptr<XClient> x_;
  ChildProcess standin_;
  ChildProcess app_;
  bool appStarted_ = false;
  std::unique_ptr<phone::PhoneSimulator> phone_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
};

TEST_F(ViewerE2eTest, FirstPictureComesUpOverTheDimmedDesktopAndIsCachedWhileTheProgramRuns) {
  // Red, green, blue and white quadrants; shown at its size or fitted, each quadrant covers the
  // point 120 pixels left or right and 60 up or down from the centre.
  const QByteArray bytes = EncodeJpeg(viewer::testing::Quadrants(480, 240));
  StartPhone({AddPicture(QStringLiteral("a.jpg"), bytes)});

  ASSERT_TRUE(WaitForColour(Centre + QPoint(-120, -60), qRgb(255, 0, 0)));
  EXPECT_TRUE(ViewerMapped());
  const QImage screen = x_->Grab();
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(120, -60)), qRgb(0, 255, 0)));
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(-120, 60)), qRgb(0, 0, 255)));
  EXPECT_TRUE(Near(screen.pixel(Centre + QPoint(120, 60)), qRgb(255, 255, 255)));
  for (const QPoint point : DesktopPoints) {
    const QRgb pixel = screen.pixel(point);
    EXPECT_TRUE(Near(pixel, qRgb(DimmedDesktop, DimmedDesktop, DimmedDesktop), DimTolerance))
        << "at " << point.x() << "," << point.y() << ": " << qRed(pixel) << " " << qGreen(pixel)
        << " " << qBlue(pixel);
  }

  // "/DCIM/a.jpg" is kept under the MD5 of its UTF-16 text.
  QFile cached(PhoneCache() + QStringLiteral("/04F8AE555A4ED7E82A895818FBEA911B.jpg"));
  ASSERT_TRUE(cached.open(QIODevice::ReadOnly)) << cached.fileName().toStdString();
  EXPECT_TRUE(cached.readAll() == bytes);
  cached.close();

  // Closing the program empties the cache.
  ASSERT_TRUE(app_.Stop());
  EXPECT_TRUE(QDir(CacheRoot()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(ViewerE2eTest, PicturesThatFailKeepTheViewerHiddenUntilOneShows) {
  const PhonePicture broken =
      AddPicture(QStringLiteral("broken.jpg"), QByteArray("no picture in here, just text"));
  // Listed, but the phone has no such file: it refuses the chunk.
  const PhonePicture missing{QStringLiteral("/DCIM/missing.jpg"),
                             dir_.filePath(QStringLiteral("nowhere.jpg")), 5000};
  const PhonePicture good = AddPicture(QStringLiteral("good.jpg"), SolidJpeg(Palette[1]));
  StartPhone({broken, missing, good});

  ASSERT_TRUE(Eventually([this] { return phone_->ChunksAnswered() >= 1; }));
  EXPECT_TRUE(StaysHidden(2000)) << "a picture that can't be decoded brought the viewer up";
  ASSERT_TRUE(phone_->SendList(false, 1));
  ASSERT_TRUE(Eventually([this] { return phone_->RefusalsSent() >= 1; }));
  EXPECT_TRUE(StaysHidden(2000)) << "a refused picture brought the viewer up";
  const QImage screen = x_->Grab();
  for (const QPoint point : {DesktopPoints[0], Centre}) {
    EXPECT_TRUE(Near(screen.pixel(point), DesktopColour, DimTolerance)) << "the desktop changed";
  }

  ASSERT_TRUE(phone_->SendList(false, 2));
  EXPECT_TRUE(WaitForColour(Centre, Palette[1]));
  EXPECT_TRUE(ViewerMapped());
}

TEST_F(ViewerE2eTest, EscClosesAndTellsThePhoneWhileThePhonesCloseIsSilent) {
  if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
    GTEST_SKIP() << "no xdotool";
  }
  StartPhone({AddPicture(QStringLiteral("a.jpg"), SolidJpeg(Palette[0]))});
  ASSERT_TRUE(WaitForColour(Centre, Palette[0]));

  ASSERT_NO_FATAL_FAILURE(PressEscape());
  ASSERT_TRUE(Eventually([this] { return !ViewerMapped(); })) << "Esc left the viewer up";
  ASSERT_TRUE(Eventually([this] { return phone_->ViewStopsReceived() >= 1; }));
  EXPECT_TRUE(Logged("<- view-stop value=1"));

  // The phone shows the picture again and then closes the viewer itself.
  ASSERT_TRUE(phone_->SendList(false, 0));
  ASSERT_TRUE(WaitForColour(Centre, Palette[0]));
  ASSERT_TRUE(phone_->Send(phone::MakeCloseViewer()));
  ASSERT_TRUE(Eventually([this] { return !ViewerMapped(); })) << "the phone's close did nothing";
  QThread::msleep(1000);
  EXPECT_EQ(phone_->ViewStopsReceived(), 1);
}

TEST_F(ViewerE2eTest, SlideShowStepsOnUntilTheViewStopReturnsToItsStart) {
  QList<PhonePicture> pictures;
  for (int i = 0; i < 3; ++i) {
    pictures << AddPicture(QStringLiteral("s%1.jpg").arg(i), SolidJpeg(Palette[i]));
  }
  phone::PhoneOptions options;
  options.slideshow = true;
  StartPhone(pictures, options);
  ASSERT_TRUE(WaitForColour(Centre, Palette[0]));

  // The next entry follows by itself (every 3 s).
  std::optional<int> shown;
  ASSERT_TRUE(Eventually([&] {
    shown = ShownEntry(3);
    return shown && *shown != 0;
  })) << "the slide show did not move on";
  EXPECT_EQ(*shown, 1);

  ASSERT_TRUE(phone_->Send(phone::MakeViewStop(0)));
  ASSERT_TRUE(WaitForColour(Centre, Palette[0])) << "the start picture did not come back";
  // Longer than a slide step: the start picture stays.
  QDeadlineTimer watch(4000);
  while (!watch.hasExpired()) {
    const QRgb pixel = PixelAt(Centre);
    ASSERT_TRUE(Near(pixel, Palette[0], ColourTolerance)) << "the slide show went on";
    QThread::msleep(100);
  }
  EXPECT_TRUE(ViewerMapped());
}

TEST_F(ViewerE2eTest, NeighboursOfTheShownEntryAreFetchedAfterIt) {
  QList<PhonePicture> pictures;
  for (int i = 0; i < 5; ++i) {
    pictures << AddPicture(QStringLiteral("n%1.jpg").arg(i), SolidJpeg(Palette[i]));
  }
  phone::PhoneOptions options;
  options.startIndex = 2;
  StartPhone(pictures, options);
  ASSERT_TRUE(WaitForColour(Centre, Palette[2]));

  ASSERT_TRUE(Eventually([&] {
    return ChunkRequestsFor(pictures[1].phoneName) > 0 &&
           ChunkRequestsFor(pictures[3].phoneName) > 0;
  })) << "the neighbours were not fetched";
  const std::vector<std::string> requests = ChunkRequests();
  const auto first = [&requests](const PhonePicture& picture) {
    return std::find(requests.begin(), requests.end(), picture.phoneName.toStdString()) -
           requests.begin();
  };
  EXPECT_LT(first(pictures[2]), first(pictures[1]));
  EXPECT_LT(first(pictures[2]), first(pictures[3]));
  // Once all three are in the cache, nothing further away is fetched.
  ASSERT_TRUE(Eventually([this] { return CachedFiles().size() == 3; }))
      << CachedFiles().join(QLatin1Char(' ')).toStdString();
  QThread::msleep(1000);
  EXPECT_EQ(ChunkRequestsFor(pictures[0].phoneName), 0);
  EXPECT_EQ(ChunkRequestsFor(pictures[4].phoneName), 0);
}

TEST_F(ViewerE2eTest, NewListStopsTheDownloadUnderWay) {
  // Noise hardly compresses: dozens of chunks, which the slowed phone hands over one by one.
  const QByteArray largeBytes =
      EncodeJpeg(viewer::testing::NoisePicture(2000, 1500), {.Quality = 95});
  const int largeChunks = static_cast<int>((largeBytes.size() + link::ChunkSize - 1) /
                                           static_cast<qsizetype>(link::ChunkSize));
  ASSERT_GT(largeChunks, 30);
  const PhonePicture large = AddPicture(QStringLiteral("large.jpg"), largeBytes);
  const PhonePicture small = AddPicture(QStringLiteral("small.jpg"), SolidJpeg(Palette[3]));
  phone::PhoneOptions options;
  options.chunkDelay = 40ms;
  StartPhone({large, small}, options);
  ASSERT_TRUE(Eventually([&] { return ChunkRequestsFor(large.phoneName) >= 3; }));

  ASSERT_TRUE(phone_->Send(phone::MakePictureList(link::cmdShowList, 0, phone::ListText({small}))));
  ASSERT_TRUE(WaitForColour(Centre, Palette[3])) << "the new list's picture did not show";
  const int asked = ChunkRequestsFor(large.phoneName);
  QThread::msleep(1500);
  EXPECT_EQ(ChunkRequestsFor(large.phoneName), asked) << "the old download went on";
  EXPECT_LT(asked, largeChunks);
  // Neither the large picture nor a piece of it stays in the cache.
  EXPECT_EQ(CachedFiles().size(), 1u) << CachedFiles().join(QLatin1Char(' ')).toStdString();
}

}  // namespace
}  // namespace zephra::e2e
