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
typedef std::size_t mwSize;

enum mxComplexity { mxREAL = 0, mxCOMPLEX };

// As under the host's 32-bit-compatible API, the plain name resolves to the
// _700 entry point.
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700

extern "C" {
MEXHOST_API double* mxGetPr(const mxArray* array);
MEXHOST_API std::size_t mxGetM(const mxArray* array);
MEXHOST_API std::size_t mxGetN(const mxArray* array);
MEXHOST_API std::size_t mxGetNumberOfElements(const mxArray* array);
MEXHOST_API bool mxIsDouble(const mxArray* array);
MEXHOST_API bool mxIsComplex(const mxArray* array);
MEXHOST_API bool mxIsSparse(const mxArray* array);
MEXHOST_API const char* mxGetClassName(const mxArray* array);
MEXHOST_API void* mxCalloc(std::size_t count, std::size_t size);
MEXHOST_API mxArray* mxCreateDoubleMatrix_700(int rows, int cols, mxComplexity complexity);
MEXHOST_API const char* mexFunctionName(void);
[[noreturn]] MEXHOST_API void mexErrMsgIdAndTxt(const char* id, const char* format, ...);

// The entry point each module defines.
void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
}

#endif
