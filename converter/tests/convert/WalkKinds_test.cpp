// The element walk kind by kind, against the real server, Quillon and Pelmar: a drawing
// holding every kind the walk converts is walked, the PDB read back, and each element
// compared with the drawing's, its attributes with the attribute's values; then the
// overrides and the transform on direct conversions.
#include <cmath>
#include <map>
#include <tuple>

#include "WalkFixture.h"
#include "pdbform/ExtensionEntries.h"
#include "support/geometry/Transform.h"

namespace walk_test {
namespace {

class WalkKinds : public WalkFixture {};

void ExpectDoubles(const pdbform::Element& got, const pdbform::Element& want, std::size_t at,
                   std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_DOUBLE_EQ(F64(got.fixed, at + 8 * i), F64(want.fixed, at + 8 * i))
            << "kind " << got.kind << " byte " << at + 8 * i;
    }
}

TEST_F(WalkKinds, EveryKindReadsBackWithItsValuesAndOthersWriteNothing) {
    pdbform::PdbFile drawing = WalkDrawing();
    std::vector<pdbform::Element> want;
    auto add = [&](pdbform::Element e, bool converted = true) {
        if (converted) want.push_back(e);
        ASSERT_NE(drawing.Append(std::move(e)), 0u);
    };
    add(Elem(1, 1, kPointPen2, {1.25, -2.5}));
    add(Elem(2, 2, kSolidLine, {0, 0, 100.5, 50.25}));
    add(Elem(3, 1, kSolidLine, {0, 0, 5, 5, 10, 0}));
    add(Elem(4, 1, kThinLine, {3, 4, 12.5}));
    pdbform::Element painted = Elem(5, 1, kSolidLine, {7, 8, 2}, 8);
    SetI16(painted, 6, kFacePaint3);
    add(painted);
    pdbform::Element polyline = Elem(6, 1, kSolidLine);
    SetI16(polyline, 6, kFacePaint3);
    SetPoints(polyline, {0, 0, 1, 1, 2, 0, 3, 1});
    add(polyline);
    pdbform::Element text = Elem(7, 1, kPlainText, {1, 2, 30, 2, 0.5});
    SetText(text, "図面ソ表示 ABC");  // ソ and 表 carry the code of "\" as second byte
    add(text);
    pdbform::Element circled = Elem(8, 1, kPlainText, {5, 6, 4});
    SetText(circled, "Ａ１");
    add(circled);
    add(Elem(9, 2, kMark4, {9, 10}));
    pdbform::Element leader = Elem(10, 1, kSolidLine);
    SetI16(leader, 6, kArrowType0);
    SetPoints(leader, {0, 0, 10, 10, 20, 10});
    add(leader);
    pdbform::Element dimension = Elem(11, 2, kSolidLine, {0, -5, 40, -5});
    SetI16(dimension, 38, kArrowType2);
    add(dimension);
    pdbform::Element arcDimension = Elem(12, 2, kThinLine, {0, 0, 3, 4, 5, 0});
    SetI16(arcDimension, 54, kArrowType2);
    add(arcDimension);
    add(Elem(13, 1, 0), false);
    for (std::int16_t other : {14, 15, 23, 24, 28, 77}) add(Elem(other, 1, 0), false);
    pdbform::Element contour = Elem(17, 1, kSolidLine);
    contour.rest.assign(64, 0);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(StoreF64(contour.rest, 32 * i, 1.0 + i));
        EXPECT_TRUE(StoreF64(contour.rest, 32 * i + 8, 2.0 * i));
        EXPECT_TRUE(StoreF64(contour.rest, 32 * i + 16, 0.25));
        EXPECT_TRUE(StoreF32(contour.rest, 32 * i + 24, 1.5f));
        EXPECT_TRUE(StoreF32(contour.rest, 32 * i + 28, 2.5f));
    }
    add(contour);
    add(Elem(18, 1, kSolidLine, {2, 0, 0, 10, 0.5, 8, 9, 5, 1, 3, 4, 6, 7}));
    pdbform::Element symbol = Elem(19, 1, kPlainText, {11, 12, 0.75}, 8);
    SetI16(symbol, 6, 0x41);
    add(symbol);
    pdbform::Element image = Elem(20, 1, 33);
    for (std::size_t i = 6; i < 66; ++i) image.fixed[i] = static_cast<std::uint8_t>(i);
    const std::string file = "C:\\画像\\写真.BMP";
    std::copy(file.begin(), file.end(), image.fixed.begin() + 66);
    add(image);
    add(pdbform::MakeElement(21, 0, 0, 0));
    add(pdbform::MakeElement(22, 0, 0, 0));

