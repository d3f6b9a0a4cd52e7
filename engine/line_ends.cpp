#include "engine/line_ends.hpp"

#include <cstdint>
#include <cstring>

#include "engine/bits.hpp"
#include "engine/geometry.hpp"
#include "engine/instruction_sets.hpp"
#include "engine/vector_masks.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// Both passes look at a window at a time for the few bytes that matter:
// most windows of a text hold none, one or two. Written once over the
// instructions V of each build of the engine, which supplies
//
//   // The CRs of the window at `in` that a LF follows (the byte after the
//   // window too: 65 bytes are read), and its 1As; both 0 in most windows.
//   static read_marks read_marks_of(const unsigned char* in);
//   static std::uint64_t line_feeds_of(const unsigned char* in);
//   // Writes the window at `in` less the bytes in `drop` to `out`, at or
//   // before `in`, as 64 bytes: all are read before any is written, and up
//   // to 64 bytes after the window are read.
//   static void drop(const unsigned char* in, std::uint64_t drop, unsigned char* out);
//   static void move_window(unsigned char* to, const unsigned char* from); // the same, dropping
//   none static unsigned count(std::uint64_t x);                                 // bits set in x
//   // Copies `n` bytes to `to`, apart from `from`; nothing past them is
//   // read or written.
//   static void move_down(unsigned char* to, const unsigned char* from, std::size_t n);

namespace {

struct read_marks {
    std::uint64_t pairs = 0;
    std::uint64_t eofs = 0;
};

// The bytes of a run too short for the build's vectors.
inline void move_down_short(unsigned char* to, const unsigned char* from, std::size_t n)
{
    if (n >= 8) {
        std::uint64_t first;
        std::uint64_t last;
        std::memcpy(&first, from, 8);
        std::memcpy(&last, from + n - 8, 8);
        std::memcpy(to, &first, 8);
        std::memcpy(to + n - 8, &last, 8);
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        to[i] = from[i];
}

struct portable {
    static read_marks read_marks_of(const unsigned char* in)
    {
        read_marks m;
        for (unsigned i = 0; i < window_bytes; ++i) {
            m.pairs |= std::uint64_t{in[i] == '\r' && in[i + 1] == '\n'} << i;
            m.eofs |= std::uint64_t{in[i] == '\x1A'} << i;
        }
        return m;
    }

    static std::uint64_t line_feeds_of(const unsigned char* in)
    {
        std::uint64_t m = 0;
        for (unsigned i = 0; i < window_bytes; ++i)
            m |= std::uint64_t{in[i] == '\n'} << i;
        return m;
    }

    static void drop(const unsigned char* in, std::uint64_t drop, unsigned char* out)
    {
        unsigned char kept[window_bytes];
        unsigned n = 0;
        for (unsigned i = 0; i < window_bytes; ++i)
            if ((drop >> i & 1) == 0)
                kept[n++] = in[i];
        std::memcpy(out, kept, n);
    }

    static void move_window(unsigned char* to, const unsigned char* from)
    {
        std::memmove(to, from, window_bytes);
    }

    static unsigned count(std::uint64_t x)
    {
        return bits::count(x);
    }

    static void move_down(unsigned char* to, const unsigned char* from, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            to[i] = from[i];
    }
};

#if defined(__x86_64__)

struct sse2 {
    static __m128i load(const unsigned char* p)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }

    static void store(unsigned char* p, __m128i x)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
    }

    static read_marks read_marks_of(const unsigned char* in)
    {
        read_marks m;
        __m128i pairs[4];
        __m128i eofs[4];
        __m128i any = _mm_setzero_si128();
        for (unsigned i = 0; i < 4; ++i) {
            const __m128i here = load(in + 16 * i);
            pairs[i] = _mm_and_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8('\r')),
                                     _mm_cmpeq_epi8(load(in + 16 * i + 1), _mm_set1_epi8('\n')));
            eofs[i] = _mm_cmpeq_epi8(here, _mm_set1_epi8('\x1A'));
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
            lf[i] = _mm_cmpeq_epi8(load(in + 16 * i), _mm_set1_epi8('\n'));
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
                    _mm_set1_epi8(static_cast<char>(16 * i)));
                const __m128i later =
                    _mm_cmpgt_epi8(index, _mm_set1_epi8(static_cast<char>(first - 1)));
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

    // Not every x86-64 has the instruction.
    static unsigned count(std::uint64_t x)
    {
        return bits::count(x);
    }

    static void move_down(unsigned char* to, const unsigned char* from, std::size_t n)
    {
        if (n < 16) {
            move_down_short(to, from, n);
            return;
        }
        const __m128i last = load(from + n - 16);
        for (std::size_t i = 0; i + 16 < n; i += 16)
            store(to + i, load(from + i));
        store(to + n - 16, last);
    }
};

#define SFOLTITESTO_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))

