#include "widgets/image_cc_zoom.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "widgets/image_cc_geometry.h"

namespace zephra::widgets {
namespace {

using std::int64_t;

constexpr int Percent = 100;
// Up to this percentage a step is two percent; above it, one percent per hundred less one.
constexpr int SmallStepLimit = 300;
constexpr int SmallStep = 2;
// Slack that keeps CanZoomIn/CanZoomOut from offering a step that would change nothing.
constexpr int ZoomSlack = 2;
// Above this the Zoom property reads to one decimal.
constexpr double CoarseZoomAbove = 3.0;

// Kept well inside the int range so that adding a step or the slack cannot overflow.
constexpr int64_t PercentageLimit = INT_MAX / 2;

int Percentage(int64_t width, int64_t base) {
  return static_cast<int>(
      std::clamp<int64_t>(width * Percent / base, -PercentageLimit, PercentageLimit));
}

double FitPercentage(QSize picture, QSize control, int base) {
  const int64_t pw = picture.width(), ph = picture.height();
  const int64_t cw = control.width(), ch = control.height();
  // pw / cw > ph / ch, compared without dividing by a side that may be 0.
  if (pw * ch > ph * cw) return double(cw) * Percent / base;
  if (ph <= 0) return 0;
  return double(pw) * ch / (double(ph) * base) * Percent;
}

double StepFactor(int percent) { return double(percent) / Percent; }

// Whether the fit size lies strictly between steps `lower` and `upper` while the current zoom
// sits on `current` (the step next to it) and is not itself the fit size.
bool VisitsFit(int current, int lower, int upper, double fit, double zoomFactor) {
  const int r = RoundHalfEven(zoomFactor * Percent);
  return current == r && RoundHalfEven(fit) != r && lower < fit && fit < upper;
}

}  // namespace

TZoomInfo GetZoomInfo(QSize picture, QSize control, int srcImgWidth, int displayedWidth) {
  TZoomInfo info;
  const int base = srcImgWidth > 0 ? srcImgWidth : picture.width();
  if (base > 0 && picture.width() > 0) {
    info.Fit = FitPercentage(picture, control, base);
    info.Current = Percentage(displayedWidth, base);
  }
  info.Step = info.Current <= SmallStepLimit ? SmallStep : info.Current / Percent - 1;
  return info;
}

double NextZoomIn(const TZoomInfo& info, double zoomFactor) {
  const int target = std::max(MinZoomPercent, info.Current + info.Step);
  const auto next = std::upper_bound(ZoomSteps.begin(), ZoomSteps.end(), target);
  if (next == ZoomSteps.end()) return StepFactor(MaxZoomPercent);
  if (next == ZoomSteps.begin()) return StepFactor(*next);
  const int below = *(next - 1);
  if (VisitsFit(below, below, *next, info.Fit, zoomFactor)) return info.Fit / Percent;
  return StepFactor(*next);
}

double NextZoomOut(const TZoomInfo& info, double zoomFactor) {
  const int target = std::min(MaxZoomPercent, info.Current - info.Step);
  // The last step below the target: the one before the first step not below it.
  const auto notBelow = std::lower_bound(ZoomSteps.begin(), ZoomSteps.end(), target);
  if (notBelow == ZoomSteps.begin()) return StepFactor(MinZoomPercent);
  const auto next = notBelow - 1;
  if (next + 1 == ZoomSteps.end()) return StepFactor(*next);
  const int above = *(next + 1);
  if (VisitsFit(above, *next, above, info.Fit, zoomFactor)) return info.Fit / Percent;
  return StepFactor(*next);
}

double ReadZoom(double zoomFactor, int pictureWidth, int srcImgWidth) {
  const double z = srcImgWidth < 1 ? zoomFactor : pictureWidth * zoomFactor / srcImgWidth;
  if (z > CoarseZoomAbove) return std::nearbyint(z * 10) / 10;
  return z;
}

double ZoomFactorFor(double value, int pictureWidth, int srcImgWidth) {
  if (srcImgWidth <= 0) return value;
  return value * srcImgWidth / pictureWidth;
}

bool CanZoomInAt(int displayedWidth, int width) {
  if (width == 0) return false;
  return Percentage(displayedWidth, width) + ZoomSlack < MaxZoomPercent;
}

bool CanZoomOutAt(int displayedWidth, int width) {
  if (width == 0) return false;
  return MinZoomPercent < Percentage(displayedWidth, width) - ZoomSlack;
}

}  // namespace zephra::widgets
