// Host scratch as the kernels see it, without any host header.
#ifndef KERNEL_SCRATCH_HPP
#define KERNEL_SCRATCH_HPP

#include <cstddef>

// count x size zero-filled bytes from the host allocator, valid until the
// gateway returns; the host reclaims them, callers never release them.
// Defined by the host glue; does not return when the host is out of memory.
void* scratchAlloc(std::size_t count, std::size_t size);

template <class T>
T* scratchArray(std::size_t count) {
    return static_cast<T*>(scratchAlloc(count, sizeof(T)));
}

#endif
