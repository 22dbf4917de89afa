// Dashed lines, sampled curves and arrow stubs against the real server (Ambrel), Quillon
// and Pelmar: a drawing holding the line attributes is opened as the job opens it, the
// conversions are called directly, and the PDB is read back with the PDB form library
// after the close and the union. Geometry is checked by dashed_oracle.py beside this file
// (plain arc-length arithmetic, and ezdxf's construction math for the curves).
#include <cmath>
#include <cstdio>
#include <limits>

#include "OpenFixture.h"
#include "convert/ConvertStatus.h"
#include "convert/CurveSampling.h"
#include "convert/DashedLines.h"
#include "convert/DrawingOpen.h"
#include "convert/ElementWalk.h"
#include "pdbform/ExtensionEntries.h"
#include "pelmar/Pelmar.h"
#include "platform/Files.h"
#include "support/geometry/Angles.h"
#include "support/geometry/Clothoid.h"

namespace open_test {
namespace {

constexpr const char* kDrawing = "C:\\WORK\\DASH.000";
constexpr const char* kPdb = "C:\\WORK\\DASH.PDB";

// Line attribute ids of the test drawing.
constexpr std::int16_t kType5 = 1;        // eight floats
constexpr std::int16_t kType6 = 2;        // segcnt 6: three pairs
constexpr std::int16_t kType6Full = 3;    // segcnt 255: 127 pairs and one float left over
constexpr std::int16_t kType5NaN = 4;     // a NaN interval
constexpr std::int16_t kType5Zero = 5;    // all intervals zero
constexpr std::int16_t kMissingAid = 99;  // no such attribute

constexpr std::int16_t kPen = 3;
constexpr std::array<float, 8> kType5Floats{2.0f, 1.0f, 0.5f, 1.0f, 3.0f, 0.25f, 0.5f, 0.25f};
constexpr std::array<float, 6> kType6Floats{3.0f, 1.0f, 1.0f, 0.5f, 0.5f, 2.0f};

// A point list as the oracle reads it.
std::string Json(const std::vector<Point>& points) {
    std::string out = "[";
    char buf[64];
    for (const Point& p : points) {
        std::snprintf(buf, sizeof buf, "%s[%.17g,%.17g]", out.size() > 1 ? "," : "", p.x, p.y);
        out += buf;
    }
    return out + "]";
}

std::vector<Point> PointsOf(std::span<const std::uint8_t> bytes) {
    std::vector<Point> out;
    for (std::size_t at = 0; at + 16 <= bytes.size(); at += 16) {
        Point p;
        EXPECT_TRUE(LoadF64(bytes, at, p.x) && LoadF64(bytes, at + 8, p.y));
        out.push_back(p);
    }
    return out;
}

std::vector<Point> FixedPoints(const pdbform::Element& e, std::size_t count) {
    return PointsOf(std::span(e.fixed).subspan(6, 16 * count));
}

// A dash pattern entry (tag 7) of the extension area.
struct PatternEntry {
    std::uint32_t element = 0;
    int segcnt = 0;
    std::vector<float> floats;
};

class DashedLines : public OpenFixture {
  protected:
    void SetUp() override {
        OpenFixture::SetUp();
        Walk_SetDashExpansion(0);
        context_.pkd = 2;
        header_ = {1, 7, kType5};
    }

    static pdbform::LineAttribute Attribute(std::int16_t type, int segcnt,
                                            std::vector<float> floats) {
        pdbform::LineAttribute a;
        a.pen = 9;  // the pen the caller passes wins
        a.lineType = type;
        a.segmentCount = static_cast<std::uint8_t>(segcnt);
        floats.resize(std::max<std::size_t>(floats.size(), 8));
        a.floats = floats;
        return a;
    }

