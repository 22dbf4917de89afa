// The down-level conversion step (Make_PDB_Draft level 1) through the real open, walk
// and close against the real server: the PDB starts as the drawing's copy, only what
// must be replaced is written (the original removed), everything else is registered.
#include <cmath>
#include <fstream>
#include <map>

#include "WalkFixture.h"
#include "convert/DownLevelOpen.h"
#include "convert/MakePdbDraft.h"
#include "pdbform/ExtensionEntries.h"

namespace walk_test {
namespace {

class DownLevel : public WalkFixture {
  protected:
    // Saves the drawing, runs level 1 on it, merges the extension file and reads the
    // PDB back. `status` gets Make_PDB_Draft's result.
    pdbform::PdbFile Run(pdbform::PdbFile& drawing, int dashExpansion, int& status) {
        SaveDrawing(drawing, kDrawing);
        status = Make_PDB_Draft(kDownLevel, kDrawing, kPdb, 1, dashExpansion);
        EXPECT_EQ(PdbHead_PutPensAndFonts(), 0);
        EXPECT_EQ(PDB_PdmExData_resize(kExt), 0);
        EXPECT_EQ(PDB_Union_DraftNPdmDataBase(kPdb, kExt), 0);
        return Load(kPdb);
    }
    // The same from a drawing the quillon tool makes of a JSON source (`body`: its
    // element and record lists); the drawing read back into `drawing`.
    pdbform::PdbFile RunJson(const std::string& body, pdbform::PdbFile& drawing, int& status) {
        const std::string source = open_test::Host("C:\\WORK\\DOWN.json");
        std::ofstream(source) << "{" << kTables << body << "}";
        const std::string tool = (platform::test::BinDir() / "quillon").string();
        EXPECT_EQ(platform::test::RunProgram({tool, "make", source, open_test::Host(kDrawing)}), 0);
        drawing = Load(kDrawing);
        status = Make_PDB_Draft(kDownLevel, kDrawing, kPdb, 1, 0);
        EXPECT_EQ(PDB_PdmExData_resize(kExt), 0);
        EXPECT_EQ(PDB_Union_DraftNPdmDataBase(kPdb, kExt), 0);
        return Load(kPdb);
    }
    static constexpr const char* kTables = R"(
      "layers": [{"number": 1, "colourCode": 1, "widthCode": 1},
                 {"number": 3, "colourCode": 1, "widthCode": 1}],
      "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}],
      "colours": [{"code": 1, "rgb": [10, 20, 30]}],
      "widths": [{"code": 1, "width": 0.25}],
      "paintColours": [{"paintNumber": 3, "rgb": [120, 180, 255]}],)";

