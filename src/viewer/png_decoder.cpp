#include "viewer/png_decoder.h"

#include <png.h>

#include <QIODevice>
#include <csetjmp>

#include "base/stop_flag.h"
#include "viewer/decode_target.h"

namespace zephra::viewer {
namespace {

constexpr int BgrComponents = 3;
constexpr png_uint_16 White = 255;

struct TPngError {
  std::jmp_buf Jump;
};

[[noreturn]] void RaiseError(png_structp png, png_const_charp) {
  std::longjmp(static_cast<TPngError*>(png_get_error_ptr(png))->Jump, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

void ReadFromDevice(png_structp png, png_bytep data, size_t length) {
  auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
  const qint64 wanted = static_cast<qint64>(length);
  if (device->read(reinterpret_cast<char*>(data), wanted) != wanted) {
    png_error(png, "PNG data ends early");
  }
}

// One libpng read structure with its info structure, destroyed with the object. Every libpng
// call goes through Guarded, which turns a libpng error into a false result.
class TPngReader {
 public:
  explicit TPngReader(QIODevice& device) {
    FPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, &FError, RaiseError, IgnoreWarning);
    if (FPng == nullptr) return;
    FInfo = png_create_info_struct(FPng);
    png_set_read_fn(FPng, &device, ReadFromDevice);
  }
  ~TPngReader() { png_destroy_read_struct(&FPng, FInfo ? &FInfo : nullptr, nullptr); }
  TPngReader(const TPngReader&) = delete;
  TPngReader& operator=(const TPngReader&) = delete;

  bool Created() const { return FPng != nullptr && FInfo != nullptr; }

  // Runs `step` with libpng's errors caught. An error leaves the step by longjmp, so the step
  // must not own objects with destructors.
  template <class TStep>
  bool Guarded(TStep step) {
    if (setjmp(FError.Jump) != 0) return false;
    step();
    return true;
  }

  bool ReadHeader() {
    return Guarded([this] {
      png_read_info(FPng, FInfo);
      FWidth = png_get_image_width(FPng, FInfo);
      FHeight = png_get_image_height(FPng, FInfo);
    });
  }
  png_uint_32 Width() const { return FWidth; }
  png_uint_32 Height() const { return FHeight; }

  // Asks for 8-bit B,G,R rows of the whole width, with transparency composited over white.
  bool SetBgrOutput() {
    return Guarded([this] {
      const png_byte colourType = png_get_color_type(FPng, FInfo);
      const bool transparent = (colourType & PNG_COLOR_MASK_ALPHA) != 0 ||
                               png_get_valid(FPng, FInfo, PNG_INFO_tRNS) != 0;
      png_set_expand(FPng);
      png_set_strip_16(FPng);
      png_set_gray_to_rgb(FPng);
      if (transparent) {
        png_color_16 white{0, White, White, White, White};
        png_set_background(FPng, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
      }
      png_set_bgr(FPng);
      FPasses = png_set_interlace_handling(FPng);
      png_read_update_info(FPng, FInfo);
      FRowBytes = png_get_rowbytes(FPng, FInfo);
    });
  }
  size_t RowBytes() const { return FRowBytes; }

  // Reads every row of every pass into `pixels`, rows `stride` bytes apart; stops before the
  // next row once `abortLoad` is set, with `aborted` true.
  bool ReadRows(uchar* pixels, qsizetype stride, const base::TStopFlag& abortLoad, bool& aborted) {
    return Guarded([&] {
      for (int pass = 0; pass < FPasses; ++pass) {
        for (png_uint_32 y = 0; y < FHeight; ++y) {
          if (abortLoad.IsSet()) {
            aborted = true;
            return;
          }
          png_read_row(FPng, pixels + y * stride, nullptr);
        }
      }
    });
  }

 private:
  TPngError FError{};
  png_structp FPng = nullptr;
  png_infop FInfo = nullptr;
  png_uint_32 FWidth = 0;
  png_uint_32 FHeight = 0;
  int FPasses = 1;
  size_t FRowBytes = 0;
};

}  // namespace

TDecodeStatus DecodePng(QImage& target, QIODevice& source, const base::TStopFlag& abortLoad) {
  TPngReader png(source);
  const auto fail = [&target](TDecodeStatus status) {
    target = QImage();
    return status;
  };
  if (!png.Created() || !png.ReadHeader()) return fail(TDecodeStatus::Failed);
  if (!FitsPictureLimits(png.Width(), png.Height())) return fail(TDecodeStatus::TooLarge);
  if (!png.SetBgrOutput() || png.RowBytes() != size_t(png.Width()) * BgrComponents) {
    return fail(TDecodeStatus::Failed);
  }
  if (abortLoad.IsSet()) return fail(TDecodeStatus::Aborted);
  if (!PrepareTarget(target, static_cast<int>(png.Width()), static_cast<int>(png.Height()))) {
    return fail(TDecodeStatus::TooLarge);
  }
  bool aborted = false;
  if (!png.ReadRows(target.bits(), target.bytesPerLine(), abortLoad, aborted)) {
    return fail(TDecodeStatus::Failed);
  }
  return aborted ? fail(TDecodeStatus::Aborted) : TDecodeStatus::Ok;
}

}  // namespace zephra::viewer
