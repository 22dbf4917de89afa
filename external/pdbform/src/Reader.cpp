// Reading validates in the order the data depends on itself: the file's size and
// head, the directory and its CRC, each section's bounds, CRC and padding, then the
// element index against the store, then the other sections, and last the
// references between them. Every count is checked against the bytes that hold it
// before anything is allocated from it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ByteOrder.h"
#include "FormLayout.h"
#include "Sections.h"
#include "pdbform/Crc32.h"
#include "pdbform/FormIo.h"
#include "pdbform/Positions.h"
#include "platform/UniqueFd.h"

namespace pdbform {

namespace {

struct SectionEntry {
    std::uint16_t id = 0;
    std::uint32_t firstBlock = 0;
    std::uint32_t length = 0;
    std::uint32_t count = 0;
    std::uint32_t crc = 0;
};

}  // namespace

class FormReader {
  public:
    FormReader(std::span<const std::uint8_t> bytes, std::string& reason)
        : bytes_(bytes), reason_(reason) {}

    Status Read(PdbFile& out) {
        using namespace layout;
        if (bytes_.size() % kBlockSize != 0 || bytes_.size() < kMinBlocks * kBlockSize ||
            bytes_.size() > kMaxFileSize) {
            return Fail(Status::kBadFileSize, "size " + std::to_string(bytes_.size()));
        }
        PdbFile f;
        std::copy_n(bytes_.begin(), kBlockSize, f.head.begin());
        if (f.Version() < kMinVersion || f.Version() > kMaxVersion) {
            return Fail(Status::kBadVersion, "version " + std::to_string(f.Version()));
        }
        const auto dir = bytes_.subspan(kBlockSize, kBlockSize);
        if (std::all_of(dir.begin(), dir.end(), [](std::uint8_t b) { return b == 0; })) {
            // No directory: a drawing that has its head and nothing else yet.
            out = std::move(f);
            return Status::kOk;
        }
        if (std::memcmp(dir.data(), kMagic, sizeof kMagic) != 0) {
            return Fail(Status::kBadMagic, "directory");
        }
        std::uint16_t revision = 0;
        std::uint32_t blocks = 0, k = 0, crc = 0;
        (void)LoadU16(dir, 8, revision);
        (void)LoadU16(dir, 10, f.flags);
        (void)LoadU32(dir, 12, blocks);
        (void)LoadU32(dir, 16, f.generation);
        (void)LoadU32(dir, 20, f.nextPosition_);
        (void)LoadU32(dir, 24, k);
        (void)LoadU32(dir, kDirCrcOffset, crc);
        if (revision != kRevision) return Fail(Status::kBadRevision, std::to_string(revision));
        if (blocks != bytes_.size() / kBlockSize) {
            return Fail(Status::kBadBlockCount, std::to_string(blocks));
        }
        std::array<std::uint8_t, kBlockSize> dirCopy;
        std::copy(dir.begin(), dir.end(), dirCopy.begin());
        (void)StoreU32(dirCopy, kDirCrcOffset, 0);
        if (Crc32(dirCopy) != crc) return Fail(Status::kBadDirectoryCrc, "directory");
        if (k > kMaxSections) return Fail(Status::kBadSectionTable, std::to_string(k) + " entries");
        if (f.nextPosition_ == 0) return Fail(Status::kBadIndex, "next position 0");

        std::vector<SectionEntry> entries(k);
        for (std::uint32_t i = 0; i < k; ++i) {
            SectionEntry& e = entries[i];
            const std::size_t at = kDirEntriesOffset + i * kDirEntrySize;
            std::uint16_t zero = 0;
            (void)LoadU16(dir, at, e.id);
            (void)LoadU16(dir, at + 2, zero);
            (void)LoadU32(dir, at + 4, e.firstBlock);
            (void)LoadU32(dir, at + 8, e.length);
            (void)LoadU32(dir, at + 12, e.count);
            (void)LoadU32(dir, at + 16, e.crc);
            if (zero != 0) return Fail(Status::kBadSectionTable, "entry " + std::to_string(i));
            for (std::uint32_t j = 0; j < i; ++j) {
                if (entries[j].id == e.id) {
                    return Fail(Status::kBadSectionTable,
                                "section " + std::to_string(e.id) + " twice");
                }
            }
        }
        if (Status s = CheckBounds(entries, blocks); s != Status::kOk) return s;
        for (const SectionEntry& e : entries) {
            const auto data = SectionBytes(e);
            if (Crc32(data) != e.crc) {
                return Fail(Status::kBadSectionCrc, "section " + std::to_string(e.id));
            }
            const std::size_t end = std::size_t{e.firstBlock} * kBlockSize + e.length;
            const std::size_t padEnd = (end + kBlockSize - 1) / kBlockSize * kBlockSize;
            const auto pad = bytes_.subspan(end, padEnd - end);
            if (!std::all_of(pad.begin(), pad.end(), [](std::uint8_t b) { return b == 0; })) {
                return Fail(Status::kBadSectionCrc, "padding of section " + std::to_string(e.id));
            }
        }

        const SectionEntry* index = Find(entries, sections::kIndex);
        const SectionEntry* store = Find(entries, sections::kStore);
        if (Status s = ReadElements(index, store, f); s != Status::kOk) return s;
        for (const SectionEntry& e : entries) {
            if (e.id == sections::kIndex || e.id == sections::kStore) continue;
            if (!sections::IsContentSection(e.id)) {
                f.unknownSections[e.id] = UnknownSection{
                    e.count,
                    std::vector<std::uint8_t>(SectionBytes(e).begin(), SectionBytes(e).end())};
                continue;
            }
            if (Status s = sections::Decode(e.id, SectionBytes(e), e.count, f, reason_);
                s != Status::kOk) {
                return s;
            }
        }
        if (Status s = f.CheckReferences(&reason_); s != Status::kOk) return s;
        out = std::move(f);
        return Status::kOk;
    }

