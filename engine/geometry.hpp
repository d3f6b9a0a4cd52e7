#pragma once

// The sizes that keep the engine's whole-window loads and stores inside its
// buffers, each derived from the few facts it rests on.

#include <cstddef>
#include <cstdint>

// The engine looks at its input 64 bytes at a time, a bit per byte in a mask.
inline constexpr std::size_t window_bytes = 64;
static_assert(window_bytes == 8 * sizeof(std::uint64_t), "one mask bit for each byte of a window");

// A lead byte takes up to 3 bytes after it into its character (F0-F7 begin
// characters of 4 bytes).
inline constexpr std::size_t lead_reach = 3;

// Where blocks are read to: the kernel copies a block three to four times
// slower to memory that is not aligned to 64 bytes.
inline constexpr std::size_t read_alignment = 64;

// The whole-window moves that copy kept bytes read and write up to this many
// bytes past the last one they mean to.
inline constexpr std::size_t copy_overrun = window_bytes - 1;

// A window is taken only once the bytes its characters may take are read
// too, so fewer than this many bytes wait for the next read.
inline constexpr std::size_t most_unread = window_bytes + lead_reach - 1;

// Room an input buffer needs beyond its block: the bytes that wait for the
// next read just before it, the padding that aligns that read, and what a
// whole-window move reads past the last byte.
inline constexpr std::size_t input_slack = most_unread + (read_alignment - 1) + copy_overrun;
static_assert(input_slack == 66 + 63 + 63);

// The most one window adds to the output buffer: each of its bytes, a line
// feed after each (a ';' with no separator after it to stand for it), and
// the overrun of the last move.
inline constexpr std::size_t window_output_room = 2 * window_bytes + copy_overrun;
static_assert(window_output_room == 191);