    int status = -1;
    const pdbform::PdbFile pdb = Convert(drawing, status);
    EXPECT_EQ(status, 0);
    const auto got = Elements(pdb);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        const pdbform::Element& g = *got[i];
        const pdbform::Element& w = want[i];
        ASSERT_EQ(g.kind, w.kind);
        if (g.kind >= 21) continue;
        EXPECT_EQ(g.Layer(), w.Layer()) << g.kind;
        EXPECT_EQ(g.SecondWord(), w.SecondWord()) << g.kind;
    }
    // The server keeps the pen, the line type and the three values of a record.
    auto line = [&](std::size_t i) {
        const auto* entry = pdb.lineAttributes.Get(got[i]->AttributeId());
        EXPECT_NE(entry, nullptr) << i;
        return entry == nullptr ? std::tuple<int, int, std::vector<float>>{}
                                : std::tuple<int, int, std::vector<float>>{
                                      entry->pen,
                                      entry->lineType,
                                      {entry->floats.begin(), entry->floats.begin() + 3}};
    };
    auto lineOf = [&](std::size_t id) {
        const auto& entry = drawing.lineAttributes.Entries()[id - 1];
        return std::tuple<int, int, std::vector<float>>{
            entry.pen, entry.lineType, {entry.floats.begin(), entry.floats.begin() + 3}};
    };
    const auto solid = lineOf(kSolidLine);

    EXPECT_EQ(pdb.pointAttributes.Get(got[0]->AttributeId())->pen, 2);
    ExpectDoubles(*got[0], want[0], 6, 2);
    for (std::size_t i : {1, 2}) EXPECT_EQ(line(i), solid);
    ExpectDoubles(*got[1], want[1], 6, 4);
    ExpectDoubles(*got[2], want[2], 6, 6);
    EXPECT_EQ(line(3), lineOf(kThinLine));
    ExpectDoubles(*got[3], want[3], 6, 3);
    // Painted circle and polyline: the face attribute and the points.
    for (std::size_t i : {4, 5}) {
        const auto* face = pdb.faceAttributes.Get(I16(got[i]->fixed, 6));
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->paintNumber, 3);
        EXPECT_EQ(face->ppat, 1);
        EXPECT_EQ(line(i), solid);
    }
    ExpectDoubles(*got[4], want[4], 8, 3);
    EXPECT_EQ(got[5]->rest, want[5].rest);
    // Text and circled string: points, text in code page 932, symbol attribute.
    ExpectDoubles(*got[6], want[6], 6, 5);
    EXPECT_EQ(got[6]->rest, want[6].rest);
    EXPECT_EQ(I16(got[6]->fixed, 46), I16(want[6].fixed, 46));
    ExpectDoubles(*got[7], want[7], 6, 3);
    EXPECT_EQ(got[7]->rest, want[7].rest);
    for (std::size_t i : {6, 7}) {
        const auto* symbol = pdb.symbolAttributes.Get(got[i]->AttributeId());
        ASSERT_NE(symbol, nullptr);
        EXPECT_EQ(symbol->pen, 1);
        EXPECT_EQ(symbol->fontId, 100);
        EXPECT_DOUBLE_EQ(symbol->height, 3.5);
    }
    const auto* mark = pdb.markAttributes.Get(got[8]->AttributeId());
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(*mark, drawing.markAttributes.Entries()[0]);
    ExpectDoubles(*got[8], want[8], 6, 2);
    // Leader: arrow type 0 is written with size 1.3.
    const auto* arrow0 = pdb.arrowAttributes.Get(I16(got[9]->fixed, 6));
    ASSERT_NE(arrow0, nullptr);
    EXPECT_EQ(arrow0->arrowType, 0);
    EXPECT_EQ(arrow0->arrowEnds, 3);
    EXPECT_DOUBLE_EQ(arrow0->size, 1.3);
    EXPECT_EQ(got[9]->rest, want[9].rest);
    // Dimension lines keep their points before the arrow id.
    ExpectDoubles(*got[10], want[10], 6, 4);
    ExpectDoubles(*got[11], want[11], 6, 6);
    for (auto [i, at] : {std::pair<std::size_t, std::size_t>{10, 38}, {11, 54}}) {
        const auto* arrow = pdb.arrowAttributes.Get(I16(got[i]->fixed, at));
        ASSERT_NE(arrow, nullptr) << i;
        EXPECT_EQ(*arrow, drawing.arrowAttributes.Entries()[1]);
    }
    EXPECT_EQ(line(11), lineOf(kThinLine));
    // Contour items, clothoid values, symbol, image.
    ASSERT_EQ(got[12]->rest.size(), 64u);
    for (std::size_t at : {0, 8, 16, 32, 40, 48}) {
        EXPECT_DOUBLE_EQ(F64(got[12]->rest, at), F64(want[12].rest, at)) << at;
    }
    ExpectDoubles(*got[13], want[13], 6, 13);
    EXPECT_EQ(line(13), solid);
    EXPECT_EQ(I16(got[14]->fixed, 6), 0x41);
    ExpectDoubles(*got[14], want[14], 8, 3);
    const auto* symbolAttribute = pdb.symbolAttributes.Get(got[14]->AttributeId());
    ASSERT_NE(symbolAttribute, nullptr);
    EXPECT_EQ(symbolAttribute->pen, 1);
    EXPECT_DOUBLE_EQ(symbolAttribute->height, 3.5);
    EXPECT_TRUE(
        std::equal(got[15]->fixed.begin() + 6, got[15]->fixed.end(), want[15].fixed.begin() + 6));
    ASSERT_TRUE(pdb.background.has_value());
    EXPECT_EQ(pdb.background->imageCount, 1);
}

