#include "app_test_support.h"

#include <QApplication>

namespace zephra::app::testing {

void EnsureApplication() {
  static int argc = 1;
  static char arg0[] = "app_test";
  static char* argv[] = {arg0, nullptr};
  if (QApplication::instance() == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    new QApplication(argc, argv);  // lives until the process ends
  }
}

}  // namespace zephra::app::testing
