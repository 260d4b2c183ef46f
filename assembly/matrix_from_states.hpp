// The weighted transition matrix straight from a 0/1 membership matrix, in
// compressed columns, without transition codes: the rows each state moves to
// are looked up by content, column by column. A pass counts every column's
// entries, so that the host can make the sparse result with room for exactly
// them, and a second pass writes each column's rows and sums straight into
// it.
#ifndef ASSEMBLY_MATRIX_FROM_STATES_HPP
#define ASSEMBLY_MATRIX_FROM_STATES_HPP

#include <cstdint>

#include "arrays/array_view.hpp"
#include "kernel/fault.hpp"
#include "parallel/cores.hpp"
#include "transitions/row_index.hpp"

// The inputs as the gateway read them.
struct StatesAssemblyInputs {
    ArrayView states;      // S, n x L
    ArrayView weights;     // w, read flat: exactly L elements
    ArrayView symbolList;  // 1-based symbols, read flat, every element
    bool listGiven;        // false: every symbol once, in ascending order
    std::int32_t threads;  // 0: as many as gain; else that many (at most kMaxThreads)
};

// Fills fault and returns false when S holds, in rows 2..n, an entry other
// than 0 and 1, when w does not hold exactly L elements, or when a listed
// symbol is not a whole number from 1 to L; or when Ctrl-C stops the check.
bool checkStatesAssemblyInputs(const StatesAssemblyInputs& in, Fault* fault);

// What the counting pass leaves for the fill: the (n-1) x (n-1) matrix's
// column starts and its entries, with the row index and the sums both passes
// read. Everything in host scratch.
struct StatesColumns {
    std::int32_t size;          // n - 1, or 0
    std::int64_t* columnStart;  // size + 1 entries: column j holds entries columnStart[j] .. columnStart[j+1]-1
    std::int64_t entries;
    RowIndex index;  // of rows 1..n-1 (0-based) of S; unset when no column has an entry
    // The sum, from 0.0 in list order, of the weights each cell receives:
    // of a state with itself or an equal state, by content; of a state and
    // the state with symbol c added, by c. Sums that are exactly 0 make no
    // entry.
    double* contentSums;
    double* addedSums;
    std::uint64_t* addable;  // the symbols whose added sum makes entries, packed as a row
    std::int32_t threads;
    Partners partners[kMaxThreads];  // one per thread
};

// Checked inputs -> into *columns, the count of every column's entries and
// their total. False, with fault filled, when Ctrl-C stopped it. Host
// scratch: O(n + list length) words, taken once.
bool countStatesColumns(const StatesAssemblyInputs& in, StatesColumns* columns, Fault* fault);

// Counted columns -> writes every entry's 0-based row and value into
// rowIndex and value (columns.entries each, owned by the caller), column by
// column, rows ascending: for state r (row r+1 of S) as `from`, the cell of
// each row `to` equal to it, or equal to it with one symbol added, holds the
// weights that Quivane_mex's codes would add there, in the same order. False,
// with fault filled, when Ctrl-C stopped it. Index is the host's sparse
// index type: std::int32_t or std::int64_t.
template <class Index>
bool fillStatesColumns(const StatesColumns& columns, Index* rowIndex, double* value, Fault* fault);

#endif
