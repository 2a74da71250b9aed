#include "viewer/slide_surface.h"

#include <QMouseEvent>
#include <QPainter>

namespace zephra::viewer {

TSlideSurface::TSlideSurface(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void TSlideSurface::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (bitmap_.isNull()) return;
  painter.drawImage(event->rect().topLeft(), bitmap_, event->rect());
}

void TSlideSurface::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(event);
}

}  // namespace zephra::viewer
