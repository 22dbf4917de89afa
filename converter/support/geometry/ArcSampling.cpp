// Arc sampling. Every point is computed from P1 by one rotation of i × angle step
// rather than by chaining small rotations, so the error does not grow along the arc.
// The segment count is checked against the cap in doubles before it becomes an
// integer, so a fine step on a huge radius is refused instead of being attempted.
#include "support/geometry/ArcSampling.h"

#include <cmath>

#include "support/geometry/Angles.h"
#include "support/geometry/LinesCircles.h"

namespace {

bool SamePoint(Point a, Point b) {
    return std::fabs(a.x - b.x) <= kGeomZero && std::fabs(a.y - b.y) <= kGeomZero;
}

}  // namespace

std::int32_t Arc_ToPolyline(Point p1, Point pm, Point p2, double step, ArcSegmentFn segment,
                            void* context) {
    if (!IsFinite(p1) || !IsFinite(pm) || !IsFinite(p2)) return kGeomNotFinite;

    const double area = Triangle_SignedArea(p1, pm, p2);
    Point centre;
    double radius = 0.0;
    if (std::fabs(area) < kGeomTinyZero || Circle_From3Points(p1, pm, p2, centre, radius) == 0) {
        segment(context, p1, p2);
        return kGeomOk;
    }
    if (!(step > kGeomZero)) return kGeomStepNotPositive;
    // Points near the double range can overflow the bisector intersection.
    if (!IsFinite(centre) || !std::isfinite(radius)) return kGeomNotFinite;
    if (SamePoint(p1, p2) || radius <= kGeomZero) {
        segment(context, p1, p1);
        return kGeomOk;
    }
    const double angleStep = step / radius;
    if (angleStep == 0.0) return kGeomAngleStepZero;

    const bool counterClockwise = area > 0.0;
    double sweep =
        Angle_Of(centre.x, centre.y, p2.x, p2.y) - Angle_Of(centre.x, centre.y, p1.x, p1.y);
    if (sweep < 0.0) sweep += kTwoPi;
    if (!counterClockwise) sweep = kTwoPi - sweep;

    const double steps = std::trunc(sweep / angleStep) + 1.0;
    if (!(steps <= static_cast<double>(kMaxCurvePoints))) return kGeomTooManyPoints;
    const auto n = static_cast<std::int64_t>(steps);

    const Point radial{p1.x - centre.x, p1.y - centre.y};
    const int sense = counterClockwise ? 1 : 2;
    Point last = p1;
    for (std::int64_t i = 1; i < n; ++i) {
        Point v = radial;
        Vector_Rotate(v, static_cast<double>(i) * angleStep, sense);
        const Point next{centre.x + v.x, centre.y + v.y};
        if (segment(context, last, next) == 0) return kGeomOk;
        last = next;
    }
    if (!SamePoint(last, p2)) segment(context, last, p2);
    return kGeomOk;
}
