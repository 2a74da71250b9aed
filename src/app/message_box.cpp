#include "app/message_box.h"

#include <QMessageBox>

#include "app/app_constants.h"

namespace zephra::app {

void ShowMessageBox(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Information, QString::fromUtf8(AppTitle), shown, QMessageBox::Ok);
  box.exec();
}

}  // namespace zephra::app
