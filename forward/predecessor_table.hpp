// The predecessor table read once: every entry checked, the subset layout
// recognised.
#ifndef FORWARD_PREDECESSOR_TABLE_HPP
#define FORWARD_PREDECESSOR_TABLE_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"
#include "forward/kernel_copies.hpp"

// What one read of the whole table finds.
struct PredecessorScan {
    // The subset layout's offset of each column (host scratch, K entries),
    // or null when the table does not have that layout.
    std::int32_t* subsetOffsets;
};

// Reads the n x K entries of P (it holds at least that many) on `threads`
// threads with the copy's scan into scan; false, with the fault naming the first entry in column
// order that is neither -1 nor a row number, when there is one.
bool scanPredecessors(const ForwardInputs& in, std::int32_t K, std::int32_t threads, const KernelCopy& copy,
                      PredecessorScan* scan, Fault* fault);

#endif
