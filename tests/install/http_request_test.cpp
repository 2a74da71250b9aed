#include "install/http_request.h"

#include <gtest/gtest.h>

namespace zephra::install {
namespace {

TEST(DocumentOf, DecodesThePathAndDropsQueryAndAuthority) {
  EXPECT_EQ(DocumentOf("/Zephra.apk"), QStringLiteral("/Zephra.apk"));
  EXPECT_EQ(DocumentOf("/a%20b/%2e%2E/c.apk?x=%41#top"), QStringLiteral("/a b/../c.apk"));
  EXPECT_EQ(DocumentOf("/%E4%B8%AD.apk"), QString::fromUtf8("/中.apk"));
  EXPECT_EQ(DocumentOf("http://192.168.137.1:86/a/b.apk?q"), QStringLiteral("/a/b.apk"));
  EXPECT_EQ(DocumentOf("http://host"), QStringLiteral("/"));
  // Escapes that are not two hexadecimal digits stay as they are, also at the end.
  EXPECT_EQ(DocumentOf("/100%/%zz/%4"), QStringLiteral("/100%/%zz/%4"));
  EXPECT_EQ(DocumentOf("/%"), QStringLiteral("/%"));
}

}  // namespace
}  // namespace zephra::install
