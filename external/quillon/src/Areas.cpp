// Paint areas and the holes of fills and paint areas, enumerated from the sections
// the view decoded at open. The enumeration state (which area, which hole, which
// item next) lives in the handle beside the cursor and no cursor call touches it, so
// a caller may walk the boundary with one handle and read the boundary elements with
// db_seek on the same handle or on a copy.
//
// Every index kept in the handle is checked against the record it indexes before
// use: a handle whose bytes were changed gets a status, not a read beyond a list.
#include <algorithm>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "ByteOrder.h"
#include "Handle.h"
#include "quillon/Quillon.h"

namespace {

using namespace quillon;
using namespace quillon::detail;

template <class T>
void Set(T* out, T value) {
    if (out) *out = value;
}

// Resolves the handle, runs `fn` on the view and the state, stores the state back.
template <class Fn>
auto WithState(DrawingHandle* h, Fn&& fn,
               decltype(fn(std::declval<pdbform::FileView&>(),
                           std::declval<HandleState&>())) failed) {
    Resolved r;
    if (Resolve(h, r) != kQuillonOk) return failed;
    const auto result = fn(*r.view, r.state);
    StoreState(r.state, h);
    return result;
}

const pdbform::PaintArea* AreaAt(const pdbform::PdbFile& f, std::uint32_t position) {
    auto it = f.paintAreas.find(position);
    return it == f.paintAreas.end() ? nullptr : &it->second;
}

const pdbform::FillHoles* FillHolesAt(const pdbform::PdbFile& f, std::uint32_t position) {
    auto it = f.fillHoles.find(position);
    return it == f.fillHoles.end() ? nullptr : &it->second;
}

// An element reference record: u32 position, i16 kind as stored, u16 0.
void PutElementRef(pdbform::FileView& view, std::uint32_t position, void* record) {
    if (!record) return;
    const std::span<std::uint8_t> out(static_cast<std::uint8_t*>(record), kElementRefSize);
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    pdbform::ElementSlot slot;
    (void)view.Slot(position, slot);
    (void)StoreU32(out, 0, position);
    (void)StoreI16(out, 4, slot.kind);
}

// The number of holes of the owner the state names (0 when none).
std::size_t HoleCount(const pdbform::PdbFile& f, const HandleState& s) {
    if (s.holeOwner == HoleOwner::kFill) {
        const auto* fh = FillHolesAt(f, s.holesOf);
        return fh ? fh->holes.size() : 0;
    }
    if (s.holeOwner == HoleOwner::kPaintArea) {
        const auto* a = AreaAt(f, s.holesOf);
        return a ? a->holes.size() : 0;
    }
    return 0;
}

// The pieces of the selected fill hole, or nullptr.
const std::vector<pdbform::HolePiece>* SelectedPieces(const pdbform::PdbFile& f,
                                                      const HandleState& s) {
    if (s.holeOwner != HoleOwner::kFill || s.hole == 0) return nullptr;
    const auto* fh = FillHolesAt(f, s.holesOf);
    if (!fh || s.hole > fh->holes.size()) return nullptr;
    return &fh->holes[s.hole - 1];
}

// The elements of the selected paint-area hole, or nullptr.
const pdbform::PaintAreaHole* SelectedAreaHole(const pdbform::PdbFile& f, const HandleState& s) {
    if (s.holeOwner != HoleOwner::kPaintArea || s.hole == 0) return nullptr;
    const auto* a = AreaAt(f, s.holesOf);
    if (!a || s.hole > a->holes.size()) return nullptr;
    return &a->holes[s.hole - 1];
}

std::int16_t SelectHole(DrawingHandle* h, std::int32_t index, std::int16_t* visible) {
    Set(visible, std::int16_t{0});
    return WithState(
        h,
        [&](pdbform::FileView& view, HandleState& s) -> std::int16_t {
            s.hole = 0;
            s.holeNext = 0;
            s.piece = 0;
            if (s.holeOwner == HoleOwner::kNone) return kQuillonNotPositioned;
            const std::size_t count = HoleCount(view.Records(), s);
            if (index < 1 || static_cast<std::size_t>(index) > count) return kQuillonNotFound;
            s.hole = static_cast<std::uint32_t>(index);
            const auto* areaHole = SelectedAreaHole(view.Records(), s);
            Set(visible, static_cast<std::int16_t>(areaHole ? (areaHole->visible ? 1 : 0) : 1));
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

}  // namespace

extern "C" {

std::int16_t db_get_expaint_area_start(DrawingHandle* h, std::int32_t pid, std::int16_t* visible) {
    Set(visible, std::int16_t{0});
    return WithState(
        h,
        [&](pdbform::FileView& view, HandleState& s) -> std::int16_t {
            s.area = 0;
            s.areaNext = 0;
            const auto* a =
                pid > 0 ? AreaAt(view.Records(), static_cast<std::uint32_t>(pid)) : nullptr;
            if (!a) return kQuillonNotFound;
            s.area = static_cast<std::uint32_t>(pid);
            Set(visible, static_cast<std::int16_t>(a->visible ? 1 : 0));
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

std::int32_t db_get_expaint_areaprm_count(DrawingHandle* h) {
    Resolved r;
    if (Resolve(h, r) != kQuillonOk || r.state.area == 0) return 0;
    const auto* a = AreaAt(r.view->Records(), r.state.area);
    return a ? static_cast<std::int32_t>(a->boundary.size()) : 0;
}

std::int16_t db_get_expaint_areaprm(DrawingHandle* h, void* record, std::int32_t* pid) {
    Set(pid, 0);
    if (record) std::memset(record, 0, kElementRefSize);
    return WithState(
        h,
        [&](pdbform::FileView& view, HandleState& s) -> std::int16_t {
            const auto* a = s.area != 0 ? AreaAt(view.Records(), s.area) : nullptr;
            if (!a) return kQuillonNotPositioned;
            if (s.areaNext >= a->boundary.size()) return kQuillonNoMore;
            const std::uint32_t position = a->boundary[s.areaNext++];
            PutElementRef(view, position, record);
            Set(pid, static_cast<std::int32_t>(position));
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

std::int16_t db_get_expaint_area_end(DrawingHandle* h) {
    return WithState(
        h,
        [](pdbform::FileView&, HandleState& s) -> std::int16_t {
            s.area = 0;
            s.areaNext = 0;
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

std::int16_t db_get_hole_start(DrawingHandle* h, std::int32_t pid) {
    return WithState(
        h,
        [&](pdbform::FileView& view, HandleState& s) -> std::int16_t {
            s.holesOf = 0;
            s.holeOwner = HoleOwner::kNone;
            s.hole = 0;
            s.holeNext = 0;
            s.piece = 0;
            if (pid <= 0) return kQuillonNotFound;
            const auto position = static_cast<std::uint32_t>(pid);
            const pdbform::PdbFile& f = view.Records();
            HoleOwner owner = HoleOwner::kNone;
            if (FillHolesAt(f, position)) {
                owner = HoleOwner::kFill;
            } else if (AreaAt(f, position)) {
                owner = HoleOwner::kPaintArea;
            } else {
                // A live fill or paint area without a record of holes has none.
                pdbform::ElementSlot slot;
                if (view.Slot(position, slot) == pdbform::Status::kOk &&
                    slot.state == pdbform::SlotState::kLive) {
                    const int base = pdbform::BaseKind(slot.kind);
                    if (base == 16) owner = HoleOwner::kFill;
                    if (base == 29) owner = HoleOwner::kPaintArea;
                }
            }
            if (owner == HoleOwner::kNone) return kQuillonNotFound;
            s.holesOf = position;
            s.holeOwner = owner;
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

std::int32_t db_get_hole_count(DrawingHandle* h) {
    Resolved r;
    if (Resolve(h, r) != kQuillonOk) return 0;
    return static_cast<std::int32_t>(HoleCount(r.view->Records(), r.state));
}

std::int16_t db_get_holeprm_start(DrawingHandle* h, std::int32_t index) {
    return SelectHole(h, index, nullptr);
}

std::int16_t db_get_holeprm_start2(DrawingHandle* h, std::int32_t index, std::int16_t* visible) {
    return SelectHole(h, index, visible);
}

std::int32_t db_get_holeprm_count(DrawingHandle* h) {
    Resolved r;
    if (Resolve(h, r) != kQuillonOk) return 0;
    if (const auto* pieces = SelectedPieces(r.view->Records(), r.state)) {
        return static_cast<std::int32_t>(pieces->size());
    }
    if (const auto* hole = SelectedAreaHole(r.view->Records(), r.state)) {
        return static_cast<std::int32_t>(hole->elements.size());
    }
    return 0;
}

std::int16_t db_get_holeprm(DrawingHandle* h, void* piece) {
    if (piece) std::memset(piece, 0, kHolePieceSize);
    return WithState(
        h,
        [&](pdbform::FileView& view, HandleState& s) -> std::int16_t {
            const auto* pieces = SelectedPieces(view.Records(), s);
            if (!pieces || s.holeNext >= pieces->size()) {
                s.piece = 0;
                return kQuillonNoMore;
            }
            const pdbform::HolePiece& p = (*pieces)[s.holeNext++];
            s.piece = s.holeNext;
            if (piece) {
                const std::span<std::uint8_t> out(static_cast<std::uint8_t*>(piece),
                                                  kHolePieceSize);
                (void)StoreU16(out, kHolePieceCode, p.code);
                (void)StoreU32(out, kHolePiecePointCount,
                               static_cast<std::uint32_t>(p.points.size() / 2));
                const std::size_t values = std::min<std::size_t>(p.values.size(), 7);
                for (std::size_t i = 0; i < values; ++i) {
                    (void)StoreF64(out, kHolePieceValues + 8 * i, p.values[i]);
                }
            }
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

std::int16_t db_get_holeprm3(DrawingHandle* h, void* record, std::int32_t* pid) {
    Set(pid, 0);
    if (record) std::memset(record, 0, kElementRefSize);
    return WithState(
        h,
        [&](pdbform::FileView& view, HandleState& s) -> std::int16_t {
            const auto* hole = SelectedAreaHole(view.Records(), s);
            if (!hole || s.holeNext >= hole->elements.size()) return kQuillonNoMore;
            const std::uint32_t position = hole->elements[s.holeNext++];
            PutElementRef(view, position, record);
            Set(pid, static_cast<std::int32_t>(position));
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

std::int32_t db_get_holeprm_data(DrawingHandle* h, void* buffer, std::int32_t bytes) {
    if (bytes < 0 || (bytes > 0 && buffer == nullptr)) return -1;
    Resolved r;
    if (Resolve(h, r) != kQuillonOk) return -1;
    const auto* pieces = SelectedPieces(r.view->Records(), r.state);
    if (!pieces || r.state.piece == 0 || r.state.piece > pieces->size()) return -1;
    const pdbform::HolePiece& p = (*pieces)[r.state.piece - 1];
    if (p.code != 4 && p.code != 5) return 0;
    const std::size_t stored = p.points.size() / 2;
    // A polygon is closed by its first point delivered once more after the others.
    const std::size_t delivered = p.code == 4 && stored > 0 ? stored + 1 : stored;
    const std::size_t fit = static_cast<std::size_t>(bytes) / kHolePointSize;
    const std::size_t n = std::min(delivered, fit);
    const std::span<std::uint8_t> out(static_cast<std::uint8_t*>(buffer), n * kHolePointSize);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t from = i < stored ? i : 0;
        (void)StoreF64(out, i * kHolePointSize, p.points[2 * from]);
        (void)StoreF64(out, i * kHolePointSize + 8, p.points[2 * from + 1]);
    }
    return static_cast<std::int32_t>(n * kHolePointSize);
}

std::int16_t db_get_holeprm_end(DrawingHandle* h) {
    return WithState(
        h,
        [](pdbform::FileView&, HandleState& s) -> std::int16_t {
            s.hole = 0;
            s.holeNext = 0;
            s.piece = 0;
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

std::int16_t db_get_hole_end(DrawingHandle* h) {
    return WithState(
        h,
        [](pdbform::FileView&, HandleState& s) -> std::int16_t {
            s.holesOf = 0;
            s.holeOwner = HoleOwner::kNone;
            s.hole = 0;
            s.holeNext = 0;
            s.piece = 0;
            return kQuillonOk;
        },
        kQuillonBadHandle);
}

}  // extern "C"
