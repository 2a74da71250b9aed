// Picture loading for the screen against plain library decodes of the same files, measured in
// the same run. Every case times its candidate and its baseline alternately several times and
// keeps the best of each, so that load from other processes affects both alike; "x_baseline" is
// the ratio and "ms" the candidate's best time. The baselines decode into a newly allocated
// buffer each time, as a decoder without a picture to reuse must.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <libheif/heif.h>
#include <png.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "base/stop_flag.h"
#include "bench_jpeg.h"
#include "bench_support.h"
#include "viewer/picture_loader.h"

namespace {

using zephra::bench::Compare;
using zephra::bench::Seconds;
using zephra::bench::TestPicture;

constexpr int Rounds = 7;
constexpr int JpegQuality = 90;
const QSize Screen(1920, 1080);

const QTemporaryDir& Folder() {
  static const QTemporaryDir folder;
  return folder;
}

// A camera-like JPEG (4:2:0, quality 90) of the test picture, written once.
std::string WriteJpeg(int width, int height) {
  const QString path = Folder().filePath(QString("p%1x%2.jpg").arg(width).arg(height));
  zephra::bench::WriteJpeg(path, TestPicture(width, height, 3), JpegQuality);
  return path.toStdString();
}

std::string WritePng(int width, int height) {
  const QString path = Folder().filePath(QString("p%1x%2.png").arg(width).arg(height));
  TestPicture(width, height, 4).save(path, "PNG");
  return path.toStdString();
}

// A camera-sized HEIF or AVIF (`ext`) of the test picture made by heif-enc, kept in the build
// folder because encoding takes x265 or aom many seconds; empty without heif-enc.
std::string HeifEncFile(int width, int height, const QString& ext, const QStringList& options) {
  const QString path = QDir(QStringLiteral(ZEPHRA_BENCH_CACHE))
                           .filePath(QString("heif-%1x%2%3").arg(width).arg(height).arg(ext));
  if (QFile::exists(path)) return path.toStdString();
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("heif-enc"));
  const QString png = Folder().filePath(QString("heif-source-%1x%2.png").arg(width).arg(height));
  if (tool.isEmpty() ||
      !TestPicture(width, height, 5).convertToFormat(QImage::Format_RGB888).save(png)) {
    return {};
  }
  // heif-enc picks the format by the output's extension; the file is copied once complete.
  const QString encoded = Folder().filePath(QStringLiteral("encoded") + ext);
  QProcess encoder;
  encoder.start(tool, options + QStringList{png, QStringLiteral("-o"), encoded});
  if (!encoder.waitForFinished(-1) || encoder.exitCode() != 0 || !QFile::copy(encoded, path)) {
    return {};
  }
  return path.toStdString();
}

// libheif alone: the primary picture at full size into a new interleaved R,G,B picture.
void PlainHeifDecode(const std::string& path) {
  heif_context* context = heif_context_alloc();
  heif_context_read_from_file(context, path.c_str(), nullptr);
  heif_image_handle* handle = nullptr;
  heif_context_get_primary_image_handle(context, &handle);
  heif_image* image = nullptr;
  heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
  benchmark::DoNotOptimize(heif_image_get_plane_readonly(image, heif_channel_interleaved, nullptr));
  heif_image_release(image);
  heif_image_handle_release(handle);
  heif_context_free(context);
}

// libjpeg-turbo alone: the file at 1 / `denominator` into a new B,G,R buffer.
void PlainJpegDecode(const std::string& path, unsigned denominator) {
  FILE* file = std::fopen(path.c_str(), "rb");
  jpeg_decompress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  info.scale_num = 1;
  info.scale_denom = denominator;
  jpeg_start_decompress(&info);
  const size_t stride = size_t(info.output_width) * 3;
  std::unique_ptr<JSAMPLE[]> pixels(new JSAMPLE[stride * info.output_height]);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.get() + info.output_scanline * stride;
    jpeg_read_scanlines(&info, &row, 1);
  }
  benchmark::DoNotOptimize(pixels.get());
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
}

// libpng alone: the file into a new B,G,R buffer.
void PlainPngDecode(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_bgr(png);
  png_read_update_info(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const size_t stride = png_get_rowbytes(png, info);
  std::unique_ptr<png_byte[]> pixels(new png_byte[stride * height]);
  std::unique_ptr<png_bytep[]> rows(new png_bytep[height]);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.get() + y * stride;
  png_read_image(png, rows.get());
  benchmark::DoNotOptimize(pixels.get());
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
}

// LoadPictureForScreen into one target kept from load to load, as the viewer's picture is; with
// `freshTarget` into a new one each time, which shows the pipeline's own cost beside the plain
// decode.
void ScreenLoad(benchmark::State& state, const std::string& path,
                const std::function<void()>& baseline, bool freshTarget = false) {
  QImage target;
  zephra::base::TStopFlag stop;
  const QString name = QString::fromStdString(path);
  Compare(
      state, Rounds,
      [&] {
        if (freshTarget) target = QImage();
        if (!zephra::viewer::LoadPictureForScreen(target, name, Screen, stop).Success) {
          state.SkipWithError("load failed");
        }
      },
      baseline);
  state.counters["width"] = target.width();
}

void RegisterCases() {
  // 6000 x 4000 and 4000 x 3000 both have ratio 3 and 2 on a full-HD screen: one half.
  for (const QSize size : {QSize(6000, 4000), QSize(4000, 3000)}) {
    const std::string jpeg = WriteJpeg(size.width(), size.height());
    benchmark::RegisterBenchmark(
        ("jpeg_for_screen/" + std::to_string(size.width()) + "x" + std::to_string(size.height()))
            .c_str(),
        [jpeg](benchmark::State& state) {
          ScreenLoad(state, jpeg, [&] { PlainJpegDecode(jpeg, 2); });
        })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  const std::string reference = WriteJpeg(6000, 4000);
  benchmark::RegisterBenchmark("jpeg_for_screen_fresh_target/6000x4000",
                               [reference](benchmark::State& state) {
                                 ScreenLoad(
                                     state, reference, [&] { PlainJpegDecode(reference, 2); },
                                     true);
                               })
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  const std::string png = WritePng(4000, 3000);
  benchmark::RegisterBenchmark(
      "png_for_screen/4000x3000",
      [png](benchmark::State& state) { ScreenLoad(state, png, [&] { PlainPngDecode(png); }); })
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  // A phone camera's 4032 x 3024 has ratio 2 on a full-HD screen: one half, by box average
  // after libheif's full decode, which is therefore the baseline.
  const struct {
    const char* Name;
    QString Ext;
    QStringList Options;
  } heifCases[] = {
      {"heic_for_screen/4032x3024", QStringLiteral(".heic"), {QStringLiteral("-q"), "80"}},
      {"avif_for_screen/4032x3024",
       QStringLiteral(".avif"),
       {QStringLiteral("-q"), "80", "-p", "speed=9"}},
  };
  for (const auto& heifCase : heifCases) {
    const std::string heif = HeifEncFile(4032, 3024, heifCase.Ext, heifCase.Options);
    benchmark::RegisterBenchmark(heifCase.Name,
                                 [heif](benchmark::State& state) {
                                   if (heif.empty()) {
                                     state.SkipWithError("heif-enc failed or is missing");
                                     return;
                                   }
                                   ScreenLoad(state, heif, [&] { PlainHeifDecode(heif); });
                                 })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterCases();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
