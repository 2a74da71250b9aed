#include "symbol_scan.h"

#include <zbar.h>

#include <QApplication>
#include <QPainter>
#include <memory>

void EnsureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qrcode_test";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
}

namespace {

QImage OverWhite(const QImage& image) {
  QImage grey(image.size(), QImage::Format_RGB32);
  grey.fill(Qt::white);
  QPainter painter(&grey);
  painter.drawImage(0, 0, image);
  painter.end();
  return grey.convertToFormat(QImage::Format_Grayscale8);
}

struct TScannerDeleter {
  void operator()(zbar::zbar_image_scanner_t* scanner) const {
    zbar::zbar_image_scanner_destroy(scanner);
  }
};
struct TImageDeleter {
  void operator()(zbar::zbar_image_t* image) const { zbar::zbar_image_destroy(image); }
};

}  // namespace

QList<QByteArray> ScanSymbols(const QImage& image) {
  using namespace zbar;
  QList<QByteArray> found;
  if (image.isNull()) return found;
  const QImage grey = OverWhite(image);
  QByteArray pixels;
  for (int y = 0; y < grey.height(); ++y) {
    pixels.append(reinterpret_cast<const char*>(grey.constScanLine(y)), grey.width());
  }
  std::unique_ptr<zbar_image_scanner_t, TScannerDeleter> scanner(zbar_image_scanner_create());
  zbar_image_scanner_set_config(scanner.get(), ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
  zbar_image_scanner_set_config(scanner.get(), ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
  zbar_image_scanner_set_config(scanner.get(), ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);
  std::unique_ptr<zbar_image_t, TImageDeleter> zimage(zbar_image_create());
  zbar_image_set_format(zimage.get(), zbar_fourcc('Y', '8', '0', '0'));
  zbar_image_set_size(zimage.get(), static_cast<unsigned>(grey.width()),
                      static_cast<unsigned>(grey.height()));
  zbar_image_set_data(zimage.get(), pixels.constData(), static_cast<unsigned long>(pixels.size()),
                      nullptr);
  if (zbar_scan_image(scanner.get(), zimage.get()) <= 0) return found;
  for (const zbar_symbol_t* symbol = zbar_image_first_symbol(zimage.get()); symbol != nullptr;
       symbol = zbar_symbol_next(symbol)) {
    found << QByteArray(zbar_symbol_get_data(symbol),
                        static_cast<qsizetype>(zbar_symbol_get_data_length(symbol)));
  }
  return found;
}
