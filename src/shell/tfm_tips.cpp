#include "shell/tfm_tips.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainterPath>
#include <QPointer>
#include <QRegion>
#include <QRegularExpression>
#include <QScreen>

#include "shell/shell_constants.h"

namespace zephra::shell {

namespace {

// Size the toast has before its first text is measured.
constexpr QSize TipDesignSize{384, 28};
constexpr int FullAlpha = 255;

// The one toast window of the program.
QPointer<TfmTips> currentTip;

QString CjkFamilyFor(const QString& family) {
  if (QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese)) {
    return family;
  }
  const QStringList cjk = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  return cjk.isEmpty() ? family : cjk.first();
}

// Bottom-right corner of the primary screen's full area (not the work area).
QPoint TipPosition(const QSize& size) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(QPoint(0, 0), size);
  return {area.x() + area.width() - size.width() - TipRightGap,
          area.y() + area.height() - size.height() - TipBottomGap};
}

void FitToText(TfmTips& tip, const QString& text) {
  const QSize extent = MeasureTip(tip.LblMsg().fontMetrics(), text);
  tip.resize(2 * TipLabelLeft + extent.width(), 2 * TipLabelTop + extent.height());
  tip.LblMsg().setText(text);
}

}  // namespace

TfmTips::TfmTips() : QWidget(nullptr), lblMsg_(this) {
  SetUpWindow();
  SetUpLabel();
  timer1_.setSingleShot(true);
  connect(&timer1_, &QTimer::timeout, this, &TfmTips::Timer1Timer);
}

void TfmTips::SetUpWindow() {
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                 Qt::X11BypassWindowManagerHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setWindowOpacity(static_cast<double>(TipAlpha) / FullAlpha);
  // Disabled widgets take no input; the colours stay those of an enabled one.
  QPalette colours = palette();
  for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Window, TipColour);
    colours.setColor(group, QPalette::WindowText, Qt::black);
  }
  setPalette(colours);
  setAutoFillBackground(true);
  setEnabled(false);
  resize(TipDesignSize);
}

void TfmTips::SetUpLabel() {
  lblMsg_.setObjectName(QStringLiteral("lblMsg"));
  lblMsg_.setFont(TipFont());
  lblMsg_.setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblMsg_.setTextFormat(Qt::PlainText);
  lblMsg_.setWordWrap(false);
  lblMsg_.setAutoFillBackground(false);
  PlaceLabel();
}

// The label keeps its margins on all four sides.
void TfmTips::PlaceLabel() {
  lblMsg_.setGeometry(TipLabelLeft, TipLabelTop, width() - 2 * TipLabelLeft,
                      height() - 2 * TipLabelTop);
}

void TfmTips::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceLabel();
}

void TfmTips::Timer1Timer() { CloseTip(); }

QSize MeasureTip(const QFontMetrics& metrics, const QString& text) {
  static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
  int width = 0;
  int height = 0;
  for (const QString& line : text.split(lineBreak)) {
    width = std::max(width, metrics.horizontalAdvance(line));
    height += metrics.height() + TipLineGap;
  }
  return {width, height};
}

void RoundTipCorners(QWidget& window, int radius) {
  QPainterPath shape;
  const double cornerRadius = radius / 2.0;
  shape.addRoundedRect(QRectF(0, 0, window.width() + 1, window.height() + 1), cornerRadius,
                       cornerRadius);
  window.setMask(QRegion(shape.toFillPolygon().toPolygon()));
  window.update();
}

QFont TipFont() {
  QFont font = QApplication::font();
  font.setFamily(CjkFamilyFor(font.family()));
  font.setPixelSize(TipFontPixels);
  return font;
}

void ShowTip(const QString& text, int milliseconds) {
  if (currentTip) {
    currentTip->Timer1().stop();
  } else {
    currentTip = new TfmTips();
  }
  TfmTips& tip = *currentTip;
  if (text != tip.LblMsg().text()) {
    FitToText(tip, text);
  }
  tip.move(TipPosition(tip.size()));
  RoundTipCorners(tip, TipCornerRadius);
  tip.show();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // The toast may have been closed while events were processed.
  if (currentTip && milliseconds > TipLongestStay) {
    currentTip->Timer1().start(milliseconds);
  }
}

void CloseTip() {
  if (!currentTip) {
    return;
  }
  TfmTips* tip = currentTip;
  currentTip = nullptr;
  tip->Timer1().stop();
  tip->hide();
  // The toast's own timer may be what called this: free it once control is back in the loop.
  tip->deleteLater();
}

TfmTips* CurrentTip() { return currentTip; }

}  // namespace zephra::shell
