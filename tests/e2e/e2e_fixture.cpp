#include "e2e_fixture.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <algorithm>
#include <optional>

#include "link/link_constants.h"
#include "test_files.h"
#include "viewer/viewer_constants.h"

namespace zephra::e2e {

namespace {

constexpr char ProgramName[] = "zephra-wifi";
constexpr char Xdotool[] = "xdotool";
constexpr char CacheBelowHome[] = "zephra.wifi/Cache";
constexpr char ChunkRequestLine[] = "<- chunk-request ";
constexpr char NameField[] = " name=";

}  // namespace

void EnsureCoreApplication() {
  static int argc = 1;
  static char arg0[] = "e2e_test";
  static char* argv[] = {arg0, nullptr};
  if (QCoreApplication::instance() == nullptr) {
    new QCoreApplication(argc, argv);  // lives until the process ends
  }
}

QByteArray SolidJpeg(QRgb colour) {
  QImage image(320, 160, QImage::Format_RGB32);
  image.fill(colour);
  return viewer::testing::EncodeJpeg(image);
}

bool XdotoolPresent() {
  return !QStandardPaths::findExecutable(QString::fromLatin1(Xdotool)).isEmpty();
}

bool RunXdotool(const QStringList& arguments) {
  return QProcess::execute(QString::fromLatin1(Xdotool), arguments) == 0;
}

// Without --sync: xdotool's wait for the pointer to move lasts 15 s when it is there already,
// and the server takes the move before anything this or a later run of xdotool sends.
bool MovePointer(QPoint point) {
  return RunXdotool({"mousemove", QString::number(point.x()), QString::number(point.y())});
}

bool ClickAt(QPoint point, int button) {
  return RunXdotool({"mousemove", QString::number(point.x()), QString::number(point.y()), "click",
                     QString::number(button)});
}

bool PressKeys(const QStringList& keys) { return RunXdotool(QStringList{"key"} + keys); }

bool LinkPortsAccept() { return Accepts(link::ControlPort) && Accepts(link::DataPort); }
bool LinkPortsClosed() { return !Accepts(link::ControlPort) && !Accepts(link::DataPort); }

void ProgramE2eTest::SetUp() {
  EnsureCoreApplication();
  ASSERT_NO_FATAL_FAILURE(StartDisplay());
  if (IsSkipped()) return;
  for (const quint16 port : {link::ControlPort, link::DataPort}) {
    if (PortFree(port)) continue;
    // A build of the program with file capabilities outlives a crashed run (see
    // EndWithThisProcess): a copy of this user's program on the port is a leftover to end.
    for (const PortHolder& holder : PortHolders(port)) {
      if (holder.name == QLatin1String(ProgramName) && holder.owner == ::geteuid()) {
        FAIL() << ProgramName << " (pid " << holder.pid << ") holds port " << port
               << ", left by an earlier run or started by hand: end it (kill " << holder.pid << ")";
      }
    }
    GTEST_SKIP() << "port " << port << " is in use";
  }
  ASSERT_TRUE(dir_.isValid());
  x_ = std::make_unique<XClient>();
  ASSERT_TRUE(x_->Ok());
  x_->PaintRoot(DesktopColour);
  ASSERT_NO_FATAL_FAILURE(StartDesktop());
  ASSERT_NO_FATAL_FAILURE(StartHotspotSource());
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartProgram());
}

void ProgramE2eTest::TearDown() {
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

void ProgramE2eTest::StartDisplay() {
  if (!XServer::Instance().Up()) GTEST_SKIP() << "no Xvfb";
}

void ProgramE2eTest::StartStandin() {
  const QString copy =
      dir_.filePath(QStringLiteral("e2e-partner-%1").arg(QCoreApplication::applicationPid()));
  if (!QFile::exists(copy)) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(HOTSPOT_STANDIN_PATH), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner));
  }
  QProcess& standin = standin_.Process();
  standin.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  standin.start(copy, {});
  ASSERT_TRUE(standin.waitForReadyRead(StartMs)) << "the stand-in did not come up";
  ASSERT_TRUE(standin.readLine().startsWith("ready"));
}

void ProgramE2eTest::StopStandin() { ASSERT_TRUE(standin_.Stop()); }

QProcessEnvironment ProgramE2eTest::ProgramEnvironment() {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  environment.insert(QStringLiteral("DISPLAY"), qEnvironmentVariable("DISPLAY"));
  for (const char* variable : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
    const QString folder = dir_.filePath(QString::fromLatin1(variable));
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert(QString::fromLatin1(variable), folder);
  }
  environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                     systemBus_.isEmpty()
                         ? QStringLiteral("unix:path=") + dir_.filePath(QStringLiteral("no-bus"))
                         : systemBus_);
  return environment;
}

