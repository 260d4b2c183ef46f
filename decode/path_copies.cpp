#include "decode/path_copies.hpp"

// Unlike the forward kernels, the path's take AVX-512 where the processor
// runs it: its selects, a third of the step's work, become masked moves, and
// its copy ran 10 to 15% faster than AVX2's (bench/bench_path.m). Every copy
// gives the same bits.
const PathCopy& pathCopy(InstructionSet set) {
    if (set == InstructionSet::automatic && processorRuns(InstructionSet::avx512) && kAvx512Path) return *kAvx512Path;
    return copyFor(set, kBaselinePath, kAvx2Path, kAvx512Path);
}
