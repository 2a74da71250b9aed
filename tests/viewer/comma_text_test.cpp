#include "viewer/comma_text.h"

#include <gtest/gtest.h>

#include <ostream>

namespace zephra::viewer {
namespace {

struct TSplitCase {
  const char* text;  // UTF-8
  QStringList entries;
};

void PrintTo(const TSplitCase& c, std::ostream* out) { *out << '[' << c.text << ']'; }

class CommaTextTable : public testing::TestWithParam<TSplitCase> {};

TEST_P(CommaTextTable, SplitsIntoTheEntries) {
  EXPECT_EQ(SplitCommaText(QString::fromUtf8(GetParam().text)), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(Plain, CommaTextTable,
                         testing::Values(TSplitCase{"", {}}, TSplitCase{" \t\r\n ", {}},
                                         TSplitCase{"123,456", {"123", "456"}},
                                         TSplitCase{"a b", {"a", "b"}},
                                         TSplitCase{"a,,b", {"a", "", "b"}},
                                         TSplitCase{"a,", {"a", ""}}, TSplitCase{"a , ", {"a", ""}},
                                         TSplitCase{",a", {"", "a"}}, TSplitCase{",", {"", ""}},
                                         TSplitCase{"  a  ,  b  ", {"a", "b"}},
                                         TSplitCase{"a\tb\001c\r\nd", {"a", "b", "c", "d"}},
                                         TSplitCase{"a\"b,c", {"a\"b", "c"}}));

INSTANTIATE_TEST_SUITE_P(
    Quoted, CommaTextTable,
    testing::Values(
        TSplitCase{R"("a","b c")", {"a", "b c"}},
        TSplitCase{R"("/DCIM/a, b.jpg","/DCIM/c.jpg")", {"/DCIM/a, b.jpg", "/DCIM/c.jpg"}},
        TSplitCase{R"("x""y")", {"x\"y"}}, TSplitCase{R"("""")", {"\""}}, TSplitCase{R"("")", {""}},
        TSplitCase{R"("",a)", {"", "a"}}, TSplitCase{R"( "a" , "b" )", {"a", "b"}},
        TSplitCase{R"("a"b)", {"a", "b"}}, TSplitCase{R"("a" "b")", {"a", "b"}},
        // A missing closing quote takes the rest, spaces and commas too.
        TSplitCase{R"(x,"a, b)", {"x", "a, b"}}, TSplitCase{R"(")", {""}},
        TSplitCase{R"("a"")", {"a\""}},
        TSplitCase{"\"/相册/猫 咪.jpg\",/写真/犬.png", {"/相册/猫 咪.jpg", "/写真/犬.png"}},
        // An ideographic space is text, not a separator.
        TSplitCase{"猫\u3000犬", {"猫\u3000犬"}}));

TEST(CommaText, NulAndSurrogatePairsDoNotEndOrBreakTheText) {
  const QString text = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b,\"😀,x\"");
  EXPECT_EQ(SplitCommaText(text), (QStringList{"a", "b", QStringLiteral("😀,x")}));
}

}  // namespace
}  // namespace zephra::viewer
