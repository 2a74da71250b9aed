// The data channel's handlers. The phone answers chunk requests here and sends its keep-alives
// here; the keep-alive's echo goes out on the session phone's control connection.
#include <vector>

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
  } else if (header.Command == cmdChunkData && header.Length >= ChunkHeadLength) {
    HandleChunk(connection, header);
  } else {
    Drain(connection, header.Length);
  }
  if (connection.Connected()) connection.MarkSpoken();
}

void TPhoneLink::HandleChunk(net::TcpConnection& connection, const TLinkHeader& header) {
  unsigned char head[ChunkHeadLength];
  if (!connection.ReadExact(head, sizeof head)) return;
  const std::uint32_t length = header.Length - ChunkHeadLength;
  const TChunkPlan plan = transfer_.PlanChunk(DecodeChunkHead(head), length);
  // The chunk's bytes are read into this connection's chunk buffer (FChunkBuf) and written to
  // the temporary file from there; whatever isn't taken is read all the same, so the
  // connection stays in step.
  thread_local std::vector<char> chunkBuf;
  bool read = true;
  if (plan.Store && plan.Count > 0) {
    chunkBuf.resize(plan.Count);
    read = connection.ReadExact(chunkBuf.data(), plan.Count);
  }
  if (read) Drain(connection, length - plan.Count);
  read = read && connection.Connected() && !connection.StopRequested();
  transfer_.CommitChunk(plan, read, chunkBuf.data());
  // A chunk beyond the usual size doesn't keep its memory.
  if (chunkBuf.capacity() > ChunkSize) chunkBuf = {};
}

void TPhoneLink::Server2Disconnect(net::TcpConnection& connection) {
  const auto peer = connection.UserData<TPeerInfo>();
  if (!peer) return;
  dataClients_.Remove(peer.get());
  connection.SetUserData(nullptr);
}

}  // namespace zephra::link
