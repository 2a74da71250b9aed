#pragma once

#include <QString>

namespace zephra::app {

// The About box text: the title, a rule of 35 hyphens, "版本: V" + `version`, and the rights
// notice, lines separated by "\r\n" (no line break at the end).
QString AboutText(const QString& version);

// The program's version as "major.minor.release.build", from the build.
QString ProgramVersion();

}  // namespace zephra::app
