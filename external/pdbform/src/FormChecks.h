// The checks of the file's frame that both readers make: the whole-file reader
// (Reader.cpp, which holds the file in memory) and the streaming view (FileView.cpp,
// which reads pieces of it on demand). Each check takes the bytes it judges, so the
// two readers refuse exactly the same files with the same statuses.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "pdbform/Status.h"

namespace pdbform::form {

// One entry of the directory.
struct SectionEntry {
    std::uint16_t id = 0;
    std::uint32_t firstBlock = 0;
    std::uint32_t length = 0;
    std::uint32_t count = 0;
    std::uint32_t crc = 0;
};

// The directory (block 1) as read and checked.
struct Directory {
    bool present = false;  // false: all zero, an empty drawing of its head
    std::uint16_t flags = 0;
    std::uint32_t blocks = 0;
    std::uint32_t generation = 0;
    std::uint32_t nextPosition = 1;
    std::vector<SectionEntry> entries;

    // The entry of section `id`, or nullptr.
    [[nodiscard]] const SectionEntry* Find(std::uint16_t id) const;
};

// The size rules: a multiple of 2048, at least 20 blocks, at most kMaxFileSize.
// kOk or kBadFileSize.
[[nodiscard]] Status CheckFileSize(std::uint64_t size, std::string& reason);

// The head block's version word (250-260). kOk or kBadVersion.
[[nodiscard]] Status CheckVersion(std::span<const std::uint8_t> head, std::string& reason);

// Reads and checks the 2048 directory bytes of a file of `fileSize` bytes: magic,
// revision, block count, CRC, number of entries, reserved words, ids given twice,
// next position, section bounds and overlaps. An all-zero directory gives
// `present` false and kOk.
[[nodiscard]] Status ReadDirectory(std::span<const std::uint8_t> dir, std::uint64_t fileSize,
                                   Directory& out, std::string& reason);

// Fills `into` with the file's bytes at `offset`; false on a read error or when the
// file ends before.
using ReadAt = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> into)>;

// A section's CRC and the zero padding after its length to the end of its last
// block, read through `read` in pieces of bounded size. kOk, kBadSectionCrc, or
// kReadFailed when `read` fails.
[[nodiscard]] Status CheckSectionData(const SectionEntry& entry, const ReadAt& read,
                                      std::string& reason);

// The element index section (may be nullptr: none) against the next position: exactly
// the index blocks the next position needs. kOk or kBadIndex.
[[nodiscard]] Status CheckIndexSize(const SectionEntry* index, std::uint32_t nextPosition,
                                    std::string& reason);

inline constexpr std::uint16_t kSlotNeverUsed = 0;
inline constexpr std::uint16_t kSlotLive = 1;
inline constexpr std::uint16_t kSlotRemoved = 2;

// One slot of the element index.
struct Slot {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::int16_t kind = 0;
    std::uint16_t state = kSlotNeverUsed;
};

// The header of index block `b` (the block's first 16 bytes): magic, first position,
// reserved word; `declaredLive` gets its live count. kOk or kBadIndex.
[[nodiscard]] Status CheckIndexHeader(std::span<const std::uint8_t> block, std::uint64_t b,
                                      std::uint32_t& declaredLive, std::string& reason);

// Slot `s` (1-127) of index block `b`: reserved word, state 0-2, nothing at or after
// `nextPosition`, a never-used slot all zero. kOk or kBadIndex.
[[nodiscard]] Status ReadSlot(std::span<const std::uint8_t> block, std::uint64_t b, std::uint32_t s,
                              std::uint32_t nextPosition, Slot& out, std::string& reason);

// The header's live count against the live slots counted. kOk or kBadIndex.
[[nodiscard]] Status CheckLiveCount(std::uint32_t declaredLive, std::uint32_t counted,
                                    std::uint64_t b, std::string& reason);

// A live slot's record must lie inside the store, and the live records together
// may not be longer than the store (`liveBytes` accumulates over the index).
// kOk or kBadRecord.
[[nodiscard]] Status CheckLiveSlot(const Slot& slot, std::uint32_t position,
                                   std::uint64_t storeSize, std::uint64_t& liveBytes,
                                   std::string& reason);

// The head of an element record: `kind` and fixed length `fixedLength` from its first
// four bytes; `restLength` the u32 after the fixed part when the record holds it
// (`hasRest`). Checks the kind against its slot, F against the kind's table and
// 8 + F + R against the slot's length. kOk or kBadRecord.
[[nodiscard]] Status CheckRecordHead(std::int16_t kind, std::uint16_t fixedLength, bool hasRest,
                                     std::uint32_t restLength, const Slot& slot,
                                     std::string& reason);

}  // namespace pdbform::form
