#include "phone/chunk_source.h"

#include <string>

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

namespace zephra::phone {
namespace {

struct LengthCase {
  std::uint32_t total, offset, length;
};

class PhoneChunkLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(PhoneChunkLengthTest, IsChunkSizeOrTheRest) {
  EXPECT_EQ(ChunkLength(GetParam().total, GetParam().offset), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(Table, PhoneChunkLengthTest,
                         ::testing::Values(LengthCase{250000, 0, 96000},
                                           LengthCase{250000, 192000, 58000},
                                           LengthCase{96000, 0, 96000}, LengthCase{96001, 96000, 1},
                                           LengthCase{250000, 250000, 0}, LengthCase{10, 20, 0},
                                           LengthCase{0, 0, 0}),
                         [](const auto& info) {
                           return "total" + std::to_string(info.param.total) + "offset" +
                                  std::to_string(info.param.offset);
                         });

TEST(PhoneChunkSource, ReadChunkRefusesWhatItCannotDeliver) {
  QTemporaryDir dir;
  QFile file(dir.filePath("b.png"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("0123456789");
  file.close();
  const QList<PhonePicture> pictures{PictureFromFile(file.fileName()),
                                     {"/DCIM/gone.png", dir.filePath("gone.png"), 5}};

  const ChunkAnswer middle = ReadChunk(pictures, "/DCIM/b.png", 4);
  EXPECT_EQ(middle.status, ChunkDelivered);
  EXPECT_EQ(middle.total, 10u);
  EXPECT_EQ(middle.bytes, QByteArray("456789"));

  EXPECT_EQ(ReadChunk(pictures, "/DCIM/b.png", 11).status, ChunkRefused);
  EXPECT_EQ(ReadChunk(pictures, "/DCIM/gone.png", 0).status, ChunkRefused);
  EXPECT_EQ(ReadChunk(pictures, "/DCIM/other.png", 0).status, ChunkRefused);
}

}  // namespace
}  // namespace zephra::phone
