#include "host/gateway.hpp"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/input_classes.hpp"
#include "host/interrupt.hpp"
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
    if (std::strcmp(mnemonic, contract::kInterrupted.mnemonic) == 0) endInterruptedCall(id, message);
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

// Rejects an array of 2^31 or more rows or columns, which no kernel counts.
void checkDimensions(const contract::Module& module, const mxArray* array, const char* input) {
    if (mxGetM(array) < kDimensionLimit && mxGetN(array) < kDimensionLimit) return;
    rejectWith(module.name, "tooLarge", "%s must have fewer than 2^31 rows and columns; found %zu x %zu.", input,
               mxGetM(array), mxGetN(array));
}

// "Input 2 (O, the observations)", with ", sequence 7:" after it for an
// element of a batch (sequence counted from 0, -1 for none).
void describeInput(const contract::Module& module, std::size_t slot, long long sequence, char* text, std::size_t size) {
    char name[128];
    nameInput(module.inputs[slot], name, sizeof name);
    if (sequence < 0) {
        std::snprintf(text, size, "Input %zu (%s)", slot + 1, name);
    } else {
        std::snprintf(text, size, "Input %zu (%s), sequence %lld:", slot + 1, name, sequence + 1);
    }
}

ArrayView readNumbers(const contract::Module& module, const mxArray* array, std::size_t slot, long long sequence = -1) {
    char input[192];
    describeInput(module, slot, sequence, input, sizeof input);
    if (!isRealNumbers(array)) {
        rejectWith(module.name, "notRealDouble", "%s must be a real, full numeric or logical array; found %s%s%s.",
                   input, mxIsSparse(array) ? "sparse " : "", mxIsComplex(array) ? "complex " : "",
                   mxGetClassName(array));
    }
    checkDimensions(module, array, input);
    const std::size_t rows = mxGetM(array);
    const std::size_t cols = mxGetN(array);
    std::int64_t count = static_cast<std::int64_t>(rows) * static_cast<std::int64_t>(cols);
    return {count > 0 ? numbersAsDouble(array, count) : nullptr, static_cast<std::int32_t>(rows),
            static_cast<std::int32_t>(cols), count};
}

// Every element of a cell array as a Numbers input of its own; an element
// the host leaves unset is an empty array.
Batch readBatch(const contract::Module& module, const mxArray* cell, std::size_t slot) {
    char input[192];
    describeInput(module, slot, -1, input, sizeof input);
    checkDimensions(module, cell, input);
    Batch batch;
    batch.cell = cell;
    batch.count = static_cast<std::int64_t>(mxGetNumberOfElements(cell));
    auto* sequences = scratchArray<ArrayView>(static_cast<std::size_t>(batch.count));
    for (std::int64_t b = 0; b < batch.count; ++b) {
        const mxArray* element = mxGetCell(cell, static_cast<mwIndex>(b));
        if (element) sequences[b] = readNumbers(module, element, slot, b);
    }
    batch.sequences = sequences;
    return batch;
}

// The text of a char row of fewer than kMaxWord characters, or of a string
// scalar through the host's char; false for anything else.
constexpr std::size_t kMaxWord = 32;
bool readShortText(const mxArray* array, char (&text)[kMaxWord]) {
    mxArray* converted = nullptr;
    if (!mxIsChar(array) && mxIsClass(array, "string") && mxGetNumberOfElements(array) == 1) {
        mxArray* argument = const_cast<mxArray*>(array);
        if (mexCallMATLAB(1, &converted, 1, &argument, "char") == 0) array = converted;
    }
    bool read = mxIsChar(array) && mxGetM(array) == 1 && mxGetN(array) < kMaxWord &&
                mxGetString(array, text, kMaxWord) == 0 && std::strlen(text) == mxGetN(array);
    if (converted) mxDestroyArray(converted);
    return read;
}

// Option words match as MATLAB's option strings do, without regard to case.
bool sameWord(const char* text, const char* word) {
    for (; *text && *word; ++text, ++word) {
        if (std::tolower(static_cast<unsigned char>(*text)) != std::tolower(static_cast<unsigned char>(*word))) {
            return false;
        }
    }
    return *text == *word;
}

int readWord(const contract::Module& module, const mxArray* array, std::size_t slot) {
    const contract::Input& input = module.inputs[slot];
    char text[kMaxWord] = {};
    const bool isText = readShortText(array, text);
    for (std::size_t w = 0; isText && w < input.wordCount; ++w) {
        if (sameWord(text, input.words[w])) return static_cast<int>(w);
    }
    char expected[128] = {};
    for (std::size_t w = 0, used = 0; w < input.wordCount && used < sizeof expected; ++w) {
        const char* joint = w == 0 ? "" : w + 1 == input.wordCount ? " or " : ", ";
        used += static_cast<std::size_t>(
            std::snprintf(expected + used, sizeof expected - used, "%s\"%s\"", joint, input.words[w]));
    }
    char name[128];
    nameInput(input, name, sizeof name);
    if (isText) {
        rejectWith(module.name, input.notAWord, "Input %zu (%s) must be the text %s; found \"%s\".", slot + 1, name,
                   expected, text);
    }
    rejectWith(module.name, input.notAWord, "Input %zu (%s) must be the text %s; found a %zu x %zu %s array.", slot + 1,
               name, expected, mxGetM(array), mxGetN(array), mxGetClassName(array));
}

}  // namespace

Arguments readArguments(const contract::Module& module, int nlhs, int nrhs, const mxArray* const prhs[]) {
    checkCallShape(module, nlhs, nrhs);
    Arguments read;
    read.passed = static_cast<std::size_t>(nrhs);
    for (std::size_t slot = 0; slot < module.inputs.size && slot < read.passed; ++slot) {
        switch (module.inputs[slot].kind) {
            case contract::InputKind::Numbers:
                if (module.inputs[slot].batches && mxIsCell(prhs[slot])) {
                    read.batch = readBatch(module, prhs[slot], slot);
                } else {
                    read.views[slot] = readNumbers(module, prhs[slot], slot);
                }
                break;
            case contract::InputKind::Text: read.words[slot] = readWord(module, prhs[slot], slot); break;
            case contract::InputKind::Unread: break;
        }
    }
    return read;
}

void reject(const contract::Module& module, const Fault& fault) {
    for (std::size_t slot = 0; fault.input && slot < module.inputs.size; ++slot) {
        if (std::strcmp(module.inputs[slot].symbol, fault.input) != 0) continue;
        char input[192];
        describeInput(module, slot, fault.sequence, input, sizeof input);
        // A detail about the input as a whole continues the sentence; one
        // that names a part of it follows a colon (a sequence's name ends in one).
        const bool continues = fault.sequence >= 0 || std::strncmp(fault.detail, "must", 4) == 0;
        rejectWith(module.name, fault.mnemonic, "%s%s%s", input, continues ? " " : ": ", fault.detail);
    }
    rejectWith(module.name, fault.mnemonic, "%s", fault.detail);
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
