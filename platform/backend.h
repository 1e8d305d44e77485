// What the shared files of the platform layer need from the backend of the
// build (*_sim.cpp or *_win32.cpp). Internal to the platform layer.
#pragma once

#include <cstddef>

namespace kx::plat::backend {

// One raw block of at least size bytes (zero-filled when asked), or null.
void* RawAlloc(std::size_t size, bool zero);
// Frees a block of RawAlloc and returns the size it was asked for.
std::size_t RawFree(void* p);

}  // namespace kx::plat::backend
