#include "viewer/picture_names.h"

#include <gtest/gtest.h>

namespace zephra::viewer {
namespace {

TEST(PictureNames, CacheFileNameIsTheUpperCaseMd5OfTheUtf16NamePlusItsExtension) {
  EXPECT_EQ(CacheFileName(QStringLiteral("/DCIM/a.jpg")),
            QStringLiteral("04F8AE555A4ED7E82A895818FBEA911B.jpg"));
  EXPECT_EQ(CacheFileName(QStringLiteral("/a/b")),
            QStringLiteral("0669D9E227EF8D6B1DA665480E9C0DFA"));
  // The extension keeps its case; a name that isn't a phone path is hashed all the same.
  EXPECT_TRUE(CacheFileName(QStringLiteral("/x/IMG_1.JPG")).endsWith(QStringLiteral(".JPG")));
  EXPECT_EQ(CacheFileName(QStringLiteral("C:\\pics\\a.png")),
            QStringLiteral("FBF8858DCEE5568996B6ED7B4692167B.png"));
}

TEST(PictureNames, AnExtensionThatCouldBreakTheFileNameIsDropped) {
  // ExtOf hands these on; a colon, quote, space or control character must never reach a file name.
  for (const char* name :
       {"/a.x:y", "/a.x\"y", "/a.b c", "/a.jp\x01g", "/a.", "/a.0123456789abcdefg"}) {
    const QString file = CacheFileName(QString::fromLatin1(name));
    EXPECT_EQ(file.size(), 32) << name;
  }
}

TEST(PictureNames, ExtOfScansBackToTheFirstDotOrSeparator) {
  EXPECT_EQ(ExtOf(QStringLiteral("/a/b.jpeg")), QStringLiteral(".jpeg"));
  EXPECT_EQ(ExtOf(QStringLiteral("/a.b/c")), QString());
  EXPECT_EQ(ExtOf(QStringLiteral("c:\\a.b\\c")), QString());
  EXPECT_EQ(ExtOf(QStringLiteral("/a/b.tar.gz")), QStringLiteral(".gz"));
  EXPECT_EQ(ExtOf(QStringLiteral("noext")), QString());
  EXPECT_EQ(ExtOf(QStringLiteral(".png")), QStringLiteral(".png"));
  EXPECT_EQ(ExtOf(QString()), QString());
}

struct TKindCase {
  const char* name;
  TPictureKind kind;
};

void PrintTo(const TKindCase& c, std::ostream* out) { *out << c.name; }

class PictureKindTable : public testing::TestWithParam<TKindCase> {};

TEST_P(PictureKindTable, KindComesFromTheLowerCasedExtension) {
  EXPECT_EQ(PictureKind(QString::fromUtf8(GetParam().name)), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Names, PictureKindTable,
                         testing::Values(TKindCase{"/a/b.JPEG", pkJpeg}, TKindCase{"x.Jpg", pkJpeg},
                                         TKindCase{"x.jfif", pkJpeg}, TKindCase{"x.tbi", pkJpeg},
                                         TKindCase{"x.dib", pkBitmap}, TKindCase{"x.rle", pkBitmap},
                                         TKindCase{"x.gif", pkGif}, TKindCase{"x.PNG", pkPng},
                                         TKindCase{"x.tiff", pkTiff}, TKindCase{"x.wmf", pkWmf},
                                         TKindCase{"x.emf", pkEmf}, TKindCase{"x.ico", pkIcon},
                                         TKindCase{"x.webp", pkOther}, TKindCase{"x.HEIC", pkHeif},
                                         TKindCase{"x.avif", pkHeif}, TKindCase{"noext", pkOther},
                                         // "/" does not end the search; "\" and ":" do.
                                         TKindCase{"/dir.png/file", pkOther},
                                         TKindCase{"/dir.x/file.png", pkPng},
                                         TKindCase{"c:\\dir.png\\file", pkOther},
                                         TKindCase{"c.png:file", pkOther},
                                         TKindCase{"/图片/猫.gif", pkGif}));

TEST(PictureNames, OnlyKindsOneToSevenAndHeifArePrefetched) {
  EXPECT_FALSE(Prefetchable(pkOther));
  EXPECT_FALSE(Prefetchable(pkIcon));
  for (const TPictureKind kind : {pkBitmap, pkGif, pkJpeg, pkPng, pkTiff, pkWmf, pkEmf, pkHeif}) {
    EXPECT_TRUE(Prefetchable(kind)) << kind;
  }
}

TEST(PictureNames, PlainPhoneNamesStayAndEveryOtherNameBecomesAHashedOne) {
  for (const char* plain : {"Pixel 7", "SM-G991B", "my_phone.2", "A"}) {
    EXPECT_EQ(SafeFolderName(QString::fromUtf8(plain)), QString::fromUtf8(plain));
  }
  for (const char* unsafe : {"..", ".", "", "../../etc", "a/b", "a\\b", "C:", "x:y", "CON",
                             "nul.txt", "lpt1", "name.", "name ", ".hidden", "tab\there", "手机"}) {
    const QString folder = SafeFolderName(QString::fromUtf8(unsafe));
    EXPECT_TRUE(folder.startsWith(QStringLiteral("phone-"))) << unsafe;
    EXPECT_EQ(folder.size(), 6 + 32) << unsafe;
  }
  EXPECT_NE(SafeFolderName(QStringLiteral("a/b")), SafeFolderName(QStringLiteral("a\\b")));
  EXPECT_EQ(SafeFolderName(QString(65, u'a')).size(), 38);
}

}  // namespace
}  // namespace zephra::viewer
