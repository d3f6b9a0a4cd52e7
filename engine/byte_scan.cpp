#include "engine/byte_scan.hpp"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SFOLTITESTO_SSE2 1
#endif

window_masks classify_window_portable(const unsigned char* p)
{
    window_masks m;
    for (unsigned i = 0; i < 64; ++i) {
        const unsigned char b = p[i];
        const std::uint64_t bit = std::uint64_t{1} << i;
        if (is_separator(b))
            m.separators |= bit;
        if (b == ' ')
            m.spaces |= bit;
        if (b == '\n')
            m.line_feeds |= bit;
        if (b == ';')
            m.semicolons |= bit;
        const unsigned char* at = p + i;
        if (at[-1] >= 0xC0 || at[-2] >= 0xE0 || at[-3] >= 0xF0)
            m.reachable |= bit;
    }
    return m;
}

#ifdef SFOLTITESTO_SSE2
namespace {

std::uint64_t bits(__m128i v)
{
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(v)));
}

__m128i load(const unsigned char* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The separators among 16 bytes, and the spaces and line feeds among them.
struct separator_vectors {
    __m128i spaces;
    __m128i line_feeds;
    __m128i all;
};

separator_vectors separators_16(__m128i x)
{
    const __m128i spaces = _mm_cmpeq_epi8(x, _mm_set1_epi8(' '));
    const __m128i line_feeds = _mm_cmpeq_epi8(x, _mm_set1_epi8('\n'));
    // (x | 1) == CR covers both form feed and carriage return.
    const __m128i others = _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(1)), _mm_set1_epi8('\r'));
    return {spaces, line_feeds, _mm_or_si128(_mm_or_si128(spaces, line_feeds), others)};
}

// Classifies the 16 bytes at p + i.
inline void classify_16(const unsigned char* p, unsigned i, window_masks& m)
{
    const __m128i x = load(p + i);
    const auto [spaces, line_feeds, separators] = separators_16(x);
    const __m128i semicolons = _mm_cmpeq_epi8(x, _mm_set1_epi8(';'));
    // Unsigned saturation leaves a byte above zero only where the byte 1, 2
    // or 3 before is at least C0, E0 or F0.
    const __m128i reach = _mm_or_si128(
        _mm_or_si128(_mm_subs_epu8(load(p + i - 1), _mm_set1_epi8(static_cast<char>(0xBF))),
                     _mm_subs_epu8(load(p + i - 2), _mm_set1_epi8(static_cast<char>(0xDF)))),
        _mm_subs_epu8(load(p + i - 3), _mm_set1_epi8(static_cast<char>(0xEF))));
    m.separators |= bits(separators) << i;
    m.spaces |= bits(spaces) << i;
    m.line_feeds |= bits(line_feeds) << i;
    m.semicolons |= bits(semicolons) << i;
    m.reachable |= (~bits(_mm_cmpeq_epi8(reach, _mm_setzero_si128())) & 0xFFFF) << i;
}

} // namespace

window_masks classify_window_sse2(const unsigned char* p)
{
    window_masks m;
    // Spelled out so that every shift is a constant.
    classify_16(p, 0, m);
    classify_16(p, 16, m);
    classify_16(p, 32, m);
    classify_16(p, 48, m);
    return m;
}
#endif

#ifdef SFOLTITESTO_HAS_AVX2_CLASSIFIER
namespace {

constexpr byte_splat splat(unsigned char byte)
{
    byte_splat s{};
    for (unsigned char& b : s.bytes)
        b = byte;
    return s;
}

} // namespace

const byte_splat splat_space = splat(' ');
const byte_splat splat_line_feed = splat('\n');
const byte_splat splat_one = splat(1);
const byte_splat splat_carriage_return = splat('\r');
const byte_splat splat_semicolon = splat(';');
const byte_splat splat_reach_2 = splat(0xBF);
const byte_splat splat_reach_3 = splat(0xDF);
const byte_splat splat_reach_4 = splat(0xEF);

namespace {

// Asked once, before main: the processor does not change under us. The bit
// instructions come with AVX2 on every processor made, but a virtual machine
// may hide one of them, so each is asked for.
instruction_set detect_instruction_set()
{
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("bmi") != 0 &&
                      __builtin_cpu_supports("bmi2") != 0 && __builtin_cpu_supports("popcnt") != 0;
    return avx2 ? instruction_set::avx2 : instruction_set::baseline;
}

} // namespace

instruction_set best_instruction_set()
{
    static const instruction_set best = detect_instruction_set();
    return best;
}
#else
instruction_set best_instruction_set()
{
    return instruction_set::baseline;
}
#endif

instruction_set engine_instructions = best_instruction_set();

window_masks classify_window(const unsigned char* p)
{
#ifdef SFOLTITESTO_SSE2
    return classify_window_sse2(p);
#else
    return classify_window_portable(p);
#endif
}

std::uint64_t stop_mask(const unsigned char* p, std::size_t width)
{
    std::uint64_t stops = 0;
    std::size_t i = 0;
#ifdef SFOLTITESTO_SSE2
    for (; i + 16 <= width; i += 16) {
        const __m128i x = load(p + i);
        const __m128i hits =
            _mm_or_si128(separators_16(x).all, _mm_cmpeq_epi8(x, _mm_set1_epi8(';')));
        stops |= bits(hits) << i;
    }
#endif
    for (; i < width; ++i) {
        if (p[i] == ';' || is_separator(p[i]))
            stops |= std::uint64_t{1} << i;
    }
    return stops;
}
