#include "engine/byte_scan.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// The three bytes before a window are looked at, so every window here sits
// after a prefix of its own.
struct window_case {
    std::string before; // exactly 3 bytes
    std::string window; // padded with 'x' to 64
    std::uint64_t separators;
    std::uint64_t semicolons;
    std::uint64_t unsure;
};

const window_case window_cases[] = {
    {"xxx", "a b\nc\rd\fe;f\tg\vh", 0b10101010, 0b1000000000, 0},
    // A stop right after a lead byte may belong to it; after a whole
    // character it does not.
    {"xxx", "\xC3 \xC3\xA9 ", 0b10010, 0, 0b10},
    {"xxx", "\xE2\x82;\xE2\x82\xAC;", 0, 0b1000100, 0b100},
    {"xxx", "\xF0\x9F\x98;", 0, 0b1000, 0b1000},
    // Lead bytes before the window reach into it.
    {"xx\xC3", " ", 0b1, 0, 0b1},
    {"\xF0xx", "; ", 0b10, 0b1, 0b1},
    // F8-FF start nothing, but are doubted all the same: the slow path
    // settles them.
    {"xxx", "\xFF;", 0, 0b10, 0b10},
};

std::string padded(const window_case& c)
{
    std::string bytes = c.before + c.window;
    bytes.resize(3 + 64, 'x');
    return bytes;
}

TEST(classify_window, marks_stops_and_the_ones_a_lead_byte_may_swallow)
{
    for (const window_case& c : window_cases) {
        const std::string bytes = padded(c);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 3;
        const window_masks m = classify_window(p);
        EXPECT_EQ(m.separators, c.separators) << c.window;
        EXPECT_EQ(m.semicolons, c.semicolons) << c.window;
        const std::uint64_t stops = m.separators | m.semicolons;
        EXPECT_EQ(m.reachable & stops, c.unsure) << c.window;
        EXPECT_EQ(classify_window_portable(p).reachable & stops, c.unsure) << c.window;
    }
}

#ifdef SFOLTITESTO_HAS_SSE2_CLASSIFIER
TEST(classify_window, vector_and_portable_versions_agree)
{
    const unsigned char interesting[] = {' ',  '\n', '\r', '\f', ';',  'a',  0x00, 0x0B,
                                         0x1A, 0x7F, 0x80, 0xBF, 0xC0, 0xC3, 0xDF, 0xE0,
                                         0xE2, 0xEF, 0xF0, 0xF7, 0xF8, 0xFF};
    std::mt19937 g(20261208);
    std::uniform_int_distribution<std::size_t> any(0, sizeof interesting - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20000; ++round) {
        unsigned char bytes[3 + 64];
        for (unsigned char& b : bytes)
            b = round % 2 == 0 ? interesting[any(g)] : static_cast<unsigned char>(byte(g));
        const window_masks plain = classify_window_portable(bytes + 3);
        std::vector<window_masks> fast = {classify_window_sse2(bytes + 3)};
#ifdef SFOLTITESTO_HAS_AVX2_CLASSIFIER
        if (best_instruction_set() == instruction_set::avx2)
            fast.push_back(classify_window_avx2(bytes + 3));
#endif
        for (const window_masks& m : fast) {
            ASSERT_EQ(m.separators, plain.separators) << round;
            ASSERT_EQ(m.spaces, plain.spaces) << round;
            ASSERT_EQ(m.line_feeds, plain.line_feeds) << round;
            ASSERT_EQ(m.semicolons, plain.semicolons) << round;
            ASSERT_EQ(m.reachable, plain.reachable) << round;
        }
    }
}
#endif

} // namespace
