// quillon import run as a program on the sample DXF drawings, with ezdxf (through
// dxf_oracle.py) as the independent reader the resulting drawing is held against; damaged
// DXF files; and the text, spline and check pieces of the import driven in-process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "DxfCheck.h"
#include "DxfSpline.h"
#include "DxfText.h"
#include "JsonValues.h"
#include "platform/Cp932.h"
#include "ToolFiles.h"

namespace {

namespace fs = std::filesystem;
using quillon_tool::Json;

const fs::path kSamples = fs::path(MORVAN_SAMPLE_DRAWINGS) / "dxf";

class DxfImport : public ::testing::Test {
  public:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "quillon-dxf-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Runs `program args` in the test folder; the exit code, -1 for a crash.
    int Exec(const std::string& program, const std::string& args) {
        const std::string command = "cd '" + dir_.string() + "' && " + program + " " + args +
                                    " </dev/null >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        out_ = ReadAll(dir_ / "out.txt");
        err_ = ReadAll(dir_ / "err.txt");
        EXPECT_EQ(err_.find("Sanitizer"), std::string::npos) << err_;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Quillon(const std::string& args) {
        const char* bin = std::getenv("MORVAN_BIN_DIR");
        return Exec("'" + std::string(bin ? bin : ".") + "/quillon'", args);
    }

    // The sample imported and dumped, and what ezdxf reads from it.
    void Load(const std::string& name) {
        const std::string dxf = "'" + (kSamples / name).string() + "'";
        ASSERT_EQ(Quillon("import " + dxf + " A.000"), 0) << err_;
        importErr_ = err_;
        ASSERT_EQ(Quillon("dump A.000"), 0) << err_;
        dump_ = Json::parse(out_);
        ASSERT_EQ(Exec("/usr/bin/python3 '" MORVAN_DXF_ORACLE "'", dxf), 0) << err_;
        oracle_ = Json::parse(out_);
        for (const Json& e : dump_["elements"]) byKind_[e["kind"].get<int>()].push_back(e);
    }

    const std::vector<Json>& Kind(int k) { return byKind_[k]; }

    fs::path dir_;
    std::string out_, err_, importErr_;
    Json dump_, oracle_;
    std::map<int, std::vector<Json>> byKind_;
};

double Num(const Json& v) { return v.get<double>(); }

void ExpectPoint(const Json& p, double x, double y, double tol = 1e-9) {
    EXPECT_NEAR(Num(p[0]), x, tol);
    EXPECT_NEAR(Num(p[1]), y, tol);
}

// Point of the cubic Bézier segment `s` (0-based) of a kind 27 element at t.
std::pair<double, double> BezierAt(const Json& pts, std::size_t s, double t) {
    double x = 0, y = 0;
    const double w[4] = {(1 - t) * (1 - t) * (1 - t), 3 * (1 - t) * (1 - t) * t,
                         3 * (1 - t) * t * t, t * t * t};
    for (int i = 0; i < 4; ++i) {
        x += w[i] * Num(pts[3 * s + i][0]);
        y += w[i] * Num(pts[3 * s + i][1]);
    }
    return {x, y};
}

void CheckSample(DxfImport& t, const std::string& name) {
    SCOPED_TRACE(name);
    t.Load(name);
    if (::testing::Test::HasFatalFailure()) return;
    const Json& o = t.oracle_;

    EXPECT_EQ(t.dump_["headTexts"]["systemNumber"], o["units"]);

    // Layers in table order with their ACI colours and lineweights.
    std::map<int, std::vector<int>> rgb;
    for (const Json& c : t.dump_["colours"]) rgb[c["code"]] = c["rgb"].get<std::vector<int>>();
    std::map<int, double> width;
    for (const Json& w : t.dump_["widths"]) width[w["code"]] = Num(w["width"]);
    ASSERT_EQ(t.dump_["layers"].size(), o["layers"].size());
    for (std::size_t i = 0; i < o["layers"].size(); ++i) {
        const Json& l = t.dump_["layers"][i];
        EXPECT_EQ(l["name"], o["layers"][i]["name"]);
        EXPECT_EQ(rgb[l["colourCode"]], o["layers"][i]["rgb"].get<std::vector<int>>());
        const int lw = o["layers"][i]["lineweight"];
        EXPECT_NEAR(width[l["widthCode"]], lw >= 0 ? lw / 100.0 : 0.25, 1e-6);
    }

    // Lines, with the dash patterns of their linetypes.
    ASSERT_EQ(t.Kind(2).size(), o["lines"].size());
    for (std::size_t i = 0; i < o["lines"].size(); ++i) {
        const Json& e = t.Kind(2)[i];
        const Json& want = o["lines"][i]["points"];
        ExpectPoint(e["points"][0], want[0], want[1]);
        ExpectPoint(e["points"][1], want[2], want[3]);
        const std::string lt = o["lines"][i]["linetype"];
        if (lt == "DASH2") {
            EXPECT_EQ(e["lineType"], 6);
            EXPECT_EQ(e["values"], Json::parse("[4.0, 2.0]"));
        } else if (lt == "DASH4") {
            EXPECT_EQ(e["lineType"], 5);
            EXPECT_EQ(e["segments"], 4);
            EXPECT_EQ(e["values"], Json::parse("[4.0, 1.5, 0.0, 1.5, 2.0, 1.0, 0.5, 1.5]"));
        } else {
            EXPECT_EQ(e["lineType"], 1);
        }
    }

    // Arcs: start, the point at mid-angle, end, as ezdxf's own arc tool places them.
    ASSERT_EQ(t.Kind(3).size(), o["arcs"].size());
    for (std::size_t i = 0; i < o["arcs"].size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            ExpectPoint(t.Kind(3)[i]["points"][k], o["arcs"][i][2 * k], o["arcs"][i][2 * k + 1]);
        }
    }
    ASSERT_EQ(t.Kind(4).size(), o["circles"].size());
    for (std::size_t i = 0; i < o["circles"].size(); ++i) {
        ExpectPoint(t.Kind(4)[i]["points"][0], o["circles"][i][0], o["circles"][i][1]);
        EXPECT_DOUBLE_EQ(Num(t.Kind(4)[i]["radius"]), Num(o["circles"][i][2]));
    }
    ASSERT_EQ(t.Kind(1).size(), o["points"].size());
    for (std::size_t i = 0; i < o["points"].size(); ++i) {
        ExpectPoint(t.Kind(1)[i]["points"][0], o["points"][i][0], o["points"][i][1]);
    }

