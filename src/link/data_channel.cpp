// The data channel's handlers. The phone sends its keep-alives here; the keep-alive's echo goes
// out on the session phone's control connection.
#include "link/link_reader.h"
#include "link/phone_link.h"

namespace zephra::link {

void TPhoneLink::Server2Connect(net::TcpConnection& connection) {
  auto peer = MakePeerInfo(connection);
  connection.SetUserData(peer);
  dataClients_.Add(std::move(peer));
}

void TPhoneLink::Server2Execute(net::TcpConnection& connection) {
  if (connection.StopRequested() || !connection.Connected()) return;
  TLinkHeader header;
  if (!ReadHeader(connection, header)) return;
  if (header.Magic != LinkMagicPhone) return;
  if (!AcceptableLength(header.Length)) {
    connection.Close();
    return;
  }
  if (header.Command == cmdKeepAlive && header.Length == 0) {
    TouchLastActive();
    SendToSession(MakeKeepAliveEcho());
  } else {
    Drain(connection, header.Length);
  }
  if (connection.Connected()) connection.MarkSpoken();
}

void TPhoneLink::Server2Disconnect(net::TcpConnection& connection) {
  const auto peer = connection.UserData<TPeerInfo>();
  if (!peer) return;
  dataClients_.Remove(peer.get());
  connection.SetUserData(nullptr);
}

}  // namespace zephra::link
