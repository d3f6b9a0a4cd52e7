#include "engine/instruction_sets.hpp"

#include "engine/kernel.hpp"

namespace {

// Asked once, before main: the processor does not change under us. The bit
// instructions come with AVX2 on every processor made, but a virtual machine
// may hide one of them, so each is asked for.
std::vector<instruction_set> detect()
{
    std::vector<instruction_set> sets = {instruction_set::portable};
#if defined(__x86_64__)
    sets.push_back(instruction_set::sse2);
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
        __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt"))
        sets.push_back(instruction_set::avx2);
#elif defined(__aarch64__)
    sets.push_back(instruction_set::neon);
#endif
    return sets;
}

const std::vector<instruction_set>& runnable()
{
    static const std::vector<instruction_set> sets = detect();
    return sets;
}

} // namespace

std::vector<instruction_set> runnable_instruction_sets()
{
    return runnable();
}

instruction_set best_instruction_set()
{
    return runnable().back();
}

instruction_set engine_instructions = best_instruction_set();

const char* name_of(instruction_set set)
{
    switch (set) {
    case instruction_set::sse2:
        return "sse2";
    case instruction_set::avx2:
        return "avx2";
    case instruction_set::neon:
        return "neon";
    case instruction_set::portable:
        break;
    }
    return "portable";
}

const engine_kernel& kernel_for(instruction_set set)
{
    switch (set) {
#if defined(__x86_64__)
    case instruction_set::sse2:
        return sse2_kernel;
    case instruction_set::avx2:
        return avx2_kernel;
#endif
#if defined(__aarch64__)
    case instruction_set::neon:
        return neon_kernel;
#endif
    default:
        return portable_kernel;
    }
}

window_classifier classifier_for(instruction_set set)
{
    return kernel_for(set).classify;
}
