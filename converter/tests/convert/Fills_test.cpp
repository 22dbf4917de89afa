// Fills and paint areas, one element at a time: drawings made from JSON by the quillon
// tool, opened with a new PDB on the real server, the cursor put on the element and its
// pkd read as the walk does, the conversion called, and the PDB read back after the
// close with its extension file merged.
#include "convert/Fills.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "WalkFixture.h"
#include "convert/ConvertStatus.h"
#include "convert/PaintAreas.h"
#include "convert/WalkContext.h"
#include "support/geometry/Transform.h"

namespace fills_test {
namespace {

using walk_test::F64;
using walk_test::I16;

// The tables every drawing of these tests has: layers 1, 3 and 5, pen 1, paint 3.
constexpr const char* kTables = R"(
  "layers": [{"number": 1, "colourCode": 1, "widthCode": 1},
             {"number": 3, "colourCode": 1, "widthCode": 1},
             {"number": 5, "colourCode": 1, "widthCode": 1}],
  "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}],
  "colours": [{"code": 1, "rgb": [10, 20, 30]}],
  "widths": [{"code": 1, "width": 0.25}],
  "paintColours": [{"paintNumber": 3, "rgb": [120, 180, 255]}],)";

// A hole piece of the extension file (tag 8) and a hole end (tag 9).
struct Piece {
    std::uint32_t element = 0;
    std::uint16_t hole = 0;
    std::uint16_t index = 0;
    std::int16_t type = 0;
    std::vector<double> values;
};
struct HoleEnd {
    std::uint32_t element = 0;
    std::uint16_t hole = 0;
    std::uint16_t count = 0;
    bool operator==(const HoleEnd&) const = default;
};

// The element numbers a group record (kind 13) holds after its two names.
std::vector<std::int32_t> GroupNumbers(const pdbform::Element& group) {
    std::vector<std::int32_t> numbers;
    for (std::size_t at = 136; at + 4 <= group.rest.size(); at += 4) {
        std::int32_t n = 0;
        EXPECT_TRUE(LoadI32(group.rest, at, n));
        numbers.push_back(n);
    }
    return numbers;
}

class Fills : public walk_test::WalkFixture {
  protected:
    void SetUp() override {
        WalkFixture::SetUp();
        Walk_SetLayerOverride(0);
    }
    // Makes the drawing from `body` (the element and record lists of the JSON source)
    // and opens it with a new PDB.
    void OpenJson(const std::string& body) {
        const std::string source = open_test::Host("C:\\WORK\\FILLS.json");
        std::ofstream(source) << "{" << kTables << body << "}";
        const std::string tool = (platform::test::BinDir() / "quillon").string();
        ASSERT_EQ(platform::test::RunProgram({tool, "make", source, open_test::Host(kDrawing)}), 0);
        ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    }
    // Puts the cursor on the element at `position`, reads its pkd and converts it.
    int ConvertAt(std::int32_t position, int (*convert)(DrawingHandle&, ElementWalkContext&),
                  const Matrix4* transform = nullptr) {
        context_ = ElementWalkContext{};
        context_.data.resize(kWalkDataInitial);
        Matrix4_Identity(context_.transform);
        if (transform != nullptr) context_.transform = *transform;
        EXPECT_EQ(db_head(&handle_), quillon::kQuillonOk);
        EXPECT_EQ(db_seek(&handle_, position), quillon::kQuillonOk);
        std::array<std::uint8_t, 2> kind{};
        EXPECT_EQ(db_get(&handle_, kind.data(), 2), quillon::kQuillonOk);
        EXPECT_EQ(db_rtn(&handle_, &context_.pid), quillon::kQuillonOk);
        context_.pkd = static_cast<std::int16_t>(kind[0] | (kind[1] << 8));
        return convert(handle_, context_);
    }
    static std::vector<Piece> Pieces(const pdbform::PdbFile& pdb) {
        std::vector<Piece> out;
        for (const auto& bytes : Extension(pdb, 8)) {
            Piece p;
            EXPECT_TRUE(LoadU32(bytes, 0, p.element) && LoadU16(bytes, 4, p.hole) &&
                        LoadU16(bytes, 6, p.index) && LoadI16(bytes, 8, p.type));
            for (std::size_t at = 10; at + 8 <= bytes.size(); at += 8)
                p.values.push_back(F64(bytes, at));
            out.push_back(p);
        }
        return out;
    }
    static std::vector<HoleEnd> HoleEnds(const pdbform::PdbFile& pdb) {
        std::vector<HoleEnd> out;
        for (const auto& bytes : Extension(pdb, 9)) {
            HoleEnd e;
            EXPECT_TRUE(LoadU32(bytes, 0, e.element) && LoadU16(bytes, 4, e.hole) &&
                        LoadU16(bytes, 6, e.count));
            out.push_back(e);
        }
        return out;
    }
    // The paint pens (tag 5) as "paint r g b width colourCode widthCode".
    static std::vector<std::string> PaintPens(const pdbform::PdbFile& pdb) {
        std::vector<std::string> out;
        for (const auto& bytes : Extension(pdb, 5)) {
            std::int32_t colour = 0, width = 0;
            EXPECT_TRUE(LoadI32(bytes, 14, colour) && LoadI32(bytes, 18, width));
            std::ostringstream s;
            s << I16(bytes, 0) << ' ' << int{bytes[2]} << ' ' << int{bytes[3]} << ' '
              << int{bytes[4]} << ' ' << F64(bytes, 6) << ' ' << colour << ' ' << width;
            out.push_back(s.str());
        }
        return out;
    }

