#include "engine/byte_scan.hpp"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SFOLTITESTO_SSE2 1
#endif

void separator_finder::fill_masks(const unsigned char* p, std::size_t width, std::uint64_t* stops,
                                  std::uint64_t* leads)
{
    std::uint64_t stop = 0;
    std::uint64_t lead2 = 0; // C0-F7: takes at least the next byte
    std::uint64_t lead3 = 0; // E0-F7: at least the next two
    std::uint64_t lead4 = 0; // F0-F7: the next three
    std::size_t i = 0;
#ifdef SFOLTITESTO_SSE2
    const __m128i semicolon = _mm_set1_epi8(';');
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i line_feed = _mm_set1_epi8('\n');
    const __m128i carriage_return = _mm_set1_epi8('\r');
    const __m128i one = _mm_set1_epi8(1);
    const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0));
    const __m128i e0 = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i f0 = _mm_set1_epi8(static_cast<char>(0xF0));
    const __m128i f7 = _mm_set1_epi8(static_cast<char>(0xF7));
    const auto bits = [](__m128i m) {
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m)));
    };
    for (; i + 16 <= width; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // (x | 1) == CR covers both form feed and carriage return.
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, semicolon), _mm_cmpeq_epi8(x, space)),
                         _mm_or_si128(_mm_cmpeq_epi8(x, line_feed),
                                      _mm_cmpeq_epi8(_mm_or_si128(x, one), carriage_return)));
        stop |= bits(hits) << i;
        // Unsigned x >= low is max(x, low) == x; x <= F7 is min(x, F7) == x.
        const __m128i below_f8 = _mm_cmpeq_epi8(_mm_min_epu8(x, f7), x);
        const __m128i from_c0 = _mm_cmpeq_epi8(_mm_max_epu8(x, c0), x);
        if (_mm_movemask_epi8(_mm_and_si128(from_c0, below_f8)) == 0)
            continue;
        lead2 |= bits(_mm_and_si128(from_c0, below_f8)) << i;
        lead3 |= bits(_mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(x, e0), x), below_f8)) << i;
        lead4 |= bits(_mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(x, f0), x), below_f8)) << i;
    }
#endif
    for (; i < width; ++i) {
        const unsigned char b = p[i];
        const std::uint64_t bit = std::uint64_t{1} << i;
        if (b == ';' || is_separator(b))
            stop |= bit;
        if (b >= 0xC0 && b <= 0xF7)
            lead2 |= bit;
        if (b >= 0xE0 && b <= 0xF7)
            lead3 |= bit;
        if (b >= 0xF0 && b <= 0xF7)
            lead4 |= bit;
    }
    *stops = stop;
    *leads = (lead2 << 1) | (lead3 << 2) | (lead4 << 3);
}
