// Elements of line types 5 and 6 (dashed): lines, polylines and the curves sampled for
// them, with the stubs that replace the arrows of dashed leaders and dimension lines.
//
// The walk calls these once it has read the element's line attribute and found line
// type 5 or 6. All take the walk's handle and context (the sign of `pkd` becomes the
// sign of every record's kind), the element's header words (layer already overridden
// where the walk does that; `aid` is the line attribute), and the pen the element is
// written with (Walk_Pen already applied). Points are flat x, y doubles, already carried
// through the walk's transform; a trailing odd double is ignored.
//
// The dashed polyline, which every entry below ends in:
//  1. The line attribute is read again (Walk_ReadLineAttribute). Not found: the log line
//     "   鎖線間隔取得失敗 att_line_ex() rc[%d] aid[%d] lno[%d] segcnt[%d]\n" with the
//     lookup status, the aid and the line type and segment count that lookup gave;
//     result 11 (kConvertLookupFailed), nothing written.
//  2. Dash expansion off (Walk_DashExpansion() == 0): one record, then the pattern as
//     a Pelmar attribute of that record:
//       a line: kind 2 with layer, second word 0, pen, the line type, attribute values
//       0 and the two points;
//       a polyline: kind 6 with layer, second word 0, pen, the line type, attribute
//       values 0, the closing values pen and 0, the points as element data;
//     its element number n is taken, the element ended, and the result is that of
//     PDB_ATT_LINE_Plus(n, segcnt, the attribute's floats).
//  3. Dash expansion on: the pattern as (dash, gap) pairs of doubles: type 5 the eight
//     floats (four pairs), type 6 (and any other type) the first segcnt / 2 pairs
//     (at most 127; an odd last float has no partner and is left out). The points are
//     cut by Dash_Split from the pattern's start; each dash becomes a kind-6 record
//     (layer, second word 0, pen, line type 0, attribute values 0, closing values pen
//     and 0, the dash's points as data), ended as an element. Result: Dash_Split's.
//     What the pattern does to the cut (Dash_Split's contract): negative intervals
//     count as 0; when all dashes or all gaps are 0 the line is written whole as one
//     piece; a NaN or infinite interval gives kGeomNotFinite (-9496) and nothing is
//     written; a pattern so fine that the line would be cut into more than
//     kMaxCurvePoints points gives kGeomTooManyPoints (-9498) and nothing is written;
//     fewer than two points give kGeomDashTooFewPoints (-9776).
// The pen is not registered here: that stays the walk's step after the element.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/ArrowStubs.h"
#include "convert/WalkContext.h"
#include "quillon/Quillon.h"
#include "support/geometry/GeometryTypes.h"

// Line types whose elements go through this file.
[[nodiscard]] constexpr bool Dashed_IsDashedType(std::int16_t lineType) {
    return lineType == 5 || lineType == 6;
}

// At most this many (dash, gap) pairs in a type-6 pattern (segcnt is 8-bit).
inline constexpr std::size_t kDashMaxPairs = 127;

// The dash pattern of a line attribute as (dash, gap) pairs (see step 3 above) into
// `pattern`; returns the number of doubles used (always even).
[[nodiscard]] std::size_t Dashed_Pattern(const LineAttribute& line,
                                         std::span<double, 2 * kDashMaxPairs> pattern);

// Sends points as the element data of the element just put: 16 bytes a point, x then
// y, little-endian doubles (only whole points of `xy`).
void Put_PointData(std::span<const double> xy);

// The element data of a polyline or leader (16-byte points, little-endian x then y, as
// the walk's data buffer holds them) as flat doubles for the entries below; bytes after
// the last whole point are ignored. 0, or kConvertNoMemory (5) with `xy` empty.
[[nodiscard]] int Dashed_DecodePoints(std::span<const std::uint8_t> data, std::vector<double>& xy);

// Line (kind 2): its two points. A dimension line's body too.
[[nodiscard]] int Dashed_Line(DrawingHandle& handle, const ElementWalkContext& context,
                              const ElementHeader& header, std::int16_t pen, Point p1, Point p2);

