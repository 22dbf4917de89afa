// The named fields of a dump against bytes laid at the offsets the form gives (written
// here by hand, not from the layout table, so a wrong offset in the table shows), and
// the extension entries against their tag layouts.
#include <gtest/gtest.h>

#include "ByteOrder.h"
#include "Drawing.h"
#include "ElementJson.h"
#include "ExtensionJson.h"
#include "pdbform/PdbFile.h"
#include "platform/Cp932.h"

namespace {

using namespace pdbform;
using quillon_tool::Json;

class ElementFields : public ::testing::Test {
  protected:
    // The dump of `e` at position 1, and a check that it makes the same bytes again.
    Json Show(const Element& e) {
        Json o = quillon_tool::ElementToJson(1, e, file_);
        EXPECT_FALSE(o.contains("raw")) << o.dump();
        Element again;
        std::optional<std::uint32_t> position;
        std::string error;
        EXPECT_TRUE(quillon_tool::ElementFromJson(o, "", file_, false, again, position, error))
            << error;
        EXPECT_EQ(again, e);
        return o;
    }
    static Element With(std::int16_t kind, std::initializer_list<std::pair<int, double>> f64s) {
        Element e = MakeElement(kind, 3, 4, 0);
        for (const auto& [at, v] : f64s) EXPECT_TRUE(StoreF64(e.fixed, at, v));
        return e;
    }
    PdbFile file_;
};

TEST_F(ElementFields, CoordinatesAndValuesComeFromTheirOffsets) {
    Json o = Show(With(18, {{6, 30},
                            {14, 1},
                            {22, 2},
                            {30, 40},
                            {38, 0.5},
                            {46, 3},
                            {54, 4},
                            {62, 50},
                            {70, 0.25},
                            {78, 7},
                            {102, 9}}));
    EXPECT_EQ(o["a"], 30.0);
    EXPECT_EQ(o["points"], Json::parse("[[1.0, 2.0], [3.0, 4.0]]"));
    EXPECT_EQ(o["r1"], 40.0);
    EXPECT_EQ(o["offset1"], 0.5);
    EXPECT_EQ(o["r2"], 50.0);
    EXPECT_EQ(o["offset2"], 0.25);
    EXPECT_EQ(o["further"], Json::parse("[7.0, 0.0, 0.0, 9.0]"));
    EXPECT_EQ(o["layer"], 3);
    EXPECT_EQ(o["second"], 4);

    Element circle = With(5, {{8, 10}, {16, 11}, {24, 2.5}});
    ASSERT_TRUE(StoreI16(circle.fixed, 6, 7));
    o = Show(circle);
    EXPECT_EQ(o["face"], 7);
    EXPECT_EQ(o["points"], Json::parse("[[10.0, 11.0]]"));
    EXPECT_EQ(o["radius"], 2.5);

    Element symbol = With(19, {{8, 1}, {16, 2}, {24, 0.75}});
    ASSERT_TRUE(StoreI16(symbol.fixed, 6, 65));
    o = Show(symbol);
    EXPECT_EQ(o["fourth"], 65);
    EXPECT_EQ(o["angle"], 0.75);

    Element ellipse =
        With(26, {{6, 1}, {14, 2}, {22, 30}, {30, 15}, {38, 0.1}, {46, 0.2}, {54, 0.3}});
    ellipse.fixed[62] = 1;
    o = Show(ellipse);
    EXPECT_EQ(o["rx"], 30.0);
    EXPECT_EQ(o["ry"], 15.0);
    EXPECT_EQ(o["startAngle"], 0.1);
    EXPECT_EQ(o["endAngle"], 0.2);
    EXPECT_EQ(o["rotation"], 0.3);
    EXPECT_EQ(o["direction"], 1);

    Element dimension = With(11, {});
    ASSERT_TRUE(StoreI16(dimension.fixed, 38, 2));
    EXPECT_EQ(Show(dimension)["arrow"], 2);
    Element arcDimension = With(12, {});
    ASSERT_TRUE(StoreI16(arcDimension.fixed, 54, 3));
    EXPECT_EQ(Show(arcDimension)["arrow"], 3);
    Element area = With(29, {});
    ASSERT_TRUE(StoreI16(area.fixed, 6, 4));
    area.fixed[27] = 0x5A;
    o = Show(area);
    EXPECT_EQ(o["face"], 4);
    EXPECT_EQ(o["extra"], "000000000000000000000000000000000000005a");
}

TEST_F(ElementFields, TextsImagesAndGroupsKeepTheirBytes) {
    std::string sj;
    ASSERT_TRUE(platform::Utf8ToCp932("表示ｶﾅ", sj));
    Element text = With(7, {{38, 1.25}});
    ASSERT_TRUE(StoreI16(text.fixed, 46, static_cast<std::int16_t>(sj.size())));
    text.rest.assign(sj.begin(), sj.end());
    Json o = Show(text);
    EXPECT_EQ(o["text"], "表示ｶﾅ");
    EXPECT_EQ(o["angle"], 1.25);
    EXPECT_FALSE(o.contains("textLength"));

    Element circled = With(8, {{22, 6}});
    ASSERT_TRUE(StoreI16(circled.fixed, 30, 9));  // a length word that is not the text's
    circled.rest = {'A', '1'};
    o = Show(circled);
    EXPECT_EQ(o["size"], 6.0);
    EXPECT_EQ(o["textLength"], 9);

    Element image = MakeElement(20, 2, 0, 5);
    ASSERT_TRUE(StoreI32(image.fixed, 6, 640));
    ASSERT_TRUE(StoreI32(image.fixed, 10, 480));
    ASSERT_TRUE(StoreI16(image.fixed, 38, -2));
    ASSERT_TRUE(StoreI32(image.fixed, 60, 75));
    const std::string name = "C:\\IMG\\A.BMP";
    std::copy(name.begin(), name.end(), image.fixed.begin() + 68);
    o = Show(image);
    EXPECT_EQ(o["ints1"], Json::parse("[640, 480]"));
    EXPECT_EQ(o["word"], -2);
    EXPECT_EQ(o["ints2"], Json::parse("[0, 0, 0, 0, 75]"));
    EXPECT_EQ(o["file"], name);
    EXPECT_EQ(o["aid"], 5);

    Element group = MakeElement(13, 1, 0, 0);
    group.rest.assign(136, 0);
    group.rest[0] = 'G';
    group.rest[16] = 'L';
    group.rest.insert(group.rest.end(), {7, 0, 0, 0, 0, 1, 0, 0});
    o = Show(group);
    EXPECT_EQ(o["shortName"], "G");
    EXPECT_EQ(o["longName"], "L");
    EXPECT_EQ(o["numbers"], Json::parse("[7, 256]"));
}

TEST(ExtensionFields, TagsDecodeAtTheirOffsetsAndOddEntriesStayHex) {
    std::vector<ExtensionEntry> entries;
    // Tag 3: pen 5, rgb 1 2 3, width 0.5, colour code 9, width code 4.
    std::vector<std::uint8_t> pen(22, 0);
    ASSERT_TRUE(StoreI16(pen, 0, 5));
    pen[2] = 1;
    pen[3] = 2;
    pen[4] = 3;
    ASSERT_TRUE(StoreF64(pen, 6, 0.5));
    ASSERT_TRUE(StoreI32(pen, 14, 9));
    ASSERT_TRUE(StoreI32(pen, 18, 4));
    entries.push_back({3, pen});
    // Tag 6: element 12, ratio 0.8, flag 1, d7 2, d9 3.
    std::vector<std::uint8_t> symbol(32, 0);
    ASSERT_TRUE(StoreU32(symbol, 0, 12));
    ASSERT_TRUE(StoreF64(symbol, 4, 0.8));
    ASSERT_TRUE(StoreI32(symbol, 12, 1));
    ASSERT_TRUE(StoreF64(symbol, 16, 2));
    ASSERT_TRUE(StoreF64(symbol, 24, 3));
    entries.push_back({6, symbol});
    pen[5] = 1;  // the reserved byte after the colour: no longer the tag's layout
    entries.push_back({3, pen});
    entries.push_back({3, std::vector<std::uint8_t>(pen.begin(), pen.end() - 1)});

    const Json list = quillon_tool::ExtensionJson(entries);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], Json::parse(R"({"tag": 3, "pen": 5, "rgb": [1, 2, 3], "width": 0.5,
                                      "colourCode": 9, "widthCode": 4})"));
    EXPECT_EQ(list[1], Json::parse(R"({"tag": 6, "element": 12, "ratio": 0.8, "flag": 1,
                                      "d7": 2.0, "d9": 3.0})"));
    EXPECT_TRUE(list[2].contains("hex"));
    EXPECT_TRUE(list[3].contains("hex"));

    std::string error;
    const Json source = Json::object({{"extension", list}});
    quillon_tool::ObjectReader root(source, "", error);
    std::vector<ExtensionEntry> again;
    ASSERT_TRUE(quillon_tool::ReadExtension(root, again)) << error;
    EXPECT_EQ(again, entries);
}

}  // namespace
