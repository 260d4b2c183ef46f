// The predecessor table read once: every entry checked, the subset layout
// recognised, and any other table turned into the compact list of terms.
#ifndef FORWARD_PREDECESSOR_TABLE_HPP
#define FORWARD_PREDECESSOR_TABLE_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"

// What one read of the whole table finds.
struct PredecessorScan {
    std::int64_t predecessors;  // entries other than -1
    // The subset layout's offset of each column (host scratch, K entries),
    // or null when the table does not have that layout.
    std::int32_t* subsetOffsets;
};

// Reads the n x K entries of P (it holds at least that many) on `threads`
// threads into scan; false, with the fault naming the first entry in column
// order that is neither -1 nor a row number, when there is one.
bool scanPredecessors(const ForwardInputs& in, std::int32_t K, std::int32_t threads, PredecessorScan* scan,
                      Fault* fault);

// The terms of a table scanPredecessors accepted, with symbol Q[k] for
// column k; its arrays are new host scratch, one slot longer than the terms.
PredecessorTerms listTerms(const ForwardInputs& in, const std::int32_t* Q, std::int32_t K,
                           std::int64_t predecessors);

#endif
