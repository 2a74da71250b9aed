#include "qrcode/tqr_code.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <climits>

#include "qrcode/picture_transform.h"

namespace zephra::qrcode {
namespace {

constexpr int kMaxPxmag = 10;
constexpr int kQuarter = 90, kHalf = 180, kThreeQuarters = 270, kFullTurn = 360;
constexpr QImage::Format kBitmapFormat = QImage::Format_ARGB32_Premultiplied;
constexpr std::int64_t kBitmapBytesPerPixel = 4;
// The largest picture: a side no longer than a widget may be, and no more bytes than an int
// counts.
constexpr std::int64_t kMaxPictureSide = QWIDGETSIZE_MAX;
constexpr std::int64_t kMaxPictureBytes = INT_MAX;

bool PictureFits(std::int64_t width, std::int64_t height) {
  return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height * kBitmapBytesPerPixel <= kMaxPictureBytes;
}

int Saturated(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// Stores `value` in `field`; false when it was already there.
template <typename T>
bool Assign(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

bool IsRightAngle(int angle) {
  return angle == 0 || angle == kQuarter || angle == kHalf || angle == kThreeQuarters;
}

}  // namespace

TQRCode::TQRCode(QWidget* parent) : QWidget(parent), FEncoder(std::make_unique<TQREncoder>()) {}

TQRCode::~TQRCode() { CloseMetafileCanvas(); }

void TQRCode::BeginUpdate() { ++FUpdateCount; }

void TQRCode::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0 && FPaintPending) {
    FPaintPending = false;
    PaintSymbol();
  }
}

// The one change routine of every repainting setter.
void TQRCode::Changed() {
  if (FUpdateCount > 0) {
    FPaintPending = true;
    return;
  }
  PaintSymbol();
}

void TQRCode::Fire(const TNotifyWatchEvent& event) {
  if (event) event(this, FWatch);
}

void TQRCode::SetCode(const QByteArray& code) {
  if (FCode == code) return;
  if (FSymbolEnabled) Fire(OnChangeCode);
  FCode = code;
  FEncoder->Data().ConvertCode(FCode);
  Changed();
  if (FSymbolEnabled) Fire(OnChangedCode);
}

void TQRCode::SetBinaryOperation(bool on) {
  if (BinaryOperation() == on) return;
  FEncoder->Data().SetBinaryOperation(on);
  FEncoder->Data().ConvertCode(FCode);
  Changed();
}

void TQRCode::SetMode(TQRMode mode) {
  if (mode != qrSingle && mode != qrConnect && mode != qrPlus) return;
  TQRData& data = FEncoder->Data();
  if (data.Mode() == mode) return;
  if (mode == qrSingle) {
    data.SetCount(1);
  } else {
    data.SetCount(std::clamp(data.Count(), 2, mode == qrConnect ? MaxConnectCount : MaxCount));
  }
  data.SetMode(mode);
  Changed();
}

void TQRCode::SetCount(int count) {
  if (count < 1 || count > MaxCount || count == Count()) return;
  FEncoder->Data().SetCount(count);
  Changed();
}

void TQRCode::SetColumn(int column) {
  if (column >= 1 && column <= MaxColumn && Assign(FColumn, column)) Changed();
}

void TQRCode::SetNumbering(TNumbering numbering) {
  if (numbering < nbrNone || numbering > nbrIfVoid) return;
  if (Assign(FNumbering, numbering) && Count() > 1) Changed();
}

void TQRCode::SetCommentUp(const QString& comment) {
  if (Assign(FCommentUp, comment)) Changed();
}

void TQRCode::SetCommentDown(const QString& comment) {
  if (Assign(FCommentDown, comment)) Changed();
}

void TQRCode::SetCommentUpLoc(TLocation loc) {
  if (loc < locLeft || loc > locRight) return;
  if (Assign(FCommentUpLoc, loc) && !FCommentUp.isEmpty()) Changed();
}

void TQRCode::SetCommentDownLoc(TLocation loc) {
  if (loc < locLeft || loc > locRight) return;
  if (Assign(FCommentDownLoc, loc) && !FCommentDown.isEmpty()) Changed();
}

void TQRCode::SetSymbolLeft(int left) {
  if (Assign(FSymbolLeft, left)) Changed();
}

void TQRCode::SetSymbolTop(int top) {
  if (Assign(FSymbolTop, top)) Changed();
}

void TQRCode::SetSymbolSpaceUp(int space) {
  if (Assign(FSymbolSpaceUp, space)) Changed();
}

void TQRCode::SetSymbolSpaceDown(int space) {
  if (Assign(FSymbolSpaceDown, space)) Changed();
}

void TQRCode::SetSymbolSpaceLeft(int space) {
  if (Assign(FSymbolSpaceLeft, space)) Changed();
}

void TQRCode::SetSymbolSpaceRight(int space) {
  if (Assign(FSymbolSpaceRight, space)) Changed();
}

void TQRCode::SetVersion(int version) {
  if (version < MinVersion || version > MaxVersion || version == Version()) return;
  FEncoder->SetVersion(version);
  Changed();
}

void TQRCode::SetEmode(int mode) {
  if (mode < ModeAuto || mode >= ModeCount || mode == Emode()) return;
  FEncoder->SetEmode(mode);
  Changed();
}

void TQRCode::SetEclevel(int level) {
  if (level < LevelL || level > LevelH || level == Eclevel()) return;
  FEncoder->SetEclevel(level);
  Changed();
}

void TQRCode::SetMasktype(int mask) {
  if (mask < MaskAuto || mask >= MaskCount || mask == Masktype()) return;
  FEncoder->SetMasktype(mask);
  Changed();
}

void TQRCode::SetPxmag(int pxmag) {
  if (pxmag >= 1 && pxmag <= kMaxPxmag && Assign(FPxmag, pxmag)) Changed();
}

void TQRCode::SetAngle(int angle) {
  if (IsRightAngle(angle) && Assign(FAngle, angle)) Changed();
}

void TQRCode::SetReverse(bool reverse) {
  if (Assign(FReverse, reverse)) Changed();
}

void TQRCode::SetMatch(bool match) {
  if (!Assign(FMatch, match)) return;
  if (match) {
    FTransparent = false;
  } else {
    FSymbolPicture = picBMP;
  }
  Changed();
}

void TQRCode::SetComFont(const QFont& font) {
  if (Assign(FComFont, font)) Changed();
}

void TQRCode::SetTransparent(bool transparent) {
  if (!Assign(FTransparent, transparent)) return;
  if (transparent) {
    FMatch = false;
    FSymbolPicture = picBMP;
  }
  Changed();
}

void TQRCode::SetSymbolColor(const QColor& color) {
  if (Assign(FSymbolColor, color)) Changed();
}

void TQRCode::SetBackColor(const QColor& color) {
  if (Assign(FBackColor, color)) Changed();
}

void TQRCode::SetSymbolPicture(TPictures picture) {
  if (picture < picBMP || picture > picWMF) return;
  if (!FMatch) {
    FSymbolPicture = picBMP;
    return;
  }
  if (Assign(FSymbolPicture, picture)) Changed();
}

void TQRCode::SetSymbolEnabled(bool enabled) {
  if (Assign(FSymbolEnabled, enabled) && enabled) Changed();
}

void TQRCode::SetClearOption(bool on) {
  if (Assign(FClearOption, on) && on && !FSymbolDisped) Clear();
}

void TQRCode::SetAutoSize(bool on) {
  if (!Assign(FAutoSize, on) || !on) return;
  if (HasBitmap()) resize(FBitmap.size());
  if (HasMetafile()) resize(FMetafile.boundingRect().size());
}

void TQRCode::SetStretch(bool on) {
  if (Assign(FStretch, on)) update();
}

std::int64_t TQRCode::CellWidth() const {
  return std::int64_t{SymbolWidth()} + FSymbolSpaceLeft + FSymbolSpaceRight;
}

std::int64_t TQRCode::CellHeight() const {
  return std::int64_t{SymbolHeight()} + FSymbolSpaceUp + FSymbolSpaceDown;
}

std::int64_t TQRCode::CellsWidth() const { return std::min(Count(), FColumn) * CellWidth(); }

std::int64_t TQRCode::CellsHeight() const {
  return (Count() + FColumn - 1) / FColumn * CellHeight();
}

int TQRCode::SymbolWidthS() const { return Saturated(CellWidth()); }
int TQRCode::SymbolHeightS() const { return Saturated(CellHeight()); }
int TQRCode::SymbolWidthA() const { return Saturated(CellsWidth()); }
int TQRCode::SymbolHeightA() const { return Saturated(CellsHeight()); }

// Each term is bounded by the largest side, so every sum the drawing forms of a few of them
// stays far inside the int range.
bool TQRCode::GeometryFits() const {
  const std::int64_t values[] = {FSymbolLeft,      FSymbolTop,       FSymbolSpaceUp,
                                 FSymbolSpaceDown, FSymbolSpaceLeft, FSymbolSpaceRight,
                                 CellsWidth(),     CellsHeight()};
  return std::all_of(std::begin(values), std::end(values), [](std::int64_t value) {
    return value >= -kMaxPictureSide && value <= kMaxPictureSide;
  });
}

void TQRCode::Clear() {
  CloseMetafileCanvas();
  FSymbolDisped = false;
  FGraphic = TGraphic::None;
  FBitmap = QImage();
  FMetafile = QPicture();
  update();
}

void TQRCode::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (HasBitmap()) {
    if (FStretch) {
      painter.drawImage(rect(), FBitmap);
    } else {
      painter.drawImage(0, 0, FBitmap);
    }
  } else if (HasMetafile()) {
    painter.drawPicture(0, 0, FMetafile);
  }
}

