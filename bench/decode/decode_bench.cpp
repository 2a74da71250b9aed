// Picture loading for the screen against plain library decodes of the same files, measured in
// the same run. Every case times its candidate and its baseline alternately several times and
// keeps the best of each, so that load from other processes affects both alike; "x_baseline" is
// the ratio and "ms" the candidate's best time. The baselines decode into a newly allocated
// buffer each time, as a decoder without a picture to reuse must.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <QImage>
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
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterCases();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
