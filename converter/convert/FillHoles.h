// The holes of a fill (kind 16), written to the extension file as hole pieces.
//
// Put_FillHoles(handle, transform, pid, elemNo)
//   handle     the open drawing; its hole enumeration is used (the cursor is not moved).
//   transform  the walk's transform of the fill: every hole piece is carried through it,
//              as the fill's own boundary items are (the identity leaves them unchanged).
//   pid        the fill's element position; elemNo the element number of its fill record.
//
//   db_get_hole_start(pid); then for hole h = 1 .. db_get_hole_count: db_get_holeprm_start
//   (h), each of its db_get_holeprm_count pieces by db_get_holeprm, turned into hole piece
//   records (below); the first record of hole h goes through PDB_Put_hole_prm(elemNo, h),
//   every further one through PDB_Put_hole_prmNext(elemNo, h); then PDB_Put_hole_prmEnd
//   (elemNo, h) and db_get_holeprm_end. At the end db_get_hole_end.
//
//   Pieces (Quillon's piece codes) and the records they give:
//     1 line          one segment record (type 2: start x, y, end x, y)
//     2 arc           one arc record (type 3: its six values, the arc's three points)
//     3 circle        one circle record (type 4: centre x, y, radius)
//     4 polygon       one segment per edge between consecutive points of those that
//                     db_get_holeprm_data delivers (Quillon delivers the c stored points
//                     and the first again, so c edges); never more than c edges, never a
//                     point beyond those delivered
//     5 curve         its control points sampled by Bezier_ToPolyline; one segment per edge
//     6 elliptic arc  centre x, y, rx, ry, start, end, rotation (counter-clockwise),
//                     full when its stored sweep is 2π within 1e-7, sampled by
//                     Curve_Sample (CurveSampling.h, the converter's one sampling step);
//                     one segment per edge
//   Pieces of another code, and a polygon or curve with fewer than two points, give no
//   record. A hole without records still gets its PDB_Put_hole_prmEnd (an empty hole).
//
// Points buffer: 4800 bytes (300 points) to start with; a piece of more points grows it
// to the count the piece gives (plus the closing point), up to kWalkDataLimit bytes.
//
// Results:
//   the result of the last PDB_Put_hole_prmEnd (0 when the fill has no holes; Pelmar's
//       failures are negative, so they never read as one of the codes below); Pelmar's
//       results of single pieces are not returned (a later piece or the end reports the
//       broken order);
//   11  db_get_hole_start failed: nothing written;
//   5   no memory for the points buffer (at the start: nothing written), or a piece
//       whose points do not fit kWalkDataLimit or the memory;
//   12  a curve or elliptic arc could not be sampled (a value that is not finite, more
//       points than a curve may have, no memory for the samples, an elliptic arc whose
//       radii are both zero).
//   After 5 or 12 in a piece the holes stop there: the hole being written gets no end,
//   so that a reader of the extension data sees it as cut short, and db_get_holeprm_end
//   and db_get_hole_end are still called.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quillon/Quillon.h"
#include "support/geometry/GeometryTypes.h"

// Room for polygon points that the buffer starts with.
inline constexpr std::size_t kHolePointsInitial = 300;

[[nodiscard]] int Put_FillHoles(DrawingHandle& handle, const Matrix4& transform, std::int32_t pid,
                                std::int32_t elemNo);
