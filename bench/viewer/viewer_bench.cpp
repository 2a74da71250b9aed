// The viewer window's picture changes against the work they cannot avoid, measured in the same
// run, and its peak memory through a slide show.
//
// BM_FirstPicture: from ShowList to the window coming up with a 6000 x 4000 JPEG from the cache,
// against decoding that file for the screen alone. "painted_x_baseline" adds the window's first
// paint, which the event loop runs after the window came up.
// BM_NextPicture: from ShowList to the end of the fetch (transition included) while the window
// shows another picture, against the decode plus a transition of ten fade steps with their
// repaints and pauses on screen-sized surfaces; "beyond_transition_x_decode" is the change's time
// less the transition, in decodes (target: at most 1.3). The window draws its effect at random;
// the table's cheapest and dearest ten steps are reported beside it.
// Both alternate candidate and baseline and keep the best of each, as bench_support's Compare
// does; what a round leaves behind (closing the window, pending events) is done between rounds,
// outside the timing. Lists of one entry keep the image-cache worker idle ("cache_passes"), so no
// prefetch or full-resolution decode runs beside the timed work.
//
// BM_SlideShowMemory: a slide show over 20 different 6000 x 4000 JPEGs with a short interval;
// the peak resident memory it adds is set against a budget of four full-size decodes plus
// 150 MiB ("peak_x_budget").
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/stop_flag.h"
#include "bench_jpeg.h"
#include "bench_offscreen.h"
#include "bench_support.h"
#include "viewer/cache_folder.h"
#include "viewer/picture_loader.h"
#include "viewer/picture_requests.h"
#include "viewer/tfm_view.h"
#include "viewer/viewer_constants.h"
#include "widgets/transition_effects.h"

namespace {

using namespace zephra;
using zephra::bench::Median;
using zephra::bench::Seconds;
using zephra::bench::TestPicture;

constexpr int Rounds = 15;
constexpr int JpegQuality = 90;
constexpr QSize Screen(1920, 1080);
constexpr QSize CameraSize(6000, 4000);
constexpr QSize ReducedSize(3000, 2000);  // 6000 x 4000 decoded at one half for Screen
constexpr int SlideCount = 20;
constexpr std::chrono::milliseconds SlideInterval{20};
constexpr auto SlideShowDeadline = std::chrono::seconds(90);
constexpr int PollMs = 5;  // how often the slide show loop wakes to look at the window
// The effect timed in the next-picture baseline: the fade, which the viewer's table holds three
// times and which touches every pixel at every step.
constexpr int BaselineEffect = 0;
constexpr double BytesPerPixel = 3;
constexpr double DecodedPicturesInBudget = 4;
constexpr double SpareMiB = 150;
constexpr double MiB = 1024.0 * 1024.0;
const char* const PhoneFolder = "bench";

// --- files -------------------------------------------------------------------------------------

// A phone picture as the viewer sees it: its list name, the announced size and the cache file.
struct TPictureFile {
  QString Name;
  QString Size;
  QString Path;
};

// The cache folder in a temporary directory, with the phone folder selected.
class TBenchCache {
 public:
  TBenchCache() : cache_(dir_.path()) { cache_.SetPhoneFolder(QString::fromLatin1(PhoneFolder)); }
  viewer::TCacheFolder& Cache() { return cache_; }

  // Writes a 6000 x 4000 JPEG with texture `seed` as the cached file of list name `name`.
  TPictureFile Add(const QString& name, int seed) {
    TPictureFile file{name, {}, cache_.LocalPathOf(name)};
    if (!bench::WriteJpeg(file.Path, TestPicture(CameraSize.width(), CameraSize.height(), seed),
                          JpegQuality)) {
      return {};
    }
    file.Size = QString::number(QFile(file.Path).size());
    return file;
  }

