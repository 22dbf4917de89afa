// The records that tie elements together by position, in the quillon schema:
// placements, definitions, paint areas and the holes of fills.
//
// Put* adds the model's records to the JSON document in position order. Read* reads
// them from a source into a model whose elements are already made, refusing (false,
// `error` = "PATH: why") a record keyed by or naming a position that holds no element,
// a second record of one kind for a position, a hole piece whose values do not fit
// its code, and values of the wrong type or range. Cycles of placements are left to
// the form's own check when the drawing is written.
#pragma once

#include "JsonValues.h"
#include "pdbform/PdbFile.h"

namespace quillon_tool {

void PutLinks(Json& root, const pdbform::PdbFile& file);
bool ReadLinks(ObjectReader& root, pdbform::PdbFile& file);

}  // namespace quillon_tool
