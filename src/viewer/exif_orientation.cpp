#include "viewer/exif_orientation.h"

#include <cstring>

namespace zephra::viewer {
namespace {

constexpr char ExifSignature[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t TiffHeaderSize = 8;
constexpr std::size_t IfdEntrySize = 12;
constexpr std::uint16_t TiffMagic = 42;
constexpr std::uint16_t OrientationTag = 0x0112;
constexpr std::uint16_t TypeShort = 3;
constexpr int LastOrientation = 8;

// Reads the TIFF block in its own byte order; callers check the bounds first.
class TTiffReader {
 public:
  TTiffReader(const std::uint8_t* tiff, bool bigEndian) : FTiff(tiff), FBigEndian(bigEndian) {}

  std::uint16_t U16(std::size_t at) const {
    const std::uint8_t* p = FTiff + at;
    return FBigEndian ? static_cast<std::uint16_t>(p[0] << 8 | p[1])
                      : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint32_t high = U16(at), low = U16(at + 2);
    return FBigEndian ? (high << 16 | low) : (low << 16 | high);
  }

 private:
  const std::uint8_t* FTiff;
  bool FBigEndian;
};

}  // namespace

int ExifOrientation(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < sizeof ExifSignature + TiffHeaderSize) return 0;
  if (std::memcmp(data, ExifSignature, sizeof ExifSignature) != 0) return 0;
  const std::uint8_t* tiff = data + sizeof ExifSignature;
  const std::size_t tiffSize = size - sizeof ExifSignature;

  // Byte order mark "II" (little-endian) or "MM" (big-endian), then the magic 42.
  bool bigEndian;
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    bigEndian = false;
  } else if (tiff[0] == 'M' && tiff[1] == 'M') {
    bigEndian = true;
  } else {
    return 0;
  }
  const TTiffReader reader(tiff, bigEndian);
  if (reader.U16(2) != TiffMagic) return 0;

  // IFD0: a 16-bit entry count, then 12-byte entries (tag, type, count, value).
  const std::uint64_t ifd = reader.U32(4);
  if (ifd + 2 > tiffSize) return 0;
  const std::uint64_t entries = reader.U16(ifd);
  for (std::uint64_t i = 0; i < entries; ++i) {
    const std::uint64_t entry = ifd + 2 + i * IfdEntrySize;
    if (entry + IfdEntrySize > tiffSize) return 0;
    if (reader.U16(entry) != OrientationTag) continue;
    if (reader.U16(entry + 2) != TypeShort || reader.U32(entry + 4) != 1) return 0;
    // A single SHORT sits in the first two bytes of the value field.
    const int value = reader.U16(entry + 8);
    return value >= 1 && value <= LastOrientation ? value : 0;
  }
  return 0;
}

}  // namespace zephra::viewer
