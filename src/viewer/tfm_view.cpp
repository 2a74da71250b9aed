#include "viewer/tfm_view.h"

#include <QCloseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>

#include "viewer/comma_text.h"
#include "viewer/fetch_worker.h"
#include "viewer/gif_decoder.h"
#include "viewer/neighbour_plan.h"
#include "viewer/picture_names.h"
#include "viewer/picture_transforms.h"
#include "viewer/screen_capture.h"
#include "viewer/slide_surface.h"
#include "widgets/transition_effects.h"

// The artwork is compiled into this static library, whose resource initialiser is linked in
// only when something refers to it. Q_INIT_RESOURCE must be used outside any namespace.
static void InitViewerResources() { Q_INIT_RESOURCE(zephra_viewer); }

namespace zephra::viewer {

namespace {

QSize ScreenOr(QSize configured) {
  if (!configured.isEmpty()) return configured;
  const QSize screen = PrimaryScreenSize();
  return screen.isEmpty() ? QSize(ViewerDesignWidth, ViewerDesignHeight) : screen;
}

QColor WindowColour() { return QColor(ViewerColourRed, ViewerColourGreen, ViewerColourBlue); }

}  // namespace

TfmView::TfmView(TCacheFolder& cache, TPictureRequests& requests, base::TStopFlag& abortLoad,
                 TViewerConfig config, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      cache_(cache),
      requests_(requests),
      abortLoad_(abortLoad),
      config_(config),
      screenSize_(ScreenOr(config.ScreenSize)) {
  InitViewerResources();
  FLastRequest = std::chrono::steady_clock::now();
  setWindowTitle(QString::fromUtf8(ViewerCaption));
  setMinimumSize(ViewerMinWidth, ViewerMinHeight);
  resize(ViewerDesignWidth, ViewerDesignHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setWindowOpacity(0.0);
  CreateParts();
}

TfmView::~TfmView() { FreeViewer(); }

void TfmView::PostCommand(std::function<void()> command) {
  bool first = false;
  {
    std::lock_guard lock(commandsMutex_);
    first = commands_.empty();
    commands_.push_back(std::move(command));
  }
  if (first) QMetaObject::invokeMethod(this, "RunCommands", Qt::QueuedConnection);
}

void TfmView::RunCommands() {
  // Only what was queued on entry runs here: commands that come meanwhile wait for the next
  // turn of the event loop, so that a flood of them can't keep it from other work.
  std::deque<std::function<void()>> commands;
  {
    std::lock_guard lock(commandsMutex_);
    commands.swap(commands_);
  }
  for (auto& command : commands) command();
}

void TfmView::CreateParts() {
  imgLoading_ = QImage(QString::fromLatin1(LoadingPicture));
  imgBad_ = QImage(QString::fromLatin1(BadPicture));

  imageCC1_ = new widgets::TImageCC(this);
  imageCC1_->SetMouseOperate(widgets::ccmoNone);
  imageCC1_->SetMoveStyle(widgets::ccmsZoomInView);
  imageCC1_->setMouseTracking(true);
  imageCC1_->ReLoadPic = [this](widgets::TImageCC*) { ImageCC1ReLoadPic(); };
  imageCC1_->OnMouseMove = [this](widgets::TImageCC*, QMouseEvent* event) {
    ImageCC1MouseMove(event);
  };
  imageCC1_->OnViewStyleChange = [this](widgets::TImageCC*) { fittedView_.store(FittedView()); };

  imgSlideEff_ = new TSlideSurface(this);
  imgSlideEff_->hide();
  imgSlideEff_->OnMouseMove = [this](QMouseEvent* event) { ImageCC1MouseMove(event); };

  imgClose_ = new widgets::TBitmapButton(this);
  imgClose_->SetGlyphCount(CloseButtonSlices);
  imgClose_->SetPicture(widgets::TGlyphPicture::FromFile(QString::fromLatin1(CloseButtonPicture)));
  imgClose_->resize(CloseButtonSize, CloseButtonSize);
  imgClose_->setCursor(Qt::PointingHandCursor);
  imgClose_->SetHint(QString::fromUtf8(CloseButtonHint));
  imgClose_->OnClick = [this](widgets::TBitmapButton*) { Close(); };
  imgClose_->OnMouseMove = [this](widgets::TBitmapButton*, QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton && event->modifiers() == Qt::NoModifier) {
      imgClose_->DoMouseEnter();
    }
  };
  imgClose_->hide();

  tpTimer_ = new widgets::TKelvoTimerPool(PoolInterval, this);
  tpTimer_->OnTimer = [this](widgets::TKelvoTimerPool*, std::uint16_t ident, std::int32_t) {
    tpTimerTimer(ident);
  };
  tpTimer_->AddTimerEx(PoolItemAppear, PoolAppearInterval, 1, false);
  tpTimer_->AddTimerEx(PoolItemHideClose, PoolHideCloseInterval, 1, false);

  timerSlide_.setInterval(config_.SlideInterval);
  connect(&timerSlide_, &QTimer::timeout, this, [this] { SlideStep(); });
  timerNotView_.setInterval(config_.NotViewInterval);
  connect(&timerNotView_, &QTimer::timeout, this, [this] { TimerNotViewTimer(); });
}

void TfmView::InitViewer() {
  content_.ItemIndex = -1;
  FEmpty = false;
  setGeometry(0, 0, screenSize_.width(), screenSize_.height());
  imgCache_ = std::make_unique<TThrImgCache>(TImgCacheEnv{cache_, requests_, abortLoad_,
                                                          screenSize_, config_.FetchWait,
                                                          [this] { return fittedView_.load(); }});
}

void TfmView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  imageCC1_->setGeometry(rect());
  imgSlideEff_->setGeometry(rect());
  imgClose_->move(width() - imgClose_->width(), 0);
}

void TfmView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), WindowColour());
  if (!bgShown_.isNull()) painter.drawImage(event->rect().topLeft(), bgShown_, event->rect());
}

