// The bytes of a DrawingHandle and the process-wide table of open drawings.
//
// A handle holds the slot of its open drawing in the table, the slot's check word,
// and the whole cursor and enumeration state, little-endian at fixed offsets:
//
//   0 u32 magic "QLH1"        4 u32 slot (1-based)        8 u32 check word
//  12 u32 position           16 u8 cursor state          17 u8 stream
//  18 i16 kind as stored     20 u32 read offset          24 i16 last status
//  28 u32 member-list owner  32 u32 definition named by the last placement read
//  36 u32 paint area         40 u32 next boundary index
//  44 u32 holes owner        48 u8 owner kind            52 u32 selected hole (1-based)
//  56 u32 next hole item     60 u32 current piece (1-based)
//
// Nothing in a handle is trusted: the slot and check word must name an open drawing,
// and every position, offset and index is checked against the file when it is used,
// so a stale, forged or scribbled handle gives a status.
#pragma once

#include <cstdint>
#include <memory>

#include "pdbform/FileView.h"
#include "quillon/Quillon.h"

namespace quillon::detail {

enum class Cursor : std::uint8_t {
    kNone = 0,      // just opened: before the first element
    kElement = 1,   // on the element at `position`
    kEnd = 2,       // after the last element
    kDetached = 3,  // a db_seek found no element at `position`; db_skp goes on after it
};

enum class Stream : std::uint8_t { kElement = 0, kMembers = 1 };

enum class HoleOwner : std::uint8_t { kNone = 0, kFill = 1, kPaintArea = 2 };

struct HandleState {
    std::uint32_t slot = 0;
    std::uint32_t check = 0;
    std::uint32_t position = 0;
    Cursor cursor = Cursor::kNone;
    Stream stream = Stream::kElement;
    std::int16_t kind = 0;
    std::uint32_t offset = 0;
    std::int16_t lastStatus = 0;
    std::uint32_t membersOf = 0;
    std::uint32_t pendingDefinition = 0;
    std::uint32_t area = 0;
    std::uint32_t areaNext = 0;
    std::uint32_t holesOf = 0;
    HoleOwner holeOwner = HoleOwner::kNone;
    std::uint32_t hole = 0;
    std::uint32_t holeNext = 0;
    std::uint32_t piece = 0;
};

// Reads the state of `h`; false when h is null or its magic is wrong.
[[nodiscard]] bool LoadState(const DrawingHandle* h, HandleState& out);
// Writes `state` (with the magic) into `h`, every other byte zero.
void StoreState(const HandleState& state, DrawingHandle* h);

// The open drawing a handle names: its view and its state, or a status.
struct Resolved {
    std::shared_ptr<pdbform::FileView> view;
    HandleState state;
};
// kQuillonOk, or kQuillonBadHandle when `h` names no open drawing.
[[nodiscard]] std::int16_t Resolve(const DrawingHandle* h, Resolved& out);

// Registers an open view: its slot and check word. kQuillonOk or kQuillonOpenTooMany.
[[nodiscard]] std::int16_t Register(std::shared_ptr<pdbform::FileView> view, std::uint32_t& slot,
                                    std::uint32_t& check);
// Frees the slot when `check` still names it; false otherwise.
bool Unregister(std::uint32_t slot, std::uint32_t check);

// Maps a status of the form library to a cursor status.
[[nodiscard]] std::int16_t FromForm(pdbform::Status s);

}  // namespace quillon::detail