 private:
  QTemporaryDir dir_;
  viewer::TCacheFolder cache_;
};

TBenchCache& BenchCache() {
  static TBenchCache cache;
  return cache;
}

// The files are written on first use, so that a filtered run writes only what it needs.
const TPictureFile& FirstFile() {
  static const TPictureFile file = BenchCache().Add(QStringLiteral("/DCIM/first.jpg"), 1);
  return file;
}

const std::vector<TPictureFile>& NextFiles() {
  static const std::vector<TPictureFile> files = {
      BenchCache().Add(QStringLiteral("/DCIM/next_a.jpg"), 2),
      BenchCache().Add(QStringLiteral("/DCIM/next_b.jpg"), 3)};
  return files;
}

const std::vector<TPictureFile>& SlideFiles() {
  static const std::vector<TPictureFile> files = [] {
    std::vector<TPictureFile> made;
    for (int i = 0; i < SlideCount; ++i) {
      made.push_back(
          BenchCache().Add(QString("/DCIM/slide_%1.jpg").arg(i, 2, 10, QChar('0')), 10 + i));
    }
    return made;
  }();
  return files;
}

bool AllWritten(const std::vector<TPictureFile>& files) {
  return std::all_of(files.begin(), files.end(), [](const auto& f) { return !f.Size.isEmpty(); });
}

// The phone's list texts: names in double quotes, sizes as decimal text, comma-separated.
QString NameList(const std::vector<TPictureFile>& files) {
  QStringList quoted;
  for (const TPictureFile& file : files) quoted.append('"' + file.Name + '"');
  return quoted.join(',');
}

QString SizeList(const std::vector<TPictureFile>& files) {
  QStringList sizes;
  for (const TPictureFile& file : files) sizes.append(file.Size);
  return sizes.join(',');
}

// --- the window ----------------------------------------------------------------------------------

// A viewer window over the bench cache, without a request service (every file is cached).
class TViewerRig {
 public:
  explicit TViewerRig(std::chrono::milliseconds slideInterval = SlideInterval)
      : view_(BenchCache().Cache(), requests_, abortLoad_, Config(slideInterval)) {
    view_.InitViewer();
  }
  ~TViewerRig() {
    Hide();
    view_.FreeViewer();
  }
  TViewerRig(const TViewerRig&) = delete;
  TViewerRig& operator=(const TViewerRig&) = delete;

  viewer::TfmView& View() { return view_; }

  // Starts the fetch of `file` as a list of one entry.
  void ShowList(const TPictureFile& file) { view_.ShowList(0, NameList({file}), file.Size); }
  // Serves the fetch worker's calls until it has handed back to the window.
  void WaitFetchEnd() {
    view_.ServeWorkersUntil([this] { return !view_.FetchRunning(); });
  }
  // The control holds the reduced decode of a 6000 x 4000 picture.
  bool ShowsReducedPicture() {
    return view_.FetchResult() == viewer::FetchPresent &&
           view_.ImageCC1().Picture().Size() == ReducedSize;
  }
  // Closes the window without telling anyone and lets pending events run.
  void Hide() {
    WaitFetchEnd();
    view_.CloseQuietly();
    DrainEvents();
  }
  static void DrainEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }

 private:
  static viewer::TViewerConfig Config(std::chrono::milliseconds slideInterval) {
    viewer::TViewerConfig config;
    config.ScreenSize = Screen;
    config.SlideInterval = slideInterval;
    return config;
  }

  viewer::TPictureRequests requests_;
  base::TStopFlag abortLoad_;
  viewer::TfmView view_;
};

// --- timing ------------------------------------------------------------------------------------

// A timed piece of work and what it needs done, untimed, before and after.
struct TTimed {
  std::function<void()> Work;
  std::function<void()> Before;
  std::function<void()> After;

  double Run() const {
    if (Before) Before();
    const double seconds = Seconds(Work);
    if (After) After();
    return seconds;
  }
};

struct TBest {
  double Candidate = 1e9;
  double Baseline = 1e9;
  std::vector<double> Candidates;  // each round's time, after the warm-up
  std::vector<double> Ratios;      // candidate / baseline of each round, for the spread
};

