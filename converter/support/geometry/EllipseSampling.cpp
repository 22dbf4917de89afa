// Ellipse sampling. The point count is known before sampling, so the array is
// allocated once; the count is checked in doubles against the cap before it becomes
// an integer, so a fine step on a huge ellipse is refused instead of attempted.
#include "support/geometry/EllipseSampling.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "support/geometry/Angles.h"

std::int32_t Ellipse_ToPolyline(Point centre, double rx, double ry, double a1, double a2,
                                double rotation, bool counterClockwise, bool full, double step,
                                PointArray& out) {
    out.xy.clear();
    if (!(step > kGeomTinyZero)) return kGeomStepNotPositive;
    if (!IsFinite(centre) || !std::isfinite(rx) || !std::isfinite(ry) || !std::isfinite(a1) ||
        !std::isfinite(a2) || !std::isfinite(rotation) || !std::isfinite(step)) {
        return kGeomNotFinite;
    }
    if (!(rx + ry > kGeomTinyZero)) return kGeomOk;
    double angleStep = step / std::max(rx, ry);
    if (angleStep < kGeomTinyZero) return kGeomAngleStepZero;

    const double start = Angle_Normalize(a1);
    const double end = Angle_Normalize(a2);
    double sweep;
    if (full) {
        sweep = kTwoPi;
    } else if (counterClockwise) {
        sweep = end - start;
        if (end < start) sweep += kTwoPi;
    } else {
        sweep = start - end;
        if (start < end) sweep += kTwoPi;
    }

    const double steps = std::trunc(sweep / angleStep);
    if (!(steps + 2.0 <= static_cast<double>(kMaxCurvePoints))) return kGeomTooManyPoints;
    auto n = static_cast<std::int64_t>(steps);
    if (n < 18) {
        n = 18;
        angleStep = sweep / 18.0;
    }
    const double sign = counterClockwise ? 1.0 : -1.0;
    // The last point lies exactly at the end parameter: where a full ellipse began, or
    // at a2 itself, not at the sum of the steps with its rounding.
    const double endParam = full ? start : end;

    try {
        out.xy.resize(2 * static_cast<std::size_t>(n + 2));
    } catch (const std::bad_alloc&) {
        out.xy = {};
        return kGeomEllipseNoMemory;
    }
    const double cr = std::cos(rotation);
    const double sr = std::sin(rotation);
    auto put = [&](std::int64_t i, double phi) {
        const double ex = rx * std::cos(phi);
        const double ey = ry * std::sin(phi);
        out.xy[2 * static_cast<std::size_t>(i)] = centre.x + ex * cr - ey * sr;
        out.xy[2 * static_cast<std::size_t>(i) + 1] = centre.y + ex * sr + ey * cr;
    };
    for (std::int64_t i = 0; i <= n; ++i) put(i, start + sign * static_cast<double>(i) * angleStep);
    put(n + 1, endParam);
    return kGeomOk;
}
