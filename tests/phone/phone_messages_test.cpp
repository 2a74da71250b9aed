#include "phone/phone_messages.h"

#include <gtest/gtest.h>

#include "link/link_message.h"

namespace zephra::phone {
namespace {

const QString ListedName = QStringLiteral("/DCIM/\u00fc.jpg");

TEST(PhoneMessages, HelloCutsLongNameTo20BytesWithoutTerminator) {
  const QByteArray hello = MakeHello(1000, "abcdefghijklmnopqrstuvwxyz");
  ASSERT_EQ(hello.size(), 36);
  EXPECT_EQ(hello.sliced(16), QByteArray("abcdefghijklmnopqrst"));
  const auto parsed = link::ParseHello(reinterpret_cast<const unsigned char*>(hello.data() + 12));
  EXPECT_EQ(parsed.Version, 1000u);
  EXPECT_EQ(parsed.Name, QByteArray("abcdefghijklmnopqrst"));
}

TEST(PhoneMessages, ListTextHasOneCrLfLinePerPicture) {
  const QList<PhonePicture> pictures{{"/DCIM/a.jpg", "", 12345}, {ListedName, "", 7}};
  EXPECT_EQ(ListText(pictures), QStringLiteral("/DCIM/a.jpg,12345,\r\n/DCIM/\u00fc.jpg,7,\r\n"));
}

TEST(PhoneMessages, ListIsUtf16BigEndianAfterSignedIndex) {
  const QByteArray list = MakePictureList(link::cmdSlideShow, -1, QStringLiteral("\u00fc\r\n"));
  EXPECT_EQ(list.toHex(), QByteArray("0000d840000003ec00000012"
                                     "0000000000000000ffffffff00fc000d000a"));
}

TEST(PhoneMessages, ChunkRequestFromThePcBuilderParses) {
  const QByteArray message = link::MakeChunkRequest(3, 96000, ListedName);
  const auto request = ParseChunkRequest(message.sliced(link::LinkHeaderSize));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->id, 3u);
  EXPECT_EQ(request->offset, 96000u);
  EXPECT_EQ(request->size, link::ChunkSize);
  EXPECT_EQ(request->name, ListedName);
  EXPECT_FALSE(ParseChunkRequest(QByteArray(11, '\0')));
}

TEST(PhoneMessages, SmallMessagesAreByteExact) {
  EXPECT_EQ(MakeChunkData(1, 4, 0, 0, {}).toHex(),
            QByteArray("0000d840000003f00000001000000001000000040000000000000000"));
  EXPECT_EQ(MakeKeepAlive().toHex(), QByteArray("0000d840000004af00000000"));
  EXPECT_EQ(MakeViewStop(0).toHex(), QByteArray("0000d840000003ed0000000400000000"));
  EXPECT_EQ(MakeCloseViewer().toHex(), QByteArray("0000d840000003ea00000000"));
}

}  // namespace
}  // namespace zephra::phone
