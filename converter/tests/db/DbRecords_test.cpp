// The message codec and the element record layouts, bytes only.
#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "TestPrefix.h"
#include "support/db/DbHeadTemplate.h"
#include "support/db/ElementRecords.h"

using db_test::F64;
using db_test::I16;
using db_test::I32;

TEST(DbCodec, SessionFieldsAndTextFieldsStayInsideTheirRoom) {
    static_assert(sizeof(DbMessage) == 740 && sizeof(DbBlock) == 288);
    DbBlock block{};
    EXPECT_TRUE(SetSessionPipeName(block, "\\PIPE\\DBMAN"));
    EXPECT_EQ(SessionPipeName(block), "\\PIPE\\DBMAN");
    EXPECT_FALSE(SetSessionPipeName(block, std::string(81, 'a')));  // would reach the handle
    EXPECT_TRUE(SetSessionPipeName(block, std::string(80, 'a')));
    SetSessionPipeHandle(block, 0x1234);
    EXPECT_EQ(block[83], 0x34);
    EXPECT_EQ(SessionPipeName(block), std::string(80, 'a'));
    // A block whose name has no NUL reads as its 81 bytes, never beyond.
    std::fill_n(block.begin() + 2, 81, 'b');
    EXPECT_EQ(SessionPipeName(block).size(), 81u);

    DbMessage m = NewDbMessage(-109, block);
    EXPECT_EQ(m[0], 0x93);
    EXPECT_EQ(m[1], 0xFF);
    EXPECT_EQ(m[2 + 83], 0x34);

    // Counted strings: cut on a character boundary to the field and to the room left.
    std::array<std::uint8_t, 20> out{};
    std::string text = std::string("abcdefghijklmno") + "字";  // 17 bytes, the cut falls inside 字
    EXPECT_EQ(StoreCountedString(out, 0, text, 16), 15u);
    EXPECT_EQ(out[0], 15);
    EXPECT_EQ(StoreCountedString(out, 15, "abcdefgh", 255), 4u);  // room for 4 after the length
    EXPECT_EQ(LoadCountedString(out, 15), "abcd");
    out[15] = 200;  // a length byte beyond the buffer is clipped
    EXPECT_EQ(LoadCountedString(out, 15).size(), 4u);
}

TEST(DbCodec, HeadTemplateRows) {
    HeadBlock h = BuildHeadTemplate();
    EXPECT_EQ(I16(h, 8), 1);
    EXPECT_EQ(I16(h, 590), 20);
    EXPECT_EQ(I16(h, 805), 18);  // a word at an odd offset
    EXPECT_EQ(h[791], 3);
    EXPECT_DOUBLE_EQ(F64(h, 896), 0.261799);
    EXPECT_EQ(std::string(h.begin() + 818, h.begin() + 838), std::string(20, ' '));
    EXPECT_EQ(h[838], 0);
    EXPECT_EQ(std::string(h.begin() + 930, h.begin() + 932), "×");
    EXPECT_EQ(I16(h, 1040), -1);
    EXPECT_EQ(I16(h, 1042), 0);
    EXPECT_EQ(I16(h, 1104), -1);
    EXPECT_EQ(h[1185], 1);
    EXPECT_EQ(h[1186], 0);
    EXPECT_EQ(h[0], 0);
}

TEST(ElementRecords, LayoutsAndSignRule) {
    ElementRecord r1 = BuildElementRec1(1, {10, 11, 12}, {1.5, -2.5});
    EXPECT_EQ(I16(r1, 0), 1);
    EXPECT_EQ(I16(r1, 6), 12);
    EXPECT_DOUBLE_EQ(F64(r1, 8), 1.5);
    EXPECT_DOUBLE_EQ(F64(r1, 16), -2.5);
    EXPECT_EQ(r1[24], 0);

    ElementRecord r2 =
        BuildElementRec2(static_cast<std::int16_t>(0x8000), {1, 2, 3, 4}, {1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(r2[0], 0xFE);
    EXPECT_EQ(r2[1], 0xFF);
    EXPECT_EQ(I16(r2, 8), 4);
    EXPECT_DOUBLE_EQ(F64(r2, 10), 1);
    EXPECT_DOUBLE_EQ(F64(r2, 58), 7);  // 66 bytes
    EXPECT_EQ(I16(BuildElementRec2(-5, {}, {}), 0), -2);
    EXPECT_EQ(I16(BuildElementRec2(0x7FFF, {}, {}), 0), 2);

    // The pair of words after three doubles sits at 34 and 36.
    ElementRecord r5 = BuildElementRec5(0, {1, 2, 3, 4}, {1, 2, 3}, {55, 66}, {7, 8, 9});
    EXPECT_EQ(I16(r5, 34), 55);
    EXPECT_EQ(I16(r5, 36), 66);
    EXPECT_DOUBLE_EQ(F64(r5, 54), 9);  // 62 bytes
    ElementRecord r12 = BuildElementRec12(0, {}, {}, {5, 6}, {1, 2, 3, 4, 5, 6, 7});
    EXPECT_DOUBLE_EQ(F64(r12, 86), 7);  // 94 bytes
    ElementRecord r18 =
        BuildElementRec18(0, {}, Doubles<16>{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16}});
    EXPECT_DOUBLE_EQ(F64(r18, 130), 16);  // 138 bytes
    ElementRecord r19 = BuildElementRec19(0, {1, 2, 3}, 2.5, 44, {4, 5, 6});
    EXPECT_DOUBLE_EQ(F64(r19, 8), 2.5);
    EXPECT_EQ(I16(r19, 16), 44);
    EXPECT_DOUBLE_EQ(F64(r19, 34), 6);  // 42 bytes
    ElementRecord r20 = BuildElementRec20(-1, {7, 8, 9});
    EXPECT_EQ(I16(r20, 0), -20);
    EXPECT_EQ(I16(r20, 6), 9);
}

TEST(ElementRecords, Kind13TextsAreCutOnCharacterBoundaries) {
    ElementRecord empty = BuildElementRec13(0, 77, "", "");
    EXPECT_EQ(I16(empty, 0), 13);
    EXPECT_EQ(I16(empty, 2), 77);
    EXPECT_EQ(empty[4], 0);
    EXPECT_EQ(empty[20], 0);

    // 14 ASCII bytes then a double-byte character: 16 bytes do not fit 15, the whole
    // character goes.
    std::string first = std::string(14, 'a') + "字";
    std::string second = std::string(118, 'b') + "字" + "tail";
    ElementRecord r = BuildElementRec13(0, 1, first, second);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data() + 4)), std::string(14, 'a'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data() + 20)), std::string(118, 'b'));
    EXPECT_EQ(r[139], 0);
}
