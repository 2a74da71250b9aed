#pragma once

#include <QString>
#include <optional>

#include "viewer/decode_limits.h"
#include "widgets/gif_frames.h"

class QIODevice;

namespace zephra::base {
class TStopFlag;
}

namespace zephra::viewer {

// What a kept frame costs besides its pixels (the image's own record and the GIF library's record
// of the frame), so that a flood of tiny frames counts against the memory budget too.
inline constexpr qint64 GifFrameOverheadBytes = 256;

// Decodes every frame of the GIF on `source` for the viewer to play: each frame composed on the
// logical screen with the disposal of the frames before it (see TGifComposer), its delay in
// milliseconds, and the play count from a NETSCAPE2.0 (or ANIMEXTS1.0) loop extension.
// Refuses, before allocating, a screen above the picture caps, frames whose composed screens
// (with the one being drawn), at GifFrameOverheadBytes more each, would together exceed
// `maxBytes`, and frames whose stored areas add up to more than MaxPicturePixels. Nothing when the
// data is not a GIF, is truncated or corrupt, holds no frame, or `abortLoad` is set (checked
// between rows).
std::optional<widgets::TGifFrames> DecodeGifFrames(QIODevice& source,
                                                   const base::TStopFlag& abortLoad,
                                                   qint64 maxBytes = MaxPictureBytes);

// DecodeGifFrames on the file at `path`.
std::optional<widgets::TGifFrames> LoadGifFrames(const QString& path,
                                                 const base::TStopFlag& abortLoad);

}  // namespace zephra::viewer
