#include "link/link_message.h"

#include <gtest/gtest.h>

#include <QtEndian>

namespace zephra::link {
namespace {

QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

// A list payload as the phone sends it: two reserved words, the start index, UTF-16BE text.
QByteArray ListPayload(std::int32_t index, const QString& text, bool oddTail = false) {
  QByteArray payload(12, '\0');
  qToBigEndian<quint32>(static_cast<quint32>(index), payload.data() + 8);
  for (QChar c : text) {
    char unit[2];
    qToBigEndian<quint16>(c.unicode(), unit);
    payload.append(unit, 2);
  }
  if (oddTail) payload.append('\x7f');
  return payload;
}

TEST(LinkMessage, PcMessagesAreByteExact) {
  EXPECT_EQ(MakeHelloReply(stOk), Hex("00007815000003E900000008000F462800000000"));
  EXPECT_EQ(MakeHelloReply(stBusy).right(4), Hex("00000004"));
  EXPECT_EQ(MakeKeepAliveEcho(), Hex("00007815000004AF00000000"));
  EXPECT_EQ(MakeViewStop(ViewStopClosedByUser), Hex("00007815000003ED0000000400000001"));
}

TEST(LinkMessage, ChunkRequestCarriesAtMost256NameUnits) {
  QString name(300, u'x');
  name[0] = u'/';
  name[255] = QChar(0x4E2D);  // last unit kept, outside Latin-1
  const QByteArray message = MakeChunkRequest(7, 2 * ChunkSize, name);

  ASSERT_EQ(message.size(), 12 + 524);
  EXPECT_EQ(message.left(12), Hex("00007815000003EE0000020C"));
  EXPECT_EQ(message.mid(12, 12), Hex("00000007" "0002EE00" "00017700"));
  EXPECT_EQ(message.mid(24, 2), Hex("002F"));
  EXPECT_EQ(message.mid(24 + 2 * 255, 2), Hex("4E2D"));

  const QByteArray shortName = MakeChunkRequest(0, 0, u"/a");
  EXPECT_EQ(shortName, Hex("00007815000003EE00000010" "00000000" "00000000" "00017700" "002F0061"));
}

TEST(LinkMessage, HeaderAndNumbersAreBigEndian) {
  const TLinkHeader header = DecodeHeader(
      reinterpret_cast<const unsigned char*>(Hex("0000D840000003EB80000001").constData()));
  EXPECT_EQ(header.Magic, LinkMagicPhone);
  EXPECT_EQ(header.Command, cmdShowList);
  EXPECT_EQ(header.Length, 0x80000001u);
  EXPECT_EQ(Swap32(ReadU32(reinterpret_cast<const unsigned char*>("\x01\x02\x03\x04"))),
            Swap32(0x01020304u));

  char16_t units[2] = {0, 0};
  std::memcpy(units, "\x4E\x2D\x00\x41", 4);
  SwapUtf16(units, 2);
  EXPECT_EQ(units[0], u'\u4E2D');
  EXPECT_EQ(units[1], u'A');
}

TEST(LinkMessage, HelloNameEndsAtZeroOrAfterTwentyBytes) {
  QByteArray payload = Hex("000003E8") + QByteArray("abcdefghijklmnopqrst");
  THello hello = ParseHello(reinterpret_cast<const unsigned char*>(payload.constData()));
  EXPECT_EQ(hello.Version, 1000u);
  EXPECT_EQ(hello.Name, QByteArray("abcdefghijklmnopqrst"));

  payload = Hex("000F4628") + QByteArray("pix\0junk", 8) + QByteArray(12, 'z');
  hello = ParseHello(reinterpret_cast<const unsigned char*>(payload.constData()));
  EXPECT_EQ(hello.Name, QByteArray("pix"));

  payload = Hex("000F4628") + QByteArray(1, '\0') + QByteArray(19, 'z');
  hello = ParseHello(reinterpret_cast<const unsigned char*>(payload.constData()));
  EXPECT_TRUE(hello.Name.isEmpty());
}

TEST(LinkMessage, SplitListLineAssignsByCommaCount) {
  QString name = "keep", size = "keep", extra = "keep";
  EXPECT_EQ(SplitListLine(u"/a.jpg,100,x,y,z", name, size, extra), 3);
  EXPECT_EQ(name, "/a.jpg");
  EXPECT_EQ(size, "100");
  EXPECT_EQ(extra, "x,y,z");

  name = size = extra = "keep";
  EXPECT_EQ(SplitListLine(u"/a.jpg,100", name, size, extra), 1);
  EXPECT_EQ(name, "/a.jpg");
  EXPECT_EQ(size, "keep");

  name = "keep";
  EXPECT_EQ(SplitListLine(u"no commas", name, size, extra), 0);
  EXPECT_EQ(name, "keep");

  EXPECT_EQ(SplitListLine(u",,", name, size, extra), 3);
  EXPECT_TRUE(name.isEmpty() && size.isEmpty() && extra.isEmpty());
}

TEST(LinkMessage, PictureListSplitsLinesAtEveryKindOfBreak) {
  const TPictureList list =
      ParsePictureList(ListPayload(2, "/a.jpg,10,\r\n/b.png,20,x\r/c.gif,30,\n/d.bmp,40,y,z\r\n"));
  EXPECT_EQ(list.StartIndex, 2);
  EXPECT_EQ(list.Count, 4);
  EXPECT_EQ(list.Names, QString(R"("/a.jpg","/b.png","/c.gif","/d.bmp")"));
  EXPECT_EQ(list.Sizes, QByteArray("10,20,30,40"));
}

TEST(LinkMessage, PictureListSkipsShortLinesAndKeepsNamesWhole) {
  const TPictureList list = ParsePictureList(ListPayload(
      -1, QString::fromUtf16(u"/DCIM/中 文.jpg,5,\r\n\r\nbroken line\r\n/only,one\r\n/q\"uote.jpg,6,")));
  EXPECT_EQ(list.StartIndex, -1);
  EXPECT_EQ(list.Count, 2);
  EXPECT_EQ(list.Names, QString::fromUtf16(u"\"/DCIM/中 文.jpg\",\"/q\"\"uote.jpg\""));
  EXPECT_EQ(list.Sizes, QByteArray("5,6"));
}

TEST(LinkMessage, PictureListIgnoresAnOddTrailingByteAndShortPayloads) {
  const TPictureList list = ParsePictureList(ListPayload(0, "/a.jpg,1,", true));
  EXPECT_EQ(list.Names, QString(R"("/a.jpg")"));
  EXPECT_EQ(ParsePictureList(QByteArray(5, '\0')).Count, 0);
  EXPECT_EQ(ParsePictureList(ListPayload(3, "")).Count, 0);
}

}  // namespace
}  // namespace zephra::link
