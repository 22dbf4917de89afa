// Shared vocabulary of the converter's plane geometry: the point, the 4x4 matrix,
// the sampled point array, the tolerances every operation uses and the status codes.
//
// All values are doubles in drawing units; angles are radians, counter-clockwise
// from the +x axis. Point arrays are flat arrays of doubles x0, y0, x1, y1, ...
// (16 bytes a point), the layout the element data and the records use.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// A 4x4 matrix of doubles, row-major, applied to row vectors (x, y, z, 1) · M: the
// translation sits in elements 12, 13, 14, the perspective column in 3, 7, 11, 15.
using Matrix4 = std::array<double, 16>;

// A sampled curve handed to its caller: flat x, y pairs. The caller owns it.
struct PointArray {
    std::vector<double> xy;
    [[nodiscard]] std::int32_t Count() const { return static_cast<std::int32_t>(xy.size() / 2); }
    [[nodiscard]] Point At(std::int32_t i) const {
        return {xy[2 * static_cast<std::size_t>(i)], xy[2 * static_cast<std::size_t>(i) + 1]};
    }
};

// Tolerances (part of the behaviour: the converted drawings depend on them).
// A length, coordinate difference, radius or determinant at or below this is zero.
inline constexpr double kGeomZero = 0.00001;
// Zero test of a signed area (orientation), of pattern lengths and ellipse step angles.
inline constexpr double kGeomTinyZero = 1e-10;
// A clothoid series ends when the term of x falls below this.
inline constexpr double kClothoidSeriesEnd = 1e-14;
// Spline points closer than this to the last emitted point in both x and y are dropped.
inline constexpr double kSplineDropDistance = 0.001;

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// No sampler produces more points than this for one curve (or one point list, or the
// cut points of one dash split). A request beyond it, such as a fine step on a huge
// radius, is refused with kGeomTooManyPoints before anything is emitted or allocated.
inline constexpr std::int64_t kMaxCurvePoints = 10'000'000;

// Status codes of the geometry operations.
inline constexpr std::int32_t kGeomOk = 0;
// Out of memory for the point list or a Bézier array.
inline constexpr std::int32_t kGeomNoMemory = 5;
// Step length not positive (or not a number).
inline constexpr std::int32_t kGeomStepNotPositive = -9495;
// An input coordinate, angle, radius or length is NaN or infinite.
inline constexpr std::int32_t kGeomNotFinite = -9496;
// The angle step is zero (a step too small for the curve's radius).
inline constexpr std::int32_t kGeomAngleStepZero = -9497;
// The curve would need more than kMaxCurvePoints points.
inline constexpr std::int32_t kGeomTooManyPoints = -9498;
// Element data shorter than the fields its type carries, or a point array of an odd
// number of doubles.
inline constexpr std::int32_t kGeomDataTooShort = -9499;
// Out of memory for an ellipse's point array.
inline constexpr std::int32_t kGeomEllipseNoMemory = -9775;
// A dash split of fewer than 2 points.
inline constexpr std::int32_t kGeomDashTooFewPoints = -9776;
// Out of memory while growing a dash.
inline constexpr std::int32_t kGeomDashNoMemory = -9777;

[[nodiscard]] inline bool IsFinite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }
