// The data channel's handlers. The phone sends its keep-alives here; the keep-alive's echo goes
// out on the session phone's control connection.
#include "link/link_reader.h"
#include "link/phone_link.h"

namespace zephra::link {

void TPhoneLink::Server2Connect(net::TcpConnection& connection) {
  dataClients_.Add(MakePeerInfo(connection));
}

void TPhoneLink::Server2Execute(net::TcpConnection& connection) {
  TLinkHeader header;
  if (!ReadPhoneHeader(connection, header)) return;
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
