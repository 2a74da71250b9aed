#pragma once

#include <QHash>
#include <QString>

namespace zephra::install {

// FMimeTable: file extension to content type, for the download server's HEAD answers. Keys are
// lower-case extensions with their leading dot. The first type given for an extension stays, so
// the built-in entries win over the system's. Filled on the GUI thread before the server
// starts; read-only afterwards, so any thread may look up.
class TMimeTable {
 public:
  // The built-in entries, then, with `withSystem`, every extension that the system's MIME
  // database (shared-mime-info on Linux, the registry on Windows) knows.
  explicit TMimeTable(bool withSystem = true);

  // Adds `type` for `extension` (leading dot, any case) unless the extension has one already.
  void Add(const QString& extension, const QString& type);
  // The type of `fileName`'s extension, taken from the last dot of its last path segment ("/"
  // or "\" separated); "application/octet-stream" when the name has no extension or the table
  // does not know it.
  QString Lookup(const QString& fileName) const;
  qsizetype Count() const { return types_.size(); }

 private:
  void AddBuiltIn();
  void AddSystem();

  QHash<QString, QString> types_;
};

}  // namespace zephra::install
