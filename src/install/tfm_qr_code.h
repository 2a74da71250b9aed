#pragma once

#include <QByteArray>
#include <QDialog>
#include <QLabel>
#include <QPoint>
#include <QRect>
#include <optional>

#include "qrcode/tqr_code.h"
#include "widgets/bitmap_button.h"

class QMouseEvent;

namespace zephra::install {

// fmQRCode, the install window: a borderless 270 x 290 window with rounded corners that shows
// the QR symbol of the download address (QRCode1), a line of advice (TntLabel1) and a close
// button (ImgClose) in its top-right corner. Pressing anywhere outside the corner around the
// close button and dragging moves the window. GUI thread only.
class TfmQRCode : public QDialog {
 public:
  // FormCreate: the window, centred on the primary screen, with the symbol in its designed
  // state (a placeholder code that SetAddress replaces).
  explicit TfmQRCode(QWidget* parent = nullptr);

  // Shows `address` on QRCode1: 5 pixels a module, sized to the symbol, level M, version 6;
  // the symbol then covers (12, 12) to (257, 257).
  void SetAddress(const QByteArray& address);
  // The caption (for the window manager) and the line under the symbol.
  void SetTexts(const QString& caption, const QString& advice);

  qrcode::TQRCode& QRCode1() { return qrCode1_; }
  QLabel& TntLabel1() { return tntLabel1_; }
  widgets::TBitmapButton& ImgClose() { return imgClose_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SetUpWindow();
  void SetUpQRCode1();
  void SetUpTntLabel1();
  void SetUpImgClose();
  void RoundCorners();
  void ImgCloseClick();

  qrcode::TQRCode qrCode1_;
  QLabel tntLabel1_;
  widgets::TBitmapButton imgClose_;
  // Where the pointer held the window when the window manager does not move it itself; in
  // window coordinates, while a drag runs.
  std::optional<QPoint> dragOffset_;
};

// Whether a press at `point` (window coordinates) drags the window: everywhere except the
// corner from CloseCornerMargin pixels left of `closeButton` to the right edge and from the top
// down to CloseCornerMargin pixels below it.
bool DragsWindow(QPoint point, const QRect& closeButton);

// ShowInstallWindow: creates the window, shows `address` on it, runs it modally and frees it
// once it has closed.
void ShowInstallWindow(const QByteArray& address);
// The same window with `caption` and `advice` of its own: the browser phone's address.
void ShowQrWindow(const QByteArray& code, const QString& caption, const QString& advice);

}  // namespace zephra::install
