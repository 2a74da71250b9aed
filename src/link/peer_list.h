#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/tcp_connection.h"

namespace zephra::link {

// One open connection on either link port.
struct TPeerInfo {
  std::string PeerIP;      // the peer's IPv4 address text, at most 20 characters
  bool InSession = false;  // this connection's hello was granted
  std::weak_ptr<net::TcpConnection> Peer;
};

inline constexpr std::size_t MaxPeerIpLength = 20;

// A new record for a connection that just opened (its address cut to MaxPeerIpLength), also set
// as the connection's user data.
std::shared_ptr<TPeerInfo> MakePeerInfo(net::TcpConnection& connection);

// A thread-safe list of peer records, oldest first. Every traversal and change holds its lock.
class TPeerList {
 public:
  void Add(std::shared_ptr<TPeerInfo> peer);
  void Remove(const TPeerInfo* peer);
  // Calls `visit` for each record from the newest to the oldest while holding the lock, until
  // it returns true.
  void FindNewestFirst(const std::function<bool(TPeerInfo&)>& visit);
  // Closes every connection (newest first) and forgets every record.
  void CloseAndClear();
  std::size_t Count() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<TPeerInfo>> peers_;
};

}  // namespace zephra::link
