#pragma once

// The engine's output: a buffer it fills a window or a line at a time and
// hands to the sink in large pieces.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/geometry.hpp"
#include "engine/output_sink.hpp"

class copy_worker;

struct text_output {
    output_sink* sink = nullptr;
    unsigned char* data = nullptr; // the buffer being filled
    std::size_t used = 0;
    std::size_t flush_at = 0; // see must_hand_over
    // Writing behind (see write_behind): the worker writes the buffer last
    // handed over, and the spare one is filled meanwhile.
    copy_worker* worker = nullptr;
    unsigned char* spare = nullptr;
};

// Sets up output through `buffer` of `capacity` bytes, handed to `sink`
// once it holds more than `flush_at` bytes (by default as many as leave
// room for a window's output). The capacity must be at least flush_at +
// window_output_room; a small flush_at makes the engine hand over often.
text_output make_text_output(output_sink& sink, unsigned char* buffer, std::size_t capacity,
                             std::size_t flush_at = SIZE_MAX);

// Has `worker` write each piece handed over from then on, while the engine
// fills `spare` (as large as the buffer), and the two buffers in turn.
void write_behind(text_output& out, copy_worker& worker, unsigned char* spare);

// Hands what the buffer holds to the sink; false if this or an earlier
// write failed. Written behind, the piece is given to the worker once the
// one before is out, and a failure is told at the next hand-over.
bool flush_output(text_output& out);

// Hands over what the buffer holds and waits until all is written; false
// if a write failed.
bool finish_output(text_output& out);

// Whether the buffer, filled up to `end`, must be handed over before a
// window or a line is written: up to flush_at there is room for the most
// either writes.
inline bool must_hand_over(const text_output& out, const unsigned char* end)
{
    return end > out.data + out.flush_at;
}

// The end of every line of the output, written at `at`.
inline void put_line_end(unsigned char* at)
{
    std::memcpy(at, ";\n", 2);
}

// Writes the line that closes a call of the transcriber; false once a write
// has failed.
bool end_line(text_output& out);
