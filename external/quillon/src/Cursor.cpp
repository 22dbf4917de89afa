// Open, close and the element cursor.
//
// The cursor lives in the caller's handle; the file lives in a shared read-only
// view. Every call loads the handle's state, checks it against the view (the slot
// and record of the current position are read again each time), does its step and
// stores the state back, so two byte copies of one handle never disturb each other.
//
// An element is served as one stream: pkd (2 bytes), the fixed part (F), the rest
// (R). In the record these parts are separated by their length words (F after the
// kind, R after the fixed part), so stream offset o maps to record offset o (kind),
// o + 2 (fixed part) or o + 6 (rest).
#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "Handle.h"
#include "platform/Prefix.h"
#include "quillon/Quillon.h"

namespace {

using namespace quillon;
using namespace quillon::detail;
using pdbform::RecordLayout;

// Runs one cursor step on the handle's state and records its status for db_rtn.
template <class Fn>
std::int16_t Step(DrawingHandle* h, Fn&& fn) {
    Resolved r;
    if (std::int16_t s = Resolve(h, r); s != kQuillonOk) return s;
    const std::int16_t status = fn(*r.view, r.state);
    r.state.lastStatus = status;
    StoreState(r.state, h);
    return status;
}

// Leaves the cursor at `position` without a current element.
void Detach(HandleState& s, std::uint32_t position) {
    s.cursor = Cursor::kDetached;
    s.position = position;
    s.kind = 0;
    s.stream = Stream::kElement;
    s.offset = 0;
}

// Puts the cursor at the start of the element at `position`.
std::int16_t PositionOn(pdbform::FileView& view, HandleState& s, std::uint32_t position) {
    RecordLayout layout;
    const pdbform::Status st = view.Layout(position, layout);
    if (st != pdbform::Status::kOk) {
        Detach(s, position);
        return FromForm(st);
    }
    s.cursor = Cursor::kElement;
    s.position = position;
    s.kind = layout.kind;
    s.stream = Stream::kElement;
    s.offset = 0;
    return kQuillonOk;
}

void AtEnd(HandleState& s) {
    s.cursor = Cursor::kEnd;
    s.position = 0;
    s.kind = 0;
    s.stream = Stream::kElement;
    s.offset = 0;
}

// Moves to the first live element after `after`. An index block that cannot be read
// is stepped over (the cursor is left on its last slot with kQuillonDamaged), so a
// walk of seek and skip always moves forward and ends.
std::int16_t MoveAfter(pdbform::FileView& view, HandleState& s, std::uint32_t after) {
    std::uint32_t next = 0;
    const pdbform::Status st = view.NextLive(after, next);
    if (st != pdbform::Status::kOk) {
        const std::uint64_t blockEnd = (std::uint64_t{after} + 1) / 128 * 128 + 127;
        const std::uint64_t last = view.NextPosition() - 1;
        Detach(s, static_cast<std::uint32_t>(std::min(blockEnd, last)));
        return FromForm(st);
    }
    if (next == 0) {
        AtEnd(s);
        return kQuillonNoMore;
    }
    return PositionOn(view, s, next);
}

// Bytes of the current stream, and the stream's length. The element stream maps onto
// its record; the member list of a definition is served as its u32 positions.
struct StreamSource {
    pdbform::FileView& view;
    const HandleState& state;
    RecordLayout layout;
    const std::vector<std::uint32_t>* members = nullptr;