    // Opens a drawing holding the attributes above, as the job opens it.
    void Open() {
        pdbform::PdbFile drawing = NewDrawing();
        drawing.layers = {MakeLayer(1, "線", 1, 1)};
        drawing.lineAttributes.AppendRaw(
            Attribute(5, 8, {kType5Floats.begin(), kType5Floats.end()}));
        drawing.lineAttributes.AppendRaw(
            Attribute(6, 6, {kType6Floats.begin(), kType6Floats.end()}));
        std::vector<float> full(255);
        for (std::size_t i = 0; i < full.size(); ++i) full[i] = i % 2 == 0 ? 0.5f : 0.25f;
        drawing.lineAttributes.AppendRaw(Attribute(6, 255, full));
        drawing.lineAttributes.AppendRaw(
            Attribute(5, 8, {1.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f, 1.0f}));
        drawing.lineAttributes.AppendRaw(Attribute(5, 8, {}));
        SaveDrawing(drawing, kDrawing);
        ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    }

    pdbform::PdbFile CloseAndLoad() { return CloseAndLoadPdb(kPdb); }

    static std::vector<const pdbform::Element*> OfKind(const pdbform::PdbFile& pdb, int kind) {
        std::vector<const pdbform::Element*> out;
        for (const auto& [position, e] : pdb.Elements())
            if (e.kind == kind) out.push_back(&e);
        return out;
    }
    // The polylines written for the elements of one layer (the tests give each call its own).
    static std::vector<std::vector<Point>> Pieces(const pdbform::PdbFile& pdb, int layer) {
        std::vector<std::vector<Point>> out;
        for (const auto* e : OfKind(pdb, 6))
            if (e->Layer() == layer) out.push_back(PointsOf(e->rest));
        return out;
    }
    static std::vector<PatternEntry> Patterns(const pdbform::PdbFile& pdb) {
        std::vector<PatternEntry> out;
        for (const auto& entry : pdb.extension) {
            if (entry.tag != pdbform::ext::kTagLinePattern) continue;
            PatternEntry p;
            EXPECT_TRUE(LoadU32(entry.bytes, 0, p.element));
            p.segcnt = entry.bytes.at(4);
            for (std::size_t i = 0; i < entry.bytes.at(5); ++i) {
                float f = 0;
                EXPECT_TRUE(LoadF32(entry.bytes, 6 + 4 * i, f));
                p.floats.push_back(f);
            }
            out.push_back(p);
        }
        return out;
    }

    // Runs the oracle on one case; its complaints become the failure message. Its output.
    static std::string Oracle(const std::string& json) {
        EXPECT_EQ(platform::WriteFileBytes("C:\\WORK\\ORACLE.JSON", json), 0u);
        const std::string input = Host("C:\\WORK\\ORACLE.JSON");
        const fs::path script = fs::path(__FILE__).parent_path() / "dashed_oracle.py";
        const std::string command =
            "/usr/bin/python3 '" + script.string() + "' < '" + input + "' 2>&1";
        std::FILE* pipe = popen(command.c_str(), "r");
        std::string out;
        char buf[512];
        while (pipe != nullptr && std::fgets(buf, sizeof buf, pipe) != nullptr) out += buf;
        EXPECT_EQ(pipe == nullptr ? -1 : pclose(pipe), 0) << out;
        return out;
    }
    static void CheckDashes(const std::vector<Point>& line, const std::vector<double>& pattern,
                            const std::vector<std::vector<Point>>& pieces) {
        std::string json = "{\"mode\":\"dashes\",\"line\":" + Json(line) + ",\"pattern\":[";
        for (std::size_t i = 0; i < pattern.size(); ++i)
            json += (i ? "," : "") + std::to_string(pattern[i]);
        json += "],\"pieces\":[";
        for (std::size_t i = 0; i < pieces.size(); ++i) json += (i ? "," : "") + Json(pieces[i]);
        Oracle(json + "]}");
    }

