// Built with the vectoriser's full cost model (see CMakeLists.txt) so that the row accumulation
// of the reduction becomes SIMD code.
#include "widgets/area_scaler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "widgets/simd_clones.h"

namespace zephra::widgets {
namespace {

constexpr float EdgeTolerance = 0.0001f;
constexpr float MaxChannel = 255.0f;
// Adding and taking away 1.5 x 2^23 rounds a float below 2^22 in magnitude to the nearest
// integer, halves to even, without a library call (valid as the build keeps strict IEEE
// arithmetic, no -ffast-math).
constexpr float RoundingMagic = 12582912.0f;
constexpr int GreyChannels = 1;
constexpr int ColourChannels = 3;
constexpr int CubicTaps = 4;  // samples of one cubic interpolation

float RoundHalfEven(float x) { return (x + RoundingMagic) - RoundingMagic; }

// Which axes are enlarged: decides where the samples come from.
enum TAreaMode { amEnlargeBoth = 0, amEnlargeAcross = 1, amEnlargeDown = 2, amReduceBoth = 3 };

struct TAreaJob {
  const QImage* Source = nullptr;
  int Channels = 0;
  int Width = 0, Height = 0;  // requested size
  float Bx = 0, By = 0;       // source pixels per destination pixel
  TAreaMode Mode = amReduceBoth;
  std::vector<TAreaSegment> Across, Down;
};

TAreaJob MakeJob(const QImage& source, int width, int height) {
  TAreaJob job;
  job.Source = &source;
  job.Channels = source.depth() == 8 ? GreyChannels : ColourChannels;
  job.Width = width;
  job.Height = height;
  job.Bx = float(source.width()) / float(width);
  job.By = float(source.height()) / float(height);
  const bool acrossUp = job.Bx < 1.0f, downUp = job.By < 1.0f;
  job.Mode = acrossUp && downUp ? amEnlargeBoth
             : acrossUp         ? amEnlargeAcross
             : downUp           ? amEnlargeDown
                                : amReduceBoth;
  job.Across = AreaSegments(source.width(), width);
  job.Down = AreaSegments(source.height(), height);
  return job;
}

// Source rows above, at, below and two below row sr, repeated at the edges.
struct TRowWindow {
  const std::uint8_t* Rows[CubicTaps];
};

TRowWindow RowsAround(const QImage& source, int sr) {
  const int last = source.height() - 1;
  sr = std::min(sr, last);  // rounding may run one row past the end with zero height
  const int below = std::min(sr + 1, last);
  const int twoBelow = sr + 2 <= last ? sr + 2 : below;
  return {{source.constScanLine(std::max(sr - 1, 0)), source.constScanLine(sr),
           source.constScanLine(below), source.constScanLine(twoBelow)}};
}

// Columns left of, at, right of and two right of column sc, repeated at the edges.
struct TColumnWindow {
  int Columns[CubicTaps];
};

TColumnWindow ColumnsAround(int sc, int sourceWidth) {
  const int last = sourceWidth - 1;
  sc = std::min(sc, last);
  const int right = std::min(sc + 1, last);
  return {{std::max(sc - 1, 0), sc, right, sc + 2 <= last ? sc + 2 : right}};
}

float CubicAlongRow(const std::uint8_t* row, const TColumnWindow& w, int n, int c, float t) {
  return CubicInterpolate(row[w.Columns[0] * n + c], row[w.Columns[1] * n + c],
                          row[w.Columns[2] * n + c], row[w.Columns[3] * n + c], t);
}

// The value a segment contributes for channel c, by mode.
float SegmentSample(const TAreaJob& job, const TRowWindow& rows, const TColumnWindow& cols, int c,
                    float cx, float cy) {
  const int n = job.Channels;
  switch (job.Mode) {
    case amReduceBoth:
      return rows.Rows[1][cols.Columns[1] * n + c];
    case amEnlargeAcross:
      return CubicAlongRow(rows.Rows[1], cols, n, c, cx);
    case amEnlargeDown: {
      const int x = cols.Columns[1] * n + c;
      return CubicInterpolate(rows.Rows[0][x], rows.Rows[1][x], rows.Rows[2][x], rows.Rows[3][x],
                              cy);
    }
    case amEnlargeBoth:
      break;
  }
  float across[CubicTaps];
  for (int k = 0; k < CubicTaps; ++k) {
    across[k] = RoundHalfEven(CubicAlongRow(rows.Rows[k], cols, n, c, cx));
  }
  return CubicInterpolate(across[0], across[1], across[2], across[3], cy);
}

// Adds every horizontal segment of one vertical segment (height hy, end fraction cy) of
// source row sr to the row of accumulators.
void AddSegmentRow(const TAreaJob& job, int sr, float hy, float cy, std::vector<float>& acc) {
  const TRowWindow rows = RowsAround(*job.Source, sr);
  const int n = job.Channels;
  int sc = 0, dx = 0;
  for (const TAreaSegment& seg : job.Across) {
    if (seg.Width > 0.0f) {
      const TColumnWindow cols = ColumnsAround(sc, job.Source->width());
      const float cx = seg.EndsAtDest ? seg.End - float(sc) : 1.0f;
      const float weight = seg.Width * hy;
      float* out = acc.data() + std::min(dx, job.Width - 1) * n;
      for (int c = 0; c < n; ++c) out[c] += SegmentSample(job, rows, cols, c, cx, cy) * weight;
    }
    if (seg.EndsAtDest) {
      ++dx;
    } else {
      ++sc;
    }
  }
}

// Scales, rounds and clamps a row of accumulators into a destination row, then clears them.
ZEPHRA_WIDE_SIMD_CLONES void WriteValues(float* __restrict acc, std::size_t length, float scale,
                                         std::uint8_t* __restrict out) {
  for (std::size_t i = 0; i < length; ++i) {
    const float rounded = (acc[i] * scale + RoundingMagic) - RoundingMagic;
    out[i] = static_cast<std::uint8_t>(std::min(std::max(rounded, 0.0f), MaxChannel));
    acc[i] = 0.0f;
  }
}

void WriteRow(std::vector<float>& acc, float scale, std::uint8_t* out) {
  WriteValues(acc.data(), acc.size(), scale, out);
}

// Null when the pixels cannot be allocated.
QImage NewDestination(const TAreaJob& job) {
  QImage dest(job.Width, job.Height, job.Source->format());
  if (!dest.isNull()) dest.setColorTable(job.Source->colorTable());
  return dest;
}

// The walk over vertical and horizontal segments, sampling each piece.
QImage ScaleBySegments(const TAreaJob& job) {
  QImage dest = NewDestination(job);
  if (dest.isNull()) return dest;
  std::vector<float> acc(static_cast<std::size_t>(job.Width) * job.Channels, 0.0f);
  const float scale = 1.0f / (job.Bx * job.By);
  int sr = 0, dy = 0;
  for (const TAreaSegment& seg : job.Down) {
    const float cy = seg.EndsAtDest ? seg.End - float(sr) : 1.0f;
    if (seg.Width > 0.0f) AddSegmentRow(job, sr, seg.Width, cy, acc);
    if (!seg.EndsAtDest) {
      ++sr;
    } else if (dy < job.Height) {
      WriteRow(acc, scale, dest.scanLine(dy++));
    }
  }
  return dest;
}

// For reductions the sample of a piece is the source pixel itself, so the sum
// Σ pixel x (width x height) can be taken down the rows first (contiguous, vectorised) and then
// across through per-destination column weights.
struct TColumnTaps {
  std::vector<int> Start;  // first tap of each destination pixel; Width + 1 entries
  std::vector<int> Column;
  std::vector<float> Weight;
};

TColumnTaps ColumnTaps(const TAreaJob& job) {
  TColumnTaps taps;
  int sc = 0, dx = 0;
  taps.Start.push_back(0);
  for (const TAreaSegment& seg : job.Across) {
    if (seg.Width > 0.0f && dx < job.Width) {
      taps.Column.push_back(std::min(sc, job.Source->width() - 1));
      taps.Weight.push_back(seg.Width);
    }
    if (!seg.EndsAtDest) {
      ++sc;
    } else if (dx < job.Width) {
      ++dx;
      taps.Start.push_back(static_cast<int>(taps.Column.size()));
    }
  }
  while (static_cast<int>(taps.Start.size()) <= job.Width) taps.Start.push_back(taps.Start.back());
  return taps;
}

ZEPHRA_WIDE_SIMD_CLONES void AccumulateRow(const std::uint8_t* __restrict row, float hy, int length,
                                           float* __restrict sums) {
  for (int i = 0; i < length; ++i) sums[i] += hy * float(row[i]);
}

template <int N>
void ReduceColumnsOf(const std::vector<float>& sums, const TColumnTaps& taps,
                     std::vector<float>& acc) {
  const int width = static_cast<int>(taps.Start.size()) - 1;
  for (int d = 0; d < width; ++d) {
    float total[N] = {};
    for (int t = taps.Start[d]; t < taps.Start[d + 1]; ++t) {
      const float* column = sums.data() + taps.Column[t] * N;
      for (int c = 0; c < N; ++c) total[c] += taps.Weight[t] * column[c];
    }
    for (int c = 0; c < N; ++c) acc[d * N + c] = total[c];
  }
}

void ReduceColumns(const std::vector<float>& sums, const TColumnTaps& taps, int n,
                   std::vector<float>& acc) {
  if (n == GreyChannels) {
    ReduceColumnsOf<GreyChannels>(sums, taps, acc);
  } else {
    ReduceColumnsOf<ColourChannels>(sums, taps, acc);
  }
}

QImage ReduceBothAxes(const TAreaJob& job) {
  QImage dest = NewDestination(job);
  if (dest.isNull()) return dest;
  const TColumnTaps taps = ColumnTaps(job);
  const int length = job.Source->width() * job.Channels;
  std::vector<float> sums(length, 0.0f);
  std::vector<float> acc(static_cast<std::size_t>(job.Width) * job.Channels, 0.0f);
  const float scale = 1.0f / (job.Bx * job.By);
  int sr = 0, dy = 0;
  for (const TAreaSegment& seg : job.Down) {
    if (seg.Width > 0.0f) {
      AccumulateRow(job.Source->constScanLine(std::min(sr, job.Source->height() - 1)), seg.Width,
                    length, sums.data());
    }
    if (!seg.EndsAtDest) {
      ++sr;
    } else if (dy < job.Height) {
      ReduceColumns(sums, taps, job.Channels, acc);
      WriteRow(acc, scale, dest.scanLine(dy++));
      std::fill(sums.begin(), sums.end(), 0.0f);
    }
  }
  return dest;
}

}  // namespace

std::vector<TAreaSegment> AreaSegments(int sourceSize, int destSize) {
  std::vector<TAreaSegment> segments(static_cast<std::size_t>(sourceSize) + destSize);
  // Each destination edge is computed from its index rather than by adding the ratio up, which
  // in single precision drifts by a noticeable part of a pixel over a few thousand edges.
  int destEdges = 0;
  auto nextDest = [&] {
    return static_cast<float>(static_cast<double>(destEdges + 1) * sourceSize / destSize);
  };
  float nextSource = 1.0f, reached = 0.0f;
  for (TAreaSegment& seg : segments) {
    if (nextSource + EdgeTolerance >= nextDest()) {
      seg.End = nextDest();
      seg.EndsAtDest = true;
      ++destEdges;
    } else {
      seg.End = nextSource;
      nextSource += 1.0f;
    }
    seg.Width = std::max(0.0f, seg.End - reached);
    reached = std::max(reached, seg.End);
  }
  return segments;
}

float CubicKernel(float d) {
  if (d < 1.0f) return d * d * d - 2.0f * d * d + 1.0f;
  if (d < 2.0f) return -d * d * d + 5.0f * d * d - 8.0f * d + 4.0f;
  return 0.0f;
}

float CubicInterpolate(float pm1, float p0, float p1, float p2, float t) {
  const float sum = pm1 * CubicKernel(std::fabs(t + 1.0f)) + p0 * CubicKernel(std::fabs(t)) +
                    p1 * CubicKernel(std::fabs(t - 1.0f)) + p2 * CubicKernel(std::fabs(t - 2.0f));
  return std::clamp(sum, 0.0f, MaxChannel);
}

bool IsAreaScalable(const QImage& source) {
  return source.depth() == 8 || source.format() == QImage::Format_BGR888 ||
         source.format() == QImage::Format_RGB888;
}

QImage AreaScale(const QImage& source, int width, int height) {
  if (width < 1 || height < 1 || source.isNull()) return {};
  const TAreaJob job = MakeJob(source, width, height);
  return job.Mode == amReduceBoth ? ReduceBothAxes(job) : ScaleBySegments(job);
}

QImage AreaScaleBySegments(const QImage& source, int width, int height) {
  if (width < 1 || height < 1 || source.isNull()) return {};
  return ScaleBySegments(MakeJob(source, width, height));
}

}  // namespace zephra::widgets
