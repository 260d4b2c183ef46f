// The kernels for processors with AVX2: modules/SOURCES compiles this file
// with -mavx2, and nothing here runs unless the processor has it.
#include "forward/table_kernels.hpp"

#if defined(__AVX2__)
const KernelCopy* const kAvx2Kernels = &CopyOf<4>::kernels;
#else
const KernelCopy* const kAvx2Kernels = nullptr;
#endif