void TQRCode::SetPictureBitmap(const QImage& image) {
  FBitmap = image;
  FGraphic = TGraphic::Bitmap;
}

void TQRCode::DrawPicture() {
  PrepareBitmap();
  const int keptLeft = FSymbolLeft, keptTop = FSymbolTop;
  if (!FMatch) Unrotate(keptLeft, keptTop);
  const bool keptAutoSize = FAutoSize, keptStretch = FStretch;
  FAutoSize = FStretch = false;
  PaintSymbols(FSymbolLeft, FSymbolTop);
  CloseMetafileCanvas();
  FSymbolLeft = keptLeft;
  FSymbolTop = keptTop;
  FStretch = keptStretch;
  FAutoSize = false;
  SetAutoSize(keptAutoSize);
  if (!FMatch || FSymbolDisped) Rotate(FAngle);
}

void TQRCode::PaintSymbol() {
  if (!FSymbolEnabled) return;
  FSymbolDisped = false;
  FEncoder->Data().SplitData();
  FEncoder->Data().CheckState(FColumn);
  Fire(OnPaintSymbol);
  // Cells that no picture can hold: nothing is drawn and the picture stays as it is.
  if (GeometryFits()) DrawPicture();
  Fire(OnPaintedSymbol);
  if (!FSymbolDisped && FClearOption && !FSymbolDebug) Clear();
  update();
}

