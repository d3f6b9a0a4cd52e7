#pragma once

// Internal to the engine, its second stage: what a planned window writes.
// Written once for every build; K supplies
//
//   static unsigned count(std::uint64_t x);                             // bits set in x
//   // Copies at least `length` (1 to 64) bytes, separators made spaces, in
//   // whole moves of up to move_bytes bytes, which may read and write past
//   // them.
//   static void copy(unsigned char* to, const unsigned char* from, unsigned length);

#include <cstdint>
#include <cstring>

#include "engine/bits.hpp"
#include "engine/period_planner.hpp"
#include "engine/text_input.hpp"
#include "engine/text_output.hpp"

// Copies each run of `kept` bytes from `from` with whole moves that turn
// separators into spaces (the output has room past them, the input has bytes
// past them), and returns where the output ends.
template <class K>
inline unsigned char* copy_runs(unsigned char* to, const unsigned char* from, std::uint64_t kept)
{
    while (kept != 0) {
        const unsigned first = bits::lowest(kept);
        // Adding the lowest bit clears the lowest run and sets the bit after it.
        const std::uint64_t rest = kept + bits::lowest_bit(kept);
        const auto past = static_cast<unsigned>(std::countr_zero(rest));
        K::copy(to, from + first, past - first);
        to += past - first;
        kept &= rest;
    }
    return to;
}

// Writes at `to` what the window at `bytes` gives the output under plan `p`,
// and returns where the output ends; at most window_output_room bytes are
// touched.
//
// What goes out is the consumed input less the separators after a stop (a
// period's leading separators, the rest of a run of them), each word end a
// space. Every line ends with ";\n": at a ';' of the period, or at a cut,
// where the separator that ended the last word becomes the ';'. Its line
// feed takes the place of the byte after it, where that is the separator
// after a ';' or the byte after a cut, and is added where there is none.
// A cut at a short window's last byte has the byte after it all the same,
// read past the input's end, to stand for the line feed.
template <class K>
inline unsigned char* emit_window(unsigned char* to, const input_window& w, const window_plan& p)
{
    const unsigned char* const bytes = w.bytes;
    const std::uint64_t semicolons = w.semicolons & p.active;
    const std::uint64_t line_ends = semicolons | p.cuts;
    const std::uint64_t line_feeds = (semicolons << 1 & w.separators) | p.cuts << 1;
    const std::uint64_t added = line_ends & ~(line_feeds >> 1);
    const std::uint64_t kept = (p.active & ~(w.separators & ~w.word_ends)) | line_feeds;

    unsigned char* out = copy_runs<K>(to, bytes, kept);
    // Where the byte at `at` went, before any line feed is added.
    const auto placed = [&](unsigned at) {
        return K::count(kept & ((std::uint64_t{1} << at) - 1));
    };
    for (std::uint64_t x = line_ends & ~added; x != 0; x &= x - 1)
        put_line_end(to + placed(bits::lowest(x)));
    for (std::uint64_t x = w.inside & kept; x != 0; x &= x - 1)
        to[placed(bits::lowest(x))] = bytes[bits::lowest(x)];
    // Seldom (a ';' with no separator after it, a cut at the window's last
    // byte): what follows makes way for the line feed, the last first.
    for (std::uint64_t x = added; x != 0; x ^= std::uint64_t{1} << bits::highest(x)) {
        unsigned char* const end = to + placed(bits::highest(x));
        std::memmove(end + 2, end + 1, static_cast<std::size_t>(out - end - 1));
        put_line_end(end);
        ++out;
    }
    return out;
}