    ElementWalkContext context_;
    ElementHeader header_;
};

// ---- Switch off: one record and the pattern as a Pelmar attribute ------------------------

TEST_F(DashedLines, SwitchOffKeepsTheElementWholeWithItsPattern) {
    Open();
    ASSERT_EQ(Dashed_Line(handle_, context_, header_, kPen, {1, 2}, {11, 2}), 0);
    header_.aid = kType6;
    context_.pkd = -6;  // a hidden copy: the record's kind is negated
    ASSERT_EQ(
        Dashed_Polyline(handle_, context_, header_, kPen, std::array<double, 6>{0, 0, 5, 0, 5, 5}),
        0);
    const pdbform::PdbFile pdb = CloseAndLoad();

    const auto lines = OfKind(pdb, 2);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->SecondWord(), 0);
    EXPECT_EQ(FixedPoints(*lines[0], 2).back().x, 11.0);
    const pdbform::LineAttribute* att = pdb.lineAttributes.Get(lines[0]->AttributeId());
    ASSERT_NE(att, nullptr);
    EXPECT_EQ(*att, (pdbform::LineAttribute{kPen, 5, 3, std::vector<float>(8)}));  // values 0
    const auto hidden = OfKind(pdb, -6);
    ASSERT_EQ(hidden.size(), 1u);
    EXPECT_EQ(PointsOf(hidden[0]->rest).size(), 3u);

