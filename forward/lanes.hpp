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
// this needs exists on x86-64 GNU/Linux only, and ThreadSanitizer's runtime
// is not up yet when the loader picks. Clang names the picker apart from the
// function, so that only calls from its own file reach it: a kernel with
// copies is called through a plain function beside it.
#if defined(__SANITIZE_THREAD__)
#define FORWARD_THREAD_SANITIZER
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define FORWARD_THREAD_SANITIZER
#endif
#endif
#if defined(__x86_64__) && defined(__gnu_linux__) && !defined(FORWARD_THREAD_SANITIZER)
#define FORWARD_WIDE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define FORWARD_WIDE_CLONES
#endif

// For the helpers of such a kernel: inlined into each copy, they run with its
// instruction set.
#define FORWARD_INLINE inline __attribute__((always_inline))

#endif