// --- lists and fetches -------------------------------------------------------------------------

void TfmView::ShowList(int index, const QString& names, const QString& sizes) {
  if (!names.isEmpty()) {
    QStringList newNames = SplitCommaText(names);
    QStringList newSizes = SplitCommaText(sizes);
    // Loads in progress give up, unless the phone sent the list held again to show another
    // entry (as it does for every step it makes): then the neighbours being prefetched are
    // still wanted, and a fetch under way is stopped by the next one.
    if (index < 0 || newNames != FNames || newSizes != FSizes) abortLoad_.Set(true);
    FNames = std::move(newNames);
    FSizes = std::move(newSizes);
  }
  if (FNames.isEmpty() || index < 0) return;
  content_.ItemIndex = index;
  abortLoad_.Set(false);
  closing_.store(false);
  StartFetch();
  timerNotView_.start();
}

void TfmView::StartFetch() {
  FLastRequest = std::chrono::steady_clock::now();
  // The image cache may be getting this very entry as a neighbour of the last one: then its
  // download and decode go on and the fetch takes them over; otherwise they stop.
  const std::vector<int> planned = NeighbourIndexes(static_cast<int>(FNames.size()), plannedIndex_);
  const bool neighbour =
      std::find(planned.begin(), planned.end(), content_.ItemIndex) != planned.end();
  StopFetch(!neighbour);
  timerSlide_.stop();  // FinishFetch arms it again once this picture is in place
  abortLoad_.Set(false);
  if (imgCache_ == nullptr) return;  // not initialised, or freed
  plannedIndex_ = content_.ItemIndex;
  fetch_ = std::make_unique<TThrBackWork>(
      *this, TFetchJob{FNames, FSizes, content_.ItemIndex, FSlideShow});
}

