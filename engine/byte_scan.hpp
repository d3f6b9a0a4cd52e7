#pragma once

// Finding where a run of word bytes ends, many bytes at a time. Internal to
// the engine.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/char_reader.hpp"

// The bytes that part words.
inline bool is_separator(unsigned char byte)
{
    return byte == ' ' || byte == '\n' || byte == '\r' || byte == '\f';
}

// What the 64 bytes at p are, one bit per byte: bit i tells about p[i].
struct window_masks {
    std::uint64_t separators = 0; // LF, FF, CR, space
    std::uint64_t spaces = 0;
    std::uint64_t line_feeds = 0;
    std::uint64_t semicolons = 0;
    // Bytes that a lead byte may swallow: p[i-1] is C0 or above, p[i-2] E0
    // or above, or p[i-3] F0 or above. It looks at the three bytes before p,
    // which must be readable, and counts F8-FF as lead bytes too: it may
    // doubt a byte that starts a character, never trust one that does not.
    std::uint64_t reachable = 0;
};

// The ways of classifying a window, giving the same masks: one byte at a
// time on any processor, 16 at a time with SSE2 (every x86-64 has it), which
// classify_window takes where it can, and 32 at a time with AVX2, for code
// running with engine_instructions at avx2.
window_masks classify_window(const unsigned char* p);
window_masks classify_window_portable(const unsigned char* p);
#if defined(__SSE2__) || defined(_M_X64)
#define SFOLTITESTO_HAS_SSE2_CLASSIFIER 1
window_masks classify_window_sse2(const unsigned char* p);
#endif
#if defined(SFOLTITESTO_HAS_SSE2_CLASSIFIER) && defined(__GNUC__) && defined(__x86_64__)
#define SFOLTITESTO_HAS_AVX2_CLASSIFIER 1
#include <immintrin.h>
#endif

// The instructions the engine's inner loops use: those every processor of
// its kind has, or AVX2 with the bit instructions (BMI1, BMI2, POPCNT) that
// come with it. Set before main from what the processor has; tests switch
// it to hold both versions to the same output.
enum class instruction_set { baseline, avx2 };
extern instruction_set engine_instructions;
instruction_set best_instruction_set();

#ifdef SFOLTITESTO_HAS_AVX2_CLASSIFIER
// 32 copies of a byte. Defined out of line, so that the comparisons take
// them straight from memory: GCC rebuilds constants it can see in registers,
// three instructions each per window, which costs 8% of all instructions.
struct alignas(32) byte_splat {
    unsigned char bytes[32];
};

extern const byte_splat splat_space;
extern const byte_splat splat_line_feed;
extern const byte_splat splat_one;
extern const byte_splat splat_carriage_return;
extern const byte_splat splat_semicolon;
extern const byte_splat splat_reach_2; // a lead byte at 1 before reaches here: above BF
extern const byte_splat splat_reach_3; // at 2 before: above DF
extern const byte_splat splat_reach_4; // at 3 before: above EF

__attribute__((target("avx2"))) inline __m256i splat_vector(const byte_splat& s)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(s.bytes));
}

// Defined here so that code compiled for AVX2 takes it in whole; callers
// that are not must check engine_instructions first. The bytes just before
// each half are loaded with lddqu, which does the same as loadu: GCC 12
// sends loadu at those offsets through the stack.
__attribute__((target("avx2"))) inline window_masks classify_window_avx2(const unsigned char* p)
{
    std::uint32_t separators[2];
    std::uint32_t spaces[2];
    std::uint32_t line_feeds[2];
    std::uint32_t semicolons[2];
    std::uint32_t unreached[2];
    for (int half = 0; half < 2; ++half) {
        const unsigned char* at = p + 32 * half;
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        const __m256i before_1 = _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at - 1));
        const __m256i before_2 = _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at - 2));
        const __m256i before_3 = _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at - 3));
        const __m256i space = _mm256_cmpeq_epi8(x, splat_vector(splat_space));
        const __m256i line_feed = _mm256_cmpeq_epi8(x, splat_vector(splat_line_feed));
        // (x | 1) == CR covers both form feed and carriage return.
        const __m256i others = _mm256_cmpeq_epi8(_mm256_or_si256(x, splat_vector(splat_one)),
                                                 splat_vector(splat_carriage_return));
        const __m256i separator = _mm256_or_si256(_mm256_or_si256(space, line_feed), others);
        const __m256i semicolon = _mm256_cmpeq_epi8(x, splat_vector(splat_semicolon));
        // Unsigned saturation leaves a byte above zero only where the byte
        // 1, 2 or 3 before is at least C0, E0 or F0.
        const __m256i reach = _mm256_or_si256(
            _mm256_or_si256(_mm256_subs_epu8(before_1, splat_vector(splat_reach_2)),
                            _mm256_subs_epu8(before_2, splat_vector(splat_reach_3))),
            _mm256_subs_epu8(before_3, splat_vector(splat_reach_4)));
        separators[half] = static_cast<std::uint32_t>(_mm256_movemask_epi8(separator));
        spaces[half] = static_cast<std::uint32_t>(_mm256_movemask_epi8(space));
        line_feeds[half] = static_cast<std::uint32_t>(_mm256_movemask_epi8(line_feed));
        semicolons[half] = static_cast<std::uint32_t>(_mm256_movemask_epi8(semicolon));
        unreached[half] = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(reach, _mm256_setzero_si256())));
    }
    const auto whole = [](const std::uint32_t(&halves)[2]) {
        return std::uint64_t{halves[0]} | std::uint64_t{halves[1]} << 32;
    };
    window_masks m;
    m.separators = whole(separators);
    m.spaces = whole(spaces);
    m.line_feeds = whole(line_feeds);
    m.semicolons = whole(semicolons);
    m.reachable = ~whole(unreached);
    return m;
}
#endif

