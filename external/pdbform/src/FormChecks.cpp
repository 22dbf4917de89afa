// The frame checks run in the order the data depends on itself: size, head version,
// directory (magic, revision, block count, CRC, entries), section bounds, then each
// section's CRC and padding, then the element index slot by slot and each live
// record's head. Every value is loaded with the checked little-endian helpers; a
// count is compared with the bytes that hold it before anything is allocated from it.
#include "FormChecks.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "ByteOrder.h"
#include "FormLayout.h"
#include "pdbform/Crc32.h"
#include "pdbform/Element.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"

namespace pdbform::form {
namespace {

Status Fail(std::string& reason, Status s, const std::string& why) {
    reason = why;
    return s;
}

// Every section inside the file, after the directory, and no two sharing a block.
Status CheckBounds(const std::vector<SectionEntry>& entries, std::uint32_t blocks,
                   std::string& reason) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;  // [first, end) blocks
    for (const SectionEntry& e : entries) {
        const std::uint64_t n = (std::uint64_t{e.length} + kBlockSize - 1) / kBlockSize;
        if (e.firstBlock < layout::kFirstSectionBlock || e.firstBlock + n > blocks) {
            return Fail(reason, Status::kBadSectionBounds, "section " + std::to_string(e.id));
        }
        if (n > 0) ranges.emplace_back(e.firstBlock, e.firstBlock + n);
    }
    std::sort(ranges.begin(), ranges.end());
    for (std::size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].first < ranges[i - 1].second) {
            return Fail(reason, Status::kBadSectionBounds,
                        "sections overlap at block " + std::to_string(ranges[i].first));
        }
    }
    return Status::kOk;
}

}  // namespace

const SectionEntry* Directory::Find(std::uint16_t id) const {
    for (const SectionEntry& e : entries) {
        if (e.id == id) return &e;
    }
    return nullptr;
}

Status CheckFileSize(std::uint64_t size, std::string& reason) {
    if (size % kBlockSize != 0 || size < layout::kMinBlocks * kBlockSize || size > kMaxFileSize) {
        return Fail(reason, Status::kBadFileSize, "size " + std::to_string(size));
    }
    return Status::kOk;
}

Status CheckVersion(std::span<const std::uint8_t> head, std::string& reason) {
    std::uint16_t version = 0;
    (void)LoadU16(head, 0, version);
    if (version < layout::kMinVersion || version > layout::kMaxVersion) {
        return Fail(reason, Status::kBadVersion, "version " + std::to_string(version));
    }
    return Status::kOk;
}

Status ReadDirectory(std::span<const std::uint8_t> dir, std::uint64_t fileSize, Directory& out,
                     std::string& reason) {
    using namespace layout;
    Directory d;
    if (dir.size() != kBlockSize) return Fail(reason, Status::kBadFileSize, "directory");
    if (std::all_of(dir.begin(), dir.end(), [](std::uint8_t b) { return b == 0; })) {
        // No directory: a drawing that has its head and nothing else yet.
        out = std::move(d);
        return Status::kOk;
    }
    if (std::memcmp(dir.data(), kMagic, sizeof kMagic) != 0) {
        return Fail(reason, Status::kBadMagic, "directory");
    }
    std::uint16_t revision = 0;
    std::uint32_t k = 0, crc = 0;
    (void)LoadU16(dir, 8, revision);
    (void)LoadU16(dir, 10, d.flags);
    (void)LoadU32(dir, 12, d.blocks);
    (void)LoadU32(dir, 16, d.generation);
    (void)LoadU32(dir, 20, d.nextPosition);
    (void)LoadU32(dir, 24, k);
    (void)LoadU32(dir, kDirCrcOffset, crc);
    if (revision != kRevision) return Fail(reason, Status::kBadRevision, std::to_string(revision));
    if (d.blocks != fileSize / kBlockSize) {
        return Fail(reason, Status::kBadBlockCount, std::to_string(d.blocks));
    }
    std::array<std::uint8_t, kBlockSize> dirCopy;
    std::copy(dir.begin(), dir.end(), dirCopy.begin());
    (void)StoreU32(dirCopy, kDirCrcOffset, 0);
    if (Crc32(dirCopy) != crc) return Fail(reason, Status::kBadDirectoryCrc, "directory");
    if (k > kMaxSections) {
        return Fail(reason, Status::kBadSectionTable, std::to_string(k) + " entries");
    }
    if (d.nextPosition == 0) return Fail(reason, Status::kBadIndex, "next position 0");

    d.entries.resize(k);
    for (std::uint32_t i = 0; i < k; ++i) {
        SectionEntry& e = d.entries[i];
        const std::size_t at = kDirEntriesOffset + i * kDirEntrySize;
        std::uint16_t zero = 0;
        (void)LoadU16(dir, at, e.id);
        (void)LoadU16(dir, at + 2, zero);
        (void)LoadU32(dir, at + 4, e.firstBlock);
        (void)LoadU32(dir, at + 8, e.length);
        (void)LoadU32(dir, at + 12, e.count);
        (void)LoadU32(dir, at + 16, e.crc);
        if (zero != 0) return Fail(reason, Status::kBadSectionTable, "entry " + std::to_string(i));
        for (std::uint32_t j = 0; j < i; ++j) {
            if (d.entries[j].id == e.id) {
                return Fail(reason, Status::kBadSectionTable,
                            "section " + std::to_string(e.id) + " twice");
            }
        }
    }
    if (Status s = CheckBounds(d.entries, d.blocks, reason); s != Status::kOk) return s;
    d.present = true;
    out = std::move(d);
    return Status::kOk;
}

