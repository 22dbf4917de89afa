// The text kinds of the drawing, text (7) and circled string (8), and the text attribute
// that both register in the extension file.
//
// Convert_Text(handle, context): kind 7, fixed part of 48 bytes after the pkd: the three
//   header words, five doubles (x1, y1, x2, y2 and a fifth value), the text length
//   (int16). The text follows as the variable part. The points are carried through the
//   transform; get_att_symb_detail gives pen, font id, height, ratio, d7, d8, d9; the
//   height is scaled by the transform (Xform_Length). A vertical font (face name from
//   db_getkelfontinfomation beginning with "@") sets the fifth value to 0, multiplies the
//   height by the ratio and replaces the ratio by its inverse. Record 7: layer, second
//   word, pen, font id; height and the five doubles; then the text; the element number
//   is taken, the element ended, the pen registered (its result not used), then the text
//   attribute.
// Convert_CircledString(handle, context): kind 8, fixed part of 32 bytes: header words,
//   x, y, a third double, the text length. get_att_symb gives pen, font id, height.
//   Record 8: layer, second word, pen, font id; height, x, y, the third double; then the
//   text; as kind 7 from there (no vertical-font rule).
//
// Text attribute (Walk_PutTextAttribute): get_att_symb_detail again (kind 7: the
//   vertical-font rule again); PDB_ATT_SYMB_Plus(element number, ratio, flag = d7 != 0,
//   d7, d9) only when ratio != 1.0, the flag is set, d7 != 0.0 or d9 != 0.0; then the
//   face name of the font id and FontNameTable_Register.
//
// Results: 0; kConvertBadElement (14) for a short fixed part, a damaged element, or a
// text length that is negative or beyond the bytes the element holds (nothing is written
// then, and the length is never used to copy); kConvertLookupFailed (11) when the symbol
// attribute is not found before writing (nothing written) or in the text attribute, or
// the face name of the font is not found for the registration; a non-zero result of
// PDB_ATT_SYMB_Plus as it is.
//
// At the down level (the record is in the copy already) neither kind writes a record: the
// pen is registered (result not used) and the text attribute is put under the element
// number of the text's position (Walk_ElementNumber(pid)), without the vertical-font
// rule; its result is the status. The text is still read and checked as above.
//
// A ratio of 0 has no inverse: a vertical text with ratio 0 keeps the ratio 0 (its
// height becomes 0 as the rule says).
#pragma once

#include <cstdint>

#include "convert/WalkContext.h"
#include "quillon/Quillon.h"

[[nodiscard]] int Convert_Text(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_CircledString(DrawingHandle& handle, ElementWalkContext& context);

// The text attribute of element number `elemNo`, whose symbol attribute id is `aid`;
// `verticalRule` applies the vertical-font rule (kind 7). The status as above.
[[nodiscard]] int Walk_PutTextAttribute(DrawingHandle& handle, std::int16_t aid,
                                        std::int32_t elemNo, bool verticalRule);
