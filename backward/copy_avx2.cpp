// The backward kernels for processors with AVX2: modules/SOURCES compiles
// this file with -mavx2, and nothing here runs unless the processor has it.
#include "backward/subset_backward.hpp"

#if defined(__AVX2__)
const BackwardCopy* const kAvx2Backward = &BackwardCopyOf<4>::kernels;
#else
const BackwardCopy* const kAvx2Backward = nullptr;
#endif