  private:
    Status Fail(Status s, const std::string& why) {
        reason_ = why;
        return s;
    }

    static const SectionEntry* Find(const std::vector<SectionEntry>& entries, std::uint16_t id) {
        for (const SectionEntry& e : entries) {
            if (e.id == id) return &e;
        }
        return nullptr;
    }

    std::span<const std::uint8_t> SectionBytes(const SectionEntry& e) const {
        return bytes_.subspan(std::size_t{e.firstBlock} * kBlockSize, e.length);
    }

    // Every section inside the file, after the directory, and no two sharing a block.
    Status CheckBounds(const std::vector<SectionEntry>& entries, std::uint32_t blocks) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;  // [first, end) blocks
        for (const SectionEntry& e : entries) {
            const std::uint64_t n = (std::uint64_t{e.length} + kBlockSize - 1) / kBlockSize;
            if (e.firstBlock < layout::kFirstSectionBlock || e.firstBlock + n > blocks) {
                return Fail(Status::kBadSectionBounds, "section " + std::to_string(e.id));
            }
            if (n > 0) ranges.emplace_back(e.firstBlock, e.firstBlock + n);
        }
        std::sort(ranges.begin(), ranges.end());
        for (std::size_t i = 1; i < ranges.size(); ++i) {
            if (ranges[i].first < ranges[i - 1].second) {
                return Fail(Status::kBadSectionBounds,
                            "sections overlap at block " + std::to_string(ranges[i].first));
            }
        }
        return Status::kOk;
    }

