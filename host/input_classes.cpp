#include "host/input_classes.hpp"

#include "kernel/scratch.hpp"

namespace host {
namespace {

// count elements of type Element -> a new copy of them as doubles.
template <class Element>
const double* copyAsDouble(const void* data, std::int64_t count) {
    const auto* from = static_cast<const Element*>(data);
    auto* copy = scratchArray<double>(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) copy[i] = static_cast<double>(from[i]);
    return copy;
}

}  // namespace

bool isRealNumbers(const mxArray* array) {
    if (mxIsComplex(array) || mxIsSparse(array)) return false;
    switch (mxGetClassID(array)) {
        case mxDOUBLE_CLASS:
        case mxSINGLE_CLASS:
        case mxLOGICAL_CLASS:
        case mxINT8_CLASS:
        case mxUINT8_CLASS:
        case mxINT16_CLASS:
        case mxUINT16_CLASS:
        case mxINT32_CLASS:
        case mxUINT32_CLASS:
        case mxINT64_CLASS:
        case mxUINT64_CLASS: return true;
        default: return false;
    }
}

const double* numbersAsDouble(const mxArray* array, std::int64_t count) {
    const void* data = mxGetData(array);
    switch (mxGetClassID(array)) {
        case mxSINGLE_CLASS: return copyAsDouble<float>(data, count);
        case mxLOGICAL_CLASS: return copyAsDouble<mxLogical>(data, count);
        case mxINT8_CLASS: return copyAsDouble<std::int8_t>(data, count);
        case mxUINT8_CLASS: return copyAsDouble<std::uint8_t>(data, count);
        case mxINT16_CLASS: return copyAsDouble<std::int16_t>(data, count);
        case mxUINT16_CLASS: return copyAsDouble<std::uint16_t>(data, count);
        case mxINT32_CLASS: return copyAsDouble<std::int32_t>(data, count);
        case mxUINT32_CLASS: return copyAsDouble<std::uint32_t>(data, count);
        case mxINT64_CLASS: return copyAsDouble<std::int64_t>(data, count);
        case mxUINT64_CLASS: return copyAsDouble<std::uint64_t>(data, count);
        default: return mxGetPr(array);
    }
}

}  // namespace host
