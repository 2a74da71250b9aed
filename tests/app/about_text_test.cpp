#include "app/about_text.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace zephra::app {
namespace {

TEST(AboutTextTest, IsTitleRuleVersionAndRightsJoinedByCrLf) {
  const QByteArray expected =
      "Zephra . WIFI\r\n"
      "-----------------------------------\r\n"
      "\xE7\x89\x88\xE6\x9C\xAC: V1.2.3.4\r\n"  // 版本
      "Copyright \xC2\xA9 2026 Zephra. All rights reserved.";
  EXPECT_EQ(AboutText(QStringLiteral("1.2.3.4")).toUtf8(), expected);
}

TEST(AboutTextTest, ProgramVersionHasFourNumbers) {
  static const QRegularExpression fourNumbers(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"));
  EXPECT_TRUE(fourNumbers.match(ProgramVersion()).hasMatch()) << ProgramVersion().toStdString();
}

}  // namespace
}  // namespace zephra::app
