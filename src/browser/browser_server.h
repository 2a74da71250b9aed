#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <string>

#include "browser/browser_constants.h"
#include "browser/browser_session.h"
#include "browser/page_assets.h"
#include "link/phone_link.h"
#include "net/web_server.h"

namespace zephra::browser {

struct TBrowserConfig {
  std::uint16_t port = BrowserPort;  // 0: an ephemeral port (tests)
  net::TWebLimits limits;
  TSessionTimes times;
  TFreeBytesFn freeBytes = DiskFreeBytes;
  std::string token;  // empty: a new one for this run
};

// The browser phone's web server: the page, its API and its WebSocket on port 22309. Every
// request must name the address and port it reached in its Host header; the API and the
// WebSocket also need the run's token. The session it holds is the phone link's one session,
// so an app phone and a browser never hold it together. Switched on and off on the GUI thread;
// the file-request calls come from any thread.
class TBrowserServer final : private net::IWebHandler {
 public:
  explicit TBrowserServer(link::TPhoneLink& link, TBrowserConfig config = {});
  ~TBrowserServer() override;
  TBrowserServer(const TBrowserServer&) = delete;
  TBrowserServer& operator=(const TBrowserServer&) = delete;

  // On: listens; false with ErrorText() when the port cannot be bound. Off: every connection
  // closes and a browser's session ends.
  bool SetActive(bool active);
  bool Active() const { return server_.Active(); }
  const std::string& ErrorText() const { return server_.ErrorText(); }
  std::uint16_t Port() const { return server_.Port(); }
  const std::string& Token() const { return token_; }
  std::size_t ConnectionCount() const { return server_.ConnectionCount(); }

  // The viewer's file requests while a browser holds the session, and what the page is told.
  // Any thread: each is carried out on the server's thread, in the order they came.
  void SetRequestDone(TBrowserSession::DoneFn done) { session_.SetRequestDone(std::move(done)); }
  void AddRequest(std::int32_t id, const QString& name, const QString& path);
  void CancelRequest(std::int32_t id);
  void PictureShown(int index, int count);
  void ViewerClosed();

  // Route is also the fuzzing entry: it decides on one request header.
  net::TWebRoute Route(const net::TWebRequest& request,
                       const net::TWebEndpoints& endpoints) override;

 private:
  void OnStopping() override;
  net::TWebRoute SocketRoute(const net::TWebRequest& request, const net::TWebEndpoints& endpoints);
  net::TWebRoute ApiRoute(const net::TWebRequest& request);
  net::TWebRoute AssetRoute(const net::TWebRequest& request) const;
  template <typename Work>
  void Post(Work work);

  link::TPhoneLink& link_;
  const std::string token_;
  const TPageAssets assets_;
  net::TWebServer server_;
  TBrowserSession session_;  // its timers run on the server's context
};

}  // namespace zephra::browser
