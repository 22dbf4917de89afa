// Path editing and byte classes on code page 932 text, where a trail byte may carry the
// code of "\" (表 = 0x95 0x5C, ソ = 0x83 0x5C) or of a lead byte (ぁ = 0x82 0x9F).
#include "support/util/PathEdit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/util/ByteClass.h"
#include "support/util/CountedString.h"

namespace {

TEST(ByteClass, WalksFromTheStart) {
    const std::string text = "aソb";
    EXPECT_EQ(Str_ByteClass(text, 0), kByteSingle);
    EXPECT_EQ(Str_ByteClass(text, 1), kByteLead);
    EXPECT_EQ(Str_ByteClass(text, 2), kByteTrail);  // 0x5C, yet not a "\"
    EXPECT_EQ(Str_ByteClass(text, 3), kByteSingle);
    EXPECT_EQ(Str_ByteClass(text, 4), kByteClassBeyondEnd);
    EXPECT_EQ(Str_ByteClass(std::string_view(), 0), kByteClassNullText);
    EXPECT_EQ(Str_ByteClass("", 0), kByteClassBeyondEnd);

    // A trail byte with the value of a lead byte is still a trail byte.
    const std::string small = "ぁぁ";
    ASSERT_EQ(static_cast<unsigned char>(small[1]), 0x9F);
    EXPECT_EQ(Str_ByteClass(small, 1), kByteTrail);
    EXPECT_EQ(Str_ByteClass(small, 2), kByteLead);
    EXPECT_EQ(Str_ByteClass(small, 3), kByteTrail);

    // A lead byte cut off at the end.
    EXPECT_EQ(Str_ByteClass(std::string("A\x95", 2), 1), kByteLead);
}

TEST(AddBackslash, AfterTrailBytesButNotAfterASeparator) {
    char path[32] = "C:\\表";
    EXPECT_EQ(Path_AddBackslash(path), 0);
    EXPECT_STREQ(path, "C:\\表\\");
    EXPECT_EQ(Path_AddBackslash(path), 0);  // now it ends in a "\" of its own
    EXPECT_STREQ(path, "C:\\表\\");

    char plain[32] = "C:\\KEL\\PROGS";
    EXPECT_EQ(Path_AddBackslash(plain), 0);
    EXPECT_STREQ(plain, "C:\\KEL\\PROGS\\");

    char lone[32] = "C:\\A\x95";
    EXPECT_EQ(Path_AddBackslash(lone), 0);
    EXPECT_STREQ(lone, "C:\\A\x95");
}

TEST(AddBackslash, RefusesWhatDoesNotFit) {
    char full[7] = "C:\\DIR";  // six bytes and the NUL: no room for one more
    EXPECT_EQ(Path_AddBackslash(full), kPathNoRoom);
    EXPECT_STREQ(full, "C:\\DIR");

    char unterminated[3] = {'C', ':', 'X'};
    EXPECT_EQ(Path_AddBackslash(unterminated), kPathNoRoom);
    EXPECT_EQ(std::memcmp(unterminated, "C:X", 3), 0);

    char empty[4] = "";
    EXPECT_EQ(Path_AddBackslash(empty), kPathEmpty);
    EXPECT_EQ(Path_AddBackslash(std::span<char>()), kPathNull);
}

TEST(PathExt, TakesTheExtensionOfTheNameOnly) {
    char ext[8] = "junk";
    EXPECT_EQ(Path_Ext("C:\\WORK\\PLAN.099", ext), 0);
    EXPECT_STREQ(ext, ".099");
    EXPECT_EQ(Path_Ext("C:\\A\\B.TAR.GZ", ext), 0);
    EXPECT_STREQ(ext, ".GZ");
    EXPECT_EQ(Path_Ext("C:\\D.X\\FILE", ext), 0);
    EXPECT_STREQ(ext, "");
    EXPECT_EQ(Path_Ext("C:ソ.DXF", ext), 0);
    EXPECT_STREQ(ext, ".DXF");

    char tiny[4] = "abc";
    EXPECT_EQ(Path_Ext("C:\\PLAN.099", tiny), kPathNoRoom);
    EXPECT_STREQ(tiny, "");
    EXPECT_EQ(Path_Ext(std::string_view(), ext), kPathNull);
}

TEST(PathChangeExt, ReplacesOrAddsTheExtension) {
    char out[260];
    EXPECT_EQ(Path_ChangeExt("C:\\OUT\\NEW.PDB", ".F", out), 0);
    EXPECT_STREQ(out, "C:\\OUT\\NEW.F");
    EXPECT_EQ(Path_ChangeExt("C:\\OUT\\NEW.PDB", "F", out), 0);
    EXPECT_STREQ(out, "C:\\OUT\\NEW.F");
    EXPECT_EQ(Path_ChangeExt("C:\\OUT\\NEW.PDB", "", out), 0);
    EXPECT_STREQ(out, "C:\\OUT\\NEW");
    EXPECT_EQ(Path_ChangeExt("C:\\D.X\\表", ".099", out), 0);
    EXPECT_STREQ(out, "C:\\D.X\\表.099");

    // In place: the path is a view of the output buffer.
    char same[32] = "C:\\A\\B.099";
    EXPECT_EQ(Path_ChangeExt(same, ".PDB", same), 0);
    EXPECT_STREQ(same, "C:\\A\\B.PDB");

    char small[12] = "keep";
    EXPECT_EQ(Path_ChangeExt("C:\\A\\B.099", ".LONGER", small), kPathNoRoom);
    EXPECT_STREQ(small, "");
}

TEST(CountedSwap, BothWaysInPlace) {
    char text[16] = "?図面ABC";  // the count byte first: 図面 is four bytes, ABC three
    ASSERT_EQ(std::strlen("図面"), 4u);
    text[0] = 7;
    EXPECT_EQ(Str_CountedSwap(true, text), 0);
    EXPECT_STREQ(text, "図面ABC");
    EXPECT_EQ(Str_CountedSwap(false, text), 0);
    EXPECT_EQ(text[0], 7);
    EXPECT_EQ(std::memcmp(text + 1, "図面ABC", 7), 0);

    char empty[4] = "";
    EXPECT_EQ(Str_CountedSwap(false, empty), 0);
    EXPECT_EQ(empty[0], 0);
    EXPECT_EQ(Str_CountedSwap(true, empty), 0);
    EXPECT_STREQ(empty, "");
}

TEST(CountedSwap, NeverMovesBytesOutsideTheBuffer) {
    char counted[4] = {10, 'A', 'B', 'C'};  // a count past the end
    EXPECT_EQ(Str_CountedSwap(true, counted), kCountedNoRoom);
    EXPECT_EQ(counted[0], 10);

    char unterminated[3] = {'A', 'B', 'C'};
    EXPECT_EQ(Str_CountedSwap(false, unterminated), kCountedNoRoom);

    std::string longText(300, 'x');  // 256 bytes cannot be counted in one byte
    longText[256] = '\0';
    EXPECT_EQ(Str_CountedSwap(false, std::span<char>(longText.data(), longText.size())),
              kCountedNoRoom);
    EXPECT_EQ(longText[0], 'x');

    EXPECT_EQ(Str_CountedSwap(true, std::span<char>()), kCountedNullText);
}

}  // namespace
