#include "shell/local_ip.h"

#include <gtest/gtest.h>

namespace zephra::shell {
namespace {

TEST(LocalIpTest, TextIsSortedAsTextWithCrLfAfterEachAddress) {
  EXPECT_EQ(IpText({"192.168.137.1", "10.0.0.20", "10.0.0.3"}),
            QByteArray("10.0.0.20\r\n10.0.0.3\r\n192.168.137.1\r\n"));
  EXPECT_EQ(IpText({}), QByteArray());
}

TEST(LocalIpTest, TextAndListAgreeWithTheirCounts) {
  QByteArray text = "stale";
  QStringList list{"stale"};
  const int textCount = LocalIpText(text);
  const int listCount = LocalIpList(list);
  EXPECT_EQ(textCount, listCount);
  EXPECT_EQ(list.size(), listCount);
  EXPECT_EQ(text, IpText(list));
}

}  // namespace
}  // namespace zephra::shell
