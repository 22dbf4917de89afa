// Curve sampling: arcs, ellipses, Bézier chains, contour pieces with the point list,
// and clothoids; the documented counts and the refusals of hostile sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "support/ByteOrder.h"
#include "support/geometry/Angles.h"
#include "support/geometry/ArcSampling.h"
#include "support/geometry/Bezier.h"
#include "support/geometry/Clothoid.h"
#include "support/geometry/EllipseSampling.h"
#include "support/geometry/PointList.h"
#include "support/geometry/Spline.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct Segments {
    std::vector<Point> from, to;
    int stopAfter = -1;
};

std::int32_t SampleArc(Point p1, Point pm, Point p2, double step, Segments& s) {
    return Arc_ToPolyline(p1, pm, p2, step, [&s](Point a, Point b) {
        s.from.push_back(a);
        s.to.push_back(b);
        return static_cast<int>(s.to.size()) == s.stopAfter ? 0 : 1;
    });
}

TEST(GeoArc, SemicircleOfRadius10InSteps0f1Has32Segments) {
    Segments s;
    ASSERT_EQ(SampleArc({10, 0}, {0, 10}, {-10, 0}, 1.0, s), kGeomOk);
    ASSERT_EQ(s.to.size(), 32u);
    EXPECT_EQ(s.from[0].x, 10);
    EXPECT_EQ(s.to.back().x, -10);
    EXPECT_EQ(s.to.back().y, 0);
    for (std::size_t i = 0; i < s.to.size(); ++i) {
        if (i > 0) {
            EXPECT_EQ(s.from[i].x, s.to[i - 1].x);
            EXPECT_EQ(s.from[i].y, s.to[i - 1].y);
        }
        EXPECT_NEAR(std::hypot(s.to[i].x, s.to[i].y), 10, 1e-9);
        EXPECT_GE(s.to[i].y, -1e-9);  // counter-clockwise: over the top
    }
    EXPECT_NEAR(s.to[0].x, 10 * std::cos(0.1), 1e-12);
    EXPECT_NEAR(s.to[0].y, 10 * std::sin(0.1), 1e-12);

    Segments cw;  // the same ends through the bottom: clockwise
    ASSERT_EQ(SampleArc({10, 0}, {0, -10}, {-10, 0}, 1.0, cw), kGeomOk);
    ASSERT_EQ(cw.to.size(), 32u);
    for (const Point& p : cw.to) EXPECT_LE(p.y, 1e-9);

    // An exact multiple of the step ends on P2 itself: no extra zero segment.
    Segments quarter;
    ASSERT_EQ(SampleArc({1, 0}, {std::sqrt(0.5), std::sqrt(0.5)}, {0, 1}, kPi / 20, quarter),
              kGeomOk);
    EXPECT_EQ(quarter.to.size(), 10u);
}

TEST(GeoArc, DegenerateArcsGiveOneSegment) {
    Segments line;
    ASSERT_EQ(SampleArc({0, 0}, {1, 1}, {3, 3}, 1.0, line), kGeomOk);
    ASSERT_EQ(line.to.size(), 1u);
    EXPECT_EQ(line.to[0].x, 3);
    // Within the area tolerance: still a straight segment, even with a bad step.
    Segments sliver;
    ASSERT_EQ(SampleArc({0, 0}, {1, 1e-12}, {2, 0}, 0.0, sliver), kGeomOk);
    EXPECT_EQ(sliver.to.size(), 1u);
    // Coincident ends.
    Segments closed;
    ASSERT_EQ(SampleArc({5, 5}, {6, 6}, {5.000001, 5}, 1.0, closed), kGeomOk);
    ASSERT_EQ(closed.to.size(), 1u);
    EXPECT_NEAR(closed.to[0].x, 5, 0.00001);
    // A callback result of 0 ends the arc.
    Segments stopped;
    stopped.stopAfter = 3;
    ASSERT_EQ(SampleArc({10, 0}, {0, 10}, {-10, 0}, 1.0, stopped), kGeomOk);
    EXPECT_EQ(stopped.to.size(), 3u);
}

