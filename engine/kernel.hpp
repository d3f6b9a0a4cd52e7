#pragma once

// Internal to the engine: what each build of it (one per instruction set)
// provides, for the dispatch table to pick from.

#include <cstddef>

#include "engine/instruction_sets.hpp"
#include "engine/text_mode.hpp"

struct text_input;
struct text_output;

struct engine_kernel {
    const char* name;                                    // as name_of calls its instruction set
    int (*transcribe)(text_input& in, text_output& out); // transcribe_periods, limits of 1 or more
    int (*skip)(text_input& in);                         // skip_rest_of_period
    int (*run)(text_input& in, text_output& out);        // transcribe_text, limits of 1 or more
    window_classifier classify;
    // What Windows text mode does to a file's bytes (text_mode.hpp).
    text_mode_read (*read_pass)(unsigned char* bytes, std::size_t size);
    std::size_t (*write_pass)(const unsigned char* from, std::size_t size, unsigned char* to);
};

extern const engine_kernel portable_kernel;
#if defined(__x86_64__)
extern const engine_kernel sse2_kernel;
extern const engine_kernel avx2_kernel;
#endif
#if defined(__aarch64__)
extern const engine_kernel neon_kernel;
#endif

// The kernel for `set`; a set of another kind of processor has only the
// portable one.
const engine_kernel& kernel_for(instruction_set set);
