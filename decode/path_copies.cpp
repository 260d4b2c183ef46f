#include "decode/path_copies.hpp"

namespace {

// The AVX-512 copy also takes the half-width forms of its instructions
// (VL), which every processor with AVX-512 has but the first Xeon Phi: there
// AVX2's copy stands in, with the same bits.
bool runsAvx512Copy() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool runs = processorRuns(InstructionSet::avx512) && __builtin_cpu_supports("avx512vl");
    return runs && kAvx512Path;
#else
    return false;
#endif
}

}  // namespace

// Unlike the forward kernels, the path's take AVX-512 where the processor
// runs it: its selects, a third of the step's work, become masked moves, and
// its copy ran 10 to 15% faster than AVX2's (bench/bench_path.m). Every copy
// gives the same bits.
const PathCopy& pathCopy(InstructionSet set) {
    if ((set == InstructionSet::automatic || set == InstructionSet::avx512) && runsAvx512Copy()) return *kAvx512Path;
    return copyFor(set == InstructionSet::avx512 ? InstructionSet::avx2 : set, kBaselinePath, kAvx2Path, kAvx512Path);
}
