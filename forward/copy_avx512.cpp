// The kernels for processors with AVX-512 (its foundation, F): modules/SOURCES
// compiles this file with -mavx512f, and nothing here runs unless the
// processor has it.
#include "forward/table_kernels.hpp"

#if defined(__AVX512F__)
const KernelCopy* const kAvx512Kernels = &CopyOf<8>::kernels;
#else
const KernelCopy* const kAvx512Kernels = nullptr;
#endif
