#include "viewer/viewer_port.h"

#include "viewer/tfm_view.h"

namespace zephra::viewer {

namespace {

TViewAction RemoteViewAction(link::TRemoteAction action) {
  switch (action) {
    case link::TRemoteAction::RotateLeft:
      return TViewAction::RotateLeft;
    case link::TRemoteAction::RotateRight:
      return TViewAction::RotateRight;
    case link::TRemoteAction::ZoomIn:
      return TViewAction::ZoomIn;
    case link::TRemoteAction::ZoomOut:
      return TViewAction::ZoomOut;
    case link::TRemoteAction::Fit:
      return TViewAction::Fit;
  }
  return TViewAction::None;
}

}  // namespace

template <typename Command>
void TViewerPort::Post(Command command) {
  std::lock_guard lock(mutex_);
  if (view_ == nullptr) return;
  TfmView* view = view_;
  // The window runs its posted commands in order; those still queued when it is deleted go
  // with it.
  view->PostCommand([view, command = std::move(command)] { command(*view); });
}

void TViewerPort::ShowList(std::int32_t index, const QString& names, const QByteArray& sizes) {
  Post([index, names, sizes = QString::fromLatin1(sizes)](TfmView& view) {
    view.ShowList(index, names, sizes);
  });
}

void TViewerPort::StartSlideShow(std::int32_t index, const QString& names,
                                 const QByteArray& sizes) {
  Post([index, names, sizes = QString::fromLatin1(sizes)](TfmView& view) {
    view.StartSlideShow(index, names, sizes);
  });
}

void TViewerPort::StopSlideShow(bool redisplay) {
  Post([redisplay](TfmView& view) { view.StopSlideShow(redisplay); });
}

void TViewerPort::CloseQuietly() {
  Post([](TfmView& view) { view.CloseQuietly(); });
}

void TViewerPort::Act(link::TRemoteAction action) {
  Post([action](TfmView& view) { view.RunAction(RemoteViewAction(action)); });
}

bool TViewerPort::Hidden() const {
  std::lock_guard lock(mutex_);
  return view_ == nullptr || view_->ViewerHidden();
}

void TViewerPort::Detach() {
  std::lock_guard lock(mutex_);
  view_ = nullptr;
}

}  // namespace zephra::viewer
