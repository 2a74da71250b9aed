#include "viewer/jpeg_decoder.h"

#include <QIODevice>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "base/stop_flag.h"
#include "viewer/decode_target.h"
#include "viewer/exif_orientation.h"

namespace zephra::viewer {
namespace {

constexpr int App1Marker = JPEG_APP0 + 1;
constexpr unsigned MaxMarkerLength = 0xFFFF;
constexpr qint64 SourceBufferSize = 64 * 1024;
constexpr int RowsPerRead = 16;

// Warnings after which libjpeg would go on with grey or shifted pixels: the entropy-coded data
// ran out before the picture was complete, or is corrupt. They end the decode like errors. The
// end of the file by itself (JWRN_JPEG_EOF) is not among them: it also comes when only the end
// marker is missing, and a picture that needs more data then reports JWRN_HIT_MARKER.
bool IsCorruptDataWarning(int code) {
  return code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC || code == JWRN_HUFF_BAD_CODE;
}

// libjpeg's error manager extended by the place to jump to and why the decode stopped.
struct TErrorManager {
  jpeg_error_mgr Public;  // first, so that libjpeg's pointer is also ours
  std::jmp_buf Jump;
  bool Aborted = false;
  bool FileEnded = false;  // the source ran out and supplied an end marker of its own
};

// A source manager that reads a QIODevice in blocks.
struct TSourceManager {
  jpeg_source_mgr Public;
  QIODevice* Device = nullptr;
  JOCTET* Buffer = nullptr;
  bool StartOfFile = true;
};

struct TProgressMonitor {
  jpeg_progress_mgr Public;
  const base::TStopFlag* Abort = nullptr;
};

TErrorManager& ErrorOf(j_common_ptr info) { return *reinterpret_cast<TErrorManager*>(info->err); }

[[noreturn]] void ErrorExit(j_common_ptr info) { std::longjmp(ErrorOf(info).Jump, 1); }

void OutputMessage(j_common_ptr) {}

void EmitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace messages
  if (IsCorruptDataWarning(info->err->msg_code)) std::longjmp(ErrorOf(info).Jump, 1);
  if (info->err->msg_code == JWRN_JPEG_EOF) ErrorOf(info).FileEnded = true;
  ++info->err->num_warnings;
}

// libjpeg's progress monitor: ends the decode when the stop flag is set, and fails it when a
// progressive picture goes on past MaxJpegScans.
void MonitorDecode(j_common_ptr info) {
  if (info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > MaxJpegScans) {
    std::longjmp(ErrorOf(info).Jump, 1);
  }
  const auto* monitor = reinterpret_cast<const TProgressMonitor*>(info->progress);
  if (monitor->Abort == nullptr || !monitor->Abort->IsSet()) return;
  ErrorOf(info).Aborted = true;
  std::longjmp(ErrorOf(info).Jump, 1);
}

TSourceManager& SourceOf(j_decompress_ptr info) {
  return *reinterpret_cast<TSourceManager*>(info->src);
}

void InitSource(j_decompress_ptr info) { SourceOf(info).StartOfFile = true; }

boolean FillInputBuffer(j_decompress_ptr info) {
  TSourceManager& source = SourceOf(info);
  qint64 count = source.Device->read(reinterpret_cast<char*>(source.Buffer), SourceBufferSize);
  if (count <= 0) {
    if (source.StartOfFile) ERREXIT(info, JERR_INPUT_EMPTY);
    // Like libjpeg's own sources: a fake end marker, and the warning that ends the decode.
    WARNMS(info, JWRN_JPEG_EOF);
    source.Buffer[0] = 0xFF;
    source.Buffer[1] = JPEG_EOI;
    count = 2;
  }
  source.Public.next_input_byte = source.Buffer;
  source.Public.bytes_in_buffer = static_cast<size_t>(count);
  source.StartOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  jpeg_source_mgr& source = SourceOf(info).Public;
  while (count > static_cast<long>(source.bytes_in_buffer)) {
    count -= static_cast<long>(source.bytes_in_buffer);
    FillInputBuffer(info);
  }
  source.next_input_byte += count;
  source.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// `count` rounded up to a multiple of `step`.
qint64 RoundUp(qint64 count, int step) { return (count + step - 1) / step * step; }

// One libjpeg decompressor reading `device`, destroyed with the object. Every libjpeg call goes
// through Guarded, which turns a libjpeg error, a corrupt-data warning or the stop flag into a
// false result.
class TJpegDecompressor {
 public:
  TJpegDecompressor(QIODevice& device, const base::TStopFlag* abort)
      : FBuffer(std::make_unique<JOCTET[]>(SourceBufferSize)) {
    FInfo.err = jpeg_std_error(&FError.Public);
    FError.Public.error_exit = ErrorExit;
    FError.Public.output_message = OutputMessage;
    FError.Public.emit_message = EmitMessage;
    FCreated = Guarded([this] { jpeg_create_decompress(&FInfo); });
    if (!FCreated) return;
    FSource.Device = &device;
    FSource.Buffer = FBuffer.get();
    FSource.Public.init_source = InitSource;
    FSource.Public.fill_input_buffer = FillInputBuffer;
    FSource.Public.skip_input_data = SkipInputData;
    FSource.Public.resync_to_restart = jpeg_resync_to_restart;
    FSource.Public.term_source = TermSource;
    FInfo.src = &FSource.Public;
    FProgress.Abort = abort;
    FProgress.Public.progress_monitor = MonitorDecode;
    FInfo.progress = &FProgress.Public;
    // Caps libjpeg's whole-image buffers as well (honoured where its memory manager can).
    FInfo.mem->max_memory_to_use = MaxPictureBytes;
  }
  ~TJpegDecompressor() {
    if (FCreated) jpeg_destroy_decompress(&FInfo);
  }
  TJpegDecompressor(const TJpegDecompressor&) = delete;
  TJpegDecompressor& operator=(const TJpegDecompressor&) = delete;

  // Runs `step` with libjpeg's errors caught. An error leaves the step by longjmp, so the step
  // must not own objects with destructors.
  template <class TStep>
  bool Guarded(TStep step) {
    if (setjmp(FError.Jump) != 0) return false;
    step();
    return true;
  }

  const jpeg_decompress_struct& Info() const { return FInfo; }
  bool Created() const { return FCreated; }

  // True when the file ended before its end marker in a progressive or multi-scan picture,
  // where a whole scan may be missing without any other sign.
  bool MissedScans() { return FError.FileEnded && jpeg_has_multiple_scans(&FInfo); }

  // Bytes of the whole-image coefficient buffers that libjpeg allocates for progressive and
  // multi-scan files; valid after the header is read.
  qint64 CoefficientBufferBytes() {
    if (!jpeg_has_multiple_scans(&FInfo)) return 0;
    qint64 bytes = 0;
    for (int i = 0; i < FInfo.num_components; ++i) {
      const jpeg_component_info& component = FInfo.comp_info[i];
      bytes += RoundUp(component.width_in_blocks, component.h_samp_factor) *
               RoundUp(component.height_in_blocks, component.v_samp_factor) *
               qint64(sizeof(JBLOCK));
    }
    return bytes;
  }

  // The status of the step that Guarded reported as failed.
  TDecodeStatus FailureStatus() const {
    if (FError.Aborted) return TDecodeStatus::Aborted;
    const int code = FError.Public.msg_code;
    if (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY) {
      return TDecodeStatus::TooLarge;
    }
    return TDecodeStatus::Failed;
  }

  // Reads the header, keeping APP1 segments when `withExif`.
  bool ReadHeader(bool withExif) {
    return Guarded([this, withExif] {
      if (withExif) jpeg_save_markers(&FInfo, App1Marker, MaxMarkerLength);
      jpeg_read_header(&FInfo, TRUE);
    });
  }

  // The orientation of the first EXIF APP1 segment kept by ReadHeader; 0 without one.
  int Orientation() const {
    for (jpeg_saved_marker_ptr marker = FInfo.marker_list; marker; marker = marker->next) {
      if (marker->marker != App1Marker) continue;
      const int orientation = ExifOrientation(marker->data, marker->data_length);
      if (orientation != 0) return orientation;
    }
    return 0;
  }

  // Sets B,G,R output at 1 / 2^(scale - 1) and computes the output size.
  bool SetOutput(int scale) {
    return Guarded([this, scale] {
      FInfo.out_color_space = JCS_EXT_BGR;
      FInfo.scale_num = 1;
      FInfo.scale_denom = 1u << (scale - 1);
      jpeg_calc_output_dimensions(&FInfo);
    });
  }

  // Decodes every row into `pixels`, a buffer of output-size rows `stride` bytes apart.
  bool ReadRows(uchar* pixels, qsizetype stride) {
    return Guarded([this, pixels, stride] {
      jpeg_start_decompress(&FInfo);
      JSAMPROW rows[RowsPerRead];
      while (FInfo.output_scanline < FInfo.output_height) {
        const JDIMENSION first = FInfo.output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(RowsPerRead, FInfo.output_height - first);
        for (JDIMENSION i = 0; i < count; ++i) rows[i] = pixels + (first + i) * stride;
        jpeg_read_scanlines(&FInfo, rows, count);
      }
      // The end of the file is not read: a picture whose rows are all there is whole even when
      // trailing markers are missing.
    });
  }

 private:
  jpeg_decompress_struct FInfo{};
  TErrorManager FError{};
  TSourceManager FSource{};
  TProgressMonitor FProgress{};
  std::unique_ptr<JOCTET[]> FBuffer;
  bool FCreated = false;
};

TJpegHeader HeaderOf(const TJpegDecompressor& jpeg, bool withOrientation) {
  const jpeg_decompress_struct& info = jpeg.Info();
  return {static_cast<int>(info.image_width), static_cast<int>(info.image_height),
          withOrientation ? jpeg.Orientation() : 0};
}

}  // namespace

std::optional<TJpegHeader> ReadJpegHeader(QIODevice& source) {
  TJpegDecompressor jpeg(source, nullptr);
  if (!jpeg.Created() || !jpeg.ReadHeader(true)) return std::nullopt;
  return HeaderOf(jpeg, true);
}

TJpegDecode DecodeJpeg(QImage& target, QIODevice& source, int scale, bool readOrientation,
                       const base::TStopFlag& abortLoad) {
  TJpegDecode result;
  TJpegDecompressor jpeg(source, &abortLoad);
  const auto fail = [&](TDecodeStatus status) {
    target = QImage();
    result.Status = status;
    return result;
  };
  if (!jpeg.Created()) return fail(TDecodeStatus::Failed);
  if (!jpeg.ReadHeader(readOrientation)) return fail(jpeg.FailureStatus());
  result.Header = HeaderOf(jpeg, readOrientation);

  if (!jpeg.SetOutput(std::clamp(scale, FullScale, EighthScale))) {
    return fail(jpeg.FailureStatus());
  }
  const jpeg_decompress_struct& info = jpeg.Info();
  if (!FitsPictureLimits(info.output_width, info.output_height) ||
      jpeg.CoefficientBufferBytes() > MaxPictureBytes) {
    return fail(TDecodeStatus::TooLarge);
  }
  if (abortLoad.IsSet()) return fail(TDecodeStatus::Aborted);
  if (!PrepareTarget(target, static_cast<int>(info.output_width),
                     static_cast<int>(info.output_height))) {
    return fail(TDecodeStatus::TooLarge);
  }
  if (!jpeg.ReadRows(target.bits(), target.bytesPerLine())) return fail(jpeg.FailureStatus());
  if (jpeg.MissedScans()) return fail(TDecodeStatus::Failed);
  result.Status = TDecodeStatus::Ok;
  return result;
}

}  // namespace zephra::viewer