TEST(GeoArc, BadStepsAndHostileValuesEmitNothing) {
    for (double step : {0.0, 0.00001, -1.0, kNaN}) {
        Segments s;
        EXPECT_EQ(SampleArc({10, 0}, {0, 10}, {-10, 0}, step, s), kGeomStepNotPositive) << step;
        EXPECT_TRUE(s.to.empty());
    }
    Segments s;
    EXPECT_EQ(SampleArc({kNaN, 0}, {0, 10}, {-10, 0}, 1.0, s), kGeomNotFinite);
    EXPECT_EQ(SampleArc({10, 0}, {0, kInf}, {-10, 0}, 1.0, s), kGeomNotFinite);
    EXPECT_EQ(SampleArc({1e308, 0}, {0, 1e308}, {-1e308, 0}, 1.0, s), kGeomNotFinite);
    // Step 0.0001 on a radius of 1e12 would be 3e16 segments: refused at once.
    EXPECT_EQ(SampleArc({1e12, 0}, {0, 1e12}, {-1e12, 0}, 0.0001, s), kGeomTooManyPoints);
    EXPECT_TRUE(s.to.empty());
}

TEST(GeoEllipse, ShortSweepsGiveTwentyPointsEndingExactlyOnTheEnd) {
    PointArray out;
    ASSERT_EQ(Ellipse_ToPolyline({1, 2}, 10, 5, 0, 0.5, 0, true, false, 1.0, out), kGeomOk);
    ASSERT_EQ(out.Count(), 20);
    EXPECT_EQ(out.At(0).x, 11);
    EXPECT_EQ(out.At(0).y, 2);
    EXPECT_EQ(out.At(19).x, 1 + 10 * std::cos(0.5));
    EXPECT_EQ(out.At(19).y, 2 + 5 * std::sin(0.5));
    EXPECT_NEAR(out.At(18).x, out.At(19).x, 1e-12);  // 18 steps of sweep / 18
    EXPECT_NEAR(out.At(9).x, 1 + 10 * std::cos(0.25), 1e-12);

    // Clockwise from 0.5 to 0 runs the same way back.
    ASSERT_EQ(Ellipse_ToPolyline({1, 2}, 10, 5, 0.5, 0, 0, false, false, 1.0, out), kGeomOk);
    ASSERT_EQ(out.Count(), 20);
    EXPECT_NEAR(out.At(1).y, 2 + 5 * std::sin(0.5 - 0.5 / 18), 1e-12);
    EXPECT_EQ(out.At(19).x, 11);

    // Equal angles of a partial arc: a sweep of 0, twenty equal points.
    ASSERT_EQ(Ellipse_ToPolyline({0, 0}, 3, 2, 1, 1, 0, true, false, 1.0, out), kGeomOk);
    EXPECT_EQ(out.Count(), 20);
}

TEST(GeoEllipse, FullEllipsesAndLongArcsFollowTheStep) {
    PointArray out;
    // Angle step 0.01: trunc(2π / 0.01) = 628 steps, 630 points, closed.
    ASSERT_EQ(Ellipse_ToPolyline({0, 0}, 100, 40, 1.0, 1.0, kPi / 2, true, true, 1.0, out),
              kGeomOk);
    ASSERT_EQ(out.Count(), 630);
    EXPECT_NEAR(out.At(0).x, out.At(629).x, 1e-12);
    EXPECT_NEAR(out.At(0).y, out.At(629).y, 1e-12);
    // Turned by π/2: the point at parameter 1 is (−40 sin 1, 100 cos 1).
    EXPECT_NEAR(out.At(0).x, -40 * std::sin(1.0), 1e-12);
    EXPECT_NEAR(out.At(0).y, 100 * std::cos(1.0), 1e-12);
    // Angles outside one turn are reduced first: −π/2 .. π/2 counter-clockwise is a half.
    ASSERT_EQ(Ellipse_ToPolyline({0, 0}, 100, 100, -kPi / 2, kPi / 2, 0, true, false, 1.0, out),
              kGeomOk);
    EXPECT_EQ(out.Count(), static_cast<std::int32_t>(std::trunc(kPi / 0.01)) + 2);
    EXPECT_GT(out.At(out.Count() / 2).x, 99.99);
}

