#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

namespace zephra::viewer {

// ImgSlideEff: the surface a transition draws on, covering the window while it runs. It paints
// its bitmap and passes mouse moves on to the window.
class TSlideSurface : public QWidget {
 public:
  explicit TSlideSurface(QWidget* parent);

  QImage& Bitmap() { return bitmap_; }
  std::function<void(QMouseEvent*)> OnMouseMove;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QImage bitmap_;
};

}  // namespace zephra::viewer