    static std::vector<const pdbform::Element*> OfKind(const pdbform::PdbFile& pdb, int kind) {
        std::vector<const pdbform::Element*> out;
        for (const auto& [position, e] : pdb.Elements()) {
            if (e.kind == kind) out.push_back(&e);
        }
        return out;
    }
    // Element numbers of the extension entries of `tag` (their first four bytes).
    static std::vector<std::uint32_t> Keys(const pdbform::PdbFile& pdb, std::uint16_t tag) {
        std::vector<std::uint32_t> out;
        for (const auto& bytes : Extension(pdb, tag)) {
            std::uint32_t key = 0;
            EXPECT_TRUE(LoadU32(bytes, 0, key));
            out.push_back(key);
        }
        return out;
    }
    static pdbform::Element Polyline(std::int16_t layer, std::int16_t aid,
                                     const std::vector<double>& xy) {
        pdbform::Element e = Elem(6, layer, aid);
        SetI16(e, 6, kFacePaint3);
        SetPoints(e, xy);
        return e;
    }
};

TEST_F(DownLevel, OrdinaryLineTypesLeaveTheDrawingsElementsAndRegisterTheirPens) {
    pdbform::PdbFile drawing = WalkDrawing();
    ASSERT_NE(drawing.Append(Elem(1, 1, kPointPen2, {1, 2})), 0u);
    ASSERT_NE(drawing.Append(Elem(2, 1, kSolidLine, {0, 0, 10, 5})), 0u);
    ASSERT_NE(drawing.Append(Elem(4, 2, kThinLine, {3, 3, 2})), 0u);
    ASSERT_NE(drawing.Append(Polyline(1, kSolidLine, {0, 0, 1, 1, 2, 0})), 0u);
    pdbform::Element text = Elem(7, 2, kPlainText, {0, 0, 5, 0, 0});
    SetText(text, "図面");
    ASSERT_NE(drawing.Append(text), 0u);
    int status = -1;
    const pdbform::PdbFile pdb = Run(drawing, 1, status);
    ASSERT_EQ(status, 0);

    ASSERT_EQ(pdb.Elements().size(), drawing.Elements().size());
    for (const auto& [position, want] : drawing.Elements()) {
        const pdbform::Element* got = pdb.Find(position);
        ASSERT_NE(got, nullptr) << position;
        EXPECT_EQ(got->kind, want.kind) << position;
        EXPECT_EQ(got->fixed, want.fixed) << position;
        EXPECT_EQ(got->rest, want.rest) << position;
    }
    // Pens 1 and 2 registered, the three layers defined, the font registered; the
    // text's ratio is 1, so it needs no symbol entry.
    EXPECT_EQ(Extension(pdb, pdbform::ext::kTagPen).size(), 2u);
    EXPECT_EQ(Extension(pdb, pdbform::ext::kTagLayer).size(), 3u);
    EXPECT_EQ(Extension(pdb, pdbform::ext::kTagFont).size(), 1u);
    EXPECT_TRUE(Extension(pdb, pdbform::ext::kTagSymbol).empty());
}

TEST_F(DownLevel, DashedElementsAreReplacedByTheirPiecesAndSolidOnesStay) {
    pdbform::PdbFile drawing = WalkDrawing();
    const std::uint32_t solid = drawing.Append(Elem(2, 1, kSolidLine, {0, 0, 10, 0}));
    const std::uint32_t dashed = drawing.Append(Elem(2, 2, kDashedLine, {0, 5, 9, 5}));
    // A dashed leader with both arrows (type 0): its stubs start at the arrow ends and
    // are 0.1 long, as in the normal walk.
    pdbform::Element leader = Elem(10, 4, kDashedLine);
    SetI16(leader, 6, kArrowType0);
    SetPoints(leader, {0, 20, 6, 28, 20, 28});
    const std::uint32_t leaderAt = drawing.Append(leader);
    int status = -1;
    const pdbform::PdbFile pdb = Run(drawing, 1, status);
    ASSERT_EQ(status, 0);

    EXPECT_NE(pdb.Find(solid), nullptr);
    EXPECT_EQ(pdb.Find(dashed), nullptr) << "the dashed line is removed";
    EXPECT_EQ(pdb.Find(leaderAt), nullptr) << "the dashed leader is removed";
    // Pattern 1 on, 0.5 off, 2 on, 0.5 off ... over a length of 9: 0-1, 1.5-3.5, 4-5,
    // 5.5-7.5, 8-9.
    std::vector<std::pair<double, double>> pieces;
    for (const auto* e : OfKind(pdb, 6)) {
        if (e->Layer() != 2) continue;
        ASSERT_EQ(e->rest.size(), 32u);
        pieces.push_back({F64(e->rest, 0), F64(e->rest, 16)});
        EXPECT_DOUBLE_EQ(F64(e->rest, 8), 5);
    }
    const std::vector<std::pair<double, double>> want{
        {0, 1}, {1.5, 3.5}, {4, 5}, {5.5, 7.5}, {8, 9}};
    ASSERT_EQ(pieces.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(pieces[i].first, want[i].first, 1e-12) << i;
        EXPECT_NEAR(pieces[i].second, want[i].second, 1e-12) << i;
    }
    const auto stubs = OfKind(pdb, 11);
    ASSERT_EQ(stubs.size(), 2u);
    EXPECT_DOUBLE_EQ(F64(stubs[0]->fixed, 6), 0);
    EXPECT_NEAR(F64(stubs[0]->fixed, 22), 0.06, 1e-12);
    EXPECT_NEAR(F64(stubs[0]->fixed, 30), 20.08, 1e-12);
    EXPECT_DOUBLE_EQ(F64(stubs[1]->fixed, 6), 20);
    EXPECT_NEAR(F64(stubs[1]->fixed, 22), 19.9, 1e-12);
}

TEST_F(DownLevel, WithoutExpansionAPatternedRecordReplacesTheElement) {
    pdbform::PdbFile drawing = WalkDrawing();
    const std::uint32_t dashed = drawing.Append(Elem(2, 1, kDashedLine, {0, 0, 4, 0}));
    // A dimension line's body goes on as a polyline of its two points.
    pdbform::Element dimension = Elem(11, 2, kDashedLine, {0, 0, 0, -5});
    SetI16(dimension, 38, kArrowType2);
    const std::uint32_t dimensionAt = drawing.Append(dimension);
    int status = -1;
    const pdbform::PdbFile pdb = Run(drawing, 0, status);
    ASSERT_EQ(status, 0);

    EXPECT_EQ(pdb.Find(dashed), nullptr);
    EXPECT_EQ(pdb.Find(dimensionAt), nullptr);
    const auto lines = OfKind(pdb, 2);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(pdb.lineAttributes.Get(lines[0]->AttributeId())->lineType, 5);
    const auto polylines = OfKind(pdb, 6);
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_EQ(polylines[0]->Layer(), 2);
    EXPECT_EQ(polylines[0]->rest.size(), 32u);
    EXPECT_EQ(OfKind(pdb, 11).size(), 1u) << "the start stub";
    EXPECT_EQ(Extension(pdb, pdbform::ext::kTagLinePattern).size(), 2u);
}

TEST_F(DownLevel, TextAttributeIsKeyedByTheElementNumberOfItsPosition) {
    pdbform::PdbFile drawing = WalkDrawing();
    for (int i = 0; i < 130; ++i) {
        ASSERT_NE(drawing.Append(Elem(2, 1, kSolidLine, {0, 0, 1.0 * i, 1})), 0u);
    }
    pdbform::Element text = Elem(7, 1, kSlantedText, {0, 0, 5, 0, 0});
    SetText(text, "傾き");
    const std::uint32_t position = drawing.Append(text);
    ASSERT_GT(position, 128u);
    int status = -1;
    const pdbform::PdbFile pdb = Run(drawing, 0, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(Keys(pdb, pdbform::ext::kTagSymbol),
              std::vector<std::uint32_t>{position - position / 128});
    EXPECT_EQ(Walk_ElementNumber(127), 127);
    EXPECT_EQ(Walk_ElementNumber(129), 128);
    EXPECT_EQ(Walk_ElementNumber(257), 255);
    EXPECT_EQ(Walk_ElementNumber(0), 0);
}

TEST_F(DownLevel, FillsStayAndTheirHolesAreKeyedByElementNumber) {
    pdbform::PdbFile drawing;
    int status = -1;
    const pdbform::PdbFile pdb = RunJson(R"("elements": [
      {"position": 200, "kind": 16, "pen": 1, "lineType": 2, "paintNumber": 3, "ppat": 1,
       "items": [{"code": 0}, {"code": 4, "values": [5, 5, 4]}]}],
     "fillHoles": [{"position": 200, "holes": [
       [{"code": 1, "values": [1, 2, 3, 4]}, {"code": 1, "values": [3, 4, 1, 2]}]]}])",
                                         drawing, status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(pdb.Elements().size(), 1u);
    EXPECT_EQ(pdb.Find(200)->rest, drawing.Find(200)->rest) << "the fill stays as it was";
    // Position 200 is element number 199 (slot 128 is the second index block's header).
    EXPECT_EQ(Keys(pdb, pdbform::ext::kTagHolePiece), (std::vector<std::uint32_t>{199, 199}));
    EXPECT_EQ(Keys(pdb, pdbform::ext::kTagHoleEnd), (std::vector<std::uint32_t>{199}));
    EXPECT_EQ(Extension(pdb, pdbform::ext::kTagPaintPen).size(), 1u);
}

TEST_F(DownLevel, APaintAreaIsReplacedByItsGroupsAndFillRecord) {
    pdbform::PdbFile drawing;
    int status = -1;
    const pdbform::PdbFile pdb = RunJson(R"("elements": [
      {"position": 1, "kind": 2, "layer": 1, "pen": 1, "lineType": 2, "points": [[0, 0], [10, 0]]},
      {"position": 2, "kind": 2, "layer": 1, "pen": 1, "lineType": 2, "points": [[10, 0], [10, 10]]},
      {"position": 3, "kind": 2, "layer": 1, "pen": 1, "lineType": 2, "points": [[10, 10], [0, 0]]},
      {"position": 4, "kind": 29, "layer": 3, "pen": 1, "lineType": 2, "paintNumber": 3,
       "ppat": 1, "items": [{"code": -4, "values": [1, 2, 3, 4, 5, 6]}]}],
     "paintAreas": [{"position": 4, "boundary": [1, 2, 3]}])",
                                         drawing, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(pdb.Find(4), nullptr) << "the area is removed";
    std::vector<int> kinds;
    for (const auto& [position, e] : pdb.Elements()) {
        if (position <= 3) {
            EXPECT_EQ(e.fixed, drawing.Find(position)->fixed) << "solid lines stay";
        } else {
            kinds.push_back(e.kind);
            EXPECT_EQ(e.Layer(), 3);
        }
    }
    // The boundary written anew on the area's layer, its group, the fill.
    EXPECT_EQ(kinds, (std::vector<int>{2, 2, 2, 13, 16}));
}

