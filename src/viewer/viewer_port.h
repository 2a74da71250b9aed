#pragma once

#include <mutex>

#include "link/viewer_port.h"

namespace zephra::viewer {

class TfmView;

// The phone link's way to the viewer window: every command is posted to the GUI thread, where
// they run in the order they came, so that connection threads never wait for the window.
// Detach (GUI thread, before the window goes) makes later commands do nothing. Any thread.
class TViewerPort final : public link::IViewerPort {
 public:
  explicit TViewerPort(TfmView& view) : view_(&view) {}

  void ShowList(std::int32_t index, const QString& names, const QByteArray& sizes) override;
  void StartSlideShow(std::int32_t index, const QString& names, const QByteArray& sizes) override;
  void StopSlideShow(bool redisplay) override;
  void CloseQuietly() override;
  void Act(link::TRemoteAction action) override;
  bool Hidden() const override;

  void Detach();

 private:
  // Posts `command` to the window's thread; nothing once detached.
  template <typename Command>
  void Post(Command command);

  mutable std::mutex mutex_;
  TfmView* view_;
};

}  // namespace zephra::viewer
