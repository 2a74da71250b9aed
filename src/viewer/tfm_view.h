#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "base/stop_flag.h"
#include "viewer/cache_folder.h"
#include "viewer/img_cache.h"
#include "viewer/picture_requests.h"
#include "viewer/sync_calls.h"
#include "viewer/view_keys.h"
#include "viewer/viewer_constants.h"
#include "widgets/bitmap_button.h"
#include "widgets/gif_frames.h"
#include "widgets/image_cc.h"
#include "widgets/timer_pool.h"

namespace zephra::viewer {

class TThrBackWork;
class TSlideSurface;

// Intervals and the screen; tests shorten the intervals.
struct TViewerConfig {
  QSize ScreenSize;  // empty: the primary screen's, read when the viewer is made
  std::chrono::milliseconds SlideInterval{3000};     // TimerSlide
  std::chrono::milliseconds NotViewInterval{10000};  // TimerNotView
  std::chrono::milliseconds InactivityLimit{60000};  // closes once more than this passed
  std::chrono::milliseconds FetchWait = viewer::FetchWait;
};

// The picture in the control (TImageViewInfo).
struct TImageViewInfo {
  QString Name;  // the list name it was fetched for
  QString Path;  // the local file it was decoded from
  QString Key;   // its announced size
  int FrameIndex = 0;
  int FrameCount = 0;
  int Width = 0;  // the size the last direct full-resolution reload reported
  int Height = 0;
};

// The picture being shown or fetched (TMyViewContent).
struct TMyViewContent {
  int ItemIndex = -1;
  TImageViewInfo Current;
};

// The commands of the keys and the wheel.
enum class TViewCommand { Fit, ZoomIn, ZoomOut, OriSize };

// TfmView: the full-screen window in which the phone's pictures are shown, over a darkened
// copy of the desktop. The phone's lists start a fetch worker per picture; the first picture
// that decodes brings the window up, later ones come in with a transition. Keys and the wheel
// zoom, pan, rotate and flip; the phone drives the slide show. GUI thread only, except
// ViewerHidden.
class TfmView : public QWidget {
  Q_OBJECT

 public:
  TfmView(TCacheFolder& cache, TPictureRequests& requests, base::TStopFlag& abortLoad,
          TViewerConfig config = {}, QWidget* parent = nullptr);
  // FreeViewer, unless it ran.
  ~TfmView() override;

  // Places the window over the screen and starts the image-cache worker. Once, after creation.
  void InitViewer();
  // A picture list (message 1003): `names` every name in double quotes, comma-separated;
  // `sizes` their announced sizes. Empty names keep the list held; a negative index stops what
  // runs and shows nothing new.
  void ShowList(int index, const QString& names, const QString& sizes);
  // A slide show (message 1004) from entry `index`; nothing while one runs.
  void StartSlideShow(int index, const QString& names, const QString& sizes);
  // Ends the slide show; with `redisplay` the picture it started from is shown again.
  void StopSlideShow(bool redisplay);
  // Closes the window: stops the fetch and the slide show, empties the picture, calls the
  // closed-callback and hides. Also when the user closes it.
  void Close();
  // Close without the closed-callback (the phone is not told).
  void CloseQuietly();
  // Stops both workers and frees the lists; after Close, at the end.
  void FreeViewer();

  // Queues `command` to run on the GUI thread after the commands queued before it. Any thread.
  void PostCommand(std::function<void()> command);

  // FOnClosed: called by every Close but CloseQuietly.
  void SetOnClosed(std::function<void()> onClosed) { FOnClosed = std::move(onClosed); }
  // Called each time a picture of the list took the screen (or its cannot-show picture did),
  // with its index and the list's length; also as a slide show steps.
  void SetOnShown(std::function<void(int index, int count)> onShown) {
    FOnShown = std::move(onShown);
  }
  // ViewerHidden: the window is not on screen. Any thread.
  bool ViewerHidden() const { return viewerHidden_.load(); }

  // The key and wheel handlers as the window's events call them.
  void HandleKey(int virtualKey, TShiftState shift);
  // What a key asks for, also when a browser phone asks for it.
  void RunAction(TViewAction action);
  void HandleWheel(int angleDeltaY, TShiftState shift);

