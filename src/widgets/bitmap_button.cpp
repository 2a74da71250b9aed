#include "widgets/bitmap_button.h"

#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <algorithm>

namespace zephra::widgets {
namespace {

constexpr QSize InitialSize(44, 20);

// The one button of the program that shows its hover slice.
TBitmapButton* HoveredBitmapButton = nullptr;

}  // namespace

TBitmapButton::TBitmapButton(QWidget* parent) : QWidget(parent) {
  resize(InitialSize);
  setMouseTracking(true);  // mouse moves reach OnMouseMove without a button held
}

TBitmapButton::~TBitmapButton() {
  if (HoveredBitmapButton == this) HoveredBitmapButton = nullptr;
}

TBitmapButton* TBitmapButton::HoveredButton() { return HoveredBitmapButton; }

// ---- properties ----

void TBitmapButton::SetPicture(const TGlyphPicture& picture) {
  FPicture = picture;
  PictureChanged();
}

void TBitmapButton::SetGlyphCount(int count) {
  count = std::max(count, 1);
  if (count == FGlyphCount) return;
  FGlyphCount = count;
  PictureChanged();
}

void TBitmapButton::SetAutoSize(bool on) {
  if (on == FAutoSize) return;
  FAutoSize = on;
  PictureChanged();
}

void TBitmapButton::SetTransparent(bool on) {
  if (on == FTransparent) return;
  FTransparent = on;
  PictureChanged();
}

void TBitmapButton::SetCaption(const QString& caption) {
  FCaption = caption;
  if (!FFont) FFont = DefaultFont();
  if (!FFontDisable) FFontDisable = DefaultFont();
  FBrushClear = true;
  update();
}

void TBitmapButton::SetFont(const TButtonFont& font) {
  FFont = font;
  update();
}

void TBitmapButton::SetFontDisable(const TButtonFont& font) {
  FFontDisable = font;
  update();
}

TButtonFont TBitmapButton::DefaultFont() const {
  return {QFont(), palette().color(QPalette::WindowText)};
}

// The resize rule, run whenever the picture or a sizing property changes.
void TBitmapButton::PictureChanged() {
  if (FAutoSize && FPicture.Width() > 0 && FPicture.Height() > 0) {
    resize(SliceWidth(FPicture.Width(), FGlyphCount), FPicture.Height());
  }
  updateGeometry();
  update();
}

QSize TBitmapButton::sizeHint() const {
  if (!FPicture.HasGraphic()) return InitialSize;
  return {SliceWidth(FPicture.Width(), FGlyphCount), FPicture.Height()};
}

int TBitmapButton::ShownSlice() const { return PaintedSlice(isEnabled(), FSlice, FGlyphCount); }

QRect TBitmapButton::ShownSource() const {
  return SliceRect(ShownSlice(), FPicture.Width(), FPicture.Height(), FGlyphCount);
}

// ---- state changes ----

bool TBitmapButton::MouseActs() const { return FPicture.Width() > 0 && isEnabled(); }

// A button in a window other than the active one takes no hover. A button that is its own
// window has no window to be inactive.
bool TBitmapButton::WindowIsInactive() const {
  const QWidget* form = window();
  return form != this && !form->isActiveWindow();
}

void TBitmapButton::DoMouseEnter() { MouseEnter(); }

void TBitmapButton::DoMouseLeave() { MouseLeave(); }

void TBitmapButton::MouseEnter() {
  if (!MouseActs() || WindowIsInactive()) return;
  if (HoveredBitmapButton != nullptr && HoveredBitmapButton != this) {
    HoveredBitmapButton->MouseLeave();
  }
  HoveredBitmapButton = this;
  FMouseInside = true;
  Apply(EnterStep(FState, FGlyphCount));
  if (OnMouseEnter) OnMouseEnter(this);
}

void TBitmapButton::MouseLeave() {
  if (!MouseActs()) return;
  if (HoveredBitmapButton == this) HoveredBitmapButton = nullptr;
  FMouseInside = false;
  Apply(LeaveStep(FState, FGlyphCount));
  if (OnMouseLeave) OnMouseLeave(this);
}

void TBitmapButton::PressLeft() {
  if (MouseActs()) Apply(PressStep(FState, FGlyphCount));
}

// Enabling shows the normal slice; disabling the disabled slice. Enabling also resets the state
// to normal: a button disabled under the mouse missed its leave, and would otherwise skip the
// hover slice at the next enter.
void TBitmapButton::EnabledChanged() {
  if (FPicture.Width() <= 0) return;
  if (isEnabled()) FState = gsNormal;
  if (FGlyphCount < DisabledGlyphCount) return;
  if (isEnabled()) {
    FSlice = NormalSlice;
  } else if (FGlyphCount == DisabledGlyphCount) {
    FSlice = DisabledSlice;
  }
  ShowNow();
}

void TBitmapButton::Apply(const TGlyphStep& step) {
  FState = step.State;
  if (!step.Slice) return;
  FSlice = *step.Slice;
  ShowNow();
}

// Repaints at once rather than at the next paint cycle, so that quick presses show.
void TBitmapButton::ShowNow() { repaint(); }

// ---- framework events ----

void TBitmapButton::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  MouseEnter();
}