TEST(GeoEllipse, RefusalsLeaveNoPoints) {
    PointArray out;
    EXPECT_EQ(Ellipse_ToPolyline({0, 0}, 10, 5, 0, 1, 0, true, false, 1e-10, out),
              kGeomStepNotPositive);
    EXPECT_EQ(Ellipse_ToPolyline({0, 0}, 10, 5, 0, 1, 0, true, false, kNaN, out),
              kGeomStepNotPositive);
    EXPECT_EQ(Ellipse_ToPolyline({0, 0}, 0, 0, 0, 1, 0, true, false, 1.0, out), kGeomOk);
    EXPECT_EQ(out.Count(), 0);
    EXPECT_EQ(Ellipse_ToPolyline({0, 0}, 1e12, 5, 0, 1, 0, true, true, 0.0001, out),
              kGeomAngleStepZero);
    EXPECT_EQ(Ellipse_ToPolyline({0, kNaN}, 10, 5, 0, 1, 0, true, false, 1.0, out), kGeomNotFinite);
    EXPECT_EQ(Ellipse_ToPolyline({0, 0}, 10, 5, kInf, 1, 0, true, false, 1.0, out), kGeomNotFinite);
    // Angle step 1e-8 on a full turn: 6e8 points, refused without allocating.
    EXPECT_EQ(Ellipse_ToPolyline({0, 0}, 1e6, 1e6, 0, 0, 0, true, true, 0.01, out),
              kGeomTooManyPoints);
    EXPECT_EQ(out.Count(), 0);
}

std::vector<std::uint8_t> Doubles(std::initializer_list<double> values) {
    std::vector<std::uint8_t> bytes(values.size() * 8);
    std::size_t at = 0;
    for (double v : values) {
        EXPECT_TRUE(StoreF64(bytes, at, v));
        at += 8;
    }
    return bytes;
}

TEST(GeoBezier, CountsFollowTheControlPolygon) {
    PointArray out;
    // Control polygon 0.4 long: one point, the end, then the end once more.
    ASSERT_EQ(Bezier_ToPolyline(Doubles({0, 0, 0.1, 0, 0.2, 0, 0.4, 0}), out), kGeomOk);
    ASSERT_EQ(out.Count(), 3);
    EXPECT_EQ(out.At(1).x, 0.4);
    EXPECT_EQ(out.At(2).x, 0.4);

    // Polygon of 30: 31 points; a second segment of polygon 3: 4 more.
    ASSERT_EQ(Bezier_ToPolyline(Doubles({0, 0, 0, 10, 10, 10, 10, 0, 11, 0, 12, 0, 13, 0}), out),
              kGeomOk);
    ASSERT_EQ(out.Count(), 1 + 31 + 4 + 1);
    EXPECT_EQ(out.At(31).x, 10);  // t = 1 of the first segment is its end exactly
    EXPECT_EQ(out.At(31).y, 0);
    // The symmetric first segment is symmetric in its samples.
    EXPECT_NEAR(out.At(5).x, 10 - out.At(31 - 5).x, 1e-12);
    EXPECT_NEAR(out.At(5).y, out.At(31 - 5).y, 1e-12);

    // Only a start point: it is also the end. Trailing bytes of a partial segment are ignored.
    ASSERT_EQ(Bezier_ToPolyline(Doubles({4, 5}), out), kGeomOk);
    EXPECT_EQ(out.Count(), 2);
    ASSERT_EQ(Bezier_ToPolyline(Doubles({0, 0, 0.1, 0, 0.2, 0, 0.4, 0, 9, 9, 9}), out), kGeomOk);
    EXPECT_EQ(out.Count(), 3);
}

