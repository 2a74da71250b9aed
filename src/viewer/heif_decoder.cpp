#include "viewer/heif_decoder.h"

#include <libheif/heif.h>

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "base/stop_flag.h"
#include "viewer/decode_target.h"

namespace zephra::viewer {
namespace {

constexpr int BgrComponents = 3;
constexpr int RgbaComponents = 4;
constexpr unsigned White = 255;

// The file type box: size, "ftyp", major brand, minor version, then compatible brands.
constexpr qsizetype BoxTypeOffset = 4;
constexpr qsizetype MajorBrandOffset = 8;
constexpr qsizetype CompatibleBrandsOffset = 16;
constexpr qsizetype BrandBytes = 4;
constexpr std::array<const char*, 10> HeifBrands{"heic", "heix", "heim", "heis", "hevc",
                                                 "hevx", "mif1", "msf1", "avif", "avis"};

// libheif 1.15 limits each side on its own (a side must stay below the limit), and its limit
// is what bounds the decoder's allocations: a file's declared size does not, as a stream that
// decodes to far more than its item declares shows. The limit is therefore the side of a square
// at the pixel cap, plus the coding block (64) by which an HEVC picture's coded size may exceed
// it, so that no file makes libheif decode much more than MaxPicturePixels. Pictures with a
// longer side (panoramas beyond 17320 pixels) are refused even when their area is within the
// caps.
constexpr int CodingBlockPadding = 64;
constexpr int MaxHeifSide = 17'320 + CodingBlockPadding + 1;
static_assert(qint64(MaxHeifSide - CodingBlockPadding - 1) *
                  (MaxHeifSide - CodingBlockPadding - 1) <=
              MaxPicturePixels);

constexpr int MaxReduction = 8;

// Frees each libheif object with its own release function.
struct THeifRelease {
  void operator()(heif_context* context) const { heif_context_free(context); }
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
  void operator()(heif_image* image) const { heif_image_release(image); }
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
template <class T>
using THeifOwned = std::unique_ptr<T, THeifRelease>;

TDecodeStatus StatusOf(const heif_error& error) {
  if (error.code == heif_error_Ok) return TDecodeStatus::Ok;
  return error.subcode == heif_suberror_Security_limit_exceeded ? TDecodeStatus::TooLarge
                                                                : TDecodeStatus::Failed;
}

bool IsHeifBrand(const char* brand) {
  return std::any_of(HeifBrands.begin(), HeifBrands.end(),
                     [brand](const char* known) { return std::memcmp(brand, known, 4) == 0; });
}

// 1, 2, 4 or 8: `wanted` when it is one of them, else 1.
int ValidReduction(int wanted) {
  for (int reduce = 2; reduce <= MaxReduction; reduce *= 2) {
    if (wanted == reduce) return reduce;
  }
  return 1;
}

int ReducedSide(int side, int reduce) { return (side + reduce - 1) / reduce; }

// All of `source` from its position. libheif parses from memory: the file is read once, and
// decoding threads never share a device.
TDecodeStatus ReadSource(QIODevice& source, QByteArray& bytes) {
  if (!source.isSequential() && source.size() - source.pos() > MaxPictureBytes) {
    return TDecodeStatus::TooLarge;
  }
  bytes = source.readAll();
  if (bytes.size() > MaxPictureBytes) return TDecodeStatus::TooLarge;
  return bytes.isEmpty() ? TDecodeStatus::Failed : TDecodeStatus::Ok;
}

// A parsed file and its primary picture. The bytes it was opened on must outlive it.
class THeifFile {
 public:
  TDecodeStatus Open(const QByteArray& bytes) {
    FContext.reset(heif_context_alloc());
    if (!FContext) return TDecodeStatus::Failed;
    heif_context_set_maximum_image_size_limit(FContext.get(), MaxHeifSide);
    const heif_error read = heif_context_read_from_memory_without_copy(
        FContext.get(), bytes.constData(), static_cast<size_t>(bytes.size()), nullptr);
    if (read.code != heif_error_Ok) return StatusOf(read);
    heif_image_handle* primary = nullptr;
    const heif_error got = heif_context_get_primary_image_handle(FContext.get(), &primary);
    FPrimary.reset(primary);
    if (got.code != heif_error_Ok) return StatusOf(got);
    return FPrimary ? TDecodeStatus::Ok : TDecodeStatus::Failed;
  }

