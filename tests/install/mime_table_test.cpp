#include "install/mime_table.h"

#include <gtest/gtest.h>

#include <QMimeDatabase>

namespace zephra::install {
namespace {

TEST(MimeTable, LookupTakesTheLastExtensionOfTheLastSegmentWithoutCase) {
  const TMimeTable table(false);
  EXPECT_EQ(table.Lookup(QStringLiteral("/app//index.htm")), QStringLiteral("text/html"));
  EXPECT_EQ(table.Lookup(QStringLiteral("C:\\App\\PAGE.HTML")), QStringLiteral("text/html"));
  EXPECT_EQ(table.Lookup(QStringLiteral("a.tar.zip")),
            QStringLiteral("application/x-zip-compressed"));
  for (const char* name : {"/app/x", "/app.htm/x", "/app/x.", "/app/x.unknownext", ""}) {
    EXPECT_EQ(table.Lookup(QString::fromLatin1(name)), QStringLiteral("application/octet-stream"))
        << name;
  }
}

TEST(MimeTable, FirstTypeForAnExtensionStays) {
  TMimeTable table(false);
  table.Add(QStringLiteral(".HTM"), QStringLiteral("text/plain"));
  table.Add(QStringLiteral(".Apk"), QStringLiteral("application/x-one"));
  table.Add(QStringLiteral(".apk"), QStringLiteral("application/x-two"));
  table.Add(QStringLiteral("noDot"), QStringLiteral("application/x-three"));
  EXPECT_EQ(table.Lookup(QStringLiteral("a.htm")), QStringLiteral("text/html"));
  EXPECT_EQ(table.Lookup(QStringLiteral("a.APK")), QStringLiteral("application/x-one"));
  EXPECT_EQ(table.Lookup(QStringLiteral("a.nodot")), QStringLiteral("application/octet-stream"));
}

TEST(MimeTable, SystemTypesFillWhatTheBuiltInListLeaves) {
  const TMimeTable builtIn(false);
  const TMimeTable table;
  EXPECT_GT(table.Count(), builtIn.Count());
  // The built-in type wins where the system has another.
  EXPECT_EQ(table.Lookup(QStringLiteral("a.zip")), QStringLiteral("application/x-zip-compressed"));
  const QMimeDatabase database;
  for (const char* name : {"a.odt", "a.apk", "a.flac"}) {
    const QMimeType type =
        database.mimeTypeForFile(QString::fromLatin1(name), QMimeDatabase::MatchExtension);
    const QString expected =
        type.isDefault() ? QStringLiteral("application/octet-stream") : type.name();
    EXPECT_EQ(table.Lookup(QString::fromLatin1(name)), expected) << name;
  }
}

}  // namespace
}  // namespace zephra::install
