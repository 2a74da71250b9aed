#pragma once

#include <QByteArray>
#include <cstdint>
#include <mutex>
#include <string>

namespace zephra::link {

// The one phone session. It is present exactly when Name is not empty.
struct TClientInfo {
  std::string IP;   // the session phone's IPv4 address text
  QByteArray Name;  // the phone's name from its hello (8-bit)
  std::uint32_t Version = 0;
};

// Thread-safe holder of the session record.
class TSession {
 public:
  TClientInfo Get() const;
  void Set(const std::string& ip, const QByteArray& name, std::uint32_t version);
  void Clear();
  bool Present() const;
  // Sets the record unless a session is present; true when it was set.
  bool SetIfAbsent(const std::string& ip, const QByteArray& name, std::uint32_t version);
  // Clears the record if it is the session of `name` from `ip`; true when it was.
  bool ClearIf(const std::string& ip, const QByteArray& name);

 private:
  mutable std::mutex mutex_;
  TClientInfo info_;
};

}  // namespace zephra::link