void TfmView::StopFetch(bool stopPrefetch) {
  // A fetch under way is always stopped; an ended one only when the image cache's work is
  // unwanted too, since the flag stops that as well.
  const bool running = fetch_ != nullptr && !fetch_->Ended();
  if (running || stopPrefetch) abortLoad_.Set(true);
  if (!fetch_) return;
  fetch_->Terminate();
  fetch_->WaitFor();
  fetch_.reset();
}

bool TfmView::FetchRunning() const { return fetch_ != nullptr && !fetch_->Ended(); }

void TfmView::FinishFetch(bool stopped) {
  // The worker read the flag before it asked for this call; a stop that came meanwhile counts.
  stopped = stopped || abortLoad_.IsSet();
  bool mayAppear = false;
  if (!stopped && FFetchResult.load() == FetchPresent) {
    FEmpty = imageCC1_->Picture().Width() == 0;
    if (FEmpty || ViewerHidden()) {
      if (FEmpty) {
        ShowStandIn(imgBad_);
      } else {
        mayAppear = true;
      }
      imgSlideEff_->hide();
      imageCC1_->EndUpdate(true);
    } else {
      imgSlideEff_->show();
      imgSlideEff_->raise();
      imgClose_->raise();
      imageCC1_->EndUpdate(true);
      imageCC1_->BeginUpdate();
      RunTransition();
      imageCC1_->EndUpdate();
      mayAppear = true;
    }
  } else {
    if (!stopped && FFetchResult.load() < 0) ShowStandIn(imgBad_);
    imgSlideEff_->hide();
    imageCC1_->EndUpdate(true);
  }
  if (ViewerHidden() && mayAppear && !stopped) FirstAppearance();
  if (!stopped && FOnShown && !ViewerHidden()) {
    FOnShown(content_.ItemIndex, static_cast<int>(FNames.size()));
  }
  if (FSlideShow && !stopped && !closing_.load()) {
    timerSlide_.start();
  } else {
    timerSlide_.stop();
  }
  abortLoad_.Set(false);
}

void TfmView::FirstAppearance() {
  viewerHidden_.store(false);
  imgClose_->show();
  imgClose_->raise();
  // Full screen, so that the window manager puts it above its panels too. Still fully
  // transparent; pool item 200 makes it opaque.
  showFullScreen();
  if (content_.Current.FrameCount > 1 && PictureKind(content_.Current.Path) == pkGif) {
    if (auto frames = LoadGifFrames(content_.Current.Path, abortLoad_)) {
      imageCC1_->Picture().SetAnimation(std::move(*frames));
      currentValid_ = false;  // an animation is never handed to a cache slot
    }
  }
  tpTimer_->FindTimer(PoolItemAppear)->SetEnabled(true);
  tpTimer_->FindTimer(PoolItemHideClose)->SetEnabled(true);
}

// The transition from the snapshot on ImgSlideEff to the new view over the background, in ten
// steps of a randomly chosen effect.
void TfmView::RunTransition() {
  QRandomGenerator& random = *QRandomGenerator::global();
  const int pattern = random.bounded(TransitionPatterns);
  const int half = pattern / (TransitionPatterns / 2);
  widgets::SetEffectVariant({pattern, half, half});
  const widgets::TEffect& effect = widgets::Effects[random.bounded(widgets::EffectCount)];

  QImage& surface = imgSlideEff_->Bitmap();
  const QRect area(0, 0, surface.width(), surface.height());
  try {
    QImage target = bg_.copy();
    {
      QPainter painter(&target);
      imageCC1_->DrawTo(painter);
    }
    for (int progress = 0; !abortLoad_.IsSet() && progress < 100;) {
      progress = std::min(100, progress + TransitionStep);
      if (abortLoad_.IsSet() || closing_.load()) break;
      effect.Proc(surface, target, area, TransitionSpacing, progress);
      if (abortLoad_.IsSet() || closing_.load()) break;
      imgSlideEff_->repaint();
      QThread::msleep(1);
    }
  } catch (...) {
  }
  imgSlideEff_->hide();
}

