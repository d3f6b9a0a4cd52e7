#pragma once

// Internal to the engine, its first stage: the input as a sequence of 64-byte
// windows, each classified once into masks, with the bytes of every character
// settled across window ends. Written once for every build of the engine;
// each instantiates take_window with its own classifier K (see
// window_masks.hpp).

#include <cstring>

#include "engine/bits.hpp"
#include "engine/text_input.hpp"
#include "engine/window_masks.hpp"

// Where the next window comes from, for a loop to hold in locals: the
// output's byte stores might be the input's fields, for all the compiler
// knows, and it would read them again after each.
struct input_view {
    const unsigned char* next; // the first byte not yet in a window
    const unsigned char* end;  // past the last byte read
};

inline input_view view_of(const text_input& in)
{
    return {in.data + in.next, in.data + in.end};
}

// Tells `in` where `v` has gone.
inline void catch_up(text_input& in, const input_view& v)
{
    in.next = static_cast<std::size_t>(v.next - in.data);
}

// Makes c.window the window that `raw` classified: which bytes begin a
// character follows from the lead bytes and the bytes carried in from the
// window before.
inline void settle(const window_masks& raw, input_cursor& c)
{
    input_window& w = c.window;
    w.separators = raw.separators;
    w.semicolons = raw.semicolons;
    w.inside = 0;
    w.continuing = 0;
    if ((raw.leads | c.carry) != 0) {
        // The bytes each lead byte takes, if every lead byte begins a
        // character: true of valid UTF-8, where none falls inside another.
        // Every lead byte takes the byte after it, E0-F7 the next one too,
        // and F0-F7 the one after that, the last within their reach.
        std::uint64_t reach = c.carry | raw.leads << (lead_reach - 2) |
                              raw.long_leads << (lead_reach - 1) | raw.four_leads << lead_reach;
        std::uint64_t carry = raw.leads >> (window_bytes - (lead_reach - 2)) |
                              raw.long_leads >> (window_bytes - (lead_reach - 1)) |
                              raw.four_leads >> (window_bytes - lead_reach);
        if ((raw.leads & reach) != 0) [[unlikely]] {
            // Some lead byte is inside a character (8-bit code pages, broken
            // text): walk the lead bytes in order, each taking its bytes
            // unless it is taken itself.
            constexpr auto last = static_cast<unsigned>(window_bytes - 1);
            reach = c.carry;
            carry = 0;
            for (std::uint64_t leads = raw.leads; leads != 0; leads &= leads - 1) {
                const unsigned at = bits::lowest(leads);
                if ((reach >> at & 1) != 0)
                    continue;
                const unsigned taken =
                    1 + unsigned(raw.long_leads >> at & 1) + unsigned(raw.four_leads >> at & 1);
                const std::uint64_t span = (std::uint64_t{1} << taken) - 1;
                if (at < last)
                    reach |= span << (at + 1);
                carry |= span >> (last - at);
            }
        }
        w.separators &= ~reach;
        w.semicolons &= ~reach;
        w.inside = raw.separators & reach;
        w.continuing = reach;
        c.carry = carry;
    }
    const std::uint64_t stops = w.separators | w.semicolons;
    w.word_ends = w.separators & ~(stops << 1 | std::uint64_t{c.after_stop});
    w.real = w.unread = ~std::uint64_t{0};
    c.after_stop = (stops >> (window_bytes - 1)) != 0;
}

// Keeps only the first `length` bytes of a window.
inline void shorten(input_window& w, unsigned length)
{
    const std::uint64_t real = bits::below(length);
    w.separators &= real;
    w.semicolons &= real;
    w.word_ends &= real;
    w.inside &= real;
    w.continuing &= real;
    w.real = w.unread = real;
}

// The window after a read, or one of the input's last: the same path as any
// other, over a padded copy for a short one, and a character cut short by the
// end of input is dropped.
template <class K> bool take_window_after_refill(text_input& in, input_cursor& c)
{
    const std::size_t left = refill(in);
    if (left == 0)
        return false;
    input_window& w = c.window;
    const unsigned char* const bytes = in.data + in.next;
    const auto length = static_cast<unsigned>(left < window_bytes ? left : window_bytes);
    in.next += length;
    if (length == window_bytes) {
        settle(K::classify(bytes), c);
    } else {
        unsigned char padded[window_bytes] = {};
        std::memcpy(padded, bytes, length);
        settle(K::classify(padded), c);
    }
    w.bytes = bytes;
    if (left >= window_reach)
        return true;
    // The input has ended within the reach of this window's characters.
    const std::size_t after = left - length;
    if ((w.continuing & ~bits::below(length)) != 0 || (c.carry >> after) != 0) {
        // The last character is cut short: it goes, and the input ends
        // where it began.
        const std::uint64_t starts = ~w.continuing & bits::below(length);
        shorten(w, starts != 0 ? bits::highest(starts) : 0);
        in.next = in.end;
        c.carry = 0;
    } else if (length < window_bytes) {
        shorten(w, length);
    }
    return true;
}

// Takes and classifies the next window into c.window, from `v`, which stands
// for `in`; false at the end of input.
template <class K> inline bool take_window(text_input& in, input_view& v, input_cursor& c)
{
    if (v.end - v.next >= static_cast<std::ptrdiff_t>(window_reach)) [[likely]] {
        c.window.bytes = v.next;
        v.next += window_bytes;
        settle(K::classify(c.window.bytes), c);
        return true;
    }
    catch_up(in, v);
    const bool taken = take_window_after_refill<K>(in, c);
    v = view_of(in);
    return taken;
}
