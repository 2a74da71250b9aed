// The control channel's handlers: the hello exchange, the session and the dispatch of the
// phone's commands to the viewer.
#include <mutex>

#include "link/link_reader.h"
#include "link/phone_link.h"

namespace zephra::link {

void TPhoneLink::ServerConnect(net::TcpConnection& connection) {
  ctrlClients_.Add(MakePeerInfo(connection));
}

void TPhoneLink::ServerExecute(net::TcpConnection& connection) {
  TLinkHeader header;
  if (!ReadPhoneHeader(connection, header)) return;
  const auto peer = connection.UserData<TPeerInfo>();
  if (!peer) return;

  if (header.Command == cmdHello) {
    if (HandleHello(connection, header)) peer->InSession = true;
  } else if (IsSessionPeer(peer->PeerIP)) {
    // Any connection from the session phone's address is obeyed, not only the one that said
    // hello.
    switch (header.Command) {
      case cmdCloseViewer:
        if (header.Length == 0)
          CloseViewerQuietly();
        else
          Drain(connection, header.Length);
        break;
      case cmdShowList:
      case cmdSlideShow:
        HandlePictureList(connection, header);
        break;
      case cmdViewStop:
        HandleViewStop(connection, header);
        break;
      default:
        Drain(connection, header.Length);
    }
  } else {
    Drain(connection, header.Length);
  }
  if (connection.Connected()) connection.MarkSpoken();
}

bool TPhoneLink::HandleHello(net::TcpConnection& connection, const TLinkHeader& header) {
  if (header.Length != HelloLength) {
    Drain(connection, header.Length);
    return false;
  }
  unsigned char payload[HelloLength];
  if (!connection.ReadExact(payload, sizeof payload)) return false;
  const THello hello = ParseHello(payload);
  TouchLastActive();

  std::uint32_t status = stBusy;
  if (hello.Version < MinPhoneVersion) {
    status = stTooOld;
  } else if (session_.SetIfAbsent(connection.PeerAddress().substr(0, MaxPeerIpLength), hello.Name,
                                  hello.Version)) {
    status = stOk;
  }
  WriteTo(connection, MakeHelloReply(status));
  return status == stOk;
}

void TPhoneLink::HandlePictureList(net::TcpConnection& connection, const TLinkHeader& header) {
  const TClientInfo session = session_.Get();
  if (header.Length <= ListHeadLength || session.Name.isEmpty()) {
    Drain(connection, header.Length);
    return;
  }
  SelectPhoneFolder(QString::fromLocal8Bit(session.Name));
  // The whole payload is read, an odd trailing byte included, so the stream stays in step.
  const std::optional<QByteArray> payload = ReadPayload(connection, header.Length);
  if (!payload || !MayPopUp()) return;
  DeliverList(header.Command == cmdSlideShow, ParsePictureList(*payload));
}

void TPhoneLink::ShowPictures(bool slideShow, const TPictureList& list) {
  const TClientInfo session = session_.Get();
  if (session.Name.isEmpty()) return;
  SelectPhoneFolder(QString::fromLocal8Bit(session.Name));
  if (MayPopUp()) DeliverList(slideShow, list);
}

void TPhoneLink::DeliverList(bool slideShow, const TPictureList& list) {
  std::lock_guard lock(listLock_);
  const auto viewer = Viewer();
  if (!viewer) return;
  if (slideShow) {
    viewer->StartSlideShow(list.StartIndex, list.Names, list.Sizes);
  } else {
    viewer->ShowList(list.StartIndex, list.Names, list.Sizes);
  }
}

void TPhoneLink::HandleViewStop(net::TcpConnection& connection, const TLinkHeader& header) {
  if (header.Length != ViewStopLength) {
    Drain(connection, header.Length);
    return;
  }
  unsigned char value[ViewStopLength];
  if (!connection.ReadExact(value, sizeof value)) return;
  StopSlideShow();
}

void TPhoneLink::ServerDisconnect(net::TcpConnection& connection) {
  const auto peer = connection.UserData<TPeerInfo>();
  if (!peer) return;
  const TClientInfo session = session_.Get();
  if (!session.IP.empty() && session.IP == peer->PeerIP && peer->InSession) {
    CloseViewerQuietly();
    session_.Clear();
  }
  ctrlClients_.Remove(peer.get());
  connection.SetUserData(nullptr);
}

}  // namespace zephra::link
