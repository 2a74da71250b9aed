#include "app/tfm_menu_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/app_constants.h"
#include "install/install_constants.h"

namespace zephra::app {
namespace {

// Flat buttons on the install window's colour, in the program's own look rather than the
// desktop style's.
constexpr char ButtonStyle[] =
    "QPushButton { background: white; border: 1px solid #b4b4dc; border-radius: 4px;"
    " padding: 0 16px; }"
    "QPushButton:hover { background: #dcdcff; }"
    "QPushButton:pressed { background: #c8c8f0; }";

}  // namespace

TfmMenuWindow::TfmMenuWindow(QMenu& menu, const QString& title, const QIcon& icon,
                             std::function<void()> onClose)
    : onClose_(std::move(onClose)) {
  setObjectName(QStringLiteral("fmMenuWindow"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(title);
  setWindowIcon(icon);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, install::InstallWindowColour);
  setPalette(colours);
  setAutoFillBackground(true);
  QFont font(QString::fromLatin1(install::InstallFontFamily));
  font.setPixelSize(MenuWindowFontPixels);
  setFont(font);
  setStyleSheet(QString::fromLatin1(ButtonStyle));
  AddButtons(menu);
}

void TfmMenuWindow::AddButtons(QMenu& menu) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(MenuWindowMargin, MenuWindowMargin, MenuWindowMargin,
                             MenuWindowMargin);
  layout->setSpacing(MenuWindowSpacing);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  for (QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      layout->addSpacing(MenuWindowSpacing);
      continue;
    }
    auto* button = new QPushButton(action->text(), this);
    button->setObjectName(action->objectName());
    button->setMinimumSize(MenuWindowButtonSize);
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    layout->addWidget(button);
  }
}

void TfmMenuWindow::ShowCentred() {
  if (!placed_) {
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect placed(QPoint(0, 0), size());
      placed.moveCenter(screen->availableGeometry().center());
      move(placed.topLeft());
    }
    placed_ = true;
  }
  show();
}

void TfmMenuWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (onClose_) onClose_();
}

}  // namespace zephra::app
