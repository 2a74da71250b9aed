#include "qrcode/tqr_code.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <climits>
#include <random>

#include "qrcode/picture_transform.h"
#include "symbol_scan.h"

namespace zephra::qrcode {
namespace {

const QByteArray kInstallAddress = "http://192.168.137.1:86/Zephra.apk";

class TQRCodeTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }

  // The install window's settings, in its order.
  static void ShowAddress(TQRCode& code, const QByteArray& address) {
    code.SetPxmag(5);
    code.SetMatch(true);
    code.SetEclevel(1);
    code.SetVersion(6);
    code.SetCode(address);
  }

  // The picture as the control shows it.
  static QImage Picture(const TQRCode& code) {
    if (code.HasBitmap()) return code.Bitmap();
    QImage image(code.Metafile().boundingRect().size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawPicture(0, 0, code.Metafile());
    return image;
  }
  static bool DarkAt(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }
};

// Sample texts for the decode sweep: numeric, alphanumeric, any bytes, mixed, Kanji.
QByteArray SampleText(int kind, int length, unsigned seed) {
  std::mt19937 random(seed);
  static const char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
  static const char kMixed[] = "Zephra wifi 0123456789 http://192.168.137.1:86/ ABC";
  QByteArray text;
  while (text.size() < length) {
    switch (kind) {
      case 0:
        text += char('0' + random() % 10);
        break;
      case 1:
        text += kAlnum[random() % 45];
        break;
      case 2:
        text += char(random() % 256);
        break;
      case 3:
        text += kMixed[random() % (sizeof(kMixed) - 1)];
        break;
      default:
        text += char(0x88 + random() % 0x10);
        text += char(0x40 + random() % 0x3F);
        break;
    }
  }
  return text.left(kind == 4 ? length & ~1 : length);
}

// Every symbol the component paints decodes with zbar to the same bytes: versions 1 to 40,
// all four levels, automatic and fixed modes.
TEST_F(TQRCodeTest, PaintedSymbolsDecodeToTheSameBytes) {
  for (int version = 1; version <= 40; ++version) {
    TQRCode code;
    code.SetMatch(true);
    code.SetPxmag(version < 20 ? 3 : 2);
    code.SetVersion(version);
    const int level = version % 4;
    code.SetEclevel(level);
    const int kind = version % 5;
    const int fixedMode = version % 3 == 0 ? (kind == 4   ? 3
                                              : kind == 3 ? 2
                                                          : std::min(kind, 2))
                                           : -1;
    code.SetEmode(fixedMode);
    const int byteCapacity = code.Encoder().Table().Row(version).Levels[level].Capacity[2];
    const QByteArray text = SampleText(kind, byteCapacity * 2 / 3, static_cast<unsigned>(version));
    code.SetCode(text);
    ASSERT_TRUE(code.SymbolDisped()) << "version " << version;
    const QList<QByteArray> decoded = ScanSymbols(Picture(code));
    ASSERT_EQ(decoded.size(), 1) << "version " << version << " kind " << kind;
    EXPECT_EQ(decoded.front(), text) << "version " << version << " kind " << kind;
  }
}

TEST_F(TQRCodeTest, InstallAddressSymbolSizeAndDecode) {
  TQRCode code;
  ShowAddress(code, kInstallAddress);
  EXPECT_EQ(code.size(), QSize(245, 245));
  EXPECT_EQ(code.Bitmap().size(), QSize(245, 245));
  const QImage picture = Picture(code);
  EXPECT_TRUE(DarkAt(picture, 20, 20));
  EXPECT_FALSE(DarkAt(picture, 19, 19));
  EXPECT_EQ(code.EmodeR(), 2);
  EXPECT_EQ(ScanSymbols(picture), QList<QByteArray>{kInstallAddress});
}

TEST_F(TQRCodeTest, MetafileOutputRecordsTheSameSymbol) {
  TQRCode code;
  code.SetMatch(true);
  code.SetSymbolPicture(picEMF);
  ShowAddress(code, kInstallAddress);
  ASSERT_TRUE(code.HasMetafile());
  EXPECT_EQ(code.Metafile().boundingRect(), QRect(0, 0, 246, 246));
  EXPECT_EQ(ScanSymbols(Picture(code)), QList<QByteArray>{kInstallAddress});
}

TEST_F(TQRCodeTest, SeriesOfSymbolsDecodePieceByPiece) {
  TQRCode code;
  code.SetPxmag(3);
  code.SetMatch(true);
  code.SetVersion(2);
  code.SetColumn(2);
  code.SetCode("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");  // first: an empty code keeps Count at 1
  code.SetMode(qrPlus);
  code.SetCount(3);
  ASSERT_TRUE(code.SymbolDisped());
  EXPECT_EQ(code.size(), QSize(2 * code.SymbolWidthS(), 2 * code.SymbolHeightS()));
  QList<QByteArray> decoded = ScanSymbols(Picture(code));
  std::sort(decoded.begin(), decoded.end());
  EXPECT_EQ(decoded, (QList<QByteArray>{"ABCDEFGHIJK", "LMNOPQRSTUV", "WXYZ012345"}));
}

TEST_F(TQRCodeTest, Sizes) {
  TQRCode code;
  code.SetVersion(1);
  EXPECT_EQ(code.SymbolWidth(), 29);
  EXPECT_EQ(code.QuietZone(), 4);
  code.SetPxmag(2);
  code.SetSymbolSpaceLeft(3);
  code.SetSymbolSpaceRight(4);
  code.SetSymbolSpaceUp(5);
  code.SetSymbolSpaceDown(6);
  code.SetCode("0123456789");
  code.SetCount(5);
  code.SetColumn(2);
  EXPECT_EQ(code.Count(), 5);
  EXPECT_EQ(code.SymbolWidthS(), 58 + 7);
  EXPECT_EQ(code.SymbolHeightS(), 58 + 11);
  EXPECT_EQ(code.SymbolWidthA(), 2 * code.SymbolWidthS());
  EXPECT_EQ(code.SymbolHeightA(), 3 * code.SymbolHeightS());
}

TEST_F(TQRCodeTest, OutOfRangeAndDependentAssignments) {
  TQRCode code;
  code.SetCode("abc");
  for (int pxmag : {0, 11}) code.SetPxmag(pxmag);
  code.SetAngle(45);
  code.SetVersion(41);
  code.SetVersion(0);
  code.SetEmode(4);
  code.SetEclevel(-1);
  code.SetMasktype(8);
  code.SetCount(1025);
  code.SetColumn(0);
  EXPECT_EQ(code.Pxmag(), 1);
  EXPECT_EQ(code.Angle(), 0);
  EXPECT_EQ(code.Version(), 1);
  EXPECT_EQ(code.Emode(), -1);
  EXPECT_EQ(code.Eclevel(), 0);
  EXPECT_EQ(code.Masktype(), -1);
  EXPECT_EQ(code.Count(), 1);
  EXPECT_EQ(code.Column(), 16);

  code.SetSymbolPicture(picEMF);  // Match off
  EXPECT_EQ(code.SymbolPicture(), picBMP);
  code.SetMatch(true);
  code.SetTransparent(true);
  EXPECT_FALSE(code.Match());
  code.SetMatch(true);
  EXPECT_FALSE(code.Transparent());

  code.SetMode(qrPlus);
  EXPECT_EQ(code.Count(), 2);
  code.SetMasktype(5);
  EXPECT_EQ(code.MasktypeR(), 5);
  code.SetEmode(2);
  EXPECT_EQ(code.EmodeR(), 2);
}

TEST_F(TQRCodeTest, EveryRepaintingAssignmentPaintsOnce) {
  TQRCode code;
  int paints = 0;
  code.OnPaintSymbol = [&](TQRCode* sender, bool watch) {
    EXPECT_EQ(sender, &code);
    EXPECT_FALSE(watch);
    ++paints;
  };
  code.SetCode("abc");
  code.SetVersion(2);
  code.SetVersion(2);              // unchanged
  code.SetNumbering(nbrHead);      // Count 1: no repaint
  code.SetCommentUpLoc(locRight);  // empty comment: no repaint
  code.SetSymbolDebug(true);
  EXPECT_EQ(paints, 2);
  code.BeginUpdate();
  code.SetPxmag(2);
  code.SetPxmag(3);
  code.EndUpdate();
  EXPECT_EQ(paints, 3);
  code.SetSymbolEnabled(false);
  code.SetCode("def");
  code.SetSymbolEnabled(true);
  EXPECT_EQ(paints, 4);
}

TEST_F(TQRCodeTest, CodeEventsSurroundThePaint) {
  TQRCode code;
  QStringList order;
  code.OnChangeCode = [&](TQRCode* sender, bool) { order << "change:" + sender->Code(); };
  code.OnPaintSymbol = [&](TQRCode*, bool) { order << "paint"; };
  code.OnPaintedSymbol = [&](TQRCode*, bool) { order << "painted"; };
  code.OnChangedCode = [&](TQRCode* sender, bool) { order << "changed:" + sender->Code(); };
  code.SetCode("x");
  EXPECT_EQ(order, (QStringList{"change:", "paint", "painted", "changed:x"}));
}

TEST_F(TQRCodeTest, FailedSymbolKeepsOrClearsThePicture) {
  TQRCode code;
  code.SetMatch(true);
  code.SetCode("first");
  ASSERT_TRUE(code.SymbolDisped());
  const QImage before = code.Bitmap();
  const QSize sizeBefore = code.size();
  code.SetCode(QByteArray(100, 'x'));  // more than version 1 holds
  EXPECT_FALSE(code.SymbolDisped());
  EXPECT_EQ(code.Bitmap(), before);
  EXPECT_EQ(code.size(), sizeBefore);
  code.SetClearOption(true);  // no symbol shown: clears at once
  EXPECT_FALSE(code.HasBitmap());

  code.SetCode("ok");
  EXPECT_TRUE(code.SymbolDisped());
  code.SetEmode(0);  // "ok" is no number
  EXPECT_FALSE(code.SymbolDisped());
  EXPECT_FALSE(code.HasBitmap());
}

// Data longer than any symbol, or split into pieces that cannot fit, stops the paint without
// touching anything beyond the fixed buffers.
TEST_F(TQRCodeTest, OversizedDataNeverOverruns) {
  TQRCode code;
  code.SetVersion(40);
  code.SetCode(QByteArray(200000, '7'));
  EXPECT_FALSE(code.SymbolDisped());
  code.SetMode(qrConnect);
  code.SetCount(2);
  EXPECT_FALSE(code.SymbolDisped());
  code.SetCount(16);  // 12500-byte pieces
  EXPECT_FALSE(code.SymbolDisped());
  EXPECT_TRUE(code.PBM().size() == 3);
  code.SetMode(qrPlus);
  code.SetCount(1024);  // pieces of 196 digits each fit
  code.SetSymbolDebug(true);
  code.SetCode(QByteArray(300000, '7'));
  EXPECT_TRUE(code.SymbolDisped());
  EXPECT_EQ(code.Count(), 1024);
}

TEST_F(TQRCodeTest, SymbolDebugEncodesWithoutDrawing) {
  TQRCode code;
  code.SetSymbolDebug(true);
  code.SetCommentDown("note");
  code.SetCode("HELLO 12345678");
  EXPECT_TRUE(code.SymbolDisped());
  EXPECT_NE(code.MasktypeR(), -1);
  EXPECT_EQ(code.EmodeR(), 0);
  const QImage picture = code.Bitmap();
  bool anyPixel = false;
  for (int y = 0; y < picture.height() && !anyPixel; ++y) {
    for (int x = 0; x < picture.width() && !anyPixel; ++x) anyPixel = picture.pixel(x, y) != 0;
  }
  EXPECT_FALSE(anyPixel);
}

TEST_F(TQRCodeTest, RotationAndMirrorFollowThePixelRules) {
  QImage image(3, 2, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) image.setPixel(x, y, qRgb(x * 10, y * 10, 0));
  }
  const QImage r90 = RotateImage(image, 90), r180 = RotateImage(image, 180);
  const QImage r270 = RotateImage(image, 270), mirrored = MirrorImage(image);
  ASSERT_EQ(r90.size(), QSize(2, 3));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 2; ++x) {
      EXPECT_EQ(r90.pixel(x, y), image.pixel(y, 2 - 1 - x));
      EXPECT_EQ(r270.pixel(x, y), image.pixel(3 - 1 - y, x));
    }
  }
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(r180.pixel(x, y), image.pixel(3 - 1 - x, 2 - 1 - y));
      EXPECT_EQ(mirrored.pixel(x, y), image.pixel(3 - 1 - x, y));
    }
  }
  const QImage indexed = image.convertToFormat(QImage::Format_Indexed8);
  EXPECT_EQ(RotateImage(indexed, 90).format(), QImage::Format_Indexed8);
  EXPECT_EQ(RotateImage(image, 45), image);
}