TEST_F(WalkKinds, OverridesAndTransformApplyToEveryKind) {
    pdbform::PdbFile drawing = WalkDrawing();
    ASSERT_NE(drawing.Append(Elem(2, 1, kSolidLine, {0, 0, 1, 2})), 0u);
    pdbform::Element polyline = Elem(6, 1, kThinLine);
    SetI16(polyline, 6, kFacePaint3);
    SetPoints(polyline, {1, 1, -1, 3});
    ASSERT_NE(drawing.Append(polyline), 0u);
    ASSERT_NE(drawing.Append(Elem(4, 2, kSolidLine, {1, 1, 3})), 0u);
    pdbform::Element text = Elem(7, 2, kPlainText, {1, 0, 2, 0, 0.5});
    SetText(text, "拡大");
    ASSERT_NE(drawing.Append(text), 0u);
    ASSERT_NE(drawing.Append(Elem(1, 1, kPointPen2, {2, 3})), 0u);
    Open(drawing);

    // Scale 2, then a move by (10, 20); pen 7 and layer 4 for everything.
    ElementWalkContext context;
    context.data.resize(kWalkDataInitial);
    Matrix_Compose(context.transform, 10, 20, 0, 2, 2);
    context.penOverride = 1;
    context.overridePen = 7;
    std::vector<int> statuses;
    for (std::int16_t rtn = db_head(&handle_); rtn == 0; rtn = db_skp(&handle_)) {
        std::array<std::uint8_t, 2> kind{};
        ASSERT_EQ(db_get(&handle_, kind.data(), 2), 0);
        ASSERT_EQ(db_rtn(&handle_, &context.pid), 0);
        context.pkd = static_cast<std::int16_t>(kind[0] | kind[1] << 8);
        Walk_SetLayerOverride(4);
        statuses.push_back(Make_PDB_GetPut_Main(handle_, context));
        ASSERT_EQ(db_seek(&handle_, context.pid), 0);
    }
    Walk_SetLayerOverride(0);
    EXPECT_EQ(statuses, (std::vector<int>{0, 0, 0, 0, 0}));
    PenEntry pen{};
    ASSERT_EQ(PenTable_Get(1, pen), 1);
    EXPECT_EQ(pen.penNo, 7);
    EXPECT_EQ(PenTable_Get(2, pen), 0);
    const pdbform::PdbFile pdb = CloseAndLoad();

    const auto got = Elements(pdb);
    ASSERT_EQ(got.size(), 5u);
    for (const auto* e : got) EXPECT_EQ(e->Layer(), 4) << e->kind;
    EXPECT_EQ(pdb.lineAttributes.Get(got[0]->AttributeId())->pen, 7);
    EXPECT_EQ(pdb.lineAttributes.Get(got[1]->AttributeId())->pen, 7);
    EXPECT_EQ(pdb.symbolAttributes.Get(got[3]->AttributeId())->pen, 7);
    EXPECT_EQ(pdb.pointAttributes.Get(got[4]->AttributeId())->pen, 7);
    const std::vector<double> line{F64(got[0]->fixed, 6), F64(got[0]->fixed, 14),
                                   F64(got[0]->fixed, 22), F64(got[0]->fixed, 30)};
    EXPECT_EQ(line, (std::vector<double>{10, 20, 12, 24}));
    EXPECT_DOUBLE_EQ(F64(got[1]->rest, 0), 12);
    EXPECT_DOUBLE_EQ(F64(got[1]->rest, 24), 26);
    EXPECT_DOUBLE_EQ(F64(got[2]->fixed, 22), 6);  // radius scaled
    EXPECT_DOUBLE_EQ(F64(got[3]->fixed, 6), 12);
    EXPECT_DOUBLE_EQ(F64(got[3]->fixed, 38), 0.5);  // the fifth value is not a coordinate
    EXPECT_DOUBLE_EQ(pdb.symbolAttributes.Get(got[3]->AttributeId())->height, 7);
    EXPECT_DOUBLE_EQ(F64(got[4]->fixed, 14), 26);
}

