// Stand-in for the host's MEX interface: the subset of mx*/mex* calls the
// modules use, so that the gateways can be built and exercised without a
// MATLAB or Octave session. Names and signatures follow the host API.
#ifndef STANDIN_MEX_H
#define STANDIN_MEX_H

#include <cstddef>

// On Windows the host's calls live in DLLs: exported while building the
// stand-in (STANDIN_HOST_BUILD), imported by everything that calls them.
#if defined(_WIN32) && defined(STANDIN_HOST_BUILD)
#define MEXHOST_API __declspec(dllexport)
#elif defined(_WIN32)
#define MEXHOST_API __declspec(dllimport)
#else
#define MEXHOST_API __attribute__((visibility("default")))
#endif

typedef struct mxArray_tag mxArray;
// As under the host's 32-bit-compatible API: sizes and indices are int, and
// the plain names of the calls that take them resolve to the _700 entry points.
typedef int mwSize;
typedef int mwIndex;

enum mxComplexity { mxREAL = 0, mxCOMPLEX };

// The host's class numbers, in the host's order: the Windows modules compiled
// against this header call the host's own library.
typedef enum {
    mxUNKNOWN_CLASS = 0,
    mxCELL_CLASS,
    mxSTRUCT_CLASS,
    mxLOGICAL_CLASS,
    mxCHAR_CLASS,
    mxVOID_CLASS,
    mxDOUBLE_CLASS,
    mxSINGLE_CLASS,
    mxINT8_CLASS,
    mxUINT8_CLASS,
    mxINT16_CLASS,
    mxUINT16_CLASS,
    mxINT32_CLASS,
    mxUINT32_CLASS,
    mxINT64_CLASS,
    mxUINT64_CLASS,
    mxFUNCTION_CLASS
} mxClassID;

typedef bool mxLogical;

#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700
#define mxCreateSparse mxCreateSparse_700
#define mxGetIr mxGetIr_700
#define mxGetJc mxGetJc_700
#define mxGetString mxGetString_700
#define mxGetCell mxGetCell_700
#define mxCreateCellMatrix mxCreateCellMatrix_700
#define mxSetCell mxSetCell_700

extern "C" {
MEXHOST_API double* mxGetPr(const mxArray* array);
MEXHOST_API void* mxGetData(const mxArray* array);
MEXHOST_API mxClassID mxGetClassID(const mxArray* array);
MEXHOST_API std::size_t mxGetM(const mxArray* array);
MEXHOST_API std::size_t mxGetN(const mxArray* array);
MEXHOST_API std::size_t mxGetNumberOfElements(const mxArray* array);
MEXHOST_API bool mxIsDouble(const mxArray* array);
MEXHOST_API bool mxIsComplex(const mxArray* array);
MEXHOST_API bool mxIsSparse(const mxArray* array);
MEXHOST_API bool mxIsChar(const mxArray* array);
MEXHOST_API bool mxIsClass(const mxArray* array, const char* name);
MEXHOST_API const char* mxGetClassName(const mxArray* array);
MEXHOST_API void* mxCalloc(std::size_t count, std::size_t size);
MEXHOST_API mxArray* mxCreateDoubleMatrix_700(int rows, int cols, mxComplexity complexity);
MEXHOST_API mxArray* mxCreateString(const char* text);
MEXHOST_API mxArray* mxCreateSparse_700(int rows, int cols, int nzmax, mxComplexity complexity);
MEXHOST_API int* mxGetIr_700(const mxArray* array);
MEXHOST_API int* mxGetJc_700(const mxArray* array);
MEXHOST_API int mxGetString_700(const mxArray* array, char* text, int size);
MEXHOST_API void mxDestroyArray(mxArray* array);
MEXHOST_API bool mxIsCell(const mxArray* array);
MEXHOST_API mxArray* mxGetCell_700(const mxArray* array, int index);
MEXHOST_API mxArray* mxCreateCellMatrix_700(int rows, int cols);
MEXHOST_API void mxSetCell_700(mxArray* array, int index, mxArray* value);
// Calls a host function by name; the stand-in knows "char" of a string scalar.
MEXHOST_API int mexCallMATLAB(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[], const char* name);
MEXHOST_API const char* mexFunctionName(void);
[[noreturn]] MEXHOST_API void mexErrMsgIdAndTxt(const char* id, const char* format, ...);

// The entry point each module defines.
void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
}

#endif