    ElementWalkContext context_;
};

TEST_F(Fills, FillsWithoutBoundaryItemsWriteNothing) {
    OpenJson(R"("elements": [
      {"position": 1, "kind": 16, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 1,
       "items": [{"code": 0, "values": [1, 2]}]},
      {"position": 2, "kind": 16, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 1,
       "items": [{"code": 0}, {"code": 5, "values": [1, 2, 3, 4]}]},
      {"position": 3, "kind": 16, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 1}])");
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(ConvertAt(1, Convert_Fill), 0);
    EXPECT_EQ(ConvertAt(2, Convert_Fill), 0);
    EXPECT_EQ(ConvertAt(3, Convert_Fill), 0);
    EXPECT_EQ(Lines(*monitor), "未定義の塗り潰し形状[5]\n");
    const pdbform::PdbFile pdb = CloseAndLoad();
    EXPECT_TRUE(pdb.Elements().empty());
    EXPECT_TRUE(PaintPens(pdb).empty());
}

TEST_F(Fills, BoundaryItemsUpToTheCircleMakeTheFillRecord) {
    OpenJson(R"("elements": [
      {"position": 1, "kind": 16, "layer": 3, "second": 7, "pen": 1, "lineType": 2,
       "values": [0.5, 1.5, 2.5], "paintNumber": 3, "ppat": 1,
       "items": [{"code": 0, "values": [9, 8]},
                 {"code": 2, "values": [0, 0, 10, 0]},
                 {"code": 5, "values": [1, 1]},
                 {"code": 3, "values": [10, 0, 12, 5, 10, 10]},
                 {"code": 6, "values": [10, 10, 0, 0]},
                 {"code": 4, "values": [5, 5, 2]},
                 {"code": 7, "values": [1]},
                 {"code": 2, "values": [0, 0, 1, 1]}]}])");
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(ConvertAt(1, Convert_Fill), 0);
    // Blocks after the circle are neither kept nor logged.
    EXPECT_EQ(Lines(*monitor), "未定義の塗り潰し形状[5]\n");
    const pdbform::PdbFile pdb = CloseAndLoad();
    ASSERT_EQ(pdb.Elements().size(), 1u);
    const pdbform::Element& fill = pdb.Elements().begin()->second;
    EXPECT_EQ(fill.kind, 16);
    EXPECT_EQ(fill.Layer(), 3);
    EXPECT_EQ(fill.SecondWord(), 7);
    const pdbform::LineAttribute* line = pdb.lineAttributes.Get(fill.AttributeId());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->pen, 1);
    EXPECT_EQ(line->lineType, 2);
    EXPECT_EQ(line->floats[2], 2.5f);
    const pdbform::FaceAttribute* face = pdb.faceAttributes.Get(I16(fill.fixed, 6));
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->paintNumber, 3);
    EXPECT_EQ(face->ppat, 1);
    ASSERT_EQ(fill.rest.size(), 5 * kFillItemSize);
    const std::vector<std::int16_t> codes = {0, 2, 3, 6, 4};
    for (std::size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(I16(fill.rest, 50 * i), codes[i]) << i;
    EXPECT_EQ(F64(fill.rest, 2), 9.0);
    EXPECT_EQ(F64(fill.rest, 100 + 2 + 16), 12.0);  // the arc's point on the arc
    EXPECT_EQ(F64(fill.rest, 200 + 2 + 16), 2.0);   // the circle's radius
    EXPECT_EQ(PaintPens(pdb), (std::vector<std::string>{"3 120 180 255 0.13 3 1"}));
    EXPECT_TRUE(Pieces(pdb).empty());
    EXPECT_TRUE(HoleEnds(pdb).empty());
}

TEST_F(Fills, HatchedFillRegistersItsPaintOnly) {
    OpenJson(R"("elements": [
      {"position": 1, "kind": 16, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": -3,
       "items": [{"code": 0}, {"code": 4, "values": [5, 5, 2]}]}],
     "fillHoles": [{"position": 1, "holes": [[{"code": 3, "values": [5, 5, 1]}]]}])");
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(ConvertAt(1, Convert_Fill), 0);
    EXPECT_EQ(Lines(*monitor), "ハッチング  pid[1] ppat[-3]\n");
    const pdbform::PdbFile pdb = CloseAndLoad();
    EXPECT_TRUE(pdb.Elements().empty());
    EXPECT_TRUE(Pieces(pdb).empty());
    EXPECT_EQ(PaintPens(pdb), (std::vector<std::string>{"3 120 180 255 0.13 3 1"}));
}

TEST_F(Fills, HolesBecomePiecesOfTheFillsNumber) {
    // The fill has 1500 lines, more than the walk's data buffer starts with; hole 2 is a
    // polygon of 400 points, more than the points buffer starts with.
    std::ostringstream items, polygon;
    for (int i = 0; i < 1500; ++i) items << R"(, {"code": 2, "values": [0, 0, 1, 1]})";
    for (int i = 0; i < 400; ++i) {
        const double a = 2 * kPi * i / 400;
        polygon << (i ? "," : "") << "[" << 50 + 10 * std::cos(a) << "," << 50 + 10 * std::sin(a)
                << "]";
    }
    OpenJson(R"("elements": [
      {"position": 1, "kind": 2, "pen": 1, "lineType": 2, "points": [[0, 0], [1, 0]]},
      {"position": 2, "kind": 16, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 1,
       "items": [{"code": 0})" +
             items.str() + R"(]}],
     "fillHoles": [{"position": 2, "holes": [
       [{"code": 1, "values": [1, 2, 3, 4]}, {"code": 1, "values": [3, 4, 1, 2]}],
       [{"code": 4, "points": [)" +
             polygon.str() + R"(]}],
       [{"code": 3, "values": [60, 60, 2]}, {"code": 2, "values": [1, 2, 3, 4, 5, 6]},
        {"code": 5, "points": [[0, 0], [1, 1], [2, 1], [3, 0]]},
        {"code": 6, "values": [70, 70, 4, 2, 0, 6.283185307179586, 0]}],
       []]}])");
    // The record of the fill is the PDB's first: element number 1.
    EXPECT_EQ(ConvertAt(2, Convert_Fill), 0);
    const pdbform::PdbFile pdb = CloseAndLoad();
    ASSERT_EQ(pdb.Elements().size(), 1u);
    EXPECT_EQ(pdb.Elements().begin()->second.rest.size(), 1501 * kFillItemSize);
    const std::vector<Piece> pieces = Pieces(pdb);
    const std::vector<HoleEnd> ends = HoleEnds(pdb);
    ASSERT_EQ(ends.size(), 4u);
    EXPECT_EQ(ends[0], (HoleEnd{1, 1, 2}));
    EXPECT_EQ(ends[1], (HoleEnd{1, 2, 400}));
    EXPECT_EQ(ends[3], (HoleEnd{1, 4, 0}));  // an empty hole is still ended
    ASSERT_GT(ends[2].count, 4);
    ASSERT_EQ(pieces.size(), 2u + 400u + ends[2].count);
    for (const Piece& p : pieces) EXPECT_EQ(p.element, 1u);

    // Two lines: the first piece through PDB_Put_hole_prm (index 0), the next after it.
    EXPECT_EQ(pieces[0].hole, 1);
    EXPECT_EQ(pieces[0].index, 0);
    EXPECT_EQ(pieces[0].type, 2);
    EXPECT_EQ(pieces[0].values, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(pieces[1].index, 1);
    EXPECT_EQ(pieces[1].values, (std::vector<double>{3, 4, 1, 2}));

    // The polygon: one segment per edge, the last closing on the first point.
    for (std::size_t i = 0; i < 400; ++i) {
        const Piece& p = pieces[2 + i];
        ASSERT_EQ(p.type, 2);
        EXPECT_EQ(p.hole, 2);
        EXPECT_EQ(p.index, i);
        if (i > 0) {
            EXPECT_EQ(p.values[0], pieces[1 + i].values[2]);
            EXPECT_EQ(p.values[1], pieces[1 + i].values[3]);
        }
    }
    EXPECT_EQ(pieces[2].values[0], 60.0);
    EXPECT_EQ(pieces[401].values[2], 60.0);
    EXPECT_EQ(pieces[401].values[3], 50.0);

    // Circle and arc as they are; the curve and the elliptic arc as sampled segments.
    const std::size_t third = 402;
    EXPECT_EQ(pieces[third].type, 4);
    EXPECT_EQ(pieces[third].values, (std::vector<double>{60, 60, 2}));
    EXPECT_EQ(pieces[third + 1].type, 3);
    EXPECT_EQ(pieces[third + 1].values, (std::vector<double>{1, 2, 3, 4, 5, 6}));
    std::size_t i = third + 2;
    EXPECT_EQ(pieces[i].values[0], 0.0);
    EXPECT_EQ(pieces[i].values[1], 0.0);
    while (i + 1 < pieces.size() && pieces[i + 1].values[0] < 60) {
        EXPECT_EQ(pieces[i + 1].values[0], pieces[i].values[2]);
        ++i;
    }
    EXPECT_EQ(pieces[i].values[2], 3.0);  // the curve ends on its last control point
    EXPECT_EQ(pieces[i].values[3], 0.0);
    ++i;
    EXPECT_NEAR(pieces[i].values[0], 74.0, 1e-9);  // the full ellipse starts at angle 0
    for (; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        ASSERT_EQ(p.type, 2);
        const double u = (p.values[2] - 70) / 4, v = (p.values[3] - 70) / 2;
        EXPECT_NEAR(u * u + v * v, 1.0, 1e-9) << i;
    }
    EXPECT_NEAR(pieces.back().values[2], 74.0, 1e-9);
    EXPECT_NEAR(pieces.back().values[3], 70.0, 1e-9);
}

TEST_F(Fills, PlacedFillCarriesItsItemsAndHoles) {
    OpenJson(R"("elements": [
      {"position": 1, "kind": 16, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 1,
       "items": [{"code": 0}, {"code": 2, "values": [0, 0, 10, 0]}]}],
     "fillHoles": [{"position": 1, "holes": [
       [{"code": 1, "values": [1, 2, 3, 4]}, {"code": 3, "values": [5, 5, 1]}]]}])");
    Matrix4 m{};
    Matrix_Compose(m, 100, 50, 0, 2, 2);
    EXPECT_EQ(ConvertAt(1, Convert_Fill, &m), 0);
    const pdbform::PdbFile pdb = CloseAndLoad();
    ASSERT_EQ(pdb.Elements().size(), 1u);
    const pdbform::Element& fill = pdb.Elements().begin()->second;
    EXPECT_EQ(F64(fill.rest, 50 + 2), 100.0);
    EXPECT_EQ(F64(fill.rest, 50 + 18), 120.0);
    const std::vector<Piece> pieces = Pieces(pdb);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].values, (std::vector<double>{102, 54, 106, 58}));
    EXPECT_EQ(pieces[1].values[0], 110.0);
    EXPECT_EQ(pieces[1].values[1], 60.0);
    EXPECT_NEAR(pieces[1].values[2], 2.0, 1e-12);
}

TEST_F(Fills, HoleThatCannotBeSampledIsLeftUnendedAndFailsTheFill) {
    OpenJson(R"("elements": [
      {"position": 1, "kind": 16, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 1,
       "items": [{"code": 0}, {"code": 4, "values": [0, 0, 50]}]}],
     "fillHoles": [{"position": 1, "holes": [
       [{"code": 1, "values": [1, 2, 3, 4]},
        {"code": 6, "values": [5, 5, "NaN", 1, 0, 1, 0]}],
       [{"code": 1, "values": [5, 6, 7, 8]}]]}])");
    EXPECT_EQ(ConvertAt(1, Convert_Fill), kConvertSamplingFailed);
    const pdbform::PdbFile pdb = CloseAndLoad();
    // The fill is written; its first hole stops at the piece that failed and has no end,
    // the second is not written.
    EXPECT_EQ(pdb.Elements().size(), 1u);
    const std::vector<Piece> pieces = Pieces(pdb);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].values, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_TRUE(HoleEnds(pdb).empty());
    EXPECT_EQ(PaintPens(pdb).size(), 1u);
}

