// Ellipses and Bézier curves through the real walk and server: runs of 1000 points, the
// full-curve rule, the sampled points checked by ezdxf (curves_oracle.py, run with
// /usr/bin/python3) on their own and inside placements (rotated, unequally scaled,
// mirrored), a Bézier longer than the 16-bit rest count, dashed curves.
#include <cstdio>
#include <filesystem>

#include "PlaceFixture.h"
#include "convert/ConvertStatus.h"
#include "convert/SampledCurves.h"

namespace place_test {
namespace {

class Curves : public PlaceFixture {
  protected:
    // The points of the polylines, concatenated in order.
    static std::vector<double> AllPoints(const std::vector<Converted>& polylines) {
        std::vector<double> xy;
        for (const auto& p : polylines) xy.insert(xy.end(), p.xy.begin(), p.xy.end());
        return xy;
    }
};

std::string Number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string Pairs(const std::vector<double>& xy) {
    std::string out = "[";
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
        out += (i ? ",[" : "[") + Number(xy[i]) + "," + Number(xy[i + 1]) + "]";
    }
    return out + "]";
}

std::string PlacementJson(const pdbform::Placement* p) {
    if (p == nullptr) return "null";
    return "[" + Number(p->translateX) + "," + Number(p->translateY) + "," + Number(p->rotation) +
           "," + Number(p->scaleX) + "," + Number(p->scaleY) + "]";
}

TEST_F(Curves, EllipseOf2500PointsIsWrittenInRunsOf1000) {
    // The radius whose full turn is 2498.5 angle steps of the converter's sampling rule:
    // 2498 steps, the last point and the closing one.
    double low = 1, high = 1e6, r = 0;
    for (int i = 0; i < 200; ++i) {
        r = (low + high) / 2;
        (kTwoPi * r / Curve_SamplingStep(r) < 2498.5 ? low : high) = r;
    }
    pdbform::PdbFile d = Drawing();
    (void)AddEllipse(d, 26, kSolidPen2, {4, 5, r, r / 2, 0.5, 0.5 + kTwoPi, 0.25}, true);
    pdbform::PdbFile pdb;
    ASSERT_EQ(Walk(d, pdb), 0);
    const auto runs = Elements(pdb, 6);
    ASSERT_EQ(runs.size(), 3u);
    // Each later run begins with the joint point: 1000, 999 + 1 and 500 + 1 + 1 points.
    const std::size_t sizes[] = {2000, 2000, 1004};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(runs[i].xy.size(), sizes[i]);
        EXPECT_EQ(runs[i].kind, 6);
        EXPECT_EQ(runs[i].layer, 1);
        EXPECT_EQ(runs[i].pen, 2);
        EXPECT_EQ(runs[i].lineType, 2);
        EXPECT_EQ(runs[i].values, (std::vector<double>{1, 2, 3}));
    }
    for (std::size_t i = 1; i < 3; ++i) {
        const std::vector<double>& before = runs[i - 1].xy;
        EXPECT_EQ(runs[i].xy[0], before[before.size() - 2]) << "run " << i;
        EXPECT_EQ(runs[i].xy[1], before[before.size() - 1]) << "run " << i;
    }
    const double x = r * std::cos(0.5), y = r / 2 * std::sin(0.5);
    const std::vector<double> xy = AllPoints(runs);
    EXPECT_NEAR(xy[0], 4 + x * std::cos(0.25) - y * std::sin(0.25), 1e-9);
    EXPECT_NEAR(xy[1], 5 + x * std::sin(0.25) + y * std::cos(0.25), 1e-9);
    EXPECT_NEAR(xy[xy.size() - 2], xy[0], 1e-9);
    EXPECT_NEAR(xy[xy.size() - 1], xy[1], 1e-9);
}

TEST_F(Curves, FullOnlyWhenTheSweepIsWithin1e7OfATurn) {
    // Radius 100: the same number of points for each of the three.
    pdbform::PdbFile d = Drawing();
    (void)AddEllipse(d, 26, kSolidPen1, {0, 0, 100, 100, 1, 1 + kTwoPi - 1e-9, 0}, true);
    (void)AddEllipse(d, 26, kSolidPen1, {0, 0, 100, 100, 1, 1 + kTwoPi - 1e-6, 0}, true);
    (void)AddEllipse(d, 26, kSolidPen1, {0, 0, 100, 100, 1 + kTwoPi - 1e-9, 1, 0}, false);
    pdbform::PdbFile pdb;
    ASSERT_EQ(Walk(d, pdb), 0);
    const std::vector<double> xy = AllPoints(Elements(pdb, 6));
    ASSERT_EQ(xy.size() % 6, 0u);
    const std::size_t kPoints = xy.size() / 6;
    ASSERT_GT(kPoints, 100u);
    auto gap = [&](std::size_t curve) {
        const double* p = xy.data() + curve * 2 * kPoints;
        return std::hypot(p[2 * kPoints - 2] - p[0], p[2 * kPoints - 1] - p[1]);
    };
    EXPECT_LT(gap(0), 1e-9);                // closed
    EXPECT_NEAR(gap(1), 100 * 1e-6, 1e-7);  // stops 1e-6 rad short of its start
    EXPECT_LT(gap(2), 1e-9);                // clockwise, closed
}

TEST_F(Curves, SampledPointsLieOnTheTrueCurves) {
    struct Ellipse {
        std::array<double, 7> v;
        bool ccw;
    };
    const std::vector<double> controls = {0, 0, 1, 3, 4, 3, 5, 0, 6, -3, 9, -3, 10, 0};
    pdbform::Placement turned, unequal, mirrored;
    turned.translateX = 10, turned.translateY = 5, turned.rotation = 0.9;
    turned.scaleX = turned.scaleY = 1.5;
    unequal.translateX = -7, unequal.translateY = 2, unequal.rotation = 0.4;
    unequal.scaleX = 2, unequal.scaleY = 0.5;
    mirrored.rotation = 0.2, mirrored.scaleX = -1;
    // In walk order: three top-level curves, then the members of the three placements.
    const std::vector<std::pair<Ellipse, const pdbform::Placement*>> ellipses = {
        {{{3, -2, 5, 2, 0.3, 2.5, 0.7}, true}, nullptr},
        {{{0, 0, 4, 3, 2.0, 5.5, -0.4}, false}, nullptr},
        {{{1, 1, 3, 1, 0, kTwoPi, 0.2}, true}, &turned},
        {{{0, 0, 4, 2, 1, 4, 0.3}, true}, &unequal},
        {{{2, 1, 3, 2, 0.5, 2.0, 0}, true}, &mirrored}};

    pdbform::PdbFile d = Drawing();
    std::vector<std::uint32_t> members;
    for (std::size_t i = 0; i < ellipses.size(); ++i) {
        const auto& [e, placement] = ellipses[i];
        const std::uint32_t pos = AddEllipse(d, placement ? 76 : 26, kSolidPen1, e.v, e.ccw);
        if (placement) members.push_back(pos);
        if (i == 1) (void)AddBezier(d, 27, kSolidPen1, controls);
    }
    const std::uint32_t placedBezier = AddBezier(d, 77, kSolidPen1, controls);
    turned.definition = AddDefinition(d, {members[0]});
    unequal.definition = AddDefinition(d, {members[1], placedBezier});
    mirrored.definition = AddDefinition(d, {members[2]});
    for (const auto* p : {&turned, &unequal, &mirrored}) (void)AddPlacement(d, 25, *p);
    pdbform::PdbFile pdb;
    ASSERT_EQ(Walk(d, pdb), 0);
    const auto polylines = Elements(pdb, 6);
    ASSERT_EQ(polylines.size(), 7u);

    std::vector<std::string> curves;
    auto ellipseJson = [&](std::size_t i, const Converted& c) {
        const auto& [e, placement] = ellipses[i];
        curves.push_back(R"({"type":"ellipse","centre":[)" + Number(e.v[0]) + "," + Number(e.v[1]) +
                         R"(],"rx":)" + Number(e.v[2]) + R"(,"ry":)" + Number(e.v[3]) +
                         R"(,"start":)" + Number(e.v[4]) + R"(,"end":)" + Number(e.v[5]) +
                         R"(,"rotation":)" + Number(e.v[6]) + R"(,"ccw":)" +
                         (e.ccw ? "true" : "false") + R"(,"full":)" + (i == 2 ? "true" : "false") +
                         R"(,"placement":)" + PlacementJson(placement) + R"(,"points":)" +
                         Pairs(c.xy) + "}");
    };
    auto bezierJson = [&](const pdbform::Placement* placement, const Converted& c) {
        curves.push_back(R"({"type":"bezier","controls":)" + Pairs(controls) + R"(,"placement":)" +
                         PlacementJson(placement) + R"(,"points":)" + Pairs(c.xy) + "}");
    };
    ellipseJson(0, polylines[0]);
    ellipseJson(1, polylines[1]);
    bezierJson(nullptr, polylines[2]);
    ellipseJson(2, polylines[3]);
    ellipseJson(3, polylines[4]);
    bezierJson(&unequal, polylines[5]);
    ellipseJson(4, polylines[6]);
    std::string json = "[";
    for (std::size_t i = 0; i < curves.size(); ++i) json += (i ? ",\n" : "") + curves[i];
    json += "]\n";

    const std::filesystem::path file = prefix_ / "curves.json";
    {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(json.data(), 1, json.size(), out), json.size());
        ASSERT_EQ(std::fclose(out), 0);
    }
    const std::filesystem::path oracle =
        std::filesystem::path(__FILE__).parent_path() / "curves_oracle.py";
    EXPECT_EQ(open_test::RunProgram({"/usr/bin/python3", oracle.string(), file.string()}), 0);
}

