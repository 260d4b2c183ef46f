// The kernels for any processor the build targets.
#include "forward/table_kernels.hpp"

const KernelCopy* const kBaselineKernels = &CopyOf<4>::kernels;