    // Polylines: every vertex in order, closed ones back at their start, and the points
    // between the ends of a bulged segment on its arc, no chord farther than 0.01 from it.
    ASSERT_EQ(t.Kind(6).size(), o["polylines"].size());
    for (std::size_t i = 0; i < o["polylines"].size(); ++i) {
        SCOPED_TRACE("polyline " + std::to_string(i));
        const Json& pts = t.Kind(6)[i]["points"];
        const Json& pl = o["polylines"][i];
        const Json& verts = pl["vertices"];
        std::map<std::size_t, Json> arcs;
        for (const Json& a : pl["arcs"]) arcs[a[0].get<std::size_t>()] = a;
        const std::size_t segments = verts.size() - (pl["closed"].get<bool>() ? 0 : 1);
        std::size_t at = 0;
        ExpectPoint(pts[0], verts[0][0], verts[0][1]);
        for (std::size_t s = 0; s < segments; ++s) {
            const Json& end = verts[(s + 1) % verts.size()];
            const std::size_t from = at;
            while (at + 1 < pts.size() && !(std::fabs(Num(pts[at + 1][0]) - Num(end[0])) < 1e-9 &&
                                            std::fabs(Num(pts[at + 1][1]) - Num(end[1])) < 1e-9)) {
                ++at;
            }
            ASSERT_LT(at + 1, pts.size()) << "vertex " << s + 1 << " missing";
            ++at;
            if (!arcs.count(s)) {
                EXPECT_EQ(at, from + 1) << "a straight segment with points between";
                continue;
            }
            const double cx = Num(arcs[s][1]), cy = Num(arcs[s][2]), r = Num(arcs[s][3]);
            EXPECT_GT(at, from + 1) << "a bulged segment left straight";
            for (std::size_t k = from; k < at; ++k) {
                const double x0 = Num(pts[k][0]), y0 = Num(pts[k][1]);
                const double x1 = Num(pts[k + 1][0]), y1 = Num(pts[k + 1][1]);
                EXPECT_NEAR(std::hypot(x1 - cx, y1 - cy), r, 1e-9);
                const double half = std::hypot(x1 - x0, y1 - y0) / 2;
                EXPECT_LE(r - std::sqrt(r * r - half * half), 0.01 + 1e-12);
            }
        }
        EXPECT_EQ(at + 1, pts.size());
    }

    // Texts (TEXT, then each MTEXT line) in file order, as code page 932 holds them.
    ASSERT_EQ(t.Kind(7).size(), o["texts"].size());
    for (std::size_t i = 0; i < o["texts"].size(); ++i) {
        EXPECT_EQ(t.Kind(7)[i]["text"], o["texts"][i]["text"]);
        if (o["texts"][i].contains("insert")) {
            ExpectPoint(t.Kind(7)[i]["points"][0], o["texts"][i]["insert"][0],
                        o["texts"][i]["insert"][1]);
        }
    }