TEST_F(WalkKinds, TextAttributesFontsAndPensAreRegistered) {
    pdbform::PdbFile drawing = WalkDrawing();
    pdbform::Element plain = Elem(7, 1, kPlainText, {0, 0, 10, 0, 0.25});
    SetText(plain, "普通");
    pdbform::Element vertical = Elem(7, 1, kVerticalText, {0, 0, 0, -10, 1.5});
    SetText(vertical, "縦書き");
    pdbform::Element slanted = Elem(8, 2, kSlantedText, {1, 1, 5});
    SetText(slanted, "斜");
    for (auto* e : {&plain, &vertical, &slanted}) ASSERT_NE(drawing.Append(*e), 0u);
    int status = -1;
    Open(drawing);
    status = Walk_AllElements(handle_);
    EXPECT_EQ(status, 0);
    // Pens and fonts in the order the walk met them.
    std::vector<int> pens;
    PenEntry pen{};
    for (int n = 1; PenTable_Get(n, pen) == 1; ++n) pens.push_back(pen.penNo);
    EXPECT_EQ(pens, (std::vector<int>{1, 2}));
    ASSERT_EQ(PenTable_Get(2, pen), 1);
    EXPECT_EQ(pen.red, 200);
    EXPECT_DOUBLE_EQ(pen.width, 0.35f);
    EXPECT_EQ(pen.rgbCD, 2);
    EXPECT_EQ(pen.widthCD, 1);
    std::vector<std::pair<int, std::string>> fonts;
    FontNameEntry font{};
    for (int n = 1; FontNameTable_Get(n, font) == 1; ++n)
        fonts.emplace_back(font.fontId, font.name);
    EXPECT_EQ(fonts, (std::vector<std::pair<int, std::string>>{{100, "ＭＳ ゴシック"},
                                                               {101, "@ＭＳ ゴシック"}}));
    const pdbform::PdbFile pdb = CloseAndLoad();
    const auto got = Elements(pdb);
    ASSERT_EQ(got.size(), 3u);

    // The vertical text: height × ratio, fifth value 0; ratio 1/ratio in the extension.
    EXPECT_DOUBLE_EQ(pdb.symbolAttributes.Get(got[1]->AttributeId())->height, 8);
    EXPECT_EQ(F64(got[1]->fixed, 38), 0.0);
    EXPECT_EQ(F64(got[0]->fixed, 38), 0.25);
    // Symbol entries by element number: only the vertical text and the slanted string.
    std::vector<std::tuple<std::uint32_t, double, std::int32_t, double, double>> symbols;
    for (const auto& bytes : Extension(pdb, pdbform::ext::kTagSymbol)) {
        std::uint32_t element = 0;
        std::int32_t flag = 0;
        ASSERT_TRUE(LoadU32(bytes, 0, element));
        ASSERT_TRUE(LoadI32(bytes, 12, flag));
        symbols.emplace_back(element, F64(bytes, 4), flag, F64(bytes, 16), F64(bytes, 24));
    }
    const auto number = [&](std::size_t i) {
        return static_cast<std::uint32_t>(std::next(pdb.Elements().begin(), i)->first -
                                          std::next(pdb.Elements().begin(), i)->first / 128);
    };
    EXPECT_EQ(symbols,
              (decltype(symbols){{number(1), 0.25, 0, 0.0, 0.0}, {number(2), 1.0, 1, 0.5, 0.25}}));
}

