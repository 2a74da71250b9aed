#include <gtest/gtest.h>

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/tfm_zephra_wifi.h"
#include "install/embedded_package.h"
#include "install/tfm_qr_code.h"
#include "symbol_scan.h"

namespace zephra::app {
namespace {

constexpr int WaitMs = 3000;

// One offscreen application object that lives until the process ends.
void EnsureLastingApplication() {
  static int argc = 1;
  static char name[] = "app_test";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  new QApplication(argc, argv);
}

bool Accepts(quint16 port) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  return socket.waitForConnected(WaitMs);
}

// The size the server announces for GET /Zephra.apk, -1 without an answer.
qint64 AnnouncedLength(quint16 port) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  if (!socket.waitForConnected(WaitMs)) return -1;
  socket.write("GET /Zephra.apk HTTP/1.1\r\n\r\n");
  QByteArray answer;
  while (!answer.contains("\r\n\r\n") && socket.waitForReadyRead(WaitMs))
    answer += socket.readAll();
  const qsizetype field = answer.indexOf("Content-Length: ");
  if (!answer.startsWith("HTTP/1.1 200 OK\r\n") || field < 0) return -1;
  return answer.mid(field + 16, answer.indexOf("\r\n", field) - field - 16).toLongLong();
}

// What the install item showed while its window was open.
struct TOpenWindow {
  QList<QByteArray> symbols;  // what zbar reads from the painted window
  bool serverActive = false;
  quint16 port = 0;
  qint64 announcedLength = -1;
};

class InstallItemTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureLastingApplication(); }

  void MakeForm(QStringList addresses, quint16 httpPort = 0) {
    link::TLinkConfig config;
    config.controlPort = 0;
    config.dataPort = 0;
    TfmZephraWifi::THooks hooks;
    hooks.localIpList = [addresses](QStringList& list) {
      list = addresses;
      return static_cast<int>(list.size());
    };
    hooks.httpPort = httpPort;
    hooks.browser.port = 0;
    hooks.showTip = [this](const QString& text, int ms) { tips_.emplace_back(text, ms); };
    hooks.showMessage = [this](const QString& text) { messages_ << text; };
    form_ = std::make_unique<TfmZephraWifi>(config, std::move(hooks));
  }

  // Chooses the install item from the tray menu; a window that opens is looked at and closed.
  std::optional<TOpenWindow> ChooseInstallItem() {
    std::optional<TOpenWindow> seen;
    QObject guard;  // drops the check if no window ever opened
    QTimer::singleShot(0, &guard, [this, &seen] {
      auto* window = dynamic_cast<install::TfmQRCode*>(QApplication::activeModalWidget());
      if (window == nullptr) return;
      TOpenWindow open;
      open.symbols = ScanSymbols(window->grab().toImage());
      open.serverActive = form_->HTTPServer().Active();
      open.port = form_->HTTPServer().Port();
      open.announcedLength = AnnouncedLength(open.port);
      seen = open;
      window->ImgClose().OnClick(&window->ImgClose());
    });
    form_->PopMenu().actions()[0]->trigger();
    return seen;
  }

  std::unique_ptr<TfmZephraWifi> form_;
  std::vector<std::pair<QString, int>> tips_;
  QStringList messages_;
};

TEST_F(InstallItemTest, WindowShowsTheFirstDotOneAddressWhileTheServerListens) {
  const auto package = install::OpenEmbeddedPackage();
  ASSERT_TRUE(package.has_value());
  struct Case {
    QStringList addresses;
    const char* chosen;
  };
  for (const Case& c : {Case{{"10.0.0.11", "192.168.137.1"}, "192.168.137.1"},
                        Case{{"172.27.35.1", "192.168.1.1"}, "172.27.35.1"}}) {
    SCOPED_TRACE(c.chosen);
    MakeForm(c.addresses);
    const std::optional<TOpenWindow> open = ChooseInstallItem();
    ASSERT_TRUE(open.has_value());
    EXPECT_TRUE(open->serverActive);
    const QByteArray expected =
        QByteArray("http://") + c.chosen + ':' + QByteArray::number(open->port) + "/Zephra.apk";
    EXPECT_EQ(open->symbols, QList<QByteArray>{expected});
    EXPECT_EQ(open->announcedLength, static_cast<qint64>(package->size()));
    // Closed: nothing listens until the window opens again.
    EXPECT_FALSE(form_->HTTPServer().Active());
    EXPECT_FALSE(Accepts(open->port));
    EXPECT_TRUE(tips_.empty());
    EXPECT_TRUE(messages_.isEmpty());
  }
}

TEST_F(InstallItemTest, WithoutADotOneAddressOnlyTheToastShows) {
  MakeForm({"192.168.0.100", "10.0.0.11"});
  EXPECT_FALSE(ChooseInstallItem().has_value());
  ASSERT_EQ(tips_.size(), 1u);
  EXPECT_EQ(tips_[0].first, QString::fromUtf8("无法使用二维码安装手机Zephra"));
  EXPECT_EQ(tips_[0].second, 5000);
  EXPECT_FALSE(form_->HTTPServer().Active());
}

TEST_F(InstallItemTest, BusyPortShowsTheErrorAndNoWindow) {
  QTcpServer squatter;
  ASSERT_TRUE(squatter.listen(QHostAddress::AnyIPv4, 0));
  MakeForm({"192.168.137.1"}, squatter.serverPort());
  EXPECT_FALSE(ChooseInstallItem().has_value());
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_EQ(messages_[0], form_->HTTPServer().ErrorText());
  EXPECT_FALSE(messages_[0].isEmpty());
  EXPECT_FALSE(form_->HTTPServer().Active());
}

}  // namespace
}  // namespace zephra::app
