// The EXIF orientation reader on a whole APP1 segment payload ("Exif\0\0" and a TIFF block).
#include "fuzz_target.h"
#include "viewer/exif_orientation.h"

namespace {
constexpr std::size_t MaxInput = 65536;  // an APP1 segment holds less
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxInput) return 0;
  const int orientation = zephra::viewer::ExifOrientation(data, size);
  ZEPHRA_FUZZ_CHECK(orientation >= 0 && orientation <= 8);
  return 0;
}
