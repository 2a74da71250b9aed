#include "qrcode/qr_data.h"

#include <gtest/gtest.h>

#include <vector>

namespace zephra::qrcode {
namespace {

std::vector<int> OffsetsOf(const TQRData& data) {
  std::vector<int> offsets;
  for (int i = 0; i <= data.Count(); ++i) offsets.push_back(data.Offset(i));
  return offsets;
}

TQRData Split(const QByteArray& code, int count, TQRMode mode = qrSingle) {
  TQRData data;
  data.ConvertCode(code);
  data.SetMode(mode);
  data.SetCount(count);
  data.SplitData();
  return data;
}

std::string CheckMessage(TQRData& data, int column = 16) {
  try {
    data.CheckState(column);
  } catch (const EQRCodeError& error) {
    return error.what();
  }
  return {};
}

TEST(QRData, EscapesDecodeToBytes) {
  TQRData data;
  data.SetBinaryOperation(true);
  data.ConvertCode("A~0D0A~B");
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data.Data()), data.Len()), "A\r\nB");
  EXPECT_FALSE(data.Binary());
  EXPECT_TRUE(data.BinaryOperation());

  data.ConvertCode("~1f~");
  ASSERT_EQ(data.Len(), 1);
  EXPECT_EQ(data.Data()[0], 0x1F);
  EXPECT_TRUE(data.Binary());

  data.ConvertCode("a~~b~00ff~");
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data.Data()), data.Len()),
            QByteArray("a~b\0\xff", 5));
  EXPECT_TRUE(data.Binary());
}

TEST(QRData, MalformedEscapeKeepsRawTextAndSwitchesOff) {
  for (const char* code : {"~1~", "~zz~", "ab~12", "~0~1~"}) {
    TQRData data;
    data.SetBinaryOperation(true);
    data.ConvertCode(code);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data.Data()), data.Len()), code);
    EXPECT_FALSE(data.BinaryOperation()) << code;
    EXPECT_FALSE(data.Binary()) << code;
  }
  TQRData plain;  // escapes are text while the operation is off
  plain.ConvertCode("~1F~");
  EXPECT_EQ(plain.Len(), 4);
}

TEST(QRData, SplitDataPieces) {
  TQRData three = Split("0123456789", 3);
  EXPECT_EQ(OffsetsOf(three), (std::vector<int>{0, 4, 8, 10}));
  EXPECT_EQ(three.Mode(), qrConnect);

  TQRData fewer = Split("abc", 5);
  EXPECT_EQ(fewer.Count(), 3);
  EXPECT_EQ(OffsetsOf(fewer), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(fewer.Mode(), qrConnect);

  TQRData empty = Split("", 7, qrPlus);
  EXPECT_EQ(empty.Count(), 1);
  EXPECT_EQ(empty.Mode(), qrSingle);
  EXPECT_EQ(CheckMessage(empty), "");

  TQRData plus = Split(QByteArray(100, 'x'), 20);
  EXPECT_EQ(plus.Mode(), qrPlus);
  EXPECT_EQ(plus.Count(), 20);

  // The last piece takes the rest when a bigger chunk would leave symbols empty.
  TQRData rest = Split("abcde", 4);
  EXPECT_EQ(OffsetsOf(rest), (std::vector<int>{0, 1, 2, 3, 5}));

  TQRData many = Split(QByteArray(5000, 'x'), 5000);
  EXPECT_EQ(many.Count(), MaxCount);
  EXPECT_EQ(CheckMessage(many), "");
}

TEST(QRData, SplitDataKeepsDoubleByteCharactersWhole) {
  // A cut on a trail byte moves back to the lead byte, or forward when that would leave an
  // empty piece; when forward reaches the end, no more boundaries are set.
  TQRData back = Split(
      "a\x88\x9f"
      "b",
      2);
  EXPECT_EQ(OffsetsOf(back), (std::vector<int>{0, 1, 4}));
  TQRData forward = Split("\x88\x9f\x88\x9f", 4);
  EXPECT_EQ(OffsetsOf(forward), (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(forward.Count(), 2);
  // A byte of the trail set that no lead byte precedes is no trail byte.
  TQRData single = Split(
      "ab\x9f"
      "c",
      2);
  EXPECT_EQ(OffsetsOf(single), (std::vector<int>{0, 2, 4}));
}

TEST(QRData, CheckStateMessages) {
  TQRData data = Split(QByteArray(100, 'x'), 3);
  EXPECT_EQ(CheckMessage(data, 0), "Illegal Column : 0");
  EXPECT_EQ(CheckMessage(data, 1025), "Illegal Column : 1025");
  data.SetOffsetForTest(3, 120);
  EXPECT_EQ(CheckMessage(data), "Illegal Offset[3] : 120");
  data.SetOffsetForTest(3, 100);
  data.SetOffsetForTest(2, 20);
  EXPECT_EQ(CheckMessage(data), "Illegal Offset[2] : 20");
  data.SetOffsetForTest(0, 5);
  EXPECT_EQ(CheckMessage(data), "Illegal Offset[0] : 5");
  data.SetCount(20);
  EXPECT_EQ(CheckMessage(data), "Illegal Count : 20");
  data.SetCount(0);
  EXPECT_EQ(CheckMessage(data), "Illegal Count : 0");
  data.SetCount(2);
  data.SetMode(static_cast<TQRMode>(7));
  EXPECT_EQ(CheckMessage(data), "Illegal Mode : 7");

  TQRData empty = Split("", 1);
  empty.SetMode(qrConnect);
  EXPECT_EQ(CheckMessage(empty), "Illegal Mode : 1");
  empty.SetMode(qrSingle);
  empty.SetOffsetForTest(1, 3);
  EXPECT_EQ(CheckMessage(empty), "Illegal Offset[1] : 3");
}

TEST(QRData, ParityOnlyInConnectMode) {
  TQRData connect = Split("\x01\x02\x04", 2);
  ASSERT_EQ(CheckMessage(connect), "");
  EXPECT_EQ(connect.Parity(), 0x07);
  TQRData single = Split("\x01\x02\x04", 1);
  ASSERT_EQ(CheckMessage(single), "");
  EXPECT_EQ(single.Parity(), 0);
}

}  // namespace
}  // namespace zephra::qrcode
