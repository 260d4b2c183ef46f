// The kernels of the most likely path compiled once per instruction set, as
// the forward kernels are (forward/kernel_copies.hpp), and the copy a call
// takes.
#ifndef DECODE_PATH_COPIES_HPP
#define DECODE_PATH_COPIES_HPP

#include <cstdint>

#include "decode/path.hpp"
#include "forward/forward_recursion.hpp"
#include "forward/instruction_sets.hpp"
#include "forward/lanes.hpp"

// The largest weight of a range of a column and its smallest positive one
// (Inf where none is positive).
struct ColumnStats {
    double largest;
    double smallestPositive;
};

// What one step reads besides the columns, and where its codes go.
struct PathStepWeights {
    const double* observations;  // O(:, t)
    // The subset layout's: O(Q[k], t) for each column k, and the column's
    // rank when the columns are ordered by that weight, descending, then by
    // k: the best stay among some columns is the one of the least rank, K
    // standing for none.
    const double* columnWeight;
    const std::int32_t* columnRank;
    // For each unit of a block of the subset kernel (kPathBlockStates /
    // PathCopy::unitStates of them), the least rank among the columns whose
    // offset is a unit or more and below a block, and whose bit the unit has.
    const std::int32_t* unitRank;
    // For each rank r (0 .. K) and each place u of a unit, the best stay
    // among the column of rank r and the columns whose offset is below a
    // unit and whose bit u has: its weight and code at r x unitStates + u;
    // -1 and noCode where there is none.
    const double* stayWeight;
    const double* stayCode;
    void* codes;    // the step's trace row, by place
    double noCode;  // the code of none, the largest of the width
};

// One copy's kernels (decode/path_kernels.hpp), the steps once per width
// of the codes (by widthIndex).
struct PathCopy {
    std::int32_t unitStates;
    void (*subsetPath[3])(const SubsetOffsets& offsets, const PathStepWeights& s, const double* previous, double* next,
                          std::int32_t first, std::int32_t last, std::int32_t states, ColumnStats* stats);
    void (*lanePath[3])(const LaneTerms& terms, const PathStepWeights& s, const double* previous, double* next,
                        std::int32_t first, std::int32_t last, ColumnStats* stats);
    void (*scaleColumn)(double* column, std::int32_t first, std::int32_t last, std::int32_t states, double up,
                        double down, ColumnStats* stats);
};

// 0, 1 and 2 for the byte, half and word widths.
inline std::int32_t widthIndex(CodeWidth width) {
    return width == CodeWidth::byte ? 0 : width == CodeWidth::half ? 1 : 2;
}

// The states of a block of the subset kernel: 512 and 1024 ran the
// fastest of the powers of two from 128 to 2048 (L = 14, all subsets).
constexpr std::int32_t kPathBlockStates = 512;

extern const PathCopy* const kBaselinePath;
extern const PathCopy* const kAvx2Path;
extern const PathCopy* const kAvx512Path;

// The copy for a set the processor runs, as kernelCopy picks the forward's.
const PathCopy& pathCopy(InstructionSet set);

#endif