TEST_F(TQRCodeTest, AngleAndReverseTurnThePaintedSymbol) {
  TQRCode upright;
  upright.SetMatch(true);
  upright.SetSymbolSpaceDown(7);  // not square, so the swap shows
  upright.SetCode("turn");
  TQRCode turned;
  turned.SetMatch(true);
  turned.SetSymbolSpaceDown(7);
  turned.SetAngle(90);
  turned.SetReverse(true);
  turned.SetCode("turn");
  EXPECT_EQ(turned.size(), upright.size().transposed());
  EXPECT_EQ(turned.Bitmap(), MirrorImage(RotateImage(upright.Bitmap(), 90)));

  // With Match off the picture is turned back before painting and the symbol lands at
  // SymbolLeft, SymbolTop of the turned picture; a repaint in the same place gives the same
  // picture.
  TQRCode fixed;
  fixed.resize(80, 60);
  fixed.SetSymbolLeft(3);
  fixed.SetAngle(270);
  fixed.SetCode("same");
  const QImage once = fixed.Bitmap();
  EXPECT_EQ(fixed.size(), QSize(80, 60));
  EXPECT_EQ(once.size(), QSize(80, 60));
  EXPECT_EQ(once.pixel(2, 0), 0u);  // outside the symbol: untouched
  EXPECT_EQ(once.pixel(3, 0), qRgb(255, 255, 255));
  EXPECT_EQ(once.pixel(31, 28), qRgb(255, 255, 255));
  EXPECT_EQ(once.pixel(32, 29), 0u);
  fixed.SetSymbolColor(Qt::red);
  fixed.SetSymbolColor(Qt::black);
  EXPECT_EQ(fixed.Bitmap(), once);
}