// A 32-bit bitmap to draw on, the size of the control when there was none (and the control is
// not too large for one). A recorded picture stays while recorded output is chosen, so that a
// symbol that fails leaves it on screen.
void TQRCode::PrepareBitmap() {
  if (FSymbolPicture != picBMP && HasMetafile()) return;
  if (!HasBitmap() || FBitmap.isNull()) {
    QImage image;
    if (PictureFits(width(), height())) image = QImage(width(), height(), kBitmapFormat);
    image.fill(Qt::transparent);
    SetPictureBitmap(image);
  } else if (FBitmap.format() != kBitmapFormat) {
    SetPictureBitmap(FBitmap.convertToFormat(kBitmapFormat));
  }
}

// Turns the existing picture back to unrotated coordinates and moves the symbol origin with
// it, so that new symbols land where the rotated picture showed them.
void TQRCode::Unrotate(int keptLeft, int keptTop) {
  const int w = width(), h = height();
  switch (FAngle) {
    case kQuarter:
      FSymbolLeft = keptTop;
      FSymbolTop = w - keptLeft - SymbolHeightA();
      break;
    case kHalf:
      FSymbolLeft = w - keptLeft - SymbolWidthA();
      FSymbolTop = h - keptTop - SymbolHeightA();
      break;
    case kThreeQuarters:
      FSymbolLeft = h - keptTop - SymbolWidthA();
      FSymbolTop = keptLeft;
      break;
    default:
      break;
  }
  // The picture was turned and then mirrored: the mirror is undone first.
  Mirror();
  Turn(FAngle == 0 ? 0 : kFullTurn - FAngle);
}