// --- the fetch worker's steps on the GUI thread ------------------------------------------------

// The desktop, dimmed, behind everything the window shows. Where the desktop can't be read (no
// screen, or a compositor that hands X clients an empty or blank one) the window's own colour
// stands in.
void TfmView::CaptureBackground() {
  // At the screen's size, which the window takes when it comes up, whatever size the hidden
  // window was left with (a window manager may have resized it).
  QImage shot;
  CaptureScreen(shot);
  bg_ = DesktopBackdrop(shot, screenSize_, WindowColour());
  Darken(bg_, DesktopDarkenFactor);
  // Painted in the screen's own format, so that a paint copies instead of converting.
  bgShown_ = bg_.convertToFormat(QImage::Format_RGB32);
  update();
}

void TfmView::ShowLoadingPicture() { ShowStandIn(imgLoading_); }

void TfmView::ShowStandIn(const QImage& picture) {
  imageCC1_->Picture().SetBitmap(picture);
  imageCC1_->SetSrcImgWidth(0);
  FReduced = false;
  currentValid_ = false;
  standIn_ = true;
}

void TfmView::TakeSnapshot() {
  FEmpty = false;
  imgSlideEff_->hide();
  QImage& surface = imgSlideEff_->Bitmap();
  surface = bg_.isNull() ? QImage(screenSize_, QImage::Format_BGR888) : bg_.copy();
  if (bg_.isNull()) surface.fill(WindowColour());
  QPainter painter(&surface);
  imageCC1_->DrawTo(painter);
}

void TfmView::BeginPicture() {
  imageCC1_->BeginUpdate();
  if (!FittedView()) imageCC1_->SetViewStyle(widgets::ccvsBest);
  imageCC1_->SetOffsX(0);
  imageCC1_->SetOffsY(0);
  fittedView_.store(FittedView());
  content_.Current.FrameIndex = 0;
  content_.Current.FrameCount = 1;
}

bool TfmView::TakeCachedPicture(const QString& name, const QString& key, const QString& path) {
  TImgCache shown;
  widgets::TImageCCPicture& picture = imageCC1_->Picture();
  if (currentValid_ && picture.IsBitmap()) shown.Picture = picture.Bitmap();
  shown.Name = content_.Current.Name;
  shown.Key = content_.Current.Key;
  shown.Reduced = FReduced;
  shown.Width = FSrcWidth;
  shown.Height = FSrcHeight;
  shown.FrameIndex = content_.Current.FrameIndex;
  shown.FrameCount = content_.Current.FrameCount;
  if (!imgCache_->TakeCached(name, key, FittedView(), shown)) return false;
  picture.SetBitmap(std::move(shown.Picture));
  FReduced = shown.Reduced;
  FSrcWidth = shown.Width;
  FSrcHeight = shown.Height;
  content_.Current = {name, path, key, shown.FrameIndex, shown.FrameCount, 0, 0};
  currentValid_ = true;
  standIn_ = false;
  return true;
}

void TfmView::PlaceDecoded(TImgCache decoded, const QString& path,
                           std::unique_ptr<widgets::TGifFrames> animation) {
  content_.Current.Name = decoded.Name;
  content_.Current.Key = decoded.Key;
  content_.Current.Path = path;
  content_.Current.FrameCount = decoded.FrameCount;
  FSrcWidth = decoded.Width;
  FSrcHeight = decoded.Height;
  FReduced = decoded.Reduced;
  currentValid_ = !decoded.Picture.isNull();
  standIn_ = false;
  widgets::TImageCCPicture& picture = imageCC1_->Picture();
  if (animation) {
    picture.SetAnimation(std::move(*animation));
    FSrcWidth = picture.Width();
    FSrcHeight = picture.Height();
    currentValid_ = false;  // an animation is never handed to a cache slot
  } else {
    picture.SetBitmap(std::move(decoded.Picture));
  }
}

