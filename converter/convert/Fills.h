// Fills (kind 16, 塗り潰し): a filled region whose boundary the element carries itself, as
// 50-byte boundary items, and whose holes Quillon keeps beside it.
//
// Convert_Fill(handle, context)
//   Entered as every conversion of Make_PDB_GetPut_Main: the cursor right after the
//   element's pkd, the context holding pkd and pid.
//   1. The fixed part (8 bytes: layer, second header word, aid, face attribute id), then
//      the element's 50-byte blocks (Walk_ReadItems; the data buffer grows as needed).
//      Without a first block nothing is written (0).
//   2. The first block is kept as it is; of the blocks after it those of code 2 (line),
//      3 (arc), 4 (circle) and 6 are kept, any other code is logged
//      "未定義の塗り潰し形状[%d]\n" and left out; a block of code 4 ends the boundary
//      (later blocks are neither kept nor logged). No block kept after the first:
//      nothing is written (0).
//   3. The kept blocks are carried through the context's transform
//      (Elem_TransformVarData, type 16). The line attribute gives pen (or the override
//      pen), line type and the three values; get_att_face of the face attribute id the
//      paint number and ppat. Either not found: 11, nothing written.
//   4. ppat negative (hatching): the line "ハッチング  pid[%d] ppat[%d]\n", no record.
//      Otherwise the fill record (kind 16, signed as the pkd): layer (the layer override
//      when that is greater than 0), second word, pen, line type, the three values, paint
//      number, ppat; the kept blocks as its data; its element number n; the element is
//      ended; then the holes of the fill with n (Put_FillHoles, FillHoles.h).
//   5. The paint colour is registered (Walk_RegisterPaint), hatched fills included.
//
// At the down level the fill stays in the copy as it is: after the fixed part only the
// face attribute is looked up (not found: 11), the holes are put with the element number
// of the fill's position (Walk_ElementNumber(pid)) unless ppat is negative, and the
// paint colour is registered; the results fold as below.
//
// Results: the paint registration's result (0, 11 colour not found, or Pelmar's result);
// when that is 0, a failure of the holes' own conversion (5 no memory, 11 the holes could
// not be started, 12 a hole curve could not be sampled) is the result, so that a fill
// written with incomplete holes is never reported as converted. Pelmar's results for the
// holes are not the fill's status. Before anything is written: 14 for a fixed part that
// is short or an element Quillon reports damaged, 5 when the blocks exceed the data
// limit, 11 for a missing line or face attribute.
#pragma once

#include <cstddef>

#include "convert/WalkContext.h"
#include "quillon/Quillon.h"

// A boundary item: a 16-bit item code and six doubles.
inline constexpr std::size_t kFillItemSize = 50;
// The fixed part of a fill after its pkd.
inline constexpr std::size_t kFillFixedSize = 8;

[[nodiscard]] int Convert_Fill(DrawingHandle& handle, ElementWalkContext& context);
