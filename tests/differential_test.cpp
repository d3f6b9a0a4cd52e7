// Holds the fast engine to the plain one on thousands of generated inputs, at
// every block size that puts characters and semicolons across block ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "reference/text_streams.hpp"
#include "stream_support.hpp"

namespace {

using generator = std::mt19937;

int pick(generator& g, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(g);
}

// Bytes that matter to the engine, and some that do not.
const unsigned char interesting[] = {'a',  'b',  'z',  ' ',  ' ',  '\n', '\r', '\f', ';',  ';',
                                     '\t', '\v', 0x00, 0x1A, 0xC3, 0xA8, 0xE2, 0x82, 0xAC, 0xF0,
                                     0x9F, 0x98, 0x80, 0xBF, 0xC0, 0xDF, 0xEF, 0xF7, 0xF8, 0xFF};

const char* const pieces[] = {"parola",
                              " ",
                              "  ",
                              "\r\n",
                              "\n",
                              ";",
                              "; ",
                              ";\n",
                              "caff\xC3\xA8",
                              "\xE2\x82\xAC",
                              "\xF0\x9F\x98\x80",
                              "\xC3;",
                              "\xE2;;",
                              "\xF0 ; ",
                              "\xC3\xC3;",
                              "\x80",
                              "\xFF",
                              "\f",
                              "a",
                              "bb"};

std::string random_input(generator& g)
{
    std::string s;
    const int length = pick(g, 0, 3) == 0 ? pick(g, 200, 3000) : pick(g, 0, 120);
    switch (pick(g, 0, 4)) {
    case 0: // any byte at all
        for (int i = 0; i < length; ++i)
            s.push_back(static_cast<char>(pick(g, 0, 255)));
        break;
    case 1: // the bytes the engine looks at, densely
        for (int i = 0; i < length; ++i)
            s.push_back(static_cast<char>(interesting[pick(g, 0, sizeof interesting - 1)]));
        break;
    case 2: // text-like: words, separators, characters, lead bytes before ';'
        while (static_cast<int>(s.size()) < length)
            s += pieces[pick(g, 0, std::size(pieces) - 1)];
        break;
    case 3: // one long word, then a period end
        s.assign(static_cast<std::size_t>(length) * 4, 'w');
        for (int i = 0; i < length / 8; ++i)
            s[static_cast<std::size_t>(pick(g, 0, static_cast<int>(s.size()) - 1))] =
                static_cast<char>(interesting[pick(g, 0, sizeof interesting - 1)]);
        s += ";";
        break;
    default: // lead bytes placed just before the ends of 64-byte blocks
        s.assign(static_cast<std::size_t>(length) + 70, 'x');
        for (std::size_t at = 61; at + 3 < s.size(); at += 64) {
            s[at] = static_cast<char>(interesting[pick(g, 14, sizeof interesting - 1)]);
            s[at + static_cast<std::size_t>(pick(g, 1, 3))] = ';';
        }
        break;
    }
    if (pick(g, 0, 5) == 0 && !s.empty()) // a lead byte at the very end
        s.back() = static_cast<char>(0xC0 + pick(g, 0, 0x37));
    return s;
}

// Every case goes through scratch files, which Windows (under wine) makes
// about ten times slower: fewer rounds there, the same inputs. Under
// ThreadSanitizer, which watches every access, the rounds are for the
// threads, not for the inputs: fewer again.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SFOLTITESTO_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(SFOLTITESTO_THREAD_SANITIZER)
constexpr int rounds = 150;
#elif defined(_WIN32)
constexpr int rounds = 1000;
#else
constexpr int rounds = 3000;
#endif

TEST(differential, fast_engine_writes_what_the_plain_one_writes)
{
    unsigned seed = 20261208;
    if (const char* given = std::getenv("SFOLTITESTO_SEED"))
        seed = static_cast<unsigned>(std::strtoul(given, nullptr, 10));
    generator g(seed);
    int failures = 0;
    for (int round = 0; round < rounds && failures < 5; ++round) {
        const std::string input = random_input(g);
        // Small limits half the time, so that periods are cut often.
        const std::int32_t limit = pick(g, 0, 1) == 0 ? pick(g, -3, 50) : pick(g, 1, 4);
        int plain_result = 0;
        const std::string plain = condense_reference(input, limit, &plain_result);
        // The same file read and written as a Windows text stream does it.
        int text_result = 0;
        const std::string text = reference::stored_in_text_mode(
            condense_reference(reference::read_in_text_mode(input), limit, &text_result));
        for (const instruction_set set : runnable_instruction_sets()) {
            for (std::size_t block : block_sizes) {
                // Output handed over after every window or few, or seldom.
                const auto flush_at = static_cast<std::size_t>(
                    pick(g, 0, 1) == 0 ? pick(g, 0, 100) : pick(g, 192, 1000));
                // Either way of driving the engine, so both are tried often.
                const drive how = pick(g, 0, 1) == 0 ? drive::one_pass : drive::alternating;
                const file_bytes files =
                    pick(g, 0, 1) == 0 ? file_bytes::as_they_are : file_bytes::in_text_mode;
                // The copies made beside the engine by a worker thread, or not.
                const copies made = pick(g, 0, 1) == 0 ? copies::in_turn : copies::beside;
                const std::string& expected = files == file_bytes::in_text_mode ? text : plain;
                const int expected_result =
                    files == file_bytes::in_text_mode ? text_result : plain_result;
                int result = 0;
                const std::string got =
                    condense(input, limit, block, flush_at, set, how, files, &result, made);
                if (got != expected || result != expected_result) {
                    ++failures;
                    ADD_FAILURE() << "seed " << seed << ", limit " << limit << ", block " << block
                                  << ", flush at " << flush_at << ", instructions " << name_of(set)
                                  << (how == drive::one_pass ? ", one pass" : ", alternating")
                                  << (files == file_bytes::in_text_mode ? ", as text" : "")
                                  << (made == copies::beside ? ", copies beside" : "")
                                  << "\n  input    " << escaped(input) << "\n  expected "
                                  << escaped(expected) << ", returning " << expected_result
                                  << "\n  got      " << escaped(got) << ", returning " << result;
                    break;
                }
            }
        }
    }
}

} // namespace
