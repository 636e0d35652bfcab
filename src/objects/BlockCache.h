// BlockCache: the small host blocks of strings (OString objects and their
// character blocks) kept per thread for reuse instead of going back to the C
// library: a program that makes and drops strings by the hundred thousand then
// allocates from a free list. Blocks are plain malloc blocks, so one that is not
// kept is simply freed; a thread keeps at most kMaxCachedBytes.
#pragma once

#include <cstddef>

namespace blockcache {

constexpr size_t kMaxBlockBytes = 128;
constexpr size_t kMaxCachedBytes = size_t(32) << 20;

// A block of at least `bytes` bytes, or null when the C library has none.
void* take(size_t bytes);
// Hands back a block from take() of the same `bytes`.
void give(void* block, size_t bytes);

}  // namespace blockcache
