#include "engine/instruction_sets.hpp"

#include <cassert>
#include <cstddef>
#include <iterator>

#include "engine/kernel.hpp"

// glibc asks the processor what it has as the program starts and keeps the
// answers; GCC's own asking (__builtin_cpu_init) would ask again, and in a
// virtual machine each question costs microseconds, a tenth of a small
// text's run all told.
#if defined(__x86_64__) && defined(__GLIBC__) && __has_include(<sys/platform/x86.h>)
// The header is C's, and C++ has no _Bool (GCC takes it as an extension,
// clang does not).
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
#define SFOLTITESTO_CPU_HAS(feature, name) CPU_FEATURE_ACTIVE(feature)
#elif defined(__x86_64__)
#define SFOLTITESTO_CPU_HAS(feature, name) (__builtin_cpu_init(), __builtin_cpu_supports(name))
#endif

// The bit instructions come with AVX2 on every processor made, but a virtual
// machine may hide one of them, so each is asked for. Asking is reading what
// the C runtime found at start, so nothing is kept here.
instruction_sets runnable_instruction_sets()
{
    instruction_sets runnable;
    const auto add = [&runnable](instruction_set set) {
        assert(runnable.count < std::size(runnable.sets));
        runnable.sets[runnable.count++] = set;
    };
    add(instruction_set::portable);
#if defined(__x86_64__)
    add(instruction_set::sse2);
    if (SFOLTITESTO_CPU_HAS(AVX2, "avx2") && SFOLTITESTO_CPU_HAS(BMI1, "bmi") &&
        SFOLTITESTO_CPU_HAS(BMI2, "bmi2") && SFOLTITESTO_CPU_HAS(POPCNT, "popcnt"))
        add(instruction_set::avx2);
#elif defined(__aarch64__)
    add(instruction_set::neon);
#endif
    return runnable;
}

instruction_set best_instruction_set()
{
    return runnable_instruction_sets().back();
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

// Every instruction set is named here, so that a new one without its row
// does not compile (-Wswitch); a set of another kind of processor has only
// the portable kernel.
const engine_kernel& kernel_for(instruction_set set)
{
    switch (set) {
    case instruction_set::portable:
        break;
    case instruction_set::sse2:
#if defined(__x86_64__)
        return sse2_kernel;
#endif
        break;
    case instruction_set::avx2:
#if defined(__x86_64__)
        return avx2_kernel;
#endif
        break;
    case instruction_set::neon:
#if defined(__aarch64__)
        return neon_kernel;
#endif
        break;
    }
    return portable_kernel;
}

window_classifier classifier_for(instruction_set set)
{
    return kernel_for(set).classify;
}