    // Inserts: the placement carries the block's base point onto the insertion point.
    ASSERT_EQ(t.Kind(25).size(), o["inserts"].size());
    std::map<int, Json> placements;
    for (const Json& p : t.dump_["placements"]) placements[p["position"]] = p;
    for (std::size_t i = 0; i < o["inserts"].size(); ++i) {
        const Json& p = placements[t.Kind(25)[i]["position"]];
        const Json& want = o["inserts"][i];
        const double rot = Num(p["rotation"]), sx = Num(p["scale"][0]), sy = Num(p["scale"][1]);
        EXPECT_NEAR(rot, Num(want["rotation"]), 1e-12);
        EXPECT_EQ(p["scale"], want["scale"]);
        const double bx = Num(want["base"][0]) * sx, by = Num(want["base"][1]) * sy;
        ExpectPoint(quillon_tool::PointJson(
                        Num(p["translate"][0]) + bx * std::cos(rot) - by * std::sin(rot),
                        Num(p["translate"][1]) + bx * std::sin(rot) + by * std::cos(rot)),
                    want["insert"][0], want["insert"][1]);
    }

    ASSERT_EQ(t.Kind(26).size(), o["ellipses"].size());
    for (std::size_t i = 0; i < o["ellipses"].size(); ++i) {
        ExpectPoint(t.Kind(26)[i]["points"][0], o["ellipses"][i]["centre"][0],
                    o["ellipses"][i]["centre"][1]);
        EXPECT_NEAR(Num(t.Kind(26)[i]["rx"]), Num(o["ellipses"][i]["rx"]), 1e-9);
        EXPECT_NEAR(Num(t.Kind(26)[i]["ry"]), Num(o["ellipses"][i]["ry"]), 1e-9);
    }

    // Splines: ends as ezdxf evaluates them; a polynomial spline exactly, span by span
    // (each Bézier segment halfway is the curve halfway through its knot span), a
    // rational one close.
    ASSERT_EQ(t.Kind(27).size(), o["splines"].size());
    for (std::size_t i = 0; i < o["splines"].size(); ++i) {
        SCOPED_TRACE("spline " + std::to_string(i));
        const Json& pts = t.Kind(27)[i]["points"];
        const Json& want = o["splines"][i];
        ExpectPoint(pts[0], want["start"][0], want["start"][1], 1e-9);
        ExpectPoint(pts.back(), want["end"][0], want["end"][1], 1e-9);
        if (want["rational"]) continue;
        ASSERT_EQ((pts.size() - 1) / 3, want["mids"].size());
        for (std::size_t s = 0; s < want["mids"].size(); ++s) {
            const auto [x, y] = BezierAt(pts, s, 0.5);
            EXPECT_NEAR(x, Num(want["mids"][s][0]), 1e-9);
            EXPECT_NEAR(y, Num(want["mids"][s][1]), 1e-9);
        }
    }

    // Solid hatches: a fill each, or a paint area with its holes; every point of their
    // items and boundary elements on the outline ezdxf's own path tools draw.
    std::size_t fill = 0, area = 0;
    for (const Json& h : o["hatches"]) {
        std::vector<std::pair<double, double>> at;
        if (h["loops"] == 1) {
            ASSERT_LT(fill, t.Kind(16).size());
            for (const Json& item : t.Kind(16)[fill++]["items"]) {
                const Json& v = item["values"];
                if (item["code"] == 4) at.emplace_back(Num(v[0]) + Num(v[2]), Num(v[1]));
                for (std::size_t k = 0; item["code"] != 4 && k + 1 < v.size(); k += 2) {
                    at.emplace_back(Num(v[k]), Num(v[k + 1]));
                }
            }
        } else {
            ASSERT_LT(area, t.dump_["paintAreas"].size());
            const Json& pa = t.dump_["paintAreas"][area++];
            std::vector<int> positions = pa["boundary"].get<std::vector<int>>();
            for (const Json& hole : pa["holes"]) {
                for (int p : hole["elements"].get<std::vector<int>>()) positions.push_back(p);
            }
            for (const Json& e : t.dump_["elements"]) {
                if (std::find(positions.begin(), positions.end(), e["position"].get<int>()) ==
                        positions.end() ||
                    e["kind"] == -26) {
                    continue;
                }
                for (const Json& p : e["points"]) at.emplace_back(Num(p[0]), Num(p[1]));
            }
        }
        EXPECT_FALSE(at.empty());
        for (const auto& [x, y] : at) {
            double best = 1e300;
            for (const Json& outline : h["outlines"]) {
                for (std::size_t k = 0; k + 1 < outline.size(); ++k) {
                    const double ax = Num(outline[k][0]), ay = Num(outline[k][1]);
                    const double dx = Num(outline[k + 1][0]) - ax, dy = Num(outline[k + 1][1]) - ay;
                    const double len2 = dx * dx + dy * dy;
                    const double u =
                        len2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0, 1.0) : 0;
                    best = std::min(best, std::hypot(x - ax - u * dx, y - ay - u * dy));
                }
            }
            EXPECT_LT(best, 0.011) << "(" << x << ", " << y << ") off the hatch boundary";
        }
    }

