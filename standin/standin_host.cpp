// The stand-in host library: arrays, a scratch allocator with guard bytes that
// reclaims everything when a call returns, and errors as C++ exceptions.
#include "standin_host.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

// Octave's flag under its name and type, so that the modules find it as they
// find Octave's; positive while a Ctrl-C waits.
extern "C" MEXHOST_API sig_atomic_t octave_interrupt_state;
sig_atomic_t octave_interrupt_state = 0;

struct mxArray_tag {
    standin::ArrayClass cls;
    bool complex;
    bool sparse;
    std::size_t rows;
    std::size_t cols;
    std::vector<double> data;  // of a double array; char codes of text
    bool shapeOnly;
    std::vector<int> ir, jc;           // of a sparse array: data holds its room for entries
    std::vector<unsigned char> typed;  // the elements of any other numeric or logical class, as the class holds them
    std::vector<mxArray*> cells;       // of a cell array, owned: null where unset
    ~mxArray_tag() {
        for (mxArray* cell : cells) delete cell;
    }
};

namespace standin {
namespace {

constexpr std::size_t kGuardBytes = 64;
constexpr unsigned char kGuardByte = 0xA5;

struct ScratchBlock {
    unsigned char* base;
    std::size_t bytes;
};

std::vector<ScratchBlock> gScratch;
std::size_t gScratchBytes = 0;
std::size_t gResultBytes = 0;  // results made by the current call
std::size_t gMemoryLimit = SIZE_MAX;
const char* gFunctionName = "";

// True when the call may take `bytes` more without passing the memory limit.
bool fitsMemoryLimit(std::size_t bytes) {
    std::size_t taken = gScratchBytes + gResultBytes;
    return bytes <= gMemoryLimit && taken <= gMemoryLimit - bytes;
}

// Bytes of a rows x cols double array; false when that overflows size_t.
bool doubleArrayBytes(std::size_t rows, std::size_t cols, std::size_t* bytes) {
    std::size_t count = 0;
    return !__builtin_mul_overflow(rows, cols, &count) && !__builtin_mul_overflow(count, sizeof(double), bytes);
}

// Bytes of one element of a numeric class other than double, or of logical;
// 0 for every other class.
std::size_t elementBytes(ArrayClass cls) {
    switch (cls) {
        case ArrayClass::Logical:
        case ArrayClass::Int8:
        case ArrayClass::UInt8: return 1;
        case ArrayClass::Int16:
        case ArrayClass::UInt16: return 2;
        case ArrayClass::Single:
        case ArrayClass::Int32:
        case ArrayClass::UInt32: return 4;
        case ArrayClass::Int64:
        case ArrayClass::UInt64: return 8;
        default: return 0;
    }
}

// v as the host's integer classes take a double: rounded to nearest, halves
// away from zero, saturated, NaN to 0.
template <class Integer>
Integer toInteger(double v) {
    if (std::isnan(v)) return 0;
    const double low = static_cast<double>(std::numeric_limits<Integer>::min());
    const double high = static_cast<double>(std::numeric_limits<Integer>::max());
    const double r = std::round(v);
    if (r <= low) return std::numeric_limits<Integer>::min();
    if (r >= high) return std::numeric_limits<Integer>::max();
    return static_cast<Integer>(r);
}

// Element i of a numeric or logical array stored as its class: to or from double.
template <class Element>
void storeAs(unsigned char* typed, std::size_t i, Element e) {
    std::memcpy(typed + i * sizeof e, &e, sizeof e);
}
template <class Element>
double loadFrom(const unsigned char* typed, std::size_t i) {
    Element e;
    std::memcpy(&e, typed + i * sizeof e, sizeof e);
    return static_cast<double>(e);
}

void storeElement(mxArray* array, std::size_t i, double v) {
    unsigned char* t = array->typed.data();
    switch (array->cls) {
        case ArrayClass::Logical: return storeAs<mxLogical>(t, i, v != 0.0);
        case ArrayClass::Single: return storeAs<float>(t, i, static_cast<float>(v));
        case ArrayClass::Int8: return storeAs(t, i, toInteger<std::int8_t>(v));
        case ArrayClass::UInt8: return storeAs(t, i, toInteger<std::uint8_t>(v));
        case ArrayClass::Int16: return storeAs(t, i, toInteger<std::int16_t>(v));
        case ArrayClass::UInt16: return storeAs(t, i, toInteger<std::uint16_t>(v));
        case ArrayClass::Int32: return storeAs(t, i, toInteger<std::int32_t>(v));
        case ArrayClass::UInt32: return storeAs(t, i, toInteger<std::uint32_t>(v));
        case ArrayClass::Int64: return storeAs(t, i, toInteger<std::int64_t>(v));
        case ArrayClass::UInt64: return storeAs(t, i, toInteger<std::uint64_t>(v));
        default: throw std::invalid_argument("storeElement: not a numeric or logical class");
    }
}

double loadElement(const mxArray* array, std::size_t i) {
    const unsigned char* t = array->typed.data();
    switch (array->cls) {
        case ArrayClass::Logical: return loadFrom<mxLogical>(t, i);
        case ArrayClass::Single: return loadFrom<float>(t, i);
        case ArrayClass::Int8: return loadFrom<std::int8_t>(t, i);
        case ArrayClass::UInt8: return loadFrom<std::uint8_t>(t, i);
        case ArrayClass::Int16: return loadFrom<std::int16_t>(t, i);
        case ArrayClass::UInt16: return loadFrom<std::uint16_t>(t, i);
        case ArrayClass::Int32: return loadFrom<std::int32_t>(t, i);
        case ArrayClass::UInt32: return loadFrom<std::uint32_t>(t, i);
        case ArrayClass::Int64: return loadFrom<std::int64_t>(t, i);
        case ArrayClass::UInt64: return loadFrom<std::uint64_t>(t, i);
        default: throw std::invalid_argument("loadElement: not a numeric or logical class");
    }
}

bool guardIntact(const ScratchBlock& block) {
    for (std::size_t i = 0; i < kGuardBytes; ++i) {
        if (block.base[block.bytes + i] != kGuardByte) return false;
    }
    return true;
}

}  // namespace

HostError::HostError(std::string id, const std::string& message) : std::runtime_error(message), id_(std::move(id)) {}
HostError::~HostError() = default;

mxArray* createDouble(std::size_t rows, std::size_t cols, const std::vector<double>& values) {
    mxArray* array = createArray(ArrayClass::Double, rows, cols, false, false);
    if (!values.empty()) {
        if (values.size() != rows * cols) throw std::invalid_argument("createDouble: wrong number of values");
        array->data = values;
    }
    return array;
}

mxArray* createNumeric(ArrayClass cls, std::size_t rows, std::size_t cols, const std::vector<double>& values) {
    if (cls == ArrayClass::Double) return createDouble(rows, cols, values);
    if (elementBytes(cls) == 0) throw std::invalid_argument("createNumeric: not a numeric or logical class");
    if (values.size() != rows * cols) throw std::invalid_argument("createNumeric: wrong number of values");
    mxArray* array = createArray(cls, rows, cols, false, false);
    for (std::size_t i = 0; i < values.size(); ++i) storeElement(array, i, values[i]);
    return array;
}

mxArray* createArray(ArrayClass cls, std::size_t rows, std::size_t cols, bool complex, bool sparse) {
    const std::size_t bytes = elementBytes(cls);
    if (bytes > 0) {
        return new mxArray_tag{cls, complex, sparse, rows, cols,
                               {},  false,   {},     {},   std::vector<unsigned char>(rows * cols * bytes, 0),
                               {}};
    }
    return new mxArray_tag{cls,   complex, sparse, rows, cols, std::vector<double>(rows * cols, 0.0),
                           false, {},      {},     {},   {}};
}

mxArray* createShapeOnly(std::size_t rows, std::size_t cols, ArrayClass cls, bool complex, bool sparse) {
    return new mxArray_tag{cls, complex, sparse, rows, cols, {}, true, {}, {}, {}, {}};
}

mxArray* createText(const std::string& text, ArrayClass cls) {
    const std::size_t cols = cls == ArrayClass::String ? 1 : text.size();
    mxArray* array = new mxArray_tag{cls, false, false, 1, cols, {}, false, {}, {}, {}, {}};
    array->data.assign(text.begin(), text.end());
    return array;
}

mxArray* createCell(std::size_t rows, std::size_t cols, std::vector<mxArray*> elements) {
    elements.resize(rows * cols, nullptr);
    mxArray* array = new mxArray_tag{ArrayClass::Cell, false, false, rows, cols, {}, false, {}, {}, {}, {}};
    array->cells = std::move(elements);
    return array;
}

void destroyArray(mxArray* array) { delete array; }

void reshape(mxArray* array, std::size_t rows, std::size_t cols) {
    array->rows = rows;
    array->cols = cols;
}

void checkSparse(const mxArray* array) {
    const std::vector<int>& jc = array->jc;
    if (jc.size() != array->cols + 1 || jc[0] != 0 || static_cast<std::size_t>(jc.back()) != array->data.size()) {
        throw std::logic_error("sparse array: column starts do not end at its room for entries");
    }
    for (std::size_t c = 0; c < array->cols; ++c) {
        if (jc[c + 1] < jc[c]) throw std::logic_error("sparse array: column starts decrease");
        for (int e = jc[c]; e < jc[c + 1]; ++e) {
            const int row = array->ir[e];
            if (row < 0 || static_cast<std::size_t>(row) >= array->rows || (e > jc[c] && row <= array->ir[e - 1])) {
                throw std::logic_error("sparse array: rows not ascending within a column");
            }
        }
    }
}

std::vector<double> fullValues(const mxArray* array) {
    if (!array->sparse) return array->data;
    checkSparse(array);
    std::vector<double> full(array->rows * array->cols, 0.0);
    for (std::size_t c = 0; c < array->cols; ++c) {
        for (int e = array->jc[c]; e < array->jc[c + 1]; ++e) full[array->ir[e] + c * array->rows] = array->data[e];
    }
    return full;
}

std::vector<double> values(const mxArray* array) {
    if (elementBytes(array->cls) == 0) return array->data;
    std::vector<double> converted(array->typed.size() / elementBytes(array->cls));
    for (std::size_t i = 0; i < converted.size(); ++i) converted[i] = loadElement(array, i);
    return converted;
}

const char* className(ArrayClass cls) {
    switch (cls) {
        case ArrayClass::Double: return "double";
        case ArrayClass::Single: return "single";
        case ArrayClass::Int32: return "int32";
        case ArrayClass::Logical: return "logical";
        case ArrayClass::Char: return "char";
        case ArrayClass::String: return "string";
        case ArrayClass::Int8: return "int8";
        case ArrayClass::UInt8: return "uint8";
        case ArrayClass::Int16: return "int16";
        case ArrayClass::UInt16: return "uint16";
        case ArrayClass::UInt32: return "uint32";
        case ArrayClass::Int64: return "int64";
        case ArrayClass::UInt64: return "uint64";
        case ArrayClass::Cell: return "cell";
        case ArrayClass::Struct: return "struct";
    }
    return "unknown";
}

#ifdef _WIN32
MexFunction loadModule(const std::string& path) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) throw std::runtime_error("cannot load " + path + ": error " + std::to_string(GetLastError()));
    FARPROC entry = GetProcAddress(library, "mexFunction");
    if (!entry) throw std::runtime_error(path + " has no mexFunction");
    // Through void (*)(), the one function type any other may be cast from.
    return reinterpret_cast<MexFunction>(reinterpret_cast<void (*)()>(entry));
}
#else
MexFunction loadModule(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(std::string("cannot load ") + path + ": " + dlerror());
    void* entry = dlsym(library, "mexFunction");
    if (!entry) throw std::runtime_error(path + " has no mexFunction");
    return reinterpret_cast<MexFunction>(entry);
}
#endif

