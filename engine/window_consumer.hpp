#pragma once

// Internal to the engine: transcribing and skipping over classified windows.
// Written once, for every build of the inner loop: each build's file
// instantiates these with a kernel type of its own, which supplies
//
//   static window_masks classify(const unsigned char* p);
//   static unsigned count(std::uint64_t x);    // bits set in x
//   static void copy_64(unsigned char* to, const unsigned char* from); // separators made spaces
//
// Every byte is classified once, when its window is taken; the window's masks
// stay in the input between calls, so the transcriber and the skipper go on
// where the other stopped.

#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/kernels.hpp"

namespace window_consumer {

// Bits 0 to n-1, for n up to 64.
inline std::uint64_t below(unsigned n)
{
    return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

// Bits n to 63, for n below 64.
inline std::uint64_t from(unsigned n)
{
    return ~std::uint64_t{0} << n;
}

// Bits 0 to n, for n below 64.
inline std::uint64_t through(unsigned n)
{
    return ~std::uint64_t{0} >> (63 - n);
}

inline unsigned lowest(std::uint64_t x)
{
    return static_cast<unsigned>(std::countr_zero(x));
}

// Bits set in x, for processors that may lack the instruction.
inline unsigned count_bits(std::uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555;
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<unsigned>((x * 0x0101010101010101) >> 56);
}

// Makes `w` the window of the `length` bytes at in.data + w.at from what the
// classifier saw: which bytes begin a character, from the lead bytes and the
// bytes carried in from the window before.
// `carry` and `after_stop` are the input's, kept apart so that a caller may
// hold them in registers.
inline void settle(text_input& in, input_window& w, const window_masks& raw, unsigned length,
                   std::uint64_t& carry_in, bool& after_stop)
{
    // The bytes each lead byte takes, if every lead byte begins a character:
    // true of valid UTF-8, where none falls inside another.
    std::uint64_t reach = carry_in;
    std::uint64_t carry = 0;
    if (raw.leads != 0) {
        reach |= raw.leads << 1 | raw.long_leads << 2 | raw.four_leads << 3;
        carry = raw.leads >> 63 | raw.long_leads >> 62 | raw.four_leads >> 61;
    }
    if ((raw.leads & reach) != 0) [[unlikely]] {
        // Some lead byte is inside a character (8-bit code pages, broken
        // text): walk the lead bytes in order, each taking its bytes unless
        // it is taken itself.
        reach = carry_in;
        carry = 0;
        for (std::uint64_t leads = raw.leads; leads != 0; leads &= leads - 1) {
            const unsigned at = lowest(leads);
            if ((reach >> at & 1) != 0)
                continue;
            const unsigned taken =
                1 + unsigned(raw.long_leads >> at & 1) + unsigned(raw.four_leads >> at & 1);
            const std::uint64_t span = (std::uint64_t{1} << taken) - 1;
            if (at < 63)
                reach |= span << (at + 1);
            carry |= span >> (63 - at);
        }
    }
    std::uint64_t real = below(length);
    if (in.ended && in.end - in.next < 3) [[unlikely]] {
        // A character cut short by the end of input is dropped, and with it
        // whatever follows.
        const std::size_t after = in.end - in.next;
        if ((reach & ~real) != 0 || (carry >> after) != 0) {
            const std::uint64_t begun = ~reach & real;
            length = begun != 0 ? 63 - static_cast<unsigned>(std::countl_zero(begun)) : 0;
            real = below(length);
            in.next = in.end;
        }
    }
    const std::uint64_t separators = raw.separators & ~reach & real;
    const std::uint64_t semicolons = raw.semicolons & ~reach & real;
    const std::uint64_t stops = separators | semicolons;
    w.separators = separators;
    w.semicolons = semicolons;
    w.word_ends = separators & ~(stops << 1 | std::uint64_t{after_stop});
    w.inside = raw.separators & reach & real;
    w.pos = 0;
    w.length = length;
    after_stop = (stops >> 63) != 0;
    carry_in = carry;
}

// Takes and classifies the next window into `w`; false at the end of input.
template <class K>
inline bool next_window(text_input& in, input_window& w, std::uint64_t& carry, bool& after_stop)
{
    std::size_t left = in.end - in.next;
    if (left < window_bytes + 3 && !in.ended) [[unlikely]]
        left = refill(in);
    w.at = in.next;
    if (left >= window_bytes) [[likely]] {
        in.next += window_bytes;
        settle(in, w, K::classify(in.data + w.at), window_bytes, carry, after_stop);
        return true;
    }
    if (left == 0)
        return false;
    // The last bytes of the input: the same path, over a padded copy.
    unsigned char padded[window_bytes] = {};
    std::memcpy(padded, in.data + w.at, left);
    in.next += left;
    settle(in, w, K::classify(padded), static_cast<unsigned>(left), carry, after_stop);
    return true;
}

// From the window after the one at hand.
template <class K> int skip(text_input& in)
{
    input_window next;
    for (;;) {
        if (!next_window<K>(in, next, in.carry, in.after_stop)) {
            in.window = next;
            return 0;
        }
        if (next.semicolons != 0) {
            next.pos = lowest(next.semicolons) + 1;
            in.window = next;
            return 1;
        }
    }
}

// Copies each run of `kept` bytes from `from` with whole 64-byte moves that
// turn separators into spaces (the output has room past them, the input has
// bytes past them), and returns where the output ends.
template <class K>
inline unsigned char* copy_runs(unsigned char* to, const unsigned char* from, std::uint64_t kept)
{
    while (kept != 0) {
        const unsigned first = lowest(kept);
        // Adding the lowest bit clears the lowest run and sets the bit after it.
        const std::uint64_t rest = kept + (kept & (~kept + 1));
        const auto past = static_cast<unsigned>(std::countr_zero(rest));
        K::copy_64(to, from + first);
        to += past - first;
        kept &= rest;
    }
    return to;
}

// The same, writing a line feed after each byte of `line_ends`: semicolons
// whose line feed has no separator after them to stand in for it.
template <class K>
inline unsigned char* copy_kept(unsigned char* to, const unsigned char* from, std::uint64_t kept,
                                std::uint64_t line_ends)
{
    for (; line_ends != 0; line_ends &= line_ends - 1) {
        const std::uint64_t upto = through(lowest(line_ends));
        to = copy_runs<K>(to, from, kept & upto);
        *to++ = '\n';
        kept &= ~upto;
    }
    return copy_runs<K>(to, from, kept);
}

// What goes out of a window at `bytes`: its `kept` bytes, separators made
// spaces, a line feed added after each of `line_ends`, then written over
// them a line feed at each of `line_feeds`, the bytes of separators inside a
// character (`inside`) as they are, and a ';' at each of `cuts`. Returns
// where the output ends.
template <class K>
inline unsigned char* write_window(unsigned char* to, const unsigned char* bytes,
                                   std::uint64_t kept, std::uint64_t line_ends,
                                   std::uint64_t line_feeds, std::uint64_t inside,
                                   std::uint64_t cuts)
{
    unsigned char* const past = copy_kept<K>(to, bytes, kept, line_ends);
    // Where the byte at `at` went.
    const auto placed = [&](unsigned at) {
        const std::uint64_t before = (std::uint64_t{1} << at) - 1;
        return K::count(kept & before) + K::count(line_ends & before);
    };
    for (std::uint64_t x = line_feeds; x != 0; x &= x - 1)
        to[placed(lowest(x))] = '\n';
    for (std::uint64_t x = inside & kept; x != 0; x &= x - 1)
        to[placed(lowest(x))] = bytes[lowest(x)];
    for (std::uint64_t x = cuts; x != 0; x &= x - 1)
        to[placed(lowest(x))] = ';';
    return past;
}

// With a limit of 1 or more.
template <class K> int transcribe(text_input& in, text_output& out)
{
    const std::int32_t limit = word_limit;
    // Words still to end before the current period reaches the limit.
    std::int32_t remaining = limit;
    input_window w = in.window;
    for (;;) {
        if (w.pos == w.length && !next_window<K>(in, w, in.carry, in.after_stop)) {
            in.window = w;
            return end_line(out) ? 0 : transcription_write_failed;
        }
        const std::uint64_t unread = from(w.pos);

        // Where the limit falls, if it does in this window: count the word
        // ends of each period in it.
        bool at_limit = false;
        unsigned cut = 0;
        {
            std::uint64_t ends = w.word_ends & unread;
            std::uint64_t semicolons = w.semicolons & unread;
            for (;;) {
                // The bits below the next ';', or all of them.
                const std::uint64_t period = ~semicolons & (semicolons - 1);
                std::uint64_t inside = ends & period;
                const auto count = static_cast<std::int32_t>(K::count(inside));
                if (count >= remaining) {
                    for (std::int32_t k = remaining; k > 1; --k)
                        inside &= inside - 1;
                    cut = lowest(inside);
                    at_limit = true;
                    break;
                }
                if (semicolons == 0) {
                    remaining -= count;
                    break;
                }
                remaining = limit;
                ends &= ~period;
                semicolons &= semicolons - 1;
            }
        }

        // What goes out is the input less the separators after a stop (a
        // period's leading separators, the rest of a run of them), with
        // every word end a space. The separator after a ';' stands for its
        // line feed; at the limit the separator that ended the last word
        // becomes the ';', and the byte after it its line feed.
        const std::uint64_t range = at_limit ? unread & through(cut) : unread & below(w.length);
        std::uint64_t kept = range & ~(w.separators & ~w.word_ends);
        const std::uint64_t semicolons = w.semicolons & range;
        std::uint64_t to_line_feed = semicolons << 1 & w.separators;
        std::uint64_t line_ends = semicolons & ~(to_line_feed >> 1);
        if (at_limit) {
            if (cut + 1 < w.length)
                to_line_feed |= std::uint64_t{1} << (cut + 1);
            else
                line_ends |= std::uint64_t{1} << cut;
        }
        kept |= to_line_feed;

        unsigned char spare[window_output_room];
        if (out.capacity - out.used < window_output_room && out.capacity >= window_output_room &&
            !hand_over(out))
            return transcription_write_failed;
        const bool direct = out.capacity - out.used >= window_output_room;
        unsigned char* const to = direct ? out.data + out.used : spare;
        const std::uint64_t cuts = at_limit ? std::uint64_t{1} << cut : 0;
        const auto written = static_cast<std::size_t>(
            write_window<K>(to, in.data + w.at, kept, line_ends, to_line_feed, w.inside, cuts) -
            to);
        if (direct)
            out.used += written;
        else if (!write_bytes(out, spare, written))
            return transcription_write_failed;

        if (at_limit) {
            w.pos = cut + 1;
            in.window = w;
            return 1;
        }
        w.pos = w.length;
    }
}

// The whole run with a limit of 1 or more, as transcribe and skip
// alternated would make it, without returning between periods: the bytes
// each would consume are worked out for a window at once, and what goes out
// of it is copied in one pass.
template <class K> int run(text_input& in, text_output& out)
{
    const std::int32_t limit = word_limit;
    std::int32_t remaining = limit; // words still to end before the cut
    bool skipping = false;          // through the ';' of a period cut at the limit
    input_window w = in.window;
    std::uint64_t carry = in.carry;
    bool after_stop = in.after_stop;
    const auto through_lowest = [](std::uint64_t x) { return x ^ (x - 1); };
    for (;;) {
        if (w.pos == w.length && !next_window<K>(in, w, carry, after_stop)) {
            in.window = w;
            in.carry = carry;
            in.after_stop = after_stop;
            if (skipping)
                return 1;
            return end_line(out) ? 0 : transcription_write_failed;
        }
        // Which bytes the transcriber would consume, and where it would cut.
        std::uint64_t active = 0;
        std::uint64_t cuts = 0;
        const std::uint64_t real = below(w.length);
        std::uint64_t rest = from(w.pos) & real;
        while (rest != 0) {
            if (skipping) {
                const std::uint64_t semicolon = w.semicolons & rest;
                if (semicolon == 0)
                    break;
                rest &= ~through_lowest(semicolon);
                skipping = false;
                remaining = limit;
                continue;
            }
            const std::uint64_t semicolon = w.semicolons & rest;
            // The period up to its ';' (included), or to the window's end.
            const std::uint64_t period = rest & (semicolon != 0 ? through_lowest(semicolon) : real);
            std::uint64_t ends = w.word_ends & period;
            const auto count = static_cast<std::int32_t>(K::count(ends));
            if (count >= remaining) {
                for (std::int32_t k = remaining; k > 1; --k)
                    ends &= ends - 1;
                const std::uint64_t cut = ends & (~ends + 1);
                active |= rest & (cut | (cut - 1));
                cuts |= cut;
                rest &= ~(cut | (cut - 1));
                skipping = true;
                continue;
            }
            active |= period;
            rest &= ~period;
            remaining = semicolon != 0 ? limit : remaining - count;
        }
        w.pos = w.length;
        if (active == 0)
            continue;

        // As in transcribe: the input less the separators after a stop,
        // word ends made spaces, a line feed after each ';' written (over
        // the separator after it where there is one, else added).
        std::uint64_t kept = active & ~(w.separators & ~w.word_ends);
        const std::uint64_t semicolons = w.semicolons & active;
        const std::uint64_t after_cuts = cuts << 1 & real;
        std::uint64_t to_line_feed = (semicolons << 1 & w.separators) | after_cuts;
        const std::uint64_t line_ends =
            (semicolons & ~(to_line_feed >> 1)) | (cuts & ~(after_cuts >> 1));
        kept |= to_line_feed;

        // The caller gave a buffer with room for a window.
        if (out.capacity - out.used < window_output_room && !hand_over(out))
            return transcription_write_failed;
        unsigned char* const to = out.data + out.used;
        out.used += static_cast<std::size_t>(
            write_window<K>(to, in.data + w.at, kept, line_ends, to_line_feed, w.inside, cuts) -
            to);
    }
}

} // namespace window_consumer

// The entry points of one build, for its file to define with the
// instructions it is compiled for.
#define SFOLTITESTO_KERNEL_ENTRY_POINTS(K, attributes)                                             \
    attributes int transcribe_##K(text_input& in, text_output& out)                                \
    {                                                                                              \
        return window_consumer::transcribe<K>(in, out);                                            \
    }                                                                                              \
    attributes int run_##K(text_input& in, text_output& out)                                       \
    {                                                                                              \
        return window_consumer::run<K>(in, out);                                                   \
    }                                                                                              \
    attributes int skip_##K(text_input& in)                                                        \
    {                                                                                              \
        return window_consumer::skip<K>(in);                                                       \
    }                                                                                              \
    attributes bool next_window_##K(text_input& in)                                                \
    {                                                                                              \
        return window_consumer::next_window<K>(in, in.window, in.carry, in.after_stop);            \
    }                                                                                              \
    attributes window_masks classify_##K(const unsigned char* p)                                   \
    {                                                                                              \
        return K::classify(p);                                                                     \
    }
