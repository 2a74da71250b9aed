#include "widgets/gif_player.h"

#include <utility>

namespace zephra::widgets {

int EffectiveGifDelay(int delayMs) {
  return delayMs <= ShortestGifDelayMs ? DefaultGifDelayMs : delayMs;
}

TGifPlayer::TGifPlayer(TGifFrames frames, QObject* parent)
    : QObject(parent), FFrames(std::move(frames)) {
  FTimer.setSingleShot(true);
  FTimer.setTimerType(Qt::PreciseTimer);
  connect(&FTimer, &QTimer::timeout, this, &TGifPlayer::Advance);
}

const QImage& TGifPlayer::CurrentFrame() const {
  static const QImage none;
  if (FFrames.Frames.empty()) return none;
  return FFrames.Frames[FIndex].Image;
}

int TGifPlayer::CurrentDelay() const {
  if (FFrames.Frames.empty()) return DefaultGifDelayMs;
  return EffectiveGifDelay(FFrames.Frames[FIndex].DelayMs);
}

void TGifPlayer::Start() {
  if (FRunning || FFinished || FrameCount() < 2) return;
  FRunning = true;
  ScheduleNext();
}

void TGifPlayer::Stop() {
  FRunning = false;
  FTimer.stop();
}

void TGifPlayer::Rewind() {
  FPlaysDone = 0;
  FFinished = false;
  if (FIndex == 0) return;
  FIndex = 0;
  if (FRunning) ScheduleNext();
  emit FrameChanged(FIndex);  // last: a receiver may delete the player
}

void TGifPlayer::Advance() {
  if (FrameCount() < 2 || FFinished) return;
  int next = FIndex + 1;
  if (next == FrameCount()) {
    ++FPlaysDone;
    if (FFrames.PlayCount > 0 && FPlaysDone >= FFrames.PlayCount) {
      FFinished = true;
      Stop();
      return;
    }
    next = 0;
  }
  FIndex = next;
  if (FRunning) ScheduleNext();
  emit FrameChanged(FIndex);  // last: a receiver may delete the player
}

void TGifPlayer::ScheduleNext() { FTimer.start(CurrentDelay()); }

}  // namespace zephra::widgets