// A mirrored picture at a quarter turn was turned back before the mirror was undone, which left
// the old picture half a turn off under the new symbols.
TEST_F(TQRCodeTest, ReverseAtQuarterTurnRepaintsInPlace) {
  for (const int angle : {90, 270}) {
    TQRCode code;
    code.resize(200, 150);
    code.BeginUpdate();
    code.SetPxmag(3);
    code.SetSymbolLeft(9);
    code.SetTransparent(true);
    code.SetReverse(true);
    code.SetAngle(angle);
    code.SetCode("same");
    code.EndUpdate();
    const QImage once = code.Bitmap();
    code.SetSymbolColor(Qt::red);
    code.SetSymbolColor(Qt::black);
    EXPECT_EQ(code.Bitmap(), once) << angle;
    EXPECT_EQ(ScanSymbols(MirrorImage(code.Bitmap())), QList<QByteArray>{"same"}) << angle;
  }
}

// Matching a control that has no bitmap yet (an empty control) draws at the first paint.
TEST_F(TQRCodeTest, MatchOnEmptyControlDrawsAtOnce) {
  QWidget parent;
  auto* code = new TQRCode(&parent);
  code->resize(0, 0);
  code->SetCode("first");
  code->SetMatch(true);
  EXPECT_TRUE(code->SymbolDisped());
  EXPECT_EQ(code->Bitmap().size(), QSize(29, 29));
}