// The boundary of the area: three hidden lines on layer 5, a kind 30 and a point; its
// hole: a hidden polyline.
constexpr const char* kAreaElements = R"(
      {"position": 1, "kind": -2, "layer": 5, "pen": 1, "lineType": 2, "points": [[0, 0], [10, 0]]},
      {"position": 2, "kind": -2, "layer": 5, "pen": 1, "lineType": 2, "points": [[10, 0], [10, 10]]},
      {"position": 3, "kind": -2, "layer": 5, "pen": 1, "lineType": 2, "points": [[10, 10], [0, 0]]},
      {"position": 4, "kind": 30, "raw": {"fixed": "050000000000"}},
      {"position": 5, "kind": -1, "layer": 5, "pen": 1, "points": [[3, 3]]},
      {"position": 6, "kind": -6, "layer": 5, "pen": 1, "lineType": 2, "paintNumber": 0,
       "ppat": 0, "points": [[6, 2], [8, 2], [8, 4], [6, 2]]},)";

TEST_F(Fills, PaintAreaGroupsItsBoundaryAndHoles) {
    OpenJson(std::string(R"("elements": [)") + kAreaElements + R"(
      {"position": 7, "kind": 29, "layer": 3, "second": 4, "pen": 1, "lineType": 2,
       "values": [0.5], "paintNumber": 3, "ppat": 1,
       "items": [{"code": -4, "values": [1, 2, 3, 4, 5, 6]}]},
      {"position": 8, "kind": -4, "layer": 5, "pen": 1, "lineType": 2, "points": [[4, 6]],
       "radius": 1}],
     "paintAreas": [{"position": 7, "boundary": [1, 2, 3, 4, 5],
                     "holes": [{"elements": [6]}, {"elements": [8]}]}])");
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(ConvertAt(7, Convert_PaintArea), 0);
    EXPECT_EQ(Lines(*monitor), "未定義の塗り潰し形状[-1]\n");
    EXPECT_EQ(context_.pid, 7);
    EXPECT_EQ(context_.pkd, 29);
    EXPECT_EQ(Walk_LayerOverride(), 0);
    const pdbform::PdbFile pdb = CloseAndLoad();

    // Records in the order put: the three lines, their group, the first hole's polyline,
    // its group, the second hole's circle, its group, the fill; element numbers 1-9; all
    // on the area's layer.
    std::vector<int> kinds;
    for (const auto* e : Elements(pdb)) {
        kinds.push_back(e->kind);
        EXPECT_EQ(e->Layer(), 3) << e->kind;
    }
    ASSERT_EQ(kinds, (std::vector<int>{-2, -2, -2, 13, -6, 13, -4, 13, 16}));
    const auto elements = Elements(pdb);
    EXPECT_EQ(F64(elements[1]->fixed, 6), 10.0);  // the second line's start x
    EXPECT_EQ(GroupNumbers(*elements[3]), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(GroupNumbers(*elements[5]), (std::vector<std::int32_t>{5}));
    EXPECT_EQ(F64(elements[6]->fixed, 22), 1.0);  // the circle hole's radius
    EXPECT_EQ(GroupNumbers(*elements[7]), (std::vector<std::int32_t>{7}));

    // The fill data: the head block (-4 and the first 48 bytes of the area's head item),
    // the boundary group, the hole groups.
    const pdbform::Element& fill = *elements[8];
    EXPECT_EQ(fill.SecondWord(), 4);
    ASSERT_EQ(fill.rest.size(), 62u);
    EXPECT_EQ(I16(fill.rest, 0), -4);
    EXPECT_EQ(I16(fill.rest, 2), -4);  // the head item's own code
    EXPECT_EQ(F64(fill.rest, 4), 1.0);
    EXPECT_EQ(F64(fill.rest, 4 + 32), 5.0);
    std::int32_t group = 0;
    ASSERT_TRUE(LoadI32(fill.rest, 50, group));
    EXPECT_EQ(group, 4);
    ASSERT_TRUE(LoadI32(fill.rest, 54, group));
    EXPECT_EQ(group, 6);
    ASSERT_TRUE(LoadI32(fill.rest, 58, group));
    EXPECT_EQ(group, 8);
    const pdbform::FaceAttribute* face = pdb.faceAttributes.Get(I16(fill.fixed, 6));
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->paintNumber, 3);
    EXPECT_EQ(PaintPens(pdb), (std::vector<std::string>{"3 120 180 255 0.13 3 1"}));
}

