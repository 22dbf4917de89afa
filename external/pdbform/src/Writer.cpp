// Writing lays the sections out in id order from block 2, each starting on a block
// boundary and zero-padded to the next, pads the file to at least 20 blocks, and
// fills in the directory last, when every section's place and CRC are known.
// Removed elements keep their slot (state 2, no record): the store holds live
// records only, which is how a rewrite compacts the file.
#include <algorithm>

#include "ByteOrder.h"
#include "Codec.h"
#include "FormLayout.h"
#include "Sections.h"
#include "pdbform/Crc32.h"
#include "pdbform/FormIo.h"
#include "pdbform/Positions.h"
#include "platform/AtomicWrite.h"

namespace pdbform {
namespace {

struct Laid {
    std::uint16_t id;
    std::uint32_t count;
    std::vector<std::uint8_t> bytes;
};

void BuildElements(const PdbFile& f, Laid& index, Laid& store) {
    using namespace layout;
    const std::uint64_t blocks = IndexBlocksFor(f.NextPosition());
    index.bytes.assign(blocks * kBlockSize, 0);
    index.count = static_cast<std::uint32_t>(blocks);
    std::vector<std::uint32_t> liveIn(blocks, 0);
    codec::Sink records(store.bytes);
    auto slot = [&](std::uint32_t pos) {
        return std::span<std::uint8_t>(index.bytes)
            .subspan(std::size_t{pos} * kSlotSize, kSlotSize);
    };
    for (const auto& [pos, e] : f.Elements()) {
        const auto s = slot(pos);
        (void)StoreU32(s, 0, static_cast<std::uint32_t>(store.bytes.size()));
        (void)StoreU32(s, 4, static_cast<std::uint32_t>(8 + e.fixed.size() + e.rest.size()));
        (void)StoreI16(s, 8, e.kind);
        (void)StoreU16(s, 10, 1);
        records.I16(e.kind);
        records.U16(static_cast<std::uint16_t>(e.fixed.size()));
        records.Bytes(e.fixed);
        records.U32(static_cast<std::uint32_t>(e.rest.size()));
        records.Bytes(e.rest);
        ++liveIn[pos / 128];
        ++store.count;
    }
    for (std::uint32_t pos : f.RemovedPositions()) (void)StoreU16(slot(pos), 10, 2);
    for (std::uint64_t b = 0; b < blocks; ++b) {
        const auto h = slot(static_cast<std::uint32_t>(b * 128));
        (void)StoreU32(h, 0, kIndexMagic);
        (void)StoreU32(h, 4, static_cast<std::uint32_t>(b * 128));
        (void)StoreU32(h, 8, liveIn[b]);
    }
}

}  // namespace

Status Serialize(const PdbFile& f, std::vector<std::uint8_t>& out, std::string* reason) {
    using namespace layout;
    std::string why;
    auto fail = [&](Status s) {
        if (reason) *reason = why;
        return s;
    };
    if (Status s = f.CheckReferences(&why); s != Status::kOk) return fail(s);
    for (const auto& [pos, e] : f.Elements()) {
        // The fixed part's length is a u16 and the record's a u32; the kind's own
        // size is what a reader demands.
        const auto expected = FixedPartSize(BaseKind(e.kind));
        if ((expected && *expected != e.fixed.size()) || e.fixed.size() > 0xFFFF ||
            e.rest.size() > 0xFFFFFFFFull - 8 - e.fixed.size()) {
            why = "element at " + std::to_string(pos) + " does not fit its kind";
            return fail(Status::kBadRecord);
        }
    }

    std::vector<Laid> laid;
    Laid index{sections::kIndex, 0, {}}, store{sections::kStore, 0, {}};
    BuildElements(f, index, store);
    if (store.bytes.size() > kMaxFileSize) {
        why = "elements too large";
        return fail(Status::kBadRecord);
    }
    laid.push_back(std::move(index));
    laid.push_back(std::move(store));
    std::vector<std::uint16_t> ids;
    for (std::uint16_t id = 3; id <= 20; ++id) ids.push_back(id);
    ids.push_back(sections::kExtension);
    for (const auto& [id, u] : f.unknownSections) {
        // An unknown id that this library now knows is written from the model.
        if (id != sections::kIndex && id != sections::kStore && !sections::IsContentSection(id)) {
            ids.push_back(id);
        }
    }
    std::sort(ids.begin(), ids.end());
    for (std::uint16_t id : ids) {
        Laid l{id, 0, {}};
        if (sections::IsContentSection(id)) {
            if (Status s = sections::Encode(id, f, l.bytes, l.count, why); s != Status::kOk) {
                return fail(s);
            }
        } else {
            l.count = f.unknownSections.at(id).itemCount;
            l.bytes = f.unknownSections.at(id).bytes;
        }
        if (!l.bytes.empty() || l.count != 0) laid.push_back(std::move(l));
    }
    laid.erase(std::remove_if(laid.begin(), laid.end(),
                              [](const Laid& l) { return l.bytes.empty() && l.count == 0; }),
               laid.end());
    if (laid.size() > kMaxSections) {
        why = "more than 100 sections";
        return fail(Status::kBadSectionTable);
    }

    std::uint64_t nextBlock = kFirstSectionBlock;
    std::vector<std::uint64_t> firstBlocks;
    for (const Laid& l : laid) {
        if (l.bytes.size() > 0xFFFFFFFFull) {
            why = "section " + std::to_string(l.id) + " too large";
            return fail(Status::kBadSection);
        }
        firstBlocks.push_back(nextBlock);
        nextBlock += (l.bytes.size() + kBlockSize - 1) / kBlockSize;
    }
    const std::uint64_t blocks = std::max<std::uint64_t>(nextBlock, kMinBlocks);
    if (blocks * kBlockSize > kMaxFileSize) {
        why = "file would exceed the size limit";
        return fail(Status::kBadFileSize);
    }
    out.assign(blocks * kBlockSize, 0);
    std::copy(f.head.begin(), f.head.end(), out.begin());
    const auto dir = std::span<std::uint8_t>(out).subspan(kBlockSize, kBlockSize);
    std::copy(std::begin(kMagic), std::end(kMagic), dir.begin());
    (void)StoreU16(dir, 8, kRevision);
    (void)StoreU16(dir, 10, f.flags);
    (void)StoreU32(dir, 12, static_cast<std::uint32_t>(blocks));
    (void)StoreU32(dir, 16, f.generation + 1);
    (void)StoreU32(dir, 20, f.NextPosition());
    (void)StoreU32(dir, 24, static_cast<std::uint32_t>(laid.size()));
    for (std::size_t i = 0; i < laid.size(); ++i) {
        const Laid& l = laid[i];
        std::copy(l.bytes.begin(), l.bytes.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(firstBlocks[i] * kBlockSize));
        const std::size_t at = kDirEntriesOffset + i * kDirEntrySize;
        (void)StoreU16(dir, at, l.id);
        (void)StoreU32(dir, at + 4, static_cast<std::uint32_t>(firstBlocks[i]));
        (void)StoreU32(dir, at + 8, static_cast<std::uint32_t>(l.bytes.size()));
        (void)StoreU32(dir, at + 12, l.count);
        (void)StoreU32(dir, at + 16, Crc32(l.bytes));
    }
    (void)StoreU32(dir, kDirCrcOffset, Crc32(dir));
    return Status::kOk;
}

Status Save(PdbFile& file, const std::string& hostPath, std::string* reason) {
    std::vector<std::uint8_t> bytes;
    if (Status s = Serialize(file, bytes, reason); s != Status::kOk) return s;
    const platform::WinError err = platform::AtomicWriteFile(
        hostPath, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (err != 0) {
        if (reason) *reason = hostPath + ": Windows error " + std::to_string(err);
        return Status::kWriteFailed;
    }
    ++file.generation;
    return Status::kOk;
}

}  // namespace pdbform
