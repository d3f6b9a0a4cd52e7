// The build of the engine for x86-64 processors with AVX2: its classifier and
// copy take 32 bytes at a time, and the bit instructions that come with AVX2
// (BMI1, BMI2, POPCNT) run its loop.
#if defined(__x86_64__)

#include <immintrin.h>

#include "engine/avx2_constants.hpp"
#include "engine/engine_build.hpp"
#include "engine/vector_masks.hpp"

namespace {

#define SFOLTITESTO_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))

struct avx2 {
    SFOLTITESTO_AVX2 static __m256i constant(const unsigned char (&bytes)[32])
    {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
    }

    // A byte is a separator when the entry its low four bits pick is the
    // byte itself; bytes from 80 up pick zero.
    SFOLTITESTO_AVX2 static __m256i separators(__m256i x)
    {
        const __m256i table =
            _mm256_setr_epi8(' ', 0, 0, 0, 0, 0, 0, 0, 0, 0, '\n', 0, '\f', '\r', 0, 0, //
                             ' ', 0, 0, 0, 0, 0, 0, 0, 0, 0, '\n', 0, '\f', '\r', 0, 0);
        return _mm256_cmpeq_epi8(_mm256_shuffle_epi8(table, x), x);
    }

    // C0-F7 is the signed range below -72 once 40 is taken off.
    SFOLTITESTO_AVX2 static __m256i lead(__m256i x)
    {
        return _mm256_cmpgt_epi8(constant(avx2_bytes.lead_limit),
                                 _mm256_sub_epi8(x, constant(avx2_bytes.lead_offset)));
    }

    SFOLTITESTO_AVX2 static window_masks classify(const unsigned char* p)
    {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        window_masks m;
        m.separators = mask_of(separators(low), separators(high));
        m.semicolons = mask_of(_mm256_cmpeq_epi8(low, constant(avx2_bytes.semicolon)),
                               _mm256_cmpeq_epi8(high, constant(avx2_bytes.semicolon)));
        // Most windows of most texts hold no byte from 80 up, so no lead byte.
        if (_mm256_movemask_epi8(_mm256_or_si256(low, high)) == 0)
            return m;
        // Among lead bytes, bit 5 tells E0-F7 and bits 5 and 4 F0-F7;
        // shifting a 16-bit lane by 2 or 3 brings them to each byte's top.
        const __m256i low_lead = lead(low);
        const __m256i high_lead = lead(high);
        const __m256i low_long = _mm256_and_si256(low_lead, _mm256_slli_epi16(low, 2));
        const __m256i high_long = _mm256_and_si256(high_lead, _mm256_slli_epi16(high, 2));
        m.leads = mask_of(low_lead, high_lead);
        m.long_leads = mask_of(low_long, high_long);
        m.four_leads = mask_of(_mm256_and_si256(low_long, _mm256_slli_epi16(low, 3)),
                               _mm256_and_si256(high_long, _mm256_slli_epi16(high, 3)));
        return m;
    }

    SFOLTITESTO_AVX2 static unsigned count(std::uint64_t x)
    {
        return static_cast<unsigned>(__builtin_popcountll(x));
    }

    // The whole 64 bytes in two halves whatever the length: a test of it
    // would cost more.
    static constexpr std::size_t move_bytes = 64;
    SFOLTITESTO_AVX2 static void copy(unsigned char* to, const unsigned char* from, unsigned)
    {
        for (unsigned half = 0; half < move_bytes; half += 32) {
            const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + half));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + half),
                                _mm256_blendv_epi8(x, constant(avx2_bytes.space), separators(x)));
        }
    }
};

} // namespace

SFOLTITESTO_ENGINE_BUILD(avx2, __attribute__((target("avx2,bmi,bmi2,popcnt"), flatten)))

#endif