  const heif_image_handle* Primary() const { return FPrimary.get(); }

  // The smallest thumbnail of the primary picture that is at least width x height, smaller
  // than the primary, and of its proportions to within a pixel; null when there is none.
  THeifOwned<heif_image_handle> ThumbnailAtLeast(int width, int height) const {
    const int fullWidth = heif_image_handle_get_width(Primary());
    const int fullHeight = heif_image_handle_get_height(Primary());
    const int count = heif_image_handle_get_number_of_thumbnails(Primary());
    if (count <= 0) return nullptr;
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    const int listed = heif_image_handle_get_list_of_thumbnail_IDs(Primary(), ids.data(), count);
    THeifOwned<heif_image_handle> best;
    for (int i = 0; i < listed; ++i) {
      heif_image_handle* handle = nullptr;
      const heif_error got = heif_image_handle_get_thumbnail(Primary(), ids[i], &handle);
      THeifOwned<heif_image_handle> thumbnail(handle);
      if (got.code != heif_error_Ok || !thumbnail) continue;
      const int w = heif_image_handle_get_width(handle);
      const int h = heif_image_handle_get_height(handle);
      const qint64 skew = std::abs(qint64(w) * fullHeight - qint64(h) * fullWidth);
      if (w < width || h < height || w >= fullWidth || skew > std::max(fullWidth, fullHeight)) {
        continue;
      }
      if (!best || w < heif_image_handle_get_width(best.get())) best = std::move(thumbnail);
    }
    return best;
  }

