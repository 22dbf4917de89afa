// The drawing's tables through the exports: head texts length-prefixed in buffers of
// exactly the contract's sizes (the sanitizer sees any write past them), layers with
// their skip flags, attributes by id, pens, widths, colours, paint colours and fonts
// by code, the mode block, the background image and the sheet information.
#include "Builder.h"

namespace quillon_test {
namespace {

// A length-prefixed buffer as the converter gets it, converted in place to text.
std::string Counted(const std::vector<char>& buffer) {
    const auto n = static_cast<unsigned char>(buffer[0]);
    EXPECT_LT(n, buffer.size());
    return std::string(buffer.data() + 1, n);
}

pdbform::PdbFile Tables() {
    pdbform::PdbFile f = pdbform::NewEmpty(Head());
    pdbform::LineAttribute line;
    line.pen = 3;
    line.lineType = 6;
    line.segmentCount = 6;
    line.floats.assign(255, 0.0f);
    for (std::size_t i = 0; i < 255; ++i) line.floats[i] = static_cast<float>(i) + 0.5f;
    f.lineAttributes.AppendRaw(line);
    f.pointAttributes.AppendRaw({5});
    f.faceAttributes.AppendRaw({12, -3});
    f.markAttributes.AppendRaw({1, 4, 2.5});
    f.symbolAttributes.AppendRaw({7, 2, 3.5, 0.8, 1, 0.25, 2});
    f.arrowAttributes.AppendRaw({0, 3, 1.3});
    f.pens.AppendRaw({3, 1, 5});
    f.pens.AppendRaw({3, 9, 9});  // a second entry of one pen: the first is used
    f.colours.AppendRaw({5, 255, 128, 0});
    f.widths.AppendRaw({1, 0.13f});
    f.paintColours.AppendRaw({12, 10, 20, 30});
    f.fonts.AppendRaw({2, 1, -1, Sj("@ＭＳ 明朝")});
    pdbform::Layer l;
    l.number = 1;
    l.name = Sj("表層");
    l.colourCode = 5;
    l.widthCode = 1;
    l.a = 11;
    l.b = 12;
    l.record[8] = 9.5;
    l.x = 0.25;
    f.layers.push_back(l);
    l.number = 200;
    l.skip = 1;
    l.name = "0123456789ABCDEF";  // 16 bytes: not terminated in the file
    f.layers.push_back(l);
    pdbform::HeadTexts t;
    t.systemName = Sj("システム名１２３");  // 16 bytes
    t.systemNumber = 42;
    t.paperName = "A3";
    t.paperNumber = -7;
    t.frame = {1, 2, 3, 4, 5, 6, 7, -8};
    t.size = {9, 10, 11, 12, 13, 14, 15, 16};
    t.message = std::string(255, 'm');
    t.selectionName = Sj("選択");
    t.groupNames[0] = "G0";
    t.groupNames[10] = Sj("ABCDEFGHIJKLMNO表");  // 17 bytes: cut to 16 before 表
    f.headTexts = t;
    f.sheetInfo.entries[0] = std::vector<std::uint8_t>(2048, 0x11);
    f.sheetInfo.entries[2] = std::vector<std::uint8_t>(2048, 0x33);
    f.background = pdbform::BackgroundImage{2, true, "C:\\IMG\\BACK.BMP", -1, 7, {1, 2, 3, 4}};
    return f;
}

TEST(QuillonTables, HeadTextsAndValues) {
    pdbform::PdbFile f = Tables();
    Opened d(SaveDrawing(f, "HEAD.000"));
    ASSERT_EQ(d.rc, 0);
    DrawingHandle* h = &d.h;

    std::vector<char> sys(kSystemNameSize), paper(kPaperNameSize), msg(kMessageSize),
        sel(kSelectionNameSize), group(kGroupNameSize);
    std::int16_t number = 0;
    ASSERT_EQ(get_sysnam(h, sys.data(), &number), 0);
    EXPECT_EQ(Counted(sys), Sj("システム名１２３"));
    EXPECT_EQ(number, 42);
    ASSERT_EQ(get_pname(h, paper.data(), &number), 0);
    EXPECT_EQ(Counted(paper), "A3");
    EXPECT_EQ(number, -7);
    ASSERT_EQ(get_pmsg(h, msg.data()), 0);
    EXPECT_EQ(Counted(msg), std::string(255, 'm'));
    ASSERT_EQ(get_selnam(h, sel.data()), 0);
    EXPECT_EQ(Counted(sel), Sj("選択"));
    ASSERT_EQ(get_gname(h, 0, group.data()), 0);
    EXPECT_EQ(Counted(group), "G0");
    ASSERT_EQ(get_gname(h, 10, group.data()), 0);
    EXPECT_EQ(Counted(group), "ABCDEFGHIJKLMNO");
    ASSERT_EQ(get_gname(h, 5, group.data()), 0);
    EXPECT_EQ(Counted(group), "");
    EXPECT_EQ(get_gname(h, 11, group.data()), kQuillonBadArgument);

    std::int32_t frame[kHeadValueCount] = {}, size[kHeadValueCount] = {};
    ASSERT_EQ(get_pframe(h, frame), 0);
    ASSERT_EQ(get_psize(h, size), 0);
    EXPECT_EQ(frame[7], -8);
    EXPECT_EQ(size[0], 9);

    std::int16_t v = 0;
    ASSERT_EQ(rep_vfield(h, 1, &v), 0);
    EXPECT_EQ(v, -2);
    ASSERT_EQ(rep_vfield(h, 0, &v), 0);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(rep_vfield(h, 256, &v), kQuillonBadArgument);

    std::vector<std::uint8_t> mode(kModeBlockSize);
    ASSERT_EQ(get_mode_inf(h, 0, mode.data(), 2048), 0);
    EXPECT_EQ(mode[1], 0x01);  // the version word 256
    EXPECT_EQ(mode[2047], 0x5A);
    std::vector<std::uint8_t> small(10, 0xEE);
    ASSERT_EQ(get_mode_inf(h, 0, small.data(), 10), 0);  // never more than asked
    EXPECT_EQ(get_mode_inf(h, 1, mode.data(), 2048), kQuillonBadArgument);
}

TEST(QuillonTables, LayersAttributesPensAndFonts) {
    pdbform::PdbFile f = Tables();
    Opened d(SaveDrawing(f, "TABLES.000"));
    ASSERT_EQ(d.rc, 0);
    DrawingHandle* h = &d.h;

    std::int16_t max = 0;
    ASSERT_EQ(max_layer(h, &max), 0);
    EXPECT_EQ(max, 200);
    std::vector<char> name(kLayerNameSize);
    std::int16_t a = 0, b = 0, skip = 0, colour = 0, width = 0;
    double record[kLayerRecordCount] = {}, x = 0;
    ASSERT_EQ(rep_layer(h, 1, name.data(), &a, &b, record, &skip), 0);
    EXPECT_EQ(std::string(name.data()), Sj("表層"));
    EXPECT_EQ(a, 11);
    EXPECT_EQ(b, 12);
    EXPECT_EQ(record[8], 9.5);
    EXPECT_EQ(skip, 0);
    ASSERT_EQ(rep_layer_ex2(h, 200, name.data(), &colour, &width, &a, &b, record, &x, &skip), 0);
    EXPECT_EQ(std::string(name.data()), "0123456789ABCDEF");  // terminated in the buffer
    EXPECT_EQ(colour, 5);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(x, 0.25);
    EXPECT_EQ(skip, 1);
    ASSERT_EQ(rep_layer(h, 2, name.data(), &a, &b, record, &skip), 0);  // not defined
    EXPECT_EQ(skip, 1);
    EXPECT_EQ(name[0], 0);
    EXPECT_EQ(rep_layer(h, 0, name.data(), &a, &b, record, &skip), kQuillonNotFound);
    EXPECT_EQ(rep_layer(h, 256, nullptr, nullptr, nullptr, nullptr, &skip), kQuillonNotFound);

    std::int16_t pen = 0, type = 0, paint = 0, ppat = 0, mark = 0, font = 0, ends = 0;
    std::uint8_t segcnt = 0;
    std::vector<float> floats(kLineFloatCount);
    ASSERT_EQ(get_att_line_ex(h, 1, &pen, &type, &segcnt, floats.data()), 0);
    EXPECT_EQ(pen, 3);
    EXPECT_EQ(type, 6);
    EXPECT_EQ(segcnt, 6);
    EXPECT_EQ(floats[254], 254.5f);
    EXPECT_EQ(get_att_line_ex(h, 2, &pen, &type, &segcnt, floats.data()), kQuillonNotFound);
    EXPECT_EQ(floats[0], 0.0f);
    ASSERT_EQ(get_att_pnt(h, 1, &pen), 0);
    EXPECT_EQ(pen, 5);
    ASSERT_EQ(get_att_face(h, 1, &paint, &ppat), 0);
    EXPECT_EQ(paint, 12);
    EXPECT_EQ(ppat, -3);
    double size = 0, height = 0, ratio = 0, d7 = 0, d8 = 0, d9 = 0;
    ASSERT_EQ(get_att_mark(h, 1, &pen, &mark, &size), 0);
    EXPECT_EQ(mark, 4);
    EXPECT_EQ(size, 2.5);
    ASSERT_EQ(get_att_symb(h, 1, &pen, &font, &height), 0);
    EXPECT_EQ(pen, 7);
    EXPECT_EQ(height, 3.5);
    ASSERT_EQ(get_att_symb_detail(h, 1, &pen, &font, &height, &ratio, &d7, &d8, &d9), 0);
    EXPECT_EQ(font, 2);
    EXPECT_EQ(ratio, 0.8);
    EXPECT_EQ(d8, 0.25);
    EXPECT_EQ(d9, 2);
    ASSERT_EQ(get_att_arrow(h, 1, &type, &ends, &size), 0);
    EXPECT_EQ(ends, 3);
    EXPECT_EQ(size, 1.3);
    for (std::int16_t id : {0, -1, 2, 32767}) {
        EXPECT_EQ(get_att_pnt(h, id, &pen), kQuillonNotFound);
        EXPECT_EQ(get_att_face(h, id, &paint, &ppat), kQuillonNotFound);
        EXPECT_EQ(get_att_mark(h, id, &pen, &mark, &size), kQuillonNotFound);
        EXPECT_EQ(get_att_symb(h, id, &pen, &font, &height), kQuillonNotFound);
        EXPECT_EQ(get_att_arrow(h, id, &type, &ends, &size), kQuillonNotFound);
    }

    ASSERT_EQ(db_get_peninfo(h, 3, &width, &colour), 0);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(colour, 5);
    EXPECT_EQ(db_get_peninfo(h, 4, &width, &colour), kQuillonNotFound);
    float w = 0;
    ASSERT_EQ(db_get_lwidthinfo(h, 1, &w), 0);
    EXPECT_EQ(w, 0.13f);
    EXPECT_EQ(db_get_lwidthinfo(h, 2, &w), kQuillonNotFound);
    std::uint8_t rgb[kRgbSize] = {};
    ASSERT_EQ(db_get_colorinfo(h, 5, rgb), 0);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 128);
    EXPECT_EQ(db_get_colorinfo(h, 6, rgb), kQuillonNotFound);
    ASSERT_EQ(db_get_paint_color(h, 12, rgb), 0);
    EXPECT_EQ(rgb[2], 30);
    EXPECT_EQ(db_get_paint_color(h, 13, rgb), kQuillonNotFound);
    std::vector<char> face(kFaceNameSize);
    ASSERT_EQ(db_getkelfontinfomation(h, 2, &a, &b, face.data()), 1);
    EXPECT_EQ(std::string(face.data()), Sj("@ＭＳ 明朝"));
    EXPECT_EQ(b, -1);
    EXPECT_EQ(db_getkelfontinfomation(h, 3, &a, &b, face.data()), 0);
    EXPECT_EQ(face[0], 0);
}

TEST(QuillonTables, BackgroundSheetsAndAnEmptyDrawing) {
    pdbform::PdbFile f = Tables();
    Opened d(SaveDrawing(f, "SHEETS.000"));
    ASSERT_EQ(d.rc, 0);
    DrawingHandle* h = &d.h;
    std::vector<char> name(kBackgroundNameSize);
    std::int32_t a = 0, b = 0;
    std::uint8_t c = 0, dd = 0, e = 0, g = 0;
    ASSERT_EQ(db_backimg_get(h, name.data(), &a, &b, &c, &dd, &e, &g), 1);
    EXPECT_EQ(std::string(name.data()), "C:\\IMG\\BACK.BMP");
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(c + dd + e + g, 10);
    EXPECT_EQ(prtjkn_chkrep(h), 1);
    std::vector<std::uint8_t> sheet(kSheetInfoSize, 0xEE);
    ASSERT_EQ(prtjkn_infrep(h, 1, 0, sheet.data(), 2048), 0);
    EXPECT_EQ(sheet[kSheetDeviceIdOffset], 0x11);
    EXPECT_EQ(prtjkn_infrep(h, 2, 0, sheet.data(), 2048), kQuillonNotFound);
    EXPECT_EQ(sheet[kSheetDeviceIdOffset] | sheet[2047], 0);  // absent: device id 0
    ASSERT_EQ(prtjkn_infrep(h, 3, 0, sheet.data(), 2048), 0);
    EXPECT_EQ(sheet[0], 0x33);
    EXPECT_EQ(prtjkn_infrep(h, 5, 0, sheet.data(), 2048), kQuillonBadArgument);
    EXPECT_EQ(prtjkn_infrep(h, 1, 0, sheet.data(), -1), kQuillonBadArgument);

    // A drawing that is only its head: everything empty, nothing to walk.
    pdbform::PdbFile empty = pdbform::NewEmpty(Head());
    Opened none(SaveDrawing(empty, "EMPTY.000"));
    ASSERT_EQ(none.rc, 0);
    std::int16_t max = 9;
    ASSERT_EQ(max_layer(&none.h, &max), 0);
    EXPECT_EQ(max, 0);
    std::vector<char> sys(kSystemNameSize, 'x');
    std::int16_t number = 1;
    ASSERT_EQ(get_sysnam(&none.h, sys.data(), &number), 0);
    EXPECT_EQ(sys[0], 0);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(db_backimg_get(&none.h, name.data(), &a, &b, &c, &dd, &e, &g), 0);
    EXPECT_EQ(prtjkn_chkrep(&none.h), 0);
    EXPECT_EQ(db_head(&none.h), kQuillonNoMore);
    std::int32_t pid = 5;
    EXPECT_EQ(db_rtn(&none.h, &pid), kQuillonNoMore);
    EXPECT_EQ(pid, 0);
}

}  // namespace
}  // namespace quillon_test
