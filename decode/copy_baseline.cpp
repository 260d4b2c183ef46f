// The path kernels for any processor the build targets, on the vectors of
// its baseline (two doubles on x86-64): wider ones, split by the compiler,
// spilled the weights and codes a unit keeps in registers.
#include "decode/path_kernels.hpp"

const PathCopy* const kBaselinePath = &PathCopyOf<2>::kernels;
