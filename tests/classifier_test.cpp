// Every build's classifier against the one-byte-at-a-time one, and the
// character starts the engine settles from their masks.
#include "engine/instruction_sets.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "stream_support.hpp"

namespace {

struct window_case {
    std::string window; // padded with 'x' to 64
    window_masks masks;
};

const window_case window_cases[] = {
    {"a b\nc\rd\fe;f\tg\vh", {0b10101010, 0b1000000000, 0, 0, 0}},
    {"\xC3\xA8 \xE2\x82\xAC;\xF0\x9F\x98\x80",
     {0b100, 0b1000000, 0b10001001, 0b10001000, 0b10000000}},
    // F8-FF and the continuation bytes begin nothing; C0-F7 are lead bytes
    // whatever follows them.
    {"\xF8\xFF\x80\xBF\xC0\xDF\xE0\xEF\xF0\xF7", {0, 0, 0b1111110000, 0b1111000000, 0b1100000000}},
    {std::string("\0\x09\x0B\x0E\x1A \x7F", 7), {0b100000, 0, 0, 0, 0}},
};

TEST(classifier, marks_each_class)
{
    for (const instruction_set set : runnable_instruction_sets()) {
        for (const window_case& c : window_cases) {
            std::string bytes = c.window;
            bytes.resize(64, 'x');
            const window_masks m =
                classifier_for(set)(reinterpret_cast<const unsigned char*>(bytes.data()));
            EXPECT_EQ(m.separators, c.masks.separators) << name_of(set) << " " << escaped(c.window);
            EXPECT_EQ(m.semicolons, c.masks.semicolons) << name_of(set) << " " << escaped(c.window);
            EXPECT_EQ(m.leads, c.masks.leads) << name_of(set) << " " << escaped(c.window);
            EXPECT_EQ(m.long_leads, c.masks.long_leads) << name_of(set) << " " << escaped(c.window);
            EXPECT_EQ(m.four_leads, c.masks.four_leads) << name_of(set) << " " << escaped(c.window);
        }
    }
}

TEST(classifier, every_build_gives_the_portable_masks)
{
    const unsigned char interesting[] = {' ',  '\n', '\r', '\f', ';',  'a',  0x00, 0x0B,
                                         0x1A, 0x7F, 0x80, 0xBF, 0xC0, 0xC3, 0xDF, 0xE0,
                                         0xE2, 0xEF, 0xF0, 0xF7, 0xF8, 0xFF};
    std::mt19937 g(20261208);
    std::uniform_int_distribution<std::size_t> any(0, sizeof interesting - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    const window_classifier portable = classifier_for(instruction_set::portable);
    for (int round = 0; round < 20000; ++round) {
        unsigned char bytes[64];
        for (unsigned char& b : bytes)
            b = round % 2 == 0 ? interesting[any(g)] : static_cast<unsigned char>(byte(g));
        const window_masks plain = portable(bytes);
        for (const instruction_set set : runnable_instruction_sets()) {
            const window_masks m = classifier_for(set)(bytes);
            ASSERT_EQ(m.separators, plain.separators) << name_of(set) << " round " << round;
            ASSERT_EQ(m.semicolons, plain.semicolons) << name_of(set) << " round " << round;
            ASSERT_EQ(m.leads, plain.leads) << name_of(set) << " round " << round;
            ASSERT_EQ(m.long_leads, plain.long_leads) << name_of(set) << " round " << round;
            ASSERT_EQ(m.four_leads, plain.four_leads) << name_of(set) << " round " << round;
        }
    }
}

} // namespace
