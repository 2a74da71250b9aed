#include "qrcode/qr_encoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "reference_encoder.h"

namespace zephra::qrcode {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Sample data of `length` bytes that mode `mode` can take.
std::vector<std::uint8_t> SampleData(int mode, int length, unsigned seed) {
  static const std::string kAlphanumeric = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data;
  while (static_cast<int>(data.size()) < length) {
    switch (mode) {
      case ModeNumeric:
        data.push_back(static_cast<std::uint8_t>('0' + random() % 10));
        break;
      case ModeAlphanumeric:
        data.push_back(kAlphanumeric[random() % kAlphanumeric.size()]);
        break;
      case ModeKanji:
        data.push_back(static_cast<std::uint8_t>(random() % 2 ? 0x88 + random() % 0x18
                                                              : 0xE0 + random() % 0x0A));
        data.push_back(static_cast<std::uint8_t>(0x40 + random() % 0x3F));
        break;
      default:
        data.push_back(static_cast<std::uint8_t>(random()));
        break;
    }
  }
  return data;
}

struct TEncoderFixture {
  std::unique_ptr<TQREncoder> Encoder = std::make_unique<TQREncoder>();

  bool Encode(const std::vector<std::uint8_t>& data, int version, int level, int emode = -1,
              int mask = -1) {
    Encoder->SetVersion(version);
    Encoder->SetEclevel(level);
    Encoder->SetEmode(emode);
    Encoder->SetMasktype(mask);
    Encoder->Data().ConvertCode(QByteArray(reinterpret_cast<const char*>(data.data()),
                                           static_cast<qsizetype>(data.size())));
    Encoder->Data().SplitData();
    Encoder->Data().CheckState(1);
    return Encoder->EncodeSymbol(1);
  }
  // The data codewords read back as a bit string.
  std::string StreamBits(int bits) const {
    std::string out;
    for (int k = 0; k < bits; ++k) {
      out += ((Encoder->DataCodewords()[k / 8] >> (7 - k % 8)) & 1) ? '1' : '0';
    }
    return out;
  }
};

std::string Bits(std::uint32_t value, int count) {
  std::string out;
  for (int i = count - 1; i >= 0; --i) out += ((value >> i) & 1) ? '1' : '0';
  return out;
}

// For single-segment data at a fixed mask (the one libqrencode chose), the whole module matrix
// equals libqrencode's: versions 1 to 40, all levels and modes.
class QREncoderReference : public ::testing::TestWithParam<int> {};

TEST_P(QREncoderReference, MatrixEqualsLibqrencode) {
  const int version = GetParam();
  TEncoderFixture fixture;
  for (int level = 0; level < LevelCount; ++level) {
    for (int mode = 0; mode < ModeCount; ++mode) {
      const int capacity = fixture.Encoder->Table().Row(version).Levels[level].Capacity[mode];
      const int characters = (capacity * (1 + (version + mode) % 3)) / 3;  // a third to full
      const auto data = SampleData(mode, mode == ModeKanji ? 2 * characters : characters,
                                   static_cast<unsigned>(version * 16 + level * 4 + mode));
      const TReferenceSymbol reference = ReferenceEncode(data, mode, version, level);
      ASSERT_EQ(reference.Size, 17 + 4 * version) << "level " << level << " mode " << mode;
      ASSERT_TRUE(fixture.Encode(data, version, level, mode, reference.Mask));
      const TQRMatrix& matrix = fixture.Encoder->Matrix();
      int differences = 0;
      for (int r = 0; r < reference.Size; ++r) {
        for (int c = 0; c < reference.Size; ++c) {
          differences += matrix.IsDark(r, c) != (reference.Dark[r * reference.Size + c] != 0);
        }
      }
      EXPECT_EQ(differences, 0) << "version " << version << " level " << level << " mode " << mode;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllVersions, QREncoderReference, ::testing::Range(1, 41));

TEST(QREncoder, EmptyCodeHoldsTerminatorAndPadding) {
  TEncoderFixture fixture;
  ASSERT_TRUE(fixture.Encode({}, 1, LevelH));
  EXPECT_EQ(fixture.Encoder->Data().Count(), 1);
  EXPECT_EQ(fixture.Encoder->Data().Mode(), qrSingle);
  EXPECT_EQ(fixture.Encoder->EmodeR(), -1);
  const std::uint8_t expected[] = {0x00, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11};
  EXPECT_EQ(std::vector<std::uint8_t>(fixture.Encoder->DataCodewords(),
                                      fixture.Encoder->DataCodewords() + 9),
            std::vector<std::uint8_t>(std::begin(expected), std::end(expected)));
}

TEST(QREncoder, AutomaticSegmentationSplitsAlphanumericFromDigits) {
  TEncoderFixture fixture;
  ASSERT_TRUE(fixture.Encode(Bytes("AB12345678"), 1, LevelL));
  // AB as alphanumeric (count 2), then 12345678 as numeric (count 8): 65 bits.
  const std::string expected = "0010" + Bits(2, 9) + Bits(10 * 45 + 11, 11) + "0001" + Bits(8, 10) +
                               Bits(123, 10) + Bits(456, 10) + Bits(78, 7);
  EXPECT_EQ(fixture.StreamBits(65), expected);
  EXPECT_EQ(fixture.Encoder->EmodeR(), ModeNumeric);
}

TEST(QREncoder, DigitBetweenLowerCaseLettersIsTakenIntoTheByteSegment) {
  TEncoderFixture fixture;
  ASSERT_TRUE(fixture.Encode(Bytes("a1b"), 1, LevelL));
  EXPECT_EQ(fixture.StreamBits(12 + 24 + 4),
            "0100" + Bits(3, 8) + Bits('a', 8) + Bits('1', 8) + Bits('b', 8) + "0000");
  EXPECT_EQ(fixture.Encoder->EmodeR(), ModeByte);
}

TEST(QREncoder, InstallAddressSegmentsInVersion6) {
  TQRSegmenter segmenter(TQRVersionTable().Row(6).CountBits);
  const auto data = Bytes("http://192.168.137.1:86/Zephra.apk");
  // "http" takes in "://" (74 split against 68 merged) and then "192" (92 against 92: the tie
  // merges), and so on to the end: one byte segment.
  EXPECT_EQ(segmenter.SegmentBits(ModeByte, 4) + segmenter.SegmentBits(ModeAlphanumeric, 3), 74);
  EXPECT_EQ(segmenter.SegmentBits(ModeByte, 7), 68);
  EXPECT_EQ(segmenter.SegmentBits(ModeByte, 7) + segmenter.SegmentBits(ModeNumeric, 3), 92);
  EXPECT_EQ(segmenter.SegmentBits(ModeByte, 10), 92);
  const TQRSegment first = segmenter.NextSegment(data.data(), 0, static_cast<int>(data.size()));
  EXPECT_EQ(first.Mode, ModeByte);
  EXPECT_EQ(first.Length, static_cast<int>(data.size()));
}

TEST(QREncoder, SegmentationRules) {
  TQRSegmenter v1(TQRVersionTable().Row(1).CountBits);
  auto next = [&](const std::string& text) {
    const auto data = Bytes(text);
    return v1.NextSegment(data.data(), 0, static_cast<int>(data.size()));
  };
  // A short digit run inside byte data is taken in; a long one is left to its own segment.
  EXPECT_EQ(next("ab12cd").Length, 6);
  EXPECT_EQ(next("ab123456789012cd").Length, 2);
  // Alphanumeric before a byte run joins the byte segment when that is not longer, and the
  // segment then ends even if more bytes follow.
  const TQRSegment joined = next("A+bc");
  EXPECT_EQ(joined.Mode, ModeByte);
  EXPECT_EQ(joined.Length, 4);
  // Kanji ends a segment at once, in either direction; a lone lead byte is a byte.
  EXPECT_EQ(next("ab\x88\x9f").Length, 2);
  EXPECT_EQ(next("\x88\x9f\x88\x9f"
                 "a")
                .Mode,
            ModeKanji);
  EXPECT_EQ(next("\x88\x9f\x88\x9f"
                 "a")
                .Length,
            4);
  EXPECT_EQ(next("a\x88").Mode, ModeByte);
  EXPECT_EQ(next("a\x88").Length, 2);
  EXPECT_EQ(next("").Length, 0);
}

TEST(QREncoder, SameTextSegmentsDifferentlyByVersion) {
  // Six digits inside lower-case text: split in version 1 (74 bits against 76), merged in
  // version 10, where the byte count indicator is 16 bits (92 against 84).
  const auto data = Bytes("ab123456cd");
  TQRSegmenter v1(TQRVersionTable().Row(1).CountBits);
  TQRSegmenter v10(TQRVersionTable().Row(10).CountBits);
  EXPECT_EQ(v1.NextSegment(data.data(), 0, 10).Length, 2);
  EXPECT_EQ(v10.NextSegment(data.data(), 0, 10).Length, 10);
}

TEST(QREncoder, FixedModeRejectsBytesItCannotEncode) {
  TEncoderFixture fixture;
  EXPECT_FALSE(fixture.Encode(Bytes("12a"), 1, LevelL, ModeNumeric));
  EXPECT_FALSE(fixture.Encode(Bytes("AbC"), 1, LevelL, ModeAlphanumeric));
  EXPECT_FALSE(fixture.Encode({0x88, 0x9F, 0x88}, 1, LevelL, ModeKanji));
  EXPECT_FALSE(fixture.Encode({0xEB, 0xC0}, 1, LevelL, ModeKanji));
  EXPECT_FALSE(fixture.Encode({0x88, 0x7F}, 1, LevelL, ModeKanji));
  EXPECT_TRUE(fixture.Encode({0x88, 0x9F, 0xEB, 0xBF}, 1, LevelL, ModeKanji));
  EXPECT_EQ(fixture.Encoder->EmodeR(), ModeKanji);
}

TEST(QREncoder, DataThatDoesNotFitFails) {
  TEncoderFixture fixture;
  EXPECT_TRUE(fixture.Encode(SampleData(ModeByte, 17, 1), 1, LevelL, ModeByte));
  EXPECT_FALSE(fixture.Encode(SampleData(ModeByte, 18, 1), 1, LevelL, ModeByte));
  EXPECT_TRUE(fixture.Encode(SampleData(ModeNumeric, 7089, 2), 40, LevelL));
  EXPECT_FALSE(fixture.Encode(SampleData(ModeNumeric, 7090, 2), 40, LevelL));
  // Far longer than any symbol: refused without touching the fixed buffers.
  EXPECT_FALSE(fixture.Encode(SampleData(ModeByte, 100000, 3), 40, LevelL));
  EXPECT_FALSE(fixture.Encode(SampleData(ModeNumeric, 100000, 3), 40, LevelL, ModeNumeric));
}

TEST(QREncoder, LevelCodeInFormatInformation) {
  // The two top bits of the 5 data bits: M 00, L 01, H 10, Q 11.
  for (int mask = 0; mask < MaskCount; ++mask) {
    EXPECT_EQ((TQRMatrix::FormatWord(LevelM, mask) ^ 0x5412) >> 13, 0);
    EXPECT_EQ((TQRMatrix::FormatWord(LevelL, mask) ^ 0x5412) >> 13, 1);
    EXPECT_EQ((TQRMatrix::FormatWord(LevelH, mask) ^ 0x5412) >> 13, 2);
    EXPECT_EQ((TQRMatrix::FormatWord(LevelQ, mask) ^ 0x5412) >> 13, 3);
  }
  EXPECT_EQ(TQRMatrix::FormatWord(LevelM, 0), 0x5412);
  EXPECT_EQ(TQRMatrix::FormatWord(LevelL, 0), 0x77C4);
  EXPECT_EQ(TQRMatrix::FormatWord(LevelL, 4), 0x662F);
  EXPECT_EQ(TQRMatrix::FormatWord(LevelH, 7), 0x083B);
}

std::vector<std::uint8_t> Line(const std::string& modules) {
  std::vector<std::uint8_t> line;
  for (char m : modules) line.push_back(m == '1');
  return line;
}

TEST(QREncoder, MaskPenaltyRules) {
  auto score = [](const std::string& modules) {
    const auto line = Line(modules);
    return TMaskPenalty::RunsAndFinders(line.data(), static_cast<int>(line.size()));
  };
  EXPECT_EQ(score("0000"), 0);
  EXPECT_EQ(score("00000"), 3);
  EXPECT_EQ(score("0000000"), 5);
  EXPECT_EQ(score("11111011111"), 6);
  // Finder-like: one light module or the edge on each side is enough.
  EXPECT_EQ(score("1011101"), 40);
  EXPECT_EQ(score("010111010"), 40);
  EXPECT_EQ(score("00000101110100001011101"), 3 + 40 + 40);
  EXPECT_EQ(score("11011101"), 0);
  EXPECT_EQ(score("10111011"), 0);

  auto penalty = std::make_unique<TMaskPenalty>();
  penalty->Begin(5);
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) penalty->Set(r, c, 0);
  }
  // Ten runs of five, sixteen 2 x 2 squares, 0 % dark.
  EXPECT_EQ(penalty->Compute(), 10 * 3 + 16 * 3 + 100);
  penalty->Begin(2);
  penalty->Set(0, 0, 1);
  penalty->Set(1, 1, 1);  // 50 % dark, no runs, no square
  EXPECT_EQ(penalty->Compute(), 0);
}

TEST(QREncoder, AutomaticMaskIsLowestPenaltyWithLowerNumberOnTie) {
  TEncoderFixture fixture;
  bool tieSeen = false;
  for (int k = 0; k < 400 && !tieSeen; ++k) {
    ASSERT_TRUE(fixture.Encode(Bytes(std::to_string(k * 7919)), 1, LevelL));
    const int chosen = fixture.Encoder->MasktypeR();
    int penalties[MaskCount];
    for (int mask = 0; mask < MaskCount; ++mask) {
      penalties[mask] = fixture.Encoder->MaskPenaltyOf(mask);
    }
    int best = 0;
    for (int mask = 1; mask < MaskCount; ++mask) {
      if (penalties[mask] < penalties[best]) best = mask;
    }
    ASSERT_EQ(chosen, best) << k;
    for (int mask = best + 1; mask < MaskCount; ++mask)
      tieSeen |= penalties[mask] == penalties[best];
  }
  EXPECT_TRUE(tieSeen) << "no sample with two masks on the same lowest penalty";
}

TEST(QREncoder, StructuredAppendHeader) {
  TEncoderFixture fixture;
  TQRData& data = fixture.Encoder->Data();
  data.ConvertCode("ABCDEFGH");
  data.SetMode(qrConnect);
  data.SetCount(3);
  data.SplitData();
  data.CheckState(16);
  EXPECT_EQ(data.Parity(), 'A' ^ 'B' ^ 'C' ^ 'D' ^ 'E' ^ 'F' ^ 'G' ^ 'H');
  fixture.Encoder->SetVersion(1);
  ASSERT_TRUE(fixture.Encoder->EncodeSymbol(2));
  EXPECT_EQ(fixture.StreamBits(20), "0011" + Bits(1, 4) + Bits(2, 4) + Bits(data.Parity(), 8));
  EXPECT_EQ(fixture.StreamBits(33).substr(20), "0010" + Bits(3, 9));  // then "DEF"

  data.SetCount(20);  // more than 16 symbols: a plain series without headers
  data.ConvertCode(QByteArray(40, 'A'));
  data.SplitData();
  data.CheckState(16);
  EXPECT_EQ(data.Mode(), qrPlus);
  ASSERT_TRUE(fixture.Encoder->EncodeSymbol(5));
  EXPECT_EQ(fixture.StreamBits(13), "0010" + Bits(2, 9));
}

// A count changed after the last split (no paint since) may exceed the header's 4-bit fields;
// such a symbol is not encoded rather than given a header that names another set.
TEST(QREncoder, StructuredAppendHeaderRefusesMoreThan16Symbols) {
  TEncoderFixture fixture;
  TQRData& data = fixture.Encoder->Data();
  data.ConvertCode("ABCDEFGH");
  data.SetMode(qrConnect);
  data.SetCount(2);
  data.SplitData();
  data.CheckState(16);
  ASSERT_TRUE(fixture.Encoder->EncodeSymbol(1));
  data.SetCount(17);
  EXPECT_FALSE(fixture.Encoder->EncodeSymbol(1));
}

TEST(QREncoder, CapacityFollowsModeUsed) {
  TEncoderFixture fixture;
  ASSERT_TRUE(fixture.Encode(Bytes("0123"), 2, LevelM));
  EXPECT_EQ(fixture.Encoder->Capacity(), 63);
  ASSERT_TRUE(fixture.Encode({}, 2, LevelM));
  EXPECT_EQ(fixture.Encoder->Capacity(), 38);  // alphanumeric when no segment
}

}  // namespace
}  // namespace zephra::qrcode