TEST(GeoBezier, HostileInputIsRefused) {
    PointArray out;
    EXPECT_EQ(Bezier_ToPolyline(std::vector<std::uint8_t>(15, 0), out), kGeomDataTooShort);
    EXPECT_EQ(Bezier_ToPolyline(Doubles({0, 0, 1, 1, kNaN, 2, 3, 3}), out), kGeomNotFinite);
    EXPECT_EQ(out.Count(), 0);
    EXPECT_EQ(Bezier_ToPolyline(Doubles({0, 0, 1e9, 0, 1e9, 1e9, 0, 0}), out), kGeomTooManyPoints);
    EXPECT_EQ(Bezier_ToPolyline(Doubles({-1e308, 0, 1e308, 0, 1e308, 1, 0, 0}), out),
              kGeomTooManyPoints);
    // Many small segments that together pass the cap are refused as well.
    std::vector<double> many = {0, 0};
    for (int i = 0; i < 8000; ++i) {
        const double x = (i + 1) * 2000.0;
        many.insert(many.end(), {x - 1500, 0, x - 500, 0, x, 0});
    }
    std::vector<std::uint8_t> bytes(many.size() * 8);
    for (std::size_t i = 0; i < many.size(); ++i) ASSERT_TRUE(StoreF64(bytes, 8 * i, many[i]));
    EXPECT_EQ(Bezier_ToPolyline(bytes, out), kGeomTooManyPoints);
    EXPECT_EQ(out.Count(), 0);
}

std::vector<Point> ListPoints() {
    const PointListView v = PointList_Get();
    std::vector<Point> pts;
    for (std::int32_t i = 0; i < v.count; ++i) pts.push_back({v.xy[2 * i], v.xy[2 * i + 1]});
    return pts;
}

TEST(GeoSpline, ShortPiecesAreOneStepAndNearPointsAreDropped) {
    ASSERT_EQ(PointList_Init(), kGeomOk);
    // 0.2 apart: n = trunc(0.6) raised to 1, the only sampled point is the end.
    ASSERT_EQ(Spline_ToPolyline({0, 0}, kPi / 4, {0.2, 0.2}, kPi / 4, 0.28, 0.28), kGeomOk);
    std::vector<Point> pts = ListPoints();
    ASSERT_EQ(pts.size(), 2u);
    EXPECT_EQ(pts[0].x, 0);
    EXPECT_NEAR(pts[1].x, 0.2, 1e-15);
    EXPECT_NEAR(pts[1].y, 0.2, 1e-15);
    // A later piece adds only its end points; one within 0.001 of the last is dropped.
    ASSERT_EQ(Spline_ToPolyline({0.2, 0.2}, 0, {0.2009, 0.2005}, 0, 0, 0), kGeomOk);
    EXPECT_EQ(ListPoints().size(), 2u);
    ASSERT_EQ(Spline_ToPolyline({0.2, 0.2}, 0, {0.2, 0.2011}, 0, 0, 0), kGeomOk);
    pts = ListPoints();
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_NEAR(pts[2].y, 0.2011, 1e-15);
    PointList_Free();
    EXPECT_EQ(PointList_Get().count, 0);
}

TEST(GeoSpline, ContourPiecesShareOneListThatGrowsPast2048Points) {
    // Items: (0,0) east, (1000,0) east, (1000,0) north (a zero piece), (1000,5) north, with
    // tangent lengths that make both real pieces straight and evenly sampled.
    std::vector<std::uint8_t> items(4 * kContourItemBytes + 7, 0);
    const double xs[] = {0, 1000, 1000, 1000}, ys[] = {0, 0, 0, 5};
    const double as[] = {0, 0, kPi / 2, kPi / 2};
    const float ts[] = {1000, 0, 5, 0};
    for (int i = 0; i < 4; ++i) {
        const std::size_t at = i * kContourItemBytes;
        ASSERT_TRUE(StoreF64(items, at, xs[i]) && StoreF64(items, at + 8, ys[i]) &&
                    StoreF64(items, at + 16, as[i]) && StoreF32(items, at + 24, ts[i]) &&
                    StoreF32(items, at + 28, ts[i]));
    }
    ASSERT_EQ(PointList_Init(), kGeomOk);
    ASSERT_EQ(Contour_ToPolyline(items), kGeomOk);
    const std::vector<Point> pts = ListPoints();
    // 3000 steps of the first piece, none of the zero piece, 15 of the last.
    ASSERT_EQ(pts.size(), 1u + 3000u + 15u);
    EXPECT_EQ(pts[0].x, 0);
    EXPECT_NEAR(pts[3000].x, 1000, 1e-9);
    EXPECT_NEAR(pts.back().y, 5, 1e-12);
    for (std::size_t i = 1; i < 3000; ++i) EXPECT_NEAR(pts[i].x - pts[i - 1].x, 1.0 / 3, 1e-9);

    // Fewer than two items: nothing.
    ASSERT_EQ(PointList_Init(), kGeomOk);
    ASSERT_EQ(Contour_ToPolyline(std::span<const std::uint8_t>(items).first(40)), kGeomOk);
    EXPECT_EQ(PointList_Get().count, 0);

    EXPECT_EQ(Spline_ToPolyline({0, 0}, 0, {1e7, 0}, 0, 1, 1), kGeomTooManyPoints);
    EXPECT_EQ(Spline_ToPolyline({0, 0}, kNaN, {1, 0}, 0, 1, 1), kGeomNotFinite);
    EXPECT_EQ(Spline_ToPolyline({0, 0}, 0, {1, 0}, 0, kInf, 1), kGeomNotFinite);
    EXPECT_EQ(PointList_Get().count, 0);
    PointList_Free();
}

