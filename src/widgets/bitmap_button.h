#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "widgets/bitmap_button_picture.h"
#include "widgets/bitmap_button_slices.h"

class QMouseEvent;

namespace zephra::widgets {

class TBitmapButton;

using TBitmapButtonEvent = std::function<void(TBitmapButton* sender)>;
using TBitmapButtonMouseEvent = std::function<void(TBitmapButton* sender, QMouseEvent* event)>;
// `pos` in button coordinates; set `handled` to keep the context menu request from the parent.
using TBitmapButtonContextEvent =
    std::function<void(TBitmapButton* sender, QPoint pos, bool& handled)>;

// A caption font: typeface and size, and the text colour.
struct TButtonFont {
  QFont Font;
  QColor Color;
  bool operator==(const TButtonFont&) const = default;
};

// A button drawn from one picture of GlyphCount() equally wide slices side by side: normal,
// hover, pressed and disabled. Entering shows the hover slice, pressing the left button the
// pressed slice, releasing inside the hover slice again, leaving the normal slice; a disabled
// button shows the disabled slice. Only one button of the program shows its hover slice at a
// time, and none while its window is not the active window. Mouse-driven changes need a picture
// and an enabled button; each repaints at once. Sizes are in pixels. GUI thread only.
class TBitmapButton : public QWidget {
 public:
  // 44 x 20 pixels, four slices, no picture, no caption.
  explicit TBitmapButton(QWidget* parent = nullptr);
  ~TBitmapButton() override;

  // Assignment copies the picture, then resizes (AutoSize) and repaints.
  const TGlyphPicture& Picture() const { return FPicture; }
  void SetPicture(const TGlyphPicture& picture);
  // Number of slices, at least 1; smaller values become 1.
  int GlyphCount() const { return FGlyphCount; }
  void SetGlyphCount(int count);
  // While set, the button is one slice wide and as high as the picture (once it has one).
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool on);
  // For non-PNG pictures: key-colour pixels show what lies behind the button instead of its
  // background colour. A caption has the same effect.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool on);
  // Accepted for compatibility; the button draws no focus line.
  bool ShowLine() const { return false; }
  void SetShowLine(bool) {}
  // One line of text centred over the image. Assigning it gives the button default caption
  // fonts where it has none yet.
  const QString& Caption() const { return FCaption; }
  void SetCaption(const QString& caption);
  // Caption fonts for the enabled and the disabled button; none until assigned or until a
  // caption is set. Assignment creates the font if needed and repaints.
  const std::optional<TButtonFont>& Font() const { return FFont; }
  void SetFont(const TButtonFont& font);
  const std::optional<TButtonFont>& FontDisable() const { return FFontDisable; }
  void SetFontDisable(const TButtonFont& font);
  // The tooltip text.
  QString Hint() const { return toolTip(); }
  void SetHint(const QString& hint) { setToolTip(hint); }

  // The enter and leave handling as if the mouse had entered or left the button.
  void DoMouseEnter();
  void DoMouseLeave();

  // The button showing its hover slice, or nullptr; shared by all buttons of the program.
  static TBitmapButton* HoveredButton();
  TGlyphState State() const { return FState; }
  bool MouseInside() const { return FMouseInside; }
  // The selected slice, and the slice drawn now (see PaintedSlice in bitmap_button_slices.h).
  int Slice() const { return FSlice; }
  int ShownSlice() const;
  // The picture columns drawn now; empty without a picture or with a picture narrower than
  // GlyphCount() pixels.
  QRect ShownSource() const;

  QSize sizeHint() const override;

  TBitmapButtonEvent OnClick;
  TBitmapButtonEvent OnDblClick;
  TBitmapButtonEvent OnMouseEnter;
  TBitmapButtonEvent OnMouseLeave;
  TBitmapButtonMouseEvent OnMouseDown;
  TBitmapButtonMouseEvent OnMouseMove;
  TBitmapButtonMouseEvent OnMouseUp;
  TBitmapButtonContextEvent OnContextPopup;

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool MouseActs() const;
  bool WindowIsInactive() const;
  void MouseEnter();
  void MouseLeave();
  void PressLeft();
  void EnabledChanged();
  void Apply(const TGlyphStep& step);
  void ShowNow();
  void PictureChanged();
  TButtonFont DefaultFont() const;

  void PaintGlyph(QPainter& painter) const;
  void PaintCaption(QPainter& painter) const;

  TGlyphPicture FPicture;
  int FGlyphCount = DefaultGlyphCount;
  bool FAutoSize = false;
  bool FTransparent = false;
  QString FCaption;
  bool FBrushClear = false;  // set by a caption: key-colour pixels stay transparent
  std::optional<TButtonFont> FFont;
  std::optional<TButtonFont> FFontDisable;
  int FSlice = NormalSlice;
  bool FMouseInside = false;
  TGlyphState FState = gsReleased;
};

}  // namespace zephra::widgets