  // For tests and the shell.
  widgets::TImageCC& ImageCC1() { return *imageCC1_; }
  widgets::TBitmapButton& ImgClose() { return *imgClose_; }
  widgets::TKelvoTimerPool& TimerPool() { return *tpTimer_; }
  const TMyViewContent& Content() const { return content_; }
  const QStringList& Names() const { return FNames; }
  int FetchResult() const { return FFetchResult.load(); }
  bool SlideShow() const { return FSlideShow; }
  bool Reduced() const { return FReduced; }
  bool Empty() const { return FEmpty; }
  int SrcWidth() const { return FSrcWidth; }
  int SrcHeight() const { return FSrcHeight; }
  // A fetch worker exists and has not yet handed back (FinishFetch has not run).
  bool FetchRunning() const;
  bool SlideTimerActive() const { return timerSlide_.isActive(); }
  TThrImgCache* CacheWorker() { return imgCache_.get(); }
  const QImage& Background() const { return bg_; }
  // Runs queued worker calls until `done` holds (tests wait for the fetch this way).
  void ServeWorkersUntil(const std::function<bool()>& done) { syncCalls_.ServeUntil(done); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class TThrBackWork;

  // Runs the posted commands; called through Qt's queue by name, so that everything a
  // command carries passes through the mutex.
  Q_INVOKABLE void RunCommands();
  void CreateParts();
  void StartFetch();
  // Stops the fetch worker; `stopPrefetch` also stops what the image cache is getting.
  void StopFetch(bool stopPrefetch = true);
  void FinishFetch(bool stopped);
  void FirstAppearance();
  void RunTransition();
  void SlideStep();
  void StepNext();
  void TimerNotViewTimer();
  void tpTimerTimer(std::uint16_t ident);
  void ImageCC1MouseMove(QMouseEvent* event);
  void ImageCC1ReLoadPic();
  void ViewCommand(TViewCommand command);
  void SettleResolution();
  void Transform(TViewAction action);
  void Pan(TViewAction action);
  bool FittedView() const;
  bool ShowsAnimation() const;
  // Puts a copy of `picture` (the loading or cannot-show picture) into the control.
  void ShowStandIn(const QImage& picture);

  // The fetch worker's steps on the GUI thread.
  void CaptureBackground();
  void ShowLoadingPicture();
  void TakeSnapshot();
  void BeginPicture();
  bool TakeCachedPicture(const QString& name, const QString& key, const QString& path);
  void PlaceDecoded(TImgCache decoded, const QString& path,
                    std::unique_ptr<widgets::TGifFrames> animation);
  void EndPicture();

  TCacheFolder& cache_;
  TPictureRequests& requests_;
  base::TStopFlag& abortLoad_;  // AbortLoad
  const TViewerConfig config_;
  const QSize screenSize_;

  // Parts, bottom to top. ImgBg is bg_, painted by the window itself.
  QImage bg_;
  QImage bgShown_;  // bg_ as the window paints it
  widgets::TImageCC* imageCC1_ = nullptr;
  TSlideSurface* imgSlideEff_ = nullptr;
  QImage imgLoading_;
  QImage imgBad_;
  widgets::TBitmapButton* imgClose_ = nullptr;
  widgets::TKelvoTimerPool* tpTimer_ = nullptr;
  QTimer timerSlide_;
  QTimer timerNotView_;

  QStringList FNames;
  QStringList FSizes;
  bool FSlideShow = false;
  int FSlideStart = 0;
  bool FEmpty = false;
  bool FReduced = false;
  std::atomic<int> FFetchResult{0};
  int FSrcWidth = 0;
  int FSrcHeight = 0;
  std::chrono::steady_clock::time_point FLastRequest;
  std::function<void()> FOnClosed;
  std::function<void(int, int)> FOnShown;
  TMyViewContent content_;
  // The control holds a decode of Current (not a stand-in picture or nothing), which may be
  // handed to a cache slot for a step back.
  bool currentValid_ = false;
  bool standIn_ = false;   // the control shows the loading or the cannot-show picture
  int plannedIndex_ = -1;  // the entry whose neighbours the image cache was last told to get

  std::atomic<bool> closing_{false};      // Closing
  std::atomic<bool> viewerHidden_{true};  // ViewerHidden
  std::atomic<bool> fittedView_{true};    // the control's view style is a fitted one
  bool commandBusy_ = false;              // CommandBusy
  TWheelGate wheelGate_;                  // LastWheel
  bool freed_ = false;

  std::mutex commandsMutex_;
  std::deque<std::function<void()>> commands_;
  TSyncCalls syncCalls_;
  std::unique_ptr<TThrImgCache> imgCache_;
  std::unique_ptr<TThrBackWork> fetch_;
};

}  // namespace zephra::viewer
