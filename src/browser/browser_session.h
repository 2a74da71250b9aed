#pragma once

#include <QString>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "browser/browser_constants.h"
#include "link/phone_link.h"
#include "net/web_types.h"

namespace zephra::browser {

struct TSessionTimes {
  std::chrono::milliseconds grace = SessionGrace;
  std::chrono::milliseconds silence = UploadSilence;
};

// The bytes free on the disk of a folder; nullopt when that cannot be told.
using TFreeBytesFn = std::function<std::optional<std::uint64_t>(const QString& folder)>;
std::optional<std::uint64_t> DiskFreeBytes(const QString& folder);

// What AdmitUpload decided: `status` 0 lets the body in, to `tempPath` and then `targetPath`;
// otherwise the refusal's status and text.
struct TUploadTicket {
  unsigned status = 0;
  std::string text;
  std::uint64_t serial = 0;
  std::uint32_t size = 0;
  QString tempPath;
  QString targetPath;
};

enum class TUploadEnd { Stored, Broken };

// The browser phone's session and its file transport, on the web server's thread. One page at
// a time holds the link's session; its WebSocket may close and come back (same client id)
// within the grace time. The viewer's file requests are asked of the page (at most
// MaxUploadsAtOnce at once, oldest first), each is asked once more after a silence and given up
// after a second one, and the completion notices go out in request order, as the chunk
// engine's do, so that a later request never overtakes an earlier one.
class TBrowserSession {
 public:
  using DoneFn = std::function<void(std::int32_t id, std::int32_t code)>;

  TBrowserSession(link::TPhoneLink& link, boost::asio::io_context& io, TSessionTimes times = {},
                  TFreeBytesFn freeBytes = DiskFreeBytes);
  TBrowserSession(const TBrowserSession&) = delete;
  TBrowserSession& operator=(const TBrowserSession&) = delete;

  // Any thread. Where completion notices go; when this returns, none runs into the old one.
  void SetRequestDone(DoneFn done);

  // Server thread from here on.
  // A page's WebSocket opened: it takes or resumes the session, or is told the session is busy.
  std::shared_ptr<net::IWebSocketHandler> Open(const std::string& clientId, const std::string& ip,
                                               std::shared_ptr<net::IWebSocketPeer> peer);
  void AddRequest(std::int32_t id, const QString& name, const QString& path);
  void CancelRequest(std::int32_t id);
  void PictureShown(int index, int count);
  void ViewerClosed();
  // The server stops: the session ends and every request fails.
  void Stop();

  // An upload of request `id` announcing `length` bytes (nullopt: no length given).
  TUploadTicket AdmitUpload(std::int32_t id, std::optional<std::uint64_t> length);
  // Bytes of an admitted upload arrived; false once the request is no longer wanted.
  bool UploadProgress(std::uint64_t serial);
  void UploadEnded(std::uint64_t serial, TUploadEnd end);

 private:
  class TChannel;
  struct THolder {
    std::string clientId;
    std::string ip;
    std::shared_ptr<net::IWebSocketPeer> peer;  // null while the socket is closed
    std::uint64_t channel = 0;
  };
  struct TRequest {
    std::int32_t id = 0;
    QString name;
    QString path;
    std::uint32_t size = 0;
    bool asked = false;
    bool uploading = false;
    int silences = 0;
    std::int32_t result = 0;   // 0 while open
    std::uint64_t upload = 0;  // serial of the upload that may complete it
    std::chrono::steady_clock::time_point lastProgress;
  };

  void OnMessage(std::uint64_t channel, std::string_view text);
  void OnPong(std::uint64_t channel);
  void OnClosed(std::uint64_t channel);
  bool SessionStillOurs();
  void Send(const std::string& text);
  void EndHolder();
  void Pump();
  void Ask(TRequest& request);
  void Fail(TRequest& request);
  void FlushDone();
  void ArmWatch();
  void Watch();
  TRequest* FindOpen(std::int32_t id);
  TRequest* FindUpload(std::uint64_t serial);

  link::TPhoneLink& link_;
  const TSessionTimes times_;
  const TFreeBytesFn freeBytes_;
  boost::asio::steady_timer grace_;
  boost::asio::steady_timer watch_;
  bool watching_ = false;
  std::optional<THolder> holder_;
  std::uint64_t nextChannel_ = 0;
  std::uint64_t nextUpload_ = 0;
  std::map<QString, std::uint32_t> known_;    // the last list's names and sizes
  std::deque<TRequest> requests_;             // oldest first
  std::optional<std::pair<int, int>> shown_;  // the picture on screen and the list's length

  std::mutex doneMutex_;
  DoneFn done_;
};

}  // namespace zephra::browser
