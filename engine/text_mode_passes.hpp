#pragma once

// Internal to the engine: what Windows text mode does to a file's bytes
// (text_mode.hpp), written once over the kernel K of each build, whose row
// of the dispatch table carries the passes. Both look at a window at a time
// for the few bytes that matter: most windows of a text hold none, one or
// two. K supplies, besides its count of the bits set in a mask:
//
//   // The CRs of the window at `in` that a LF follows (the byte after the
//   // window is read too: 65 bytes), and its 1As; both 0 in most windows.
//   static stream_marks stream_marks_of(const unsigned char* in);
//   // The LFs of the window at `in`.
//   static std::uint64_t line_feeds_of(const unsigned char* in);
//   // Writes the window at `in` less the bytes in `drop` to `out`, at or
//   // before `in`, as 64 bytes: all are read before any is written, and up
//   // to 64 bytes after the window are read.
//   static void drop(const unsigned char* in, std::uint64_t drop, unsigned char* out);
//   // The same, dropping nothing.
//   static void move_window(unsigned char* to, const unsigned char* from);
//   // Copies `n` bytes from `from` to `to`, which they do not overlap;
//   // nothing past them is read or written.
//   static void move_down(unsigned char* to, const unsigned char* from, std::size_t n);

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/bits.hpp"
#include "engine/geometry.hpp"
#include "engine/text_mode.hpp"

struct stream_marks {
    std::uint64_t pairs = 0; // CRs that a LF follows
    std::uint64_t eofs = 0;  // 1As
};

// The bytes of a run too short for a build's vectors, in two overlapping
// words where there are eight or more.
inline void move_short(unsigned char* to, const unsigned char* from, std::size_t n)
{
    if (n >= 8) {
        std::uint64_t first;
        std::uint64_t last;
        std::memcpy(&first, from, 8);
        std::memcpy(&last, from + n - 8, 8);
        std::memcpy(to, &first, 8);
        std::memcpy(to + n - 8, &last, 8);
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        to[i] = from[i];
}

template <class K> text_mode_read read_pass(unsigned char* bytes, std::size_t size)
{
    unsigned char* out = bytes; // where the next kept byte goes
    const unsigned char* in = bytes;
    const unsigned char* const end = bytes + size;
    // Whole windows with a window after them, for what their drops shift
    // in. Until a byte is dropped, nothing is written.
    for (; end - in >= static_cast<std::ptrdiff_t>(2 * window_bytes); in += window_bytes) {
        const stream_marks m = K::stream_marks_of(in);
        if (m.eofs != 0)
            break; // the text ends in it: see below
        if (m.pairs != 0) {
            K::drop(in, m.pairs, out);
            out += window_bytes - K::count(m.pairs);
        } else {
            if (out != in)
                K::move_window(out, in);
            out += window_bytes;
        }
    }
    // The rest a byte at a time, moving the runs between the bytes dropped:
    // a CR at its very end has nothing after it, and a 1A ends the text.
    const unsigned char* run = in; // kept bytes from here on are where they were read
    const auto keep = [&](const unsigned char* to) {
        if (to != run)
            std::memmove(out, run, static_cast<std::size_t>(to - run));
        out += to - run;
    };
    for (; in < end; ++in) {
        if (*in == '\x1A') {
            keep(in);
            return {static_cast<std::size_t>(out - bytes), true};
        }
        if (*in == '\r' && in + 1 < end && in[1] == '\n') {
            keep(in);
            run = in + 1;
        }
    }
    keep(end);
    return {static_cast<std::size_t>(out - bytes), false};
}

template <class K>
std::size_t write_pass(const unsigned char* from, std::size_t size, unsigned char* to)
{
    unsigned char* out = to;
    const unsigned char* run = from; // what is not written yet
    const unsigned char* in = from;
    const unsigned char* const end = from + size;
    const auto crlf = [&](const unsigned char* lf) {
        K::move_down(out, run, static_cast<std::size_t>(lf - run));
        out += lf - run;
        *out++ = '\r';
        run = lf; // the LF begins what comes next
    };
    for (; end - in >= static_cast<std::ptrdiff_t>(window_bytes); in += window_bytes)
        for (std::uint64_t lf = K::line_feeds_of(in); lf != 0; lf &= lf - 1)
            crlf(in + bits::lowest(lf));
    for (; in < end; ++in)
        if (*in == '\n')
            crlf(in);
    K::move_down(out, run, static_cast<std::size_t>(end - run));
    return static_cast<std::size_t>(out + (end - run) - to);
}
