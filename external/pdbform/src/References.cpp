#include "References.h"

#include <algorithm>
#include <map>
#include <vector>

namespace pdbform::refs {

Status CheckReferences(const PdbFile& records, const IsLive& isLive, std::string* reason) {
    auto fail = [&](Status s, const std::string& why) {
        if (reason) *reason = why;
        return s;
    };
    auto dead = [&](std::uint32_t pos) { return !isLive(pos); };
    for (const auto& [pos, p] : records.placements) {
        if (dead(pos)) return fail(Status::kDeadReference, "placement at " + std::to_string(pos));
        if (records.definitions.count(p.definition) == 0 || dead(p.definition)) {
            return fail(Status::kDeadReference, "definition " + std::to_string(p.definition) +
                                                    " of placement " + std::to_string(pos));
        }
    }
    for (const auto& [pos, d] : records.definitions) {
        if (dead(pos)) return fail(Status::kDeadReference, "definition at " + std::to_string(pos));
        for (std::uint32_t m : d.members) {
            if (dead(m)) {
                return fail(Status::kDeadReference, "member " + std::to_string(m) +
                                                        " of definition " + std::to_string(pos));
            }
        }
    }
    for (const auto& [pos, a] : records.paintAreas) {
        bool ok = !dead(pos);
        for (std::uint32_t b : a.boundary) ok = ok && !dead(b);
        for (const PaintAreaHole& h : a.holes) {
            for (std::uint32_t e : h.elements) ok = ok && !dead(e);
        }
        if (!ok) return fail(Status::kDeadReference, "paint area at " + std::to_string(pos));
    }
    for (const auto& [pos, f] : records.fillHoles) {
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
    for (const auto& [start, unused] : records.definitions) {
        (void)unused;
        if (depth[start] != kUnseen) continue;
        std::vector<Frame> stack{{start, 0, 0}};
        depth[start] = kActive;
        while (!stack.empty()) {
            Frame& f = stack.back();
            const auto& members = records.definitions.at(f.def).members;
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
            auto pl = records.placements.find(member);
            if (pl == records.placements.end()) continue;
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

}  // namespace pdbform::refs
