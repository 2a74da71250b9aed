#pragma once

#include <QString>

namespace zephra::app {

// Shows `text` in a modal information box captioned "Zephra . WIFI" and returns when the user
// closed it. "\r\n" line breaks are shown as line breaks. GUI thread only.
void ShowMessageBox(const QString& text);

}  // namespace zephra::app
