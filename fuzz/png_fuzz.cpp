// The PNG decoder. libpng refuses chunks whose CRC doesn't match, so nearly every mutation
// would end at the first check; the target therefore rewrites every chunk's CRC before
// decoding, and the mutations reach the chunk contents.
#include <QImage>
#include <array>
#include <vector>

#include "base/stop_flag.h"
#include "decoder_input.h"
#include "fuzz_target.h"
#include "viewer/png_decoder.h"

namespace {

constexpr std::size_t MaxInput = 65536;
constexpr std::size_t SignatureSize = 8;
constexpr std::size_t ChunkFrameSize = 12;  // length, type, CRC

std::uint32_t ReadBigEndian(const std::uint8_t* bytes) {
  return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
         std::uint32_t(bytes[2]) << 8 | bytes[3];
}

// CRC-32 as PNG uses it (ISO 3309), over the chunk type and data.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// Sets the CRC of every whole chunk after the signature.
void FixChunkCrcs(std::vector<std::uint8_t>& png) {
  std::size_t at = SignatureSize;
  while (at + ChunkFrameSize <= png.size()) {
    const std::uint64_t length = ReadBigEndian(&png[at]);
    if (length > png.size() - at - ChunkFrameSize) return;
    const std::uint32_t crc = Crc32(&png[at + 4], std::size_t(length) + 4);
    std::uint8_t* out = &png[at + 8 + std::size_t(length)];
    for (int i = 0; i < 4; ++i) out[i] = std::uint8_t(crc >> (24 - 8 * i));
    at += ChunkFrameSize + std::size_t(length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zephra::viewer;
  if (size > MaxInput) return 0;
  std::vector<std::uint8_t> png(data, data + size);
  FixChunkCrcs(png);
  zephra::fuzz::TInputDevice input(png.data(), png.size());
  zephra::base::TStopFlag abortLoad;
  QImage target;
  const TDecodeStatus status = DecodePng(target, input.Device(), abortLoad);
  if (status != TDecodeStatus::Ok) {
    ZEPHRA_FUZZ_CHECK(target.isNull());
    return 0;
  }
  ZEPHRA_FUZZ_CHECK(target.format() == QImage::Format_BGR888);
  ZEPHRA_FUZZ_CHECK(FitsPictureLimits(target.width(), target.height()));
  return 0;
}
