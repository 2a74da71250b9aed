#include "browser/page_assets.h"

#include <QDir>
#include <QFile>

// The page is compiled into this static library; its resource initialiser is linked in only
// when something refers to it. Q_INIT_RESOURCE must be used outside any namespace.
static void InitBrowserResources() { Q_INIT_RESOURCE(zephra_browser); }

namespace zephra::browser {

namespace {

std::string ContentTypeOf(const QString& name) {
  if (name.endsWith(QLatin1String(".html"))) return "text/html; charset=utf-8";
  if (name.endsWith(QLatin1String(".css"))) return "text/css; charset=utf-8";
  if (name.endsWith(QLatin1String(".js"))) return "text/javascript; charset=utf-8";
  if (name.endsWith(QLatin1String(".svg"))) return "image/svg+xml";
  if (name.endsWith(QLatin1String(".png"))) return "image/png";
  return "application/octet-stream";
}

}  // namespace

TPageAssets::TPageAssets() {
  InitBrowserResources();
  const QDir folder(QStringLiteral(":/browser"));
  for (const QString& name : folder.entryList(QDir::Files)) {
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const std::string path = name == QLatin1String("index.html") ? "/" : "/" + name.toStdString();
    assets_[path] = TPageAsset{file.readAll(), ContentTypeOf(name)};
  }
}

const TPageAsset* TPageAssets::Find(std::string_view target) const {
  const std::string_view path = target.substr(0, target.find('?'));
  const auto it = assets_.find(path);
  return it == assets_.end() ? nullptr : &it->second;
}

}  // namespace zephra::browser
