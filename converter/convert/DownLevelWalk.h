// The element walk of a down-level conversion: every element of the drawing in file
// order, on the PDB that began as the drawing's byte copy (PDB_expdm_PutLayerPlus).
//
// Walk_DownLevelElements(handle)
//   handle  the open drawing; the PDB session is open inside its update.
//   The walk of the normal level (ElementWalk.h) with the context at the down level
//   (WalkContext.h): the per-kind conversions write only what replaces an element and
//   then remove the element from the copy; everything else is registered only.
//   1. The data buffer (failure: 5, nothing else happens); the transform the identity,
//      the pen override off. The down level's own layer override is in force for the
//      walk (cleared before each top-level element, set by placements, saved and restored
//      by paint areas) and the normal one again afterwards.
//   2. db_head, command 13 once (PdmDb_QueryMulti), then every element as the normal
//      walk does, without the error line for a failing element.
//   3. The image count (PdmDb_SetElemAttr). No font cache, no background image and no
//      sheet information: the copy has them.
//   Result: the status of the last element, or 5.
//
// What each kind does at the down level (replace = write the pieces, then
// PdmDb_DeleteElement(pid); register = the pen registration):
//   1, 9, 19          register
//   2, 3, 4, 6, 17,   line types 5 and 6: replace; register
//   18
//   5                 line types 5 and 6: replace the outline and write the circle's fill
//                     record; register the paint colour, then the pen
//   7, 8              register; the text attribute under the element number of the
//                     text's position (n - trunc(n/128)), without the vertical-font rule
//   10, 11, 12        line types 5 and 6: replace with the arrow stubs (the normal
//                     walk's stubs, 0.1 long from each arrow end); a dimension line's
//                     body goes on as a polyline of its two points; register
//   16                holes under the element number of the fill's position unless
//                     hatched; register the paint colour; the fill stays
//   20                the image count + 1
//   21, 22            nothing
//   25                the members with these rules
//   26, 27            always replace; register
//   29                as the normal walk, the boundary elements written as new records
//                     whatever their line type; the area is removed once its fill record
//                     is written
//   other             nothing
#pragma once

#include "quillon/Quillon.h"

[[nodiscard]] int Walk_DownLevelElements(DrawingHandle& handle);
