// Paint areas and holes as the converter enumerates them: the boundary on a copy of
// the handle while the original seeks each boundary element, the holes of a paint
// area with their visible flags, and the pieces of a fill's holes with their points.
#include "Builder.h"

namespace quillon_test {
namespace {

struct AreaDrawing {
    std::uint32_t line = 0, arc = 0, poly = 0, area = 0, fill = 0, plainFill = 0, point = 0;
    std::string path;
};

AreaDrawing Build() {
    AreaDrawing p;
    pdbform::PdbFile f = pdbform::NewEmpty(Head());
    p.line = f.Append(Make(-2, 1, 1, {0, 0, 10, 0}));
    p.arc = f.Append(Make(3, 1, 1, {10, 0, 12, 2, 10, 4}));
    pdbform::Element poly = Make(6, 1, 1);
    poly.rest = Doubles({10, 4, 0, 4, 0, 0});
    p.poly = f.Append(poly);
    pdbform::Element area = Make(29, 1, 1);
    area.rest.assign(50, 0x44);
    p.area = f.Append(area);
    pdbform::Element fill = Make(16, 1, 1);
    fill.rest.assign(100, 0x55);
    p.fill = f.Append(fill);
    p.plainFill = f.Append(fill);
    p.point = f.Append(Make(1, 1, 1, {0, 0}));
    f.paintAreas[p.area] = pdbform::PaintArea{
        false, {p.line, p.arc, p.poly}, {{true, {p.poly}}, {false, {p.line, p.arc}}}};
    f.fillHoles[p.fill].holes = {
        {pdbform::HolePiece{1, {0, 0, 1, 1}, {}}, pdbform::HolePiece{4, {}, {0, 0, 2, 0, 2, 2}},
         pdbform::HolePiece{5, {}, {0, 0, 1, 1, 2, 0, 3, 1}}},
        {pdbform::HolePiece{6, {1, 2, 3, 4, 5, 6, 7}, {}}, pdbform::HolePiece{3, {5, 5, 1}, {}}}};
    p.path = SaveDrawing(f, "AREAS.000");
    return p;
}

double F64At(const std::uint8_t* p, std::size_t at) {
    double v = 0;
    EXPECT_TRUE(LoadF64(std::span<const std::uint8_t>(p, at + 8), at, v));
    return v;
}

TEST(QuillonAreas, BoundaryOnACopyWhileTheOriginalSeeks) {
    const AreaDrawing p = Build();
    Opened d(p.path);
    ASSERT_EQ(d.rc, 0);
    DrawingHandle copy;
    std::memcpy(&copy, &d.h, sizeof copy);
    std::int16_t visible = 9;
    ASSERT_EQ(db_get_expaint_area_start(&copy, static_cast<std::int32_t>(p.area), &visible), 0);
    EXPECT_EQ(visible, 0);
    ASSERT_EQ(db_get_expaint_areaprm_count(&copy), 3);
    EXPECT_EQ(db_get_expaint_areaprm_count(&d.h), 0);  // the original has no enumeration

    std::vector<std::int16_t> kinds;
    for (int i = 0; i < 3; ++i) {
        std::uint8_t rec[kElementRefSize];
        std::int32_t pid = 0;
        ASSERT_EQ(db_get_expaint_areaprm(&copy, rec, &pid), 0);
        std::uint32_t pos = 0;
        std::int16_t kind = 0;
        ASSERT_TRUE(LoadU32(rec, 0, pos) && LoadI16(rec, 4, kind));
        EXPECT_EQ(pos, static_cast<std::uint32_t>(pid));
        ASSERT_EQ(db_seek(&d.h, pid), 0);
        std::int16_t pkd = 0;
        ASSERT_EQ(db_get(&d.h, &pkd, 2), 0);
        EXPECT_EQ(pkd, kind);
        kinds.push_back(pkd);
    }
    EXPECT_EQ(kinds, (std::vector<std::int16_t>{-2, 3, 6}));
    std::int32_t pid = 5;
    EXPECT_EQ(db_get_expaint_areaprm(&copy, nullptr, &pid), kQuillonNoMore);
    EXPECT_EQ(pid, 0);
    EXPECT_EQ(db_get_expaint_area_end(&copy), 0);
    EXPECT_EQ(db_get_expaint_areaprm(&copy, nullptr, &pid), kQuillonNotPositioned);
    EXPECT_EQ(db_get_expaint_area_start(&copy, static_cast<std::int32_t>(p.fill), &visible),
              kQuillonNotFound);

    // The holes of the paint area: their elements and visible flags.
    ASSERT_EQ(db_get_hole_start(&copy, static_cast<std::int32_t>(p.area)), 0);
    ASSERT_EQ(db_get_hole_count(&copy), 2);
    ASSERT_EQ(db_get_holeprm_start2(&copy, 2, &visible), 0);
    EXPECT_EQ(visible, 0);
    ASSERT_EQ(db_get_holeprm_count(&copy), 2);
    std::vector<std::int32_t> holeElements;
    std::uint8_t rec[kElementRefSize];
    while (db_get_holeprm3(&copy, rec, &pid) == 0) holeElements.push_back(pid);
    EXPECT_EQ(holeElements, (std::vector<std::int32_t>{static_cast<std::int32_t>(p.line),
                                                       static_cast<std::int32_t>(p.arc)}));
    std::uint8_t piece[kHolePieceSize];
    EXPECT_EQ(db_get_holeprm(&copy, piece), kQuillonNoMore);  // not a fill's hole
    ASSERT_EQ(db_get_holeprm_start2(&copy, 1, &visible), 0);
    EXPECT_EQ(visible, 1);
    EXPECT_EQ(db_get_holeprm_start(&copy, 3), kQuillonNotFound);
    EXPECT_EQ(db_get_holeprm_start(&copy, 0), kQuillonNotFound);
    EXPECT_EQ(db_get_hole_end(&copy), 0);
    EXPECT_EQ(db_get_holeprm_start(&copy, 1), kQuillonNotPositioned);
}

TEST(QuillonAreas, FillHolePiecesAndTheirPoints) {
    const AreaDrawing p = Build();
    Opened d(p.path);
    ASSERT_EQ(d.rc, 0);
    DrawingHandle* h = &d.h;
    ASSERT_EQ(db_get_hole_start(h, static_cast<std::int32_t>(p.fill)), 0);
    ASSERT_EQ(db_get_hole_count(h), 2);
    ASSERT_EQ(db_get_holeprm_start(h, 1), 0);
    ASSERT_EQ(db_get_holeprm_count(h), 3);

    std::uint8_t piece[kHolePieceSize];
    std::uint16_t code = 0;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> points(4800);                      // the converter's 300-point buffer
    EXPECT_EQ(db_get_holeprm_data(h, points.data(), 4800), -1);  // no piece yet
    ASSERT_EQ(db_get_holeprm(h, piece), 0);
    ASSERT_TRUE(LoadU16(std::span<const std::uint8_t>(piece), kHolePieceCode, code));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(F64At(piece, kHolePieceValues + 24), 1.0);
    EXPECT_EQ(db_get_holeprm_data(h, points.data(), 4800), 0);  // a line has no points

    // A polygon of c points comes with its first point once more, closing it.
    ASSERT_EQ(db_get_holeprm(h, piece), 0);
    ASSERT_TRUE(LoadU16(std::span<const std::uint8_t>(piece), kHolePieceCode, code) &&
                LoadU32(std::span<const std::uint8_t>(piece), kHolePiecePointCount, count));
    EXPECT_EQ(code, 4);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(db_get_holeprm_data(h, points.data(), 4800), 4 * 16);
    EXPECT_EQ(F64At(points.data(), 32), 2.0);  // the third point
    EXPECT_EQ(F64At(points.data(), 48), 0.0);  // the first again
    EXPECT_EQ(F64At(points.data(), 56), 0.0);
    // Never more than the buffer holds, in whole points.
    std::vector<std::uint8_t> tight(40);
    EXPECT_EQ(db_get_holeprm_data(h, tight.data(), 40), 32);
    EXPECT_EQ(db_get_holeprm_data(h, nullptr, 16), -1);

    // A curve: exactly its points.
    ASSERT_EQ(db_get_holeprm(h, piece), 0);
    ASSERT_TRUE(LoadU32(std::span<const std::uint8_t>(piece), kHolePiecePointCount, count));
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(db_get_holeprm_data(h, points.data(), 4800), 4 * 16);
    EXPECT_EQ(db_get_holeprm(h, piece), kQuillonNoMore);
    EXPECT_EQ(db_get_holeprm_data(h, points.data(), 4800), -1);
    EXPECT_EQ(db_get_holeprm_end(h), 0);

    ASSERT_EQ(db_get_holeprm_start2(h, 2, nullptr), 0);
    ASSERT_EQ(db_get_holeprm(h, piece), 0);
    EXPECT_EQ(F64At(piece, kHolePieceValues + 48), 7.0);  // an elliptic arc's seventh value
    ASSERT_EQ(db_get_holeprm(h, piece), 0);
    EXPECT_EQ(F64At(piece, kHolePieceValues + 16), 1.0);  // a circle's radius
    EXPECT_EQ(F64At(piece, kHolePieceValues + 24), 0.0);
    std::int32_t pid = 0;
    EXPECT_EQ(db_get_holeprm3(h, nullptr, &pid), kQuillonNoMore);  // not a paint area's hole
    EXPECT_EQ(db_get_hole_end(h), 0);

    // A fill without holes has none; an element that is neither is refused.
    ASSERT_EQ(db_get_hole_start(h, static_cast<std::int32_t>(p.plainFill)), 0);
    EXPECT_EQ(db_get_hole_count(h), 0);
    EXPECT_EQ(db_get_hole_start(h, static_cast<std::int32_t>(p.point)), kQuillonNotFound);
    EXPECT_EQ(db_get_hole_count(h), 0);
    EXPECT_EQ(db_get_hole_start(h, -1), kQuillonNotFound);
}

}  // namespace
}  // namespace quillon_test