// Every kind with a line attribute, dashed (type 5) and cut by the pattern: each becomes
// polyline pieces on its own layer (the layer is the kind here), nothing of its own
// kind is written, a painted circle adds its fill record, and the arrows of leaders and
// dimension lines become stubs.
TEST_F(WalkKinds, EveryDashedKindIsCutIntoPieces) {
    pdbform::PdbFile drawing = WalkDrawing();
    ASSERT_NE(drawing.Append(Elem(2, 2, kDashedLine, {0, 0, 9, 0})), 0u);
    ASSERT_NE(drawing.Append(Elem(3, 3, kDashedLine, {10, 0, 0, 10, -10, 0})), 0u);
    ASSERT_NE(drawing.Append(Elem(4, 4, kDashedLine, {1, 1, 10})), 0u);
    pdbform::Element painted = Elem(5, 5, kDashedLine, {0, 0, 10}, 8);
    SetI16(painted, 6, kFacePaint3);
    ASSERT_NE(drawing.Append(painted), 0u);
    pdbform::Element polyline = Elem(6, 6, kDashedLine);
    SetI16(polyline, 6, kFacePaint3);
    SetPoints(polyline, {0, 0, 5, 0, 5, 5});
    ASSERT_NE(drawing.Append(polyline), 0u);
    pdbform::Element leader = Elem(10, 10, kDashedLine);
    SetI16(leader, 6, kArrowType0);
    SetPoints(leader, {0, 0, 6, 8, 20, 8});
    ASSERT_NE(drawing.Append(leader), 0u);
    pdbform::Element dimension = Elem(11, 11, kDashedLine, {0, 0, 0, -5});
    SetI16(dimension, 38, kArrowType2);
    ASSERT_NE(drawing.Append(dimension), 0u);
    pdbform::Element arcDimension = Elem(12, 12, kDashedLine, {10, 0, 0, -10, -10, 0});
    SetI16(arcDimension, 54, kArrowType2);
    ASSERT_NE(drawing.Append(arcDimension), 0u);

    Walk_SetDashExpansion(1);
    int status = -1;
    const pdbform::PdbFile pdb = Convert(drawing, status);
    Walk_SetDashExpansion(0);
    EXPECT_EQ(status, 0);

    std::map<int, int> pieces;  // layer -> pieces
    std::map<int, int> others;  // kind -> records
    for (const auto* e : Elements(pdb)) {
        if (e->kind != 6) {
            ++others[e->kind];
            continue;
        }
        ++pieces[e->Layer()];
        for (std::size_t at = 0; at + 16 <= e->rest.size(); at += 16) {
            const double x = F64(e->rest, at), y = F64(e->rest, at + 8);
            // The arcs and circles: their pieces lie on the curve.
            if (e->Layer() == 3 || e->Layer() == 12) {
                EXPECT_NEAR(std::hypot(x, y), 10, 0.011);
            }
            if (e->Layer() == 12) {
                EXPECT_LE(y, 1e-9);
            }
            if (e->Layer() == 4) {
                EXPECT_NEAR(std::hypot(x - 1, y - 1), 10, 0.011);
            }
        }
    }
    for (int layer : {2, 3, 4, 5, 6, 10, 11, 12}) EXPECT_GT(pieces[layer], 0) << layer;
    EXPECT_EQ(pieces[2], 5);  // 0-1, 1.5-3.5, 4-5, 5.5-7.5, 8-9
    // The painted circle's fill record, and 2 + 1 + 1 arrow stubs.
    EXPECT_EQ(others, (std::map<int, int>{{11, 4}, {16, 1}}));
}

}  // namespace
}  // namespace walk_test
