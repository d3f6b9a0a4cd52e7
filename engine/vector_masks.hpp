#pragma once

// Internal to the engine: a window's compares gathered into a mask, one bit
// per byte, for the x86-64 builds.

#if defined(__x86_64__)

#include <cstdint>
#include <immintrin.h>

// From four compares of 16 bytes (SSE2).
inline std::uint64_t mask_of(const __m128i (&v)[4])
{
    std::uint64_t m = 0;
    for (unsigned i = 0; i < 4; ++i)
        m |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(v[i]))} << (16 * i);
    return m;
}

// From two compares of 32 bytes (AVX2).
__attribute__((target("avx2"))) inline std::uint64_t mask_of(__m256i low, __m256i high)
{
    return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(low))} |
           std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

#endif
