// Angles, lines and circles: the direction conventions and the degenerate cases the
// element walk relies on (vertical by tolerance, due east as 2π, collinear points).
#include "support/geometry/Angles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/geometry/LinesCircles.h"

namespace {

constexpr double kEps = 1e-12;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(GeoAngles, AngleOfAndAtan2CoverEveryQuadrantAndTheVerticalTolerance) {
    EXPECT_NEAR(Angle_Of(0, 0, 0, -1), 3 * kPi / 2, kEps);
    EXPECT_EQ(Angle_Of(0, 0, 0, 0), 0.0);
    EXPECT_EQ(Angle_Of(0, 0, 1, 0), 0.0);
    EXPECT_NEAR(Angle_Of(0, 0, -1, -1), 5 * kPi / 4, kEps);
    EXPECT_NEAR(Angle_Of(2, 3, 1, 4), 3 * kPi / 4, kEps);
    // A dx within the tolerance counts as vertical, whatever its sign.
    EXPECT_EQ(Angle_Of(0, 0, 0.000005, 1), kPi / 2);
    EXPECT_EQ(Angle_Of(0, 0, -0.000005, -1), 3 * kPi / 2);
    // Just below 0 direction wraps to just below 2π, never negative.
    const double a = Angle_Of(0, 0, 1, -1e-9);
    EXPECT_GT(a, 6.28);
    EXPECT_LT(a, kTwoPi);
    // The signed variant: a tiny x counts as zero too.
    EXPECT_EQ(Angle_Atan2(3, 0.000009), kPi / 2);
    EXPECT_EQ(Angle_Atan2(-3, -0.000009), -kPi / 2);
    EXPECT_NEAR(Angle_Atan2(0, -1), kPi, kEps);
}

TEST(GeoAngles, NormalizeIsExactForAnySizeAndCleanForNonFinite) {
    EXPECT_NEAR(Angle_Normalize(-kPi / 2), 3 * kPi / 2, kEps);
    EXPECT_NEAR(Angle_Normalize(5 * kPi), kPi, 1e-12);
    EXPECT_EQ(Angle_Normalize(kTwoPi), 0.0);
    // A tiny negative angle must not round up to a full turn.
    const double tiny = Angle_Normalize(-1e-20);
    EXPECT_GE(tiny, 0.0);
    EXPECT_LT(tiny, kTwoPi);
    // Huge values take no time (no loop of additions) and stay in range.
    const double huge = Angle_Normalize(1e300);
    EXPECT_GE(huge, 0.0);
    EXPECT_LT(huge, kTwoPi);
    EXPECT_TRUE(std::isnan(Angle_Normalize(kNaN)));
    EXPECT_TRUE(std::isnan(Angle_Normalize(std::numeric_limits<double>::infinity())));
}

TEST(GeoAngles, DirFollowsTheTrueDirectionAroundTheCircleAndLiftsEast) {
    EXPECT_EQ(Angle_Dir(0, 0), 0.0);
    EXPECT_EQ(Angle_Dir(0.000009, -0.000009), 0.0);
    EXPECT_NEAR(Angle_Dir(1, 0), kTwoPi, kEps);  // due east is 2π
    EXPECT_NEAR(Angle_Dir(0, 1), kPi / 2, kEps);
    EXPECT_NEAR(Angle_Dir(-1, 0), kPi, kEps);
    EXPECT_NEAR(Angle_Dir(0, -1), 3 * kPi / 2, kEps);
    // Every direction, including those with a component inside the tolerance band,
    // comes out as the true direction (lifted by 2π near east).
    for (int i = 1; i < 3600; ++i) {
        const double theta = kTwoPi * i / 3600.0;
        for (double r : {1.0, 1000.0}) {
            EXPECT_NEAR(Angle_Dir(r * std::cos(theta), r * std::sin(theta)), theta, 1e-9)
                << "theta " << theta << " r " << r;
        }
    }
    for (double small : {0.000005, -0.000005, 1e-9}) {
        EXPECT_NEAR(Angle_Dir(small, 1), std::atan2(1.0, small), 1e-12);
        EXPECT_NEAR(Angle_Dir(small, -1), std::atan2(-1.0, small) + kTwoPi, 1e-12);
        EXPECT_NEAR(Angle_Dir(-1, small), std::atan2(small, -1.0) + (small < 0 ? kTwoPi : 0),
                    1e-12);
    }
}

TEST(GeoAngles, BetweenIsCounterClockwiseFromTheFirstRay) {
    const Point o{1, 1};
    EXPECT_NEAR(Angle_Between(o, {2, 1}, {1, 2}), kPi / 2, kEps);
    EXPECT_NEAR(Angle_Between(o, {1, 2}, {2, 1}), 3 * kPi / 2, kEps);
    EXPECT_NEAR(Angle_Between(o, {0, 0}, {2, 2}), kPi, kEps);
    EXPECT_NEAR(Angle_Between(o, {3, 1}, {3, 1}), 0.0, kEps);
}

TEST(GeoAngles, RotateBySenseAndLeavesTinyVectorsAlone) {
    Point v{1, 0};
    Vector_Rotate(v, kPi / 2, 1);
    EXPECT_NEAR(v.x, 0, kEps);
    EXPECT_NEAR(v.y, 1, kEps);
    v = {1, 0};
    Vector_Rotate(v, kPi / 2, 2);
    EXPECT_NEAR(v.x, 0, kEps);
    EXPECT_NEAR(v.y, -1, kEps);
    Point tiny{0.000009, -0.000003};
    Vector_Rotate(tiny, 1.0, 1);
    EXPECT_EQ(tiny.x, 0.000009);
    EXPECT_EQ(tiny.y, -0.000003);
    Point other{3, 4};
    Vector_Rotate(other, 1.0, 0);
    EXPECT_EQ(other.x, 3);
    EXPECT_EQ(other.y, 4);
    EXPECT_EQ(Distance({0, 0}, {3, 4}), 5.0);
    EXPECT_NEAR(Distance({1e300, 0}, {-1e300, 0}), 2e300, 1e288);  // no overflow
}

TEST(GeoLinesCircles, IntersectGivesPointAndBothParameters) {
    LineIntersection hit;
    ASSERT_EQ(Lines_Intersect({0, 0}, {4, 0}, {1, -1}, {1, 3}, hit), 1);
    EXPECT_NEAR(hit.point.x, 1, kEps);
    EXPECT_NEAR(hit.point.y, 0, kEps);
    EXPECT_NEAR(hit.t1, 0.25, kEps);
    EXPECT_NEAR(hit.t2, 0.25, kEps);
    // Beyond the segments: the lines still meet.
    ASSERT_EQ(Lines_Intersect({0, 0}, {1, 1}, {4, 0}, {5, -1}, hit), 1);
    EXPECT_NEAR(hit.point.x, 2, kEps);
    EXPECT_NEAR(hit.t1, 2.0, kEps);
    EXPECT_NEAR(hit.t2, -2.0, kEps);

    LineIntersection untouched{{7, 7}, 8, 9};
    EXPECT_EQ(Lines_Intersect({0, 0}, {1, 1}, {0, 1}, {2, 3}, untouched), 0);  // parallel
    EXPECT_EQ(Lines_Intersect({0, 0}, {0, 0}, {0, 1}, {2, 3}, untouched), 0);  // zero length
    EXPECT_EQ(Lines_Intersect({0, 0}, {kNaN, 1}, {0, 1}, {2, 3}, untouched), 0);
    EXPECT_EQ(untouched.point.x, 7);
    EXPECT_EQ(untouched.t1, 8);
    EXPECT_EQ(untouched.t2, 9);
}

TEST(GeoLinesCircles, CircleFromThreePointsAndTheCollinearFallback) {
    Point c;
    double r = -1;
    ASSERT_EQ(Circle_From3Points({10, 0}, {0, 10}, {-10, 0}, c, r), 1);
    EXPECT_NEAR(c.x, 0, 1e-9);
    EXPECT_NEAR(c.y, 0, 1e-9);
    EXPECT_NEAR(r, 10, 1e-9);
    ASSERT_EQ(Circle_From3Points({6, 2}, {3, 5}, {0, 2}, c, r), 1);
    EXPECT_NEAR(c.x, 3, 1e-9);
    EXPECT_NEAR(c.y, 2, 1e-9);
    EXPECT_NEAR(r, 3, 1e-9);

    EXPECT_EQ(Circle_From3Points({0, 0}, {1, 1}, {3, 3}, c, r), 0);
    EXPECT_EQ(c.x, 1.5);
    EXPECT_EQ(c.y, 1.5);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(Circle_From3Points({2, 2}, {2, 2}, {2, 2}, c, r), 0);
}

TEST(GeoLinesCircles, OrientationIsExactWhileTheAreaKeepsItsSign) {
    EXPECT_EQ(Orientation3({0, 0}, {1, 0}, {0, 1}), 1);
    EXPECT_EQ(Orientation3({0, 0}, {0, 1}, {1, 0}), -1);
    EXPECT_EQ(Orientation3({0, 0}, {1, 1}, {2, 2}), 0);
    // No tolerance: a sliver far below 1e-10 still has an orientation.
    EXPECT_EQ(Orientation3({0, 0}, {1, 0}, {2, 1e-200}), 1);
    EXPECT_EQ(Triangle_SignedArea({0, 0}, {4, 0}, {0, 3}), 6.0);
    EXPECT_EQ(Orientation3({0, 0}, {kNaN, 0}, {0, 1}), 0);
}

}  // namespace
