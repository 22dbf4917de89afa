// A whole file in PDB form as one JSON document of the quillon schema, both ways
// (docs/quillon.md describes the schema).
//
// DrawingToJson shows everything the file holds, so that MakeDrawing of its result
// gives a file that shows the same again: elements at their positions (removed ones
// as gaps), table entries in id order, the head block and sheet entries with their
// unnamed bytes as hex, extension entries and unknown sections.
//
// MakeDrawing builds a model from a source: it fills what a drawing needs and the
// source leaves out (head version 256, layer 1), puts each element at its "position"
// (positions between are removed slots), looks attribute values up in the tables or
// adds them, and checks every reference. False with `error` = "PATH: why" for a
// source it refuses; `file` is then unspecified.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "JsonValues.h"
#include "pdbform/PdbFile.h"

namespace quillon_tool {

// The highest element position a source may ask for: the slots below it are written
// as removed ones, so the limit keeps a typo from making a file of gigabytes.
inline constexpr std::uint32_t kMaxSourcePosition = 1u << 24;

// The whole document; with `withElements` false its "elements" list is left empty.
[[nodiscard]] Json DrawingToJson(pdbform::PdbFile& file, bool withElements = true);
// The dump text (laid out as JsonLayout.h says) of `file`, handed to `write` in pieces
// so that the text of a large drawing is never held whole. False as soon as `write`
// returns false.
bool WriteDrawingJson(pdbform::PdbFile& file, const std::function<bool(std::string_view)>& write);
bool MakeDrawing(const Json& source, pdbform::PdbFile& file, std::string& error);

}  // namespace quillon_tool
