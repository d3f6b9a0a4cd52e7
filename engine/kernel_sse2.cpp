// The classifier for every x86-64 processor: 16 bytes at a time with SSE2.
#if defined(__x86_64__)

#include <emmintrin.h>

#include "engine/kernel.hpp"
#include "engine/periods.hpp"

namespace {

struct sse2 {
    static __m128i splat(char byte)
    {
        return _mm_set1_epi8(byte);
    }

    static __m128i separators(__m128i x)
    {
        // (x | 1) == CR covers both form feed and carriage return.
        return _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(x, splat(' ')), _mm_cmpeq_epi8(x, splat('\n'))),
            _mm_cmpeq_epi8(_mm_or_si128(x, splat(1)), splat('\r')));
    }

    static window_masks classify(const unsigned char* p)
    {
        window_masks m;
        for (unsigned i = 0; i < window_bytes; i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i separator = separators(x);
            // C0-F7 is the signed range below -72 once 40 is taken off.
            const __m128i lead = _mm_cmpgt_epi8(splat(-72), _mm_sub_epi8(x, splat(0x40)));
            // Among lead bytes, bit 5 tells E0-F7 and bits 5 and 4 F0-F7;
            // shifting a 16-bit lane by 2 or 3 brings them to each byte's top.
            const __m128i bit_5 = _mm_slli_epi16(x, 2);
            const __m128i bit_4 = _mm_slli_epi16(x, 3);
            const __m128i long_lead = _mm_and_si128(lead, bit_5);
            const auto bits = [i](__m128i v) {
                return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(v))} << i;
            };
            m.separators |= bits(separator);
            m.semicolons |= bits(_mm_cmpeq_epi8(x, splat(';')));
            m.leads |= bits(lead);
            m.long_leads |= bits(long_lead);
            m.four_leads |= bits(_mm_and_si128(long_lead, bit_4));
        }
        return m;
    }

    // Not every x86-64 has the instruction.
    static unsigned count(std::uint64_t x)
    {
        return bits::count(x);
    }

    static void copy_64(unsigned char* to, const unsigned char* from)
    {
        for (unsigned i = 0; i < window_bytes; i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
            const __m128i separator = separators(x);
            const __m128i spaced =
                _mm_or_si128(_mm_andnot_si128(separator, x), _mm_and_si128(separator, splat(' ')));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), spaced);
        }
    }
};

} // namespace

SFOLTITESTO_ENGINE_BUILD(sse2, __attribute__((flatten)))

#endif
