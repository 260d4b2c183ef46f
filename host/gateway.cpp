#include "host/gateway.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kernel/scratch.hpp"

namespace host {
namespace {

constexpr std::size_t kDimensionLimit = std::size_t{1} << 31;

// MinGW's C++ runtime formats with its own C99 printf, not the system's.
#ifdef __MINGW32__
#define HOST_PRINTF_FORMAT gnu_printf
#else
#define HOST_PRINTF_FORMAT printf
#endif

[[noreturn]] void rejectWith(const char* module, const char* mnemonic, const char* format, ...)
    __attribute__((format(HOST_PRINTF_FORMAT, 3, 4)));

void rejectWith(const char* module, const char* mnemonic, const char* format, ...) {
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

// "P, the predecessor table", or the symbol alone.
void nameInput(const contract::Input& input, char* text, std::size_t size) {
    if (input.description) {
        std::snprintf(text, size, "%s, %s", input.symbol, input.description);
    } else {
        std::snprintf(text, size, "%s", input.symbol);
    }
}

// The symbols of the list joined by ", ".
template <class Item>
void joinSymbols(const Item* items, std::size_t count, char* text, std::size_t size) {
    std::size_t used = 0;
    text[0] = '\0';
    for (std::size_t i = 0; i < count && used < size; ++i) {
        int written = std::snprintf(text + used, size - used, "%s%s", i ? ", " : "", items[i].symbol);
        if (written > 0) used += static_cast<std::size_t>(written);
    }
}

void checkCallShape(const contract::Module& module, int nlhs, int nrhs) {
    const std::size_t required = contract::requiredInputs(module);
    if (nrhs < static_cast<int>(required)) {
        char symbols[256];
        joinSymbols(module.inputs.items, required, symbols, sizeof symbols);
        rejectWith(module.name, "notEnoughInputs", "%zu inputs are required (%s); found %d.", required, symbols, nrhs);
    }
    const std::size_t outputs = module.outputs.size;
    if (nlhs > static_cast<int>(outputs)) {
        if (outputs == 1) rejectWith(module.name, "tooManyOutputs", "One output is returned; %d were requested.", nlhs);
        char symbols[256];
        joinSymbols(module.outputs.items, outputs, symbols, sizeof symbols);
        rejectWith(module.name, "tooManyOutputs", "At most %zu outputs are returned (%s); %d were requested.", outputs,
                   symbols, nlhs);
    }
}

ArrayView readNumbers(const contract::Module& module, const mxArray* array, std::size_t slot) {
    char name[128];
    nameInput(module.inputs[slot], name, sizeof name);
    if (!mxIsDouble(array) || mxIsComplex(array) || mxIsSparse(array)) {
        rejectWith(module.name, "notRealDouble", "Input %zu (%s) must be a real, full double array; found %s%s%s.",
                   slot + 1, name, mxIsSparse(array) ? "sparse " : "", mxIsComplex(array) ? "complex " : "",
                   mxGetClassName(array));
    }
    std::size_t rows = mxGetM(array);
    std::size_t cols = mxGetN(array);
    if (rows >= kDimensionLimit || cols >= kDimensionLimit) {
        rejectWith(module.name, "tooLarge",
                   "Input %zu (%s) must have fewer than 2^31 rows and columns; found %zu x %zu.", slot + 1, name, rows,
                   cols);
    }
    std::int64_t count = static_cast<std::int64_t>(rows) * static_cast<std::int64_t>(cols);
    return {count > 0 ? mxGetPr(array) : nullptr, static_cast<std::int32_t>(rows), static_cast<std::int32_t>(cols),
            count};
}

}  // namespace

Arguments readArguments(const contract::Module& module, int nlhs, int nrhs, const mxArray* const prhs[]) {
    checkCallShape(module, nlhs, nrhs);
    Arguments read{};
    const std::size_t passed = static_cast<std::size_t>(nrhs);
    for (std::size_t slot = 0; slot < module.inputs.size && slot < passed; ++slot) {
        if (module.inputs[slot].kind == contract::InputKind::Numbers)
            read[slot] = readNumbers(module, prhs[slot], slot);
    }
    return read;
}

void reject(const contract::Module& module, const Fault& fault) {
    for (std::size_t slot = 0; fault.input && slot < module.inputs.size; ++slot) {
        if (std::strcmp(module.inputs[slot].symbol, fault.input) != 0) continue;
        char name[128];
        nameInput(module.inputs[slot], name, sizeof name);
        // A detail about the input as a whole continues the sentence; one
        // that names a part of it follows a colon.
        const char* joint = std::strncmp(fault.detail, "must", 4) == 0 ? " " : ": ";
        rejectWith(module.name, fault.mnemonic, "Input %zu (%s)%s%s", slot + 1, name, joint, fault.detail);
    }
    rejectWith(module.name, fault.mnemonic, "%s", fault.detail);
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
