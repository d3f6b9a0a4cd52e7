#include "engine/period_transcription.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "case_names.hpp"
#include "stream_support.hpp"

namespace {

struct transcription_case {
    std::int32_t limit;
    std::string input;
    std::string output;
};

// Whole output files for the loop the program runs.
const transcription_case transcription_cases[] = {
    // Short and cut periods.
    {7, "a b;\n", "a b;\n;\n"},
    {7, "a b c d e f g h i;\nj k;\n", "a b c d e f g;\nj k;\n;\n"},
    {3, "one two three four;five six;", "one two three;\nfive six;\n;\n"},
    {3, "one two three four;five six seven eight nine ten;",
     "one two three;\nfive six seven;\n;\n"},
    {7, "a b c d e f g ;h", "a b c d e f g;\nh;\n"},
    {1, "a b;c", "a;\nc;\n"},
    {1, "a;b;c", "a;\nb;\nc;\n"},
    // Separators: exactly LF, FF, CR and space.
    {2, "uno  due\r\ntre ;quattro", "uno due;\nquattro;\n"},
    {1, "a\tb c;", "a\tb;\n;\n"},
    {7, "a b\vc\fd;", "a b\vc d;\n;\n"},
    {7, std::string("a\0b c;", 6), std::string("a\0b c;\n;\n", 9)},
    {7, "\n\r \f a;", "a;\n;\n"},
    {7, "a.b, c!;", "a.b, c!;\n;\n"},
    // Trailing space kept before a short period's semicolon.
    {7, "a b ;", "a b ;\n;\n"},
    {7, "a b \n\n ;", "a b ;\n;\n"},
    // End of input.
    {7, "", ";\n"},
    {5, "x y z", "x y z;\n"},
    {2, "x y z w", "x y;\n"},
    {2, "x y", "x y;\n"},
    {2, "x y ", "x y;\n"},
    {2, "x y;", "x y;\n;\n"},
    {3, "   ;  ;", ";\n;\n;\n"},
    {7, "a;  \n", "a;\n;\n"},
    // UTF-8 characters whole, lead bytes swallowing what follows them.
    {7, "caff\xC3\xA8 \xE2\x82\xAC \xF0\x9F\x98\x80;",
     "caff\xC3\xA8 \xE2\x82\xAC \xF0\x9F\x98\x80;\n;\n"},
    {7, "ab \xC3", "ab ;\n"},
    {7, "\xC3;x;", "\xC3;x;\n;\n"},
    {1, "\xC3 b c;d", "\xC3 b;\nd;\n"},
    {2, "a b \xE2;;c;", "a b;\n;\n"},
    // Bytes that begin no character are copied as they are.
    {7,
     "\x80"
     "a b;",
     "\x80"
     "a b;\n;\n"},
    {7, "\xF8\xFF \xBF;", "\xF8\xFF \xBF;\n;\n"},
    {1, "a b \x80;c", "a;\nc;\n"},
    // Limits of 0 and below: one bare line per call.
    {0, "abc;def;", ";\n;\n;\n"},
    {0, ";;;", ";\n;\n"},
    {-2, "w1 w2;w3", ";\n;\n"},
    {0, "", ";\n"},
    {INT32_MIN, "a;b", ";\n;\n"},
    {INT32_MAX, "a b c;d", "a b c;\nd;\n"},
};

void PrintTo(const transcription_case& c, std::ostream* os)
{
    *os << "limit " << c.limit << ", input " << escaped(c.input);
}

class transcription : public ::testing::TestWithParam<transcription_case> {};

TEST_P(transcription, writes_the_expected_file_at_any_block_size)
{
    const transcription_case& c = GetParam();
    for (std::size_t block : block_sizes)
        for (std::size_t flush_at : {std::size_t{0}, std::size_t{2}, std::size_t{4096}})
            EXPECT_EQ(escaped(condense(c.input, c.limit, block, flush_at)), escaped(c.output))
                << "block " << block << ", flush at " << flush_at;
}

TEST_P(transcription, the_reference_writes_the_same_file)
{
    const transcription_case& c = GetParam();
    EXPECT_EQ(escaped(condense_reference(c.input, c.limit)), escaped(c.output));
}

// Behind a period of one long word, the row's text starts at every offset
// within a window, so that its bytes meet window ends everywhere. That
// period's line comes first; then the row's own, as the text starts afresh
// after a ';'.
TEST_P(transcription, writes_the_same_at_every_offset_in_a_window)
{
    const transcription_case& c = GetParam();
    for (std::size_t offset = 0; offset < 64; ++offset) {
        const std::string word(64 + offset, 'x');
        const std::string expected = (c.limit >= 1 ? word : "") + ";\n" + c.output;
        for (const instruction_set set : runnable_instruction_sets()) {
            for (std::size_t block : {std::size_t{64}, std::size_t{256 * 1024}}) {
                for (const drive how : {drive::one_pass, drive::alternating}) {
                    const std::string got =
                        condense(word + ";" + c.input, c.limit, block, 4096, set, how);
                    ASSERT_EQ(escaped(got), escaped(expected))
                        << "offset " << offset << ", " << name_of(set) << ", block " << block
                        << (how == drive::one_pass ? ", one pass" : ", alternating");
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(all, transcription, ::testing::ValuesIn(transcription_cases));

struct step_case {
    std::int32_t limit;
    std::string input;
    int transcribe_result;
    std::string written;
    std::string left_after;
};

// One call of transcribe_periods: its result, its output and where it leaves the input.
const step_case step_cases[] = {
    {3, "one two three four;five", 1, "one two three;\n", "four;five"},
    {2, "a b  c", 1, "a b;\n", " c"},
    {2, "a;b", 0, "a;\nb;\n", ""},
    {0, "abc", 1, ";\n", "bc"},
    {0, "\xE2\x82\xAC;", 1, ";\n", ";"},
    {0, "", 0, ";\n", ""},
};

std::string rest_of(std::FILE* in)
{
    std::string rest;
    for (int ch = std::fgetc(in); ch != EOF; ch = std::fgetc(in))
        rest.push_back(static_cast<char>(ch));
    return rest;
}

TEST(transcribe_periods, stops_just_after_the_separator_that_ends_the_last_word)
{
    for (const step_case& c : step_cases) {
        for (std::size_t block : block_sizes) {
            word_limit = c.limit;
            std::FILE* in = stream_of(c.input);
            std::FILE* out = scratch_file();
            std::vector<unsigned char> in_buffer(block + input_slack);
            unsigned char out_buffer[window_output_room];
            output_sink sink(out);
            text_input text_in = make_text_input(in, in_buffer.data(), block);
            text_output text_out = make_text_output(sink, out_buffer, sizeof out_buffer);
            EXPECT_EQ(transcribe_periods(text_in, text_out), c.transcribe_result)
                << escaped(c.input);
            flush_output(text_out);
            EXPECT_EQ(contents_of(out), c.written) << escaped(c.input);
            const std::string buffered(reinterpret_cast<const char*>(unconsumed(text_in)),
                                       reinterpret_cast<const char*>(text_in.data + text_in.end));
            EXPECT_EQ(buffered + rest_of(in), c.left_after)
                << escaped(c.input) << ", block " << block;
            std::fclose(in);
            std::fclose(out);
        }
        word_limit = c.limit;
        std::FILE* in = stream_of(c.input);
        std::FILE* out = scratch_file();
        EXPECT_EQ(reference::transcribe_periods(in, out), c.transcribe_result);
        EXPECT_EQ(contents_of(out), c.written) << escaped(c.input);
        EXPECT_EQ(rest_of(in), c.left_after) << escaped(c.input);
        std::fclose(in);
        std::fclose(out);
    }
    word_limit = 7;
}

TEST(skip_rest_of_period, consumes_through_the_semicolon_and_reports_it)
{
    for (std::size_t block : block_sizes) {
        std::FILE* in = stream_of("x \xC3; y;z");
        std::vector<unsigned char> buffer(block + input_slack);
        text_input text = make_text_input(in, buffer.data(), block);
        EXPECT_EQ(skip_rest_of_period(text), 1) << "block " << block;
        std::uint32_t value = 0;
        std::int32_t length = 0;
        EXPECT_EQ(read_char(text, &value, &length), 1);
        EXPECT_EQ(value, std::uint32_t{'z'}) << "block " << block;
        EXPECT_EQ(skip_rest_of_period(text), 0);
        std::fclose(in);
    }
    std::FILE* in = stream_of("x \xC3; y;z");
    EXPECT_EQ(reference::skip_rest_of_period(in), 1);
    EXPECT_EQ(std::fgetc(in), 'z');
    EXPECT_EQ(reference::skip_rest_of_period(in), 0);
    std::fclose(in);
}

// A stream open only for reading, which refuses every write; removed with it.
struct refusing_output {
    std::string path;
    std::FILE* stream = nullptr;

    explicit refusing_output(const std::string& name) : path(testing::TempDir() + name)
    {
        if (std::FILE* create = std::fopen(path.c_str(), "w"))
            std::fclose(create);
        stream = std::fopen(path.c_str(), "r");
    }
    ~refusing_output()
    {
        if (stream != nullptr)
            std::fclose(stream);
        std::remove(path.c_str());
    }
};

// Enough text for many windows, so that a write fails with the whole of the
// engine at work, not at the first byte.
std::string long_text()
{
    std::string text;
    for (int i = 0; text.size() < 200000; ++i)
        text +=
            "una frase con qualche parola in pi\xC3\xB9 del limite, " + std::to_string(i) + ";\n";
    return text;
}

TEST(transcribe_text, reports_a_write_that_fails_midway)
{
    const refusing_output refusing("transcription_midway_read_only.txt");
    ASSERT_NE(refusing.stream, nullptr);
    std::FILE* const out = refusing.stream;
    const std::string text = long_text();
    for (const instruction_set set : runnable_instruction_sets()) {
        for (const std::int32_t limit : {3, 1000, 0}) {
            for (const drive how : {drive::one_pass, drive::alternating}) {
                word_limit = limit;
                engine_instructions = set;
                std::FILE* in = stream_of(text);
                std::vector<unsigned char> in_buffer(4096 + input_slack);
                std::vector<unsigned char> out_buffer(4096);
                output_sink sink(out);
                text_input text_in = make_text_input(in, in_buffer.data(), 4096);
                text_output text_out = make_text_output(sink, out_buffer.data(), out_buffer.size());
                const int result =
                    how == drive::one_pass
                        ? transcribe_text(text_in, text_out)
                        : alternate_periods([&] { return transcribe_periods(text_in, text_out); },
                                            [&] { return skip_rest_of_period(text_in); });
                EXPECT_EQ(result, transcription_write_failed)
                    << name_of(set) << ", limit " << limit;
                // It stops there: most of the input is never read.
                EXPECT_LT(std::ftell(in), static_cast<long>(text.size()))
                    << name_of(set) << ", limit " << limit;
                EXPECT_FALSE(flush_output(text_out));
                EXPECT_EQ(outcome_of(text_in, sink), run_outcome::write_failed);
                std::fclose(in);
            }
        }
    }
    word_limit = 7;
    engine_instructions = best_instruction_set();
}

// A write that fails is known by the call that hands the buffer over, or by
// the flush after the last call at the latest.
TEST(transcribe_periods, reports_a_failed_write)
{
    const refusing_output refusing("transcription_read_only.txt");
    ASSERT_NE(refusing.stream, nullptr);
    std::FILE* const out = refusing.stream;
    for (std::int32_t limit : {2, 0}) {
        for (const char* input : {"", "a", "a b;", "a b c;"}) {
            word_limit = limit;
            std::FILE* in = stream_of(input);
            unsigned char in_buffer[64 + input_slack];
            unsigned char out_buffer[window_output_room];
            output_sink sink(out);
            text_input text_in = make_text_input(in, in_buffer, 64);
            text_output text_out = make_text_output(sink, out_buffer, sizeof out_buffer);
            transcribe_periods(text_in, text_out);
            EXPECT_FALSE(flush_output(text_out)) << input;
            EXPECT_EQ(outcome_of(text_in, sink), run_outcome::write_failed) << input;
            std::rewind(in);
            EXPECT_EQ(reference::transcribe_periods(in, out), transcription_write_failed) << input;
            std::fclose(in);
        }
    }
    word_limit = 7;
}

} // namespace
