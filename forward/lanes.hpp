// Doubles a vector at a time for the forward kernels, as GCC vector
// extensions: each operation on a vector is the IEEE operation on every
// lane, so a kernel gives the bits its scalar form would. The kernels are
// templates on the lane count, always inlined into the copy of each
// instruction set (forward/kernel_copies.cpp), so that vectors never cross a
// function boundary, whose calling convention differs between the copies.
#ifndef FORWARD_LANES_HPP
#define FORWARD_LANES_HPP

#include <cstdint>

// The widest vectors any copy takes: what columns are padded for.
constexpr std::int32_t kMaxLanes = 8;

typedef double Lanes2 __attribute__((vector_size(2 * sizeof(double))));
typedef std::int64_t LaneMask2 __attribute__((vector_size(2 * sizeof(double))));
typedef double Lanes4 __attribute__((vector_size(4 * sizeof(double))));
typedef std::int64_t LaneMask4 __attribute__((vector_size(4 * sizeof(double))));
typedef double Lanes8 __attribute__((vector_size(8 * sizeof(double))));
typedef std::int64_t LaneMask8 __attribute__((vector_size(8 * sizeof(double))));

template <std::int32_t lanes>
struct LaneTypes;
template <>
struct LaneTypes<2> {
    using Lanes = Lanes2;
    using Mask = LaneMask2;
};
template <>
struct LaneTypes<4> {
    using Lanes = Lanes4;
    using Mask = LaneMask4;
};
template <>
struct LaneTypes<8> {
    using Lanes = Lanes8;
    using Mask = LaneMask8;
};

// Helpers of the kernels: inlined into each copy, they run with its
// instruction set. Whatever a helper calls out of line runs the baseline.
#define FORWARD_INLINE inline __attribute__((always_inline))

// 0, 1, 2, ... into the lanes of v (by reference: a vector passed or
// returned by value would take the baseline's calling convention).
template <class V>
FORWARD_INLINE void setLaneIndices(V& v) {
    for (std::int32_t lane = 0; lane < static_cast<std::int32_t>(sizeof(V) / sizeof(v[0])); ++lane) v[lane] = lane;
}

#endif
