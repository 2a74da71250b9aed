#include "install/install_address.h"

#include <gtest/gtest.h>

namespace zephra::install {
namespace {

TEST(HotspotAddress, FirstAddressWhoseLastNumberIsOne) {
  EXPECT_EQ(HotspotAddress({"10.0.0.11", "192.168.137.1"}), QStringLiteral("192.168.137.1"));
  EXPECT_EQ(HotspotAddress({"172.27.35.1", "192.168.1.1"}), QStringLiteral("172.27.35.1"));
  EXPECT_EQ(HotspotAddress({"10.0.0.21", "192.168.0.100"}), std::nullopt);
  EXPECT_EQ(HotspotAddress({}), std::nullopt);
}

TEST(DownloadAddress, NamesTheHostPortAndPackage) {
  EXPECT_EQ(DownloadAddress(QStringLiteral("192.168.137.1"), 86),
            QByteArray("http://192.168.137.1:86/Zephra.apk"));
}

}  // namespace
}  // namespace zephra::install
