// How the converter turns circles, arcs and ellipses into points: the one sampling
// step every caller uses (element curves, the outlines of painted circles, the arcs and
// elliptic arcs of fill holes), and the parameters of an arc, a circle or an ellipse
// for Ellipse_ToPolyline.
//
// Sampling step. A curve is cut into chords whose sagitta (the largest distance between
// a chord and the arc it replaces) is at most kCurveChordError drawing units. On a
// circle of radius r a chord of angle θ has the sagitta r (1 − cos(θ/2)), so the angle
// step is θ = 4 asin(√(kCurveChordError / (2r))). Two bounds keep the point counts sane:
//  - at least kCurveMinStepsPerTurn steps per full turn (a small circle still looks
//    round; Ellipse_ToPolyline adds its own floor of 18 steps per curve);
//  - at most kCurveMaxStepsPerTurn steps per full turn (a huge radius stays far below
//    the geometry's point limit kMaxCurvePoints; its chords then err by more than
//    kCurveChordError, which only happens beyond a radius of about 20,000 units).
// The step handed to the samplers is a length, radius × θ (both Ellipse_ToPolyline and
// Arc_ToPolyline divide it by the radius again), and never below kCurveMinStep, so a
// radius near zero gives a few points instead of a "step not positive" failure.
// For an ellipse the radius is the larger semi-axis: the parameter step θ then bounds
// the sagitta everywhere on the ellipse by the same rule.
#pragma once

#include <cstdint>

#include "support/geometry/GeometryTypes.h"

inline constexpr double kCurveChordError = 0.01;
inline constexpr int kCurveMinStepsPerTurn = 36;
inline constexpr int kCurveMaxStepsPerTurn = 100'000;
inline constexpr double kCurveMinStep = 0.00002;

// Length step for a curve of radius `radius` (the larger semi-axis of an ellipse), by
// the rule above. A radius that is zero, negative, NaN or infinite gives kCurveMinStep.
[[nodiscard]] double Curve_SamplingStep(double radius);

// A circle, circular arc or ellipse as Ellipse_ToPolyline takes it.
struct CurveShape {
    Point centre;
    double rx = 0.0;
    double ry = 0.0;
    double rotation = 0.0;
    double start = 0.0;  // parameter angles, not yet reduced into [0, 2π)
    double end = 0.0;
    bool counterClockwise = true;
    bool full = false;
};

// True when the curve from `start` to `end` in the given sense is a full turn: its
// sweep (end − start counter-clockwise, start − end clockwise, taken from the angles as
// given, before any reduction) differs from 2π by less than kCurveFullTolerance.
inline constexpr double kCurveFullTolerance = 1e-7;
[[nodiscard]] bool Curve_IsFullSweep(double start, double end, bool counterClockwise);

// The circular arc stored as three points (start P1, a point Pm on the arc, end P2):
// the circle through them (Circle_From3Points), the angles of P1 and P2 about its
// centre (Angle_Of), counter-clockwise when Orientation3(P1, Pm, P2) is positive, full
// by Curve_IsFullSweep. Returns 1 with `out` filled; 0 when the points are collinear
// (or coincide): `out` is then the degenerate circle (centre the midpoint of P1 and P2,
// radius 0), which has no points; such an arc is drawn as its chord P1-P2.
[[nodiscard]] int Curve_ArcShape(Point p1, Point pm, Point p2, CurveShape& out);

// A circle (and the outline of a painted circle): angles 0 and 2π, counter-clockwise,
// always full, so its first and last points coincide.
[[nodiscard]] CurveShape Curve_CircleShape(Point centre, double radius);

// An ellipse or elliptic arc from its element's values; full by Curve_IsFullSweep.
[[nodiscard]] CurveShape Curve_EllipseShape(Point centre, double rx, double ry, double rotation,
                                            double start, double end, bool counterClockwise);

// Samples `shape` with Ellipse_ToPolyline at Curve_SamplingStep(max(rx, ry)).
// 0 with at least 2 points in `out`; kConvertSamplingFailed (12) when Ellipse_ToPolyline
// fails (NaN or infinite values, too many points, no memory) or gives fewer than 2
// points (both radii zero or negative); `out` is then empty.
[[nodiscard]] int Curve_Sample(const CurveShape& shape, PointArray& out);

// The arc of three points sampled: Curve_ArcShape and Curve_Sample, or for collinear
// points the chord P1, P2 (two points, the way Arc_ToPolyline treats them too).
// 0, or 12 as Curve_Sample; a non-finite point gives 12.
[[nodiscard]] int Curve_SampleArc(Point p1, Point pm, Point p2, PointArray& out);
