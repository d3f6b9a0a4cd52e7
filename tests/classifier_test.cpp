// Every build's classifier against the one-byte-at-a-time one, and which
// build of the engine each instruction set gets.
#include "engine/instruction_sets.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "engine/kernel.hpp"
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

// Its own, passes of a Windows text stream included: another build's gives
// the same bytes, and only the dispatch can tell.
TEST(dispatch, every_instruction_set_gets_its_own_build)
{
    const instruction_sets sets = runnable_instruction_sets();
    for (const instruction_set set : sets) {
        EXPECT_STREQ(kernel_for(set).name, name_of(set));
        for (const instruction_set other : sets) {
            if (other == set)
                continue;
            EXPECT_NE(kernel_for(set).read_pass, kernel_for(other).read_pass)
                << name_of(set) << " and " << name_of(other);
            EXPECT_NE(kernel_for(set).write_pass, kernel_for(other).write_pass)
                << name_of(set) << " and " << name_of(other);
        }
    }
}

// The best build for this processor, from what the processor says of
// itself rather than from the engine's own detection.
std::optional<instruction_set> best_for_this_processor()
{
#if defined(__aarch64__)
    return instruction_set::neon;
#elif defined(__x86_64__) && defined(__linux__)
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("flags", 0) != 0)
            continue;
        std::istringstream words(line.substr(line.find(':') + 1));
        int found = 0;
        for (std::string word; words >> word;)
            for (const char* wanted : {"avx2", "bmi1", "bmi2", "popcnt"})
                found += word == wanted;
        return found == 4 ? instruction_set::avx2 : instruction_set::sse2;
    }
    return std::nullopt;
#else
    return std::nullopt;
#endif
}

// Each test runs in a process of its own, so the engine's build here is
// the one it started with.
TEST(dispatch, the_engine_starts_with_the_best_build_the_processor_runs)
{
    const std::optional<instruction_set> best = best_for_this_processor();
    if (!best)
        GTEST_SKIP() << "the processor's instruction sets are not known here";
    EXPECT_STREQ(name_of(best_instruction_set()), name_of(*best));
    EXPECT_STREQ(name_of(engine_instructions), name_of(*best));
    EXPECT_STREQ(name_of(runnable_instruction_sets().back()), name_of(*best));
}

} // namespace