// Polyline (kind 6), a leader's body, and any curve already sampled into points (an
// ellipse or elliptic arc, a Bézier curve).
[[nodiscard]] int Dashed_Polyline(DrawingHandle& handle, const ElementWalkContext& context,
                                  const ElementHeader& header, std::int16_t pen,
                                  std::span<const double> xy);

// Arc (kind 3) and the arc of an arc dimension line (kind 12): start, a point on the
// arc, end. Sampled with Curve_SampleArc (CurveSampling.h); a failure there gives 12
// (kConvertSamplingFailed) and nothing is written; collinear points are the chord.
[[nodiscard]] int Dashed_Arc(DrawingHandle& handle, const ElementWalkContext& context,
                             const ElementHeader& header, std::int16_t pen, Point p1, Point pm,
                             Point p2);

// Circle (kind 4) and the outline of a painted circle (kind 5): sampled as a full
// (closed) curve with Curve_Sample; failure (a radius that is not positive, NaN) 12.
[[nodiscard]] int Dashed_Circle(DrawingHandle& handle, const ElementWalkContext& context,
                                const ElementHeader& header, std::int16_t pen, Point centre,
                                double radius);

// Painted circle (kind 5): the outline as Dashed_Circle, then (only when that
// succeeded) the fill record: kind 16 with layer, second header word, pen, line type 0,
// attribute values 0, the paint number and `ppat`, whose data is the circle block
// (item code 4, centre x, y, radius, three zeros; 50 bytes) twice; the element is
// ended. The status of the outline. Registering the paint colour stays the walk's.
[[nodiscard]] int Dashed_PaintedCircle(DrawingHandle& handle, const ElementWalkContext& context,
                                       const ElementHeader& header, std::int16_t pen,
                                       std::int16_t paintNo, std::int16_t ppat, Point centre,
                                       double radius);

// Clothoid (kind 18): `element` holds the element's bytes with its kind word at offset 0
// (the layout Clothoid_ToPolyline and Elem_TransformPoints use), already transformed.
// Sampled by Clothoid_ToPolyline on a copy (the caller's bytes stay as they are);
// its failure status is the result and nothing is written.
[[nodiscard]] int Dashed_Clothoid(DrawingHandle& handle, const ElementWalkContext& context,
                                  const ElementHeader& header, std::int16_t pen,
                                  std::span<const std::uint8_t> element);

// Contour (kind 17): its variable part, 32-byte items (already transformed), sampled
// piece by piece into one polyline by Contour_ToPolyline; its failure status is the
// result and nothing is written.
[[nodiscard]] int Dashed_Contour(DrawingHandle& handle, const ElementWalkContext& context,
                                 const ElementHeader& header, std::int16_t pen,
                                 std::span<const std::uint8_t> items);

// Leader (kind 10): the dashed polyline of its points, then (only when that succeeded)
// the arrow stubs (Arrow_PutLineStubs). The status of the body.
[[nodiscard]] int Dashed_Leader(DrawingHandle& handle, const ElementWalkContext& context,
                                const ElementHeader& header, std::int16_t pen,
                                const ArrowValues& arrow, std::span<const double> xy);

// Dimension line (kind 11): the dashed line P1-P2, then (only when that succeeded) the
// stubs. The status of the body.
[[nodiscard]] int Dashed_DimensionLine(DrawingHandle& handle, const ElementWalkContext& context,
                                       const ElementHeader& header, std::int16_t pen,
                                       const ArrowValues& arrow, Point p1, Point p2);

// Arc dimension line (kind 12): the dashed arc, then (only when that succeeded) the
// arc stubs (Arrow_PutArcStubs). The status of the body, else that of the stubs.
[[nodiscard]] int Dashed_ArcDimensionLine(DrawingHandle& handle, const ElementWalkContext& context,
                                          const ElementHeader& header, std::int16_t pen,
                                          const ArrowValues& arrow, Point p1, Point pm, Point p2);