// One warm-up run of each, then `rounds` alternating runs; the best of each is kept.
TBest Alternate(int rounds, const TTimed& candidate, const TTimed& baseline) {
  TBest best;
  candidate.Run();
  baseline.Run();
  for (int i = 0; i < rounds; ++i) {
    const double base = baseline.Run();
    const double cand = candidate.Run();
    best.Baseline = std::min(best.Baseline, base);
    best.Candidate = std::min(best.Candidate, cand);
    best.Candidates.push_back(cand);
    best.Ratios.push_back(cand / base);
  }
  return best;
}

void Report(benchmark::State& state, const TBest& best) {
  state.counters["x_baseline"] = best.Candidate / best.Baseline;
  state.counters["ms"] = best.Candidate * 1e3;
  state.counters["baseline_ms"] = best.Baseline * 1e3;
  state.counters["median_round_x"] = Median(best.Ratios);
}

// The decode the viewer's fetch makes, into a new picture as the fetch does.
TTimed ScreenDecode(const QString& path) {
  auto picture = std::make_shared<QImage>();
  auto never = std::make_shared<base::TStopFlag>();
  return {[=] { viewer::LoadPictureForScreen(*picture, path, Screen, *never); },
          [=] { *picture = QImage(); }, [=] { *picture = QImage(); }};
}

// Ten steps of effect `index` from a screen-sized snapshot to a screen-sized target, as a
// transition draws them; the surface is restored between runs.
class TTenSteps {
 public:
  explicit TTenSteps(int index)
      : effect_(widgets::Effects[index]),
        snapshot_(TestPicture(Screen.width(), Screen.height(), 5)),
        target_(TestPicture(Screen.width(), Screen.height(), 6)),
        surface_(snapshot_.copy()) {}

  void Restore() {
    std::memcpy(surface_.bits(), snapshot_.constBits(), size_t(snapshot_.sizeInBytes()));
  }
  // `afterStep` runs after every step, as the window repaints and pauses after each.
  void Run(const std::function<void()>& afterStep = {}) {
    const QRect area(0, 0, Screen.width(), Screen.height());
    for (int progress = viewer::TransitionStep; progress <= 100;
         progress += viewer::TransitionStep) {
      effect_.Proc(surface_, target_, area, viewer::TransitionSpacing, progress);
      if (afterStep) afterStep();
    }
    benchmark::DoNotOptimize(surface_.constBits());
  }
  double Best(int rounds, const std::function<void()>& afterStep = {}) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
      Restore();
      best = std::min(best, Seconds([&] { Run(afterStep); }));
    }
    return best;
  }

 private:
  const widgets::TEffect& effect_;
  const QImage snapshot_;
  const QImage target_;
  QImage surface_;
};

// A full-screen window that paints a screen-sized 24-bit bitmap, as the transition's surface
// does after every step.
class TSurfaceWindow : public QWidget {
 public:
  TSurfaceWindow() : bitmap_(TestPicture(Screen.width(), Screen.height(), 7)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(0, 0, Screen.width(), Screen.height());
    show();
    TViewerRig::DrainEvents();
  }
  // One step's repaint and pause, as the window makes them during a transition.
  void StepRepaint() {
    repaint();
    QThread::msleep(1);
  }
  // The best time of ten repaints, as a transition makes them (without its pauses).
  double TenRepaints(int rounds) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
      best = std::min(best, Seconds([this] {
                        for (int step = 0; step < 100 / viewer::TransitionStep; ++step) repaint();
                      }));
    }
    return best;
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.drawImage(event->rect().topLeft(), bitmap_, event->rect());
  }

 private:
  const QImage bitmap_;
};

// --- cases -------------------------------------------------------------------------------------

