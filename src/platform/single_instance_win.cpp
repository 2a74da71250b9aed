#include "platform/single_instance.h"

#include <cassert>

#include <windows.h>

namespace zephra::platform {

struct TSingleInstance::TImpl {
  HANDLE mutex = nullptr;
};

TSingleInstance::TSingleInstance() : impl_(std::make_unique<TImpl>()) {}

TSingleInstance::~TSingleInstance() { Release(); }

bool TSingleInstance::Acquire(const QString& name) {
  assert(impl_->mutex == nullptr);
  const std::wstring wide = name.toStdWString();
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, wide.c_str());
  if (mutex == nullptr) {
    // Creating the mutex failed outright: run unguarded rather than not at all.
    return true;
  }
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    // Another copy created it first.
    ::CloseHandle(mutex);
    return false;
  }
  impl_->mutex = mutex;
  return true;
}

void TSingleInstance::Release() {
  if (impl_->mutex == nullptr) {
    return;
  }
  ::CloseHandle(impl_->mutex);
  impl_->mutex = nullptr;
}

}  // namespace zephra::platform
