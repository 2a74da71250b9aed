#include "link/peer_list.h"

#include <algorithm>

namespace zephra::link {

std::shared_ptr<TPeerInfo> MakePeerInfo(net::TcpConnection& connection) {
  auto peer = std::make_shared<TPeerInfo>();
  peer->PeerIP = connection.PeerAddress().substr(0, MaxPeerIpLength);
  peer->Peer = connection.weak_from_this();
  connection.SetUserData(peer);
  return peer;
}

void TPeerList::Add(std::shared_ptr<TPeerInfo> peer) {
  std::lock_guard lock(mutex_);
  peers_.push_back(std::move(peer));
}

void TPeerList::Remove(const TPeerInfo* peer) {
  std::lock_guard lock(mutex_);
  std::erase_if(peers_, [peer](const auto& p) { return p.get() == peer; });
}

void TPeerList::FindNewestFirst(const std::function<bool(TPeerInfo&)>& visit) {
  std::lock_guard lock(mutex_);
  for (auto it = peers_.rbegin(); it != peers_.rend(); ++it) {
    if (visit(**it)) return;
  }
}

void TPeerList::CloseAndClear() {
  std::lock_guard lock(mutex_);
  for (auto it = peers_.rbegin(); it != peers_.rend(); ++it) {
    if (auto connection = (*it)->Peer.lock()) connection->Close();
  }
  peers_.clear();
}

std::size_t TPeerList::Count() const {
  std::lock_guard lock(mutex_);
  return peers_.size();
}

}  // namespace zephra::link