    // Solid hatches: a fill each, or a paint area with its holes.
    std::size_t holes = 0, withHoles = 0;
    for (const Json& h : o["hatches"]) {
        if (h["loops"].get<int>() > 1) {
            ++withHoles;
            holes += h["loops"].get<std::size_t>() - 1;
        }
    }
    EXPECT_EQ(t.Kind(16).size() + t.Kind(29).size(), o["hatches"].size());
    ASSERT_EQ(t.Kind(29).size(), withHoles);
    std::size_t dumpedHoles = 0;
    for (const Json& a : t.dump_["paintAreas"]) dumpedHoles += a["holes"].size();
    EXPECT_EQ(dumpedHoles, holes);
}

TEST_F(DxfImport, SamplesMatchWhatEzdxfReads) {
    CheckSample(*this, "plan-r2018.dxf");
    byKind_.clear();
    CheckSample(*this, "plan-r12.dxf");
    // The nested block: NUT's definition places BOLT's.
    ASSERT_EQ(dump_["definitions"].size(), 2u);
    EXPECT_EQ(Kind(75).size(), 1u);
}

TEST_F(DxfImport, ReportsWhatItLeavesOut) {
    ASSERT_EQ(Quillon("import '" + (kSamples / "plan-r2018.dxf").string() + "' A.000"), 0);
    for (const char* line :
         {"left out 1 3DFACE\n", "left out 1 RAY\n", "left out 1 HATCH (pattern fill)\n",
          "2 characters that code page 932 cannot hold, replaced by ?\n",
          "1 SPLINE approximated by cubic segments"}) {
        EXPECT_NE(err_.find(line), std::string::npos) << line << " in\n" << err_;
    }
    ASSERT_EQ(Quillon("import '" + (kSamples / "plan-r12.dxf").string() + "' B.000"), 0);
    EXPECT_EQ(err_, "");
}

// A block that places itself is left out with a reason; the rest of the drawing is kept.
TEST_F(DxfImport, BlockThatContainsItself) {
    std::string dxf = ReadAll(kSamples / "plan-r12.dxf");
    // BOLT's block gets an INSERT of BOLT before its end.
    const std::size_t block = dxf.find("\nBOLT\n");
    const std::size_t end = dxf.find("ENDBLK", block);
    ASSERT_NE(end, std::string::npos);
    const std::size_t cut = dxf.rfind("\n  0\n", end);
    dxf.insert(cut + 1, "  0\nINSERT\n  8\n0\n  2\nBOLT\n 10\n5.0\n 20\n5.0\n");
    WriteAll(dir_ / "self.dxf", dxf);
    ASSERT_EQ(Quillon("import self.dxf A.000"), 0) << err_;
    EXPECT_NE(err_.find("left out 1 INSERT (a block that contains itself"), std::string::npos)
        << err_;
    ASSERT_EQ(Quillon("dump A.000"), 0);
}

