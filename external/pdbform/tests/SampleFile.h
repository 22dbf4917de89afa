// A model that fills every section of the form, and a temporary folder per test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "platform/Cp932.h"

namespace pdbform::test {

inline std::string Sj(std::string_view utf8) {
    std::string out;
    EXPECT_TRUE(platform::Utf8ToCp932(utf8, out)) << utf8;
    return out;
}

inline std::array<std::uint8_t, kBlockSize> Head(std::uint16_t version = kFormVersion) {
    std::array<std::uint8_t, kBlockSize> head{};
    head[0] = static_cast<std::uint8_t>(version);
    head[1] = static_cast<std::uint8_t>(version >> 8);
    head[512] = 7;  // current layer word
    return head;
}

// Positions of the sample's elements that other records point at.
struct SamplePositions {
    std::uint32_t line = 0, placement = 0, definition = 0, member = 0, paintArea = 0, fill = 0;
};

inline PdbFile SampleFile(SamplePositions* positions = nullptr) {
    PdbFile f = NewEmpty(Head());
    SamplePositions p;
    LineAttribute line;
    line.pen = 3;
    line.lineType = 5;
    line.segmentCount = 4;
    line.floats = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const std::int16_t lineId = f.lineAttributes.LookUpOrAdd(line);
    f.pointAttributes.LookUpOrAdd({2});
    f.faceAttributes.LookUpOrAdd({12, -3});
    f.markAttributes.LookUpOrAdd({1, 4, 2.5});
    f.symbolAttributes.LookUpOrAdd({1, 2, 3.5, 0.8, 1, 0, 2});
    f.arrowAttributes.LookUpOrAdd({1, 3, 1.3});
    f.pens.LookUpOrAdd({3, 1, 5});
    f.colours.LookUpOrAdd({5, 255, 128, 0});
    f.widths.LookUpOrAdd({1, 0.13f});
    f.paintColours.LookUpOrAdd({12, 10, 20, 30});
    f.fonts.LookUpOrAdd({2, 1, 0, Sj("ＭＳ ゴシック")});
    Layer l;
    l.number = 1;
    l.name = Sj("表層");
    l.record[8] = 9.5;
    f.layers.push_back(l);
    l.number = 200;
    l.skip = 1;
    l.name = "0123456789ABCDEF";  // exactly 16 bytes: not terminated
    f.layers.push_back(l);
    HeadTexts h;
    h.systemName = "SYS";
    h.paperName = Sj("用紙");
    h.frame = {1, 2, 3, 4, 5, 6, 7, -8};
    h.size = {9, 10, 11, 12, 13, 14, 15, 16};
    h.message = std::string(255, 'm');
    h.selectionName = Sj("選択");
    h.groupNames[10] = "G10";
    f.headTexts = h;
    f.sheetInfo.entries[1] = std::vector<std::uint8_t>(2048, 0x11);
    f.sheetInfo.entries[3] = std::vector<std::uint8_t>(2048, 0x33);
    f.background = BackgroundImage{2, true, "C:\\IMG\\BACK.BMP", -1, 7, {1, 2, 3, 4}};

    Element e = MakeElement(2, 1, 0, lineId);
    e.fixed[6] = 0x40;
    p.line = f.Append(e);
    p.member = f.Append(MakeElement(52, 1, 0, lineId));
    p.definition = f.Append(MakeElement(13, 1, 0, 0));
    p.placement = f.Append(MakeElement(25, 1, 0, 0));
    f.definitions[p.definition].members = {p.member};
    Placement pl;
    pl.translateX = 10;
    pl.scaleY = 2;
    pl.definition = p.definition;
    f.placements[p.placement] = pl;
    Element area = MakeElement(29, 1, 0, 1);
    area.rest.assign(50, 0xAB);
    p.paintArea = f.Append(area);
    f.paintAreas[p.paintArea] = PaintArea{true, {p.line}, {{false, {p.member, p.line}}}};
    Element fill = MakeElement(16, 1, 0, 1);
    fill.rest.assign(100, 0x5A);
    p.fill = f.Append(fill);
    f.fillHoles[p.fill].holes = {
        {HolePiece{1, {0, 0, 1, 1}, {}}, HolePiece{4, {}, {0, 0, 1, 0, 1, 1}}},
        {HolePiece{6, {1, 2, 3, 4, 5, 6, 7}, {}}}};
    Element text = MakeElement(7, 1, 0, 1);
    text.rest.assign({'A', 'B'});
    (void)f.Append(text);
    Element unknown;
    unknown.kind = 40;
    unknown.fixed = {1, 2, 3};
    unknown.rest = {9};
    (void)f.Append(unknown);
    f.extension.push_back({1, {1, 0, 0, 0}});
    f.extension.push_back({77, {}});
    f.flags = kFlagExtensionMerged;
    f.unknownSections[45] = UnknownSection{3, {1, 2, 3}};
    if (positions) *positions = p;
    return f;
}

class TempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string templ = (std::filesystem::temp_directory_path() / "pdbform-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

}  // namespace pdbform::test