    std::int16_t Open() {
        if (state.stream == Stream::kMembers) {
            const auto& defs = view.Records().definitions;
            auto it = defs.find(state.membersOf);
            if (it == defs.end()) return kQuillonNotFound;
            members = &it->second.members;
            return kQuillonOk;
        }
        return FromForm(view.Layout(state.position, layout));
    }
    [[nodiscard]] std::uint64_t Length() const {
        if (members) return 4 * std::uint64_t{members->size()};
        return 2 + std::uint64_t{layout.fixedLength} + layout.restLength;
    }
    // Copies stream bytes [from, from + out.size()), which lie inside Length().
    std::int16_t Copy(std::uint64_t from, std::span<std::uint8_t> out) {
        if (members) {
            for (std::size_t i = 0; i < out.size(); ++i) {
                const std::uint64_t at = from + i;
                out[i] = static_cast<std::uint8_t>((*members)[at / 4] >> (8 * (at % 4)));
            }
            return kQuillonOk;
        }
        const std::uint64_t fixedEnd = 2 + std::uint64_t{layout.fixedLength};
        std::size_t done = 0;
        while (done < out.size()) {
            const std::uint64_t o = from + done;
            std::uint64_t partEnd = 0, shift = 0;
            if (o < 2) {
                partEnd = 2;
                shift = 0;
            } else if (o < fixedEnd) {
                partEnd = fixedEnd;
                shift = 2;
            } else {
                partEnd = Length();
                shift = 6;
            }
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(partEnd - o, out.size() - done));
            const pdbform::Status st = view.ReadRecord(layout, o + shift, out.subspan(done, n));
            if (st != pdbform::Status::kOk) return FromForm(st);
            done += n;
        }
        return kQuillonOk;
    }
};

}  // namespace

