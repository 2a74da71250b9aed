#include "viewer/gif_decoder.h"

#include <gif_lib.h>

#include <QFile>
#include <cstring>
#include <memory>
#include <vector>

#include "base/stop_flag.h"
#include "viewer/decode_limits.h"
#include "viewer/gif_composer.h"

namespace zephra::viewer {
namespace {

constexpr int ScreenBytesPerPixel = 4;
constexpr int CentisecondMs = 10;
constexpr int LoopBlockSize = 3;
constexpr int LoopBlockId = 1;
constexpr int ApplicationIdSize = 11;
constexpr char NetscapeLoop[] = "NETSCAPE2.0";
constexpr char AnimextsLoop[] = "ANIMEXTS1.0";

int ReadFromDevice(GifFileType* gif, GifByteType* data, int length) {
  auto* device = static_cast<QIODevice*>(gif->UserData);
  const qint64 count = device->read(reinterpret_cast<char*>(data), length);
  return count < 0 ? 0 : static_cast<int>(count);
}

struct TGifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using TGifFile = std::unique_ptr<GifFileType, TGifCloser>;

// The row of the frame that the `index`-th stored row of an interlaced frame of `height` rows
// fills: rows 0, 8, 16, … first, then 4, 12, …, then 2, 6, …, then 1, 3, ….
int InterlacedRow(int index, int height) {
  struct TPass {
    int Start, Step;
  };
  constexpr TPass Passes[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
  for (const TPass& pass : Passes) {
    const int rows = height > pass.Start ? (height - pass.Start + pass.Step - 1) / pass.Step : 0;
    if (index < rows) return pass.Start + index * pass.Step;
    index -= rows;
  }
  return -1;
}

std::vector<QRgb> PaletteOf(const ColorMapObject* map) {
  std::vector<QRgb> palette;
  if (map == nullptr || map->Colors == nullptr) return palette;
  palette.reserve(map->ColorCount);
  for (int i = 0; i < map->ColorCount; ++i) {
    const GifColorType& c = map->Colors[i];
    palette.push_back(qRgb(c.Red, c.Green, c.Blue));
  }
  return palette;
}

// Reads one GIF record after another and composes its frames.
class TGifReader {
 public:
  // The screen must fit `maxBytes` twice: one composed frame and the screen being drawn.
  TGifReader(GifFileType* gif, const base::TStopFlag& abortLoad, qint64 maxBytes)
      : FGif(gif),
        FAbort(abortLoad),
        FFrameBytes(PaddedPictureBytes(gif->SWidth, gif->SHeight, ScreenBytesPerPixel) +
                    GifFrameOverheadBytes),
        FMaxBytes(maxBytes),
        FComposer(QSize(gif->SWidth, gif->SHeight)) {
    FFrames.ScreenSize = QSize(gif->SWidth, gif->SHeight);
    FFrames.PlayCount = 1;
  }

  std::optional<widgets::TGifFrames> ReadAll() {
    if (!FComposer.IsValid()) return std::nullopt;
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    do {
      if (DGifGetRecordType(FGif, &type) == GIF_ERROR) return std::nullopt;
      const bool ok = type == IMAGE_DESC_RECORD_TYPE  ? ReadFrame()
                      : type == EXTENSION_RECORD_TYPE ? ReadExtension()
                                                      : true;
      if (!ok) return std::nullopt;
    } while (type != TERMINATE_RECORD_TYPE);
    if (FFrames.Frames.empty()) return std::nullopt;
    return std::move(FFrames);
  }

 private:
  bool ReadFrame() {
    if (DGifGetImageDesc(FGif) == GIF_ERROR) return false;
    const GifImageDesc& desc = FGif->Image;
    // Budgets: the pixels to decode, and the frames kept plus this one plus the working screen.
    FStoredPixels += qint64(desc.Width) * desc.Height;
    if (FStoredPixels > MaxPicturePixels ||
        FFrameBytes * qint64(FFrames.Frames.size() + 2) > FMaxBytes) {
      return false;
    }
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : FGif->SColorMap;
    FComposer.BeginFrame(QRect(desc.Left, desc.Top, desc.Width, desc.Height), PaletteOf(map),
                         FTransparent, FDisposal);
    if (!ReadRows(desc)) return false;
    FFrames.Frames.push_back({FComposer.EndFrame(), FDelayCs * CentisecondMs});
    // A graphic control extension applies to the next frame only.
    FTransparent = NO_TRANSPARENT_COLOR;
    FDisposal = gdNone;
    FDelayCs = 0;
    return true;
  }

  bool ReadRows(const GifImageDesc& desc) {
    if (desc.Width <= 0 || desc.Height <= 0) return SkipImageData();
    FRow.resize(desc.Width);
    for (int i = 0; i < desc.Height; ++i) {
      if (FAbort.IsSet()) return false;
      if (DGifGetLine(FGif, FRow.data(), desc.Width) == GIF_ERROR) return false;
      FComposer.PutRow(desc.Interlace ? InterlacedRow(i, desc.Height) : i, FRow.data());
    }
    return true;
  }

  // Passes over the compressed data of a frame without pixels.
  bool SkipImageData() {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(FGif, &codeSize, &block) == GIF_ERROR) return false;
    while (block != nullptr) {
      if (DGifGetCodeNext(FGif, &block) == GIF_ERROR) return false;
    }
    return true;
  }

  bool ReadExtension() {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(FGif, &code, &block) == GIF_ERROR) return false;
    if (block != nullptr && code == GRAPHICS_EXT_FUNC_CODE) {
      GraphicsControlBlock control;
      if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
        FTransparent = control.TransparentColor;
        FDisposal = control.DisposalMode;
        FDelayCs = control.DelayTime;
      }
    }
    const bool loopApplication = block != nullptr && code == APPLICATION_EXT_FUNC_CODE &&
                                 block[0] == ApplicationIdSize &&
                                 (std::memcmp(block + 1, NetscapeLoop, ApplicationIdSize) == 0 ||
                                  std::memcmp(block + 1, AnimextsLoop, ApplicationIdSize) == 0);
    while (block != nullptr) {
      if (DGifGetExtensionNext(FGif, &block) == GIF_ERROR) return false;
      if (loopApplication && block != nullptr && block[0] >= LoopBlockSize &&
          block[1] == LoopBlockId) {
        const int repeats = block[2] | block[3] << 8;
        FFrames.PlayCount = repeats == 0 ? 0 : repeats + 1;
      }
    }
    return true;
  }

