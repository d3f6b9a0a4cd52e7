#pragma once

// Internal to the engine, its second stage: which bytes of a window each
// period gives the output, and where each period is cut. Written once for
// every build of the engine and every way of calling it; K supplies
//
//   static unsigned count(std::uint64_t x); // bits set in x

#include <cstdint>

#include "engine/bits.hpp"
#include "engine/text_input.hpp"

// Where a call of the engine returns.
enum class stop_at {
    cut,       // transcribe_periods: once a period reaches the limit
    semicolon, // skip_rest_of_period: once it has skipped through a ';'
    never,     // transcribe_text: at the end of input
};

// Where the current period stands, carried from window to window: the
// words still to end before it is cut, or 0 while the rest of a period cut
// at the limit is skipped, through its ';'.
using period_state = std::int32_t;

// What a window gives from its first unread byte on.
struct window_plan {
    std::uint64_t active = 0; // bytes the transcriber consumes, as opposed to the skipper
    std::uint64_t cuts = 0;   // separators at which a period reaches the limit
    std::uint64_t unread = 0; // the bytes after the call's stop
    bool stopped = false;     // the call stops in this window
};

// Plans the window's unread bytes, going on from `remaining` and leaving in
// it where the period stands after them (a transcriber needs a limit of 1 or
// more; skipping needs none). A call that stops ends the plan there, after
// the cut or after the ';'.
template <class K, stop_at Stop>
inline window_plan plan_window(const input_window& w, period_state& remaining, std::int32_t limit)
{
    window_plan p;
    std::uint64_t rest = w.unread;
    while (rest != 0) {
        const std::uint64_t semicolon = w.semicolons & rest;
        if (remaining == 0) {
            if (semicolon == 0)
                break;
            rest &= ~bits::through_lowest(semicolon);
            remaining = limit;
            if constexpr (Stop == stop_at::semicolon) {
                p.unread = rest;
                p.stopped = true;
                break;
            }
            continue;
        }
        // The period up to its ';' (included), or to the window's end.
        const std::uint64_t period = semicolon != 0 ? rest & bits::through_lowest(semicolon) : rest;
        std::uint64_t ends = w.word_ends & period;
        const auto count = static_cast<std::int32_t>(K::count(ends));
        if (count >= remaining) {
            // The period is cut at the separator that ends its limit-th word.
            for (std::int32_t k = remaining; k > 1; --k)
                ends &= ends - 1;
            const std::uint64_t cut = bits::lowest_bit(ends);
            const std::uint64_t upto = bits::through_lowest(cut);
            p.active |= rest & upto;
            p.cuts |= cut;
            rest &= ~upto;
            remaining = 0;
            if constexpr (Stop == stop_at::cut) {
                p.unread = rest;
                p.stopped = true;
                break;
            }
            continue;
        }
        p.active |= period;
        rest &= ~period;
        remaining = semicolon != 0 ? limit : remaining - count;
    }
    return p;
}
