// The path kernels for processors with AVX-512 (its foundation, F):
// modules/SOURCES compiles this file with -mavx512f, and nothing here runs
// unless the processor has it.
#include "decode/path_kernels.hpp"

#if defined(__AVX512F__)
const PathCopy* const kAvx512Path = &PathCopyOf<8>::kernels;
#else
const PathCopy* const kAvx512Path = nullptr;
#endif
