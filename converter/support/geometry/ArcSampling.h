// Sampling of a circular arc given by three points into straight segments.
#pragma once

#include <cstdint>
#include <type_traits>

#include "support/geometry/GeometryTypes.h"

// Receives one segment; returns non-zero to go on, 0 to end the arc there.
using ArcSegmentFn = int (*)(void* context, Point from, Point to);

// The arc from P1 through Pm to P2, as consecutive segments of about `step` length
// handed to `segment` in order from P1 to P2.
//
// - P1, Pm, P2 collinear (signed area below 1e-10 in magnitude) or the bisectors
//   parallel: one segment P1->P2, result 0.
// - step not above 0.00001 (NaN included): kGeomStepNotPositive, nothing emitted.
// - P1 and P2 coincide (both differences <= 0.00001) or the radius is <= 0.00001:
//   one segment P1->P1, result 0.
// - angle step (step / radius) zero: kGeomAngleStepZero.
// - otherwise n = trunc(sweep / angle step) + 1 segments: points i = 1 … n − 1 at
//   i × angle step from P1 about the centre in the arc's sense, then a last segment
//   to P2 unless the last point already is P2 (within 0.00001 in both coordinates).
// - more than kMaxCurvePoints segments: kGeomTooManyPoints, nothing emitted.
// - a NaN or infinite coordinate, or a circle too large for doubles: kGeomNotFinite,
//   nothing emitted.
// A callback result of 0 ends the arc early; the result is still 0.
[[nodiscard]] std::int32_t Arc_ToPolyline(Point p1, Point pm, Point p2, double step,
                                          ArcSegmentFn segment, void* context);

// The same with any callable `int(Point from, Point to)`.
template <class F>
[[nodiscard]] std::int32_t Arc_ToPolyline(Point p1, Point pm, Point p2, double step, F&& f) {
    return Arc_ToPolyline(
        p1, pm, p2, step,
        [](void* c, Point a, Point b) -> int {
            return (*static_cast<std::remove_reference_t<F>*>(c))(a, b);
        },
        const_cast<void*>(static_cast<const void*>(&f)));
}
