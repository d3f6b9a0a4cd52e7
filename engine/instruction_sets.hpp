#pragma once

#include <cstddef>

#include "engine/window_masks.hpp"

// The builds of the engine's inner loop: one byte at a time on any processor,
// SSE2 (every x86-64 has it), AVX2 with the bit instructions that come with it
// (BMI1, BMI2, POPCNT), NEON (every arm64 has it).
enum class instruction_set { portable, sse2, avx2, neon };

// The builds this processor can run, the best last: a value to iterate,
// so that asking needs neither memory nor a guarded static.
struct instruction_sets {
    instruction_set sets[4] = {}; // room for every one there is
    std::size_t count = 0;

    const instruction_set* begin() const
    {
        return sets;
    }
    const instruction_set* end() const
    {
        return sets + count;
    }
    instruction_set back() const
    {
        return sets[count - 1];
    }
};

instruction_sets runnable_instruction_sets();
instruction_set best_instruction_set();
const char* name_of(instruction_set set);

// The build the engine runs with: the best one, chosen before main; tests
// switch it to hold every build to the same output.
extern instruction_set engine_instructions;

// The classifier of a build, for tests that compare them.
window_classifier classifier_for(instruction_set set);