// ShowList of a cached picture while the window is hidden, until the window is up with it.
void BM_FirstPicture(benchmark::State& state) {
  const TPictureFile& file = FirstFile();
  if (file.Size.isEmpty()) return state.SkipWithError("could not write the picture");
  TViewerRig rig;
  viewer::TfmView& view = rig.View();
  bool shown = true;
  std::vector<double> paints;  // the window's first paint after each candidate run
  const TTimed candidate{[&] {
                           rig.ShowList(file);
                           view.ServeWorkersUntil([&] { return !view.ViewerHidden(); });
                         },
                         nullptr,
                         [&] {
                           rig.WaitFetchEnd();
                           shown = shown && rig.ShowsReducedPicture();
                           paints.push_back(Seconds([] { TViewerRig::DrainEvents(); }));
                           rig.Hide();
                         }};
  const int passesBefore = view.CacheWorker()->Passes();
  for (auto _ : state) {
    const TBest best = Alternate(Rounds, candidate, ScreenDecode(file.Path));
    Report(state, best);
    // The window on screen also needs its first paint, which the event loop runs later: the
    // picture resampled for the screen and the background drawn.
    double bestPainted = 1e9, bestPaint = 1e9;
    for (size_t i = 0; i < best.Candidates.size(); ++i) {
      const double paint = paints[i + 1];  // paints[0] follows the warm-up
      bestPaint = std::min(bestPaint, paint);
      bestPainted = std::min(bestPainted, best.Candidates[i] + paint);
    }
    state.counters["first_paint_ms"] = bestPaint * 1e3;
    state.counters["painted_x_baseline"] = bestPainted / best.Baseline;
  }
  if (!shown) state.SkipWithError("the window came up without the reduced picture");
  state.counters["cache_passes"] = view.CacheWorker()->Passes() - passesBefore;
}
BENCHMARK(BM_FirstPicture)->Iterations(1)->Unit(benchmark::kMillisecond);

// ShowList of another cached picture while the window shows one, until the fetch has ended with
// its transition; against the decode plus ten fade steps on screen-sized surfaces.
void BM_NextPicture(benchmark::State& state) {
  const std::vector<TPictureFile>& files = NextFiles();
  if (!AllWritten(files)) return state.SkipWithError("could not write the pictures");
  TViewerRig rig;
  viewer::TfmView& view = rig.View();
  rig.ShowList(files[0]);
  rig.WaitFetchEnd();
  if (view.ViewerHidden()) return state.SkipWithError("the window did not come up");
  rig.DrainEvents();

  size_t shownIndex = 0;
  bool shown = true;
  const TTimed candidate{[&] {
                           shownIndex = 1 - shownIndex;
                           rig.ShowList(files[shownIndex]);
                           rig.WaitFetchEnd();
                         },
                         nullptr,
                         [&] {
                           shown = shown && !view.ViewerHidden() && rig.ShowsReducedPicture() &&
                                   view.Content().Current.Name == files[shownIndex].Name;
                           rig.DrainEvents();
                         }};

  // The transition as the window runs it: ten effect steps, each with a repaint of a
  // screen-sized 24-bit surface and the 1 ms pause.
  const TTimed decode = ScreenDecode(files[0].Path);
  auto steps = std::make_shared<TTenSteps>(BaselineEffect);
  auto surface = std::make_shared<TSurfaceWindow>();
  const auto stepRepaint = [surface] { surface->StepRepaint(); };
  const TTimed baseline{[=] {
                          decode.Work();
                          steps->Run(stepRepaint);
                        },
                        [=] {
                          decode.Before();
                          steps->Restore();
                        },
                        decode.After};
  const int passesBefore = view.CacheWorker()->Passes();
  for (auto _ : state) {
    const TBest best = Alternate(Rounds, candidate, baseline);
    Report(state, best);
    // The target: the change of picture takes at most 1.3 times the decode plus the ten steps
    // of the transition.
    double decodeBest = 1e9;
    for (int i = 0; i < 5; ++i) decodeBest = std::min(decodeBest, decode.Run());
    const double transition = steps->Best(5, stepRepaint);
    state.counters["transition_ms"] = transition * 1e3;
    state.counters["decode_ms"] = decodeBest * 1e3;
    state.counters["beyond_transition_x_decode"] = (best.Candidate - transition) / decodeBest;
    // The effect the window uses is drawn at random: the spread of the table's ten-step times.
    double cheapest = 1e9, dearest = 0;
    for (int index = 0; index < widgets::EffectCount; ++index) {
      const double best = TTenSteps(index).Best(3);
      cheapest = std::min(cheapest, best);
      dearest = std::max(dearest, best);
    }
    state.counters["fade_steps_ms"] = steps->Best(3) * 1e3;
    state.counters["surface_repaints_ms"] = TSurfaceWindow().TenRepaints(3) * 1e3;
    state.counters["cheapest_steps_ms"] = cheapest * 1e3;
    state.counters["dearest_steps_ms"] = dearest * 1e3;
  }
  if (!shown) state.SkipWithError("a fetch ended without the new picture on screen");
  state.counters["cache_passes"] = view.CacheWorker()->Passes() - passesBefore;
}
BENCHMARK(BM_NextPicture)->Iterations(1)->Unit(benchmark::kMillisecond);

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); -1 when it can't be read.
double StatusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) != 0) continue;
    return std::stod(line.substr(field.size() + 1)) * 1024.0;  // the kernel reports kB
  }
  return -1;
}

