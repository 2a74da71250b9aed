#include "viewer/picture_names.h"

#include <QCryptographicHash>
#include <QStringList>
#include <array>

namespace zephra::viewer {
namespace {

struct TKindEntry {
  const char* ext;
  TPictureKind kind;
};

constexpr std::array KindTable{
    TKindEntry{".bmp", pkBitmap}, TKindEntry{".dib", pkBitmap}, TKindEntry{".rle", pkBitmap},
    TKindEntry{".gif", pkGif},    TKindEntry{".jpg", pkJpeg},   TKindEntry{".jpeg", pkJpeg},
    TKindEntry{".jpe", pkJpeg},   TKindEntry{".jif", pkJpeg},   TKindEntry{".jfif", pkJpeg},
    TKindEntry{".thm", pkJpeg},   TKindEntry{".tbi", pkJpeg},   TKindEntry{".png", pkPng},
    TKindEntry{".tif", pkTiff},   TKindEntry{".tiff", pkTiff},  TKindEntry{".wmf", pkWmf},
    TKindEntry{".emf", pkEmf},    TKindEntry{".ico", pkIcon},   TKindEntry{".heic", pkHeif},
    TKindEntry{".heif", pkHeif},  TKindEntry{".avif", pkHeif},
};

// Windows device names that cannot be file or folder names, whatever follows a dot.
const QStringList ReservedDeviceNames{
    QStringLiteral("CON"),  QStringLiteral("PRN"),  QStringLiteral("AUX"),  QStringLiteral("NUL"),
    QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"), QStringLiteral("COM4"),
    QStringLiteral("COM5"), QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8"),
    QStringLiteral("COM9"), QStringLiteral("LPT1"), QStringLiteral("LPT2"), QStringLiteral("LPT3"),
    QStringLiteral("LPT4"), QStringLiteral("LPT5"), QStringLiteral("LPT6"), QStringLiteral("LPT7"),
    QStringLiteral("LPT8"), QStringLiteral("LPT9")};

// Longest folder name kept as it is; longer names are hashed like unsafe ones.
constexpr qsizetype MaxPlainFolderName = 64;
// Longest extension kept on a cache file name.
constexpr qsizetype MaxCacheExtension = 16;

QString Md5Hex(const QString& text) {
  // The UTF-16 code units in little-endian order, two bytes each.
  QByteArray bytes;
  bytes.reserve(text.size() * 2);
  for (const QChar c : text) {
    const char16_t unit = c.unicode();
    bytes.append(static_cast<char>(unit & 0xFF));
    bytes.append(static_cast<char>(unit >> 8));
  }
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex())
      .toUpper();
}

bool IsPlainChar(QChar c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u' ' || c == u'_' || c == u'-' || c == u'.';
}

bool IsReservedDeviceName(const QString& name) {
  const QString stem = name.section(u'.', 0, 0).trimmed();
  return ReservedDeviceNames.contains(stem, Qt::CaseInsensitive);
}

bool IsPlainFolderName(const QString& name) {
  if (name.isEmpty() || name.size() > MaxPlainFolderName) return false;
  if (name.front() == u'.' || name.back() == u'.' || name.back() == u' ') return false;
  for (const QChar c : name) {
    if (!IsPlainChar(c)) return false;
  }
  return !IsReservedDeviceName(name);
}

// An extension is kept on a cache file name only when it is a dot and plain characters, so that
// it can neither leave the folder nor break the name.
bool IsSafeExtension(const QString& ext) {
  if (ext.size() < 2 || ext.size() > MaxCacheExtension) return false;
  for (qsizetype i = 1; i < ext.size(); ++i) {
    const QChar c = ext[i];
    if (!IsPlainChar(c) || c == u'.' || c == u' ') return false;
  }
  return true;
}

}  // namespace

TPictureKind PictureKind(const QString& name) {
  QString ext;
  for (qsizetype i = name.size() - 1; i >= 0; --i) {
    const QChar c = name[i];
    if (c == u'\\' || c == u':') break;
    if (c == u'.') {
      ext = name.mid(i).toLower();
      break;
    }
  }
  if (ext.isEmpty()) return pkOther;
  for (const TKindEntry& entry : KindTable) {
    if (ext == QLatin1String(entry.ext)) return entry.kind;
  }
  return pkOther;
}

bool Prefetchable(TPictureKind kind) {
  return (kind >= pkBitmap && kind <= pkEmf) || kind == pkHeif;
}

QString ExtOf(const QString& name) {
  for (qsizetype i = name.size() - 1; i >= 0; --i) {
    const QChar c = name[i];
    if (c == u'.') return name.mid(i);
    if (c == u'/' || c == u'\\') return {};
  }
  return {};
}

QString CacheFileName(const QString& name) {
  const QString ext = ExtOf(name);
  return Md5Hex(name) + (IsSafeExtension(ext) ? ext : QString());
}

QString SafeFolderName(const QString& phoneName) {
  if (IsPlainFolderName(phoneName)) return phoneName;
  return QStringLiteral("phone-") + Md5Hex(phoneName);
}

}  // namespace zephra::viewer
