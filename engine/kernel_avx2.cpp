// The kernel for x86-64 processors with AVX2: its classifier and
// copy take 32 bytes at a time, and the bit instructions that come with AVX2
// (BMI1, BMI2, POPCNT) run its loop.
#if defined(__x86_64__)

#include <immintrin.h>

#include "engine/avx2_constants.hpp"
#include "engine/kernel_entry_points.hpp"

// What this build is compiled for, the instructions the dispatch asks for.
#define SFOLTITESTO_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))

namespace {

// A window's compares gathered into a mask, one bit per byte, from two
// compares of 32 bytes.
SFOLTITESTO_AVX2 inline std::uint64_t mask_of(__m256i low, __m256i high)
{
    return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(low))} |
           std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

struct avx2 {
    SFOLTITESTO_AVX2 static __m256i load(const unsigned char* p)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }

    SFOLTITESTO_AVX2 static void store(unsigned char* p, __m256i x)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x);
    }

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

    SFOLTITESTO_AVX2 static stream_marks stream_marks_of(const unsigned char* in)
    {
        stream_marks m;
        const __m256i cr = _mm256_set1_epi8('\r');
        const __m256i lf = _mm256_set1_epi8('\n');
        const __m256i eof = _mm256_set1_epi8('\x1A');
        const __m256i low = load(in);
        const __m256i high = load(in + 32);
        const __m256i pairs_low =
            _mm256_and_si256(_mm256_cmpeq_epi8(low, cr), _mm256_cmpeq_epi8(load(in + 1), lf));
        const __m256i pairs_high =
            _mm256_and_si256(_mm256_cmpeq_epi8(high, cr), _mm256_cmpeq_epi8(load(in + 33), lf));
        const __m256i eofs_low = _mm256_cmpeq_epi8(low, eof);
        const __m256i eofs_high = _mm256_cmpeq_epi8(high, eof);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(pairs_low, pairs_high),
                                            _mm256_or_si256(eofs_low, eofs_high));
        if (!_mm256_testz_si256(any, any)) {
            m.pairs = mask_of(pairs_low, pairs_high);
            m.eofs = mask_of(eofs_low, eofs_high);
        }
        return m;
    }

    SFOLTITESTO_AVX2 static std::uint64_t line_feeds_of(const unsigned char* in)
    {
        const __m256i lf = _mm256_set1_epi8('\n');
        return mask_of(_mm256_cmpeq_epi8(load(in), lf), _mm256_cmpeq_epi8(load(in + 32), lf));
    }

    // From the c-th dropped byte on, the bytes come from c places further:
    // each drop blends in the window read that much later, a half at a time.
    SFOLTITESTO_AVX2 static void drop(const unsigned char* in, std::uint64_t drop,
                                      unsigned char* out)
    {
        const __m256i index_low =
            _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                             20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
        const __m256i index_high = _mm256_add_epi8(index_low, _mm256_set1_epi8(32));
        __m256i low = load(in);
        __m256i high = load(in + 32);
        for (unsigned shift = 1; drop != 0; drop &= drop - 1, ++shift) {
            const __m256i before = _mm256_set1_epi8(static_cast<char>(bits::lowest(drop) - shift));
            low = _mm256_blendv_epi8(low, load(in + shift), _mm256_cmpgt_epi8(index_low, before));
            high = _mm256_blendv_epi8(high, load(in + 32 + shift),
                                      _mm256_cmpgt_epi8(index_high, before));
        }
        store(out, low);
        store(out + 32, high);
    }

    SFOLTITESTO_AVX2 static void move_window(unsigned char* to, const unsigned char* from)
    {
        const __m256i low = load(from);
        const __m256i high = load(from + 32);
        store(to, low);
        store(to + 32, high);
    }

    // Under 32 bytes in two 16-byte moves, or two words, that may overlap.
    SFOLTITESTO_AVX2 static void move_down(unsigned char* to, const unsigned char* from,
                                           std::size_t n)
    {
        if (n < 16) {
            move_short(to, from, n);
            return;
        }
        if (n < 32) {
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + n - 16));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), first);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + n - 16), last);
            return;
        }
        const __m256i last = load(from + n - 32);
        for (std::size_t i = 0; i + 32 < n; i += 32)
            store(to + i, load(from + i));
        store(to + n - 32, last);
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

SFOLTITESTO_KERNEL_ENTRY_POINTS(avx2, SFOLTITESTO_AVX2 __attribute__((flatten)))

#endif
