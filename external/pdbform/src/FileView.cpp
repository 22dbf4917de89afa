// The streaming view runs the same checks as the whole-file reader (FormChecks.cpp,
// Sections.cpp, References.cpp) but reads through pread in bounded pieces: the
// section CRCs and the index are streamed once at open, the small sections are read
// whole and decoded, and element slots and records are read again when they are
// needed. Two caches keep a walk in file order cheap: the last index block read
// (2048 bytes, 127 slots) and a 64 KiB window of the element store, which usually
// holds many consecutive records.
#include "pdbform/FileView.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "ByteOrder.h"
#include "FormChecks.h"
#include "FormLayout.h"
#include "References.h"
#include "Sections.h"
#include "pdbform/FormIo.h"
#include "platform/UniqueFd.h"

namespace pdbform {

class FileView::Impl {
  public:
    Impl(platform::UniqueFd fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}

    // Reads exactly `into.size()` bytes at `offset` of the file.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
        if (!FitsIn(size_, offset, into.size())) return false;
        std::size_t done = 0;
        while (done < into.size()) {
            const ssize_t n = ::pread(fd_.Get(), into.data() + done, into.size() - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;  // an error, or the file shrank under us
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The index block `b`, checked, from the cache or the file.
    Status IndexBlock(std::uint64_t b, std::span<const std::uint8_t>& block, std::string& reason) {
        if (!blockValid_ || blockNumber_ != b) {
            blockValid_ = false;
            const std::uint64_t at = std::uint64_t{index_.firstBlock} * kBlockSize + b * kBlockSize;
            if (!FitsIn(index_.length, b * kBlockSize, kBlockSize) || !ReadAt(at, block_)) {
                reason = "index block " + std::to_string(b);
                return Status::kReadFailed;
            }
            std::uint32_t declared = 0;
            if (Status s = form::CheckIndexHeader(block_, b, declared, reason); s != Status::kOk) {
                return s;
            }
            blockNumber_ = b;
            blockValid_ = true;
        }
        block = block_;
        return Status::kOk;
    }

    // Store bytes [offset, offset + into.size()) through the window when they fit in it.
    bool ReadStore(std::uint64_t offset, std::span<std::uint8_t> into) {
        if (!FitsIn(store_.length, offset, into.size())) return false;
        const std::uint64_t base = std::uint64_t{store_.firstBlock} * kBlockSize;
        if (into.size() > kWindow) return ReadAt(base + offset, into);
        if (!windowValid_ || offset < windowStart_ ||
            offset + into.size() > windowStart_ + windowLength_) {
            windowValid_ = false;
            windowStart_ = offset;
            windowLength_ =
                static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, store_.length - offset));
            if (!ReadAt(base + offset, std::span(window_).first(windowLength_))) return false;
            windowValid_ = true;
        }
        std::copy_n(window_.begin() + static_cast<std::ptrdiff_t>(offset - windowStart_),
                    into.size(), into.begin());
        return true;
    }

    static constexpr std::size_t kWindow = 64 * 1024;

