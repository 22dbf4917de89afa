// Paint areas (kind 29): a filled region whose outer boundary and holes are other
// elements of the drawing. The boundary elements are converted into records of their
// own, gathered in group records (kind 13), and the area becomes a fill record (kind
// 16) whose data names those groups.
//
// Convert_PaintArea(handle, context)
//   Entered as every conversion of Make_PDB_GetPut_Main: the cursor right after the
//   element's pkd, the context holding pkd and pid.
//   1. The fixed part (28 bytes: layer, second header word, aid, face attribute id, and
//      20 bytes of the area's own), then the 50 bytes after it (the area's head item).
//      get_att_face gives paint number and ppat: not found 11; hatching (ppat negative)
//      or ppat above 200: 0, nothing written. The line attribute (pen or the override
//      pen, line type, three values) is looked up here too: not found 11, nothing
//      written.
//   2. On a byte copy of the handle (the walk's cursor stays the enumeration's own):
//      db_get_expaint_area_start(pid, &visible); non-zero: 0, nothing written. The layer
//      override is saved.
//   3. Each boundary element (db_get_expaint_areaprm_count of them; one that
//      db_get_expaint_areaprm does not give is passed over) is converted on the real
//      handle: db_seek there, its 2-byte kind k (k >= 50 or k <= -50 brought back by
//      50 towards 0). |k| 2 line, 3 arc, 4 circle (a round hole's usual outline), 6
//      polyline, 26 ellipse, 27 Bézier go through Make_PDB_GetPut_Main with the layer
//      override set to the area's layer, and with
//      the kind made negative (a hidden record) when the area is not visible; 30 is
//      passed over; any other kind is logged "未定義の塗り潰し形状[%d]\n". The numbers
//      of the records put for them are collected in a RecList.
//   4. db_get_expaint_area_end; the layer override restored; no record collected: 0,
//      nothing further written.
//   5. A group record (kind 13, the area's layer, two empty names) with the collected
//      numbers as data (4 bytes each), its element number g.
//   6. The fill data: a 50-byte head block (item code -4, then the first 48 bytes of the
//      area's head item), g, then for each hole (db_get_hole_start(pid),
//      db_get_holeprm_start2(h, &visible), its elements by db_get_holeprm3, converted as
//      in step 3 with the hole's visible flag) the element number of its group record.
//   7. The fill record (kind 16, signed as the pkd): layer, second word, pen, line type,
//      three values, paint number, ppat; the fill data; the element is ended; the paint
//      colour is registered, whose result is the status.
//
// At the down level the area is converted the same way, its boundary and hole elements
// written as new records whatever their line type (they themselves stay in the copy),
// and once its fill record is written the area is removed from the copy
// (Walk_RemoveReplaced: not a member of a placement). An area that writes no fill
// record stays.
//
// The context's pid and pkd are those of the area again when the function returns; the
// walk's cursor is left on the last boundary element read (the walk seeks back to pid).
//
// Results: the paint registration's (0, 11, or Pelmar's result); 0 when nothing is
// written for the reasons above; 11 for a missing face or line attribute; 14 for a fixed
// part that is short or an element Quillon reports damaged; 5 when the list of numbers
// or the fill data cannot get memory (the boundary records put so far stay). The
// statuses of the boundary elements' own conversions are not the area's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/WalkContext.h"
#include "quillon/Quillon.h"

// The fixed part of a paint area after its pkd, and its head item after that.
inline constexpr std::size_t kPaintAreaFixedSize = 28;
inline constexpr std::size_t kPaintAreaHeadSize = 50;
// The head block's item code in the fill data of a paint area.
inline constexpr std::int16_t kPaintAreaHeadCode = -4;
// A ppat above this is not converted.
inline constexpr std::int16_t kPaintAreaMaxPpat = 200;

[[nodiscard]] int Convert_PaintArea(DrawingHandle& handle, ElementWalkContext& context);
