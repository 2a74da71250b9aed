#pragma once

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QRgb>
#include <QString>

struct xcb_connection_t;

namespace zephra::e2e {

// The virtual screen's size in pixels.
inline constexpr int ScreenWidth = 1024;
inline constexpr int ScreenHeight = 768;

// One Xvfb for the test program, on a display number it picks itself; $DISPLAY points at it.
class XServer {
 public:
  static XServer& Instance();
  bool Up() const { return up_; }

 private:
  XServer();
  ~XServer();

  QProcess server_;
  bool up_ = false;
};

// A client connection to $DISPLAY that reads the screen and the top-level windows.
class XClient {
 public:
  XClient();
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool Ok() const;
  // Sets the root window's background to `colour` and repaints it.
  void PaintRoot(QRgb colour);
  // The screen as shown, children of the root included; null when it can't be read.
  QImage Grab();
  // True while a top-level window titled `title` (UTF-8) is mapped.
  bool WindowMapped(const QByteArray& title);

 private:
  QByteArray WindowTitle(unsigned window);
  unsigned Atom(const char* name);
  void Sync();

  xcb_connection_t* connection_;
};

}  // namespace zephra::e2e