// The clothoid's true shape, independent of the series: x(L) = ∫ cos(s²/2A²) ds,
// y(L) = ∫ sin(s²/2A²) ds from 0 to L by Simpson's rule.
Point Fresnel(double a, double length) {
    const int n = 20000;
    const double h = length / n;
    double sx = 0, sy = 0;
    for (int i = 0; i <= n; ++i) {
        const double s = i * h;
        const double w = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
        sx += w * std::cos(s * s / (2 * a * a));
        sy += w * std::sin(s * s / (2 * a * a));
    }
    return {sx * h / 3, sy * h / 3};
}

std::vector<std::uint8_t> ClothoidElement(double a, Point p1, double r1, double h1, Point p2,
                                          double r2, double h2) {
    std::vector<std::uint8_t> e(112, 0);
    EXPECT_TRUE(StoreI16(e, 0, 18) && StoreF64(e, kClothoidParamA, a) &&
                StoreF64(e, kClothoidStartX, p1.x) && StoreF64(e, kClothoidStartX + 8, p1.y) &&
                StoreF64(e, kClothoidStartRadius, r1) && StoreF64(e, kClothoidStartOffset, h1) &&
                StoreF64(e, kClothoidEndX, p2.x) && StoreF64(e, kClothoidEndX + 8, p2.y) &&
                StoreF64(e, kClothoidEndRadius, r2) && StoreF64(e, kClothoidEndOffset, h2));
    return e;
}

std::vector<Point> SampleClothoid(std::vector<std::uint8_t>& element, std::int32_t expectRc = 0) {
    EXPECT_EQ(PointList_Init(), kGeomOk);
    EXPECT_EQ(Clothoid_ToPolyline(element), expectRc);
    std::vector<Point> pts = ListPoints();
    PointList_Free();
    return pts;
}

TEST(GeoClothoid, SamplesLieOnTheTrueSpiralAndMarkTheElement) {
    const double a = 100;
    const Point end = Fresnel(a, 100);  // R 100 at L = 100
    auto e = ClothoidElement(a, {0, 0}, 0, 0, end, 100, 0);
    const std::vector<Point> pts = SampleClothoid(e);
    ASSERT_EQ(pts.size(), 101u);
    for (int i = 0; i <= 100; i += 10) {
        const Point truth = Fresnel(a, i);
        EXPECT_NEAR(pts[i].x, truth.x, 1e-9) << "L " << i;
        EXPECT_NEAR(pts[i].y, truth.y, 1e-9) << "L " << i;
    }
    std::int16_t kind = 0;
    ASSERT_TRUE(LoadI16(e, 0, kind));
    EXPECT_EQ(kind, 2);

    // Run the other way (from R 100 out to the straight end), and placed elsewhere:
    // the same points in reverse order.
    auto back = ClothoidElement(a, end, 100, 0, {0, 0}, 0, 0);
    const std::vector<Point> rev = SampleClothoid(back);
    ASSERT_EQ(rev.size(), 101u);
    for (std::size_t i = 0; i < rev.size(); ++i) {
        EXPECT_NEAR(rev[i].x, pts[100 - i].x, 1e-9);
        EXPECT_NEAR(rev[i].y, pts[100 - i].y, 1e-9);
    }
}