    platform::UniqueFd fd_;
    std::uint64_t size_ = 0;
    form::SectionEntry index_{};
    form::SectionEntry store_{};
    std::mutex mutex_;
    std::array<std::uint8_t, kBlockSize> block_{};
    std::uint64_t blockNumber_ = 0;
    bool blockValid_ = false;
    std::vector<std::uint8_t> window_ = std::vector<std::uint8_t>(kWindow);
    std::uint64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
    bool windowValid_ = false;
};

FileView::FileView(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FileView::~FileView() = default;

namespace {

// The slot of `position` from its checked index block.
Status SlotIn(std::span<const std::uint8_t> block, std::uint32_t position,
              std::uint32_t nextPosition, form::Slot& slot, std::string& reason) {
    return form::ReadSlot(block, position / 128, position % 128, nextPosition, slot, reason);
}

ElementSlot ToElementSlot(const form::Slot& s) {
    ElementSlot out;
    out.state = static_cast<SlotState>(s.state);
    out.kind = s.kind;
    out.length = s.state == form::kSlotLive ? s.length : 0;
    return out;
}

}  // namespace

Status FileView::Open(const std::string& hostPath, std::unique_ptr<FileView>& out,
                      std::string* reason) {
    std::string why;
    auto done = [&](Status s) {
        if (reason) *reason = why;
        return s;
    };
    // O_NONBLOCK: a FIFO put where a drawing should be must not hang the open; it is
    // refused below as not a regular file (the flag does not affect regular files).
    platform::UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        why = hostPath + ": " + std::strerror(errno);
        return done(Status::kOpenFailed);
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        why = hostPath + ": " + std::strerror(errno);
        return done(Status::kReadFailed);
    }
    if (!S_ISREG(st.st_mode)) {
        why = hostPath + ": not a file";
        return done(Status::kOpenFailed);
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (Status s = form::CheckFileSize(size, why); s != Status::kOk) return done(s);

    auto impl = std::make_unique<Impl>(std::move(fd), size);
    std::unique_ptr<FileView> view(new FileView(std::move(impl)));
    Impl& io = *view->impl_;
    PdbFile& records = view->records_;
    std::array<std::uint8_t, kBlockSize> dirBytes{};
    if (!io.ReadAt(0, records.head) || !io.ReadAt(kBlockSize, dirBytes)) {
        why = "head and directory";
        return done(Status::kReadFailed);
    }
    if (Status s = form::CheckVersion(records.head, why); s != Status::kOk) return done(s);
    form::Directory dir;
    if (Status s = form::ReadDirectory(dirBytes, size, dir, why); s != Status::kOk) return done(s);
    if (!dir.present) {
        out = std::move(view);
        return done(Status::kOk);
    }
    records.flags = dir.flags;
    records.generation = dir.generation;
    view->nextPosition_ = dir.nextPosition;

    const form::ReadAt read = [&io](std::uint64_t offset, std::span<std::uint8_t> into) {
        return io.ReadAt(offset, into);
    };
    for (const form::SectionEntry& e : dir.entries) {
        if (Status s = form::CheckSectionData(e, read, why); s != Status::kOk) return done(s);
    }

    // The index, streamed block by block with the checks of the whole-file reader;
    // the records themselves are checked when they are reached (Layout).
    const form::SectionEntry* index = dir.Find(sections::kIndex);
    const form::SectionEntry* store = dir.Find(sections::kStore);
    if (index) io.index_ = *index;
    if (store) io.store_ = *store;
    if (Status s = form::CheckIndexSize(index, dir.nextPosition, why); s != Status::kOk) {
        return done(s);
    }
    const std::uint64_t blocks = layout::IndexBlocksFor(dir.nextPosition);
    std::uint64_t liveBytes = 0;
    std::uint32_t liveCount = 0;
    for (std::uint64_t b = 0; b < blocks; ++b) {
        std::span<const std::uint8_t> block;
        if (Status s = io.IndexBlock(b, block, why); s != Status::kOk) {
            return done(s);
        }
        std::uint32_t declared = 0;
        (void)form::CheckIndexHeader(block, b, declared, why);
        std::uint32_t liveHere = 0;
        for (std::uint32_t s = 1; s < 128; ++s) {
            const auto pos = static_cast<std::uint32_t>(b * 128 + s);
            form::Slot slot;
            if (Status st2 = form::ReadSlot(block, b, s, dir.nextPosition, slot, why);
                st2 != Status::kOk) {
                return done(st2);
            }
            if (slot.state != form::kSlotLive) continue;
            ++liveHere;
            if (Status st2 = form::CheckLiveSlot(slot, pos, io.store_.length, liveBytes, why);
                st2 != Status::kOk) {
                return done(st2);
            }
        }
        if (Status s = form::CheckLiveCount(declared, liveHere, b, why); s != Status::kOk) {
            return done(s);
        }
        liveCount += liveHere;
    }
    if ((store ? store->count : 0) != liveCount) {
        why = "store count differs from the live slots";
        return done(Status::kBadIndex);
    }

    // The small sections, decoded by the whole-file reader's decoders.
    for (const form::SectionEntry& e : dir.entries) {
        if (e.id == sections::kIndex || e.id == sections::kStore || e.id == sections::kExtension ||
            !sections::IsContentSection(e.id)) {
            continue;
        }
        std::vector<std::uint8_t> bytes(e.length);
        if (!io.ReadAt(std::uint64_t{e.firstBlock} * kBlockSize, bytes)) {
            why = "section " + std::to_string(e.id);
            return done(Status::kReadFailed);
        }
        if (Status s = sections::Decode(e.id, bytes, e.count, records, why); s != Status::kOk) {
            return done(s);
        }
    }
    FileView& v = *view;
    const refs::IsLive isLive = [&v](std::uint32_t pos) {
        ElementSlot slot;
        return v.Slot(pos, slot) == Status::kOk && slot.state == SlotState::kLive;
    };
    if (Status s = refs::CheckReferences(records, isLive, &why); s != Status::kOk) return done(s);
    out = std::move(view);
    return done(Status::kOk);
}

Status FileView::Slot(std::uint32_t position, ElementSlot& out) {
    out = ElementSlot{};
    if (position % 128 == 0 || position >= nextPosition_) return Status::kOk;
    std::lock_guard lock(impl_->mutex_);
    std::string why;
    std::span<const std::uint8_t> block;
    if (Status s = impl_->IndexBlock(position / 128, block, why); s != Status::kOk) {
        return s;
    }
    form::Slot slot;
    if (Status s = SlotIn(block, position, nextPosition_, slot, why); s != Status::kOk) return s;
    out = ToElementSlot(slot);
    return Status::kOk;
}

Status FileView::Layout(std::uint32_t position, RecordLayout& out) {
    if (position % 128 == 0 || position >= nextPosition_) return Status::kDeadReference;
    std::lock_guard lock(impl_->mutex_);
    Impl& io = *impl_;
    std::string why;
    std::span<const std::uint8_t> block;
    if (Status s = io.IndexBlock(position / 128, block, why); s != Status::kOk) {
        return s;
    }
    form::Slot slot;
    if (Status s = SlotIn(block, position, nextPosition_, slot, why); s != Status::kOk) return s;
    if (slot.state != form::kSlotLive) return Status::kDeadReference;
    if (!FitsIn(io.store_.length, slot.offset, slot.length)) return Status::kBadRecord;
    std::array<std::uint8_t, 4> head{};
    std::array<std::uint8_t, 4> rest{};
    std::int16_t kind = 0;
    std::uint16_t fixedLength = 0;
    std::uint32_t restLength = 0;
    if (slot.length >= 4) {
        if (!io.ReadStore(slot.offset, head)) return Status::kReadFailed;
        (void)LoadI16(head, 0, kind);
        (void)LoadU16(head, 2, fixedLength);
    }
    const bool hasRest = slot.length >= 8 + std::uint64_t{fixedLength};
    if (hasRest) {
        if (!io.ReadStore(slot.offset + 4 + std::uint64_t{fixedLength}, rest)) {
            return Status::kReadFailed;
        }
        (void)LoadU32(rest, 0, restLength);
    }
    if (Status s = form::CheckRecordHead(kind, fixedLength, hasRest, restLength, slot, why);
        s != Status::kOk) {
        return s;
    }
    out.position = position;
    out.kind = kind;
    out.fixedLength = fixedLength;
    out.restLength = restLength;
    return Status::kOk;
}

Status FileView::ReadRecord(const RecordLayout& layout, std::uint64_t offset,
                            std::span<std::uint8_t> into) {
    if (!FitsIn(layout.RecordLength(), offset, into.size())) return Status::kBadRecord;
    if (into.empty()) return Status::kOk;
    if (layout.position % 128 == 0 || layout.position >= nextPosition_) {
        return Status::kDeadReference;
    }
    // The record's place in the store comes from its slot (a cached block), not from
    // the caller, so a stale layout can never steer a read outside the store.
    std::lock_guard lock(impl_->mutex_);
    std::string why;
    std::span<const std::uint8_t> block;
    if (Status s = impl_->IndexBlock(layout.position / 128, block, why); s != Status::kOk) {
        return s;
    }
    form::Slot slot;
    if (Status s = SlotIn(block, layout.position, nextPosition_, slot, why); s != Status::kOk) {
        return s;
    }
    if (slot.state != form::kSlotLive) return Status::kDeadReference;
    if (slot.kind != layout.kind || slot.length != layout.RecordLength()) return Status::kBadRecord;
    return impl_->ReadStore(slot.offset + offset, into) ? Status::kOk : Status::kReadFailed;
}

Status FileView::NextLive(std::uint32_t after, std::uint32_t& position) {
    position = 0;
    std::lock_guard lock(impl_->mutex_);
    std::string why;
    for (std::uint64_t p = std::uint64_t{after} + 1; p < nextPosition_;) {
        const std::uint64_t b = p / 128;
        std::span<const std::uint8_t> block;
        if (Status s = impl_->IndexBlock(b, block, why); s != Status::kOk) return s;
        std::uint32_t declared = 0;
        (void)form::CheckIndexHeader(block, b, declared, why);
        if (declared == 0) {  // a block with no live slot is passed over whole
            p = (b + 1) * 128;
            continue;
        }
        for (std::uint64_t s = std::max<std::uint64_t>(p % 128, 1); s < 128; ++s, ++p) {
            const std::uint64_t pos = b * 128 + s;
            if (pos >= nextPosition_) return Status::kOk;
            form::Slot slot;
            if (Status st = form::ReadSlot(block, b, static_cast<std::uint32_t>(s), nextPosition_,
                                           slot, why);
                st != Status::kOk) {
                return st;
            }
            if (slot.state == form::kSlotLive) {
                position = static_cast<std::uint32_t>(pos);
                return Status::kOk;
            }
        }
        p = (b + 1) * 128;
    }
    return Status::kOk;
}

Status FileView::ReadElement(std::uint32_t position, Element& out) {
    RecordLayout layout;
    if (Status s = Layout(position, layout); s != Status::kOk) return s;
    Element e;
    e.kind = layout.kind;
    e.fixed.resize(layout.fixedLength);
    e.rest.resize(layout.restLength);
    if (Status s = ReadRecord(layout, layout.FixedOffset(), e.fixed); s != Status::kOk) return s;
    if (Status s = ReadRecord(layout, layout.RestOffset(), e.rest); s != Status::kOk) return s;
    out = std::move(e);
    return Status::kOk;
}

}  // namespace pdbform
