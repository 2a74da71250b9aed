#pragma once

namespace zephra::app::testing {

// One application object for the whole test program, on Qt's offscreen platform unless
// QT_QPA_PLATFORM names another.
void EnsureApplication();

}  // namespace zephra::app::testing
