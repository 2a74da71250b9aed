#include "viewer/fetch_worker.h"

#include <memory>

#include "viewer/fetch_picture.h"
#include "viewer/gif_decoder.h"
#include "viewer/picture_loader.h"
#include "viewer/picture_names.h"
#include "viewer/tfm_view.h"

namespace zephra::viewer {

TThrBackWork::TThrBackWork(TfmView& view, TFetchJob job) : view_(view), job_(std::move(job)) {
  thread_ = std::thread([this] { Execute(); });
}

TThrBackWork::~TThrBackWork() { WaitFor(); }

void TThrBackWork::WaitFor() {
  if (!thread_.joinable()) return;
  view_.syncCalls_.ServeUntil([this] { return ended_.load(); });
  thread_.join();
}

void TThrBackWork::Execute() {
  // Whatever goes wrong, the window hears the fetch's end.
  try {
    FetchOne();
  } catch (...) {
  }
  const bool stopped = view_.abortLoad_.IsSet();
  view_.syncCalls_.Call([this, stopped] { view_.FinishFetch(stopped); });
  ended_.store(true);
  view_.syncCalls_.Notify();
}

void TThrBackWork::FetchOne() {
  view_.FFetchResult.store(FetchStopped);
  TSyncCalls& gui = view_.syncCalls_;
  const auto captureDesktop = [&] {
    if (view_.ViewerHidden()) gui.Call([this] { view_.CaptureBackground(); });
  };
  if (job_.Names.isEmpty() || job_.ItemIndex < 0 || job_.ItemIndex >= job_.Names.size()) {
    captureDesktop();
    return;
  }
  const QString name = job_.Names[job_.ItemIndex];
  const QString size = job_.ItemIndex < job_.Sizes.size() ? job_.Sizes[job_.ItemIndex] : QString();
  base::TStopFlag& abortLoad = view_.abortLoad_;
  const bool loadingPicture = !job_.SlideShow && [&] {
    const TFetchNeed need = view_.cache_.NeedsFetch(name, size);
    return need.MustFetch && need.Large;
  }();

  // The window gets ready (the desktop's capture, the loading picture, the snapshot its
  // transition starts from) while the file is on its way, not before it is asked for.
  const auto getReady = [&] {
    captureDesktop();
    if (loadingPicture && !abortLoad.IsSet()) gui.Call([this] { view_.ShowLoadingPicture(); });
    if (!abortLoad.IsSet()) gui.Call([this] { view_.TakeSnapshot(); });
  };
  if (abortLoad.IsSet()) {
    captureDesktop();
    return;
  }
  const TFetchResult result = FetchPicture(view_.cache_, view_.requests_, name, size, abortLoad,
                                           view_.config_.FetchWait, getReady);
  view_.FFetchResult.store(result.Code);
  if (result.Code == FetchPresent && !abortLoad.IsSet()) ShowPicture(result.Path);
}

// ShowPicture: the decode of the entry's file goes into the control, taken over from the
// image cache when a neighbour slot already holds it.
void TThrBackWork::ShowPicture(const QString& path) {
  TSyncCalls& gui = view_.syncCalls_;
  base::TStopFlag& abortLoad = view_.abortLoad_;
  const QString name = job_.Names[job_.ItemIndex];
  const QString key = job_.ItemIndex < job_.Sizes.size() ? job_.Sizes[job_.ItemIndex] : QString();

  gui.Call([this] { view_.BeginPicture(); });
  TThrImgCache& cache = *view_.imgCache_;
  cache.ResetFull();
  cache.PlanNeighbours(job_.Names, job_.Sizes, job_.ItemIndex);

  bool taken = false;
  // Animations are decoded here, where their frames are loaded too; slots hold still pictures.
  const bool animation = PictureKind(path) == pkGif;
  if (!animation) cache.WaitWhileLoading(name, key);
  if (!animation && cache.FindSlot(name, key) >= 0) {
    gui.Call([&] { taken = view_.TakeCachedPicture(name, key, path); });
  }
  if (!taken) {
    const bool fitted = view_.fittedView_.load();
    TImgCache decoded;
    decoded.Name = name;
    decoded.Key = key;
    const TLoadResult loaded =
        fitted ? LoadPictureForScreen(decoded.Picture, path, view_.screenSize_, abortLoad)
               : LoadPicture(decoded.Picture, path, 0, 1, abortLoad);
    decoded.Width = loaded.Width;
    decoded.Height = loaded.Height;
    decoded.FrameCount = loaded.FrameCount;
    decoded.Reduced = fitted && decoded.Picture.width() != loaded.Width;
    std::unique_ptr<widgets::TGifFrames> animation;
    // A decode that a stop cut short leaves the picture on screen as it was: the fetch that
    // stopped it brings the next one.
    if (abortLoad.IsSet()) return;
    if (!loaded.Success) {
      decoded.Picture = QImage();
      decoded.FrameCount = 0;
      decoded.Reduced = false;
    } else if (!view_.ViewerHidden() && decoded.FrameCount > 1 && PictureKind(path) == pkGif) {
      if (auto frames = LoadGifFrames(path, abortLoad)) {
        animation = std::make_unique<widgets::TGifFrames>(std::move(*frames));
      }
    }
    gui.Call([&] { view_.PlaceDecoded(std::move(decoded), path, std::move(animation)); });
  }
  gui.Call([this] { view_.EndPicture(); });
}

}  // namespace zephra::viewer
