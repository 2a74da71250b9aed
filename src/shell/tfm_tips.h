#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace zephra::shell {

// The toast window: borderless, semi-transparent, on top of other windows, taking no mouse or
// keyboard input. `lblMsg` shows the text with TipLabelLeft/TipLabelTop margins on every side;
// `Timer1` closes the toast. Use ShowTip and CloseTip rather than this class directly.
class TfmTips : public QWidget {
  Q_OBJECT

 public:
  TfmTips();

  QLabel& LblMsg() { return lblMsg_; }
  QTimer& Timer1() { return timer1_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private slots:
  void Timer1Timer();

 private:
  void SetUpWindow();
  void SetUpLabel();
  void PlaceLabel();

  QLabel lblMsg_;
  QTimer timer1_;
};

// Shows `text` in the one toast, creating it if needed; with `milliseconds` above
// TipLongestStay the toast closes itself after that time, otherwise it stays until it is
// replaced or closed. A changed text resizes the toast to fit it. GUI thread.
void ShowTip(const QString& text, int milliseconds);
// Closes the current toast, if any.
void CloseTip();
// The toast on screen, nullptr when none is.
TfmTips* CurrentTip();

// Width of the widest line of `text` and the sum over its lines of (line height + TipLineGap),
// in pixels. Lines end at CR LF, LF or CR.
QSize MeasureTip(const QFontMetrics& metrics, const QString& text);
// Gives `window` the shape of a rounded rectangle from (0, 0) to (width + 1, height + 1) whose
// corners are ellipses of `radius` x `radius` pixels.
void RoundTipCorners(QWidget& window, int radius);
// The toast's font: the desktop's UI font (one that has Chinese glyphs) at TipFontPixels.
QFont TipFont();

}  // namespace zephra::shell
