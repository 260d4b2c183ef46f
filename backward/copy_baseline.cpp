// The backward kernels for any processor the build targets.
#include "backward/subset_backward.hpp"

const BackwardCopy* const kBaselineBackward = &BackwardCopyOf<4>::kernels;
