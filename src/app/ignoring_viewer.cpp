#include "app/ignoring_viewer.h"

namespace zephra::app {

void TIgnoringViewer::ShowList(std::int32_t, const QString&, const QByteArray&) {}

void TIgnoringViewer::StartSlideShow(std::int32_t, const QString&, const QByteArray&) {}

void TIgnoringViewer::StopSlideShow(bool) {}

void TIgnoringViewer::CloseQuietly() {}

bool TIgnoringViewer::Hidden() const { return true; }

}  // namespace zephra::app
