// Gateway glue shared by every module: the argument checks, reading inputs
// and making the result. The only code that includes the host's mex.h.
#ifndef HOST_GATEWAY_HPP
#define HOST_GATEWAY_HPP

#include <array>
#include <cstddef>
#include <cstdint>

#include "arrays/array_view.hpp"
#include "kernel/fault.hpp"
#include "mex.h"
#include "modules/contracts.hpp"

namespace host {

constexpr std::size_t kMaxInputs = 8;

// The numeric inputs of a call by slot, as the kernels read them; a slot the
// module does not read, or the call does not pass, stays empty.
using Arguments = std::array<ArrayView, kMaxInputs>;

// The one check every gateway starts with: the argument count and the
// number of outputs against the module's contract, before any input is
// touched; then each numeric input the call passes, in slot order, must be a
// real, full double array with fewer than 2^31 rows and columns. Inputs the
// module does not read are never touched.
Arguments readArguments(const contract::Module& module, int nlhs, int nrhs, const mxArray* const prhs[]);

// Rejects the call through the host as "<module>:<mnemonic>", the message
// opening with the input at fault as the caller counts it ("Input 4 (P, the
// predecessor table)").
[[noreturn]] void reject(const contract::Module& module, const Fault& fault);

// Rejects the call when the kernel found its inputs outside the contract.
inline void rejectOnFault(const contract::Module& module, const Fault& fault) {
    if (fault) reject(module, fault);
}

// Creates the zero-filled rows x cols result in plhs[0] and returns its data.
double* createResult(mxArray* plhs[], std::int32_t rows, std::int32_t cols);

// Creates the rows x cols result in plhs[0] holding a copy of values.
void returnVector(mxArray* plhs[], std::int32_t rows, std::int32_t cols, const double* values);

}  // namespace host

#endif
