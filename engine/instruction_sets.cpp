#include "engine/instruction_sets.hpp"

#include <cstddef>

#include "engine/kernel.hpp"

namespace {

// The builds this processor runs, the best last. Kept without allocating:
// the engine's build is chosen before main, where a failure to allocate
// could only abort.
struct runnable_sets {
    instruction_set sets[3] = {};
    std::size_t count = 0;

    void add(instruction_set set)
    {
        sets[count++] = set;
    }
};

// Asked once, before main: the processor does not change under us. The bit
// instructions come with AVX2 on every processor made, but a virtual machine
// may hide one of them, so each is asked for.
runnable_sets detect()
{
    runnable_sets runnable;
    runnable.add(instruction_set::portable);
#if defined(__x86_64__)
    runnable.add(instruction_set::sse2);
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
        __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt"))
        runnable.add(instruction_set::avx2);
#elif defined(__aarch64__)
    runnable.add(instruction_set::neon);
#endif
    return runnable;
}

const runnable_sets& runnable()
{
    static const runnable_sets sets = detect();
    return sets;
}

} // namespace

std::vector<instruction_set> runnable_instruction_sets()
{
    const runnable_sets& r = runnable();
    return {r.sets, r.sets + r.count};
}

instruction_set best_instruction_set()
{
    const runnable_sets& r = runnable();
    return r.sets[r.count - 1];
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