TEST(GeoClothoid, NegativeRadiiMirrorAndOffsetsDisplaceAtRightAngles) {
    const Point end{80, 30};
    auto left = ClothoidElement(60, {0, 0}, 0, 0, end, 50, 0);
    auto right = ClothoidElement(60, {0, 0}, 0, 0, end, -50, 0);
    const std::vector<Point> l = SampleClothoid(left);
    const std::vector<Point> r = SampleClothoid(right);
    ASSERT_EQ(l.size(), r.size());
    ASSERT_GT(l.size(), 10u);
    // Mirror images across the chord, ending exactly on the given points.
    const double len = std::hypot(end.x, end.y);
    const Point u{end.x / len, end.y / len};
    for (std::size_t i = 0; i < l.size(); ++i) {
        const double alongL = l[i].x * u.x + l[i].y * u.y;
        const double alongR = r[i].x * u.x + r[i].y * u.y;
        const double sideL = -l[i].x * u.y + l[i].y * u.x;
        const double sideR = -r[i].x * u.y + r[i].y * u.x;
        EXPECT_NEAR(alongL, alongR, 1e-9);
        EXPECT_NEAR(sideL, -sideR, 1e-9);
    }
    EXPECT_NEAR(l.back().x, end.x, 1e-9);
    EXPECT_NEAR(l.back().y, end.y, 1e-9);

    // A constant offset of 2 moves every sample 2 units away from its base point, at
    // right angles to the curve, whichever way the curve runs.
    for (bool reversed : {false, true}) {
        auto base = reversed ? ClothoidElement(60, end, 50, 0, {0, 0}, 0, 0)
                             : ClothoidElement(60, {0, 0}, 0, 0, end, 50, 0);
        auto moved = reversed ? ClothoidElement(60, end, 50, 2, {0, 0}, 0, 2)
                              : ClothoidElement(60, {0, 0}, 0, 2, end, 50, 2);
        const std::vector<Point> b = SampleClothoid(base);
        const std::vector<Point> m = SampleClothoid(moved);
        ASSERT_EQ(b.size(), m.size());
        // (The last step is shorter, so the central difference is left out next to it.)
        for (std::size_t i = 1; i + 2 < b.size(); ++i) {
            const Point d{m[i].x - b[i].x, m[i].y - b[i].y};
            const Point t{b[i + 1].x - b[i - 1].x, b[i + 1].y - b[i - 1].y};
            EXPECT_NEAR(std::hypot(d.x, d.y), 2, 1e-9);
            EXPECT_NEAR((d.x * t.x + d.y * t.y) / std::hypot(t.x, t.y), 0, 1e-3)
                << reversed << " i " << i;
        }
    }
}

TEST(GeoClothoid, DegenerateAndHostileElements) {
    // No curve to speak of: the straight segment between the given points.
    for (auto e : {ClothoidElement(0, {1, 2}, 0, 0, {5, 6}, 50, 0),
                   ClothoidElement(60, {1, 2}, 50, 0, {5, 6}, 50, 0),
                   ClothoidElement(60, {1, 2}, 0, 0, {1, 2.000001}, 50, 0)}) {
        const std::vector<Point> pts = SampleClothoid(e);
        ASSERT_EQ(pts.size(), 2u);
        EXPECT_EQ(pts[0].x, 1);
    }
    std::vector<std::uint8_t> shortElement(79, 0);
    SampleClothoid(shortElement, kGeomDataTooShort);
    auto nan = ClothoidElement(60, {0, 0}, 0, kNaN, {80, 30}, 50, 0);
    EXPECT_TRUE(SampleClothoid(nan, kGeomNotFinite).empty());
    std::int16_t kind = 0;
    ASSERT_TRUE(LoadI16(nan, 0, kind));
    EXPECT_EQ(kind, 18);  // refused before anything was changed
    // 2e7 units long in steps of 1: refused without sampling.
    const double a = 2e7;
    const Point far{a * 0.97529, a * 0.16510};  // about the spiral's end at τ = 0.5
    auto huge = ClothoidElement(a, {0, 0}, 0, 0, far, a, 0);
    EXPECT_TRUE(SampleClothoid(huge, kGeomTooManyPoints).empty());
}

}  // namespace
