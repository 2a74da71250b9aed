#include "link/phone_link.h"

#include <utility>

namespace zephra::link {

TPhoneLink::TPhoneLink(TLinkConfig config, IPhoneFolders& folders, MayPopUpQuery mayPopUpQuery)
    : folders_(folders),
      mayPopUpQuery_(std::move(mayPopUpQuery)),
      lastActive_(Clock::now().time_since_epoch().count()),
      server_(config.controlPort, config.stopWait, config.limits),
      server2_(config.dataPort, config.stopWait, config.limits) {
  const auto exempt = [this](const std::string& peer) { return IsSessionPeer(peer); };
  server_.SetExemptPredicate(exempt);
  server2_.SetExemptPredicate(exempt);
  server_.SetConnectHandler([this](net::TcpConnection& c) { ServerConnect(c); });
  server_.SetExecuteHandler([this](net::TcpConnection& c) { ServerExecute(c); });
  server2_.SetConnectHandler([this](net::TcpConnection& c) { Server2Connect(c); });
  server2_.SetExecuteHandler([this](net::TcpConnection& c) { Server2Execute(c); });
  AttachDisconnectHandlers();
}

TPhoneLink::~TPhoneLink() {
  DetachDisconnectHandlers();
  SetServersActive(false);
}

void TPhoneLink::SetViewer(std::shared_ptr<IViewerPort> viewer) {
  std::lock_guard lock(viewerMutex_);
  viewer_ = std::move(viewer);
}

std::shared_ptr<IViewerPort> TPhoneLink::Viewer() const {
  std::lock_guard lock(viewerMutex_);
  return viewer_;
}

bool TPhoneLink::StartServers(std::string* error) {
  const bool controlUp = server_.SetActive(true);
  const bool dataUp = controlUp && server2_.SetActive(true);
  if (!dataUp && error) {
    *error = controlUp ? server2_.ErrorText() : server_.ErrorText();
  }
  return dataUp;
}

void TPhoneLink::SetServersActive(bool active) {
  server_.SetActive(active);
  server2_.SetActive(active);
}

bool TPhoneLink::ServerActive() const { return server_.Active(); }
bool TPhoneLink::Server2Active() const { return server2_.Active(); }
std::uint16_t TPhoneLink::ControlPortInUse() const { return server_.Port(); }
std::uint16_t TPhoneLink::DataPortInUse() const { return server2_.Port(); }

TPhoneLink::Clock::time_point TPhoneLink::LastActive() const {
  return Clock::time_point(Clock::duration(lastActive_.load()));
}

void TPhoneLink::TouchLastActive() { lastActive_.store(Clock::now().time_since_epoch().count()); }

bool TPhoneLink::IsSessionPeer(const std::string& peerAddress) const {
  const TClientInfo session = session_.Get();
  return !session.Name.isEmpty() && session.IP == peerAddress.substr(0, MaxPeerIpLength);
}

void TPhoneLink::WriteTo(net::TcpConnection& connection, const QByteArray& message) {
  connection.Write(message.constData(), static_cast<std::size_t>(message.size()));
}

void TPhoneLink::SendToSession(const QByteArray& message) {
  const std::string ip = session_.Get().IP;
  if (ip.empty()) return;
  // The newest connection from the phone's address takes the message; when writing to it
  // fails, the next older one does. Writing under the list's lock keeps messages whole.
  ctrlClients_.FindNewestFirst([&](TPeerInfo& peer) {
    if (peer.PeerIP != ip) return false;
    const auto connection = peer.Peer.lock();
    return connection &&
           connection->Write(message.constData(), static_cast<std::size_t>(message.size()));
  });
}

void TPhoneLink::SendViewStop(std::uint32_t value) { SendToSession(MakeViewStop(value)); }

void TPhoneLink::CloseViewerQuietly() {
  if (auto viewer = Viewer()) viewer->CloseQuietly();
}

void TPhoneLink::ActOnViewer(TRemoteAction action) {
  if (auto viewer = Viewer()) viewer->Act(action);
}

void TPhoneLink::StopSlideShow() {
  if (auto viewer = Viewer()) viewer->StopSlideShow(true);
}

bool TPhoneLink::TakeSession(const std::string& ip, const QByteArray& name) {
  const TClientInfo session = session_.Get();
  if (session.IP == ip && session.Name == name) return true;
  return session_.SetIfAbsent(ip, name, 0);
}

void TPhoneLink::EndSession(const std::string& ip, const QByteArray& name) {
  if (session_.ClearIf(ip, name)) CloseViewerQuietly();
}

void TPhoneLink::AttachDisconnectHandlers() {
  server_.SetDisconnectHandler([this](net::TcpConnection& c) { ServerDisconnect(c); });
  server2_.SetDisconnectHandler([this](net::TcpConnection& c) { Server2Disconnect(c); });
}

void TPhoneLink::DetachDisconnectHandlers() {
  server_.SetDisconnectHandler({});
  server2_.SetDisconnectHandler({});
}

void TPhoneLink::DropAllConnections(bool reattach) {
  DetachDisconnectHandlers();
  // Shutting the sockets down first frees a writer blocked on a stalled phone, which holds the
  // control list's lock.
  server_.CloseAll();
  server2_.CloseAll();
  ctrlClients_.CloseAndClear();
  dataClients_.CloseAndClear();
  session_.Clear();
  if (reattach) AttachDisconnectHandlers();
}

void TPhoneLink::SelectPhoneFolder(const QString& phoneName) {
  std::lock_guard lock(folderLock_);
  if (phoneName == folders_.PhoneFolder()) return;
  folders_.SetPhoneFolder(phoneName);
  const auto viewer = Viewer();
  if (viewer && !viewer->Hidden()) {
    mayPopUp_.store(true);
    return;
  }
  const std::optional<bool> answer = mayPopUpQuery_ ? mayPopUpQuery_() : std::nullopt;
  mayPopUp_.store(answer.value_or(true));
}

}  // namespace zephra::link
