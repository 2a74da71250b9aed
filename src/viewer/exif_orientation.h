#pragma once

#include <cstddef>
#include <cstdint>

namespace zephra::viewer {

// The Orientation value (1 to 8) of an EXIF APP1 segment, or 0 when the segment is not EXIF,
// carries no valid Orientation in IFD0, or is malformed. `data` is the segment's payload after
// its length field: "Exif\0\0" followed by a TIFF header in either byte order. Every offset is
// checked against `size`.
int ExifOrientation(const std::uint8_t* data, std::size_t size);

}  // namespace zephra::viewer
