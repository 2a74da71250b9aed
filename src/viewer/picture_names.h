#pragma once

#include <QString>

namespace zephra::viewer {

// Picture kinds by the lower-cased extension of a name. The kind decides what the image cache
// prefetches (kinds 1 to 7 and 9), the GIF animation and the JPEG shortcuts; decoders go by
// content.
enum TPictureKind : int {
  pkOther = 0,   // anything else, including no extension
  pkBitmap = 1,  // .bmp .dib .rle
  pkGif = 2,     // .gif
  pkJpeg = 3,    // .jpg .jpeg .jpe .jif .jfif .thm .tbi
  pkPng = 4,     // .png
  pkTiff = 5,    // .tif .tiff
  pkWmf = 6,     // .wmf
  pkEmf = 7,     // .emf
  pkIcon = 8,    // .ico
  pkHeif = 9,    // .heic .heif .avif
};

// The kind of `name`: the text from the last "." that stands after the last "\" or ":" ("/"
// does not end the search), lower-cased, looked up in the table above.
TPictureKind PictureKind(const QString& name);

// True for the kinds the image cache prefetches (1 to 7 and 9).
bool Prefetchable(TPictureKind kind);

// The extension of `name` with its dot and its case kept: the text from the last "." to the
// end, or empty when a "/" or "\" comes first (scanning from the end) or no dot is found after
// the first character.
QString ExtOf(const QString& name);

// The cache file name of a phone picture name: the MD5 digest of the name's UTF-16 code units
// (little-endian, no terminator) as 32 upper-case hex digits, followed by ExtOf(name) when that
// extension is safe as part of a file name.
QString CacheFileName(const QString& name);

// The folder name for a phone's self-declared name: plain names (letters, digits, space, "_",
// "-", "." without a leading dot, no trailing dot or space, no reserved device name) stay as
// they are; any other name becomes "phone-" + the MD5 hex of its UTF-16 code units.
QString SafeFolderName(const QString& phoneName);

}  // namespace zephra::viewer
