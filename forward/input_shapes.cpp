#include "forward/input_shapes.hpp"

namespace {

// True for one row, one column, or no entries.
bool isVector(const ArrayView& array) { return array.rows <= 1 || array.cols <= 1; }

// " Is it transposed?" where the columns match what the rows should be.
const char* transposedHint(const ArrayView& array, std::int32_t rows) {
    return array.cols == rows ? " Is it transposed?" : "";
}

}  // namespace

bool checkObservationsShape(const ForwardInputs& in, Fault* fault) {
    const ArrayView& O = in.observations;
    const std::int32_t L = in.membership.cols;
    if (O.rows == L || isVector(O)) return true;
    setFault(*fault, "observationsShape", "O",
             "must have L = %d rows, one per symbol (or be a vector); found %d x %d.%s", L, O.rows, O.cols,
             transposedHint(O, L));
    return false;
}

bool checkPredecessorsShape(const ForwardInputs& in, std::int32_t K, Fault* fault) {
    const ArrayView& P = in.predecessors;
    const std::int32_t n = in.membership.rows;
    if (K == 0 || P.rows == n || isVector(P)) return true;
    setFault(*fault, "predecessorsShape", "P",
             "must have n = %d rows, one per state (or be a vector); found %d x %d.%s", n, P.rows, P.cols,
             transposedHint(P, n));
    return false;
}
