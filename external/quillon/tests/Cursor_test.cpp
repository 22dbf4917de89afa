// The element cursor as the converter's walk uses it: every kind's pkd, fixed part
// and variable part through db_get, the statuses after the last item and the last
// element, positions across index blocks and removed elements, placements through
// db_read_ex, and a byte copy of the handle as a second cursor.
#include "Builder.h"

namespace quillon_test {
namespace {

[[maybe_unused]] const ::testing::Environment* const kPrefix =
    ::testing::AddGlobalTestEnvironment(new PrefixEnvironment);

struct Expected {
    std::uint32_t position;
    pdbform::Element element;
};

// A drawing with one element of every kind the converter reads, and one it does not.
std::vector<Expected> EveryKind(pdbform::PdbFile& f) {
    std::vector<pdbform::Element> elements;
    elements.push_back(Make(1, 1, 1, {1.5, -2.5}));
    elements.push_back(Make(2, 2, 1, {0, 0, 10, 10}));
    elements.push_back(Make(3, 1, 1, {0, 0, 1, 1, 2, 0}));
    elements.push_back(Make(4, 1, 1, {5, 5, 2}));
    pdbform::Element painted = Make(5, 1, 1);
    PutI16(painted.fixed, 6, 3);
    elements.push_back(painted);
    pdbform::Element poly = Make(6, 1, 1);
    poly.rest = Doubles({0, 0, 1, 0, 1, 1});
    elements.push_back(poly);
    pdbform::Element text = Make(7, 1, 1, {0, 0, 10, 0, 0});
    const std::string words = Sj("図面ソABC");
    PutI16(text.fixed, 46, static_cast<std::int16_t>(words.size()));
    text.rest.assign(words.begin(), words.end());
    elements.push_back(text);
    pdbform::Element circled = Make(8, 1, 1, {1, 2, 3});
    PutI16(circled.fixed, 30, 2);
    circled.rest = {'Q', 'R'};
    elements.push_back(circled);
    elements.push_back(Make(9, 1, 1, {4, 4}));
    pdbform::Element leader = Make(10, 1, 1);
    leader.rest = Doubles({0, 0, 3, 4});
    elements.push_back(leader);
    elements.push_back(Make(11, 1, 1, {0, 0, 5, 0}));
    elements.push_back(Make(12, 1, 1, {0, 0, 1, 1, 2, 0}));
    pdbform::Element fill = Make(16, 1, 1);
    fill.rest.assign(150, 0x11);
    elements.push_back(fill);
    pdbform::Element contour = Make(17, 1, 1);
    contour.rest.assign(64, 0x22);
    elements.push_back(contour);
    elements.push_back(Make(18, 1, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    elements.push_back(Make(19, 1, 1, {0, 0, 1}));
    pdbform::Element image = Make(20, 1, 0);
    std::memcpy(image.fixed.data() + 68, "C:\\IMG\\A.BMP", 13);
    elements.push_back(image);
    elements.push_back(Make(21, 1, 0));
    elements.push_back(Make(-22, 1, 0));
    elements.push_back(Make(26, 1, 1, {0, 0, 4, 2, 0, 3.14, 0.5}));
    pdbform::Element bezier = Make(27, 1, 1);
    bezier.rest = Doubles({0, 0, 1, 1, 2, 1, 3, 0});
    elements.push_back(bezier);
    pdbform::Element area = Make(29, 1, 1);
    area.rest.assign(50, 0x33);
    elements.push_back(area);
    pdbform::Element unknown;
    unknown.kind = 40;
    unknown.fixed = {1, 0, 2, 0, 3, 0, 9};
    unknown.rest = {7, 7};
    elements.push_back(unknown);
    std::vector<Expected> out;
    for (pdbform::Element& e : elements) out.push_back({f.Append(e), e});
    return out;
}

TEST(QuillonCursor, WalksEveryKindAsTheConverterReadsIt) {
    pdbform::PdbFile f = pdbform::NewEmpty(Head());
    const std::vector<Expected> expected = EveryKind(f);
    Opened d(SaveDrawing(f, "KINDS.000"));
    ASSERT_EQ(d.rc, 0);
    DrawingHandle* h = &d.h;

    std::int32_t pid = -1;
    EXPECT_EQ(db_rtn(h, &pid), 0);
    EXPECT_EQ(pid, 0);
    ASSERT_EQ(db_head(h), 0);
    std::size_t seen = 0;
    for (int guard = 0; guard < 100; ++guard) {
        std::int16_t pkd = 0;
        ASSERT_EQ(db_get(h, &pkd, 2), 0);
        ASSERT_EQ(db_rtn(h, &pid), 0);
        ASSERT_LT(seen, expected.size());
        const Expected& e = expected[seen++];
        EXPECT_EQ(pid, static_cast<std::int32_t>(e.position));
        EXPECT_EQ(pkd, e.element.kind);
        std::vector<std::uint8_t> fixed(e.element.fixed.size());
        if (!fixed.empty()) {
            ASSERT_EQ(db_get(h, fixed.data(), static_cast<std::int32_t>(fixed.size())), 0);
        }
        EXPECT_EQ(fixed, e.element.fixed) << "kind " << pkd;
        std::uint16_t rest = 0;
        ASSERT_EQ(db_rest_record(h, &rest), 0);
        EXPECT_EQ(rest, e.element.rest.size());
        // Points of polylines and leaders, 16 bytes at a time, until db_rtn says none
        // are left; the other variable parts the same way in their item sizes.
        const int base = pdbform::BaseKind(pkd);
        const std::size_t item = base == 17 ? 32 : base == 16 || base == 29 ? 50 : 16;
        if (base == 7 || base == 8 || base == 40) {
            std::vector<std::uint8_t> text(rest);
            ASSERT_EQ(db_get(h, text.data(), rest), 0);
            EXPECT_EQ(text, e.element.rest);
        } else {
            EXPECT_EQ(ReadItems(h, item), e.element.rest) << "kind " << pkd;
        }
        std::uint8_t more[4] = {9, 9, 9, 9};
        EXPECT_EQ(db_get(h, more, 4), kQuillonEndOfElement);
        EXPECT_EQ(db_rtn(h, &pid), kQuillonEndOfElement);
        EXPECT_EQ(pid, static_cast<std::int32_t>(e.position));
        EXPECT_EQ(more[0] | more[3], 0);  // zeroed, never left as it was

        ASSERT_EQ(db_seek(h, pid), 0);
        db_skp(h);
        if (db_rtn(h, &pid) == 1) break;
    }
    EXPECT_EQ(seen, expected.size());
    EXPECT_EQ(pid, 0);
    EXPECT_EQ(db_skp(h), kQuillonNoMore);  // stays at the end
    std::int16_t pkd = 5;
    EXPECT_EQ(db_get(h, &pkd, 2), kQuillonNotPositioned);
    EXPECT_EQ(pkd, 0);
}

TEST(QuillonCursor, ShortReadsSeeksAndRemovedPositions) {
    pdbform::PdbFile f = pdbform::NewEmpty(Head());
    std::vector<std::uint32_t> positions;
    for (int i = 0; i < 300; ++i) {
        pdbform::Element poly = Make(6, 1, 1);
        poly.rest = Doubles({double(i), 0, 0, 1.5});  // two points, then 8 bytes
        poly.rest.resize(poly.rest.size() - 8);       // 1.5 points: a short last item
        positions.push_back(f.Append(poly));
    }
    ASSERT_EQ(positions[127], 129u);  // positions skip the index block headers
    f.Remove(positions[5]);
    f.Remove(positions[126]);  // the last position of the first index block
    Opened d(SaveDrawing(f, "SHORT.000"));
    ASSERT_EQ(d.rc, 0);
    DrawingHandle* h = &d.h;

    std::uint8_t buf[16];
    ASSERT_EQ(db_get(h, buf, 2), kQuillonNotPositioned);  // before db_head
    ASSERT_EQ(db_seek(h, static_cast<std::int32_t>(positions[7])), 0);
    std::uint8_t head[10];
    ASSERT_EQ(db_get(h, head, 10), 0);
    ASSERT_EQ(db_get(h, buf, 16), 0);
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(db_get(h, buf, 16), kQuillonShortRead);
    double x = 0;
    std::memcpy(&x, buf, 8);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(buf[8] | buf[15], 0);
    EXPECT_EQ(db_get(h, buf, 0), kQuillonOk);
    EXPECT_EQ(db_get(h, buf, -1), kQuillonBadArgument);
    EXPECT_EQ(db_get(h, nullptr, 4), kQuillonBadArgument);

    // A removed position is not found, and the walk goes on after it.
    std::int32_t pid = 0;
    EXPECT_EQ(db_seek(h, static_cast<std::int32_t>(positions[5])), kQuillonNotFound);
    EXPECT_EQ(db_rtn(h, &pid), kQuillonNotFound);
    EXPECT_EQ(pid, static_cast<std::int32_t>(positions[5]));
    ASSERT_EQ(db_skp(h), 0);
    EXPECT_EQ(db_rtn(h, &pid), 0);
    EXPECT_EQ(pid, static_cast<std::int32_t>(positions[6]));
    EXPECT_EQ(db_seek(h, 128), kQuillonNotFound);  // a block header
    EXPECT_EQ(db_seek(h, 0), kQuillonNotFound);
    EXPECT_EQ(db_seek(h, -5), kQuillonNotFound);
    EXPECT_EQ(db_seek(h, 1'000'000), kQuillonNotFound);

    // A whole walk counts the live elements once each, in position order.
    ASSERT_EQ(db_head(h), 0);
    std::vector<std::int32_t> walked;
    do {
        ASSERT_EQ(db_rtn(h, &pid), 0);
        walked.push_back(pid);
    } while (db_skp(h) == 0);
    EXPECT_EQ(db_rtn(h, &pid), kQuillonNoMore);
    ASSERT_EQ(walked.size(), 298u);
    EXPECT_EQ(walked[5], static_cast<std::int32_t>(positions[6]));
    EXPECT_EQ(walked[125], static_cast<std::int32_t>(positions[127]));
}

TEST(QuillonCursor, AByteCopyIsASecondCursorUntilTheDrawingIsClosed) {
    pdbform::PdbFile f = pdbform::NewEmpty(Head());
    const std::vector<Expected> expected = EveryKind(f);
    const std::string path = SaveDrawing(f, "COPY.000");
    Opened d(path);
    ASSERT_EQ(d.rc, 0);
    ASSERT_EQ(db_seek(&d.h, static_cast<std::int32_t>(expected[5].position)), 0);  // polyline
    std::uint8_t skip[10];
    ASSERT_EQ(db_get(&d.h, skip, 10), 0);

    DrawingHandle copy;
    std::memcpy(&copy, &d.h, sizeof copy);
    ASSERT_EQ(db_head(&d.h), 0);  // the original moves; the copy stays where it was
    std::uint8_t point[16];
    ASSERT_EQ(db_get(&copy, point, 16), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(point, point + 16),
              std::vector<std::uint8_t>(expected[5].element.rest.begin(),
                                        expected[5].element.rest.begin() + 16));
    std::int32_t pid = 0;
    EXPECT_EQ(db_rtn(&copy, &pid), 0);
    EXPECT_EQ(pid, static_cast<std::int32_t>(expected[5].position));
    EXPECT_EQ(db_rtn(&d.h, &pid), 0);
    EXPECT_EQ(pid, static_cast<std::int32_t>(expected[0].position));

    // Two drawings open at once keep apart; a forged or zero handle is refused.
    Opened other(path);
    ASSERT_EQ(other.rc, 0);
    DrawingHandle forged;
    std::memcpy(&forged, &other.h, sizeof forged);
    forged.bytes[8] ^= 0x40;  // the check word
    EXPECT_EQ(db_head(&forged), kQuillonBadHandle);
    DrawingHandle zero{};
    EXPECT_EQ(db_head(&zero), kQuillonBadHandle);
    EXPECT_EQ(db_rtn(&zero, &pid), kQuillonBadHandle);
    EXPECT_EQ(db_close(&zero), kQuillonBadHandle);
    EXPECT_EQ(db_get_hole_count(&zero), 0);
    EXPECT_EQ(db_head(nullptr), kQuillonBadHandle);

    // Closing the original makes every copy stale.
    ASSERT_EQ(db_close(&d.h), 0);
    d.rc = -1;
    EXPECT_EQ(db_get(&copy, point, 16), kQuillonBadHandle);
    EXPECT_EQ(db_close(&copy), kQuillonBadHandle);
    EXPECT_EQ(db_head(&other.h), 0);
}

TEST(QuillonCursor, PlacementsAndDefinitionsThroughReadEx) {
    pdbform::PdbFile f = pdbform::NewEmpty(Head());
    const std::uint32_t m1 = f.Append(Make(52, 1, 1, {0, 0, 1, 1}));
    const std::uint32_t m2 = f.Append(Make(51, 1, 1, {2, 2}));
    const std::uint32_t innerDef = f.Append(Make(13, 1, 0));
    const std::uint32_t inner = f.Append(Make(75, 1, 0));  // a placed member
    const std::uint32_t outerDef = f.Append(Make(13, 1, 0));
    const std::uint32_t outer = f.Append(Make(25, 4, 0));
    const std::uint32_t self = f.Append(Make(25, 1, 0));  // holds its own definition
    const std::uint32_t lonely = f.Append(Make(25, 1, 0));
    f.definitions[innerDef].members = {m1, m2};
    f.definitions[outerDef].members = {inner, m1};
    f.definitions[self].members = {m2};
    pdbform::Placement p;
    p.layerOverride = 9;
    p.overridePen = 4;
    p.penFlag = 0;
    p.translateX = 10;
    p.translateY = -20;
    p.rotation = 0.5;
    p.scaleX = 2;
    p.scaleY = 3;
    p.definition = outerDef;
    f.placements[outer] = p;
    p.definition = innerDef;
    p.penFlag = 1;
    f.placements[inner] = p;
    p.definition = self;
    f.placements[self] = p;
    Opened d(SaveDrawing(f, "PLACE.000"));
    ASSERT_EQ(d.rc, 0);
    DrawingHandle* h = &d.h;

    std::uint8_t rec[kReadExRecordSize];
    EXPECT_EQ(db_read_ex(h, rec), kQuillonNotPositioned);
    ASSERT_EQ(db_seek(h, static_cast<std::int32_t>(outer)), 0);
    ASSERT_EQ(db_read_ex(h, rec), 0);
    std::uint16_t type = 0, len = 0, count16 = 0;
    std::uint32_t pos = 0, def = 0, count = 0;
    std::int16_t layer = 0, pen = 0;
    double values[5] = {};
    ASSERT_TRUE(LoadU32(rec, kReadExPosition, pos) && LoadU16(rec, kReadExType, type) &&
                LoadU16(rec, kReadExLength, len) && LoadI16(rec, kPlacementLayerOverride, layer) &&
                LoadI16(rec, kPlacementOverridePen, pen) &&
                LoadU32(rec, kPlacementDefinition, def));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(LoadF64(rec, kPlacementValues + 8 * i, values[i]));
    EXPECT_EQ(pos, outer);
    EXPECT_EQ(type, kReadExPlacement);
    EXPECT_EQ(len, 56);
    EXPECT_EQ(layer, 9);
    EXPECT_EQ(pen, 4);
    EXPECT_EQ(rec[kPlacementPenFlag], 0);
    EXPECT_EQ(values[0], 10);
    EXPECT_EQ(values[4], 3);
    EXPECT_EQ(def, outerDef);

    // The definition's members follow as its rest; the nested placement is read the
    // same way, and the outer list is still intact on a copy taken before.
    ASSERT_EQ(db_seek(h, static_cast<std::int32_t>(def)), 0);
    ASSERT_EQ(db_read_ex(h, rec), 0);
    ASSERT_TRUE(LoadU16(rec, kReadExType, type) && LoadU32(rec, kDefinitionMemberCount, count));
    EXPECT_EQ(type, kReadExDefinition);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(db_rest_record(h, &count16), 0);
    ASSERT_EQ(count16, 8);
    std::uint32_t members[2] = {};
    ASSERT_EQ(db_get(h, members, 8), 0);
    EXPECT_EQ(members[0], inner);
    EXPECT_EQ(members[1], m1);
    EXPECT_EQ(db_get(h, members, 4), kQuillonEndOfElement);

    ASSERT_EQ(db_seek(h, static_cast<std::int32_t>(inner)), 0);
    std::int16_t pkd = 0;
    ASSERT_EQ(db_get(h, &pkd, 2), 0);
    EXPECT_EQ(pkd, 75);
    ASSERT_EQ(db_read_ex(h, rec), 0);
    ASSERT_TRUE(LoadU32(rec, kPlacementDefinition, def));
    EXPECT_EQ(def, innerDef);
    EXPECT_EQ(rec[kPlacementPenFlag], 1);

    // An element holding both records: the placement first, then, asked again, the
    // definition it names.
    ASSERT_EQ(db_seek(h, static_cast<std::int32_t>(self)), 0);
    ASSERT_EQ(db_read_ex(h, rec), 0);
    ASSERT_TRUE(LoadU16(rec, kReadExType, type));
    EXPECT_EQ(type, kReadExPlacement);
    ASSERT_EQ(db_seek(h, static_cast<std::int32_t>(self)), 0);
    ASSERT_EQ(db_read_ex(h, rec), 0);
    ASSERT_TRUE(LoadU16(rec, kReadExType, type));
    EXPECT_EQ(type, kReadExDefinition);

    // No record: zeroed, not found. A seek resets the stream to the element.
    ASSERT_EQ(db_seek(h, static_cast<std::int32_t>(lonely)), 0);
    std::memset(rec, 0x77, sizeof rec);
    EXPECT_EQ(db_read_ex(h, rec), kQuillonNotFound);
    EXPECT_EQ(rec[0] | rec[63], 0);
    ASSERT_EQ(db_rest_record(h, &count16), 0);
    EXPECT_EQ(count16, 2 + 6);  // pkd and the fixed part of kind 25
}

}  // namespace
}  // namespace quillon_test
