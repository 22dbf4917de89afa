// The conversions of the drawing's geometric element kinds into element records of the
// PDB, one function per kind, called by Make_PDB_GetPut_Main.
//
// Every function is entered with the cursor right after the element's pkd (the context
// holds pkd and pid) and:
//   1. reads the kind's fixed part (Walk_ReadFixed; sizes below), and for kinds with a
//      variable part its items (Walk_ReadItems);
//   2. carries the coordinates through the context's transform (Elem_TransformPoints,
//      Elem_TransformVarData);
//   3. looks up the attributes; the pen is the attribute's or, with the pen override on,
//      the override pen; the layer is the layer override when that is greater than 0;
//   4. writes the record (its kind signed as the pkd), the data, and ends the element;
//   5. registers the pen (and for kind 5 the paint colour).
//
//   kind  fixed  attribute(s)                    record
//   1     22     point                           1: layer, second, pen, x, y
//   2     38     line                            2: line values, two points
//   3     54     line                            3: line values, three points of the arc
//   4     30     line                            4: line values, centre, radius
//   5     32     line, face (4th header word)    5: line values, paint, ppat, centre, radius
//   6     8      line, face (4th header word)    6: line values, paint, ppat; points as data
//   9     22     mark                            9: pen, mark number; size, x, y
//   10    8      line, arrow (4th header word)   10: line and arrow values; points as data
//   11    40     line, arrow                     11: line and arrow values, two points
//   12    56     line, arrow                     12: line and arrow values, the arc
//   17    6      line                            17: line values; 32-byte items as data
//   18    110    line                            18: line values, the 13 values
//   19    32     symbol                          19: pen, height, 4th header word, x, y, angle
//   20    325    —                               20: layer, second, aid; 319 bytes as data
//   21,22 0      —                               the stop marker as data
//
// In the drawing's form the arrow attribute id of kinds 11 and 12 follows the points
// (fixed bytes 38 and 54); it is moved in front of them after reading, where the element
// transforms expect the fourth header word, before anything is carried or written.
//
// Results: 0; kConvertBadElement (14) when the fixed part is short or the element is
// damaged; kConvertNoMemory (5) when the items exceed the data limit; kConvertLookupFailed
// (11) when an attribute is not found (nothing is written then) or the pen registration
// fails (the element is written and ended). A point whose pen cannot be registered is
// still ended.
//
// Line types 5 and 6 (kinds 2, 3, 4, 5, 6, 10, 11, 12, 17, 18): once everything is read,
// the element goes to its function of DashedLines.h (a painted circle's outline and its
// fill record, a leader's or dimension line's pieces with their arrow stubs), then the
// pen is registered (kind 5: the paint colour first); the status is that of the dashed
// conversion when it is not 0, else the registration's.
//
// At the down level (Walk_IsDownLevel) the record is in the copy already: a dashed
// element is written as above and then removed from the copy (Walk_PutDashed), with a
// dimension line's body handed on as a polyline of its two points (Dashed_Leader);
// every other element of these kinds only registers its pen (kind 5: paint colour, then
// pen); an image only adds to the image count; a stop marker does nothing.
//
// An arrow of type 0 is written with size 1.3. The image kind adds 1 to the context's
// image count. The dimension trace (Walk_TraceSwitch) logs "  寸法線\n" for kind 11.
#pragma once

#include "convert/WalkContext.h"
#include "quillon/Quillon.h"

[[nodiscard]] int Convert_Point(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Line(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Arc(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Circle(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_PaintedCircle(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Polyline(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Mark(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Leader(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Dimension(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_ArcDimension(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Contour(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Clothoid(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Symbol(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Image(DrawingHandle& handle, ElementWalkContext& context);
// Kinds 21 (program stop) and 22 (forced stop): no fixed part; the marker |pkd| (negated
// for a negative pkd) is sent as data and the element ended. 0.
[[nodiscard]] int Convert_StopMark(ElementWalkContext& context);

// The size of the arrow drawn for an arrow of type 0.
inline constexpr double kDefaultArrowSize = 1.3;
