// The references between the records of a file: placements, definitions and their
// members, paint areas and fill holes must name live elements, and placements may
// not contain themselves or nest deeper than kMaxPlacementDepth. Shared by the model
// (PdbFile::CheckReferences, live elements in memory) and the streaming view (live
// elements looked up in the file's index).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "pdbform/PdbFile.h"

namespace pdbform::refs {

// True when `position` holds a live element.
using IsLive = std::function<bool(std::uint32_t position)>;

// Checks the placements, definitions, paint areas and fill holes of `records`.
// kOk, kDeadReference or kPlacementCycle; `reason` (optional) says which.
[[nodiscard]] Status CheckReferences(const PdbFile& records, const IsLive& isLive,
                                     std::string* reason);

}  // namespace pdbform::refs
