#pragma once

#include <QObject>
#include <QTimer>

#include "widgets/gif_frames.h"

namespace zephra::widgets {

// Delays up to this many milliseconds are treated as missing, as browsers do.
inline constexpr int ShortestGifDelayMs = 10;
// The delay that replaces them.
inline constexpr int DefaultGifDelayMs = 100;

// The delay the player waits for a frame stored with `delayMs`.
int EffectiveGifDelay(int delayMs);

// Plays an animation: shows one frame at a time and moves to the next when the frame's delay has
// passed, for the animation's play count. Lives on the thread that runs its timer (the GUI
// thread for a picture on screen). A player of fewer than two frames never moves.
class TGifPlayer : public QObject {
  Q_OBJECT

 public:
  explicit TGifPlayer(TGifFrames frames, QObject* parent = nullptr);

  const TGifFrames& Frames() const { return FFrames; }
  QSize Size() const { return FFrames.ScreenSize; }
  int FrameCount() const { return static_cast<int>(FFrames.Frames.size()); }
  int CurrentIndex() const { return FIndex; }
  // The frame on show; a null image when there are no frames.
  const QImage& CurrentFrame() const;
  // The effective delay of the frame on show, in ms.
  int CurrentDelay() const;

  // Runs the animation from the frame on show; does nothing once the play count is used up.
  void Start();
  // Pauses on the frame on show.
  void Stop();
  bool IsRunning() const { return FRunning; }
  bool Finished() const { return FFinished; }
  // Back to the first frame with the play count unused; keeps running or stopped.
  void Rewind();

  // Moves to the next frame as the timer does when the delay has passed, and emits FrameChanged.
  // After the last frame of the last play it stops on that frame instead.
  void Advance();

 signals:
  void FrameChanged(int index);

 private:
  void ScheduleNext();

  TGifFrames FFrames;
  QTimer FTimer;
  int FIndex = 0;
  int FPlaysDone = 0;
  bool FRunning = false;
  bool FFinished = false;
};

}  // namespace zephra::widgets
