// The instruction sets the forward kernels have a copy for, and which of
// them this processor runs. The copies are picked here rather than by the
// loader, so that a test can run every copy the machine has and compare
// their bits, and so that the Windows build picks the same way.
#ifndef FORWARD_INSTRUCTION_SETS_HPP
#define FORWARD_INSTRUCTION_SETS_HPP

#include <cstdint>

// automatic: the copy measured fastest among those the processor runs.
// Forced, any set the processor runs.
enum class InstructionSet : std::int32_t { automatic, baseline, avx2, avx512 };

constexpr InstructionSet kInstructionSets[] = {InstructionSet::baseline, InstructionSet::avx2, InstructionSet::avx512};

// Whether this processor (and its operating system, which must save the
// wider registers) runs the set; the features are read once per process.
bool processorRuns(InstructionSet set);

// The set itself, or for automatic the one a call takes: AVX2 where the
// processor runs it, else the baseline.
InstructionSet resolved(InstructionSet set);

// Of a family of kernel copies, the one for a set the processor runs (see
// resolved): that set's, where the build has it, else the baseline's.
template <class Copy>
const Copy& copyFor(InstructionSet set, const Copy* baseline, const Copy* avx2, const Copy* avx512) {
    switch (resolved(set)) {
        case InstructionSet::avx512:
            if (avx512) return *avx512;
            break;
        case InstructionSet::avx2:
            if (avx2) return *avx2;
            break;
        default: break;
    }
    return *baseline;
}

// "baseline", "avx2", "avx512" (and "automatic").
const char* nameOf(InstructionSet set);

#endif
