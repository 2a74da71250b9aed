#pragma once

#include <QByteArray>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zephra::browser {

struct TPageAsset {
  QByteArray bytes;
  std::string contentType;
};

// The page's files, read once from the program's resources (":/browser/"): "/" is index.html,
// "/<name>" each other file of the folder. Nothing else is served.
class TPageAssets {
 public:
  TPageAssets();
  // The asset of a request target (a query is ignored); nullptr for anything else.
  const TPageAsset* Find(std::string_view target) const;

 private:
  std::map<std::string, TPageAsset, std::less<>> assets_;
};

}  // namespace zephra::browser
