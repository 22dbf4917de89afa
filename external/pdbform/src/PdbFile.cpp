#include "pdbform/PdbFile.h"

#include <algorithm>
#include <limits>

#include "ByteOrder.h"
#include "References.h"
#include "pdbform/Positions.h"

namespace pdbform {

std::uint16_t PdbFile::Version() const {
    std::uint16_t v = 0;
    (void)LoadU16(head, 0, v);
    return v;
}

std::uint32_t PdbFile::Append(Element element) {
    const std::uint64_t position = FirstElementPositionFrom(nextPosition_);
    // The directory keeps the next position as a u32: the last position that can be
    // given is the one whose successor still fits.
    if (position >= std::numeric_limits<std::uint32_t>::max()) return 0;
    const auto pos = static_cast<std::uint32_t>(position);
    live_.emplace(pos, std::move(element));
    nextPosition_ = pos + 1;
    return pos;
}

const Element* PdbFile::Find(std::uint32_t position) const {
    auto it = live_.find(position);
    return it == live_.end() ? nullptr : &it->second;
}

Element* PdbFile::FindMutable(std::uint32_t position) {
    auto it = live_.find(position);
    return it == live_.end() ? nullptr : &it->second;
}

SlotState PdbFile::StateOf(std::uint32_t position) const {
    if (live_.count(position) != 0) return SlotState::kLive;
    if (std::binary_search(removed_.begin(), removed_.end(), position)) return SlotState::kRemoved;
    return SlotState::kNeverUsed;
}

SlotState PdbFile::Remove(std::uint32_t position) {
    const SlotState before = StateOf(position);
    if (before != SlotState::kLive) return before;
    live_.erase(position);
    removed_.insert(std::upper_bound(removed_.begin(), removed_.end(), position), position);
    placements.erase(position);
    definitions.erase(position);
    paintAreas.erase(position);
    fillHoles.erase(position);
    return before;
}

void PdbFile::Unlink(std::uint32_t position) {
    const auto drop = [position](std::vector<std::uint32_t>& list) {
        std::erase(list, position);
    };
    for (auto& [at, definition] : definitions) drop(definition.members);
    for (auto& [at, area] : paintAreas) {
        drop(area.boundary);
        for (PaintAreaHole& hole : area.holes) drop(hole.elements);
    }
}

bool PdbFile::IsPlacedDefinition(std::uint32_t position) const {
    return std::any_of(placements.begin(), placements.end(),
                       [position](const auto& entry) { return entry.second.definition == position; });
}

std::int16_t PdbFile::MaxLayer() const {
    std::int16_t max = 0;
    for (const Layer& l : layers) max = std::max(max, l.number);
    return max;
}

Status PdbFile::CheckReferences(std::string* reason) const {
    return refs::CheckReferences(
        *this, [this](std::uint32_t pos) { return live_.count(pos) != 0; }, reason);
}

PdbFile NewEmpty(const std::array<std::uint8_t, kBlockSize>& head) {
    PdbFile file;
    file.head = head;
    if (file.Version() < 250 || file.Version() > 260) (void)StoreU16(file.head, 0, kFormVersion);
    return file;
}

}  // namespace pdbform