TEST_F(Fills, PaintAreasThatWriteNothing) {
    OpenJson(R"("elements": [
      {"position": 1, "kind": 30, "raw": {"fixed": "010000000000"}},
      {"position": 2, "kind": 30, "raw": {"fixed": "010000000000"}},
      {"position": 3, "kind": -2, "pen": 1, "lineType": 2, "points": [[0, 0], [1, 0]]},
      {"position": 4, "kind": 29, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 1,
       "items": [{"code": -4}]},
      {"position": 5, "kind": 29, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 201,
       "items": [{"code": -4}]},
      {"position": 6, "kind": 29, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": -1,
       "items": [{"code": -4}]}],
     "paintAreas": [{"position": 4, "boundary": [1, 2]}, {"position": 5, "boundary": [3]},
                    {"position": 6, "boundary": [3]}])");
    EXPECT_EQ(ConvertAt(4, Convert_PaintArea), 0);  // a boundary of kind 30 only
    EXPECT_EQ(ConvertAt(5, Convert_PaintArea), 0);  // ppat above 200
    EXPECT_EQ(ConvertAt(6, Convert_PaintArea), 0);  // hatched
    const pdbform::PdbFile pdb = CloseAndLoad();
    EXPECT_TRUE(pdb.Elements().empty());
    EXPECT_TRUE(PaintPens(pdb).empty());
}

