#include "install/mime_table.h"

#include <QMimeDatabase>
#include <QSet>
#include <QStringList>
#include <algorithm>

#include "install/install_constants.h"

namespace zephra::install {

namespace {

struct TBuiltInType {
  const char* extension;
  const char* type;
};

// Common extensions whose types hold whatever the system says.
constexpr TBuiltInType BuiltInTypes[] = {
    {".htm", "text/html"},         {".html", "text/html"},
    {".txt", "text/plain"},        {".css", "text/css"},
    {".xml", "text/xml"},          {".js", "application/x-javascript"},
    {".json", "application/json"}, {".zip", "application/x-zip-compressed"},
    {".gz", "application/x-gzip"}, {".tar", "application/x-tar"},
    {".pdf", "application/pdf"},   {".exe", "application/octet-stream"},
    {".gif", "image/gif"},         {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},       {".png", "image/png"},
    {".bmp", "image/bmp"},         {".ico", "image/x-icon"},
    {".svg", "image/svg+xml"},     {".wav", "audio/x-wav"},
    {".mp3", "audio/mpeg"},        {".mp4", "video/mp4"},
    {".avi", "video/x-msvideo"},
};

}  // namespace

TMimeTable::TMimeTable(bool withSystem) {
  AddBuiltIn();
  if (withSystem) AddSystem();
}

void TMimeTable::Add(const QString& extension, const QString& type) {
  const QString key = extension.toLower();
  if (key.size() < 2 || !key.startsWith(QLatin1Char('.')) || type.isEmpty()) return;
  if (!types_.contains(key)) types_.insert(key, type);
}

void TMimeTable::AddBuiltIn() {
  for (const auto& entry : BuiltInTypes) {
    Add(QString::fromLatin1(entry.extension), QString::fromLatin1(entry.type));
  }
}

// Every simple suffix the database knows, each with the type the database prefers for it, in a
// fixed order so that the table does not depend on the order of the database's entries.
void TMimeTable::AddSystem() {
  const QMimeDatabase database;
  QSet<QString> suffixes;
  for (const QMimeType& type : database.allMimeTypes()) {
    for (const QString& suffix : type.suffixes()) {
      if (!suffix.isEmpty() && !suffix.contains(QLatin1Char('.')))
        suffixes.insert(suffix.toLower());
    }
  }
  QStringList sorted(suffixes.begin(), suffixes.end());
  std::sort(sorted.begin(), sorted.end());
  for (const QString& suffix : sorted) {
    const QString extension = QLatin1Char('.') + suffix;
    if (types_.contains(extension)) continue;
    const QMimeType type =
        database.mimeTypeForFile(QLatin1Char('x') + extension, QMimeDatabase::MatchExtension);
    if (type.isValid() && !type.isDefault()) Add(extension, type.name());
  }
}

QString TMimeTable::Lookup(const QString& fileName) const {
  const qsizetype slash =
      std::max(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  if (dot <= slash) return QString::fromLatin1(OctetStreamType);
  return types_.value(fileName.mid(dot).toLower(), QString::fromLatin1(OctetStreamType));
}

}  // namespace zephra::install
