#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPicture>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "qrcode/qr_encoder.h"

class QPainter;

namespace zephra::qrcode {

enum TNumbering : int { nbrNone, nbrHead, nbrTail, nbrIfVoid };
enum TLocation : int { locLeft, locCenter, locRight };
// Bitmap, or a recorded picture (QPicture) for both metafile kinds.
enum TPictures : int { picBMP, picEMF, picWMF };

class TQRCode;
// Sender and the component's watch flag (always false).
using TNotifyWatchEvent = std::function<void(TQRCode* sender, bool watch)>;

// A picture control that shows QR Code symbols. It holds one picture, a 32-bit bitmap or a
// recorded picture, and paints it at its top-left corner (scaled to the control with Stretch).
// Every property assignment in range repaints at once; an assignment out of range or of the
// current value is ignored. Sizes are in pixels. GUI thread only.
class TQRCode : public QWidget {
 public:
  explicit TQRCode(QWidget* parent = nullptr);
  ~TQRCode() override;

  // Encodes and paints all symbols into the picture. Throws EQRCodeError when the split state
  // breaks an invariant (CheckState). Does nothing while SymbolEnabled is off. Cells or a matched
  // picture beyond 16777215 pixels a side, or a bitmap beyond 2^31 - 1 bytes, are not drawn:
  // SymbolDisped stays off as for a symbol that does not fit.
  virtual void PaintSymbol();
  // SymbolDisped off and the picture emptied.
  virtual void Clear();

  // Several assignments between BeginUpdate and EndUpdate paint once, at the last EndUpdate.
  void BeginUpdate();
  void EndUpdate();

  // The code text: 8-bit bytes, taken as they are.
  QByteArray Code() const { return FCode; }
  void SetCode(const QByteArray& code);
  int Len() const { return FEncoder->Data().Len(); }
  bool Binary() const { return FEncoder->Data().Binary(); }
  bool BinaryOperation() const { return FEncoder->Data().BinaryOperation(); }
  void SetBinaryOperation(bool on);
  TQRMode Mode() const { return FEncoder->Data().Mode(); }
  void SetMode(TQRMode mode);
  int Count() const { return FEncoder->Data().Count(); }  // 1..1024
  void SetCount(int count);
  int Column() const { return FColumn; }  // 1..1024 symbols per row
  void SetColumn(int column);
  int Parity() const { return FEncoder->Data().Parity(); }
  TNumbering Numbering() const { return FNumbering; }
  void SetNumbering(TNumbering numbering);
  QString CommentUp() const { return FCommentUp; }
  void SetCommentUp(const QString& comment);
  QString CommentDown() const { return FCommentDown; }
  void SetCommentDown(const QString& comment);
  TLocation CommentUpLoc() const { return FCommentUpLoc; }
  void SetCommentUpLoc(TLocation loc);
  TLocation CommentDownLoc() const { return FCommentDownLoc; }
  void SetCommentDownLoc(TLocation loc);
  int SymbolLeft() const { return FSymbolLeft; }
  void SetSymbolLeft(int left);
  int SymbolTop() const { return FSymbolTop; }
  void SetSymbolTop(int top);
  int SymbolSpaceUp() const { return FSymbolSpaceUp; }
  void SetSymbolSpaceUp(int space);
  int SymbolSpaceDown() const { return FSymbolSpaceDown; }
  void SetSymbolSpaceDown(int space);
  int SymbolSpaceLeft() const { return FSymbolSpaceLeft; }
  void SetSymbolSpaceLeft(int space);
  int SymbolSpaceRight() const { return FSymbolSpaceRight; }
  void SetSymbolSpaceRight(int space);
  int Version() const { return FEncoder->Version(); }  // 1..40
  void SetVersion(int version);
  int Emode() const { return FEncoder->Emode(); }  // -1 automatic, 0..3
  void SetEmode(int mode);
  int EmodeR() const { return FEncoder->EmodeR(); }
  int Eclevel() const { return FEncoder->Eclevel(); }  // 0..3 = L, M, Q, H
  void SetEclevel(int level);
  int Masktype() const { return FEncoder->Masktype(); }  // -1 automatic, 0..7
  void SetMasktype(int mask);
  int MasktypeR() const { return FEncoder->MasktypeR(); }
  int Capacity() const { return FEncoder->Capacity(); }
  int Pxmag() const { return FPxmag; }  // 1..10 pixels per module side
  void SetPxmag(int pxmag);
  int Angle() const { return FAngle; }  // 0, 90, 180 or 270
  void SetAngle(int angle);
  bool Reverse() const { return FReverse; }
  void SetReverse(bool reverse);
  bool Match() const { return FMatch; }
  void SetMatch(bool match);
  QFont ComFont() const { return FComFont; }
  void SetComFont(const QFont& font);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool transparent);
  QColor SymbolColor() const { return FSymbolColor; }
  void SetSymbolColor(const QColor& color);
  QColor BackColor() const { return FBackColor; }
  void SetBackColor(const QColor& color);
  TPictures SymbolPicture() const { return FSymbolPicture; }
  void SetSymbolPicture(TPictures picture);
  bool SymbolEnabled() const { return FSymbolEnabled; }
  void SetSymbolEnabled(bool enabled);
  bool SymbolDebug() const { return FSymbolDebug; }
  void SetSymbolDebug(bool debug) { FSymbolDebug = debug; }
  bool SymbolDisped() const { return FSymbolDisped; }
  bool ClearOption() const { return FClearOption; }
  void SetClearOption(bool on);
  // The image control's flags: AutoSize fits the control to the picture, Stretch scales the
  // picture to the control.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool on);
  bool Stretch() const { return FStretch; }
  void SetStretch(bool on);

