#pragma once

#include <QString>
#include <cstdint>

namespace zephra::platform {

// The four version numbers a program file carries: its version resource on Windows, the
// "Zephra" version note (see ZEPHRA_FILE_VERSION_NOTE) in an ELF file elsewhere. Text
// "major.minor.release.build"; empty when the file can't be read or carries no version.
QString FileVersionText(const QString& path);

// The note that FileVersionText reads from an ELF file: the standard note layout (name size,
// description size, type, "Zephra" padded to 8 bytes) and four 16-bit numbers, little-endian.
struct TVersionNote {
  std::uint32_t NameSize = 7;
  std::uint32_t DescSize = 8;
  std::uint32_t Type = 1;
  char Name[8] = {'Z', 'e', 'p', 'h', 'r', 'a', '\0', '\0'};
  std::uint16_t Numbers[4] = {};
};

inline constexpr const char* VersionNoteSection = ".note.zephra.version";

}  // namespace zephra::platform

// Puts the version note into the executable that this line is compiled into (once per program).
#if defined(__ELF__)
#define ZEPHRA_FILE_VERSION_NOTE(major, minor, release, build)                            \
  [[gnu::used, gnu::section(".note.zephra.version"),                                      \
    gnu::aligned(4)]] static const ::zephra::platform::TVersionNote ZephraVersionNote {   \
    7, 8, 1, {'Z', 'e', 'p', 'h', 'r', 'a', '\0', '\0'}, { major, minor, release, build } \
  }
#else
#define ZEPHRA_FILE_VERSION_NOTE(major, minor, release, build) \
  static_assert(true, "the version resource carries the version")
#endif
