#include "installer/env/StringRoutines.h"

#include <gtest/gtest.h>

#include "installer/env/InstallEnvironment.h"

namespace {

TEST(BlankRoutines, CollapseKeepsOneBlankRemoveKeepsNone) {
    std::string s = "COPY   A:\\X  C:\\Y Z";
    std::string t = s;
    CollapseBlanks(s);
    EXPECT_EQ(s, "COPY A:\\X C:\\Y Z");
    RemoveBlanks(t);
    EXPECT_EQ(t, "COPYA:\\XC:\\YZ");
}

TEST(BlankRoutines, PadRightFillsToWidthAndNeverCuts) {
    std::string s = "abc";
    PadRight(38, s);
    EXPECT_EQ(s, "abc" + std::string(35, ' '));
    std::string longer(40, 'x');
    PadRight(38, longer);
    EXPECT_EQ(longer, std::string(40, 'x'));
}

TEST(PathRoutines, SplitPathNeverCutsInsideADoubleByteCharacter) {
    std::string dir, name;
    SplitPath("C:\\DIR\\FILE.TXT", dir, name);
    EXPECT_EQ(dir, "C:\\DIR\\");
    EXPECT_EQ(name, "FILE.TXT");
    SplitPath("A:FILE", dir, name);
    EXPECT_EQ(dir, "A:");
    EXPECT_EQ(name, "FILE");
    SplitPath("FILE", dir, name);
    EXPECT_EQ(dir, "");
    EXPECT_EQ(name, "FILE");
    // The second byte of 表 and of ソ is 0x5C, the code of "\".
    SplitPath("C:\\データ\\表", dir, name);
    EXPECT_EQ(dir, "C:\\データ\\");
    EXPECT_EQ(name, "表");
    SplitPath("C:\\表\\ソフト.TXT", dir, name);
    EXPECT_EQ(dir, "C:\\表\\");
    EXPECT_EQ(name, "ソフト.TXT");
}

TEST(PathRoutines, FullPathNeedsADriveAndRootOrANetworkName) {
    for (const char* full : {"C:\\", "z:\\表\\", "\\\\SERVER\\SHARE"}) {
        EXPECT_TRUE(IsFullPath(full)) << full;
    }
    for (const char* relative : {"", "C:", "C:FILE", "\\FILE", "SUB\\FILE", "1:\\", "表:\\"}) {
        EXPECT_FALSE(IsFullPath(relative)) << relative;
    }
}

TEST(PathRoutines, VersionDownPathKeepsOnlyTheFileName) {
    const std::string root = "C:\\MORVAN\\MorvanDN";
    std::string path = "A:\\SUB\\表.DAT";
    VersionDownPath(root, "Revision", "01", path);
    EXPECT_EQ(path, "C:\\MORVAN\\MorvanDN\\Revision\\01\\表.DAT");
    std::string drive = "A:INST00.DAT";
    VersionDownPath(root, "20240101", "02", drive);
    EXPECT_EQ(drive, "C:\\MORVAN\\MorvanDN\\20240101\\02\\INST00.DAT");
}

TEST(NormalizeDirValue, DriveLetterTrailingSeparatorAndDoubleByteEnd) {
    std::string empty;
    NormalizeDirValue(empty);
    EXPECT_EQ(empty, "");
    std::string letter = "k";
    NormalizeDirValue(letter);
    EXPECT_EQ(letter, "k:");
    std::string root = "k:\\";
    NormalizeDirValue(root);
    EXPECT_EQ(root, "k:");
    std::string dir = "C:\\KEL\\QVD\\..\\EXE\\";
    NormalizeDirValue(dir);
    EXPECT_EQ(dir, "C:\\KEL\\QVD\\..\\EXE");
    // A folder named 表 ends in the byte 0x5C that is not a separator.
    std::string table = "C:\\表";
    NormalizeDirValue(table);
    EXPECT_EQ(table, "C:\\表");
}

TEST(ParseVersionNumber, StripsEverythingButDigitsAndPoint) {
    std::string s = "Version 2.10";
    double value = 0;
    EXPECT_TRUE(ParseVersionNumber(s, value));
    EXPECT_EQ(s, "2.10");
    EXPECT_DOUBLE_EQ(value, 2.10);

    std::string japanese = "バージョン３ 2.05版";  // full-width digits are not digits
    EXPECT_TRUE(ParseVersionNumber(japanese, value));
    EXPECT_EQ(japanese, "2.05");

    std::string words = "none";
    EXPECT_FALSE(ParseVersionNumber(words, value));
    EXPECT_EQ(words, "");
    std::string twoPoints = "1.2.3";
    EXPECT_FALSE(ParseVersionNumber(twoPoints, value));
    EXPECT_EQ(twoPoints, "1.2.3");
    std::string point = "v.";
    EXPECT_FALSE(ParseVersionNumber(point, value));
}

}  // namespace