void ProgramE2eTest::LaunchProgram(ChildProcess& program, ProgramOutput output) {
  QProcess& process = program.Process();
  process.setProcessEnvironment(ProgramEnvironment());
  if (output == ProgramOutput::Captured) {
    process.setProcessChannelMode(QProcess::MergedChannels);
  } else {
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
  }
  process.start(QStringLiteral(ZEPHRA_WIFI_PATH), {});
  ASSERT_TRUE(process.waitForStarted(StartMs)) << process.errorString().toStdString();
}

void ProgramE2eTest::StartProgram() {
  ASSERT_NO_FATAL_FAILURE(LaunchProgram(app_));
  appStarted_ = true;
  QProcess& app = app_.Process();
  if (!ListensAtStart()) return;
  ASSERT_TRUE(Eventually([this] { return !app_.Running() || LinkPortsAccept(); }, StartMs))
      << "the program did not open its ports";
  ASSERT_TRUE(app_.Running()) << "the program ended with code " << app.exitCode();
}

QString ProgramE2eTest::CacheRoot() const {
  return dir_.filePath(QStringLiteral("XDG_CACHE_HOME/") + QString::fromLatin1(CacheBelowHome));
}

QString ProgramE2eTest::PhoneCache() const {
  return CacheRoot() + QLatin1Char('/') + QString::fromLatin1(PhoneName);
}

QStringList ProgramE2eTest::CachedFiles() const {
  return QDir(PhoneCache()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

bool ProgramE2eTest::CacheEmpty() const {
  return QDir(CacheRoot()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

phone::PhonePicture ProgramE2eTest::AddPicture(const QString& fileName, const QByteArray& bytes) {
  const QString path = viewer::testing::WriteFile(dir_, fileName, bytes);
  return {QStringLiteral("/DCIM/") + fileName, path, bytes.size()};
}

void ProgramE2eTest::StartPhone(const QList<phone::PhonePicture>& pictures,
                                phone::PhoneOptions options) {
  options.host = "127.0.0.1";
  options.name = PhoneName;
  phone_ =
      std::make_unique<phone::PhoneSimulator>(options, pictures, [this](const std::string& line) {
        std::lock_guard lock(logMutex_);
        log_.push_back(line);
      });
  // A phone that left a moment ago holds the session until the program has seen it go.
  ASSERT_TRUE(Eventually(
      [this] { return phone_->Start() || phone_->HelloStatus() != std::optional(link::stBusy); },
      BusySessionMs))
      << "the session stayed busy: " << phone_->LastError();
  ASSERT_TRUE(phone_->Running()) << phone_->LastError();
}

std::vector<std::string> ProgramE2eTest::Log() {
  std::lock_guard lock(logMutex_);
  return log_;
}

bool ProgramE2eTest::Logged(const std::string& line) {
  const std::vector<std::string> log = Log();
  return std::find(log.begin(), log.end(), line) != log.end();
}

std::vector<std::string> ProgramE2eTest::LogLines(const std::string& prefix) {
  std::vector<std::string> lines;
  for (const std::string& line : Log()) {
    if (line.starts_with(prefix)) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ProgramE2eTest::ChunkRequests() {
  std::vector<std::string> names;
  for (const std::string& line : LogLines(ChunkRequestLine)) {
    const std::size_t at = line.find(NameField);
    if (at != std::string::npos) names.push_back(line.substr(at + sizeof NameField - 1));
  }
  return names;
}

int ProgramE2eTest::ChunkRequestsFor(const QString& name) {
  const std::vector<std::string> names = ChunkRequests();
  return static_cast<int>(std::count(names.begin(), names.end(), name.toStdString()));
}

bool ProgramE2eTest::ViewerMapped() { return x_->WindowMapped(QByteArray(viewer::ViewerCaption)); }

QRgb ProgramE2eTest::PixelAt(QPoint point) {
  const QImage screen = x_->Grab();
  return screen.isNull() ? QRgb(0) : screen.pixel(point);
}

bool ProgramE2eTest::WaitForColour(QPoint point, QRgb colour, int ms) {
  return Eventually([&] { return viewer::testing::Near(PixelAt(point), colour, ColourTolerance); },
                    ms);
}

}  // namespace zephra::e2e
