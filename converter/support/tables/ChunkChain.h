// ChunkChain: the storage of the converter's pen and font tables, a chain of fixed
// chunks of 100 entries each.
//
// A chunk is one zero-filled allocation holding its 100 entries followed by the pointer
// to the next chunk (null in the last chunk). The first chunk is allocated by Create;
// Append allocates and links a further chunk when it adds an entry while the count is a
// positive multiple of 100. Entries are never removed or changed once added; Clear frees
// every chunk.
//
// Entries are addressed by a 1-based position n: entry n lies in chunk (n - 1) / 100,
// counted from the first, at slot (n - 1) % 100.
//
// Edge cases: Append on a chain that was not created (or was cleared) adds nothing
// (kNoChain); a further chunk that cannot be allocated leaves the chain as it was
// (kNoMemory); At(n) with n outside 1..Count() is null. Not thread-safe (the converter
// has one thread).
#pragma once

#include <cstddef>
#include <type_traits>

inline constexpr int kChunkEntries = 100;

// Allocates `bytes` zero-filled bytes, or returns null. The default is calloc; a test
// installs its own to make an allocation fail (a block it does give must be one that
// free releases), and nullptr restores the default.
using ChunkAllocator = void* (*)(std::size_t bytes);
void ChunkChain_SetAllocatorForTesting(ChunkAllocator allocator);
// A zero-filled block from the current allocator (null when memory is short), and its
// release (null is ignored).
void* ChunkChain_Allocate(std::size_t bytes);
void ChunkChain_Free(void* block);

enum class ChunkAppend { kAdded, kNoChain, kNoMemory };

template <class Entry>
class ChunkChain {
    // Chunks are zero-filled raw memory and are copied out byte for byte.
    static_assert(std::is_trivially_copyable_v<Entry> && std::is_trivially_destructible_v<Entry>);

  public:
    ChunkChain() = default;
    ChunkChain(const ChunkChain&) = delete;
    ChunkChain& operator=(const ChunkChain&) = delete;
    ~ChunkChain() { Clear(); }

    // Frees any chunks held, then allocates the first, empty chunk. False (and no
    // chain) when it cannot be allocated.
    bool Create() {
        Clear();
        first_ = NewChunk();
        last_ = first_;
        return first_ != nullptr;
    }

    [[nodiscard]] bool Exists() const { return first_ != nullptr; }
    [[nodiscard]] int Count() const { return count_; }

    // Adds `entry` as entry Count() + 1.
    ChunkAppend Append(const Entry& entry) {
        if (first_ == nullptr) return ChunkAppend::kNoChain;
        if (count_ > 0 && count_ % kChunkEntries == 0) {
            Chunk* chunk = NewChunk();
            if (chunk == nullptr) return ChunkAppend::kNoMemory;
            last_->next = chunk;
            last_ = chunk;
        }
        last_->entries[count_ % kChunkEntries] = entry;
        ++count_;
        return ChunkAppend::kAdded;
    }

    // Entry n (1-based), found by walking the chain; null outside 1..Count().
    [[nodiscard]] const Entry* At(int n) const {
        if (n < 1 || n > count_) return nullptr;
        const Chunk* chunk = first_;
        for (int i = (n - 1) / kChunkEntries; i > 0; --i) chunk = chunk->next;
        return &chunk->entries[(n - 1) % kChunkEntries];
    }

    // The first entry, in order, for which `matches` is true; null when none is.
    template <class Predicate>
    [[nodiscard]] const Entry* FindFirst(Predicate matches) const {
        int left = count_;
        for (const Chunk* chunk = first_; chunk != nullptr && left > 0; chunk = chunk->next) {
            for (int slot = 0; slot < kChunkEntries && left > 0; ++slot, --left) {
                if (matches(chunk->entries[slot])) return &chunk->entries[slot];
            }
        }
        return nullptr;
    }

    // Frees every chunk; the chain no longer exists.
    void Clear() {
        while (first_ != nullptr) {
            Chunk* next = first_->next;
            ChunkChain_Free(first_);
            first_ = next;
        }
        last_ = nullptr;
        count_ = 0;
    }

  private:
    struct Chunk {
        Entry entries[kChunkEntries];
        Chunk* next;
    };
    static_assert(std::is_trivially_copyable_v<Chunk>);

    static Chunk* NewChunk() { return static_cast<Chunk*>(ChunkChain_Allocate(sizeof(Chunk))); }

    Chunk* first_ = nullptr;
    Chunk* last_ = nullptr;
    int count_ = 0;
};