Status CheckSectionData(const SectionEntry& e, const ReadAt& read, std::string& reason) {
    // Pieces of 64 KiB keep the check's memory fixed however large the section.
    constexpr std::size_t kPiece = 64 * 1024;
    std::vector<std::uint8_t> piece(kPiece);
    const std::uint64_t start = std::uint64_t{e.firstBlock} * kBlockSize;
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < e.length;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, e.length - done));
        if (!read(start + done, std::span(piece).first(n))) {
            return Fail(reason, Status::kReadFailed, "section " + std::to_string(e.id));
        }
        crc = Crc32Update(crc, std::span(piece).first(n));
        done += n;
    }
    if (crc != e.crc)
        return Fail(reason, Status::kBadSectionCrc, "section " + std::to_string(e.id));
    const std::uint64_t end = start + e.length;
    const std::uint64_t padEnd = (end + kBlockSize - 1) / kBlockSize * kBlockSize;
    const auto pad = std::span(piece).first(static_cast<std::size_t>(padEnd - end));
    if (!read(end, pad)) {
        return Fail(reason, Status::kReadFailed, "padding of section " + std::to_string(e.id));
    }
    if (!std::all_of(pad.begin(), pad.end(), [](std::uint8_t b) { return b == 0; })) {
        return Fail(reason, Status::kBadSectionCrc, "padding of section " + std::to_string(e.id));
    }
    return Status::kOk;
}

Status CheckIndexSize(const SectionEntry* index, std::uint32_t nextPosition, std::string& reason) {
    const std::uint64_t needed = layout::IndexBlocksFor(nextPosition);
    const std::uint64_t have = index ? index->count : 0;
    if (have != needed || (index && index->length != needed * kBlockSize)) {
        return Fail(reason, Status::kBadIndex, "index blocks do not match the next position");
    }
    return Status::kOk;
}

Status CheckIndexHeader(std::span<const std::uint8_t> block, std::uint64_t b,
                        std::uint32_t& declaredLive, std::string& reason) {
    std::uint32_t magic = 0, first = 0, zero = 0;
    declaredLive = 0;
    if (!LoadU32(block, 0, magic) || !LoadU32(block, 4, first) ||
        !LoadU32(block, 8, declaredLive) || !LoadU32(block, 12, zero) ||
        magic != layout::kIndexMagic || first != b * 128 || zero != 0) {
        return Fail(reason, Status::kBadIndex, "header of index block " + std::to_string(b));
    }
    return Status::kOk;
}

Status ReadSlot(std::span<const std::uint8_t> block, std::uint64_t b, std::uint32_t s,
                std::uint32_t nextPosition, Slot& out, std::string& reason) {
    const std::uint64_t pos = b * 128 + s;
    const std::size_t at = std::size_t{s} * layout::kSlotSize;
    Slot slot;
    std::uint32_t pad = 0;
    const bool loaded = s >= 1 && s < 128 && LoadU32(block, at, slot.offset) &&
                        LoadU32(block, at + 4, slot.length) && LoadI16(block, at + 8, slot.kind) &&
                        LoadU16(block, at + 10, slot.state) && LoadU32(block, at + 12, pad);
    const bool beyond = pos >= nextPosition;
    if (!loaded || pad != 0 || slot.state > kSlotRemoved ||
        (beyond && slot.state != kSlotNeverUsed) ||
        (slot.state == kSlotNeverUsed &&
         (slot.offset | slot.length | static_cast<std::uint16_t>(slot.kind)) != 0)) {
        return Fail(reason, Status::kBadIndex, "slot of position " + std::to_string(pos));
    }
    out = slot;
    return Status::kOk;
}

Status CheckLiveCount(std::uint32_t declaredLive, std::uint32_t counted, std::uint64_t b,
                      std::string& reason) {
    if (declaredLive != counted) {
        return Fail(reason, Status::kBadIndex, "live count of index block " + std::to_string(b));
    }
    return Status::kOk;
}

Status CheckLiveSlot(const Slot& slot, std::uint32_t position, std::uint64_t storeSize,
                     std::uint64_t& liveBytes, std::string& reason) {
    liveBytes += slot.length;
    if (!FitsIn(storeSize, slot.offset, slot.length) || liveBytes > storeSize) {
        return Fail(reason, Status::kBadRecord,
                    "record of position " + std::to_string(position) + " outside the store");
    }
    return Status::kOk;
}

Status CheckRecordHead(std::int16_t kind, std::uint16_t fixedLength, bool hasRest,
                       std::uint32_t restLength, const Slot& slot, std::string& reason) {
    if (slot.length < 4 || kind != slot.kind) {
        return Fail(reason, Status::kBadRecord, "kind differs from its slot");
    }
    const auto expected = FixedPartSize(BaseKind(kind));
    if (expected && *expected != fixedLength) {
        return Fail(reason, Status::kBadRecord,
                    "fixed part of kind " + std::to_string(kind) + " is " +
                        std::to_string(fixedLength) + " bytes");
    }
    if (!hasRest || slot.length != 8 + std::uint64_t{fixedLength} + restLength) {
        return Fail(reason, Status::kBadRecord, "record length does not match its parts");
    }
    return Status::kOk;
}

}  // namespace pdbform::form