// Bit i set when p[i] is a separator or ';', for i < width <= 64.
std::uint64_t stop_mask(const unsigned char* p, std::size_t width);

// Bits set in x, without needing the processor's own instruction.
inline unsigned count_bits(std::uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555;
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<unsigned>((x * 0x0101010101010101) >> 56);
}

// Finds separators (LF, FF, CR, space) and ';' through a bit mask of a
// 64-byte window, kept between calls: words are short, so most calls only
// shift the mask. Bytes that move (a refill) need a reset().
struct separator_finder {
    const unsigned char* base = nullptr;
    std::size_t width = 0;   // bytes of the window the mask covers
    std::uint64_t stops = 0; // separators and ';'

    void reset()
    {
        base = nullptr;
        width = 0;
    }

    // The first separator or ';' in [p, end), or end.
    const unsigned char* operator()(const unsigned char* p, const unsigned char* end)
    {
        for (;;) {
            if (p >= base && p < base + width) {
                const auto shift = static_cast<unsigned>(p - base);
                const std::uint64_t rest = stops >> shift;
                if (rest != 0)
                    return base + static_cast<unsigned>(std::countr_zero(rest)) + shift;
                p = base + width;
            }
            if (p == end)
                return end;
            base = p;
            width = end - p < 64 ? static_cast<std::size_t>(end - p) : 64;
            stops = stop_mask(p, width);
        }
    }
};

// Finds ';' alone.
struct semicolon_finder {
    const unsigned char* operator()(const unsigned char* p, const unsigned char* end) const
    {
        // The C library's own search is already as wide as the processor allows.
        const void* hit = std::memchr(p, ';', static_cast<std::size_t>(end - p));
        return hit != nullptr ? static_cast<const unsigned char*>(hit) : end;
    }
};

// Whether the byte at q surely starts a character, knowing that `from` does
// and looking only at the three bytes before q: no lead byte there reaches q.
// For valid UTF-8 this always holds at a character start; when it does not,
// the caller walks the characters one by one.
inline bool surely_starts_char(const unsigned char* from, const unsigned char* q)
{
    return !(q - from >= 1 && q[-1] >= 0xC0 && q[-1] <= 0xF7) &&
           !(q - from >= 2 && q[-2] >= 0xE0 && q[-2] <= 0xF7) &&
           !(q - from >= 3 && q[-3] >= 0xF0 && q[-3] <= 0xF7);
}

// The first character from `p` (a character start) that does not fit before
// `end`, or `end`.
inline const unsigned char* last_fit(const unsigned char* p, const unsigned char* end)
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

struct run_end {
    const unsigned char* at; // the stopping byte, or where the buffered bytes run out
    bool found;              // true when `at` is a stopping byte that starts a character
};

// From `p`, which starts a character, finds the first character in [p, end)
// whose (first and only) byte is one that `find` looks for. A lead byte's
// character takes the bytes after it whatever they are, so a stopping byte
// inside one does not count. When there is none, `at` is the first character
// that does not fit before `end` (`end` itself when all of them fit), and the
// bytes from there, at most 3, wait for more input.
template <class Finder>
inline run_end scan_run(const unsigned char* p, const unsigned char* end, Finder& find)
{
    for (;;) {
        const unsigned char* q = find(p, end);
        if (q == end)
            return {last_fit(p, end), false};
        if (surely_starts_char(p, q))
            return {q, true};
        // Walk to the character that holds q.
        const unsigned char* c = p;
        while (c + char_size(*c) <= q)
            c += char_size(*c);
        if (c == q)
            return {q, true};
        // q is inside the character at c: go on after that character.
        if (c + char_size(*c) > end)
            return {c, false};
        p = c + char_size(*c);
    }
}