// Damaged input: exit 1 with the file named and a reason, never a crash, no file left.
TEST_F(DxfImport, DamagedFilesAreRefusedWithAReason) {
    const std::string good = ReadAll(kSamples / "plan-r2018.dxf");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"empty", ""},
        {"binary", "AutoCAD Binary DXF\r\n\x1a"},
        {"words", "this is not a drawing\nat all\n"},
        {"no value", "  0\nSECTION\n  2\n"},
        {"text coordinate", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nten\n0\nENDSEC\n0\nEOF\n"},
        {"infinite", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n1e999\n0\nENDSEC\n0\nEOF\n"},
        {"huge count",
         "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n90\n2000000000\n10\n1\n20\n1\n0\nENDSEC\n0\nEOF"
         "\n"},
        {"huge knots", "0\nSECTION\n2\nENTITIES\n0\nSPLINE\n72\n99999999\n0\nENDSEC\n0\nEOF\n"},
        {"open section", "0\nSECTION\n2\nENTITIES\n0\nEOF\n"},
        {"group code", "0\nSECTION\n2\nENTITIES\n-5\nx\n0\nENDSEC\n0\nEOF\n"},
    };
    for (std::size_t cut : {good.size() / 7, good.size() / 3, good.size() / 2, good.size() - 9}) {
        cases.emplace_back("cut at " + std::to_string(cut), good.substr(0, cut));
    }
    std::mt19937 rng(7);
    std::string noise(3000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    cases.emplace_back("noise", noise);
    for (const auto& [what, text] : cases) {
        SCOPED_TRACE(what);
        WriteAll(dir_ / "bad.dxf", text);
        EXPECT_EQ(Quillon("import bad.dxf out.000"), 1);
        EXPECT_EQ(err_.rfind("quillon: bad.dxf: ", 0), 0u) << err_;
        EXPECT_GT(err_.size(), std::string("quillon: bad.dxf: \n").size());
        EXPECT_FALSE(fs::exists(dir_ / "out.000"));
    }
    EXPECT_EQ(Quillon("import missing.dxf out.000"), 1);
    EXPECT_EQ(Quillon("import bad.dxf"), 2);
}

TEST(DxfText, MTextFormattingGivesPlainLines) {
    using quillon_tool::MTextLines;
    EXPECT_EQ(MTextLines("{\\fArial|b1;Bold} a\\Pb\\~c"),
              (std::vector<std::string>{"Bold a", "b c"}));
    EXPECT_EQ(MTextLines("\\H2.5x;\\C1;red\\\\x \\{y\\} \\S1^2; \\Lu\\l"),
              (std::vector<std::string>{"red\\x {y} 1/2 u"}));
    // An argument code cut off at the end neither hangs nor reads past the text.
    EXPECT_EQ(MTextLines("ab\\H2.5"), (std::vector<std::string>{"ab"}));
    EXPECT_EQ(MTextLines("ab\\"), (std::vector<std::string>{"ab\\"}));
}

TEST(DxfText, Cp932ReplacesWhatItCannotHold) {
    std::size_t replaced = 0;
    std::string expected;
    ASSERT_TRUE(platform::Utf8ToCp932("図面A?", expected));
    // The euro sign lacks a code in code page 932; a lone continuation byte is broken UTF-8.
    EXPECT_EQ(quillon_tool::ToCp932Replacing("図面A€", replaced), expected);
    EXPECT_EQ(quillon_tool::ToCp932Replacing("x\x80", replaced), "x?");
    EXPECT_EQ(replaced, 2u);
    using quillon_tool::DecodeDxfString;
    using quillon_tool::DxfEncoding;
    EXPECT_EQ(DecodeDxfString("\\U+56F3x\\U+D800", DxfEncoding::kUtf8), "図x\\U+D800");
    EXPECT_EQ(DecodeDxfString("\x80\xe9", DxfEncoding::kCp1252), "€é");
}

TEST(DxfSpline, UnclampedKnotsAndRefusals) {
    using namespace quillon_tool;
    // A uniform cubic over four points: one span, starting at (P0 + 4 P1 + P2) / 6.
    SplineInput in;
    in.control = {{0, 0}, {6, 6}, {12, 0}, {18, 6}};
    in.knots = {0, 1, 2, 3, 4, 5, 6, 7};
    std::vector<Point2> pts;
    std::string why;
    ASSERT_EQ(SplineToBezier(in, pts, why), SplineResult::kExact) << why;
    ASSERT_EQ(pts.size(), 4u);
    EXPECT_NEAR(pts[0].x, 6, 1e-12);
    EXPECT_NEAR(pts[0].y, 4, 1e-12);
    EXPECT_NEAR(pts[3].x, 12, 1e-12);
    EXPECT_NEAR(pts[3].y, 2, 1e-12);

    SplineInput bad = in;
    bad.knots.pop_back();
    EXPECT_EQ(SplineToBezier(bad, pts, why), SplineResult::kRefused);
    EXPECT_TRUE(pts.empty());
    bad = in;
    bad.knots[3] = -1;
    EXPECT_EQ(SplineToBezier(bad, pts, why), SplineResult::kRefused);
    bad = in;
    bad.weights = {1, 0, 1, 1};
    EXPECT_EQ(SplineToBezier(bad, pts, why), SplineResult::kRefused);
    bad = in;
    bad.degree = 0;
    EXPECT_EQ(SplineToBezier(bad, pts, why), SplineResult::kRefused);
    bad = in;
    bad.knots = {0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(SplineToBezier(bad, pts, why), SplineResult::kRefused);
}

}  // namespace
