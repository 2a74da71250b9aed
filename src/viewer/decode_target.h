#pragma once

#include <QImage>

namespace zephra::viewer {

// Makes `target` a width x height Format_BGR888 picture that the caller may write through
// bits(): its own buffer is kept when it has that size and format and is not shared (fresh
// memory is slow to touch for the first time), else it is replaced by a new one, the old one
// released first. Contents are undefined. False, with `target` empty, when allocation fails.
// The caller has checked the size against the picture caps.
bool PrepareTarget(QImage& target, int width, int height);

}  // namespace zephra::viewer