void TBitmapButton::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  MouseLeave();
}

// The handlers may delete the button (a close button's click, say): each runs from a copy, and
// the button is touched again only while `alive`.
void TBitmapButton::mousePressEvent(QMouseEvent* event) {
  const QPointer<TBitmapButton> alive(this);
  if (const TBitmapButtonMouseEvent handler = OnMouseDown) handler(this, event);
  if (alive && event->button() == Qt::LeftButton) PressLeft();
}

void TBitmapButton::mouseReleaseEvent(QMouseEvent* event) {
  const QPointer<TBitmapButton> alive(this);
  if (const TBitmapButtonMouseEvent handler = OnMouseUp) handler(this, event);
  if (!alive || event->button() != Qt::LeftButton) return;
  if (rect().contains(event->position().toPoint())) {
    if (const TBitmapButtonEvent handler = OnClick) handler(this);
  }
  if (alive && FMouseInside && MouseActs()) Apply(ReleaseStep(FGlyphCount));
}

// A double click arrives in place of the second press: the double-click event, then the press.
void TBitmapButton::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPointer<TBitmapButton> alive(this);
  if (event->button() == Qt::LeftButton) {
    if (const TBitmapButtonEvent handler = OnDblClick) handler(this);
  }
  if (alive) mousePressEvent(event);
}

void TBitmapButton::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(this, event);
}

void TBitmapButton::contextMenuEvent(QContextMenuEvent* event) {
  bool handled = false;
  if (OnContextPopup) OnContextPopup(this, event->pos(), handled);
  if (!handled) event->ignore();
}

void TBitmapButton::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) EnabledChanged();
}

// ---- painting ----

void TBitmapButton::paintEvent(QPaintEvent*) {
  if (!FPicture.HasGraphic()) return;
  QPainter painter(this);
  PaintGlyph(painter);
  PaintCaption(painter);
}

// Draws the shown slice at the top-left corner, one slice wide: a PNG with its alpha over
// what lies behind, any other picture opaque with the key colour keyed out.
void TBitmapButton::PaintGlyph(QPainter& painter) const {
  const QRect source = ShownSource();
  if (source.isEmpty()) return;
  if (FPicture.IsPng()) {
    painter.drawImage(QPoint(0, 0), FPicture.Image(), source);
    return;
  }
  std::optional<QColor> fill;
  if (!FTransparent && !FBrushClear) fill = palette().color(backgroundRole());
  painter.drawImage(QPoint(0, 0), KeyedSlice(FPicture.Image(), source, fill));
}

void TBitmapButton::PaintCaption(QPainter& painter) const {
  if (FCaption.isEmpty()) return;
  const std::optional<TButtonFont>& chosen = isEnabled() ? FFont : FFontDisable;
  const TButtonFont font = chosen.value_or(DefaultFont());
  painter.setFont(font.Font);
  painter.setPen(font.Color);
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, FCaption);
}

}  // namespace zephra::widgets
