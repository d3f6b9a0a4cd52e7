// The kernel for every x86-64 processor: its classifier and copy
// take 16 bytes at a time with SSE2.
#if defined(__x86_64__)

#include <emmintrin.h>

#include "engine/kernel_entry_points.hpp"

namespace {

// A window's compares gathered into a mask, one bit per byte, from four
// compares of 16 bytes.
inline std::uint64_t mask_of(const __m128i (&v)[4])
{
    std::uint64_t m = 0;
    for (unsigned i = 0; i < 4; ++i)
        m |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(v[i]))} << (16 * i);
    return m;
}

struct sse2 {
    static __m128i splat(char byte)
    {
        return _mm_set1_epi8(byte);
    }

    static __m128i load(const unsigned char* p)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }

    static void store(unsigned char* p, __m128i x)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
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
        __m128i x[4], separator[4], semicolon[4];
        for (unsigned i = 0; i < 4; ++i) {
            x[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            separator[i] = separators(x[i]);
            semicolon[i] = _mm_cmpeq_epi8(x[i], splat(';'));
        }
        window_masks m;
        m.separators = mask_of(separator);
        m.semicolons = mask_of(semicolon);
        // Most windows of most texts hold no byte from 80 up, so no lead byte.
        const __m128i any = _mm_or_si128(_mm_or_si128(x[0], x[1]), _mm_or_si128(x[2], x[3]));
        if (_mm_movemask_epi8(any) == 0)
            return m;
        __m128i lead[4], long_lead[4], four_lead[4];
        for (unsigned i = 0; i < 4; ++i) {
            // C0-F7 is the signed range below -72 once 40 is taken off.
            lead[i] = _mm_cmpgt_epi8(splat(-72), _mm_sub_epi8(x[i], splat(0x40)));
            // Among lead bytes, bit 5 tells E0-F7 and bits 5 and 4 F0-F7;
            // shifting a 16-bit lane by 2 or 3 brings them to each byte's top.
            long_lead[i] = _mm_and_si128(lead[i], _mm_slli_epi16(x[i], 2));
            four_lead[i] = _mm_and_si128(long_lead[i], _mm_slli_epi16(x[i], 3));
        }
        m.leads = mask_of(lead);
        m.long_leads = mask_of(long_lead);
        m.four_leads = mask_of(four_lead);
        return m;
    }

    // Not every x86-64 has the instruction.
    static unsigned count(std::uint64_t x)
    {
        return bits::count(x);
    }

    static stream_marks stream_marks_of(const unsigned char* in)
    {
        stream_marks m;
        __m128i pairs[4];
        __m128i eofs[4];
        __m128i any = _mm_setzero_si128();
        for (unsigned i = 0; i < 4; ++i) {
            const __m128i here = load(in + 16 * i);
            pairs[i] = _mm_and_si128(_mm_cmpeq_epi8(here, splat('\r')),
                                     _mm_cmpeq_epi8(load(in + 16 * i + 1), splat('\n')));
            eofs[i] = _mm_cmpeq_epi8(here, splat('\x1A'));
            any = _mm_or_si128(any, _mm_or_si128(pairs[i], eofs[i]));
        }
        if (_mm_movemask_epi8(any) != 0) {
            m.pairs = mask_of(pairs);
            m.eofs = mask_of(eofs);
        }
        return m;
    }

    static std::uint64_t line_feeds_of(const unsigned char* in)
    {
        __m128i lf[4];
        __m128i any = _mm_setzero_si128();
        for (unsigned i = 0; i < 4; ++i) {
            lf[i] = _mm_cmpeq_epi8(load(in + 16 * i), splat('\n'));
            any = _mm_or_si128(any, lf[i]);
        }
        return _mm_movemask_epi8(any) != 0 ? mask_of(lf) : 0;
    }

    // From the c-th dropped byte on, the bytes come from c places further:
    // each drop blends in the window read that much later.
    static void drop(const unsigned char* in, std::uint64_t drop, unsigned char* out)
    {
        __m128i x[4];
        for (unsigned i = 0; i < 4; ++i)
            x[i] = load(in + 16 * i);
        for (unsigned shift = 1; drop != 0; drop &= drop - 1, ++shift) {
            const auto first = static_cast<char>(bits::lowest(drop) - (shift - 1));
            for (unsigned i = 0; i < 4; ++i) {
                const __m128i index = _mm_add_epi8(
                    _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                    splat(static_cast<char>(16 * i)));
                const __m128i later = _mm_cmpgt_epi8(index, splat(static_cast<char>(first - 1)));
                x[i] = _mm_or_si128(_mm_andnot_si128(later, x[i]),
                                    _mm_and_si128(later, load(in + 16 * i + shift)));
            }
        }
        for (unsigned i = 0; i < 4; ++i)
            store(out + 16 * i, x[i]);
    }

    static void move_window(unsigned char* to, const unsigned char* from)
    {
        __m128i x[4];
        for (unsigned i = 0; i < 4; ++i)
            x[i] = load(from + 16 * i);
        for (unsigned i = 0; i < 4; ++i)
            store(to + 16 * i, x[i]);
    }

    static void move_down(unsigned char* to, const unsigned char* from, std::size_t n)
    {
        if (n < 16) {
            move_short(to, from, n);
            return;
        }
        const __m128i last = load(from + n - 16);
        for (std::size_t i = 0; i + 16 < n; i += 16)
            store(to + i, load(from + i));
        store(to + n - 16, last);
    }

    static constexpr std::size_t move_bytes = 16;
    static void copy(unsigned char* to, const unsigned char* from, unsigned length)
    {
        for (unsigned i = 0; i < length; i += move_bytes) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
            const __m128i separator = separators(x);
            const __m128i spaced =
                _mm_or_si128(_mm_andnot_si128(separator, x), _mm_and_si128(separator, splat(' ')));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), spaced);
        }
    }
};

} // namespace

SFOLTITESTO_KERNEL_ENTRY_POINTS(sse2, __attribute__((flatten)))

#endif