std::size_t releaseScratch() {
    bool intact = true;
    for (const ScratchBlock& block : gScratch) {
        intact = intact && guardIntact(block);
        std::free(block.base);
    }
    std::size_t bytes = gScratchBytes;
    gScratch.clear();
    gScratchBytes = 0;
    if (!intact) throw std::logic_error("a scratch block was written past its end");
    return bytes;
}

void setMemoryLimit(std::size_t bytes) { gMemoryLimit = bytes; }

void setInterrupt(bool raised) { *static_cast<volatile sig_atomic_t*>(&octave_interrupt_state) = raised ? 1 : 0; }

CallOutcome callGateway(MexFunction fn, const char* name, int nlhs, const std::vector<const mxArray*>& inputs) {
    releaseScratch();
    CallOutcome outcome;
    // Room for every requested result, and for the first one when none is.
    std::vector<mxArray*> results(static_cast<std::size_t>(nlhs > 1 ? nlhs : 1), nullptr);
    gResultBytes = 0;
    gFunctionName = name;
    try {
        fn(nlhs, results.data(), static_cast<int>(inputs.size()), const_cast<const mxArray**>(inputs.data()));
    } catch (const HostError& error) {
        outcome.errorId = error.id();
        outcome.errorMessage = error.what();
        for (mxArray*& result : results) {
            destroyArray(result);
            result = nullptr;
        }
    }
    gFunctionName = "";
    outcome.result = results[0];
    outcome.otherResults.assign(results.begin() + 1, results.end());
    outcome.scratchBytes = releaseScratch();
    return outcome;
}

}  // namespace standin

