#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QRgb>
#include <QString>
#include <optional>

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
  // A window on screen: its id, _NET_WM_NAME, WM_CLASS instance, screen rectangle, and whether
  // it bypasses the window manager (a popup menu or a tooltip does).
  struct Window {
    unsigned id = 0;
    QByteArray title;
    QByteArray instance;
    QRect rect;
    bool overrideRedirect = false;
  };
  // Every viewable window, top-level or not, parents before their children.
  QList<Window> ViewableWindows();
  // The viewable window titled `title` (UTF-8), whether a window manager framed it or not.
  std::optional<Window> FindWindow(const QByteArray& title);
  bool WindowMapped(const QByteArray& title) { return FindWindow(title).has_value(); }
  // True when the selection `name` (a system tray's, say) has an owner.
  bool SelectionOwned(const char* name);

  // From here on, MappedWindowPids collects the top-level windows that get mapped (without a
  // window manager: every window a program shows).
  void WatchMappings();
  // The _NET_WM_PID of each top-level window mapped since the last call (0 where a window has
  // none or is gone already).
  QList<qint64> MappedWindowPids();

 private:
  void AddViewable(unsigned parent, QList<Window>& windows);
  QByteArray WindowTitle(unsigned window);
  QByteArray WindowInstance(unsigned window);
  qint64 WindowPid(unsigned window);
  std::optional<QRect> ScreenRect(unsigned window);
  unsigned Root();
  unsigned Atom(const char* name);
  void Sync();

  xcb_connection_t* connection_;
};

}  // namespace zephra::e2e