void TQRCode::PaintSymbols(int baseLeft, int baseTop) {
  const QString keptUp = FCommentUp, keptDown = FCommentDown;
  const TQRData& data = FEncoder->Data();
  for (int i = 1; i <= data.Count(); ++i) {
    FSymbolDisped = false;
    FSymbolLeft = baseLeft + (i - 1) % FColumn * SymbolWidthS();
    FSymbolTop = baseTop + (i - 1) / FColumn * SymbolHeightS();
    if (data.Count() > 1) ApplyNumbering(i, keptUp, keptDown);
    if (data.PieceLength(i) > MaxSymbolBytes) break;
    if (FSymbolPicture == picBMP) {
      DrawBitmapSymbol(i);
    } else {
      DrawMetafileSymbol(i);
    }
    if (!FSymbolDisped) break;
  }
  FCommentUp = keptUp;
  FCommentDown = keptDown;
}

void TQRCode::ApplyNumbering(int index, const QString& keptUp, const QString& keptDown) {
  const QString n = QString::number(index);
  auto numbered = [&](const QString& kept) {
    switch (FNumbering) {
      case nbrHead:
        return kept.isEmpty() ? n : n + " " + kept;
      case nbrTail:
        return kept.isEmpty() ? n : kept + " " + n;
      case nbrIfVoid:
        return kept.isEmpty() ? n : kept;
      default:
        return kept;
    }
  };
  FCommentUp = numbered(keptUp);
  FCommentDown = numbered(keptDown);
}

void TQRCode::DrawBitmapSymbol(int index) {
  if (!FEncoder->EncodeSymbol(index)) return;
  if (FSymbolDebug) {
    FSymbolDisped = true;
    return;
  }
  if (FMatch && index == 1 && !MatchControlSize()) return;
  if (FBitmap.isNull()) return;
  QPainter painter(&FBitmap);
  if (!FTransparent && index == 1) {
    // All cells at once; with Match from the picture's corner.
    const QPoint from = FMatch ? QPoint(0, 0) : QPoint(FSymbolLeft, FSymbolTop);
    const QPoint to(FSymbolLeft + SymbolWidthA(), FSymbolTop + SymbolHeightA());
    painter.fillRect(QRect(from.x(), from.y(), to.x() - from.x(), to.y() - from.y()), FBackColor);
  }
  DrawModules(painter);
  DrawComments(painter);
  FSymbolDisped = true;
}

void TQRCode::DrawMetafileSymbol(int index) {
  if (!FEncoder->EncodeSymbol(index)) {
    if (index > 1 && !FSymbolDebug) CloseMetafileCanvas();
    return;
  }
  if (FSymbolDebug) {
    FSymbolDisped = true;
    return;
  }
  if (index == 1) {
    if (!MatchControlSize()) return;
    CloseMetafileCanvas();
    FMetafile = QPicture();
    FBitmap = QImage();
    FGraphic = TGraphic::Metafile;
    FMetaCanvas = std::make_unique<QPainter>(&FMetafile);
    FMetaCanvas->fillRect(QRect(0, 0, width(), height()), FBackColor);
  }
  if (!FMetaCanvas) return;
  DrawModules(*FMetaCanvas);
  DrawComments(*FMetaCanvas);
  if (index == FEncoder->Data().Count()) {
    CloseMetafileCanvas();
    FMetafile.setBoundingRect(QRect(0, 0, width() + 1, height() + 1));
  }
  FSymbolDisped = true;
}

void TQRCode::CloseMetafileCanvas() {
  if (FMetaCanvas) FMetaCanvas->end();
  FMetaCanvas.reset();
}

// The control, and a bitmap picture with it, take the size of all symbol cells; the bitmap
// keeps what it held at its top-left corner.
bool TQRCode::MatchControlSize() {
  const std::int64_t w = CellsWidth() + FSymbolLeft, h = CellsHeight() + FSymbolTop;
  if (!PictureFits(w, h)) return false;
  resize(static_cast<int>(w), static_cast<int>(h));
  if (FSymbolPicture != picBMP) return true;
  if (!HasBitmap() || FBitmap.isNull()) {
    QImage image(static_cast<int>(w), static_cast<int>(h), kBitmapFormat);
    image.fill(Qt::transparent);
    SetPictureBitmap(image);
  } else {
    SetPictureBitmap(FBitmap.copy(0, 0, static_cast<int>(w), static_cast<int>(h)));
  }
  return true;
}

