#include "forward/kernel_copies.hpp"

const KernelCopy& kernelCopy(InstructionSet set) {
    return copyFor(set, kBaselineKernels, kAvx2Kernels, kAvx512Kernels);
}
