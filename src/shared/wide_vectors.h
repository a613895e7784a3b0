// Marks a function whose loops may also be compiled for the wider vector units (AVX2, AVX-512 with its masks),
// chosen at start-up by the processor.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define MERVO_WIDE_VECTORS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define MERVO_WIDE_VECTORS
#endif
