#include "install/embedded_package.h"

#include <QResource>

#include "install/install_constants.h"

// The package's object file sits in this static library and is linked in only when something
// refers to it. Q_INIT_RESOURCE must be used outside any namespace.
static void InitPackageResource() { Q_INIT_RESOURCE(zephra_apk); }

namespace zephra::install {

std::optional<TPackageView> OpenEmbeddedPackage() {
  static const bool registered = (InitPackageResource(), true);
  (void)registered;
  const QResource resource(QString::fromLatin1(PackageResource));
  if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression) {
    return std::nullopt;
  }
  return TPackageView(reinterpret_cast<const std::byte*>(resource.data()),
                      static_cast<std::size_t>(resource.size()));
}

}  // namespace zephra::install
