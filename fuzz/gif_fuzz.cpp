// The GIF decoder and the frame composer. Input that starts like a GIF goes to the decoder (which
// drives the composer as the file says); any other input is read as a script of frames for the
// composer itself, so that frame placements, palettes and disposals a decoder would reject or
// never produce reach it too.
#include <QImage>
#include <cstring>
#include <vector>

#include "base/stop_flag.h"
#include "decoder_input.h"
#include "fuzz_target.h"
#include "viewer/gif_composer.h"
#include "viewer/gif_decoder.h"

namespace {

using namespace zephra::viewer;

constexpr std::size_t MaxInput = 65536;
constexpr char GifSignature[] = "GIF";
// Composer scripts: screens and frames of up to this many pixels a side, frames placed up to
// this far outside the screen.
constexpr int MaxScriptSide = 64;
constexpr int MaxScriptOffset = 32;

void CheckDecoder(const std::uint8_t* data, std::size_t size) {
  zephra::fuzz::TInputDevice input(data, size);
  zephra::base::TStopFlag abortLoad;
  const auto frames = DecodeGifFrames(input.Device(), abortLoad);
  if (!frames) return;
  ZEPHRA_FUZZ_CHECK(!frames->Frames.empty());
  ZEPHRA_FUZZ_CHECK(frames->PlayCount >= 0);
  for (const auto& frame : frames->Frames) {
    ZEPHRA_FUZZ_CHECK(frame.Image.size() == frames->ScreenSize);
    ZEPHRA_FUZZ_CHECK(frame.DelayMs >= 0);
  }
}

// Reads the script's bytes one at a time; zeros once it has run out.
class TScript {
 public:
  TScript(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
  bool AtEnd() const { return FAt >= FSize; }
  int Byte() { return FAt < FSize ? FData[FAt++] : 0; }
  int Between(int low, int high) { return low + Byte() % (high - low + 1); }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FAt = 0;
};

// Script: screen width and height, then per frame its rectangle, transparent index (-1..254),
// disposal (-1..5, outside 0..3 counts as none), palette size and colours, and its rows.
void CheckComposer(const std::uint8_t* data, std::size_t size) {
  TScript script(data, size);
  const QSize screen(script.Between(1, MaxScriptSide), script.Between(1, MaxScriptSide));
  TGifComposer composer(screen);
  ZEPHRA_FUZZ_CHECK(composer.IsValid());
  while (!script.AtEnd()) {
    const QRect frame(script.Between(-MaxScriptOffset, MaxScriptSide + MaxScriptOffset),
                      script.Between(-MaxScriptOffset, MaxScriptSide + MaxScriptOffset),
                      script.Between(0, MaxScriptSide), script.Between(0, MaxScriptSide));
    const int transparent = script.Byte() - 1;
    const int disposal = script.Between(-1, 5);
    std::vector<QRgb> palette(script.Byte());
    for (QRgb& colour : palette) colour = qRgb(script.Byte(), script.Byte(), script.Byte());
    composer.BeginFrame(frame, std::move(palette), transparent, disposal);
    std::vector<std::uint8_t> row(frame.width());
    for (int y = 0; y < frame.height(); ++y) {
      for (auto& index : row) index = static_cast<std::uint8_t>(script.Byte());
      composer.PutRow(y, row.data());
    }
    const QImage shown = composer.EndFrame();
    ZEPHRA_FUZZ_CHECK(shown.size() == screen);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxInput) return 0;
  if (size >= 3 && std::memcmp(data, GifSignature, 3) == 0) {
    CheckDecoder(data, size);
  } else {
    CheckComposer(data, size);
  }
  return 0;
}