    const auto patterns = Patterns(pdb);
    ASSERT_EQ(patterns.size(), 2u);
    EXPECT_EQ(patterns[0].element, 1u);
    EXPECT_EQ(patterns[0].segcnt, 8);
    EXPECT_EQ(patterns[0].floats, std::vector<float>(kType5Floats.begin(), kType5Floats.end()));
    EXPECT_EQ(patterns[1].element, 2u);
    EXPECT_EQ(patterns[1].segcnt, 6);
    std::vector<float> six(kType6Floats.begin(), kType6Floats.end());
    six.resize(8);  // Pelmar keeps at least eight floats
    EXPECT_EQ(patterns[1].floats, six);
}

// ---- Switch on: pieces of exactly the pattern's dashes, whatever the pattern ----------------

TEST_F(DashedLines, SwitchOnCutsExactlyTheDashParts) {
    Walk_SetDashExpansion(1);
    Open();
    header_ = {1, 7, kType6};  // three pairs: 3/1, 1/0.5, 0.5/2 (period 8)
    ASSERT_EQ(Dashed_Line(handle_, context_, header_, kPen, {0, 0}, {17, 0}), 0);
    header_ = {2, 7, kType5};
    const std::vector<Point> corners{{0, 0}, {2.5, 0}, {2.5, 3.7}, {-1.25, 9}, {10, 9.5}};
    std::vector<std::uint8_t> data(16 * corners.size() + 9);  // as the walk reads them
    for (std::size_t i = 0; i < corners.size(); ++i)
        ASSERT_TRUE(StoreF64(data, 16 * i, corners[i].x) &&
                    StoreF64(data, 16 * i + 8, corners[i].y));
    std::vector<double> xy;
    ASSERT_EQ(Dashed_DecodePoints(data, xy), 0);
    ASSERT_EQ(Dashed_Polyline(handle_, context_, header_, kPen, xy), 0);
    // All intervals zero: written whole. A NaN interval: refused, nothing written.
    header_ = {3, 7, kType5Zero};
    EXPECT_EQ(Dashed_Line(handle_, context_, header_, kPen, {0, 0}, {4, 0}), 0);
    header_.aid = kType5NaN;
    EXPECT_EQ(Dashed_Line(handle_, context_, header_, kPen, {0, 0}, {4, 0}), kGeomNotFinite);
    // segcnt 255: 127 pairs of 0.5/0.25, the odd last float left out.
    header_ = {4, 7, kType6Full};
    EXPECT_EQ(Dashed_Line(handle_, context_, header_, kPen, {0, 1}, {3, 1}), 0);
    const pdbform::PdbFile pdb = CloseAndLoad();

    EXPECT_TRUE(OfKind(pdb, 2).empty());
    EXPECT_TRUE(Patterns(pdb).empty());
    for (const auto* e : OfKind(pdb, 6)) {
        EXPECT_EQ(e->SecondWord(), 0);
        EXPECT_EQ(*pdb.lineAttributes.Get(e->AttributeId()),
                  (pdbform::LineAttribute{kPen, 0, 0, std::vector<float>(8)}));
    }
    // 0-3, 4-5, 5.5-6, 8-11, 12-13, 13.5-14, 16-17.
    EXPECT_EQ(Pieces(pdb, 1).size(), 7u);
    CheckDashes({{0, 0}, {17, 0}}, {3, 1, 1, 0.5, 0.5, 2}, Pieces(pdb, 1));
    CheckDashes(corners, {kType5Floats.begin(), kType5Floats.end()}, Pieces(pdb, 2));
    ASSERT_EQ(Pieces(pdb, 3).size(), 1u);
    EXPECT_EQ(Json(Pieces(pdb, 3)[0]), "[[0,0],[4,0]]");
    CheckDashes({{0, 1}, {3, 1}}, {0.5, 0.25}, Pieces(pdb, 4));

    LineAttribute odd;
    odd.lineType = 6;
    odd.segcnt = 7;
    std::array<double, 2 * kDashMaxPairs> pattern{};
    EXPECT_EQ(Dashed_Pattern(odd, pattern), 6u);
}

TEST_F(DashedLines, MissingAttributeIsLoggedAndWritesNothing) {
    Open();
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    header_.aid = kMissingAid;
    EXPECT_EQ(Dashed_Line(handle_, context_, header_, kPen, {0, 0}, {4, 0}), kConvertLookupFailed);
    EXPECT_EQ(Lines(*monitor),
              "   鎖線間隔取得失敗 att_line_ex() rc[4] aid[99] lno[0] segcnt[0]\n");
    const pdbform::PdbFile pdb = CloseAndLoad();
    EXPECT_TRUE(pdb.Elements().empty());
    EXPECT_TRUE(Patterns(pdb).empty());
}

// ---- Arrow stubs ---------------------------------------------------------------------

TEST_F(DashedLines, ArrowsBecomeStubsAlongTheElement) {
    Walk_SetDashExpansion(1);
    Open();
    // A leader of type 6 with arrows at both ends.
    header_ = {1, 7, kType6};
    context_.pkd = 10;
    ASSERT_EQ(Dashed_Leader(handle_, context_, header_, kPen, {2, 3, 1.3},
                            std::array<double, 6>{0, 0, 6, 8, 20, 8}),
              0);
    // A dimension line with its end arrow only, and one without arrows.
    header_.layer = 2;
    context_.pkd = 11;
    ASSERT_EQ(Dashed_DimensionLine(handle_, context_, header_, kPen, {2, 2, 1.3}, {0, 0}, {0, -5}),
              0);
    ASSERT_EQ(Dashed_DimensionLine(handle_, context_, header_, kPen, {2, 0, 1.3}, {0, 0}, {1, 1}),
              0);
    // An arc dimension line of radius 10 (clockwise), both arrows; a flat one, whose
    // stub runs 0.1 along the chord, not the whole chord.
    header_.layer = 3;
    context_.pkd = 12;
    ASSERT_EQ(Dashed_ArcDimensionLine(handle_, context_, header_, kPen, {1, 3, 2.5}, {10, 0},
                                      {0, -10}, {-10, 0}),
              0);
    ASSERT_EQ(Dashed_ArcDimensionLine(handle_, context_, header_, kPen, {1, 1, 2.5}, {0, 0}, {5, 0},
                                      {10, 0}),
              0);
    const pdbform::PdbFile pdb = CloseAndLoad();
    CheckDashes({{0, 0}, {6, 8}, {20, 8}}, {3, 1, 1, 0.5, 0.5, 2}, Pieces(pdb, 1));

    const auto stubs = OfKind(pdb, 11);
    ASSERT_EQ(stubs.size(), 6u);
    std::vector<std::vector<Point>> ends;
    for (const auto* stub : stubs) {
        ends.push_back(FixedPoints(*stub, 2));
        EXPECT_EQ(stub->SecondWord(), 7);
        EXPECT_EQ(pdb.lineAttributes.Get(stub->AttributeId())->lineType, 0);
        std::int16_t arrowId = 0;
        ASSERT_TRUE(LoadI16(stub->fixed, 38, arrowId));
        EXPECT_EQ(pdb.arrowAttributes.Get(arrowId)->arrowEnds, 1);
    }
    EXPECT_EQ(*pdb.arrowAttributes.Get(stubs[0]->fixed[38]), (pdbform::ArrowAttribute{2, 1, 1.3}));
    // Leader: 0.1 from (0, 0) towards (6, 8), and from (20, 8) back towards (6, 8).
    EXPECT_EQ(ends[0][0].x, 0.0);
    EXPECT_NEAR(ends[0][1].x, 0.06, 1e-12);
    EXPECT_NEAR(ends[0][1].y, 0.08, 1e-12);
    EXPECT_EQ(ends[1][0].x, 20.0);
    EXPECT_NEAR(ends[1][1].x, 19.9, 1e-12);
    // Dimension line: the end stub only.
    EXPECT_EQ(ends[2][0].y, -5.0);
    EXPECT_NEAR(ends[2][1].y, -4.9, 1e-12);
    // Arc: both stubs on the arc's own (lower) half, about 0.1 long.
    for (int i : {3, 4}) {
        EXPECT_NEAR(std::hypot(ends[i][1].x, ends[i][1].y), 10.0, 1e-9);
        EXPECT_NEAR(Distance(ends[i][0], ends[i][1]), 0.1, 1e-4);
        EXPECT_LT(ends[i][1].y, 0.0);
    }
    EXPECT_EQ(ends[3][0].x, 10.0);
    EXPECT_NEAR(ends[5][1].x, 0.1, 1e-12);
}

// ---- Sampled curves ------------------------------------------------------------------

TEST_F(DashedLines, CurvesAreSampledOnTheTrueCurve) {
    Open();
    header_.layer = 1;
    const Point p1{105, 2}, pm{100 - 2.5 * std::sqrt(2.0), 2 + 2.5 * std::sqrt(2.0)}, p2{95, 2};
    ASSERT_EQ(Dashed_Arc(handle_, context_, header_, kPen, p1, pm, p2), 0);
    header_.layer = 2;
    ASSERT_EQ(Dashed_Circle(handle_, context_, header_, kPen, {-3, 4}, 250), 0);
    // A clothoid from a straight start to radius 200, A = 200 (length 0 to 200), turned
    // by 0.3 and moved to (10, 20); its end point from the true spiral.
    header_.layer = 3;
    const std::string spiral =
        R"({"mode":"clothoid","a":200,"r1":0,"r2":200,"phi":0.3,"move":[10,20])";
    double endX = 0, endY = 0;
    ASSERT_EQ(std::sscanf(Oracle(spiral + R"(,"points":[]})").c_str(), "end %lf %lf", &endX, &endY),
              2);
    std::array<std::uint8_t, 112> element{};
    for (const auto& [at, value] :
         std::initializer_list<std::pair<std::size_t, double>>{{kClothoidParamA, 200},
                                                               {kClothoidStartX, 10},
                                                               {kClothoidStartX + 8, 20},
                                                               {kClothoidEndX, endX},
                                                               {kClothoidEndX + 8, endY},
                                                               {kClothoidEndRadius, 200}})
        ASSERT_TRUE(StoreF64(element, at, value));
    const auto before = element;
    ASSERT_EQ(Dashed_Clothoid(handle_, context_, header_, kPen, element), 0);
    EXPECT_EQ(element, before);  // sampled on a copy
    // A dashed half circle: its pieces stay within the chord error of the circle.
    Walk_SetDashExpansion(1);
    header_.layer = 4;
    ASSERT_EQ(Dashed_Arc(handle_, context_, header_, kPen, {0, -40}, {40, 0}, {0, 40}), 0);
    const pdbform::PdbFile pdb = CloseAndLoad();
    EXPECT_EQ(Patterns(pdb).size(), 3u);

    Oracle(R"({"mode":"arc","tolerance":0,"arc":)" + Json({p1, pm, p2}) +
           ",\"points\":" + Json(Pieces(pdb, 1).at(0)) + "}");
    // The circle is full and closed: it starts at angle 0 and ends where it began.
    const auto circle = Pieces(pdb, 2).at(0);
    EXPECT_NEAR(circle.front().x, 247.0, 1e-9);
    EXPECT_EQ(circle.front().x, circle.back().x);
    EXPECT_EQ(circle.front().y, circle.back().y);
    EXPECT_GT(circle.size(), 250u);
    EXPECT_LT(circle.size(), 1000u);
    const std::vector<Point> half(circle.begin(),
                                  circle.begin() + static_cast<long>(circle.size() / 2));
    Oracle(R"({"mode":"arc","tolerance":0,"ends":false,"arc":[[247,4],[-3,254],[-253,4]],)"
           R"("points":)" +
           Json(half) + "}");
    Oracle(spiral + ",\"points\":" + Json(Pieces(pdb, 3).at(0)) + "}");
    // Length 40π ≈ 125.7 in periods of 8.5 of four dashes.
    std::vector<Point> all;
    for (const auto& piece : Pieces(pdb, 4)) all.insert(all.end(), piece.begin(), piece.end());
    EXPECT_GT(Pieces(pdb, 4).size(), 55u);
    Oracle(R"({"mode":"arc","tolerance":0.01,"ends":false,"arc":[[0,-40],[40,0],[0,40]],)"
           R"("points":)" +
           Json(all) + "}");
}

TEST(CurveSampling, FullCurvesAndTheStepRule) {
    // Circles are full; a sweep 1e-9 short of a turn is full, 1e-6 short is not.
    EXPECT_TRUE(Curve_CircleShape({0, 0}, 1).full);
    EXPECT_TRUE(Curve_EllipseShape({0, 0}, 4, 2, 0, 0, kTwoPi - 1e-9, true).full);
    EXPECT_FALSE(Curve_EllipseShape({0, 0}, 4, 2, 0, 0, kTwoPi - 1e-6, true).full);
    EXPECT_TRUE(Curve_EllipseShape({0, 0}, 4, 2, 0, kTwoPi - 1e-9, 0, false).full);

    PointArray full, partial;
    ASSERT_EQ(Curve_Sample(Curve_EllipseShape({1, 1}, 4, 2, 0, 0, kTwoPi - 1e-9, true), full), 0);
    ASSERT_EQ(Curve_Sample(Curve_EllipseShape({1, 1}, 4, 2, 0, 0, kTwoPi - 1e-6, true), partial),
              0);
    EXPECT_EQ(full.At(full.Count() - 1).y, full.At(0).y);  // ends where it began
    EXPECT_NEAR(partial.At(partial.Count() - 1).y, 1 - 2e-6, 1e-9);

    // The sagitta bound, and the per-turn floor and cap.
    for (double r : {3.0, 100.0, 5000.0, 1e6}) {
        const double angle = Curve_SamplingStep(r) / r;
        const double sagitta = 2 * r * std::pow(std::sin(angle / 4), 2);  // r (1 − cos(θ/2))
        EXPECT_LE(sagitta, kCurveChordError * (1 + 1e-9)) << r;
        EXPECT_GT(sagitta, kCurveChordError * 0.99) << r;
    }
    EXPECT_NEAR(Curve_SamplingStep(0.01) / 0.01, kTwoPi / kCurveMinStepsPerTurn, 1e-12);
    EXPECT_NEAR(Curve_SamplingStep(1e12) / 1e12, kTwoPi / kCurveMaxStepsPerTurn, 1e-12);
    PointArray huge, tiny;
    ASSERT_EQ(Curve_Sample(Curve_CircleShape({0, 0}, 1e12), huge), 0);
    EXPECT_LE(huge.Count(), kCurveMaxStepsPerTurn + 2);
    ASSERT_EQ(Curve_Sample(Curve_CircleShape({0, 0}, 1e-7), tiny), 0);
    EXPECT_GE(tiny.Count(), 20);
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(Curve_Sample(Curve_CircleShape({0, 0}, bad), tiny), kConvertSamplingFailed);
        EXPECT_EQ(tiny.Count(), 0);
    }
    // Collinear arc points: the chord.
    ASSERT_EQ(Curve_SampleArc({0, 0}, {1, 1}, {2, 2}, tiny), 0);
    EXPECT_EQ(tiny.xy, (std::vector<double>{0, 0, 2, 2}));
    EXPECT_EQ(Curve_SampleArc({0, 0}, {1, NAN}, {2, 2}, tiny), kConvertSamplingFailed);
}

}  // namespace
}  // namespace open_test