// Cells larger than any picture (a 14 GB bitmap, or positions beyond the int range) are not
// drawn: no allocation, no overflow, the control keeps its size.
TEST_F(TQRCodeTest, PictureTooLargeIsNotDrawn) {
  TQRCode code;
  code.SetMatch(true);
  code.SetCode("keep");
  ASSERT_TRUE(code.SymbolDisped());
  const QSize size = code.size();
  const QImage before = code.Bitmap();
  code.BeginUpdate();
  code.SetVersion(40);
  code.SetPxmag(10);
  code.SetColumn(32);
  code.SetCode(QByteArray(2048, '7'));
  code.SetMode(qrPlus);
  code.SetCount(1024);
  code.EndUpdate();
  EXPECT_FALSE(code.SymbolDisped());
  EXPECT_EQ(code.size(), size);
  EXPECT_EQ(code.Bitmap(), before);

  TQRCode wide;
  wide.SetCode("wide");
  wide.SetSymbolSpaceLeft(INT_MAX);
  wide.SetSymbolSpaceRight(INT_MAX);
  EXPECT_EQ(wide.SymbolWidthS(), INT_MAX);
  EXPECT_FALSE(wide.SymbolDisped());
  wide.SetSymbolSpaceLeft(0);
  wide.SetSymbolSpaceRight(0);
  wide.SetSymbolLeft(INT_MIN);
  EXPECT_FALSE(wide.SymbolDisped());
  wide.SetSymbolLeft(0);
  EXPECT_TRUE(wide.SymbolDisped());
}