using standin::ArrayClass;

extern "C" {

namespace {

// A module that asks for data the host would not hand out ends the run.
void requireData(const mxArray* array, bool asDouble) {
    if (array->shapeOnly) {
        std::fprintf(stderr, "stand-in host: data of a shape-only array was requested\n");
        std::abort();
    }
    if (asDouble && array->cls != ArrayClass::Double) {
        std::fprintf(stderr, "stand-in host: mxGetPr of a %s array\n", standin::className(array->cls));
        std::abort();
    }
}

}  // namespace

double* mxGetPr(const mxArray* array) {
    requireData(array, true);
    return array->data.empty() ? nullptr : const_cast<double*>(array->data.data());
}

void* mxGetData(const mxArray* array) {
    requireData(array, false);
    if (!array->typed.empty()) return const_cast<unsigned char*>(array->typed.data());
    return array->data.empty() ? nullptr : const_cast<double*>(array->data.data());
}

mxClassID mxGetClassID(const mxArray* array) {
    switch (array->cls) {
        case ArrayClass::Double: return mxDOUBLE_CLASS;
        case ArrayClass::Single: return mxSINGLE_CLASS;
        case ArrayClass::Int32: return mxINT32_CLASS;
        case ArrayClass::Logical: return mxLOGICAL_CLASS;
        case ArrayClass::Char: return mxCHAR_CLASS;
        case ArrayClass::Int8: return mxINT8_CLASS;
        case ArrayClass::UInt8: return mxUINT8_CLASS;
        case ArrayClass::Int16: return mxINT16_CLASS;
        case ArrayClass::UInt16: return mxUINT16_CLASS;
        case ArrayClass::UInt32: return mxUINT32_CLASS;
        case ArrayClass::Int64: return mxINT64_CLASS;
        case ArrayClass::UInt64: return mxUINT64_CLASS;
        case ArrayClass::Cell: return mxCELL_CLASS;
        case ArrayClass::Struct: return mxSTRUCT_CLASS;
        case ArrayClass::String: return mxUNKNOWN_CLASS;  // an object to the host's C API
    }
    return mxUNKNOWN_CLASS;
}

std::size_t mxGetM(const mxArray* array) { return array->rows; }
std::size_t mxGetN(const mxArray* array) { return array->cols; }
std::size_t mxGetNumberOfElements(const mxArray* array) { return array->rows * array->cols; }
bool mxIsDouble(const mxArray* array) { return array->cls == ArrayClass::Double; }
bool mxIsComplex(const mxArray* array) { return array->complex; }
bool mxIsSparse(const mxArray* array) { return array->sparse; }
bool mxIsChar(const mxArray* array) { return array->cls == ArrayClass::Char; }
bool mxIsClass(const mxArray* array, const char* name) { return std::strcmp(mxGetClassName(array), name) == 0; }

const char* mxGetClassName(const mxArray* array) { return standin::className(array->cls); }

void* mxCalloc(std::size_t count, std::size_t size) {
    if (size != 0 && count > (SIZE_MAX - standin::kGuardBytes) / size) return nullptr;
    std::size_t bytes = count * size;
    if (!standin::fitsMemoryLimit(bytes)) return nullptr;
    auto* base = static_cast<unsigned char*>(std::calloc(bytes + standin::kGuardBytes, 1));
    if (!base) return nullptr;
    std::memset(base + bytes, standin::kGuardByte, standin::kGuardBytes);
    standin::gScratch.push_back({base, bytes});
    standin::gScratchBytes += bytes;
    return base;
}

mxArray* mxCreateDoubleMatrix_700(int rows, int cols, mxComplexity complexity) {
    if (rows < 0 || cols < 0) {
        std::fprintf(stderr, "stand-in host: negative result dimensions %d x %d\n", rows, cols);
        std::abort();
    }
    // A host that cannot make the result ends the call with its own error.
    std::size_t bytes = 0;
    mxArray* array = nullptr;
    if (standin::doubleArrayBytes(static_cast<std::size_t>(rows), static_cast<std::size_t>(cols), &bytes) &&
        standin::fitsMemoryLimit(bytes)) {
        try {
            array = standin::createArray(ArrayClass::Double, static_cast<std::size_t>(rows),
                                         static_cast<std::size_t>(cols), complexity == mxCOMPLEX, false);
        } catch (const std::exception&) {
            array = nullptr;
        }
    }
    if (!array) {
        mexErrMsgIdAndTxt(standin::kHostOutOfMemory, "Out of memory: a %d x %d double result cannot be made.", rows,
                          cols);
    }
    standin::gResultBytes += bytes;
    return array;
}

mxArray* mxCreateSparse_700(int rows, int cols, int nzmax, mxComplexity complexity) {
    if (rows < 0 || cols < 0 || nzmax < 0) {
        std::fprintf(stderr, "stand-in host: negative sparse dimensions %d x %d, room %d\n", rows, cols, nzmax);
        std::abort();
    }
    const std::size_t bytes = static_cast<std::size_t>(nzmax) * (sizeof(double) + sizeof(int)) +
                              (static_cast<std::size_t>(cols) + 1) * sizeof(int);
    if (!standin::fitsMemoryLimit(bytes)) {
        mexErrMsgIdAndTxt(standin::kHostOutOfMemory, "Out of memory: a %d x %d sparse result cannot be made.", rows,
                          cols);
    }
    standin::gResultBytes += bytes;
    auto* array = new mxArray_tag{ArrayClass::Double,
                                  complexity == mxCOMPLEX,
                                  true,
                                  static_cast<std::size_t>(rows),
                                  static_cast<std::size_t>(cols),
                                  std::vector<double>(static_cast<std::size_t>(nzmax)),
                                  false,
                                  {},
                                  {},
                                  {},
                                  {}};
    array->ir.assign(static_cast<std::size_t>(nzmax), 0);
    array->jc.assign(static_cast<std::size_t>(cols) + 1, 0);
    return array;
}

int* mxGetIr_700(const mxArray* array) { return const_cast<int*>(array->ir.data()); }
int* mxGetJc_700(const mxArray* array) { return const_cast<int*>(array->jc.data()); }

int mxGetString_700(const mxArray* array, char* text, int size) {
    if (array->cls != ArrayClass::Char || size <= 0) return 1;
    const std::size_t length = array->data.size();
    const std::size_t copied = std::min(length, static_cast<std::size_t>(size) - 1);
    for (std::size_t i = 0; i < copied; ++i) text[i] = static_cast<char>(array->data[i]);
    text[copied] = '\0';
    return copied == length ? 0 : 1;
}

mxArray* mxCreateString(const char* text) { return standin::createText(text); }

bool mxIsCell(const mxArray* array) { return array->cls == ArrayClass::Cell; }

mxArray* mxGetCell_700(const mxArray* array, int index) {
    const auto at = static_cast<std::size_t>(index);
    return at < array->cells.size() ? array->cells[at] : nullptr;  // a cell array made by shape alone is all unset
}

mxArray* mxCreateCellMatrix_700(int rows, int cols) {
    return standin::createCell(static_cast<std::size_t>(rows), static_cast<std::size_t>(cols), {});
}

void mxSetCell_700(mxArray* array, int index, mxArray* value) {
    array->cells.resize(array->rows * array->cols, nullptr);
    mxArray*& cell = array->cells.at(static_cast<std::size_t>(index));
    delete cell;
    cell = value;
}

void mxDestroyArray(mxArray* array) { standin::destroyArray(array); }

int mexCallMATLAB(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[], const char* name) {
    if (std::strcmp(name, "char") != 0 || nlhs != 1 || nrhs != 1 || prhs[0]->cls != ArrayClass::String) {
        mexErrMsgIdAndTxt("standin:unknownFunction", "The stand-in host cannot call %s on these arguments.", name);
    }
    std::string text(prhs[0]->data.begin(), prhs[0]->data.end());
    plhs[0] = standin::createText(text);
    return 0;
}

const char* mexFunctionName(void) { return standin::gFunctionName; }

void mexErrMsgIdAndTxt(const char* id, const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    throw standin::HostError(id, message);
}

}  // extern "C"
