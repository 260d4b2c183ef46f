// The backward kernels for processors with AVX-512 (its foundation, F):
// modules/SOURCES compiles this file with -mavx512f, and nothing here runs
// unless the processor has it.
#include "backward/subset_backward.hpp"

#if defined(__AVX512F__)
const BackwardCopy* const kAvx512Backward = &BackwardCopyOf<8>::kernels;
#else
const BackwardCopy* const kAvx512Backward = nullptr;
#endif
