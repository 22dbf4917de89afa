// The extension area in the quillon schema: one object per tagged entry, in file
// order, with the fields of its tag decoded (head info, layer definitions, pens,
// fonts, paint pens, symbol attributes, line patterns and hole pieces, the last three
// by element number). An entry of another tag, or one whose bytes do not have its
// tag's layout, is {"tag": n, "hex": "..."}.
#pragma once

#include "JsonValues.h"
#include "pdbform/PdbFile.h"

namespace quillon_tool {

[[nodiscard]] Json ExtensionJson(const std::vector<pdbform::ExtensionEntry>& entries);

// Reads "extension" from a source: each entry decoded fields or hex. False with
// `error` set for a tag outside 0-65535, fields of the wrong type or range, a name
// too long for its field, or an unknown key.
bool ReadExtension(ObjectReader& root, std::vector<pdbform::ExtensionEntry>& out);

}  // namespace quillon_tool
