#pragma once

#include <cstdint>
#include <vector>

// libqrencode as an independent reference: one segment in one mode at a fixed version and
// level. Returns the module colours row by row (1 = dark), empty when it could not encode or
// chose another version.
struct TReferenceSymbol {
  int Size = 0;
  std::vector<std::uint8_t> Dark;
  int Mask = -1;  // read back from the format information
};

TReferenceSymbol ReferenceEncode(const std::vector<std::uint8_t>& data, int mode, int version,
                                 int level);
