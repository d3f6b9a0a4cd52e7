#pragma once

#include <cstdint>
#include <vector>

// What the 64 bytes of a window are, one bit per byte (bit i for byte i).
// Every classifier gives exactly these, whatever instructions it uses.
struct window_masks {
    std::uint64_t separators = 0; // LF, FF, CR and space
    std::uint64_t semicolons = 0;
    std::uint64_t leads = 0;      // C0-F7: begin a character of 2 to 4 bytes
    std::uint64_t long_leads = 0; // E0-F7: of 3 or 4
    std::uint64_t four_leads = 0; // F0-F7: of 4
};

// Classifies the 64 bytes at `p`.
using window_classifier = window_masks (*)(const unsigned char* p);

// The builds of the engine's inner loop: one byte at a time on any processor,
// SSE2 (every x86-64 has it), AVX2 with the bit instructions that come with it
// (BMI1, BMI2, POPCNT), NEON (every arm64 has it).
enum class instruction_set { portable, sse2, avx2, neon };

// The builds this processor can run, the best last.
std::vector<instruction_set> runnable_instruction_sets();
instruction_set best_instruction_set();
const char* name_of(instruction_set set);

// The build the engine runs with: the best one, chosen before main; tests
// switch it to hold every build to the same output.
extern instruction_set engine_instructions;

// The classifier of a build, for tests that compare them.
window_classifier classifier_for(instruction_set set);
