// The path kernels for processors with AVX-512: its foundation (F) and the
// half-width forms of its instructions (VL). modules/SOURCES compiles this
// file with -mavx512f -mavx512vl, and nothing here runs unless the processor
// has both (decode/path_copies.cpp).
#include "decode/path_kernels.hpp"

#if defined(__AVX512F__) && defined(__AVX512VL__)
const PathCopy* const kAvx512Path = &PathCopyOf<8>::kernels;
#else
const PathCopy* const kAvx512Path = nullptr;
#endif
