#include "engine/byte_scan.hpp"

#include <bit>
#include <cstring>

#include "engine/char_reader.hpp"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SFOLTITESTO_SSE2 1
#endif

namespace {

bool is_stop(unsigned char b, run_stop stop)
{
    if (b == ';')
        return true;
    return stop == run_stop::semicolon_or_separator &&
           (b == 0x20 || b == 0x0A || b == 0x0C || b == 0x0D);
}

// The first stopping byte in [p, end), or end; lead bytes are not looked at.
template <run_stop stop>
const unsigned char* find_stop(const unsigned char* p, const unsigned char* end)
{
    if constexpr (stop == run_stop::semicolon) {
        // The C library's own search is already as wide as the processor allows.
        const void* hit = std::memchr(p, ';', static_cast<std::size_t>(end - p));
        return hit != nullptr ? static_cast<const unsigned char*>(hit) : end;
    } else {
#ifdef SFOLTITESTO_SSE2
        const __m128i semicolon = _mm_set1_epi8(';');
        const __m128i space = _mm_set1_epi8(' ');
        const __m128i line_feed = _mm_set1_epi8('\n');
        const __m128i carriage_return = _mm_set1_epi8('\r');
        const __m128i one = _mm_set1_epi8(1);
        for (; end - p >= 16; p += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            // (x | 1) == CR covers both form feed and carriage return.
            const __m128i hits =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, semicolon), _mm_cmpeq_epi8(x, space)),
                             _mm_or_si128(_mm_cmpeq_epi8(x, line_feed),
                                          _mm_cmpeq_epi8(_mm_or_si128(x, one), carriage_return)));
            const int mask = _mm_movemask_epi8(hits);
            if (mask != 0)
                return p + std::countr_zero(static_cast<unsigned>(mask));
        }
#endif
        for (; p != end; ++p)
            if (is_stop(*p, stop))
                return p;
        return end;
    }
}

// Whether the byte at q surely starts a character, knowing that `from` does
// and looking only at the three bytes before q: no lead byte there reaches q.
// For valid UTF-8 this always holds at a character start; when it does not,
// the caller walks the characters one by one.
bool surely_starts_char(const unsigned char* from, const unsigned char* q)
{
    return !(q - from >= 1 && q[-1] >= 0xC0 && q[-1] <= 0xF7) &&
           !(q - from >= 2 && q[-2] >= 0xE0 && q[-2] <= 0xF7) &&
           !(q - from >= 3 && q[-3] >= 0xF0 && q[-3] <= 0xF7);
}

// The character that holds byte q (q < end), walking from the character start `p`.
const unsigned char* char_holding(const unsigned char* p, const unsigned char* q)
{
    while (p + char_size(*p) <= q)
        p += char_size(*p);
    return p;
}

// The first character from `p` that does not fit before `end`, or `end`.
const unsigned char* last_fit(const unsigned char* p, const unsigned char* end)
{
    // Start the walk near the end when a character start can be told there,
    // so a long run costs nothing here.
    if (end - p > 4) {
        for (const unsigned char* q = end; q >= end - 3; --q) {
            if (surely_starts_char(p, q)) {
                p = q;
                break;
            }
        }
    }
    while (p < end && p + char_size(*p) <= end)
        p += char_size(*p);
    return p;
}

} // namespace

template <run_stop stop> run_end scan_run(const unsigned char* p, const unsigned char* end)
{
    for (;;) {
        const unsigned char* q = find_stop<stop>(p, end);
        if (q == end)
            return {last_fit(p, end), false};
        if (surely_starts_char(p, q))
            return {q, true};
        const unsigned char* c = char_holding(p, q);
        if (c == q)
            return {q, true};
        // q is inside the character at c: go on after that character.
        if (c + char_size(*c) > end)
            return {c, false};
        p = c + char_size(*c);
    }
}

template run_end scan_run<run_stop::semicolon>(const unsigned char*, const unsigned char*);
template run_end scan_run<run_stop::semicolon_or_separator>(const unsigned char*,
                                                            const unsigned char*);