// Lets VmHWM start again from the current resident size; false when the kernel doesn't.
bool ResetHighWaterMark() {
  constexpr double Slack = 4 * MiB;  // what the process may touch between the two reads
  {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    if (!clear) return false;
  }
  return StatusBytes("VmHWM") <= StatusBytes("VmRSS") + Slack;
}

// A slide show from the first entry over all 20 pictures; peak resident memory it adds.
void BM_SlideShowMemory(benchmark::State& state) {
  const std::vector<TPictureFile>& files = SlideFiles();
  if (!AllWritten(files)) return state.SkipWithError("could not write the pictures");
  const QString names = NameList(files);
  const QString sizes = SizeList(files);
  TViewerRig rig(SlideInterval);
  viewer::TfmView& view = rig.View();

  for (auto _ : state) {
    rig.DrainEvents();
    malloc_trim(0);  // memory freed before the show is not counted as the show's
    if (!ResetHighWaterMark()) return state.SkipWithError("cannot reset VmHWM");
    const double before = StatusBytes("VmRSS");

    // Served through the event loop, which the slide timer needs; the tick makes it look at
    // the window often enough to see every step end.
    QTimer tick;
    tick.start(PollMs);
    std::vector<bool> seen(files.size(), false);
    int seenCount = 0, steps = 0, badSteps = 0;
    bool wasWaiting = false;
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + SlideShowDeadline;
    view.StartSlideShow(0, names, sizes);
    while (seenCount < SlideCount && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      // A step has ended when the window waits for the next one.
      const bool waiting = view.SlideTimerActive();
      if (waiting && !wasWaiting) {
        ++steps;
        if (!rig.ShowsReducedPicture()) ++badSteps;
        const int index = view.Content().ItemIndex;
        if (index >= 0 && index < SlideCount && !seen[size_t(index)]) {
          seen[size_t(index)] = true;
          ++seenCount;
        }
      }
      wasWaiting = waiting;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peak = StatusBytes("VmHWM") - before;
    const double atEnd = StatusBytes("VmRSS") - before;
    view.StopSlideShow(false);
    rig.Hide();
    malloc_trim(0);
    const double afterClose = StatusBytes("VmRSS") - before;
    if (seenCount < SlideCount) state.SkipWithError("the slide show did not reach every entry");
    if (badSteps > 0) state.SkipWithError("a step showed no reduced picture");

    const double budget =
        DecodedPicturesInBudget * CameraSize.width() * CameraSize.height() * BytesPerPixel +
        SpareMiB * MiB;
    state.counters["peak_MiB"] = peak / MiB;
    state.counters["budget_MiB"] = budget / MiB;
    state.counters["peak_x_budget"] = peak / budget;
    state.counters["end_MiB"] = atEnd / MiB;
    state.counters["closed_MiB"] = afterClose / MiB;
    state.counters["steps"] = steps;
    state.counters["ms_per_step"] = seconds * 1e3 / std::max(1, steps);
  }
}
BENCHMARK(BM_SlideShowMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  zephra::bench::UseOffscreenScreen(Screen);
  return zephra::bench::RunBenchmarksInApplication(argc, argv);
}
