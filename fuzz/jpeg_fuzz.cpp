// The JPEG decoder: the header read, and decodes at full and at one-eighth scale with the EXIF
// orientation.
#include <QImage>
#include <optional>

#include "base/stop_flag.h"
#include "decoder_input.h"
#include "fuzz_target.h"
#include "viewer/jpeg_decoder.h"

namespace {

using namespace zephra::viewer;

constexpr std::size_t MaxInput = 65536;

// `header`: what ReadJpegHeader told of the same input, if anything.
void CheckDecode(const std::uint8_t* data, std::size_t size, int scale,
                 const std::optional<TJpegHeader>& header) {
  zephra::fuzz::TInputDevice input(data, size);
  zephra::base::TStopFlag abortLoad;
  QImage target;
  const TJpegDecode result = DecodeJpeg(target, input.Device(), scale, true, abortLoad);
  if (result.Status != TDecodeStatus::Ok) {
    ZEPHRA_FUZZ_CHECK(target.isNull());
    return;
  }
  // The scaled size is the stored size divided by the scale factor, rounded up.
  const int divisor = 1 << (scale - 1);
  ZEPHRA_FUZZ_CHECK(target.format() == QImage::Format_BGR888);
  ZEPHRA_FUZZ_CHECK(target.width() == (result.Header.Width + divisor - 1) / divisor);
  ZEPHRA_FUZZ_CHECK(target.height() == (result.Header.Height + divisor - 1) / divisor);
  ZEPHRA_FUZZ_CHECK(FitsPictureLimits(target.width(), target.height()));
  ZEPHRA_FUZZ_CHECK(result.Header.Orientation >= 0 && result.Header.Orientation <= 8);
  // The decode and the header read agree on the stored size and the orientation.
  ZEPHRA_FUZZ_CHECK(header.has_value());
  ZEPHRA_FUZZ_CHECK(header->Width == result.Header.Width && header->Height == result.Header.Height);
  ZEPHRA_FUZZ_CHECK(header->Orientation == result.Header.Orientation);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxInput) return 0;
  zephra::fuzz::TInputDevice input(data, size);
  const std::optional<TJpegHeader> header = ReadJpegHeader(input.Device());
  if (header) ZEPHRA_FUZZ_CHECK(header->Orientation >= 0 && header->Orientation <= 8);
  CheckDecode(data, size, FullScale, header);
  CheckDecode(data, size, EighthScale, header);
  return 0;
}
