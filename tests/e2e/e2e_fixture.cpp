#include "e2e_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <optional>

#include "link/link_constants.h"
#include "test_files.h"

namespace zephra::e2e {

namespace {

constexpr char ViewerTitle[] = "Orvex看图";
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

bool PortFree(quint16 port) {
  QTcpServer probe;
  return probe.listen(QHostAddress::AnyIPv4, port);
}

bool Accepts(quint16 port) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  return socket.waitForConnected(ConnectMs);
}

QByteArray SolidJpeg(QRgb colour) {
  QImage image(320, 160, QImage::Format_RGB32);
  image.fill(colour);
  return viewer::testing::EncodeJpeg(image);
}

void ProgramE2eTest::SetUp() {
  EnsureCoreApplication();
  if (!XServer::Instance().Up()) GTEST_SKIP() << "no Xvfb";
  for (const quint16 port : {link::ControlPort, link::DataPort}) {
    if (!PortFree(port)) GTEST_SKIP() << "port " << port << " is in use";
  }
  ASSERT_TRUE(dir_.isValid());
  x_ = std::make_unique<XClient>();
  ASSERT_TRUE(x_->Ok());
  x_->PaintRoot(DesktopColour);
  ASSERT_NO_FATAL_FAILURE(StartDesktop());
  ASSERT_NO_FATAL_FAILURE(StartStandin());
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
  return environment;
}

void ProgramE2eTest::StartProgram() {
  QProcess& app = app_.Process();
  app.setProcessEnvironment(ProgramEnvironment());
  app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  app.setStandardOutputFile(QProcess::nullDevice());
  app.start(QStringLiteral(ZEPHRA_WIFI_PATH), {});
  ASSERT_TRUE(app.waitForStarted(StartMs));
  appStarted_ = true;
  ASSERT_TRUE(Eventually(
      [this] { return !app_.Running() || (Accepts(link::ControlPort) && Accepts(link::DataPort)); },
      StartMs))
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
      ConnectMs));
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

bool ProgramE2eTest::ViewerMapped() { return x_->WindowMapped(QByteArray(ViewerTitle)); }

QRgb ProgramE2eTest::PixelAt(QPoint point) {
  const QImage screen = x_->Grab();
  return screen.isNull() ? QRgb(0) : screen.pixel(point);
}

bool ProgramE2eTest::WaitForColour(QPoint point, QRgb colour, int ms) {
  return Eventually([&] { return viewer::testing::Near(PixelAt(point), colour, ColourTolerance); },
                    ms);
}

}  // namespace zephra::e2e