  // The symbols as a plain PBM text ("P1"), built anew at each read.
  QStringList PBM();

  int QuietZone() const { return QuietModules * FPxmag; }
  int SymbolWidth() const { return (Modules() + 2 * QuietModules) * FPxmag; }
  int SymbolHeight() const { return SymbolWidth(); }
  // One cell and all cells; a size beyond the int range reads as the nearest int.
  int SymbolWidthS() const;
  int SymbolHeightS() const;
  int SymbolWidthA() const;
  int SymbolHeightA() const;

  // The picture: a bitmap, a recorded picture, or neither after Clear.
  bool HasBitmap() const { return FGraphic == TGraphic::Bitmap; }
  bool HasMetafile() const { return FGraphic == TGraphic::Metafile; }
  const QImage& Bitmap() const { return FBitmap; }
  const QPicture& Metafile() const { return FMetafile; }
  // The encoder with the matrix of the last symbol encoded.
  const TQREncoder& Encoder() const { return *FEncoder; }

  TNotifyWatchEvent OnChangeCode;
  TNotifyWatchEvent OnChangedCode;
  TNotifyWatchEvent OnPaintSymbol;
  TNotifyWatchEvent OnPaintedSymbol;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  enum class TGraphic { None, Bitmap, Metafile };

  int Modules() const { return 17 + 4 * FEncoder->Version(); }
  // The cell sizes in 64 bits: the spaces and positions are any int.
  std::int64_t CellWidth() const;
  std::int64_t CellHeight() const;
  std::int64_t CellsWidth() const;
  std::int64_t CellsHeight() const;
  // Whether the positions and sizes of a paint stay within the largest picture side, so that
  // the drawing's int arithmetic cannot overflow.
  bool GeometryFits() const;
  void Changed();
  void Fire(const TNotifyWatchEvent& event);
  void SetPictureBitmap(const QImage& image);

  // Steps of PaintSymbol.
  void DrawPicture();
  void PrepareBitmap();
  void Unrotate(int keptLeft, int keptTop);
  void PaintSymbols(int baseLeft, int baseTop);
  void ApplyNumbering(int index, const QString& keptUp, const QString& keptDown);
  void CloseMetafileCanvas();

  // Symbol `index` into the bitmap or the recorded picture.
  void DrawBitmapSymbol(int index);
  void DrawMetafileSymbol(int index);
  // False, with the control and picture left as they are, when the matched picture would be
  // larger than a picture may be.
  bool MatchControlSize();
  void DrawModules(QPainter& painter) const;
  void DrawComments(QPainter& painter) const;
  int CommentX(TLocation loc, int textWidth) const;

  // Turns the bitmap by `angle`, then mirrors it when Reverse is on.
  void Rotate(int angle);
  // Turns the bitmap by `angle` (90, 180 or 270; else nothing) and swaps the control's sides
  // for a quarter turn.
  void Turn(int angle);
  void Mirror();

  void AppendRaster(QStringList& lines) const;

  std::unique_ptr<TQREncoder> FEncoder;
  QByteArray FCode;
  int FColumn = 16;
  TNumbering FNumbering = nbrIfVoid;
  QString FCommentUp, FCommentDown;
  TLocation FCommentUpLoc = locLeft, FCommentDownLoc = locLeft;
  int FSymbolLeft = 0, FSymbolTop = 0;
  int FSymbolSpaceUp = 0, FSymbolSpaceDown = 0, FSymbolSpaceLeft = 0, FSymbolSpaceRight = 0;
  int FPxmag = 1;
  int FAngle = 0;
  bool FReverse = false;
  bool FMatch = false;
  QFont FComFont;
  bool FTransparent = false;
  QColor FSymbolColor = QColor(0, 0, 0);
  QColor FBackColor = QColor(255, 255, 255);
  TPictures FSymbolPicture = picBMP;
  bool FSymbolEnabled = true;
  bool FSymbolDebug = false;
  bool FSymbolDisped = false;
  bool FClearOption = false;
  bool FAutoSize = false;
  bool FStretch = false;
  bool FWatch = false;
  int FUpdateCount = 0;
  bool FPaintPending = false;

  TGraphic FGraphic = TGraphic::None;
  QImage FBitmap;
  QPicture FMetafile;
  std::unique_ptr<QPainter> FMetaCanvas;  // open while a recorded picture is being drawn
};

}  // namespace zephra::qrcode
