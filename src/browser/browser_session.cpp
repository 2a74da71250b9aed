#include "browser/browser_session.h"

#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <utility>

#include "browser/page_messages.h"
#include "link/link_message.h"

namespace zephra::browser {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds WatchStep{250};

TUploadTicket Refusal(unsigned status, const char* text) {
  TUploadTicket ticket;
  ticket.status = status;
  ticket.text = text;
  return ticket;
}

const QByteArray& PhoneName() {
  static const QByteArray name(BrowserPhoneName);
  return name;
}

}  // namespace

// The handler of one page socket; only the holder's current socket is listened to.
class TBrowserSession::TChannel final : public net::IWebSocketHandler {
 public:
  TChannel(TBrowserSession& session, std::uint64_t serial) : session_(session), serial_(serial) {}
  void OnMessage(std::string_view text) override { session_.OnMessage(serial_, text); }
  void OnPong() override { session_.OnPong(serial_); }
  void OnClosed() override { session_.OnClosed(serial_); }

 private:
  TBrowserSession& session_;
  const std::uint64_t serial_;
};

std::optional<std::uint64_t> DiskFreeBytes(const QString& folder) {
  const QStorageInfo storage(folder);
  if (!storage.isValid() || storage.bytesAvailable() < 0) return std::nullopt;
  return static_cast<std::uint64_t>(storage.bytesAvailable());
}

TBrowserSession::TBrowserSession(link::TPhoneLink& link, boost::asio::io_context& io,
                                 TSessionTimes times, TFreeBytesFn freeBytes)
    : link_(link), times_(times), freeBytes_(std::move(freeBytes)), grace_(io), watch_(io) {}

void TBrowserSession::SetRequestDone(DoneFn done) {
  std::lock_guard lock(doneMutex_);
  done_ = std::move(done);
}

std::shared_ptr<net::IWebSocketHandler> TBrowserSession::Open(
    const std::string& clientId, const std::string& ip, std::shared_ptr<net::IWebSocketPeer> peer) {
  const std::uint64_t channel = ++nextChannel_;
  if (holder_ && holder_->clientId == clientId && SessionStillOurs()) {
    // The same page is back (a reload, a screen that woke up): it takes over from its old socket.
    if (holder_->peer) holder_->peer->SendAndClose({});
    grace_.cancel();
    holder_->peer = std::move(peer);
    holder_->channel = channel;
    Send(ConnectedMessage());
    if (shown_) Send(IndexMessage(shown_->first, shown_->second));
    for (TRequest& request : requests_) {
      if (request.result == 0 && !request.uploading) request.asked = false;
    }
    Pump();
  } else if (holder_) {
    peer->SendAndClose(BusyMessage(true));
  } else if (link_.TakeSession(ip, PhoneName())) {
    holder_ = THolder{clientId, ip, std::move(peer), channel};
    shown_.reset();
    Send(ConnectedMessage());
  } else {
    peer->SendAndClose(BusyMessage(false));
  }
  return std::make_shared<TChannel>(*this, channel);
}

bool TBrowserSession::SessionStillOurs() {
  // Switching the link's servers drops the session record: it is taken again. A phone that
  // took the session meanwhile keeps it, and this page's session is over.
  if (link_.TakeSession(holder_->ip, PhoneName())) return true;
  EndHolder();
  return false;
}

void TBrowserSession::OnMessage(std::uint64_t channel, std::string_view text) {
  if (!holder_ || holder_->channel != channel) return;
  if (!SessionStillOurs()) return;
  link_.TouchLastActive();
  const std::optional<TPageMessage> message = ParsePageMessage(text);
  if (!message) return;
  switch (message->command) {
    case TPageCommand::Show:
    case TPageCommand::Play:
      known_.clear();
      for (qsizetype i = 0; i < message->names.size(); ++i) {
        known_[message->names[i]] = message->sizeValues[i];
      }
      link_.ShowPictures(message->command == TPageCommand::Play,
                         link::MakePictureList(message->index, message->names, message->sizes));
      break;
    case TPageCommand::Stop:
      link_.StopSlideShow();
      break;
    case TPageCommand::Close:
      link_.CloseViewerQuietly();
      ViewerClosed();
      break;
    case TPageCommand::Act:
      link_.ActOnViewer(message->action);
      break;
  }
}

void TBrowserSession::OnPong(std::uint64_t channel) {
  if (holder_ && holder_->channel == channel) link_.TouchLastActive();
}

void TBrowserSession::OnClosed(std::uint64_t channel) {
  if (!holder_ || holder_->channel != channel) return;
  holder_->peer.reset();
  grace_.expires_after(times_.grace);
  grace_.async_wait([this](const boost::system::error_code& error) {
    if (!error && holder_ && !holder_->peer) EndHolder();
  });
}

void TBrowserSession::Send(const std::string& text) {
  if (holder_ && holder_->peer) holder_->peer->Send(text);
}

void TBrowserSession::EndHolder() {
  if (!holder_) return;
  const THolder holder = *holder_;
  holder_.reset();
  if (holder.peer) holder.peer->SendAndClose({});
  grace_.cancel();
  link_.EndSession(holder.ip, PhoneName());
  for (TRequest& request : requests_) {
    if (request.result == 0) request.result = link::RequestFailed;
  }
  known_.clear();
  shown_.reset();
  FlushDone();
}

void TBrowserSession::Stop() {
  EndHolder();
  watch_.cancel();
  grace_.cancel();
}

