// The path kernels for processors with AVX2: modules/SOURCES compiles this
// file with -mavx2, and nothing here runs unless the processor has it.
#include "decode/path_kernels.hpp"

#if defined(__AVX2__)
const PathCopy* const kAvx2Path = &PathCopyOf<4>::kernels;
#else
const PathCopy* const kAvx2Path = nullptr;
#endif
