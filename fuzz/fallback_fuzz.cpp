// The fallback decoder: Qt's image readers on a file. The input is written to a file whose
// suffix the input's last byte picks (none, or one of the picture suffixes), so that readers are
// chosen by name as well as by content, as for the pictures in the cache.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "base/stop_flag.h"
#include "fuzz_target.h"
#include "viewer/fallback_decoder.h"

namespace {

constexpr std::size_t MaxInput = 65536;
constexpr const char* Suffixes[] = {"",     ".jpg", ".png",  ".gif", ".bmp", ".tga",
                                    ".ico", ".tif", ".webp", ".xpm", ".pbm", ".mng"};
constexpr std::size_t SuffixCount = sizeof Suffixes / sizeof Suffixes[0];

struct TFallbackSetUp {
  int argc = 1;
  char name[6] = "fuzz";
  char* argv[2] = {name, nullptr};
  QCoreApplication application{argc, argv};
  QTemporaryDir folder;
};

TFallbackSetUp& SetUp() {
  static TFallbackSetUp setUp;
  return setUp;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zephra::viewer;
  if (size > MaxInput) return 0;
  const char* suffix = size > 0 ? Suffixes[data[size - 1] % SuffixCount] : "";
  const QString path = SetUp().folder.filePath(QStringLiteral("input") + QLatin1String(suffix));
  {
    QFile file(path);
    ZEPHRA_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ZEPHRA_FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), qint64(size)) ==
                      qint64(size));
  }
  zephra::base::TStopFlag abortLoad;
  QImage target;
  const TFallbackDecode result = DecodeWithImageReader(target, path, abortLoad);
  QFile::remove(path);
  if (result.Status != TDecodeStatus::Ok) {
    ZEPHRA_FUZZ_CHECK(target.isNull());
    return 0;
  }
  ZEPHRA_FUZZ_CHECK(target.format() == QImage::Format_BGR888);
  ZEPHRA_FUZZ_CHECK(result.FrameCount >= 1);
  ZEPHRA_FUZZ_CHECK(FitsPictureLimits(target.width(), target.height()));
  return 0;
}
