// A DXF spline (a B-spline of any degree, optionally rational, over any knot vector)
// as the cubic Bézier segments a drawing's Bézier element holds.
//
// Input: degree p >= 1, n >= p + 1 control points, n + p + 1 non-decreasing finite
// knots, and either no weights or n positive finite ones. The curve runs over the knot
// domain [knot p, knot n], so clamped and unclamped (closed) knot vectors both work.
//
// Result: the curve's start point, then three points per segment (two control points
// and the segment's end), so consecutive segments share their joint.
//   kExact         non-rational of degree 1, 2 or 3 (degree 1 and 2 raised to 3 exactly)
//   kApproximated  rational (weights not all equal) or of degree above 3: each piece of
//                  the curve is replaced by the cubic with the same ends and end tangents
//                  after splitting it in eight
//   kRefused       input outside the above (`why` says what); `points` is then empty
#pragma once

#include <string>
#include <vector>

namespace quillon_tool {

struct Point2 {
    double x = 0, y = 0;
};

struct SplineInput {
    int degree = 3;
    std::vector<double> knots;
    std::vector<Point2> control;
    std::vector<double> weights;  // empty: all 1
};

enum class SplineResult { kExact, kApproximated, kRefused };

// Degree and size limits (degree 11 is the highest DXF programs write): beyond them a
// spline is refused rather than converted slowly.
inline constexpr int kMaxSplineDegree = 11;
inline constexpr std::size_t kMaxSplineControlPoints = 4096;

[[nodiscard]] SplineResult SplineToBezier(const SplineInput& in, std::vector<Point2>& points,
                                          std::string& why);

}  // namespace quillon_tool