TEST_F(Curves, BezierBeyondTheSixteenBitRestCountIsConvertedWhole) {
    // 1400 segments of 0.3 along x: 67,216 bytes of control points, one point each.
    std::vector<double> controls = {0, 0};
    for (int k = 0; k < 1400; ++k) {
        for (double step : {0.1, 0.2, 0.3}) {
            controls.push_back(0.3 * k + step);
            controls.push_back(0);
        }
    }
    pdbform::PdbFile d = Drawing();
    (void)AddBezier(d, 27, kSolidPen1, controls);
    pdbform::PdbFile pdb;
    ASSERT_EQ(Walk(d, pdb), 0);
    const auto runs = Elements(pdb, 6);
    ASSERT_EQ(runs.size(), 2u);
    const std::vector<double> xy = AllPoints(runs);
    ASSERT_EQ(xy.size(), 2u * 1403);  // the joint point twice
    EXPECT_NEAR(xy[2 * 1401], 420, 1e-9);
    EXPECT_NEAR(xy[2 * 1402], 420, 1e-9);
}

TEST_F(Curves, DashedCurvesAreOnePatternedPolylineAndUnknownAttributesNothing) {
    pdbform::PdbFile d = Drawing();
    (void)AddEllipse(d, 26, kDashed, {0, 0, 2, 1, 0, 1, 0}, true);
    (void)AddBezier(d, 27, kDashed, {0, 0, 1, 1, 2, 1, 3, 0});
    (void)AddEllipse(d, 26, 99, {0, 0, 2, 1, 0, 1, 0}, true);
    Open(d);
    EXPECT_EQ(Walk_AllElements(handle_), kConvertLookupFailed);  // the last element's
    // Dash expansion off: each curve is one polyline of its sampled points, carrying its
    // line type, with zero attribute values.
    const auto polylines = Elements(Close(), 6);
    ASSERT_EQ(polylines.size(), 2u);
    for (const auto& p : polylines) {
        EXPECT_EQ(p.lineType, 5);
        EXPECT_EQ(p.values, (std::vector<double>{0, 0, 0}));
        EXPECT_GT(p.xy.size(), 4u);
    }
}

}  // namespace
}  // namespace place_test
