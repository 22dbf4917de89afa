// Code page 932 helpers: double-byte characters whose second byte is "\" (表, ソ, 能)
// or an ASCII letter must never be split, cut or upper-cased as if it were ASCII.
#include <gtest/gtest.h>

#include "TestPrefix.h"
#include "platform/Cp932.h"

namespace platform {
namespace {

using test::Sj;

TEST(Cp932, TrailBackslashIsNotADelimiter) {
    const std::string hyo = Sj("表");  // 0x95 0x5C
    const std::string so = Sj("ソ");   // 0x83 0x5C
    const std::string nou = Sj("能");  // 0x94 0x5C
    ASSERT_EQ(hyo, "\x95\x5C");
    ASSERT_EQ(so, "\x83\x5C");
    ASSERT_EQ(nou, "\x94\x5C");

    const std::string path = "C:\\" + hyo + "\\" + so + nou + ".DAT";
    EXPECT_EQ(FindLastPathDelimiter(path), 5u);
    EXPECT_EQ(FindLastCharDbcs(path, '\\'), 5u);
    EXPECT_EQ(FindCharDbcs(path, '\\', 3), 5u);
    EXPECT_EQ(FindLastPathDelimiter(so + nou), std::string::npos);
    EXPECT_EQ(FindDbcs(path, "\\" + so), 5u);
    // "\x5C" + "\x83" would match inside 表 + ソ if the search were byte-wise.
    EXPECT_EQ(FindDbcs(hyo + so, "\\" + std::string("\x83")), std::string::npos);
    EXPECT_EQ(SplitAtChars("\\" + hyo + "\\\\" + so + nou + "/x\\", "\\"),
              (std::vector<std::string>{hyo, so + nou + "/x"}));
    EXPECT_EQ(SplitAtChars(hyo + "/" + so + "\\", "\\/"), (std::vector<std::string>{hyo, so}));
    EXPECT_TRUE(SplitAtChars("\\\\", "\\").empty());
}

TEST(Cp932, CutNeverSplitsACharacter) {
    const std::string text = "A" + Sj("表ソ") + "B";
    EXPECT_EQ(CutToBytes(text, 2), "A");
    EXPECT_EQ(CutToBytes(text, 3), "A" + Sj("表"));
    EXPECT_EQ(CutToBytes(text, 4), "A" + Sj("表"));
    EXPECT_EQ(CutToBytes(text, 100), text);
    EXPECT_EQ(CharLength("\x95", 0), 1u);  // a lone lead byte at the end counts as one
}

TEST(Cp932, UpperCaseLeavesTrailBytesAlone) {
    // ア is 0x83 0x41: its trail byte is "A"; ｱ (half-width) is the single byte 0xB1.
    const std::string mixed = "abc" + Sj("表ソ能アｱ") + Sj("ａｚ") + "z";
    EXPECT_EQ(UpperCase(mixed), "ABC" + Sj("表ソ能アｱ") + Sj("ＡＺ") + "Z");
    EXPECT_EQ(UpperCaseAscii(mixed), "ABC" + Sj("表ソ能アｱ") + Sj("ａｚ") + "Z");
    // The trail byte of ヂ (0x83 0x61, "a") must not become "A" (which would make ア).
    EXPECT_EQ(UpperCase(Sj("ヂ")), Sj("ヂ"));
    EXPECT_TRUE(EqualsNoCase("file" + Sj("ａ"), "FILE" + Sj("Ａ")));
    EXPECT_FALSE(EqualsNoCase(Sj("ヂ"), Sj("ア")));
}

// Greek and Cyrillic letters have two cases in code page 932, each lower-case block a
// fixed distance above its upper-case one; the Cyrillic block skips 0x847F.
TEST(Cp932, UpperCaseOfGreekAndCyrillic) {
    EXPECT_EQ(UpperCase(Sj("αβγδεζηθικλμνξοπρστυφχψω")), Sj("ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ"));
    EXPECT_EQ(UpperCase(Sj("абвгдеёжзийклмнопрстуфхцчшщъыьэюя")),
              Sj("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"));
    // The byte pairs at the block edges, and the gap that is no character.
    EXPECT_EQ(UpperCase("\x84\x7E\x84\x80\x84\x91"), "\x84\x4E\x84\x4F\x84\x60");
    EXPECT_EQ(UpperCase("\x84\x7F\x84\x92\x83\xBE\x83\xD7"), "\x84\x7F\x84\x92\x83\xBE\x83\xD7");
    // Upper-case letters stay as they are.
    EXPECT_EQ(UpperCase(Sj("ΩЯЁ")), Sj("ΩЯЁ"));

    // Mixed with ASCII, half-width katakana (single bytes 0xBF-0xD6 as well: ｿ..ﾖ) and
    // kanji whose trail byte lies in the lower-case ranges: 英 0x8970, 園 0x8980,
    // 苑 0x8991, 価 0x89BF, 関 0x8AD6, 漢 0x8ABF. Only the letters change.
    const std::string mixed = "file_" + Sj("ｿﾀﾁﾖ英園苑価関漢") + Sj("ω.") + "txt" + Sj("ё");
    EXPECT_EQ(UpperCase(mixed), "FILE_" + Sj("ｿﾀﾁﾖ英園苑価関漢") + Sj("Ω.") + "TXT" + Sj("Ё"));
    // A half-width kana byte followed by a byte of the Greek range is no pair.
    EXPECT_EQ(UpperCase("\xBF\xD6\xBF"), "\xBF\xD6\xBF");
    // Katakana and box-drawing characters share the lead bytes 0x83 and 0x84.
    EXPECT_EQ(UpperCase(Sj("ソヂヴヶ─┃")), Sj("ソヂヴヶ─┃"));

    // Names that differ only in these letters are the same name; kanji are not letters.
    EXPECT_TRUE(EqualsNoCase(Sj("データα.DAT"), Sj("データΑ.dat")));
    EXPECT_TRUE(EqualsNoCase(Sj("отчёт"), Sj("ОТЧЁТ")));
    EXPECT_FALSE(EqualsNoCase(Sj("英"), "\x89\x40"));  // 0x8970 is not 0x8940 (and 0x8940 is 院)
}

TEST(Cp932, ConversionRoundTripAndInvalidInput) {
    std::string utf8, back;
    const std::string text = Sj("表ソ能\\ｱ");
    ASSERT_TRUE(Cp932ToUtf8(text, utf8));
    EXPECT_EQ(utf8, "表ソ能\\ｱ");
    ASSERT_TRUE(Utf8ToCp932(utf8, back));
    EXPECT_EQ(back, text);

    std::size_t bad = 99;
    EXPECT_FALSE(Cp932ToUtf8("AB\x81\x20Z", utf8, &bad));  // 0x81 0x20: no such pair
    EXPECT_EQ(bad, 2u);
    EXPECT_EQ(utf8, "AB");
    EXPECT_FALSE(Cp932ToUtf8("A\x95", utf8, &bad));  // pair cut off at the end
    EXPECT_EQ(bad, 1u);
    EXPECT_FALSE(IsValidCp932("\x95"));
    EXPECT_TRUE(IsValidCp932(text));
    EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80", back, &bad));  // not in code page 932
    EXPECT_EQ(Cp932ToUtf8Lossy("A\x81\x20" "B"), "A? B");
    EXPECT_EQ(Utf8ToCp932Lossy("x\xF0\x9F\x98\x80y"), "x?y");
}

TEST(Cp932, SplitLinesHandlesEveryTerminator) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace platform
