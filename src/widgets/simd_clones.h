#pragma once

// Marks a hot pixel loop to be compiled twice on x86-64 with GCC, for AVX2 and for the baseline
// instruction set; the loader picks the copy that the processor runs. Elsewhere it does nothing,
// and under ThreadSanitizer, whose runtime is not up yet when the loader runs the picker.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define ZEPHRA_WIDE_SIMD_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZEPHRA_WIDE_SIMD_CLONES
#endif
