// The drawing-wide parts of the quillon schema: the head block, the attribute and
// colour tables, layers, head texts, sheet information and the background image.
//
// Each Put* writes its part of a model into the JSON document; each Read* reads the
// same part of a source into a model, refusing (false, `error` = "PATH: why") a value
// of the wrong type, out of its field's range, a name too long for its field, an
// unknown key, and layer numbers outside 1-255 or not rising. Parts a source leaves
// out get the defaults that docs/quillon.md lists.
#pragma once

#include <string>

#include "JsonValues.h"
#include "pdbform/PdbFile.h"

namespace quillon_tool {

// Attribute entries by their JSON fields. Put* writes the fields of `entry` into
// `object`; Apply* reads the fields present in `reader` over `entry` (fields left out
// keep the entry's value) and sets `any` when at least one was present.
void PutAttribute(Json& object, const pdbform::LineAttribute& entry);
void PutAttribute(Json& object, const pdbform::PointAttribute& entry);
void PutAttribute(Json& object, const pdbform::FaceAttribute& entry);
void PutAttribute(Json& object, const pdbform::MarkAttribute& entry);
void PutAttribute(Json& object, const pdbform::SymbolAttribute& entry);
void PutAttribute(Json& object, const pdbform::ArrowAttribute& entry);
bool ApplyAttribute(ObjectReader& reader, pdbform::LineAttribute& entry, bool& any);
bool ApplyAttribute(ObjectReader& reader, pdbform::PointAttribute& entry, bool& any);
bool ApplyAttribute(ObjectReader& reader, pdbform::FaceAttribute& entry, bool& any);
bool ApplyAttribute(ObjectReader& reader, pdbform::MarkAttribute& entry, bool& any);
bool ApplyAttribute(ObjectReader& reader, pdbform::SymbolAttribute& entry, bool& any);
bool ApplyAttribute(ObjectReader& reader, pdbform::ArrowAttribute& entry, bool& any);

// head, generation, flags, nextPosition are written by the caller; this writes the
// head block fields.
[[nodiscard]] Json HeadJson(const pdbform::PdbFile& file);
// Reads "head" (absent: version 256, everything else zero) into file.head.
bool ReadHead(const Json* head, pdbform::PdbFile& file, std::string& error);

// Tables, layers, head texts, sheet information and background image.
void PutTables(Json& root, const pdbform::PdbFile& file);
// Reads the same members from `root`; "layers" absent gives layer 1 (see
// docs/quillon.md), an explicit empty list gives none.
bool ReadTables(ObjectReader& root, pdbform::PdbFile& file);

}  // namespace quillon_tool
