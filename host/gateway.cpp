#include "host/gateway.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "arrays/scratch.hpp"

namespace host {
namespace {

constexpr std::size_t kDimensionLimit = std::size_t{1} << 31;

void describeClass(const mxArray* array, char* text, std::size_t size) {
    std::snprintf(text, size, "%s%s%s", mxIsSparse(array) ? "sparse " : "", mxIsComplex(array) ? "complex " : "",
                  mxGetClassName(array));
}

}  // namespace

void reject(const char* module, const char* mnemonic, const char* format, ...) {
    char id[128];
    std::snprintf(id, sizeof id, "%s:%s", module, mnemonic);
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    mexErrMsgIdAndTxt(id, "%s", message);
    std::abort();  // the host's error call does not return
}

void rejectOnFault(const char* module, const InputFault& fault) {
    if (fault) reject(module, fault.mnemonic, "%s", fault.message);
}

void checkCallShape(const char* module, int nlhs, int nrhs, int requiredInputs, const char* inputList) {
    if (nrhs < requiredInputs) {
        reject(module, "notEnoughInputs", "%d inputs are required (%s); found %d.", requiredInputs, inputList, nrhs);
    }
    if (nlhs > 1) reject(module, "tooManyOutputs", "One output is returned; %d were requested.", nlhs);
}

DoubleInput readDoubleInput(const char* module, const mxArray* const prhs[], InputSlot input) {
    const mxArray* array = prhs[input.slot];
    if (!mxIsDouble(array) || mxIsComplex(array) || mxIsSparse(array)) {
        char found[64];
        describeClass(array, found, sizeof found);
        reject(module, "notRealDouble", "Input %d (%s) must be a real, full double array; found %s.", input.slot + 1,
               input.name, found);
    }
    std::size_t rows = mxGetM(array);
    std::size_t cols = mxGetN(array);
    if (rows >= kDimensionLimit || cols >= kDimensionLimit) {
        reject(module, "tooLarge", "Input %d (%s) must have fewer than 2^31 rows and columns; found %zu x %zu.",
               input.slot + 1, input.name, rows, cols);
    }
    std::int64_t count = static_cast<std::int64_t>(rows) * static_cast<std::int64_t>(cols);
    return {count > 0 ? mxGetPr(array) : nullptr, static_cast<std::int32_t>(rows), static_cast<std::int32_t>(cols),
            count};
}

double* createResult(mxArray* plhs[], std::int32_t rows, std::int32_t cols) {
    plhs[0] = mxCreateDoubleMatrix(rows, cols, mxREAL);
    return mxGetPr(plhs[0]);
}

void returnVector(mxArray* plhs[], std::int32_t rows, std::int32_t cols, const double* values) {
    double* result = createResult(plhs, rows, cols);
    std::size_t bytes = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) * sizeof(double);
    if (bytes > 0) std::memcpy(result, values, bytes);
}

}  // namespace host

void* scratchAlloc(std::size_t count, std::size_t size) {
    if (count == 0 || size == 0) return nullptr;
    void* block = mxCalloc(count, size);
    if (!block) {
        char id[128];
        std::snprintf(id, sizeof id, "%s:outOfMemory", mexFunctionName());
        mexErrMsgIdAndTxt(id, "Out of memory: %zu bytes of scratch could not be allocated.", count * size);
        std::abort();
    }
    return block;
}