struct avx2 {
    SFOLTITESTO_AVX2 static __m256i load(const unsigned char* p)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }

    SFOLTITESTO_AVX2 static void store(unsigned char* p, __m256i x)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x);
    }

    SFOLTITESTO_AVX2 static read_marks read_marks_of(const unsigned char* in)
    {
        read_marks m;
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

    // As sse2::drop, a half at a time.
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

    SFOLTITESTO_AVX2 static unsigned count(std::uint64_t x)
    {
        return static_cast<unsigned>(__builtin_popcountll(x));
    }

    SFOLTITESTO_AVX2 static void move_down(unsigned char* to, const unsigned char* from,
                                           std::size_t n)
    {
        if (n < 32) {
            sse2::move_down(to, from, n);
            return;
        }
        const __m256i last = load(from + n - 32);
        for (std::size_t i = 0; i + 32 < n; i += 32)
            store(to + i, load(from + i));
        store(to + n - 32, last);
    }
};

#endif

template <class V> inline text_read read_pass(unsigned char* bytes, std::size_t size)
{
    unsigned char* out = bytes; // where the next kept byte goes
    const unsigned char* in = bytes;
    const unsigned char* const end = bytes + size;
    // Whole windows with a window after them, for what their drops shift
    // in. Until a byte is dropped, nothing is written.
    for (; end - in >= static_cast<std::ptrdiff_t>(2 * window_bytes); in += window_bytes) {
        const read_marks m = V::read_marks_of(in);
        if (m.eofs != 0)
            break; // the text ends in it: see below
        if (m.pairs != 0) {
            V::drop(in, m.pairs, out);
            out += window_bytes - V::count(m.pairs);
        } else {
            if (out != in)
                V::move_window(out, in);
            out += window_bytes;
        }
    }
    // The rest a byte at a time, moving the runs between the bytes dropped:
    // a CR at its very end has nothing after it, and a 1A ends the text.
    const unsigned char* run = in; // kept bytes from here on are where they were read
    const auto keep = [&](const unsigned char* to) {
        if (to != run)
            std::memmove(out, run, static_cast<std::size_t>(to - run));
        out += to - run;
    };
    for (; in < end; ++in) {
        if (*in == '\x1A') {
            keep(in);
            return {static_cast<std::size_t>(out - bytes), true};
        }
        if (*in == '\r' && in + 1 < end && in[1] == '\n') {
            keep(in);
            run = in + 1;
        }
    }
    keep(end);
    return {static_cast<std::size_t>(out - bytes), false};
}

template <class V>
inline std::size_t write_pass(const unsigned char* from, std::size_t size, unsigned char* to)
{
    unsigned char* out = to;
    const unsigned char* run = from; // what is not written yet
    const unsigned char* in = from;
    const unsigned char* const end = from + size;
    const auto line_end = [&](const unsigned char* lf) {
        V::move_down(out, run, static_cast<std::size_t>(lf - run));
        out += lf - run;
        *out++ = '\r';
        run = lf; // the LF begins what comes next
    };
    for (; end - in >= static_cast<std::ptrdiff_t>(window_bytes); in += window_bytes)
        for (std::uint64_t lf = V::line_feeds_of(in); lf != 0; lf &= lf - 1)
            line_end(in + bits::lowest(lf));
    for (; in < end; ++in)
        if (*in == '\n')
            line_end(in);
    V::move_down(out, run, static_cast<std::size_t>(end - run));
    return static_cast<std::size_t>(out + (end - run) - to);
}

#if defined(__x86_64__)
__attribute__((flatten)) text_read read_pass_sse2(unsigned char* bytes, std::size_t size)
{
    return read_pass<sse2>(bytes, size);
}

__attribute__((target("avx2,bmi,bmi2,popcnt"), flatten)) text_read
read_pass_avx2(unsigned char* bytes, std::size_t size)
{
    return read_pass<avx2>(bytes, size);
}

__attribute__((flatten)) std::size_t write_pass_sse2(const unsigned char* from, std::size_t size,
                                                     unsigned char* to)
{
    return write_pass<sse2>(from, size, to);
}

__attribute__((target("avx2,bmi,bmi2,popcnt"), flatten)) std::size_t
write_pass_avx2(const unsigned char* from, std::size_t size, unsigned char* to)
{
    return write_pass<avx2>(from, size, to);
}
#endif

} // namespace

// The build the engine runs with, as everywhere; arm64 has the plain one
// (Windows on x86-64 is what reads and writes text files this way).
text_read text_read_pass(unsigned char* bytes, std::size_t size)
{
    switch (engine_instructions) {
#if defined(__x86_64__)
    case instruction_set::avx2:
        return read_pass_avx2(bytes, size);
    case instruction_set::sse2:
        return read_pass_sse2(bytes, size);
#endif
    default:
        return read_pass<portable>(bytes, size);
    }
}

std::size_t text_write_pass(const unsigned char* from, std::size_t size, unsigned char* to)
{
    switch (engine_instructions) {
#if defined(__x86_64__)
    case instruction_set::avx2:
        return write_pass_avx2(from, size, to);
    case instruction_set::sse2:
        return write_pass_sse2(from, size, to);
#endif
    default:
        return write_pass<portable>(from, size, to);
    }
}
