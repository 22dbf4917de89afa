// Carrying a drawing element's coordinates through a transform: the fixed fields of
// each element type and the points or items of its variable part.
#pragma once

#include <cstdint>
#include <span>

#include "support/geometry/GeometryTypes.h"

// The fixed fields of an element of `type` (its kind code, sign removed) in `element`,
// the element's bytes with the kind word at offset 0. Points (x at the offset, y 8
// bytes later) go through Xform_Point, lengths through Xform_Length, angles through
// Xform_Angle; all little-endian doubles:
//
//   type   points at            lengths at           angles at
//   1, 9   8
//   2, 7   8, 24
//   3      8, 24, 40
//   4      8                    24
//   5      10                   26
//   8      8                                         24
//   11     10, 26
//   12     10, 26, 42
//   18     16, 48, 80, 96       32, 64, 40, 72, 8
//   19     10                                        26
//
// Other types are left as they are. Results: 0; kGeomDataTooShort when `element` is
// shorter than the last field of its type (the element is then left unchanged).
[[nodiscard]] std::int32_t Elem_TransformPoints(int type, std::span<std::uint8_t> element,
                                                const Matrix4& m);

// The variable part of an element of `type` in `data`:
//   6, 10  consecutive 16-byte points;
//   16     50-byte boundary items, a 16-bit item code first: codes 2 and 6 have points
//          at 2 and 18, code 3 at 2, 18 and 34, code 4 a point at 2 and a length at
//          18; other codes are left as they are;
//   17     32-byte contour items: a point at 0, an angle at 16 and two single-precision
//          lengths at 24 and 28.
// Bytes after the last whole point or item are left as they are; other types are
// left as they are. Result: always 0.
[[nodiscard]] std::int32_t Elem_TransformVarData(int type, std::span<std::uint8_t> data,
                                                 const Matrix4& m);