// One rectangle per horizontal run of dark modules.
void TQRCode::DrawModules(QPainter& painter) const {
  const TQRMatrix& matrix = FEncoder->Matrix();
  const int size = matrix.Size();
  const int x0 = FSymbolLeft + FSymbolSpaceLeft + QuietZone();
  const int y0 = FSymbolTop + FSymbolSpaceUp + QuietZone();
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size;) {
      if (!matrix.IsDark(r, c)) {
        ++c;
        continue;
      }
      const int a = c;
      while (c < size && matrix.IsDark(r, c)) ++c;
      painter.fillRect(x0 + a * FPxmag, y0 + r * FPxmag, (c - a) * FPxmag, FPxmag, FSymbolColor);
    }
  }
}

int TQRCode::CommentX(TLocation loc, int textWidth) const {
  const int room = SymbolWidth() + FSymbolSpaceLeft + FSymbolSpaceRight - textWidth;
  const int d = loc == locCenter ? room / 2 : loc == locRight ? room : 0;
  return FSymbolLeft + std::max(0, d);
}

// The comment above starts at the top of the cell, or higher so that it never covers the
// symbol; the one below ends at the bottom of the cell, or starts right under the symbol.
void TQRCode::DrawComments(QPainter& painter) const {
  painter.setFont(FComFont);
  painter.setPen(FSymbolColor);
  const QFontMetrics metrics = painter.fontMetrics();
  auto draw = [&](const QString& text, TLocation loc, auto topOf) {
    if (text.isEmpty()) return;
    const int textWidth = metrics.horizontalAdvance(text), textHeight = metrics.height();
    const QRect box(CommentX(loc, textWidth), topOf(textHeight), textWidth, textHeight);
    painter.fillRect(box, FBackColor);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  };
  const int symbolBottom = FSymbolTop + FSymbolSpaceUp + SymbolHeight();
  draw(FCommentUp, FCommentUpLoc,
       [&](int th) { return std::min(FSymbolTop, FSymbolTop + FSymbolSpaceUp - th); });
  draw(FCommentDown, FCommentDownLoc,
       [&](int th) { return std::max(symbolBottom, symbolBottom + FSymbolSpaceDown - th); });
}

void TQRCode::Rotate(int angle) {
  Turn(angle);
  Mirror();
}

void TQRCode::Turn(int angle) {
  if (!HasBitmap() || FBitmap.isNull()) return;
  if (angle != kQuarter && angle != kHalf && angle != kThreeQuarters) return;
  SetPictureBitmap(RotateImage(FBitmap, angle));
  if (angle != kHalf) resize(height(), width());
  update();
}

void TQRCode::Mirror() {
  if (FReverse && HasBitmap() && !FBitmap.isNull()) SetPictureBitmap(MirrorImage(FBitmap));
}

QStringList TQRCode::PBM() {
  QStringList lines;
  lines << "P1";
  const TQRData& data = FEncoder->Data();
  const char* mode = data.Mode() == qrSingle    ? "Single Mode (Count = "
                     : data.Mode() == qrConnect ? "Connect Mode (Count = "
                                                : "Plus Mode (Count = ";
  lines << QString::fromLatin1(mode) + QString::number(data.Count()) + ")";
  const QString side = QString::number(SymbolWidth());
  lines << side + " " + side;
  for (int i = 1; i <= data.Count(); ++i) {
    if (data.PieceLength(i) > MaxSymbolBytes || !FEncoder->EncodeSymbol(i)) break;
    lines << QString() << QString();
    AppendRaster(lines);
  }
  return lines;
}

// Each pixel " 0" (light) or " 1" (dark); the quiet zone of 4 modules on every side.
void TQRCode::AppendRaster(QStringList& lines) const {
  const TQRMatrix& matrix = FEncoder->Matrix();
  const QString light = QStringLiteral(" 0"), dark = QStringLiteral(" 1");
  const QString quiet = light.repeated(QuietZone());
  const QString lightLine = light.repeated(SymbolWidth());
  for (int k = 0; k < QuietZone(); ++k) lines << lightLine;
  for (int r = 0; r < matrix.Size(); ++r) {
    QString line = quiet;
    for (int c = 0; c < matrix.Size(); ++c)
      line += (matrix.IsDark(r, c) ? dark : light).repeated(FPxmag);
    line += quiet;
    for (int k = 0; k < FPxmag; ++k) lines << line;
  }
  for (int k = 0; k < QuietZone(); ++k) lines << lightLine;
}

}  // namespace zephra::qrcode