    // The index must have exactly the blocks the next position needs; every slot's
    // state, kind and record are checked, and the live records together may not be
    // longer than the store (so a hostile index cannot make many slots copy one
    // large record).
    Status ReadElements(const SectionEntry* index, const SectionEntry* store, PdbFile& f) {
        using namespace layout;
        const std::uint64_t needed = IndexBlocksFor(f.nextPosition_);
        const std::uint64_t have = index ? index->count : 0;
        if (have != needed || (index && index->length != needed * kBlockSize)) {
            return Fail(Status::kBadIndex, "index blocks do not match the next position");
        }
        const auto idx = index ? SectionBytes(*index) : std::span<const std::uint8_t>{};
        const auto st = store ? SectionBytes(*store) : std::span<const std::uint8_t>{};
        std::uint64_t liveBytes = 0;
        std::uint32_t liveCount = 0;
        for (std::uint64_t b = 0; b < needed; ++b) {
            const std::size_t base = b * kBlockSize;
            std::uint32_t magic = 0, first = 0, live = 0, zero = 0;
            (void)LoadU32(idx, base, magic);
            (void)LoadU32(idx, base + 4, first);
            (void)LoadU32(idx, base + 8, live);
            (void)LoadU32(idx, base + 12, zero);
            if (magic != kIndexMagic || first != b * 128 || zero != 0) {
                return Fail(Status::kBadIndex, "header of index block " + std::to_string(b));
            }
            std::uint32_t liveHere = 0;
            for (std::uint32_t s = 1; s < 128; ++s) {
                const auto pos = static_cast<std::uint32_t>(b * 128 + s);
                const std::size_t at = base + s * kSlotSize;
                std::uint32_t offset = 0, length = 0, pad = 0;
                std::int16_t kind = 0;
                std::uint16_t state = 0;
                (void)LoadU32(idx, at, offset);
                (void)LoadU32(idx, at + 4, length);
                (void)LoadI16(idx, at + 8, kind);
                (void)LoadU16(idx, at + 10, state);
                (void)LoadU32(idx, at + 12, pad);
                const bool beyond = pos >= f.nextPosition_;
                if (pad != 0 || state > 2 || (beyond && state != 0) ||
                    (state == 0 && (offset | length | static_cast<std::uint16_t>(kind)) != 0)) {
                    return Fail(Status::kBadIndex, "slot of position " + std::to_string(pos));
                }
                if (state == 2) f.removed_.push_back(pos);
                if (state != 1) continue;
                ++liveHere;
                liveBytes += length;
                if (!FitsIn(st.size(), offset, length) || liveBytes > st.size()) {
                    return Fail(Status::kBadRecord,
                                "record of position " + std::to_string(pos) + " outside the store");
                }
                Element e;
                if (Status s = ParseRecord(st.subspan(offset, length), kind, e); s != Status::kOk) {
                    reason_ += " at position " + std::to_string(pos);
                    return s;
                }
                f.live_.emplace(pos, std::move(e));
            }
            if (live != liveHere) {
                return Fail(Status::kBadIndex, "live count of index block " + std::to_string(b));
            }
            liveCount += liveHere;
        }
        if ((store ? store->count : 0) != liveCount) {
            return Fail(Status::kBadIndex, "store count differs from the live slots");
        }
        return Status::kOk;
    }

    Status ParseRecord(std::span<const std::uint8_t> rec, std::int16_t slotKind, Element& e) {
        std::uint16_t fixedLength = 0;
        std::uint32_t restLength = 0;
        if (!LoadI16(rec, 0, e.kind) || !LoadU16(rec, 2, fixedLength) || e.kind != slotKind) {
            return Fail(Status::kBadRecord, "kind differs from its slot");
        }
        const auto expected = FixedPartSize(BaseKind(e.kind));
        if (expected && *expected != fixedLength) {
            return Fail(Status::kBadRecord, "fixed part of kind " + std::to_string(e.kind) +
                                                " is " + std::to_string(fixedLength) + " bytes");
        }
        if (!LoadU32(rec, 4 + std::size_t{fixedLength}, restLength) ||
            rec.size() != 8 + std::size_t{fixedLength} + restLength) {
            return Fail(Status::kBadRecord, "record length does not match its parts");
        }
        e.fixed.assign(rec.begin() + 4, rec.begin() + 4 + fixedLength);
        e.rest.assign(rec.begin() + 8 + fixedLength, rec.end());
        return Status::kOk;
    }

    std::span<const std::uint8_t> bytes_;
    std::string& reason_;
};

Status Parse(const std::vector<std::uint8_t>& bytes, PdbFile& out, std::string* reason) {
    std::string why;
    FormReader reader(bytes, why);
    const Status s = reader.Read(out);
    if (reason) *reason = why;
    return s;
}

Status Load(const std::string& hostPath, PdbFile& out, std::string* reason) {
    auto fail = [&](Status s) {
        if (reason) *reason = hostPath + ": " + std::strerror(errno);
        return s;
    };
    platform::UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return fail(Status::kOpenFailed);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return fail(Status::kReadFailed);
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return fail(Status::kOpenFailed);
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) {
        if (reason) *reason = "file too large";
        return Status::kBadFileSize;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(Status::kReadFailed);
        if (n == 0) break;  // the file shrank meanwhile: judged by what was read
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return Parse(bytes, out, reason);
}

}  // namespace pdbform
