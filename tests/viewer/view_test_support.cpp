#include "view_test_support.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QThread>
#include <chrono>

#include "test_files.h"

namespace zephra::viewer::testing {

void EnsureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "viewer_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

bool SpinUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

TTestCache::TTestCache() : cache_(std::make_unique<TCacheFolder>(dir_.path())) {
  cache_->SetPhoneFolder(QStringLiteral("phone"));
}

QString TTestCache::Put(const QString& name, const QByteArray& bytes) {
  QFile file(cache_->LocalPathOf(name));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
  return QString::number(bytes.size());
}

QByteArray FlatJpeg(int width, int height, QRgb colour) {
  QImage image(width, height, QImage::Format_BGR888);
  image.fill(QColor(colour));
  return EncodeJpeg(image);
}

}  // namespace zephra::viewer::testing
