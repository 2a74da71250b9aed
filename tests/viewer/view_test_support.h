#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "viewer/cache_folder.h"

namespace zephra::viewer::testing {

// A QApplication on Qt's offscreen platform, made once for the test program.
void EnsureApplication();

// Runs the event loop until `done` holds or `timeoutMs` passed; true when it holds.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// A cache folder in a temporary directory with the phone folder "phone" selected.
class TTestCache {
 public:
  TTestCache();
  TCacheFolder& Cache() { return *cache_; }
  // Puts `bytes` in the cache as the file of list name `name`; returns the size text.
  QString Put(const QString& name, const QByteArray& bytes);

 private:
  QTemporaryDir dir_;
  std::unique_ptr<TCacheFolder> cache_;
};

// A JPEG of one flat colour.
QByteArray FlatJpeg(int width, int height, QRgb colour);

}  // namespace zephra::viewer::testing
