#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "link/link_constants.h"
#include "link/link_message.h"
#include "link/peer_list.h"
#include "link/session.h"
#include "link/transfer_state.h"
#include "link/viewer_port.h"
#include "net/threaded_tcp_server.h"

namespace zephra::link {

struct TLinkConfig {
  std::uint16_t controlPort = ControlPort;  // 0: ephemeral (tests)
  std::uint16_t dataPort = DataPort;
  std::chrono::milliseconds stopWait = LinkStopWait;
  net::ServerLimits limits{MaxConnectionsPerPeer, MaxConnectionsPerPort, FirstMessageDeadline};
  std::chrono::milliseconds chunkWait = ChunkWait;  // the transfer engine's wait per chunk
};

// The phone link's shared state and its two listeners: the control channel (Server), where one
// phone at a time holds the session, and the data channel (Server2), where picture chunks and
// keep-alives arrive. Everything the PC sends to the phone goes out through SendToSession.
class TPhoneLink {
 public:
  // The viewer's request service, asked whether a list may bring the viewer up; nullopt while
  // no request service is installed.
  using MayPopUpQuery = std::function<std::optional<bool>()>;
  using Clock = std::chrono::steady_clock;

  TPhoneLink(TLinkConfig config, IPhoneFolders& folders, MayPopUpQuery mayPopUpQuery);
  ~TPhoneLink();
  TPhoneLink(const TPhoneLink&) = delete;
  TPhoneLink& operator=(const TPhoneLink&) = delete;

  // The viewer the phone's commands go to; nullptr while there is none. Any thread.
  void SetViewer(std::shared_ptr<IViewerPort> viewer);

  // Makes Server and then Server2 active. False (with `error` filled) when either failed; the
  // caller then switches both off.
  bool StartServers(std::string* error = nullptr);
  // Sets Server and then Server2 active or inactive; a failure of one doesn't stop the other.
  void SetServersActive(bool active);
  bool ServerActive() const;
  bool Server2Active() const;
  // The ports actually listened on (the ephemeral ones when configured with 0).
  std::uint16_t ControlPortInUse() const;
  std::uint16_t DataPortInUse() const;

  TClientInfo Session() const { return session_.Get(); }
  bool SessionPresent() const { return session_.Present(); }
  // FLastActive: the last hello or keep-alive.
  Clock::time_point LastActive() const;
  void TouchLastActive();
  bool MayPopUp() const { return mayPopUp_.load(); }

  // Writes one whole message to the newest control connection from the session phone's
  // address; failures are swallowed.
  void SendToSession(const QByteArray& message);
  void SendViewStop(std::uint32_t value);
  // Closes the viewer (if any) without telling the phone.
  void CloseViewerQuietly();
  // Closes and forgets every connection on both ports and clears the session; with `reattach`
  // the disconnect handlers are attached again afterwards.
  void DropAllConnections(bool reattach);
  // Detaches the disconnect handlers of both listeners (shutdown).
  void DetachDisconnectHandlers();
  // Makes the phone's cache subfolder current and decides MayPopUp.
  void SelectPhoneFolder(const QString& phoneName);

  // Hands a picture list from the session's phone to the viewer: the phone's cache folder made
  // current, the pop-up decision, then ShowList or (with `slideShow`) StartSlideShow under the
  // main lock. Nothing without a session or while the viewer may not pop up.
  void ShowPictures(bool slideShow, const TPictureList& list);
  // The viewer's picture turns or zooms (a browser phone's buttons).
  void ActOnViewer(TRemoteAction action);
  void StopSlideShow();
  // A phone that is not on the control channel (a browser) takes the session as `name` from
  // `ip` if none is present; true when it holds it now. EndSession gives it up again, only if it
  // is still that session; the viewer then closes quietly, as when a phone leaves.
  bool TakeSession(const std::string& ip, const QByteArray& name);
  void EndSession(const std::string& ip, const QByteArray& name);

  // The transfer under way, fed by the data channel's chunks; the transfer engine drives it.
  TTransferState& Transfer() { return transfer_; }

 private:
  // Control channel.
  void ServerConnect(net::TcpConnection& connection);
  void ServerExecute(net::TcpConnection& connection);
  void ServerDisconnect(net::TcpConnection& connection);
  bool HandleHello(net::TcpConnection& connection, const TLinkHeader& header);
  void HandlePictureList(net::TcpConnection& connection, const TLinkHeader& header);
  void HandleViewStop(net::TcpConnection& connection, const TLinkHeader& header);
  void DeliverList(bool slideShow, const TPictureList& list);
  // Data channel.
  void Server2Connect(net::TcpConnection& connection);
  void Server2Execute(net::TcpConnection& connection);
  void Server2Disconnect(net::TcpConnection& connection);
  void HandleChunk(net::TcpConnection& connection, const TLinkHeader& header);

  void AttachDisconnectHandlers();
  bool IsSessionPeer(const std::string& peerAddress) const;
  std::shared_ptr<IViewerPort> Viewer() const;
  static void WriteTo(net::TcpConnection& connection, const QByteArray& message);

  IPhoneFolders& folders_;
  const MayPopUpQuery mayPopUpQuery_;
  TSession session_;
  TPeerList ctrlClients_;  // FCtrlClients
  TPeerList dataClients_;  // FDataClients
  std::mutex listLock_;    // FLock: held while a list is handed to the viewer
  std::mutex folderLock_;  // one phone-folder decision at a time
  std::atomic<bool> mayPopUp_{true};
  std::atomic<Clock::rep> lastActive_;
  mutable std::mutex viewerMutex_;
  std::shared_ptr<IViewerPort> viewer_;
  TTransferState transfer_;
  net::ThreadedTcpServer server_;   // Server, control channel
  net::ThreadedTcpServer server2_;  // Server2, data channel
};

}  // namespace zephra::link
