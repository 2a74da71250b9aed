#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <thread>

namespace zephra::viewer {

class TfmView;

// What a fetch worker works on: the list as it was when the fetch started, and the entry.
struct TFetchJob {
  QStringList Names;
  QStringList Sizes;
  int ItemIndex = -1;
  bool SlideShow = false;
};

// TThrBackWork: the fetch worker, one per picture change. It captures the desktop while the
// window is hidden, gets the entry's file into the cache (requesting it and waiting when it
// must), decodes it for the control and hands back to the window (FinishFetch). It reaches the
// window only through the window's synchronised calls.
class TThrBackWork {
 public:
  // Starts at once.
  TThrBackWork(TfmView& view, TFetchJob job);
  // Waits for the end (after Terminate), serving the window's calls meanwhile.
  ~TThrBackWork();
  TThrBackWork(const TThrBackWork&) = delete;
  TThrBackWork& operator=(const TThrBackWork&) = delete;

  void Terminate() { terminated_.store(true); }
  // True once the worker has handed back to the window (FinishFetch has run).
  bool Ended() const { return ended_.load(); }
  // GUI thread: waits until the worker has ended, running its synchronised calls meanwhile.
  void WaitFor();

 private:
  void Execute();
  void FetchOne();
  void ShowPicture(const QString& path);

  TfmView& view_;
  const TFetchJob job_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

}  // namespace zephra::viewer
