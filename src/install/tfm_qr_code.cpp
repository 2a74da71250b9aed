#include "install/tfm_qr_code.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QWindow>

#include "install/install_constants.h"

namespace zephra::install {

namespace {

QFont WindowFont() {
  QFont font(QString::fromLatin1(InstallFontFamily));
  font.setPixelSize(InstallFontPixels);
  return font;
}

}  // namespace

TfmQRCode::TfmQRCode(QWidget* parent)
    : QDialog(parent), qrCode1_(this), tntLabel1_(this), imgClose_(this) {
  SetUpWindow();
  SetUpQRCode1();
  SetUpTntLabel1();
  SetUpImgClose();
  RoundCorners();
}

void TfmQRCode::SetUpWindow() {
  setObjectName(QStringLiteral("fmQRCode"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setWindowTitle(QString::fromUtf8(InstallWindowCaption));
  setFont(WindowFont());
  QPalette colours = palette();
  colours.setColor(QPalette::Window, InstallWindowColour);
  setPalette(colours);
  setAutoFillBackground(true);
  setFixedSize(InstallWindowSize);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect placed(QPoint(0, 0), InstallWindowSize);
    placed.moveCenter(screen->geometry().center());
    move(placed.topLeft());
  }
}

// The designed state; painted once, replaced by SetAddress before the window shows.
void TfmQRCode::SetUpQRCode1() {
  qrCode1_.setObjectName(QStringLiteral("QRCode1"));
  qrCode1_.setGeometry(QRect(QRCodePosition, QRCodeDesignSize));
  QFont comFont(QString::fromLatin1(QRCodeFontFamily));
  comFont.setPixelSize(InstallFontPixels);
  qrCode1_.BeginUpdate();
  qrCode1_.SetVersion(QRCodeDesignVersion);
  qrCode1_.SetEclevel(QRCodeDesignEclevel);
  qrCode1_.SetMatch(false);
  qrCode1_.SetTransparent(false);
  qrCode1_.SetComFont(comFont);
  qrCode1_.SetCode(QByteArray(QRCodeDesignCode));
  qrCode1_.EndUpdate();
}

void TfmQRCode::SetUpTntLabel1() {
  tntLabel1_.setObjectName(QStringLiteral("TntLabel1"));
  tntLabel1_.setGeometry(QRect(LabelPosition, LabelSize));
  tntLabel1_.setAlignment(Qt::AlignCenter);
  tntLabel1_.setAutoFillBackground(false);
  tntLabel1_.setTextFormat(Qt::PlainText);
  tntLabel1_.setText(QString::fromUtf8(LabelCaption));
}

void TfmQRCode::SetUpImgClose() {
  imgClose_.setObjectName(QStringLiteral("ImgClose"));
  imgClose_.move(ClosePosition);
  imgClose_.SetGlyphCount(CloseGlyphCount);
  imgClose_.SetAutoSize(true);
  imgClose_.SetPicture(widgets::TGlyphPicture::FromFile(QString::fromLatin1(CloseGlyphFile)));
  imgClose_.setCursor(Qt::PointingHandCursor);
  imgClose_.SetHint(QString::fromUtf8(CloseHint));
  imgClose_.setFocusPolicy(Qt::NoFocus);
  imgClose_.OnClick = [this](widgets::TBitmapButton*) { ImgCloseClick(); };
}

// A rounded rectangle from (0, 0) to (width + 1, height + 1) with corner ellipses of
// InstallCornerEllipse pixels.
void TfmQRCode::RoundCorners() {
  QPainterPath outline;
  const double radius = InstallCornerEllipse / 2.0;
  outline.addRoundedRect(QRectF(0, 0, width() + 1, height() + 1), radius, radius);
  setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void TfmQRCode::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  RoundCorners();
}

void TfmQRCode::SetAddress(const QByteArray& address) {
  qrCode1_.SetPxmag(QRCodePxmag);
  qrCode1_.SetMatch(true);
  qrCode1_.SetEclevel(QRCodeEclevel);
  qrCode1_.SetVersion(QRCodeVersion);
  qrCode1_.SetCode(address);
}

void TfmQRCode::SetTexts(const QString& caption, const QString& advice) {
  setWindowTitle(caption);
  tntLabel1_.setText(advice);
}

void TfmQRCode::ImgCloseClick() { close(); }

bool DragsWindow(QPoint point, const QRect& closeButton) {
  const bool inCloseCorner =
      point.x() >= closeButton.left() - CloseCornerMargin &&
      point.y() <= closeButton.top() + closeButton.height() + CloseCornerMargin;
  return !inCloseCorner;
}

// The window manager moves the window where it can; elsewhere the window follows the pointer.
void TfmQRCode::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton ||
      !DragsWindow(event->position().toPoint(), imgClose_.geometry())) {
    QDialog::mousePressEvent(event);
    return;
  }
  event->accept();
  if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
  dragOffset_ = event->globalPosition().toPoint() - pos();
}

void TfmQRCode::mouseMoveEvent(QMouseEvent* event) {
  if (!dragOffset_ || !(event->buttons() & Qt::LeftButton)) {
    QDialog::mouseMoveEvent(event);
    return;
  }
  move(event->globalPosition().toPoint() - *dragOffset_);
  event->accept();
}

void TfmQRCode::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragOffset_.reset();
  QDialog::mouseReleaseEvent(event);
}

void ShowInstallWindow(const QByteArray& address) {
  TfmQRCode fmQRCode;
  fmQRCode.SetAddress(address);
  fmQRCode.exec();
}

void ShowQrWindow(const QByteArray& code, const QString& caption, const QString& advice) {
  TfmQRCode fmQRCode;
  fmQRCode.SetAddress(code);
  fmQRCode.SetTexts(caption, advice);
  fmQRCode.exec();
}

}  // namespace zephra::install
