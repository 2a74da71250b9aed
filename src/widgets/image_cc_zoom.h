#pragma once

#include <QSize>
#include <array>

namespace zephra::widgets {

// The percentages that ZoomIn and ZoomOut step through, ascending; the first and last are the
// smallest and largest zoom that stepping reaches.
inline constexpr std::array<int, 17> ZoomSteps = {5,   10,  20,  30,  40,  50,  60,  80,  100,
                                                  120, 150, 200, 300, 400, 500, 800, 1000};
inline constexpr int MinZoomPercent = ZoomSteps.front();
inline constexpr int MaxZoomPercent = ZoomSteps.back();

// Where a zoom step starts from. Percentages are of the base width: SrcImgWidth when that is
// positive (the full-size image of which the control may show a reduced copy), else the picture
// width.
struct TZoomInfo {
  double Fit = 0;   // the percentage at which the picture just fits the control
  int Current = 0;  // the displayed width's percentage, truncated
  int Step = 0;     // the least change that counts as a step, in percent
};

// `displayedWidth` is the width of the destination rectangle in control pixels. A picture or
// base without pixels gives a zero Fit and Current.
TZoomInfo GetZoomInfo(QSize picture, QSize control, int srcImgWidth, int displayedWidth);

// The next zoom (as a factor of the base width, 0.05 to 10.0) one step up or down from `info`.
// `zoomFactor` is the control's current factor (displayed width / picture width); when it sits on
// the step next to the fit size, the fit size is visited before the step beyond it.
double NextZoomIn(const TZoomInfo& info, double zoomFactor);
double NextZoomOut(const TZoomInfo& info, double zoomFactor);

// The Zoom property as read: the factor relative to the base width, to one decimal above 3.0.
double ReadZoom(double zoomFactor, int pictureWidth, int srcImgWidth);
// The zoom factor that makes ReadZoom give `value` (before its rounding). pictureWidth > 0.
double ZoomFactorFor(double value, int pictureWidth, int srcImgWidth);

// Whether a step up (down) would still change the view: the displayed width's percentage of
// `width` (> 0), with two percent of slack, is below the largest (above the smallest) step.
bool CanZoomInAt(int displayedWidth, int width);
bool CanZoomOutAt(int displayedWidth, int width);

}  // namespace zephra::widgets
