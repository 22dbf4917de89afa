// Dash splitting: where the pattern starts (phase forwards, backwards, wrapping,
// centred), cutting across vertices, the open dash at the end, and the refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "support/geometry/DashSplit.h"

namespace {

using Dash = std::vector<double>;  // flat x, y pairs

struct Collected {
    std::vector<Dash> dashes;
    std::int32_t rc = 0;
};

Collected Split(const std::vector<double>& xy, const std::vector<double>& pattern, double phase,
                bool centred = false) {
    Collected c;
    auto take = [&c](const double* pts, std::int32_t n) -> std::int32_t {
        c.dashes.emplace_back(pts, pts + 2 * n);
        return 0;
    };
    c.rc = centred ? Dash_SplitCentred(xy, pattern, take) : Dash_Split(xy, pattern, phase, take);
    return c;
}

// The x extents of dashes along the x axis.
std::vector<std::pair<double, double>> Extents(const Collected& c) {
    std::vector<std::pair<double, double>> out;
    for (const Dash& d : c.dashes) out.emplace_back(d.front(), d[d.size() - 2]);
    return out;
}

void ExpectExtents(const Collected& c, std::vector<std::pair<double, double>> want) {
    ASSERT_EQ(c.rc, 0);
    const auto got = Extents(c);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i].first, want[i].first, 1e-12) << "dash " << i;
        EXPECT_NEAR(got[i].second, want[i].second, 1e-12) << "dash " << i;
    }
}

const std::vector<double> kLine10 = {0, 0, 10, 0};

TEST(GeoDash, PhaseForwardsBackwardsAndWrapping) {
    // No phase: the last dash is still open at the end of the line and comes last.
    ExpectExtents(Split(kLine10, {2, 1}, 0), {{0, 2}, {3, 5}, {6, 8}, {9, 10}});
    // One unit into the first dash.
    const std::vector<std::pair<double, double>> forward = {{0, 1}, {2, 4}, {5, 7}, {8, 10}};
    ExpectExtents(Split(kLine10, {2, 1}, 1), forward);
    // Whole periods more or less change nothing, in either direction.
    ExpectExtents(Split(kLine10, {2, 1}, 7), forward);
    ExpectExtents(Split(kLine10, {2, 1}, -5), forward);
    ExpectExtents(Split(kLine10, {2, 1}, 3e6 + 1), forward);
    // One unit backwards: the pen starts up in the gap; a dash that would begin exactly
    // at the end of the line is no dash.
    ExpectExtents(Split(kLine10, {2, 1}, -1), {{1, 3}, {4, 6}, {7, 9}});
    // Starting exactly at the end of the first dash starts in its gap.
    ExpectExtents(Split(kLine10, {2, 1}, 2), {{1, 3}, {4, 6}, {7, 9}});
    // Several pairs, started at the beginning of the second pair's gap.
    ExpectExtents(Split(kLine10, {1, 1, 3, 2}, 5), {{2, 3}, {4, 7}, {9, 10}});
}

TEST(GeoDash, DashesFollowThePolylineAcrossVertices) {
    const Collected c = Split({0, 0, 3, 0, 3, 3}, {4, 1}, 0);
    ASSERT_EQ(c.rc, 0);
    ASSERT_EQ(c.dashes.size(), 2u);
    EXPECT_EQ(c.dashes[0], (Dash{0, 0, 3, 0, 3, 1}));
    EXPECT_EQ(c.dashes[1], (Dash{3, 2, 3, 3}));
    // Zero-length segments are passed over.
    ExpectExtents(Split({0, 0, 0, 0, 4, 0, 4, 0}, {1, 1}, 0), {{0, 1}, {2, 3}});
    // A dash of length 0 is a dot: two equal points, at the very start too.
    const Collected dots = Split({0, 0, 3, 0}, {0, 1, 0.5, 0.5}, 0);
    ExpectExtents(dots, {{0, 0}, {1, 1.5}, {2, 2}});
    EXPECT_EQ(dots.dashes[0], (Dash{0, 0, 0, 0}));
}

TEST(GeoDash, CentredPatternIsSymmetric) {
    // Length 10, period 3, first dash 2: phase (2 + 3 · 3 − 10) / 2 = 0.5.
    ExpectExtents(Split(kLine10, {2, 1}, 0, true), {{0, 1.5}, {2.5, 4.5}, {5.5, 7.5}, {8.5, 10}});
    // The centring phase 1.5 is not below the first dash 1: no phase.
    ExpectExtents(Split(kLine10, {1, 5}, 0, true), {{0, 1}, {6, 7}});
}

TEST(GeoDash, PatternsWithoutDashesOrGapsPassTheWholeLine) {
    const std::vector<double> poly = {0, 0, 5, 0, 5, 5};
    for (const std::vector<double>& pattern :
         std::vector<std::vector<double>>{{}, {3, 0}, {0, 3}, {1e-11, 5}, {-2, 1}, {4}}) {
        const Collected c = Split(poly, pattern, 0.7);
        ASSERT_EQ(c.rc, 0);
        ASSERT_EQ(c.dashes.size(), 1u);
        EXPECT_EQ(c.dashes[0], poly);
    }
}

TEST(GeoDash, RefusalsPassNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Split({1, 1}, {2, 1}, 0).rc, kGeomDashTooFewPoints);
    EXPECT_EQ(Split({}, {2, 1}, 0).rc, kGeomDashTooFewPoints);
    EXPECT_EQ(Split({0, 0, 1}, {2, 1}, 0).rc, kGeomDataTooShort);
    EXPECT_EQ(Split({0, 0, nan, 1}, {2, 1}, 0).rc, kGeomNotFinite);
    EXPECT_EQ(Split(kLine10, {2, nan}, 0).rc, kGeomNotFinite);
    EXPECT_EQ(Split(kLine10, {2, 1}, nan).rc, kGeomNotFinite);
    // Dashes of 1e-9 along 1000 units would be 1e12 pieces: refused before any.
    const Collected tiny = Split({0, 0, 1000, 0}, {1e-9, 1e-9}, 0);
    EXPECT_EQ(tiny.rc, kGeomTooManyPoints);
    EXPECT_TRUE(tiny.dashes.empty());
    EXPECT_EQ(Split({-1e308, 0, 1e308, 0}, {1, 1}, 0).rc, kGeomTooManyPoints);
}

TEST(GeoDash, ACallbackFailureEndsTheSplitWithItsCode) {
    int calls = 0;
    const std::int32_t rc = Dash_Split(
        kLine10, std::vector<double>{2, 1}, 0.0,
        [&calls](const double*, std::int32_t) -> std::int32_t { return ++calls == 2 ? 22 : 0; });
    EXPECT_EQ(rc, 22);
    EXPECT_EQ(calls, 2);
}

}  // namespace
