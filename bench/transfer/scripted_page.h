#pragma once

// The browser phone's page as a benchmark plays it: the WebSocket that holds the session, a
// one-picture show message per tap, and each picture the PC asks for uploaded in one PUT of its
// bytes, as the page does it.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace zephra::bench {

struct TPageAddress {
  std::uint16_t connectPort = 0;  // where the page's connections go on 127.0.0.1 (a relay)
  std::uint16_t serverPort = 0;   // the server's own port, which Host and Origin name
  std::string token;
};

// Connections on its own thread; an asked-for picture is uploaded on that thread, blocking,
// while the WebSocket waits.
class TScriptedPage {
 public:
  // Opens the WebSocket and waits a few seconds at most for the server to say that the page
  // holds the session (see Connected). Every name the PC asks for is uploaded as `picture`.
  TScriptedPage(TPageAddress address, QByteArray picture);
  // Closes the WebSocket and joins the page's thread.
  ~TScriptedPage();
  TScriptedPage(const TScriptedPage&) = delete;
  TScriptedPage& operator=(const TScriptedPage&) = delete;

  bool Connected() const { return connected_; }
  // The tap: shows the one-entry list of `name`, of the picture's size. Any thread.
  void Show(const QString& name);
  // The HTTP status of the last upload's answer; 0 before any, or when it got none.
  unsigned LastUploadStatus() const;

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  bool connected_ = false;
  std::thread thread_;
};

}  // namespace zephra::bench
