// ChunkChain: the allocation of chunks.
//
// Chunks are raw zero-filled memory (calloc) rather than new-expressions: a chunk is
// "100 zeroed entries and a null link" from the moment it exists, and no allocation
// failure can surface as an exception in code that reports failures by result.
#include "support/tables/ChunkChain.h"

#include <cstdlib>

namespace {

void* DefaultAllocate(std::size_t bytes) { return std::calloc(1, bytes); }

ChunkAllocator g_allocator = DefaultAllocate;

}  // namespace

void ChunkChain_SetAllocatorForTesting(ChunkAllocator allocator) {
    g_allocator = allocator != nullptr ? allocator : DefaultAllocate;
}

void* ChunkChain_Allocate(std::size_t bytes) { return g_allocator(bytes); }

void ChunkChain_Free(void* block) { std::free(block); }
