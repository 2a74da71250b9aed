#include "viewer/gif_composer.h"

#include <algorithm>
#include <utility>

namespace zephra::viewer {

TGifComposer::TGifComposer(QSize screen) : FScreen(screen, QImage::Format_ARGB32_Premultiplied) {
  if (!FScreen.isNull()) FScreen.fill(Qt::transparent);
}

void TGifComposer::BeginFrame(const QRect& frame, std::vector<QRgb> palette, int transparentIndex,
                              int disposal) {
  FFrame = frame;
  FVisible = frame.intersected(FScreen.rect());
  FPalette = std::move(palette);
  for (QRgb& colour : FPalette) colour |= 0xFF000000u;  // opaque
  FTransparent = transparentIndex;
  FDisposal = disposal >= gdNone && disposal <= gdPrevious ? disposal : gdNone;
  FBeforeFrame = FDisposal == gdPrevious ? FScreen : QImage();
}

void TGifComposer::PutRow(int row, const std::uint8_t* indexes) {
  const int y = FFrame.top() + row;
  if (FVisible.isEmpty() || y < FVisible.top() || y > FVisible.bottom()) return;
  auto* pixels = reinterpret_cast<QRgb*>(FScreen.scanLine(y));
  const std::size_t colours = FPalette.size();
  for (int x = FVisible.left(); x <= FVisible.right(); ++x) {
    const int index = indexes[x - FFrame.left()];
    if (index == FTransparent || static_cast<std::size_t>(index) >= colours) continue;
    pixels[x] = FPalette[index];
  }
}

QImage TGifComposer::EndFrame() {
  QImage shown = FScreen;
  if (FDisposal == gdBackground && !FVisible.isEmpty()) {
    for (int y = FVisible.top(); y <= FVisible.bottom(); ++y) {
      auto* pixels = reinterpret_cast<QRgb*>(FScreen.scanLine(y));
      std::fill(pixels + FVisible.left(), pixels + FVisible.right() + 1, QRgb(0));
    }
  } else if (FDisposal == gdPrevious) {
    FScreen = std::move(FBeforeFrame);
  }
  FBeforeFrame = QImage();
  return shown;
}

}  // namespace zephra::viewer
