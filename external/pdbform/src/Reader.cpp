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
#include "FormChecks.h"
#include "FormLayout.h"
#include "Sections.h"
#include "pdbform/Crc32.h"
#include "pdbform/FormIo.h"
#include "pdbform/Positions.h"
#include "platform/UniqueFd.h"

namespace pdbform {

class FormReader {
  public:
    FormReader(std::span<const std::uint8_t> bytes, std::string& reason)
        : bytes_(bytes), reason_(reason) {}

    Status Read(PdbFile& out) {
        if (Status s = form::CheckFileSize(bytes_.size(), reason_); s != Status::kOk) return s;
        PdbFile f;
        std::copy_n(bytes_.begin(), kBlockSize, f.head.begin());
        if (Status s = form::CheckVersion(f.head, reason_); s != Status::kOk) return s;
        form::Directory dir;
        if (Status s = form::ReadDirectory(bytes_.subspan(kBlockSize, kBlockSize), bytes_.size(),
                                           dir, reason_);
            s != Status::kOk) {
            return s;
        }
        if (!dir.present) {
            // No directory: a drawing that has its head and nothing else yet.
            out = std::move(f);
            return Status::kOk;
        }
        f.flags = dir.flags;
        f.generation = dir.generation;
        f.nextPosition_ = dir.nextPosition;
        const form::ReadAt read = [this](std::uint64_t offset, std::span<std::uint8_t> into) {
            if (!FitsIn(bytes_.size(), offset, into.size())) return false;
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), into.size(),
                        into.begin());
            return true;
        };
        for (const form::SectionEntry& e : dir.entries) {
            if (Status s = form::CheckSectionData(e, read, reason_); s != Status::kOk) return s;
        }

        const form::SectionEntry* index = dir.Find(sections::kIndex);
        const form::SectionEntry* store = dir.Find(sections::kStore);
        if (Status s = ReadElements(index, store, f); s != Status::kOk) return s;
        for (const form::SectionEntry& e : dir.entries) {
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
    std::span<const std::uint8_t> SectionBytes(const form::SectionEntry& e) const {
        return bytes_.subspan(std::size_t{e.firstBlock} * kBlockSize, e.length);
    }

    // The index must have exactly the blocks the next position needs; every slot's
    // state, kind and record are checked, and the live records together may not be
    // longer than the store (so a hostile index cannot make many slots copy one
    // large record).
    Status ReadElements(const form::SectionEntry* index, const form::SectionEntry* store,
                        PdbFile& f) {
        if (Status s = form::CheckIndexSize(index, f.nextPosition_, reason_); s != Status::kOk) {
            return s;
        }
        const std::uint64_t needed = layout::IndexBlocksFor(f.nextPosition_);
        const auto idx = index ? SectionBytes(*index) : std::span<const std::uint8_t>{};
        const auto st = store ? SectionBytes(*store) : std::span<const std::uint8_t>{};
        std::uint64_t liveBytes = 0;
        std::uint32_t liveCount = 0;
        for (std::uint64_t b = 0; b < needed; ++b) {
            const auto block = idx.subspan(b * kBlockSize, kBlockSize);
            std::uint32_t declaredLive = 0;
            if (Status s = form::CheckIndexHeader(block, b, declaredLive, reason_);
                s != Status::kOk) {
                return s;
            }
            std::uint32_t liveHere = 0;
            for (std::uint32_t s = 1; s < 128; ++s) {
                const auto pos = static_cast<std::uint32_t>(b * 128 + s);
                form::Slot slot;
                if (Status st2 = form::ReadSlot(block, b, s, f.nextPosition_, slot, reason_);
                    st2 != Status::kOk) {
                    return st2;
                }
                if (slot.state == form::kSlotRemoved) f.removed_.push_back(pos);
                if (slot.state != form::kSlotLive) continue;
                ++liveHere;
                if (Status st2 = form::CheckLiveSlot(slot, pos, st.size(), liveBytes, reason_);
                    st2 != Status::kOk) {
                    return st2;
                }
                Element e;
                if (Status st2 = ParseRecord(st.subspan(slot.offset, slot.length), slot, e);
                    st2 != Status::kOk) {
                    reason_ += " at position " + std::to_string(pos);
                    return st2;
                }
                f.live_.emplace(pos, std::move(e));
            }
            if (Status s = form::CheckLiveCount(declaredLive, liveHere, b, reason_);
                s != Status::kOk) {
                return s;
            }
            liveCount += liveHere;
        }
        if ((store ? store->count : 0) != liveCount) {
            reason_ = "store count differs from the live slots";
            return Status::kBadIndex;
        }
        return Status::kOk;
    }

    Status ParseRecord(std::span<const std::uint8_t> rec, const form::Slot& slot, Element& e) {
        std::uint16_t fixedLength = 0;
        std::uint32_t restLength = 0;
        (void)LoadI16(rec, 0, e.kind);
        (void)LoadU16(rec, 2, fixedLength);
        const bool hasRest = LoadU32(rec, 4 + std::size_t{fixedLength}, restLength);
        if (Status s =
                form::CheckRecordHead(e.kind, fixedLength, hasRest, restLength, slot, reason_);
            s != Status::kOk) {
            return s;
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