void TfmView::EndPicture() {
  SettleResolution();
  imageCC1_->SetSrcImgWidth(FSrcWidth);
  imgCache_->KickCache(content_.Current.Name, content_.Current.Key, FReduced);
}

// --- slide show --------------------------------------------------------------------------------

void TfmView::StartSlideShow(int index, const QString& names, const QString& sizes) {
  if (FSlideShow) return;
  FSlideShow = true;
  if (ViewerHidden()) {
    ShowList(index, names, sizes);
    FSlideStart = content_.ItemIndex;
    return;
  }
  if (index >= 0) {
    if (!names.isEmpty()) {
      FNames = SplitCommaText(names);
      FSizes = SplitCommaText(sizes);
    }
    content_.ItemIndex = index;
  }
  FSlideStart = content_.ItemIndex;
  SlideStep();
}

void TfmView::SlideStep() {
  timerSlide_.stop();
  StepNext();
}

void TfmView::StepNext() {
  if (FNames.size() < 2) return;
  int target = content_.ItemIndex + 1;
  if (target >= FNames.size() || target < 0) target = 0;
  if (target == content_.ItemIndex) return;
  content_.ItemIndex = target;
  StartFetch();
}

void TfmView::StopSlideShow(bool redisplay) {
  if (!FSlideShow) return;
  FSlideShow = false;
  timerSlide_.stop();
  if (!redisplay) return;
  content_.ItemIndex = FSlideStart;
  StartFetch();
}

// --- timers ------------------------------------------------------------------------------------

void TfmView::TimerNotViewTimer() {
  if (ViewerHidden()) return;
  if (std::chrono::steady_clock::now() - FLastRequest > config_.InactivityLimit) Close();
}

void TfmView::tpTimerTimer(std::uint16_t ident) {
  switch (ident) {
    case PoolItemAppear:
      setWindowOpacity(1.0);
      BringToFront(*this);
      setFocus();
      break;
    case PoolItemHideClose:
      imgClose_->hide();
      break;
    default:
      break;
  }
}

// --- closing -----------------------------------------------------------------------------------

void TfmView::Close() {
  timerNotView_.stop();
  closing_.store(true);
  abortLoad_.Set(true);
  setWindowOpacity(0.0);
  tpTimer_->FindTimer(PoolItemAppear)->SetEnabled(false);
  tpTimer_->FindTimer(PoolItemHideClose)->SetEnabled(false);
  StopFetch();
  StopSlideShow(false);
  content_.ItemIndex = -1;
  imageCC1_->Clear();
  currentValid_ = false;
  FReduced = false;
  // The program stays in the tray: what only the window needed goes with it.
  bg_ = QImage();
  bgShown_ = QImage();
  imgSlideEff_->Bitmap() = QImage();
  if (imgCache_) imgCache_->Clear();
  if (FOnClosed) FOnClosed();
  viewerHidden_.store(true);
  hide();
}

void TfmView::CloseQuietly() {
  std::function<void()> onClosed = std::move(FOnClosed);
  FOnClosed = nullptr;
  Close();
  FOnClosed = std::move(onClosed);
}

void TfmView::closeEvent(QCloseEvent* event) {
  // The window manager's close (Alt+F4) closes like Esc; the window itself stays.
  event->ignore();
  if (!ViewerHidden()) Close();
}

void TfmView::FreeViewer() {
  if (freed_) return;
  freed_ = true;
  abortLoad_.Set(true);
  timerSlide_.stop();
  timerNotView_.stop();
  StopFetch();
  if (imgCache_) imgCache_->Stop();
  imgCache_.reset();
  imageCC1_->Picture().Clear();
  FNames.clear();
  FSizes.clear();
}

}  // namespace zephra::viewer
