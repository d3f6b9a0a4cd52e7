#pragma once

// The sizes that keep the engine's whole-window loads and stores inside its
// buffers, each derived from the few facts it rests on.

#include <algorithm>
#include <cstddef>
#include <cstdint>

// The engine looks at its input a window at a time, a bit per byte in a
// mask of 64 bits: a window is as wide as the masks, and cannot change
// without them.
inline constexpr std::size_t window_bytes = 8 * sizeof(std::uint64_t);

// A lead byte takes up to 3 bytes after it into its character (F0-F7 begin
// characters of 4 bytes).
inline constexpr std::size_t lead_reach = 3;

// A window and the bytes its characters may take beyond it: a window is
// taken only once they are all read, or the input has ended.
inline constexpr std::size_t window_reach = window_bytes + lead_reach;

// So at most this many bytes wait for the next read.
inline constexpr std::size_t most_unread = window_reach - 1;

// A file read as text may have a CR held back from the end of one read
// until the next tells whether a LF follows it; it waits with them.
inline constexpr std::size_t held_back = 1;

// Room for what waits just before each read.
inline constexpr std::size_t before_read = most_unread + held_back;

// Where blocks are read to: the kernel copies a block three to four times
// slower to memory that is not aligned to 64 bytes.
inline constexpr std::size_t read_alignment = 64;

// The widest single move a build's copy of kept bytes makes; each build
// checks its own against it.
inline constexpr std::size_t widest_move = window_bytes;

// So a copy that starts at a window's last byte reads this many bytes past
// it.
inline constexpr std::size_t copy_overrun = widest_move - 1;

// Room an input buffer needs beyond its block: what waits for the next read
// just before it, the padding that aligns that read, and what a copy reads
// past the last byte.
inline constexpr std::size_t input_slack = before_read + (read_alignment - 1) + copy_overrun;

// The most one window writes to the output: each of its bytes with a line
// feed after it (a ';' with no separator after it to stand for the line
// feed), or a copy that starts at the window's last byte, which lands there
// at the latest, before any line feed is added.
inline constexpr std::size_t window_output_room =
    std::max(2 * window_bytes, window_bytes - 1 + widest_move);
