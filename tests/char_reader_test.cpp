#include "engine/char_reader.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "case_names.hpp"
#include "stream_support.hpp"

namespace {

struct reader_case {
    const char* name;
    std::string input;
    std::vector<std::pair<std::uint32_t, std::int32_t>> characters; // then status 0
};

const reader_case reader_cases[] = {
    {"empty input", "", {}},
    {"ascii", "A", {{0x41, 1}}},
    {"two bytes", "\xC3\xA8", {{0xC3A8, 2}}},
    {"three bytes", "\xE2\x82\xAC", {{0xE282AC, 3}}},
    {"four bytes", "\xF0\x9F\x98\x80", {{0xF09F9880u, 4}}},
    {"lead byte absorbs a semicolon", "\xC3;x", {{0xC33B, 2}, {'x', 1}}},
    {"lead byte absorbs separators", "\xE2 \n;", {{0xE2200A, 3}, {';', 1}}},
    {"overlong and out-of-range forms pass",
     "\xC0\x80\xF7\xBF\xBF\xBF",
     {{0xC080, 2}, {0xF7BFBFBFu, 4}}},
    {"two-byte character cut short", "a\xC3", {{'a', 1}}},
    {"three-byte character cut short", "\xE2\x82", {}},
    {"four-byte character cut short", "\xF0\x9F\x98", {}},
    {"stray continuation byte alone",
     "\x80"
     "A",
     {{0x80, 1}, {0x41, 1}}},
    {"stray high bytes", "\xF8\xFF\xBF", {{0xF8, 1}, {0xFF, 1}, {0xBF, 1}}},
    {"nul and controls are characters", std::string("\0\t\x1A", 3), {{0, 1}, {9, 1}, {0x1A, 1}}},
};

void PrintTo(const reader_case& c, std::ostream* os)
{
    *os << c.name;
}

class reader : public ::testing::TestWithParam<reader_case> {};

TEST_P(reader, delivers_each_character_then_end_of_input_at_any_block_size)
{
    const reader_case& c = GetParam();
    for (std::size_t block : block_sizes) {
        std::FILE* in = stream_of(c.input);
        ASSERT_NE(in, nullptr);
        std::vector<unsigned char> buffer(block + input_slack);
        text_input text = make_text_input(in, buffer.data(), block);
        for (const auto& [value, length] : c.characters) {
            std::uint32_t got_value = 0xDEADBEEF;
            std::int32_t got_length = -1;
            ASSERT_EQ(read_char(text, &got_value, &got_length), 1) << "block " << block;
            EXPECT_EQ(got_value, value) << "block " << block;
            EXPECT_EQ(got_length, length) << "block " << block;
        }
        std::uint32_t value = 0;
        std::int32_t length = 0;
        EXPECT_EQ(read_char(text, &value, &length), 0) << "block " << block;
        EXPECT_EQ(read_char(text, &value, &length), 0) << "end of input must stay ended";
        std::fclose(in);
    }
}

// Behind a run of one-byte characters, the row's input starts at every
// offset within a window, so that its characters meet window ends
// everywhere, with every build's classifier.
TEST_P(reader, delivers_the_same_at_every_offset_in_a_window)
{
    const reader_case& c = GetParam();
    for (const instruction_set set : runnable_instruction_sets()) {
        engine_instructions = set;
        for (std::size_t offset = 0; offset < window_bytes; ++offset) {
            for (std::size_t block : {window_bytes, std::size_t{256 * 1024}}) {
                std::FILE* in = stream_of(std::string(offset, 'a') + c.input);
                ASSERT_NE(in, nullptr);
                std::vector<unsigned char> buffer(block + input_slack);
                text_input text = make_text_input(in, buffer.data(), block);
                std::vector<std::pair<std::uint32_t, std::int32_t>> got;
                std::uint32_t value = 0;
                std::int32_t length = 0;
                while (got.size() <= offset + c.characters.size() &&
                       read_char(text, &value, &length) == 1)
                    got.emplace_back(value, length);
                auto expected = c.characters;
                expected.insert(expected.begin(), offset, {'a', 1});
                EXPECT_EQ(got, expected)
                    << name_of(set) << ", offset " << offset << ", block " << block;
                std::fclose(in);
            }
        }
    }
    engine_instructions = best_instruction_set();
}

TEST_P(reader, the_reference_reads_the_same_characters)
{
    const reader_case& c = GetParam();
    std::FILE* in = stream_of(c.input);
    ASSERT_NE(in, nullptr);
    for (const auto& [value, length] : c.characters) {
        std::uint32_t got_value = 0xDEADBEEF;
        std::int32_t got_length = -1;
        ASSERT_EQ(reference::read_char(in, &got_value, &got_length), 1);
        EXPECT_EQ(got_value, value);
        EXPECT_EQ(got_length, length);
    }
    std::uint32_t value = 0;
    std::int32_t length = 0;
    EXPECT_EQ(reference::read_char(in, &value, &length), 0);
    std::fclose(in);
}

INSTANTIATE_TEST_SUITE_P(all, reader, ::testing::ValuesIn(reader_cases), named_case{});

TEST(reader_errors, a_stream_that_cannot_be_read_reports_end_with_the_error_flag)
{
    // A stream open only for writing fails every read.
    const std::string path = testing::TempDir() + "reader_write_only.txt";
    std::FILE* out = std::fopen(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    char probe = 0;
    if (std::fread(&probe, 1, 1, out) == 0 && std::ferror(out) == 0) {
        // Microsoft's C runtime fails such a read without flagging an error.
        std::fclose(out);
        std::remove(path.c_str());
        GTEST_SKIP() << "this C runtime does not flag a read of a write-only stream";
    }
    std::clearerr(out);
    unsigned char buffer[16 + input_slack];
    text_input text = make_text_input(out, buffer, 16);
    std::uint32_t value = 0;
    std::int32_t length = 0;
    EXPECT_EQ(read_char(text, &value, &length), 0);
    EXPECT_NE(std::ferror(out), 0);
    std::fclose(out);
    std::remove(path.c_str());
}

} // namespace
