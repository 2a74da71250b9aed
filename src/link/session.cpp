#include "link/session.h"

namespace zephra::link {

TClientInfo TSession::Get() const {
  std::lock_guard lock(mutex_);
  return info_;
}

void TSession::Set(const std::string& ip, const QByteArray& name, std::uint32_t version) {
  std::lock_guard lock(mutex_);
  info_ = {ip, name, version};
}

void TSession::Clear() {
  std::lock_guard lock(mutex_);
  info_ = {};
}

bool TSession::Present() const {
  std::lock_guard lock(mutex_);
  return !info_.Name.isEmpty();
}

bool TSession::SetIfAbsent(const std::string& ip, const QByteArray& name, std::uint32_t version) {
  std::lock_guard lock(mutex_);
  if (!info_.Name.isEmpty()) return false;
  info_ = {ip, name, version};
  return true;
}

bool TSession::ClearIf(const std::string& ip, const QByteArray& name) {
  std::lock_guard lock(mutex_);
  if (info_.Name.isEmpty() || info_.Name != name || info_.IP != ip) return false;
  info_ = {};
  return true;
}

}  // namespace zephra::link
