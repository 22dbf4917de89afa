// Clothoid sampling. The unit curve comes from the Fresnel power series (at most ten
// terms, enough within the half-turn a drawing's clothoids span); the series is only
// used for the shape: the scale and turn that carry its chord onto the given points
// absorb its small error, so the sampled curve always meets the given end points.
#include "support/geometry/Clothoid.h"

#include <cmath>
#include <utility>

#include "support/ByteOrder.h"
#include "support/geometry/Angles.h"
#include "support/geometry/PointList.h"

namespace {

struct LocalPoint {
    double x, y, theta;
};

struct UnitClothoid {
    double a = 0.0;
    bool negativeSense = false;

    // The point at length L and its tangent angle, in the clothoid's own frame.
    LocalPoint At(double length) const {
        const double tau = length * length / (2.0 * a * a);
        const double tau2 = tau * tau;
        double power = 1.0;          // (−1)^n τ^(2n)
        double factorialEven = 1.0;  // (2n)!
        double factorialOdd = 1.0;   // (2n + 1)!
        double sumX = 0.0;
        double sumY = 0.0;
        for (int n = 0; n < 10; ++n) {
            if (n > 0) {
                power *= -tau2;
                factorialEven = factorialOdd * (2.0 * n);
                factorialOdd = factorialEven * (2.0 * n + 1.0);
            }
            const double termX = power / (factorialEven * (4.0 * n + 1.0));
            sumX += termX;
            sumY += power / (factorialOdd * (4.0 * n + 3.0));
            if (std::fabs(termX) < kClothoidSeriesEnd) break;
        }
        LocalPoint p{length * sumX, length * tau * sumY, tau};
        if (a < 0.0) {
            std::swap(p.x, p.y);
            p.theta = kPi / 2.0 - tau;
        }
        if (negativeSense) {
            // The curve is turned half round and runs towards shrinking curvature. Its
            // reference direction for the offset stays the direction in which the
            // curvature grows (the angle is kept), so the offset is displaced at right
            // angles to the curve, on the same side as before the half turn.
            p.x = -p.x;
            p.y = -p.y;
        }
        return p;
    }
};

bool ReadField(std::span<const std::uint8_t> element, std::size_t offset, double& out) {
    return LoadF64(element, offset, out) && std::isfinite(out);
}

double LengthForRadius(double a, double radius) {
    return std::fabs(radius) <= kGeomZero ? 0.0 : a * a / radius;
}

}  // namespace

std::int32_t Clothoid_ToPolyline(std::span<std::uint8_t> element) {
    if (element.size() < kClothoidMinBytes) return kGeomDataTooShort;
    double a, r1, h1, r2, h2;
    Point p1, p2;
    const std::span<const std::uint8_t> in = element;
    if (!ReadField(in, kClothoidParamA, a) || !ReadField(in, kClothoidStartX, p1.x) ||
        !ReadField(in, kClothoidStartX + 8, p1.y) || !ReadField(in, kClothoidStartRadius, r1) ||
        !ReadField(in, kClothoidStartOffset, h1) || !ReadField(in, kClothoidEndX, p2.x) ||
        !ReadField(in, kClothoidEndX + 8, p2.y) || !ReadField(in, kClothoidEndRadius, r2) ||
        !ReadField(in, kClothoidEndOffset, h2)) {
        return kGeomNotFinite;
    }
    (void)StoreI16(element, 0, 2);  // inside: the size was checked above

    UnitClothoid curve;
    double l1 = LengthForRadius(a, r1);
    double l2 = LengthForRadius(a, r2);
    if (l2 < l1) {
        l1 = -l1;
        l2 = -l2;
        curve.negativeSense = true;
    }
    curve.a = r1 + r2 < 0.0 ? -a : a;

    const double chord = Distance(p1, p2);
    if (std::fabs(a) <= kGeomZero || chord <= kGeomZero) return PointList_AddSegment(p1, p2);
    LocalPoint s = curve.At(l1);
    LocalPoint e = curve.At(l2);
    const double localChord = Distance({s.x, s.y}, {e.x, e.y});
    if (!std::isfinite(localChord)) return kGeomNotFinite;
    if (localChord <= kGeomZero) return PointList_AddSegment(p1, p2);

    // Scale the unit curve so that its chord has the given length.
    const double u = chord / localChord;
    curve.a *= u;
    l1 *= u;
    l2 *= u;
    if (!std::isfinite(l1) || !std::isfinite(l2) || !std::isfinite(curve.a)) return kGeomNotFinite;
    const double length = l2 - l1;
    const double segments = std::ceil(length - kGeomZero);
    if (!(segments <= static_cast<double>(kMaxCurvePoints) - 1.0)) return kGeomTooManyPoints;
    s = curve.At(l1);
    e = curve.At(l2);

    // Turn it so that its chord has the given direction, and move its start onto P1.
    const double rotation =
        Angle_Between({0.0, 0.0}, {e.x - s.x, e.y - s.y}, {p2.x - p1.x, p2.y - p1.y});
    const double cr = std::cos(rotation);
    const double sr = std::sin(rotation);
    const double slope = length > 0.0 ? (h2 - h1) / length : 0.0;
    auto place = [&](double at) {
        const LocalPoint q = curve.At(at);
        const double dx = q.x - s.x;
        const double dy = q.y - s.y;
        const double theta = q.theta + rotation;
        const double v = h1 + (at - l1) * slope;
        return Point{p1.x + dx * cr - dy * sr - v * std::sin(theta),
                     p1.y + dx * sr + dy * cr + v * std::cos(theta)};
    };

    const auto n = static_cast<std::int64_t>(segments);
    Point prev = place(l1);
    for (std::int64_t i = 1; i <= n; ++i) {
        const double step = static_cast<double>(i);
        const double at = step < length ? l1 + step : l2;
        const Point next = place(at);
        const std::int32_t rc = PointList_AddSegment(prev, next);
        if (rc != kGeomOk) return rc;
        prev = next;
    }
    return kGeomOk;
}
