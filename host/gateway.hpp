// Gateway glue shared by every module: the argument checks, reading inputs
// and making the result. The only code that includes the host's mex.h.
#ifndef HOST_GATEWAY_HPP
#define HOST_GATEWAY_HPP

#include <array>
#include <cstddef>
#include <cstdint>

#include "arrays/input_fault.hpp"
#include "mex.h"

namespace host {

// An input a module reads, by its 0-based slot in prhs; messages show slot + 1.
struct InputSlot {
    int slot;
    const char* name;  // as the help text calls it, e.g. "S, the membership matrix"
};

// A real, full double input as the kernels see it; data is null when empty.
struct DoubleInput {
    const double* data;
    std::int32_t rows;
    std::int32_t cols;
    std::int64_t count;
};

// MinGW's C++ runtime formats with its own C99 printf, not the system's.
#ifdef __MINGW32__
#define HOST_PRINTF_FORMAT gnu_printf
#else
#define HOST_PRINTF_FORMAT printf
#endif

// Rejects the call through the host with identifier "module:mnemonic".
[[noreturn]] void reject(const char* module, const char* mnemonic, const char* format, ...)
    __attribute__((format(HOST_PRINTF_FORMAT, 3, 4)));

// Rejects the call when the kernel found its inputs outside the contract.
void rejectOnFault(const char* module, const InputFault& fault);

// The argument count and the number of requested outputs (at most one).
void checkCallShape(const char* module, int nlhs, int nrhs, int requiredInputs, const char* inputList);

// One input: a real, full double array with fewer than 2^31 rows and columns.
DoubleInput readDoubleInput(const char* module, const mxArray* const prhs[], InputSlot input);

// The one check every gateway starts with: the call's shape first, then each
// listed input in order. Inputs not listed are never touched.
template <std::size_t N>
std::array<DoubleInput, N> readArguments(const char* module, int nlhs, int nrhs, const mxArray* const prhs[],
                                         int requiredInputs, const char* inputList, const InputSlot (&inputs)[N]) {
    checkCallShape(module, nlhs, nrhs, requiredInputs, inputList);
    std::array<DoubleInput, N> read{};
    for (std::size_t i = 0; i < N; ++i) read[i] = readDoubleInput(module, prhs, inputs[i]);
    return read;
}

// Creates the zero-filled rows x cols result in plhs[0] and returns its data.
double* createResult(mxArray* plhs[], std::int32_t rows, std::int32_t cols);

// Creates the rows x cols result in plhs[0] holding a copy of values.
void returnVector(mxArray* plhs[], std::int32_t rows, std::int32_t cols, const double* values);

}  // namespace host

#endif
