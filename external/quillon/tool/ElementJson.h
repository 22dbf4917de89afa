// One element of a drawing in the quillon schema, both ways.
//
// The fields of each kind come from pdbform's ElementLayout: the fixed part's
// coordinate pairs and the variable part's points form "points"; every other field
// has its layout name; texts are UTF-8 with the exact code page 932 bytes beside them
// when they do not convert both ways; the attribute id is shown with the values of
// the entry it names (pen, lineType, values ...), and the face and arrow ids of the
// kinds that have them likewise. Whatever the named fields cannot say exactly (an
// unknown kind, a variable part of an odd length, a name without its NUL) is kept as
// hex under "raw", so a dump always makes the same element again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "JsonValues.h"
#include "pdbform/PdbFile.h"

namespace quillon_tool {

// The element at `position` as JSON. `file` gives the attribute entries to show; it
// is not changed (the check that the JSON makes the same bytes again adds nothing).
[[nodiscard]] Json ElementToJson(std::uint32_t position, const pdbform::Element& element,
                                 pdbform::PdbFile& file);

// Reads the element source at `path` into `out`, and its "position" (or the position
// of its "number") into `position` (nullopt when it gives neither). With `mayAdd`,
// attribute values given without an id are looked up in `file`'s tables and added
// when missing; without it such values are refused. False with `error` set for a
// value the element cannot hold (wrong type, out of range, points of the wrong count,
// an unknown kind without its bytes, a text too long, an unknown key).
bool ElementFromJson(const Json& source, const std::string& path, pdbform::PdbFile& file,
                     bool mayAdd, pdbform::Element& out, std::optional<std::uint32_t>& position,
                     std::string& error);

}  // namespace quillon_tool
