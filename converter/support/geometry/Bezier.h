// Sampling of a chain of cubic Bézier segments into a point array.
#pragma once

#include <cstdint>
#include <span>

#include "support/geometry/GeometryTypes.h"

// `data` holds a start point followed by segments of three points (control 1,
// control 2, end; 48 bytes each), every coordinate a little-endian double; the
// segment count is (size − 16) / 48 and bytes after the last whole segment are
// ignored. Emitted: the start point; for each segment (P0 = previous end, P1, P2, P3)
// n = trunc(|P0P1| + |P1P2| + |P2P3| + 1) points at t = i / n, i = 1 … n; then the
// last end point once more (with no segment, the start point once more).
// Results (on failure `out` is left empty):
// - 0 with the points in `out`;
// - kGeomDataTooShort when `data` is shorter than one point;
// - kGeomNotFinite when a coordinate is NaN or infinite;
// - kGeomTooManyPoints when the chain would need more than kMaxCurvePoints points;
// - kGeomNoMemory when the array cannot be allocated.
[[nodiscard]] std::int32_t Bezier_ToPolyline(std::span<const std::uint8_t> data, PointArray& out);
