#pragma once

#include <cstdint>

#include "link/viewer_port.h"

namespace zephra::app {

// Stands in for the picture viewer until the viewer window exists: every command is accepted
// and dropped, and it is never on screen. Any thread.
class TIgnoringViewer final : public link::IViewerPort {
 public:
  void ShowList(std::int32_t index, const QString& names, const QByteArray& sizes) override;
  void StartSlideShow(std::int32_t index, const QString& names, const QByteArray& sizes) override;
  void StopSlideShow(bool redisplay) override;
  void CloseQuietly() override;
  bool Hidden() const override;
};

}  // namespace zephra::app
