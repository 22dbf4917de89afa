// The sampling step and curve parameters. One rule for every curve, so that an arc drawn
// as an element, as the outline of a painted circle or as a piece of a fill's hole has
// the same chords, and the point counts follow the curve's size instead of a fixed step
// that would give a huge circle millions of points and a tiny one a single chord.
#include "convert/CurveSampling.h"

#include <algorithm>
#include <cmath>

#include "convert/ConvertStatus.h"
#include "support/geometry/Angles.h"
#include "support/geometry/EllipseSampling.h"
#include "support/geometry/LinesCircles.h"

double Curve_SamplingStep(double radius) {
    if (!std::isfinite(radius) || radius <= 0.0) return kCurveMinStep;
    // sin(θ/4) = √(e / 2r); beyond e / 2r = 1/2 the sagitta rule allows more than a
    // half turn, which the per-turn floor below replaces anyway.
    const double s = std::min(std::sqrt(kCurveChordError / (2.0 * radius)), std::sqrt(0.5));
    double angle = 4.0 * std::asin(s);
    angle = std::min(angle, kTwoPi / kCurveMinStepsPerTurn);
    angle = std::max(angle, kTwoPi / kCurveMaxStepsPerTurn);
    const double step = radius * angle;
    return std::isfinite(step) ? std::max(step, kCurveMinStep) : kCurveMinStep;
}

bool Curve_IsFullSweep(double start, double end, bool counterClockwise) {
    const double sweep = counterClockwise ? end - start : start - end;
    return std::fabs(sweep - kTwoPi) < kCurveFullTolerance;
}

int Curve_ArcShape(Point p1, Point pm, Point p2, CurveShape& out) {
    out = CurveShape{};
    double radius = 0.0;
    const int found = Circle_From3Points(p1, pm, p2, out.centre, radius);
    out.rx = radius;
    out.ry = radius;
    if (found == 0) return 0;
    out.start = Angle_Of(out.centre.x, out.centre.y, p1.x, p1.y);
    out.end = Angle_Of(out.centre.x, out.centre.y, p2.x, p2.y);
    out.counterClockwise = Orientation3(p1, pm, p2) > 0;
    out.full = Curve_IsFullSweep(out.start, out.end, out.counterClockwise);
    return 1;
}

CurveShape Curve_CircleShape(Point centre, double radius) {
    CurveShape shape;
    shape.centre = centre;
    shape.rx = radius;
    shape.ry = radius;
    shape.start = 0.0;
    shape.end = kTwoPi;
    shape.counterClockwise = true;
    shape.full = true;
    return shape;
}

CurveShape Curve_EllipseShape(Point centre, double rx, double ry, double rotation, double start,
                              double end, bool counterClockwise) {
    CurveShape shape;
    shape.centre = centre;
    shape.rx = rx;
    shape.ry = ry;
    shape.rotation = rotation;
    shape.start = start;
    shape.end = end;
    shape.counterClockwise = counterClockwise;
    shape.full = Curve_IsFullSweep(start, end, counterClockwise);
    return shape;
}

int Curve_Sample(const CurveShape& shape, PointArray& out) {
    out.xy.clear();
    const double step = Curve_SamplingStep(std::max(shape.rx, shape.ry));
    const std::int32_t rc =
        Ellipse_ToPolyline(shape.centre, shape.rx, shape.ry, shape.start, shape.end, shape.rotation,
                           shape.counterClockwise, shape.full, step, out);
    // A curve without extent gives no points: there is nothing to draw, and an empty
    // record would only hide that from the log.
    if (rc != kGeomOk || out.Count() < 2) {
        out.xy.clear();
        return kConvertSamplingFailed;
    }
    return kConvertOk;
}

int Curve_SampleArc(Point p1, Point pm, Point p2, PointArray& out) {
    out.xy.clear();
    if (!IsFinite(p1) || !IsFinite(pm) || !IsFinite(p2)) return kConvertSamplingFailed;
    CurveShape shape;
    if (Curve_ArcShape(p1, pm, p2, shape) == 0) {
        // Collinear points bound no circle: the arc is flat, i.e. its chord.
        out.xy = {p1.x, p1.y, p2.x, p2.y};
        return kConvertOk;
    }
    return Curve_Sample(shape, out);
}
