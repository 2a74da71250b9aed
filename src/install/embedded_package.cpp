#include "install/embedded_package.h"

#include <QResource>

#include "install/install_constants.h"

namespace zephra::install {

std::optional<TPackageView> OpenEmbeddedPackage() {
  const QResource resource(QString::fromLatin1(PackageResource));
  if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression) {
    return std::nullopt;
  }
  return TPackageView(reinterpret_cast<const std::byte*>(resource.data()),
                      static_cast<std::size_t>(resource.size()));
}

}  // namespace zephra::install
