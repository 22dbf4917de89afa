// Sampling of an ellipse or elliptic arc into a point array.
#pragma once

#include <cstdint>

#include "support/geometry/GeometryTypes.h"

// The ellipse with semi-axes rx (along the rotated x axis) and ry, turned by
// `rotation` about `centre`, from parameter a1 to a2 (counter-clockwise when
// `counterClockwise`, else clockwise), or the full ellipse from a1 back to a1 when
// `full`. A point at parameter φ is (rx cos φ, ry sin φ) rotated and moved to the centre.
//
// Results (on any failure `out` is left empty):
// - step not above 1e-10 (NaN included): kGeomStepNotPositive.
// - rx + ry not above 1e-10: 0 with no points.
// - angle step = step / max(rx, ry) below 1e-10: kGeomAngleStepZero.
// - otherwise 0 with n + 2 points, n = trunc(sweep / angle step), raised to 18 (with
//   the angle step then sweep / 18) when smaller: points 0 … n at a1 ± i × angle step,
//   and point n + 1 exactly at the end parameter. The sweep is reduced from the angles
//   taken into [0, 2π); equal angles of a partial arc give a sweep of 0 (20 equal
//   points).
// - more than kMaxCurvePoints points: kGeomTooManyPoints, nothing allocated.
// - a NaN or infinite centre, radius, angle or rotation: kGeomNotFinite.
// - allocation failure: kGeomEllipseNoMemory.
[[nodiscard]] std::int32_t Ellipse_ToPolyline(Point centre, double rx, double ry, double a1,
                                              double a2, double rotation, bool counterClockwise,
                                              bool full, double step, PointArray& out);
