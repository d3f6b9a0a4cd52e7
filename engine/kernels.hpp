#pragma once

// Internal to the engine: what each build of the inner loop provides, and
// the plain functions they share.

#include <cstddef>

#include "engine/char_reader.hpp"
#include "engine/instruction_sets.hpp"
#include "engine/period_transcription.hpp"

struct engine_kernel {
    int (*transcribe)(text_input& in, text_output& out); // for limits of 1 or more
    int (*skip)(text_input& in);
    int (*run)(text_input& in, text_output& out); // the whole text, for limits of 1 or more
    bool (*next_window)(text_input& in);
    window_classifier classify;
};

extern const engine_kernel portable_kernel;
#if defined(__x86_64__)
extern const engine_kernel sse2_kernel;
extern const engine_kernel avx2_kernel;
#endif
#if defined(__aarch64__)
extern const engine_kernel neon_kernel;
#endif

// Indexed by instruction_set; a build this processor lacks has the portable one.
extern const engine_kernel* const kernels[4];

inline const engine_kernel& kernel_for(instruction_set set)
{
    return *kernels[static_cast<int>(set)];
}

// The most a window writes, with room for the whole 64-byte moves past its end.
inline constexpr std::size_t window_output_room = 3 * window_bytes;

// Keeps the bytes not yet in a window and reads blocks after them until a
// whole window and the 3 bytes after it (all that a character begun in it
// may take) are there, or the input ends. Returns the bytes not yet in a
// window.
std::size_t refill(text_input& in);

// Empties the output buffer: hands it to the background writer when there
// is one, else writes it out. False once a write is known to have failed.
bool hand_over(text_output& out);

// Waits for the background writer's buffer to be written, if there is a
// writer; false once a write is known to have failed.
bool wait_for_writes(text_output& out);

// Appends to the output buffer, writing it out when full; false once a
// write has failed.
bool write_bytes(text_output& out, const unsigned char* bytes, std::size_t count);
bool end_line(text_output& out);