void TBrowserSession::AddRequest(std::int32_t id, const QString& name, const QString& path) {
  // As on the app's link, a file that is there already is not asked for again.
  if (QFileInfo(path).isFile()) return;
  TRequest request;
  request.id = id;
  request.name = name;
  request.path = path;
  const auto size = known_.find(name);
  if (!holder_ || size == known_.end()) {
    request.result = link::RequestFailed;
  } else {
    request.size = size->second;
  }
  requests_.push_back(std::move(request));
  FlushDone();
  Pump();
}

void TBrowserSession::CancelRequest(std::int32_t id) {
  const auto it = std::find_if(requests_.rbegin(), requests_.rend(),
                               [id](const TRequest& r) { return r.id == id && r.result == 0; });
  if (it == requests_.rend()) return;
  if (it->asked) Send(CancelMessage(id));
  requests_.erase(std::next(it).base());
  FlushDone();
  Pump();
}

void TBrowserSession::PictureShown(int index, int count) {
  if (!holder_) return;
  shown_ = {index, count};
  Send(IndexMessage(index, count));
}

void TBrowserSession::ViewerClosed() {
  if (!holder_) return;
  shown_.reset();
  Send(ClosedMessage());
}

void TBrowserSession::Pump() {
  if (!holder_ || !holder_->peer) return;
  std::size_t asked = 0;
  for (const TRequest& request : requests_) {
    if (request.result == 0 && request.asked) ++asked;
  }
  for (TRequest& request : requests_) {
    if (asked >= MaxUploadsAtOnce) break;
    if (request.result != 0 || request.asked) continue;
    Ask(request);
    ++asked;
  }
  ArmWatch();
}

void TBrowserSession::Ask(TRequest& request) {
  request.asked = true;
  request.silences = 0;
  request.lastProgress = Clock::now();
  Send(NeedMessage(request.id, request.name));
}

void TBrowserSession::Fail(TRequest& request) {
  request.result = link::RequestFailed;
  if (request.asked) Send(CancelMessage(request.id));
}

void TBrowserSession::FlushDone() {
  while (!requests_.empty() && requests_.front().result != 0) {
    const TRequest done = requests_.front();
    requests_.pop_front();
    std::lock_guard lock(doneMutex_);
    if (done_) done_(done.id, done.result);
  }
}

void TBrowserSession::ArmWatch() {
  if (watching_) return;
  const bool waiting = std::any_of(requests_.begin(), requests_.end(),
                                   [](const TRequest& r) { return r.result == 0 && r.asked; });
  if (!waiting) return;
  watching_ = true;
  watch_.expires_after(WatchStep);
  watch_.async_wait([this](const boost::system::error_code& error) {
    watching_ = false;
    if (!error) Watch();
  });
}

void TBrowserSession::Watch() {
  // While the page is away nothing counts as silence; its return asks again anyway.
  if (!holder_ || !holder_->peer) return;
  const Clock::time_point now = Clock::now();
  for (TRequest& request : requests_) {
    if (request.result != 0 || !request.asked || now - request.lastProgress < times_.silence) {
      continue;
    }
    if (request.silences == 0) {
      request.silences = 1;
      request.lastProgress = now;
      Send(NeedMessage(request.id, request.name));
    } else {
      Fail(request);
    }
  }
  FlushDone();
  Pump();
}

TBrowserSession::TRequest* TBrowserSession::FindOpen(std::int32_t id) {
  for (TRequest& request : requests_) {
    if (request.id == id && request.result == 0) return &request;
  }
  return nullptr;
}

TBrowserSession::TRequest* TBrowserSession::FindUpload(std::uint64_t serial) {
  for (TRequest& request : requests_) {
    if (request.upload == serial && request.result == 0) return &request;
  }
  return nullptr;
}

TUploadTicket TBrowserSession::AdmitUpload(std::int32_t id, std::optional<std::uint64_t> length) {
  TRequest* request = FindOpen(id);
  if (!holder_ || !request || !request->asked) return Refusal(404, TextNotAsked);
  if (request->uploading) return Refusal(409, TextBusyUploading);
  const auto uploading = std::count_if(requests_.begin(), requests_.end(),
                                       [](const TRequest& r) { return r.uploading; });
  if (static_cast<std::size_t>(uploading) >= MaxUploadsAtOnce) {
    return Refusal(503, TextTooManyUploads);
  }
  if (!length) return Refusal(411, TextNoLength);
  // A file of another size than the list said, or one the disk has no room for, will not do
  // better when tried again: the request fails at once, as the chunk engine's would.
  const std::optional<std::uint64_t> freeBytes =
      freeBytes_ ? freeBytes_(QFileInfo(request->path).absolutePath()) : std::nullopt;
  const bool wrongSize = *length != request->size || *length > link::MaxTransferTotal;
  if (wrongSize || (freeBytes && *freeBytes < *length + MinFreeBytes)) {
    Fail(*request);
    FlushDone();
    Pump();
    return wrongSize ? Refusal(413, TextWrongSize) : Refusal(507, TextDiskFull);
  }
  request->uploading = true;
  request->upload = ++nextUpload_;
  request->lastProgress = Clock::now();
  TUploadTicket ticket;
  ticket.serial = request->upload;
  ticket.size = request->size;
  ticket.tempPath = request->path + QStringLiteral(".tmp");
  ticket.targetPath = request->path;
  return ticket;
}

bool TBrowserSession::UploadProgress(std::uint64_t serial) {
  TRequest* request = FindUpload(serial);
  if (!request) return false;
  request->lastProgress = Clock::now();
  return true;
}

void TBrowserSession::UploadEnded(std::uint64_t serial, TUploadEnd end) {
  TRequest* request = FindUpload(serial);
  if (!request) return;
  request->uploading = false;
  if (end == TUploadEnd::Stored) request->result = link::RequestComplete;
  FlushDone();
  Pump();
}

}  // namespace zephra::browser
