// Test-side interface of the stand-in host: make arrays, load a module by file
// name and call its gateway the way a host does (scratch reclaimed when the
// call returns, errors caught at the call boundary).
#ifndef STANDIN_HOST_HPP
#define STANDIN_HOST_HPP

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "mex.h"

namespace standin {

// The first five are those the fuzz targets have always drawn from; new
// classes go at the end.
enum class ArrayClass {
    Double,
    Single,
    Int32,
    Logical,
    Char,
    String,
    Int8,
    UInt8,
    Int16,
    UInt16,
    UInt32,
    Int64,
    UInt64,
    Cell,
    Struct,
};

// The host's name of the class: "double", "int8", "cell".
MEXHOST_API const char* className(ArrayClass cls);

// What mexErrMsgIdAndTxt throws; caught by callGateway.
class MEXHOST_API HostError : public std::runtime_error {
public:
    HostError(std::string id, const std::string& message);
    ~HostError() override;
    const std::string& id() const { return id_; }

private:
    std::string id_;
};

using MexFunction = void (*)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

struct CallOutcome {
    mxArray* result = nullptr;           // plhs[0] after a successful call; caller destroys it
    std::vector<mxArray*> otherResults;  // plhs[1] .. plhs[nlhs - 1], likewise
    std::string errorId;                 // empty when the call succeeded
    std::string errorMessage;
    std::size_t scratchBytes = 0;  // total mxCalloc bytes of the call (never released early)
    bool failed() const { return !errorId.empty(); }
};

// A real double m x n array holding values (column-major), or zeros when values is empty.
MEXHOST_API mxArray* createDouble(std::size_t rows, std::size_t cols, const std::vector<double>& values = {});
// A real, full numeric or logical array holding values (column-major) as
// the class holds them: converted as the host converts, integers rounded to
// nearest and saturated, NaN to 0, logical true for anything but 0.
MEXHOST_API mxArray* createNumeric(ArrayClass cls, std::size_t rows, std::size_t cols,
                                   const std::vector<double>& values);
// An array of any class and flags, zero-filled, for the type checks.
MEXHOST_API mxArray* createArray(ArrayClass cls, std::size_t rows, std::size_t cols, bool complex, bool sparse);
// An array that claims rows x cols elements of its class but holds no data:
// reading it fails loudly. For the shapes no host could hold.
MEXHOST_API mxArray* createShapeOnly(std::size_t rows, std::size_t cols, ArrayClass cls = ArrayClass::Double,
                                     bool complex = false, bool sparse = false);
// A 1 x n char array holding text, or a string scalar (an object the host
// turns into a char array through "char").
MEXHOST_API mxArray* createText(const std::string& text, ArrayClass cls = ArrayClass::Char);
// A rows x cols cell array taking ownership of elements (column-major; null
// or missing elements are unset, as in a new cell array of the host's).
MEXHOST_API mxArray* createCell(std::size_t rows, std::size_t cols, std::vector<mxArray*> elements);
MEXHOST_API void destroyArray(mxArray* array);
// The same elements read with other dimensions (rows * cols of them).
MEXHOST_API void reshape(mxArray* array, std::size_t rows, std::size_t cols);
// Throws std::logic_error when a sparse array is malformed: column starts
// that decrease or do not end at its room for entries, or rows not ascending
// within a column.
MEXHOST_API void checkSparse(const mxArray* array);
// The doubles of a double array, column-major; a sparse one checked, then
// filled out with its zeros.
MEXHOST_API std::vector<double> fullValues(const mxArray* array);
// The elements of a double array, or of a numeric or logical one as double(x)
// gives them; the character codes of text.
MEXHOST_API std::vector<double> values(const mxArray* array);

// Resolves mexFunction in the shared library at path; throws when it cannot.
MEXHOST_API MexFunction loadModule(const std::string& path);

// Calls fn as the host does; inputs are not owned. Throws std::logic_error when
// the call wrote past the end of any scratch block.
MEXHOST_API CallOutcome callGateway(MexFunction fn, const char* name, int nlhs,
                                    const std::vector<const mxArray*>& inputs);

// Scratch taken outside callGateway (kernel tests) lives until this is called.
MEXHOST_API std::size_t releaseScratch();

// The identifier of the error the host raises when it cannot make a result.
constexpr const char* kHostOutOfMemory = "standin:outOfMemory";

// Bytes the host hands out to one call, scratch and results together, before
// it refuses: mxCalloc then returns null and mxCreateDoubleMatrix raises
// kHostOutOfMemory, as a host with that much memory would. Default: no limit.
MEXHOST_API void setMemoryLimit(std::size_t bytes);

// Raises or lowers the interrupt flag the stand-in exports under Octave's
// name, octave_interrupt_state, as Ctrl-C and the host's handling of it
// would; any thread may call it, the modules read it from theirs.
MEXHOST_API void setInterrupt(bool raised);

}  // namespace standin

#endif
