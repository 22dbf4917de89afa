// Contour pieces. The step count follows the larger coordinate extent (three steps a
// drawing unit), and points closer than 0.001 in both coordinates to the last one are
// dropped, so that nearly straight or tiny pieces do not fill the list with
// duplicates. The count is checked against the cap in doubles before it becomes an
// integer.
#include "support/geometry/Spline.h"

#include <algorithm>
#include <cmath>

#include "support/ByteOrder.h"
#include "support/geometry/PointList.h"

namespace {

struct Cubic {
    double c3, c2, c1, c0;
    double At(double s) const { return ((c3 * s + c2) * s + c1) * s + c0; }
};

Cubic Hermite(double v1, double v2, double slope1, double slope2) {
    const double d = v2 - v1;
    return {slope1 + slope2 - 2.0 * d, 3.0 * d - 2.0 * slope1 - slope2, slope1, v1};
}

}  // namespace

std::int32_t Spline_ToPolyline(Point p1, double a1, Point p2, double a2, double t1, double t2) {
    if (!IsFinite(p1) || !IsFinite(p2) || !std::isfinite(a1) || !std::isfinite(a2) ||
        !std::isfinite(t1) || !std::isfinite(t2)) {
        return kGeomNotFinite;
    }
    const Cubic x = Hermite(p1.x, p2.x, std::cos(a1) * t1, std::cos(a2) * t2);
    const Cubic y = Hermite(p1.y, p2.y, std::sin(a1) * t1, std::sin(a2) * t2);

    const double steps = std::trunc(3.0 * std::max(std::fabs(p2.x - p1.x), std::fabs(p2.y - p1.y)));
    if (!(steps <= static_cast<double>(kMaxCurvePoints))) return kGeomTooManyPoints;
    const std::int64_t n = std::max<std::int64_t>(1, static_cast<std::int64_t>(steps));

    Point last = p1;
    for (std::int64_t i = 1; i <= n; ++i) {
        const double s = static_cast<double>(i) / static_cast<double>(n);
        const Point next{x.At(s), y.At(s)};
        if (std::fabs(next.x - last.x) < kSplineDropDistance &&
            std::fabs(next.y - last.y) < kSplineDropDistance) {
            continue;
        }
        const std::int32_t rc = PointList_AddSegment(last, next);
        if (rc != kGeomOk) return rc;
        last = next;
    }
    return kGeomOk;
}

std::int32_t Contour_ToPolyline(std::span<const std::uint8_t> items) {
    const std::size_t count = items.size() / kContourItemBytes;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const std::size_t a = i * kContourItemBytes;
        const std::size_t b = a + kContourItemBytes;
        Point p1, p2;
        double a1 = 0.0, a2 = 0.0;
        float t1 = 0.0f, t2 = 0.0f;
        // Both items lie inside `items` (count whole items), so every load succeeds.
        (void)(LoadF64(items, a, p1.x) && LoadF64(items, a + 8, p1.y) &&
               LoadF64(items, a + 16, a1) && LoadF32(items, a + 24, t1) &&
               LoadF32(items, a + 28, t2) && LoadF64(items, b, p2.x) &&
               LoadF64(items, b + 8, p2.y) && LoadF64(items, b + 16, a2));
        const std::int32_t rc = Spline_ToPolyline(p1, a1, p2, a2, t1, t2);
        if (rc != kGeomOk) return rc;
    }
    return kGeomOk;
}