extern "C" {

std::int16_t db_open_ex(DrawingHandle* h, const char* path, std::int16_t mode, std::int16_t flag) {
    if (h == nullptr || path == nullptr) return kQuillonOpenBadArgument;
    HandleState old;
    if (LoadState(h, old)) (void)Unregister(old.slot, old.check);
    std::memset(h->bytes, 0, sizeof h->bytes);
    if (mode != 2 || flag != 1) return kQuillonOpenBadMode;
    std::string host;
    if (platform::ToHostPath(path, host) != 0) return kQuillonOpenBadPath;
    std::unique_ptr<pdbform::FileView> view;
    const pdbform::Status st = pdbform::FileView::Open(host, view);
    if (st == pdbform::Status::kOpenFailed) return kQuillonOpenMissing;
    if (st != pdbform::Status::kOk) {
        return static_cast<std::int16_t>(kQuillonOpenBadFile + static_cast<int>(st));
    }
    HandleState s;
    if (std::int16_t r =
            Register(std::shared_ptr<pdbform::FileView>(std::move(view)), s.slot, s.check);
        r != kQuillonOk) {
        return r;
    }
    StoreState(s, h);
    return kQuillonOk;
}

std::int16_t db_close(DrawingHandle* h) {
    HandleState s;
    if (!LoadState(h, s) || !Unregister(s.slot, s.check)) return kQuillonBadHandle;
    std::memset(h->bytes, 0, sizeof h->bytes);
    return kQuillonOk;
}

std::int16_t db_head(DrawingHandle* h) {
    return Step(h, [](pdbform::FileView& view, HandleState& s) { return MoveAfter(view, s, 0); });
}

std::int16_t db_skp(DrawingHandle* h) {
    return Step(h, [](pdbform::FileView& view, HandleState& s) -> std::int16_t {
        switch (s.cursor) {
            case Cursor::kNone:
                return MoveAfter(view, s, 0);
            case Cursor::kEnd:
                AtEnd(s);
                return kQuillonNoMore;
            case Cursor::kElement:
            case Cursor::kDetached:
                break;
        }
        return MoveAfter(view, s, s.position);
    });
}

std::int16_t db_seek(DrawingHandle* h, std::int32_t pid) {
    return Step(h, [pid](pdbform::FileView& view, HandleState& s) -> std::int16_t {
        if (pid <= 0) {
            Detach(s, 0);
            return kQuillonNotFound;
        }
        return PositionOn(view, s, static_cast<std::uint32_t>(pid));
    });
}

std::int16_t db_rtn(DrawingHandle* h, std::int32_t* pid) {
    if (pid) *pid = 0;
    Resolved r;
    if (std::int16_t s = Resolve(h, r); s != kQuillonOk) return s;
    const bool placed = r.state.cursor == Cursor::kElement || r.state.cursor == Cursor::kDetached;
    if (pid && placed) *pid = static_cast<std::int32_t>(r.state.position);
    return r.state.lastStatus;
}

std::int16_t db_get(DrawingHandle* h, void* buffer, std::int32_t n) {
    if (n < 0 || (n > 0 && buffer == nullptr)) {
        return Step(h, [](pdbform::FileView&, HandleState&) { return kQuillonBadArgument; });
    }
    const std::span<std::uint8_t> out(static_cast<std::uint8_t*>(buffer),
                                      static_cast<std::size_t>(n));
    return Step(h, [out](pdbform::FileView& view, HandleState& s) -> std::int16_t {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        if (s.cursor != Cursor::kElement) return kQuillonNotPositioned;
        StreamSource src{view, s, {}, nullptr};
        if (std::int16_t st = src.Open(); st != kQuillonOk) return st;
        const std::uint64_t length = src.Length();
        const std::uint64_t from = std::min<std::uint64_t>(s.offset, length);
        const auto take =
            static_cast<std::size_t>(std::min<std::uint64_t>(length - from, out.size()));
        if (std::int16_t st = src.Copy(from, out.first(take)); st != kQuillonOk) {
            std::fill(out.begin(), out.end(), std::uint8_t{0});
            return st;
        }
        s.offset = static_cast<std::uint32_t>(from + take);
        if (take == out.size()) return kQuillonOk;
        return take == 0 ? kQuillonEndOfElement : kQuillonShortRead;
    });
}

std::int16_t db_rest_record(DrawingHandle* h, std::uint16_t* n) {
    if (n) *n = 0;
    return Step(h, [n](pdbform::FileView& view, HandleState& s) -> std::int16_t {
        if (s.cursor != Cursor::kElement) return kQuillonNotPositioned;
        StreamSource src{view, s, {}, nullptr};
        if (std::int16_t st = src.Open(); st != kQuillonOk) return st;
        const std::uint64_t length = src.Length();
        const std::uint64_t left = length - std::min<std::uint64_t>(s.offset, length);
        if (left > 0xFFFF) return kQuillonTooLong;
        if (n) *n = static_cast<std::uint16_t>(left);
        return kQuillonOk;
    });
}

std::int16_t db_read_ex(DrawingHandle* h, void* record) {
    if (record == nullptr) {
        return Step(h, [](pdbform::FileView&, HandleState&) { return kQuillonBadArgument; });
    }
    const std::span<std::uint8_t> out(static_cast<std::uint8_t*>(record), kReadExRecordSize);
    return Step(h, [out](pdbform::FileView& view, HandleState& s) -> std::int16_t {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        if (s.cursor != Cursor::kElement) return kQuillonNotPositioned;
        const pdbform::PdbFile& records = view.Records();
        const auto placement = records.placements.find(s.position);
        const auto definition = records.definitions.find(s.position);
        const bool hasPlacement = placement != records.placements.end();
        const bool hasDefinition = definition != records.definitions.end();
        (void)StoreU32(out, kReadExPosition, s.position);
        if (hasDefinition && (!hasPlacement || s.pendingDefinition == s.position)) {
            (void)StoreU16(out, kReadExType, kReadExDefinition);
            (void)StoreU16(out, kReadExLength, 4);
            (void)StoreU32(out, kDefinitionMemberCount,
                           static_cast<std::uint32_t>(definition->second.members.size()));
            s.stream = Stream::kMembers;
            s.membersOf = s.position;
            s.offset = 0;
            s.pendingDefinition = 0;
            return kQuillonOk;
        }
        if (hasPlacement) {
            const pdbform::Placement& p = placement->second;
            (void)StoreU16(out, kReadExType, kReadExPlacement);
            (void)StoreU16(out, kReadExLength, 56);
            (void)StoreI16(out, kPlacementLayerOverride, p.layerOverride);
            (void)StoreI16(out, kPlacementOverridePen, p.overridePen);
            out[kPlacementPenFlag] = p.penFlag;
            std::size_t at = kPlacementValues;
            for (double v : {p.translateX, p.translateY, p.rotation, p.scaleX, p.scaleY}) {
                (void)StoreF64(out, at, v);
                at += 8;
            }
            (void)StoreU32(out, kPlacementDefinition, p.definition);
            s.pendingDefinition = p.definition;
            return kQuillonOk;
        }
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        return kQuillonNotFound;
    });
}

}  // extern "C"
