#include "qrcode/qr_version_table.h"

#include <gtest/gtest.h>

namespace zephra::qrcode {
namespace {

const TQRVersionTable& Table() {
  static const TQRVersionTable table;
  return table;
}

TEST(QRVersionTable, KnownRowsOfTheStandard) {
  const TQRVersionInfo& v1 = Table().Row(1);
  EXPECT_EQ(v1.Modules, 21);
  EXPECT_EQ(v1.TotalCodewords, 26);
  EXPECT_EQ(v1.RemainderBits, 0);
  EXPECT_EQ(v1.Levels[LevelL].DataCodewords, 19);
  EXPECT_EQ(v1.Levels[LevelM].DataCodewords, 16);
  EXPECT_EQ(v1.Levels[LevelQ].DataCodewords, 13);
  EXPECT_EQ(v1.Levels[LevelH].DataCodewords, 9);
  EXPECT_EQ(v1.Levels[LevelL].Capacity, (std::array<int, 4>{41, 25, 17, 10}));
  EXPECT_EQ(v1.Levels[LevelH].Capacity, (std::array<int, 4>{17, 10, 7, 4}));
  EXPECT_EQ(v1.Levels[LevelL].Groups[0].Correctable, 2);
  EXPECT_EQ(v1.Levels[LevelM].Groups[0].Correctable, 4);
  EXPECT_EQ(v1.AlignmentCount, 0);

  const TQRVersionInfo& v6 = Table().Row(6);
  EXPECT_EQ(v6.Levels[LevelM].Capacity[ModeByte], 106);
  EXPECT_EQ(v6.Levels[LevelM].Groups[0].Blocks, 4);
  EXPECT_EQ(v6.Levels[LevelM].Groups[0].Total, 43);
  EXPECT_EQ(v6.Levels[LevelM].Groups[0].Data, 27);
  EXPECT_EQ(v6.RemainderBits, 7);

  const TQRVersionInfo& v5 = Table().Row(5);  // two groups: 2 x (33,15) and 2 x (34,16) at Q
  EXPECT_EQ(v5.Levels[LevelQ].Groups[0].Blocks, 2);
  EXPECT_EQ(v5.Levels[LevelQ].Groups[0].Data, 15);
  EXPECT_EQ(v5.Levels[LevelQ].Groups[1].Blocks, 2);
  EXPECT_EQ(v5.Levels[LevelQ].Groups[1].Total, 34);
  EXPECT_EQ(v5.Levels[LevelQ].Groups[1].Correctable, 9);

  const TQRVersionInfo& v40 = Table().Row(40);
  EXPECT_EQ(v40.Modules, 177);
  EXPECT_EQ(v40.TotalCodewords, MaxCodewords);
  EXPECT_EQ(v40.Levels[LevelL].DataCodewords, MaxDataCodewords);
  EXPECT_EQ(v40.Levels[LevelL].Capacity, (std::array<int, 4>{7089, 4296, 2953, 1817}));
  EXPECT_EQ(v40.Levels[LevelH].Capacity, (std::array<int, 4>{3057, 1852, 1273, 784}));
  EXPECT_EQ(v40.CountBits, (std::array<int, 4>{14, 13, 16, 12}));
  EXPECT_EQ(v40.AlignmentCount, 7);
  EXPECT_EQ(v40.Alignments, (std::array<int, 7>{6, 30, 58, 86, 114, 142, 170}));
  EXPECT_EQ(Table().Row(32).Alignments[1], 34);  // the version with the irregular step
}

TEST(QRVersionTable, VersionWords) {
  EXPECT_EQ(Table().Row(6).VersionWord, 0u);
  EXPECT_EQ(Table().Row(7).VersionWord, 0x07C94u);
  EXPECT_EQ(Table().Row(20).VersionWord, 0x149A6u);
  EXPECT_EQ(Table().Row(40).VersionWord, 0x28C69u);
}

// Every row is self-consistent: blocks add up to the codewords, the capacity of the largest
// symbol bounds every row, and the largest row sets the fixed buffers.
TEST(QRVersionTable, RowsAddUp) {
  for (int version = MinVersion; version <= MaxVersion; ++version) {
    const TQRVersionInfo& row = Table().Row(version);
    EXPECT_EQ(row.Modules, 17 + 4 * version);
    for (const TQRLevelInfo& level : row.Levels) {
      int total = 0, data = 0;
      for (const TQRBlockGroup& group : level.Groups) {
        total += group.Blocks * group.Total;
        data += group.Blocks * group.Data;
      }
      EXPECT_EQ(total, row.TotalCodewords) << version;
      EXPECT_EQ(data, level.DataCodewords) << version;
      EXPECT_LE(level.BlockCount(), MaxBlocks);
      EXPECT_LE(level.EccPerBlock(), MaxEccPerBlock);
      EXPECT_LE(level.Capacity[ModeNumeric], MaxSymbolBytes);
    }
  }
}

}  // namespace
}  // namespace zephra::qrcode