TEST_F(DownLevel, ATopLevelElementAfterAPlacementKeepsItsOwnLayer) {
    pdbform::PdbFile drawing = WalkDrawing();
    const std::uint32_t member = drawing.Append(Elem(52, 1, kDashedLine, {0, 0, 1, 0}));
    const std::uint32_t definition = drawing.Append(pdbform::MakeElement(13, 1, 0, 0));
    drawing.definitions[definition] = {{member}};
    pdbform::Placement placement;
    placement.layerOverride = 4;
    placement.translateY = 10;
    placement.definition = definition;
    const std::uint32_t placed = drawing.Append(pdbform::MakeElement(25, 1, 0, 0));
    drawing.placements[placed] = placement;
    const std::uint32_t topLevel = drawing.Append(Elem(2, 2, kDashedLine, {0, 0, 1, 0}));

    int status = -1;
    const pdbform::PdbFile pdb = Run(drawing, 0, status);
    ASSERT_EQ(status, 0);
    std::map<int, double> yByLayer;
    for (const auto* e : OfKind(pdb, 2)) yByLayer[e->Layer()] = F64(e->fixed, 14);
    EXPECT_EQ(yByLayer, (std::map<int, double>{{2, 0.0}, {4, 10.0}}));
    EXPECT_EQ(pdb.Find(topLevel), nullptr);
    // The member is written placed, but stays in its definition: without it the
    // definition would be broken and the PDB could not be saved.
    EXPECT_NE(pdb.Find(member), nullptr);
    EXPECT_EQ(pdb.definitions.at(definition).members, std::vector<std::uint32_t>{member});
    EXPECT_EQ(Walk_LayerOverride(), 0) << "the normal level's override is untouched";
}

TEST_F(DownLevel, AFailedCopyOfTheDrawingEndsTheOpenWith21) {
    pdbform::PdbFile drawing = WalkDrawing();
    SaveDrawing(drawing, kDrawing);
    DrawingHandle handle{};
    EXPECT_EQ(PDB_expdm_PutLayerPlus(kDrawing, "C:\\WORK\\NO\\WALK.PDB", handle, 1), 21);
    EXPECT_EQ(PdmDb_Session(), nullptr);
    // A drawing that does not exist cannot be copied either.
    EXPECT_EQ(Make_PDB_Draft(kDownLevel, "C:\\WORK\\MISSING.000", kPdb, 1, 0), 21);
}

}  // namespace
}  // namespace walk_test