  GifFileType* FGif;
  const base::TStopFlag& FAbort;
  const qint64 FFrameBytes;  // one composed screen and its records
  const qint64 FMaxBytes;
  TGifComposer FComposer;
  widgets::TGifFrames FFrames;
  std::vector<GifPixelType> FRow;
  qint64 FStoredPixels = 0;
  int FTransparent = NO_TRANSPARENT_COLOR;
  int FDisposal = gdNone;
  int FDelayCs = 0;
};

}  // namespace

std::optional<widgets::TGifFrames> DecodeGifFrames(QIODevice& source,
                                                   const base::TStopFlag& abortLoad,
                                                   qint64 maxBytes) {
  int error = 0;
  TGifFile gif(DGifOpen(&source, ReadFromDevice, &error));
  if (!gif || abortLoad.IsSet()) return std::nullopt;
  if (!FitsPictureLimits(gif->SWidth, gif->SHeight, ScreenBytesPerPixel) ||
      2 * PaddedPictureBytes(gif->SWidth, gif->SHeight, ScreenBytesPerPixel) > maxBytes) {
    return std::nullopt;
  }
  return TGifReader(gif.get(), abortLoad, maxBytes).ReadAll();
}

std::optional<widgets::TGifFrames> LoadGifFrames(const QString& path,
                                                 const base::TStopFlag& abortLoad) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return DecodeGifFrames(file, abortLoad);
}

}  // namespace zephra::viewer
