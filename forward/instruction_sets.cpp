#include "forward/instruction_sets.hpp"

namespace {

struct ProcessorFeatures {
    bool avx2 = false;
    bool avx512 = false;
};

// GCC and Clang's reading of CPUID, which also checks that the operating
// system saves the registers of each set (XGETBV).
ProcessorFeatures readFeatures() {
    ProcessorFeatures features;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    features.avx2 = __builtin_cpu_supports("avx2");
    features.avx512 = features.avx2 && __builtin_cpu_supports("avx512f");
#endif
    return features;
}

const ProcessorFeatures& features() {
    static const ProcessorFeatures read = readFeatures();
    return read;
}

}  // namespace

bool processorRuns(InstructionSet set) {
    switch (set) {
        case InstructionSet::automatic:
        case InstructionSet::baseline: return true;
        case InstructionSet::avx2: return features().avx2;
        case InstructionSet::avx512: return features().avx512;
    }
    return false;
}

// AVX-512 is left to be asked for: on the processors measured its copy ran
// no faster than AVX2's, whose adds and multiplies reached nearly the same
// peak (docs/performance.md), and wider vectors may lower the clock.
InstructionSet resolved(InstructionSet set) {
    if (set != InstructionSet::automatic) return set;
    if (processorRuns(InstructionSet::avx2)) return InstructionSet::avx2;
    return InstructionSet::baseline;
}

const char* nameOf(InstructionSet set) {
    switch (set) {
        case InstructionSet::automatic: return "automatic";
        case InstructionSet::baseline: return "baseline";
        case InstructionSet::avx2: return "avx2";
        case InstructionSet::avx512: return "avx512";
    }
    return "unknown";
}
