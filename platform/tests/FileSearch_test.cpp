// DOS wildcards and directory searches.
#include <fstream>

#include "TestPrefix.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"

namespace platform {
namespace {

using test::PrefixTest;
using test::Sj;

TEST(Wildcard, DosMatchingRules) {
    struct Case {
        std::string pattern, name;
        bool matches;
    };
    const Case cases[] = {
        {"*.*", "README", true},         {"*.*", "a.b.c", true},
        {"*", "anything.txt", true},     {"*.DAT", "inst00.dat", true},
        {"*.DAT", "inst00.da_", false},  {"INST??.DAT", "INST07.DAT", true},
        {"INST??.DAT", "INST7.DAT", false}, {"README.*", "readme", true},
        {"README.*", "readme.txt", true}, {"*.TXT", "TXT", false},
        {"A*B*C", "AxxBxxC", true},      {"A*B*C", "AxxBxxCx", false},
        {"", "", true},                  {"?", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " ~ " << c.name;

    // "?" takes a double-byte character whole; its trail byte is not a character.
    EXPECT_TRUE(MatchesWildcard("?.DAT", Sj("表.dat")));
    EXPECT_FALSE(MatchesWildcard("??.DAT", Sj("表.dat")));
    EXPECT_TRUE(MatchesWildcard("*" + Sj("Ａ") + "*", Sj("ｘａｙ")));
    EXPECT_FALSE(MatchesWildcard("*\\*", Sj("表")));  // 0x5C trail byte is no "\"
}

TEST_F(PrefixTest, FindFilesSelections) {
    std::filesystem::create_directories(C("media/SubDir"));
    for (const char* name : {"inst01.dat", "INST00.DAT", ".hidden.dat", "notes"}) std::ofstream(C(std::string("media/") + name));

    std::vector<FindEntry> found;
    ASSERT_EQ(FindFiles("C:\\MEDIA\\INST*.DAT", FindSelection::PlainFiles, found), kErrorSuccess);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "INST00.DAT");  // sorted by name, host case kept
    EXPECT_EQ(found[1].name, "inst01.dat");
    EXPECT_EQ(found[0].attributes, kAttrArchive);

    ASSERT_EQ(FindFiles("C:\\MEDIA\\*.*", FindSelection::PlainFiles, found), kErrorSuccess);
    EXPECT_EQ(found.size(), 3u);  // "notes" has no dot and still matches "*.*"
    ASSERT_EQ(FindFiles("C:\\MEDIA\\*.*", FindSelection::AllEntries, found), kErrorSuccess);
    EXPECT_EQ(found.size(), 5u);
    ASSERT_EQ(FindFiles("C:\\MEDIA\\*", FindSelection::Raw, found), kErrorSuccess);
    EXPECT_EQ(found.size(), 7u);
    EXPECT_EQ(found[0].name, ".");

    EXPECT_EQ(FindFiles("C:\\MEDIA\\*.EXE", FindSelection::PlainFiles, found), kErrorFileNotFound);
    EXPECT_EQ(FindFiles("C:\\MEDIA\\", FindSelection::AllEntries, found), kErrorFileNotFound);
    EXPECT_EQ(FindFiles("C:\\NONE\\*.*", FindSelection::AllEntries, found), kErrorPathNotFound);
    EXPECT_EQ(FindFiles("Q:\\*.*", FindSelection::AllEntries, found), kErrorPathNotFound);
    EXPECT_EQ(FindFiles("C:\\MEDIA\\\x81", FindSelection::AllEntries, found), kErrorInvalidName);
}

}  // namespace
}  // namespace platform
