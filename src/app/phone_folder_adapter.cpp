#include "app/phone_folder_adapter.h"

namespace zephra::app {

QString TPhoneFolderAdapter::PhoneFolder() const {
  std::lock_guard lock(mutex_);
  return phoneFolder_;
}

void TPhoneFolderAdapter::SetPhoneFolder(const QString& phoneName) {
  std::lock_guard lock(mutex_);
  phoneFolder_ = phoneName;
  // The picture cache will create the folder here once it exists.
}

}  // namespace zephra::app
