#pragma once

// The transfer benchmarks' baseline: a plain blocking request/response loop with the link's
// message sizes, a 60-byte request answered by a 96016-byte message, one in flight.

#include <QString>
#include <cstddef>

namespace zephra::bench {

struct TPlainLoop {
  std::size_t fileBytes = 0;
  // Through a Wi-Fi-like relay (its default link) instead of straight over loopback.
  bool wifiLike = false;
  // When set, the loop also does the least a receiver of the file must: every answer's bytes
  // go into a buffer of the file's size, which is written to `keepAt` + ".tmp" and moved over
  // `keepAt` at the end.
  QString keepAt;
  // One request answered by the whole file in one message instead of one answer per chunk:
  // the least that sending the file in one piece (a browser's upload) takes.
  bool stream = false;
};

// Seconds for one file of `loop.fileBytes` over the loop.
double PlainLoopSeconds(const TPlainLoop& loop);

}  // namespace zephra::bench
