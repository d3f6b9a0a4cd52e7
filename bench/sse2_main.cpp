// The program with the engine built for SSE2 alone, as on an x86-64 without
// AVX2: only for timing builds side by side.
#include "app/command_line.hpp"
#include "engine/instruction_sets.hpp"

int main(int argc, char** argv)
{
    engine_instructions = instruction_set::sse2;
    return sfoltitesto_main(argc, argv);
}
