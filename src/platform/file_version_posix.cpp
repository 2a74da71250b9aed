#include <elf.h>

#include <QFile>
#include <cstring>
#include <optional>

#include "platform/file_version.h"

namespace zephra::platform {
namespace {

// Section headers and notes are read from the file in place; every offset is checked against
// the file's size before use.
class TElfFile {
 public:
  explicit TElfFile(QFile& file) : file_(file) {}

  std::optional<QByteArray> Section(const char* wanted) {
    Elf64_Ehdr header;
    if (!ReadAt(0, &header, sizeof header) || !IsElf64(header)) return std::nullopt;
    if (header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum) {
      return std::nullopt;
    }
    Elf64_Shdr names;
    if (!SectionHeader(header, header.e_shstrndx, names)) return std::nullopt;
    const std::optional<QByteArray> nameTable = Bytes(names.sh_offset, names.sh_size);
    if (!nameTable) return std::nullopt;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
      Elf64_Shdr section;
      if (!SectionHeader(header, i, section) || section.sh_name >= nameTable->size()) continue;
      if (std::strcmp(nameTable->constData() + section.sh_name, wanted) == 0) {
        return Bytes(section.sh_offset, section.sh_size);
      }
    }
    return std::nullopt;
  }

 private:
  static bool IsElf64(const Elf64_Ehdr& header) {
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
           header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_ident[EI_DATA] == ELFDATA2LSB;
  }

  bool SectionHeader(const Elf64_Ehdr& header, unsigned index, Elf64_Shdr& section) {
    return ReadAt(header.e_shoff + std::uint64_t{index} * sizeof(Elf64_Shdr), &section,
                  sizeof section);
  }

  std::optional<QByteArray> Bytes(std::uint64_t offset, std::uint64_t size) {
    // The name table and a note are small; anything larger isn't what is looked for.
    constexpr std::uint64_t MaxSection = 1 << 20;
    if (size > MaxSection) return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    if (!ReadAt(offset, bytes.data(), size)) return std::nullopt;
    bytes.append('\0');  // names end inside the buffer
    return bytes;
  }

  bool ReadAt(std::uint64_t offset, void* into, std::uint64_t size) {
    const auto fileSize = static_cast<std::uint64_t>(file_.size());
    if (offset > fileSize || size > fileSize - offset) return false;
    return file_.seek(static_cast<qint64>(offset)) &&
           file_.read(static_cast<char*>(into), static_cast<qint64>(size)) ==
               static_cast<qint64>(size);
  }

  QFile& file_;
};

}  // namespace

QString FileVersionText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const std::optional<QByteArray> note = TElfFile(file).Section(VersionNoteSection);
  TVersionNote version;
  if (!note || note->size() < static_cast<qsizetype>(sizeof version)) return {};
  std::memcpy(&version, note->constData(), sizeof version);
  const TVersionNote expected;
  if (version.NameSize != expected.NameSize || version.DescSize != expected.DescSize ||
      std::memcmp(version.Name, expected.Name, sizeof version.Name) != 0) {
    return {};
  }
  return QString::asprintf("%d.%d.%d.%d", version.Numbers[0], version.Numbers[1],
                           version.Numbers[2], version.Numbers[3]);
}

}  // namespace zephra::platform
