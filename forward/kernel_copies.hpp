// The forward kernels compiled once per instruction set, each copy in a file
// of its own that modules/SOURCES compiles with that set's flags, and the
// copy the plan picks for a call.
#ifndef FORWARD_KERNEL_COPIES_HPP
#define FORWARD_KERNEL_COPIES_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"
#include "forward/instruction_sets.hpp"

// What one pass over a column of P finds.
struct ColumnScan {
    bool wellFormed;    // every entry is -1 or a whole number 1..n
    bool subsetLayout;  // entry j is j - offset + 1 where j has the bit offset, -1 elsewhere
};

// A rescaled step of one sequence in the subset layout, as the kernels take
// it: step t+1 from step t in previous into next (padded columns), previous
// first divided by divisor where divide is set; sum is written.
struct RescaledStep {
    const double* weights;  // O(:, t+1)
    double* previous;
    bool divide;
    double divisor;
    double* next;
    double sum;  // of next over the places [0, summed), ascending from 0.0
};

// One copy's kernels, whose contracts are those of forward/subset_step.hpp,
// forward/rescaled_step.hpp (for one or two steps at once) and
// forward/table_kernels.hpp.
struct KernelCopy {
    void (*subsetStep)(const SubsetOffsets& offsets, const double* weights, const double* previous, double* next,
                       std::int32_t first, std::int32_t last);
    void (*laneStep)(const LaneTerms& terms, const double* weights, const double* previous, double* next,
                     std::int32_t first, std::int32_t last);
    void (*divideRange)(double* column, std::int32_t first, std::int32_t last, double divisor);
    ColumnScan (*scanColumn)(const double* column, std::int32_t n, std::int32_t offset);
    // Null in a family of kernels without it: then the driver divides and
    // sums after each step.
    void (*rescaledSubsetSteps)(const SubsetOffsets& offsets, RescaledStep* steps, std::int32_t count, std::int32_t n,
                                std::int32_t summed);
};

// Each copy's kernels, null where the build has no copy for the set (a
// compiler for another processor, or one not given the set's flags).
extern const KernelCopy* const kBaselineKernels;
extern const KernelCopy* const kAvx2Kernels;
extern const KernelCopy* const kAvx512Kernels;

// The copy for a set the processor runs (automatic: see resolved).
const KernelCopy& kernelCopy(InstructionSet set);

#endif
