#pragma once

#include <mutex>

#include <QString>

#include "link/viewer_port.h"

namespace zephra::app {

// The phone link's view of the picture cache's current phone folder. For now it only remembers
// the name; creating the folder in the cache comes with the picture cache. Any thread.
class TPhoneFolderAdapter final : public link::IPhoneFolders {
 public:
  QString PhoneFolder() const override;
  void SetPhoneFolder(const QString& phoneName) override;

 private:
  mutable std::mutex mutex_;
  QString phoneFolder_;
};

}  // namespace zephra::app