 private:
  THeifOwned<heif_context> FContext;
  THeifOwned<heif_image_handle> FPrimary;
};

// 8-bit interleaved R,G,B or R,G,B,A pixels of a decoded picture.
struct TPixels {
  const uint8_t* Data = nullptr;
  int Stride = 0;
  int Width = 0;
  int Height = 0;
  int Components = BgrComponents;
  bool Premultiplied = false;
};

// The decode of `handle`, transformations applied, as 8-bit interleaved R,G,B, or R,G,B,A when
// it has transparency.
TDecodeStatus DecodeInterleaved(const heif_image_handle* handle, THeifOwned<heif_image>& image) {
  const THeifOwned<heif_decoding_options> options(heif_decoding_options_alloc());
  if (!options) return TDecodeStatus::Failed;
  options->convert_hdr_to_8bit = 1;
  const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
  heif_image* decoded = nullptr;
  const heif_error error = heif_decode_image(
      handle, &decoded, heif_colorspace_RGB,
      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
  image.reset(decoded);
  if (error.code != heif_error_Ok) return StatusOf(error);
  return image ? TDecodeStatus::Ok : TDecodeStatus::Failed;
}

// The pixels of `image`; nothing unless they are 8-bit interleaved R,G,B(,A) rows.
std::optional<TPixels> PixelsOf(const heif_image* image) {
  const heif_chroma chroma = heif_image_get_chroma_format(image);
  if (chroma != heif_chroma_interleaved_RGB && chroma != heif_chroma_interleaved_RGBA) {
    return std::nullopt;
  }
  TPixels pixels;
  pixels.Components = chroma == heif_chroma_interleaved_RGBA ? RgbaComponents : BgrComponents;
  pixels.Data = heif_image_get_plane_readonly(image, heif_channel_interleaved, &pixels.Stride);
  pixels.Width = heif_image_get_width(image, heif_channel_interleaved);
  pixels.Height = heif_image_get_height(image, heif_channel_interleaved);
  pixels.Premultiplied = heif_image_is_premultiplied_alpha(const_cast<heif_image*>(image)) != 0;
  if (pixels.Data == nullptr || pixels.Width < 1 || pixels.Height < 1 ||
      heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved) != 8 ||
      pixels.Stride < qint64(pixels.Width) * pixels.Components) {
    return std::nullopt;
  }
  return pixels;
}

// DecodeInterleaved and PixelsOf: Ok with `pixels` set, or why not.
TDecodeStatus DecodePixels(const heif_image_handle* handle, THeifOwned<heif_image>& image,
                           std::optional<TPixels>& pixels) {
  pixels.reset();
  image.reset();
  const TDecodeStatus status = DecodeInterleaved(handle, image);
  if (status != TDecodeStatus::Ok) return status;
  pixels = PixelsOf(image.get());
  return pixels ? TDecodeStatus::Ok : TDecodeStatus::Failed;
}

// One pixel's red, green and blue over white.
template <int Components, bool Premultiplied>
inline void OverWhite(const uint8_t* in, unsigned& r, unsigned& g, unsigned& b) {
  if constexpr (Components == BgrComponents) {
    r = in[0], g = in[1], b = in[2];
  } else if constexpr (Premultiplied) {
    const unsigned background = White - in[3];
    r = std::min(in[0] + background, White);
    g = std::min(in[1] + background, White);
    b = std::min(in[2] + background, White);
  } else {
    const unsigned a = in[3], background = White * (White - a) + White / 2;
    r = (in[0] * a + background) / White;
    g = (in[1] * a + background) / White;
    b = (in[2] * a + background) / White;
  }
}

template <int Components, bool Premultiplied>
void ConvertRow(const uint8_t* in, uchar* out, int width) {
  for (int x = 0; x < width; ++x, in += Components, out += BgrComponents) {
    unsigned r, g, b;
    OverWhite<Components, Premultiplied>(in, r, g, b);
    out[0] = uchar(b), out[1] = uchar(g), out[2] = uchar(r);
  }
}

// Adds input row `in` to the per-box sums of one output row: box x covers input columns
// x * reduce to (x + 1) * reduce - 1, the last one cut at `width`.
template <int Components, bool Premultiplied>
void AddRow(const uint8_t* in, int width, int reduce, unsigned* sums) {
  for (int left = 0; left < width; left += reduce, sums += BgrComponents) {
    const int right = std::min(left + reduce, width);
    unsigned sumR = 0, sumG = 0, sumB = 0;
    for (int x = left; x < right; ++x) {
      unsigned r, g, b;
      OverWhite<Components, Premultiplied>(in + x * Components, r, g, b);
      sumR += r, sumG += g, sumB += b;
    }
    sums[0] += sumB, sums[1] += sumG, sums[2] += sumR;
  }
}

// `pixels` into `target` (sized for `reduce`), each target pixel the rounded average of its
// box; false, leaving the target part-written, once `abortLoad` is set between rows.
template <int Components, bool Premultiplied>
bool Convert(const TPixels& pixels, int reduce, QImage& target, const base::TStopFlag& abortLoad) {
  const int outWidth = target.width();
  std::vector<unsigned> sums(reduce > 1 ? size_t(outWidth) * BgrComponents : 0);
  for (int y = 0; y < target.height(); ++y) {
    if (abortLoad.IsSet()) return false;
    uchar* out = target.scanLine(y);
    const int top = y * reduce, bottom = std::min(top + reduce, pixels.Height);
    if (reduce == 1) {
      ConvertRow<Components, Premultiplied>(pixels.Data + qint64(top) * pixels.Stride, out,
                                            pixels.Width);
      continue;
    }
    std::fill(sums.begin(), sums.end(), 0u);
    for (int row = top; row < bottom; ++row) {
      AddRow<Components, Premultiplied>(pixels.Data + qint64(row) * pixels.Stride, pixels.Width,
                                        reduce, sums.data());
    }
    for (int x = 0; x < outWidth; ++x) {
      const unsigned count =
          unsigned(bottom - top) * unsigned(std::min(reduce, pixels.Width - x * reduce));
      for (int c = 0; c < BgrComponents; ++c) {
        const size_t at = size_t(x) * BgrComponents + c;
        out[at] = uchar((sums[at] + count / 2) / count);
      }
    }
  }
  return true;
}

bool ConvertAny(const TPixels& pixels, int reduce, QImage& target,
                const base::TStopFlag& abortLoad) {
  if (pixels.Components == BgrComponents) {
    return Convert<BgrComponents, false>(pixels, reduce, target, abortLoad);
  }
  return pixels.Premultiplied ? Convert<RgbaComponents, true>(pixels, reduce, target, abortLoad)
                              : Convert<RgbaComponents, false>(pixels, reduce, target, abortLoad);
}

// What to decode for a picture of width x height reduced by `reduce`: the primary picture at
// that reduction, or a thumbnail at least that large at its own size.
struct TDecodeChoice {
  THeifOwned<heif_image_handle> Thumbnail;
  int Reduce = 1;
};

TDecodeChoice ChooseDecode(const THeifFile& file, int width, int height, int reduce) {
  TDecodeChoice choice;
  choice.Reduce = reduce;
  if (reduce > 1) {
    choice.Thumbnail =
        file.ThumbnailAtLeast(ReducedSide(width, reduce), ReducedSide(height, reduce));
    if (choice.Thumbnail) choice.Reduce = 1;
  }
  return choice;
}

}  // namespace

bool IsHeifHeader(const QByteArray& head) {
  if (head.size() < CompatibleBrandsOffset ||
      std::memcmp(head.constData() + BoxTypeOffset, "ftyp", BrandBytes) != 0) {
    return false;
  }
  const qint64 boxSize = qFromBigEndian<quint32>(head.constData());
  if (boxSize < CompatibleBrandsOffset) return false;
  if (IsHeifBrand(head.constData() + MajorBrandOffset)) return true;
  const qsizetype end = qsizetype(std::min<qint64>(boxSize, head.size()));
  for (qsizetype at = CompatibleBrandsOffset; at + BrandBytes <= end; at += BrandBytes) {
    if (IsHeifBrand(head.constData() + at)) return true;
  }
  return false;
}

THeifDecode DecodeHeif(QImage& target, QIODevice& source, const THeifReduction& reduction,
                       const base::TStopFlag& abortLoad) {
  const auto fail = [&target](TDecodeStatus status) {
    target = QImage();
    return THeifDecode{status, 0, 0};
  };
  if (abortLoad.IsSet()) return fail(TDecodeStatus::Aborted);
  QByteArray bytes;
  THeifFile file;
  TDecodeStatus status = ReadSource(source, bytes);
  if (status == TDecodeStatus::Ok) status = file.Open(bytes);
  if (status != TDecodeStatus::Ok) return fail(status);

  const int width = heif_image_handle_get_width(file.Primary());
  const int height = heif_image_handle_get_height(file.Primary());
  const bool alpha = heif_image_handle_has_alpha_channel(file.Primary()) != 0;
  if (width < 1 || height < 1) return fail(TDecodeStatus::Failed);
  if (!FitsPictureLimits(width, height, alpha ? RgbaComponents : BgrComponents)) {
    return fail(TDecodeStatus::TooLarge);
  }
  const int reduce = ValidReduction(reduction ? reduction(width, height) : 1);
  TDecodeChoice choice = ChooseDecode(file, width, height, reduce);

  if (abortLoad.IsSet()) return fail(TDecodeStatus::Aborted);
  THeifOwned<heif_image> image;
  std::optional<TPixels> pixels;
  status = DecodePixels(choice.Thumbnail ? choice.Thumbnail.get() : file.Primary(), image, pixels);
  // A thumbnail stands in only when it decodes between the reduced and the full size.
  if (choice.Thumbnail && (status != TDecodeStatus::Ok || pixels->Width > width ||
                           pixels->Height > height || pixels->Width < ReducedSide(width, reduce) ||
                           pixels->Height < ReducedSide(height, reduce))) {
    choice = TDecodeChoice{nullptr, reduce};
    if (abortLoad.IsSet()) return fail(TDecodeStatus::Aborted);
    status = DecodePixels(file.Primary(), image, pixels);
  }
  if (status != TDecodeStatus::Ok) return fail(status);
  if (abortLoad.IsSet()) return fail(TDecodeStatus::Aborted);

  if (!FitsPictureLimits(pixels->Width, pixels->Height, pixels->Components)) {
    return fail(TDecodeStatus::TooLarge);
  }
  if (!PrepareTarget(target, ReducedSide(pixels->Width, choice.Reduce),
                     ReducedSide(pixels->Height, choice.Reduce))) {
    return fail(TDecodeStatus::TooLarge);
  }
  if (!ConvertAny(*pixels, choice.Reduce, target, abortLoad)) return fail(TDecodeStatus::Aborted);
  // A thumbnail stands in for the primary picture, whose size is the full one.
  return choice.Thumbnail ? THeifDecode{TDecodeStatus::Ok, width, height}
                          : THeifDecode{TDecodeStatus::Ok, pixels->Width, pixels->Height};
}

}  // namespace zephra::viewer
