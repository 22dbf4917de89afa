// The fixed numbers of the directory and the element index, shared by the reader
// and the writer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pdbform::layout {

inline constexpr std::uint8_t kMagic[8] = {'M', 'V', 'N', 'P', 'D', 'B', 'F', 0};
inline constexpr std::uint16_t kRevision = 1;
inline constexpr std::size_t kMinBlocks = 20;
inline constexpr std::size_t kFirstSectionBlock = 2;
inline constexpr std::size_t kMaxSections = 100;
inline constexpr std::size_t kDirCrcOffset = 28;
inline constexpr std::size_t kDirEntriesOffset = 32;
inline constexpr std::size_t kDirEntrySize = 20;
inline constexpr std::size_t kSlotSize = 16;
inline constexpr std::uint32_t kIndexMagic = 0x58444945;  // "EIDX" read as a u32
inline constexpr std::uint16_t kMinVersion = 250;
inline constexpr std::uint16_t kMaxVersion = 260;

// Index blocks needed for positions below `nextPosition`.
[[nodiscard]] constexpr std::uint64_t IndexBlocksFor(std::uint32_t nextPosition) {
    return nextPosition <= 1 ? 0 : (std::uint64_t{nextPosition} - 1) / 128 + 1;
}

static_assert(kDirEntriesOffset + kMaxSections * kDirEntrySize <= 2048);

}  // namespace pdbform::layout
