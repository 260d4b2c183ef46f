// Gateway glue shared by every module: the argument checks, reading inputs
// and making the result. The only code that includes the host's mex.h.
#ifndef HOST_GATEWAY_HPP
#define HOST_GATEWAY_HPP

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "arrays/array_view.hpp"
#include "arrays/sparse_columns.hpp"
#include "contract/contracts.hpp"
#include "kernel/fault.hpp"
#include "mex.h"

namespace host {

constexpr std::size_t kMaxInputs = 8;

// The sequences of a batch: a cell array passed where an input takes one.
struct Batch {
    const ArrayView* sequences = nullptr;  // host scratch, in the cell's linear order
    std::int64_t count = 0;
    const mxArray* cell = nullptr;  // the caller's, for results shaped like it; null when no batch was passed
};

// The inputs of a call as the kernels read them, by slot.
struct Arguments {
    std::array<ArrayView, kMaxInputs> views{};  // Numbers inputs; empty for the others and for a batch
    std::array<int, kMaxInputs> words{};        // Text inputs: the index of the word among the input's words
    std::size_t passed = 0;                     // inputs the call passes
    Batch batch;

    const ArrayView& operator[](std::size_t slot) const { return views[slot]; }
    bool has(std::size_t slot) const { return slot < passed; }
    // The word a Text input names, or `absent` when the call leaves it out.
    int word(std::size_t slot, int absent) const { return has(slot) ? words[slot] : absent; }
};

// The one check every gateway starts with: the argument count and the
// number of outputs against the module's contract, before any input is
// touched; then each input the call passes that the module reads, in slot
// order: a Numbers input must be a real, full array of double, single, an
// integer class or logical (read as doubles: see input_classes.hpp) with
// fewer than 2^31 rows and columns (where it takes batches, or a cell array
// of such arrays), a Text input one of its words. Inputs the module does not
// read are never touched.
Arguments readArguments(const contract::Module& module, int nlhs, int nrhs, const mxArray* const prhs[]);

// Rejects the call through the host as "<module>:<mnemonic>", the message
// opening with the input at fault as the caller counts it ("Input 4 (P, the
// predecessor table)").
[[noreturn]] void reject(const contract::Module& module, const Fault& fault);

// Rejects the call when the kernel found its inputs outside the contract.
inline void rejectOnFault(const contract::Module& module, const Fault& fault) {
    if (fault) reject(module, fault);
}

// Creates the zero-filled rows x cols result in plhs[slot] and returns its data.
double* createResult(mxArray* plhs[], std::int32_t rows, std::int32_t cols, int slot = 0);

// Creates in plhs[slot] a cell array of the shape of `shape` (a cell array of
// `count` elements; an N-d one as its 2-D form) whose element b is a
// zero-filled rows x cols[b] double matrix, and returns each element's data
// (host scratch, count pointers).
double* const* createCellResult(mxArray* plhs[], int slot, const mxArray* shape, std::int32_t rows,
                                const std::int32_t* cols);

// Creates the rows x cols result in plhs[slot] holding a copy of values.
void returnVector(mxArray* plhs[], std::int32_t rows, std::int32_t cols, const double* values, int slot = 0);

// Creates the size x size real sparse result in plhs[0] holding matrix, with
// room for exactly its entries.
void returnSparse(mxArray* plhs[], std::int32_t size, const SparseColumns& matrix);

// The most entries a sparse result of this host can index.
constexpr std::int64_t kMaxSparseEntries = std::numeric_limits<mwIndex>::max();

// A sparse result's arrays, the host's own, for the caller to fill.
struct SparseResult {
    mwIndex* rowIndex;  // 0-based, ascending within each column
    double* value;
};

// Creates the size x size real sparse result in plhs[0] with room for
// exactly `entries` entries (at most kMaxSparseEntries) and the column starts
// columnStart[0 .. size], and returns its rows and values, zero-filled.
SparseResult createSparse(mxArray* plhs[], std::int32_t size, const std::int64_t* columnStart, std::int64_t entries);

}  // namespace host

#endif
