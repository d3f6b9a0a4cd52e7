// The program's own passes for Windows text files against the per-byte
// reference of what a text stream does: on every platform, with every build
// this processor runs, in buffers of exactly the sizes their contracts give.
#include "engine/text_mode.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference/text_streams.hpp"
#include "stream_support.hpp"

namespace {

// Runs `check` with each build of the engine this processor runs.
template <class Check> void with_every_build(Check check)
{
    for (const instruction_set set : runnable_instruction_sets()) {
        engine_instructions = set;
        SCOPED_TRACE(name_of(set));
        check();
    }
    engine_instructions = best_instruction_set();
}

// What text_mode_read_pass makes of `stored`, in a buffer of its exact size.
std::string read_pass(const std::string& stored, bool* ended)
{
    std::vector<unsigned char> bytes(stored.begin(), stored.end());
    const text_mode_read text = text_mode_read_pass(bytes.data(), bytes.size());
    *ended = text.ended;
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(text.length)};
}

std::string write_pass(const std::string& text)
{
    const std::vector<unsigned char> from(text.begin(), text.end());
    std::vector<unsigned char> to(text_mode_write_room(text.size()));
    const std::size_t length = text_mode_write_pass(from.data(), from.size(), to.data());
    return {to.begin(), to.begin() + static_cast<std::ptrdiff_t>(length)};
}

struct read_case {
    const char* stored;
    const char* text;
    bool ended;
};

const read_case read_cases[] = {
    {"", "", false},
    {"a\r\nb\r\n", "a\nb\n", false},
    {"\r\r\n", "\r\n", false},           // only the CR just before a LF goes
    {"a\rb\n\r c", "a\rb\n\r c", false}, // lone CRs and LF CR stay
    {"ab\r", "ab\r", false},             // nothing follows the last CR here
    {"ab\x1A"
     "cd\r\n",
     "ab", true},
    {"a\r\x1A\n", "a\r", true},
    {"\x1A", "", true},
};

// Behind a run of plain bytes, each row starts at every offset of a window
// and of the window after it, so that pairs and the 1A meet window ends;
// at the end of the text, where the bytes are taken one at a time, and
// before two windows more, where they are taken a window at a time.
TEST(text_mode_read_pass, reads_what_a_text_stream_reads)
{
    with_every_build([&] {
        for (const read_case& c : read_cases)
            for (const std::size_t after : {std::size_t{0}, 2 * window_bytes})
                for (std::size_t offset = 0; offset < 3 * window_bytes; ++offset) {
                    const std::string before(offset, 'x');
                    const std::string behind(after, 'y');
                    bool ended = false;
                    EXPECT_EQ(escaped(read_pass(before + c.stored + behind, &ended)),
                              escaped(before + c.text + (c.ended ? "" : behind)))
                        << escaped(c.stored) << " after " << offset << ", before " << after;
                    EXPECT_EQ(ended, c.ended) << escaped(c.stored) << " after " << offset;
                }
    });
}

TEST(text_mode_write_pass, stores_each_line_feed_as_a_text_stream_does)
{
    with_every_build([&] {
        for (const char* text : {"", "\n", "a\nb", "\r\n\n", "\n\n\n;\n"}) {
            for (std::size_t offset = 0; offset < 3 * window_bytes; ++offset) {
                const std::string written = std::string(offset, 'x') + text;
                EXPECT_EQ(escaped(write_pass(written)),
                          escaped(std::string(offset, 'x') + reference::stored_in_text_mode(text)))
                    << escaped(text) << " after " << offset;
            }
        }
    });
}

// Nothing but line feeds doubles the text: the most the room is for.
TEST(text_mode_write_pass, has_room_for_a_text_of_nothing_but_line_feeds)
{
    with_every_build([&] {
        for (std::size_t size = 1; size <= 4 * window_bytes; ++size) {
            const std::string text(size, '\n');
            EXPECT_EQ(write_pass(text), reference::stored_in_text_mode(text)) << size;
        }
    });
}

TEST(output_sink, stores_each_line_feed_as_crlf_in_pieces_that_fit_its_staging)
{
    std::vector<unsigned char> staging(text_mode_write_room(text_mode_piece));
    for (const std::string& text : {std::string(1000, '\n'), std::string("a;\nb;\n") + "\xC3\n"}) {
        std::FILE* out = scratch_file();
        ASSERT_NE(out, nullptr);
        output_sink sink(out, staging.data(), staging.size());
        EXPECT_TRUE(sink.write(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
        EXPECT_FALSE(sink.write_failed());
        EXPECT_EQ(escaped(contents_of(out)), escaped(reference::stored_in_text_mode(text)));
        std::fclose(out);
    }
}

// Files read as text through the engine, in blocks of every size the other
// tests use and of the input's own: a CR held back at the end of one read
// meets the next read, or the end, which finds nothing new in a buffer that
// still holds the last read's bytes.
TEST(text_mode_files, are_read_as_a_text_stream_reads_them_whatever_the_blocks)
{
    const std::string inputs[] = {"\nb\r",          "a\r", "\r", "a\r\n", "\n\r", "\r\r\n;",
                                  "uno\r;\r\ndue\r"};
    with_every_build([&] {
        for (const std::string& input : inputs) {
            const std::string expected = reference::stored_in_text_mode(
                condense_reference(reference::read_in_text_mode(input), 7));
            std::vector<std::size_t> blocks(std::begin(block_sizes), std::end(block_sizes));
            blocks.push_back(input.size());
            for (const std::size_t block : blocks)
                EXPECT_EQ(escaped(condense(input, 7, block, 0, engine_instructions, drive::one_pass,
                                           file_bytes::in_text_mode)),
                          escaped(expected))
                    << escaped(input) << " in blocks of " << block;
        }
    });
}

// Random texts, dense in the bytes the passes look at.
TEST(text_mode_passes, do_what_a_text_stream_does_to_random_texts)
{
    with_every_build([&] {
        const char bytes[] = {'\r', '\r', '\n', '\n', '\x1A', 'a', ';', ' ', '\x80', '\xFF'};
        std::mt19937 g(20261209);
        for (int round = 0; round < 5000; ++round) {
            std::string text(std::uniform_int_distribution<std::size_t>(0, 400)(g), 'a');
            const bool sparse_eof = round % 2 == 0; // else most texts end early
            for (char& c : text) {
                c = bytes[std::uniform_int_distribution<std::size_t>(0, std::size(bytes) - 1)(g)];
                if (c == '\x1A' && sparse_eof && g() % 8 != 0)
                    c = '\r';
            }
            bool ended = false;
            const std::string expected = reference::read_in_text_mode(text);
            ASSERT_EQ(escaped(read_pass(text, &ended)), escaped(expected)) << escaped(text);
            ASSERT_EQ(ended, text.find('\x1A') != std::string::npos) << escaped(text);
            ASSERT_EQ(escaped(write_pass(text)), escaped(reference::stored_in_text_mode(text)))
                << escaped(text);
        }
    });
}

} // namespace