TEST_F(TQRCodeTest, PbmOfVersion1) {
  TQRCode code;
  code.SetCode("PBM");
  const QStringList lines = code.PBM();
  ASSERT_EQ(lines.size(), 3 + 2 + 29);
  EXPECT_EQ(lines[0], "P1");
  EXPECT_EQ(lines[1], "Single Mode (Count = 1)");
  EXPECT_EQ(lines[2], "29 29");
  EXPECT_TRUE(lines[3].isEmpty() && lines[4].isEmpty());
  const QString light = QString(" 0").repeated(29);
  const TQRMatrix& matrix = code.Encoder().Matrix();
  for (int row = 0; row < 29; ++row) {
    const QString& line = lines[5 + row];
    ASSERT_EQ(line.size(), 58);
    if (row < 4 || row >= 25) {
      EXPECT_EQ(line, light);
      continue;
    }
    for (int col = 0; col < 29; ++col) {
      const bool dark = col >= 4 && col < 25 && matrix.IsDark(row - 4, col - 4);
      EXPECT_EQ(line.mid(2 * col, 2), dark ? " 1" : " 0");
    }
  }
}

// The comment region of cell `index` (1-based) in a one-row picture, below the symbol.
QImage CommentStrip(const TQRCode& code, int index, int height) {
  return code.Bitmap().copy(code.SymbolLeft() + (index - 1) * code.SymbolWidthS(),
                            code.SymbolTop() + code.SymbolSpaceUp() + code.SymbolHeight(),
                            code.SymbolWidthS(), height);
}

TEST_F(TQRCodeTest, NumberingWritesEachCellsComment) {
  const int space = 20;
  TQRCode series;
  series.SetMatch(true);
  series.SetSymbolSpaceDown(space);
  series.SetNumbering(nbrTail);
  series.SetCommentDown("Part");
  series.SetPxmag(3);
  series.SetCode("ABCDEF");
  series.SetCount(3);
  ASSERT_TRUE(series.SymbolDisped());
  EXPECT_EQ(series.CommentDown(), "Part");
  EXPECT_EQ(series.CommentUp(), "");
  for (int index = 1; index <= 3; ++index) {
    TQRCode single;
    single.SetMatch(true);
    single.SetSymbolSpaceDown(space);
    single.SetPxmag(3);
    single.SetCommentDown("Part " + QString::number(index));
    single.SetCode("A");
    EXPECT_EQ(CommentStrip(series, index, space), CommentStrip(single, 1, space)) << index;
  }
  // The empty upper comments read 1, 2, 3: dark pixels appear above each symbol cell's top.
  series.SetSymbolSpaceUp(space);
  for (int index = 1; index <= 3; ++index) {
    const QImage above =
        series.Bitmap().copy((index - 1) * series.SymbolWidthS(), 0, series.SymbolWidthS(), space);
    EXPECT_NE(above, QImage(above.size(), above.format()).copy()) << index;
  }
}

}  // namespace
}  // namespace zephra::qrcode