TEST_F(Fills, InvisibleAreaUnderALayerOverride) {
    OpenJson(R"("elements": [
      {"position": 1, "kind": 2, "layer": 5, "pen": 1, "lineType": 2, "points": [[0, 0], [4, 0]]},
      {"position": 2, "kind": 52, "layer": 5, "pen": 1, "lineType": 2, "points": [[4, 0], [0, 4]]},
      {"position": 3, "kind": 29, "layer": 3, "pen": 1, "lineType": 2, "paintNumber": 3,
       "ppat": 1, "items": [{"code": -4}]}],
     "paintAreas": [{"position": 3, "visible": false, "boundary": [1, 2]}])");
    // Inside a placement: the placement's layer override is in force and stays so.
    Walk_SetLayerOverride(1);
    EXPECT_EQ(ConvertAt(3, Convert_PaintArea), 0);
    EXPECT_EQ(Walk_LayerOverride(), 1);
    const pdbform::PdbFile pdb = CloseAndLoad();
    std::vector<int> kinds;
    for (const auto* e : Elements(pdb)) {
        kinds.push_back(e->kind);
        EXPECT_EQ(e->Layer(), 1) << e->kind;
    }
    // The boundary of an invisible area is written hidden, a member kind brought back.
    EXPECT_EQ(kinds, (std::vector<int>{-2, -2, 13, 16}));
}

}  // namespace
}  // namespace fills_test
