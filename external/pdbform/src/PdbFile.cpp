#include "pdbform/PdbFile.h"

#include <algorithm>
#include <limits>

#include "ByteOrder.h"
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

std::int16_t PdbFile::MaxLayer() const {
    std::int16_t max = 0;
    for (const Layer& l : layers) max = std::max(max, l.number);
    return max;
}

Status PdbFile::CheckReferences(std::string* reason) const {
    auto fail = [&](Status s, const std::string& why) {
        if (reason) *reason = why;
        return s;
    };
    auto dead = [&](std::uint32_t pos) { return live_.count(pos) == 0; };
    for (const auto& [pos, p] : placements) {
        if (dead(pos)) return fail(Status::kDeadReference, "placement at " + std::to_string(pos));
        if (definitions.count(p.definition) == 0 || dead(p.definition)) {
            return fail(Status::kDeadReference, "definition " + std::to_string(p.definition) +
                                                    " of placement " + std::to_string(pos));
        }
    }
    for (const auto& [pos, d] : definitions) {
        if (dead(pos)) return fail(Status::kDeadReference, "definition at " + std::to_string(pos));
        for (std::uint32_t m : d.members) {
            if (dead(m)) {
                return fail(Status::kDeadReference, "member " + std::to_string(m) +
                                                        " of definition " + std::to_string(pos));
            }
        }
    }
    for (const auto& [pos, a] : paintAreas) {
        bool ok = !dead(pos);
        for (std::uint32_t b : a.boundary) ok = ok && !dead(b);
        for (const PaintAreaHole& h : a.holes) {
            for (std::uint32_t e : h.elements) ok = ok && !dead(e);
        }
        if (!ok) return fail(Status::kDeadReference, "paint area at " + std::to_string(pos));
    }
    for (const auto& [pos, f] : fillHoles) {
        if (dead(pos)) return fail(Status::kDeadReference, "fill holes at " + std::to_string(pos));
    }

    // Nesting: the depth of a definition is 1 + the deepest definition placed by one
    // of its members. Computed once per definition (memo) with an explicit stack, so
    // a hostile file with long chains or many shared definitions stays linear, and a
    // definition met again while it is still being computed is a cycle.
    enum : int { kUnseen = 0, kActive = -1 };
    std::map<std::uint32_t, int> depth;  // kActive while on the stack, else the depth
    struct Frame {
        std::uint32_t def;
        std::size_t next;
        int deepest;
    };
    for (const auto& [start, unused] : definitions) {
        (void)unused;
        if (depth[start] != kUnseen) continue;
        std::vector<Frame> stack{{start, 0, 0}};
        depth[start] = kActive;
        while (!stack.empty()) {
            Frame& f = stack.back();
            const auto& members = definitions.at(f.def).members;
            if (f.next == members.size()) {
                const int d = f.deepest + 1;
                depth[f.def] = d;
                stack.pop_back();
                if (d > kMaxPlacementDepth) {
                    return fail(Status::kPlacementCycle, "placements nest deeper than " +
                                                             std::to_string(kMaxPlacementDepth));
                }
                if (!stack.empty()) stack.back().deepest = std::max(stack.back().deepest, d);
                continue;
            }
            const std::uint32_t member = members[f.next++];
            auto pl = placements.find(member);
            if (pl == placements.end()) continue;
            const std::uint32_t inner = pl->second.definition;
            const int state = depth[inner];
            if (state == kActive) {
                return fail(Status::kPlacementCycle,
                            "placement " + std::to_string(member) + " contains itself");
            }
            if (state == kUnseen) {
                depth[inner] = kActive;
                stack.push_back({inner, 0, 0});
            } else {
                f.deepest = std::max(f.deepest, state);
            }
        }
    }
    return Status::kOk;
}

PdbFile NewEmpty(const std::array<std::uint8_t, kBlockSize>& head) {
    PdbFile file;
    file.head = head;
    if (file.Version() < 250 || file.Version() > 260) (void)StoreU16(file.head, 0, kFormVersion);
    return file;
}

}  // namespace pdbform
