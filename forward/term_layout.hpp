// How the steps read a predecessor table that is not in the subset layout:
// as the subset table of its rows in another order, when it is one, or else
// as lane terms.
#ifndef FORWARD_TERM_LAYOUT_HPP
#define FORWARD_TERM_LAYOUT_HPP

#include <cstdint>

#include "forward/forward_recursion.hpp"

// For a well-formed n x K table: when placing each row j at the number
// whose bit k is set exactly where P(j, k) is not -1 makes it the subset
// layout with offset 2^k in column k (all subsets, or a prefix of them, in
// any row order), those places (host scratch, n entries); else null. Reads
// the table on `threads` threads.
std::int32_t* subsetPlaces(const ForwardInputs& in, std::int32_t K, std::int32_t threads);

// The lane terms of a well-formed table, with symbol Q[k] for column k (host
// scratch). The states are placed by
// descending term count, rows of one count in row order, so that nearly
// every group has one count in all its lanes; *places holds where (n
// entries), or is null when that is the row order.
LaneTerms layLaneTerms(const ForwardInputs& in, const std::int32_t* Q, std::int32_t K, std::int32_t** places);

#endif
