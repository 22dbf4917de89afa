// Placed elements through the real walk, Quillon and the server: members carried by
// their placements' matrices, the pen and layer overrides, the context restored, hidden
// members, the nesting limit and the guards against runaway placements.
#include "PlaceFixture.h"
#include "convert/ConvertStatus.h"
#include "convert/PlacedElement.h"

namespace place_test {
namespace {

class Placement : public PlaceFixture {
  protected:
    // Expects a converted line on `layer` with `pen` through the two points.
    static void ExpectLine(const Converted& line, int layer, int pen, std::array<double, 2> p1,
                           std::array<double, 2> p2) {
        EXPECT_EQ(line.layer, layer);
        EXPECT_EQ(line.pen, pen);
        ASSERT_EQ(line.xy.size(), 4u);
        const double want[] = {p1[0], p1[1], p2[0], p2[1]};
        for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(line.xy[i], want[i], 1e-9) << i;
    }
    // A chain of `levels` placements, each moving its member by (1, 0), around one line
    // from (0, 0) to (1, 1).
    static pdbform::PdbFile Chain(int levels) {
        pdbform::PdbFile d = Drawing();
        std::uint32_t member = AddLine(d, 52, 1, kSolidPen1, 0, 0, 1, 1);
        for (int level = levels; level >= 1; --level) {
            pdbform::Placement p;
            p.translateX = 1;
            p.definition = AddDefinition(d, {member});
            member = AddPlacement(d, level == 1 ? 25 : 75, p);
        }
        return d;
    }
};

TEST_F(Placement, MembersAreCarriedByTranslationRotationAndScale) {
    pdbform::PdbFile d = Drawing();
    const std::uint32_t a = AddLine(d, 52, 1, kSolidPen1, 1, 2, 3, -4);
    const std::uint32_t b = AddLine(d, 52, 2, kSolidPen2, -5, 0.5, 0, 7);
    pdbform::Placement p;
    p.translateX = 10;
    p.translateY = -20;
    p.rotation = 0.6;
    p.scaleX = 2;
    p.scaleY = 0.5;
    p.layerOverride = 3;
    p.overridePen = 7;
    p.penFlag = 0;
    p.definition = AddDefinition(d, {a, b});
    (void)AddPlacement(d, 25, p);
    (void)AddLine(d, 2, 1, kSolidPen1, 0, 0, 1, 1);

    pdbform::PdbFile pdb;
    ASSERT_EQ(Walk(d, pdb), 0);
    const auto lines = Elements(pdb, 2);
    ASSERT_EQ(lines.size(), 3u);
    ExpectLine(lines[0], 3, 7, Place(p, 1, 2), Place(p, 3, -4));
    ExpectLine(lines[1], 3, 7, Place(p, -5, 0.5), Place(p, 0, 7));
    // The next top-level element: no override, no transform.
    ExpectLine(lines[2], 1, 1, {0, 0}, {1, 1});
}

TEST_F(Placement, NestedPlacementsComposeAndRestoreTheOuterContext) {
    pdbform::PdbFile d = Drawing();
    const std::uint32_t c = AddLine(d, 52, 1, kSolidPen1, 1, 1, 2, 1);
    pdbform::Placement inner;
    inner.translateX = 1;
    inner.translateY = 2;
    inner.rotation = 0.3;
    inner.scaleX = inner.scaleY = 2;
    inner.layerOverride = 2;
    inner.penFlag = 1;  // turns the outer pen override off for its members
    inner.definition = AddDefinition(d, {c});
    const std::uint32_t a = AddLine(d, 52, 1, kSolidPen1, 0, 0, 1, 0);
    const std::uint32_t innerPos = AddPlacement(d, 75, inner);
    const std::uint32_t b = AddLine(d, 52, 1, kSolidPen1, 0, 1, 1, 1);
    pdbform::Placement outer;
    outer.translateX = 100;
    outer.rotation = kPi / 2;
    outer.scaleY = 3;
    outer.layerOverride = 3;
    outer.overridePen = 7;
    outer.penFlag = 0;
    outer.definition = AddDefinition(d, {a, innerPos, b});
    (void)AddPlacement(d, 25, outer);

    pdbform::PdbFile pdb;
    ASSERT_EQ(Walk(d, pdb), 0);
    const auto lines = Elements(pdb, 2);
    ASSERT_EQ(lines.size(), 3u);
    ExpectLine(lines[0], 3, 7, Place(outer, 0, 0), Place(outer, 1, 0));
    const auto c1 = Place(inner, 1, 1);
    const auto c2 = Place(inner, 2, 1);
    ExpectLine(lines[1], 2, 1, Place(outer, c1[0], c1[1]), Place(outer, c2[0], c2[1]));
    // The outer pen override and transform again; the inner layer override stays.
    ExpectLine(lines[2], 2, 7, Place(outer, 0, 1), Place(outer, 1, 1));
}

TEST_F(Placement, HiddenMemberStaysHiddenAndIsTraced) {
    pdbform::PdbFile d = Drawing();
    const std::uint32_t hidden = AddLine(d, -52, 1, kSolidPen1, 1, 0, 2, 0);
    pdbform::Placement p;
    p.translateY = 5;
    p.definition = AddDefinition(d, {hidden});
    (void)AddPlacement(d, 25, p);

    Open(d);
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    Walk_TraceSwitch().element = true;
    const int status = Walk_AllElements(handle_);
    Walk_TraceSwitch().element = false;
    const std::string lines = Lines(*monitor);
    const pdbform::PdbFile pdb = Close();
    EXPECT_EQ(status, 0);
    EXPECT_NE(lines.find("        db_get() pid[" + std::to_string(hidden) + "] pkd[-2]\n"),
              std::string::npos)
        << lines;
    const auto converted = Elements(pdb, 2);
    ASSERT_EQ(converted.size(), 1u);
    EXPECT_EQ(converted[0].kind, -2);
    EXPECT_EQ(converted[0].xy, (std::vector<double>{1, 5, 2, 5}));
}

TEST_F(Placement, EmptyDefinitionWritesNothingAndRestoresTheContext) {
    pdbform::PdbFile d = Drawing();
    pdbform::Placement p;
    p.translateX = 3;
    p.layerOverride = 2;
    p.penFlag = 0;
    p.overridePen = 7;
    p.definition = AddDefinition(d, {});
    const std::uint32_t pos = AddPlacement(d, 25, p);
    Open(d);
    ElementWalkContext context = ContextAt(pos);
    Matrix_Compose(context.transform, 5, 6, 0.1, 2, 2);
    context.penOverride = 1;
    context.overridePen = 2;
    const ElementWalkContext before = context;
    Walk_SetLayerOverride(0);

    EXPECT_EQ(Convert_PlacedElement(handle_, context), 0);
    EXPECT_EQ(context.pid, before.pid);
    EXPECT_EQ(context.pkd, before.pkd);
    EXPECT_EQ(context.penOverride, 1);
    EXPECT_EQ(context.overridePen, 2);
    EXPECT_EQ(context.transform, before.transform);
    EXPECT_EQ(context.placementDepth, 0);
    EXPECT_EQ(Walk_LayerOverride(), 2);  // kept until the next top-level element
    std::int32_t at = 0;
    (void)db_rtn(&handle_, &at);
    EXPECT_EQ(at, static_cast<std::int32_t>(pos));  // the cursor is back on the placement
    Walk_SetLayerOverride(0);
    const pdbform::PdbFile pdb = Close();
    EXPECT_TRUE(Elements(pdb, 2).empty());
    EXPECT_TRUE(Elements(pdb, 6).empty());
}

TEST_F(Placement, SixtyFourLevelsConvertAndDeeperCannotBeWritten) {
    pdbform::PdbFile d = Chain(kWalkMaxPlacementDepth);
    pdbform::PdbFile pdb;
    ASSERT_EQ(Walk(d, pdb), 0);
    const auto lines = Elements(pdb, 2);
    ASSERT_EQ(lines.size(), 1u);
    ExpectLine(lines[0], 1, 1, {64, 0}, {65, 1});
    // One level more is refused by the writer (and by Quillon at the open, 118), so
    // the walk's own limit is only reached through the guard below.
    pdbform::PdbFile deeper = Chain(kWalkMaxPlacementDepth + 1);
    EXPECT_EQ(pdbform::Save(deeper, open_test::Host("C:\\WORK\\DEEP.000"), nullptr),
              pdbform::Status::kPlacementCycle);
}

TEST_F(Placement, TooDeepAndTooLargeExpansionsAreRefused) {
    pdbform::PdbFile d = Drawing();
    pdbform::Placement p;
    p.definition = AddDefinition(d, {AddLine(d, 52, 1, kSolidPen1, 0, 0, 1, 1)});
    const std::uint32_t pos = AddPlacement(d, 25, p);
    Open(d);
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);

    ElementWalkContext deep = ContextAt(pos);
    deep.placementDepth = kWalkMaxPlacementDepth;
    EXPECT_EQ(Convert_PlacedElement(handle_, deep), kConvertPlacementTooDeep);
    EXPECT_EQ(deep.placementDepth, kWalkMaxPlacementDepth);

    // Inside a placement whose members have used up the budget.
    ElementWalkContext large = ContextAt(pos);
    large.placementDepth = 1;
    large.placedMembers = kWalkMaxPlacedMembers;
    EXPECT_EQ(Convert_PlacedElement(handle_, large), kConvertPlacementTooLarge);
    EXPECT_EQ(large.placementDepth, 1);
    EXPECT_EQ(large.pid, static_cast<std::int32_t>(pos));

    const std::string p0 = "pid[" + std::to_string(pos) + "]";
    EXPECT_EQ(Lines(*monitor), "      配置要素の入れ子が深すぎる " + p0 +
                                   " 深さ[65]\n"
                                   "      配置要素の展開が多すぎる " +
                                   p0 + " 要素数[2000000]\n");
    EXPECT_TRUE(Elements(Close(), 2).empty());
}

}  // namespace
}  // namespace place_test
