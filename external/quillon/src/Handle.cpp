// The handle's bytes are written and read field by field with the little-endian
// helpers; the table of open drawings is a fixed array of slots under a mutex. A
// slot's check word changes at every open and close and mixes in a value drawn once
// per process, so a handle from a closed drawing, from another run, or made up never
// names a slot by accident.
#include "Handle.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <mutex>
#include <random>
#include <span>

#include "ByteOrder.h"

namespace quillon::detail {
namespace {

constexpr std::uint32_t kMagic = 0x31484C51;  // "QLH1"

struct Slot {
    std::shared_ptr<pdbform::FileView> view;
    std::uint32_t check = 0;
    std::uint32_t generation = 0;
};

struct Table {
    std::mutex mutex;
    std::array<Slot, kQuillonMaxOpenDrawings> slots;
    std::uint32_t salt = 0;
};

Table& TheTable() {
    static Table table;
    return table;
}

std::uint32_t Salt(Table& t) {
    if (t.salt == 0) {
        // The random device may be missing (it throws then); the process id and the
        // clock still make the checks of two runs differ.
        try {
            std::random_device rd;
            t.salt = rd();
        } catch (...) {
            t.salt = static_cast<std::uint32_t>(::getpid()) * 2654435761u ^
                     static_cast<std::uint32_t>(std::time(nullptr));
        }
        t.salt |= 1;
    }
    return t.salt;
}

}  // namespace

bool LoadState(const DrawingHandle* h, HandleState& out) {
    if (h == nullptr) return false;
    const std::span<const std::uint8_t> b(h->bytes);
    std::uint32_t magic = 0;
    std::uint8_t cursor = 0, stream = 0, owner = 0;
    HandleState s;
    (void)LoadU32(b, 0, magic);
    if (magic != kMagic) return false;
    (void)LoadU32(b, 4, s.slot);
    (void)LoadU32(b, 8, s.check);
    (void)LoadU32(b, 12, s.position);
    cursor = b[16];
    stream = b[17];
    (void)LoadI16(b, 18, s.kind);
    (void)LoadU32(b, 20, s.offset);
    (void)LoadI16(b, 24, s.lastStatus);
    (void)LoadU32(b, 28, s.membersOf);
    (void)LoadU32(b, 32, s.pendingDefinition);
    (void)LoadU32(b, 36, s.area);
    (void)LoadU32(b, 40, s.areaNext);
    (void)LoadU32(b, 44, s.holesOf);
    owner = b[48];
    (void)LoadU32(b, 52, s.hole);
    (void)LoadU32(b, 56, s.holeNext);
    (void)LoadU32(b, 60, s.piece);
    // Enumerated values outside their range are read as "nothing", never used raw.
    s.cursor = cursor <= 3 ? static_cast<Cursor>(cursor) : Cursor::kNone;
    s.stream = stream == 1 ? Stream::kMembers : Stream::kElement;
    s.holeOwner = owner <= 2 ? static_cast<HoleOwner>(owner) : HoleOwner::kNone;
    out = s;
    return true;
}

void StoreState(const HandleState& s, DrawingHandle* h) {
    const std::span<std::uint8_t> b(h->bytes);
    std::fill(b.begin(), b.end(), std::uint8_t{0});
    (void)StoreU32(b, 0, kMagic);
    (void)StoreU32(b, 4, s.slot);
    (void)StoreU32(b, 8, s.check);
    (void)StoreU32(b, 12, s.position);
    b[16] = static_cast<std::uint8_t>(s.cursor);
    b[17] = static_cast<std::uint8_t>(s.stream);
    (void)StoreI16(b, 18, s.kind);
    (void)StoreU32(b, 20, s.offset);
    (void)StoreI16(b, 24, s.lastStatus);
    (void)StoreU32(b, 28, s.membersOf);
    (void)StoreU32(b, 32, s.pendingDefinition);
    (void)StoreU32(b, 36, s.area);
    (void)StoreU32(b, 40, s.areaNext);
    (void)StoreU32(b, 44, s.holesOf);
    b[48] = static_cast<std::uint8_t>(s.holeOwner);
    (void)StoreU32(b, 52, s.hole);
    (void)StoreU32(b, 56, s.holeNext);
    (void)StoreU32(b, 60, s.piece);
}

std::int16_t Resolve(const DrawingHandle* h, Resolved& out) {
    HandleState s;
    if (!LoadState(h, s) || s.slot == 0 || s.slot > kQuillonMaxOpenDrawings) {
        return kQuillonBadHandle;
    }
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    const Slot& slot = t.slots[s.slot - 1];
    if (!slot.view || slot.check != s.check) return kQuillonBadHandle;
    out.view = slot.view;
    out.state = s;
    return kQuillonOk;
}

std::int16_t Register(std::shared_ptr<pdbform::FileView> view, std::uint32_t& slotNumber,
                      std::uint32_t& check) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    for (std::size_t i = 0; i < t.slots.size(); ++i) {
        Slot& slot = t.slots[i];
        if (slot.view) continue;
        ++slot.generation;
        // The generation makes every open of a slot different; the multiplier spreads
        // it over the word and the salt ties it to this process. Never 0.
        slot.check = (slot.generation * 0x9E3779B1u) ^ Salt(t);
        if (slot.check == 0) slot.check = 1;
        slot.view = std::move(view);
        slotNumber = static_cast<std::uint32_t>(i + 1);
        check = slot.check;
        return kQuillonOk;
    }
    return kQuillonOpenTooMany;
}

bool Unregister(std::uint32_t slotNumber, std::uint32_t check) {
    if (slotNumber == 0 || slotNumber > kQuillonMaxOpenDrawings) return false;
    std::shared_ptr<pdbform::FileView> released;
    {
        Table& t = TheTable();
        std::lock_guard lock(t.mutex);
        Slot& slot = t.slots[slotNumber - 1];
        if (!slot.view || slot.check != check) return false;
        released = std::move(slot.view);  // freed outside the lock
        slot.view.reset();
        slot.check = 0;
    }
    return true;
}

std::int16_t FromForm(pdbform::Status s) {
    switch (s) {
        case pdbform::Status::kOk:
            return kQuillonOk;
        case pdbform::Status::kReadFailed:
            return kQuillonReadError;
        case pdbform::Status::kDeadReference:
            return kQuillonNotFound;
        default:
            return kQuillonDamaged;
    }
}

}  // namespace quillon::detail
