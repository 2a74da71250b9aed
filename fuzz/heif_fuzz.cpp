// The HEIF and AVIF decoder. The input's size picks the reduction, so that every box size of the
// conversion is reached from the same seeds.
#include <QImage>

#include "base/stop_flag.h"
#include "decoder_input.h"
#include "fuzz_target.h"
#include "viewer/heif_decoder.h"

namespace {

constexpr std::size_t MaxInput = 65536;
constexpr std::size_t Reductions = 4;  // 1, 2, 4 and 8

int ReducedSide(int side, int reduce) { return (side + reduce - 1) / reduce; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zephra::viewer;
  if (size > MaxInput) return 0;
  const int reduce = 1 << (size % Reductions);
  zephra::fuzz::TInputDevice input(data, size);
  zephra::base::TStopFlag abortLoad;
  QImage target;
  const THeifDecode decode = DecodeHeif(
      target, input.Device(), [reduce](int, int) { return reduce; }, abortLoad);
  if (decode.Status != TDecodeStatus::Ok) {
    ZEPHRA_FUZZ_CHECK(target.isNull());
    return 0;
  }
  ZEPHRA_FUZZ_CHECK(target.format() == QImage::Format_BGR888);
  ZEPHRA_FUZZ_CHECK(FitsPictureLimits(decode.Width, decode.Height));
  // The reduced size, or a thumbnail between it and the full size.
  ZEPHRA_FUZZ_CHECK(target.width() >= ReducedSide(decode.Width, reduce) &&
                    target.width() <= decode.Width);
  ZEPHRA_FUZZ_CHECK(target.height() >= ReducedSide(decode.Height, reduce) &&
                    target.height() <= decode.Height);
  return 0;
}
