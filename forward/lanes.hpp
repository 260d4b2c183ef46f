// Four doubles at a time for the forward kernels, as GCC vector extensions:
// each operation on Lanes is the IEEE operation on every lane, so a kernel
// gives the bits its scalar form would. Vectors never cross a function
// boundary: their calling convention differs between the AVX2 and baseline
// copies.
#ifndef FORWARD_LANES_HPP
#define FORWARD_LANES_HPP

#include <cstdint>

constexpr std::int32_t kLanes = 4;

typedef double Lanes __attribute__((vector_size(kLanes * sizeof(double))));
typedef std::int64_t LaneMask __attribute__((vector_size(kLanes * sizeof(double))));

// An AVX2 copy of a kernel beside the baseline one, picked when the module
// loads on a processor that has it. The build never contracts into fused
// multiply-add, so both copies run the same operations. The loader support
// this needs exists on x86-64 GNU/Linux only.
#if defined(__x86_64__) && defined(__gnu_linux__)
#define FORWARD_WIDE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define FORWARD_WIDE_CLONES
#endif

// For the helpers of such a kernel: inlined into each copy, they run with its
// instruction set.
#define FORWARD_INLINE inline __attribute__((always_inline))

#endif
