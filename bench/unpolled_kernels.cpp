// The kernels built with MEMBERSHIP_MEX_UNPOLLED, in a library whose other
// symbols stay hidden, so that its copies never stand in for the polled ones
// of the program that loads it.
#include "kernel_table.hpp"

extern "C" __attribute__((visibility("default"))) KernelTable unpolledKernels() { return kernelsOfThisBuild(); }
