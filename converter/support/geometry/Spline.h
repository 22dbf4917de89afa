// Cubic tangent curves (the pieces of a contour element) sampled into the point list.
#pragma once

#include <cstdint>
#include <span>

#include "support/geometry/GeometryTypes.h"

// The cubic from P1, leaving in direction a1 with tangent length t1, to P2, arriving
// in direction a2 with tangent length t2 (per coordinate a Hermite cubic with end
// slopes cos(a1) t1, cos(a2) t2 for x and sin(a1) t1, sin(a2) t2 for y).
// It is cut into n = trunc(3 × max(|x2 − x1|, |y2 − y1|)) steps (at least 1); each
// step's point is emitted as a segment from the last emitted point (P1 at first) into
// the point list (PointList_AddSegment), unless it lies within 0.001 of that point in
// both x and y, in which case it is dropped.
// Results: 0; kGeomNotFinite for a NaN or infinite input (nothing added);
// kGeomTooManyPoints when the piece needs more than kMaxCurvePoints steps (nothing
// added) or the list would outgrow the cap; kGeomNoMemory when the list cannot grow.
[[nodiscard]] std::int32_t Spline_ToPolyline(Point p1, double a1, Point p2, double a2, double t1,
                                             double t2);

// Size of one contour item: x, y and the tangent direction as doubles at 0, 8, 16;
// the two tangent lengths as floats at 24 and 28.
inline constexpr std::size_t kContourItemBytes = 32;

// All pieces of a contour's variable part into the point list: the piece from item i
// to item i + 1 takes P1, a1 and the two lengths from item i, P2 and a2 from item i + 1.
// Bytes after the last whole item are ignored; fewer than two items add nothing.
// Results as Spline_ToPolyline; the first failing piece ends the contour.
[[nodiscard]] std::int32_t Contour_ToPolyline(std::span<const std::uint8_t> items);
