#pragma once

#include <QIcon>
#include <QWidget>
#include <functional>

class QCloseEvent;
class QMenu;

namespace zephra::app {

// The tray menu as a small window, for desktops without a system tray: one button per item of
// the menu, in its order and with its captions, a gap where the menu has a separator, and the
// tray icon's hint as the window's title. A button triggers its item, so the window does
// exactly what the menu does. GUI thread only.
class TfmMenuWindow : public QWidget {
 public:
  // The buttons are made from `menu` as it stands now; `onClose` runs when the user closes the
  // window with its close button (not when the program hides it).
  TfmMenuWindow(QMenu& menu, const QString& title, const QIcon& icon,
                std::function<void()> onClose);

  // Shows the window, centred on the primary screen the first time.
  void ShowCentred();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddButtons(QMenu& menu);

  std::function<void()> onClose_;
  bool placed_ = false;
};

}  // namespace zephra::app
