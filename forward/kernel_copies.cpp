#include "forward/kernel_copies.hpp"

const KernelCopy& kernelCopy(InstructionSet set) {
    switch (resolved(set)) {
        case InstructionSet::avx512:
            if (kAvx512Kernels) return *kAvx512Kernels;
            break;
        case InstructionSet::avx2:
            if (kAvx2Kernels) return *kAvx2Kernels;
            break;
        default: break;
    }
    return *kBaselineKernels;
}
