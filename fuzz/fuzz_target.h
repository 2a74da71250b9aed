#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The entry point every fuzz target defines; libFuzzer calls it with each input, and the
// replay program with each stored file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// A property the handler under test must keep. A broken one aborts, which libFuzzer reports as
// a crash and the replay test as a failure.
#define ZEPHRA_FUZZ_CHECK(condition)                                                        \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)
