#pragma once

// Internal to the engine, its second stage: which bytes of a window each
// period gives the output, and where each period is cut. Written once for
// every build of the engine and every way of calling it; K supplies
//
//   static unsigned count(std::uint64_t x); // bits set in x

#include <cstdint>

#include "engine/bits.hpp"
#include "engine/char_reader.hpp"

// Where a call of the engine returns.
enum class stop_at {
    cut,       // transcribe_periods: once a period reaches the limit
    semicolon, // skip_rest_of_period: once it has skipped through a ';'
    never,     // transcribe_text: at the end of input
};

// Where the current period stands; carried from window to window.
struct period_state {
    std::int32_t remaining; // words still to end before the period is cut
    bool skipping;          // through the ';' of a period cut at the limit
};

// What a window gives from its first unread byte on.
struct window_plan {
    std::uint64_t active = 0; // bytes the transcriber consumes, as opposed to the skipper
    std::uint64_t cuts = 0;   // separators at which a period reaches the limit
    std::uint64_t unread = 0; // the bytes after the call's stop, if it stopped
};

// Plans the window's unread bytes, for a limit of 1 or more, going on from
// `s` and leaving in it where the period stands after them. A call that
// stops ends the plan there, after the cut or after the ';'.
template <class K, stop_at Stop>
inline window_plan plan_window(const input_window& w, period_state& s, std::int32_t limit)
{
    window_plan p;
    std::uint64_t rest = w.unread;
    while (rest != 0) {
        const std::uint64_t semicolon = w.semicolons & rest;
        if (s.skipping) {
            if (semicolon == 0)
                break;
            rest &= ~bits::through_lowest(semicolon);
            s = {limit, false};
            if constexpr (Stop == stop_at::semicolon) {
                p.unread = rest;
                break;
            }
            continue;
        }
        // The period up to its ';' (included), or to the window's end.
        const std::uint64_t period = semicolon != 0 ? rest & bits::through_lowest(semicolon) : rest;
        std::uint64_t ends = w.word_ends & period;
        const auto count = static_cast<std::int32_t>(K::count(ends));
        if (count >= s.remaining) {
            // The period is cut at the separator that ends its limit-th word.
            for (std::int32_t k = s.remaining; k > 1; --k)
                ends &= ends - 1;
            const std::uint64_t cut = bits::lowest_bit(ends);
            const std::uint64_t upto = bits::through_lowest(cut);
            p.active |= rest & upto;
            p.cuts |= cut;
            rest &= ~upto;
            s.skipping = true;
            if constexpr (Stop == stop_at::cut) {
                p.unread = rest;
                break;
            }
            continue;
        }
        p.active |= period;
        rest &= ~period;
        s.remaining = semicolon != 0 ? limit : s.remaining - count;
    }
    return p;
}
