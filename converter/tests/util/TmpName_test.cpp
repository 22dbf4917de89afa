// Unique temporary names in the folder that the settings library names, made by this
// process and by two processes at once.
//
// The settings library keeps its own copy of the platform layer, which reads the prefix
// once per process; so the whole suite shares one prefix and each test names its own
// temporary folder in the registry.
#include "support/util/TmpName.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>

#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Prefix.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/tests/TestPrefix.h"

#include "tests/SuitePrefix.h"

namespace fs = std::filesystem;

namespace {

class TmpName : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { converter_test::MakeSuitePrefix("morvan-tmpname", prefix_); }
    static void TearDownTestSuite() { converter_test::RemoveSuitePrefix(prefix_); }

    // Points the temporary folder setting at `folder` (created when `create`).
    static void UseFolder(const std::string& folder, bool create = true) {
        if (create) {
            ASSERT_EQ(platform::CreateDirectoryTree(folder), 0u);
        }
        platform::RegKey key;
        ASSERT_EQ(platform::RegCreateKey(platform::RegRoot::CurrentUser, "SOFTWARE\\KEL\\PDM", key),
                  0u);
        ASSERT_EQ(platform::RegSetString(key, "TMPDIR", folder), 0u);
    }

    // The names the generator gives after srand(1), the state of an unseeded one.
    static std::string RandomName(const std::string& folder) {
        char number[32];
        std::snprintf(number, sizeof number, "%lX", static_cast<long>(std::rand()));
        return folder + "\\" + number + ".099";
    }

    static fs::path prefix_;
};

fs::path TmpName::prefix_;

TEST_F(TmpName, CreatesTheFileSoTheNameIsTaken) {
    UseFolder("C:\\KEL\\PDM\\TMP");
    char first[260];
    char second[260];
    ASSERT_EQ(Tmp_MakeUniqueName(0, ".099", first), 1);
    ASSERT_EQ(Tmp_MakeUniqueName(0, ".099", second), 1);
    const std::string name = first;
    EXPECT_EQ(name.rfind("C:\\KEL\\PDM\\TMP\\", 0), 0u) << name;
    EXPECT_TRUE(name.ends_with(".099")) << name;
    EXPECT_NE(name, std::string(second));
    std::uint64_t size = 99;
    ASSERT_EQ(platform::GetFileSizeW(first, size), 0u);
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(platform::FileExists(second));
}

TEST_F(TmpName, After51TakenNamesTheTimeCountIsUsed) {
    const std::string folder = "C:\\FULL";
    UseFolder(folder);
    std::srand(1);
    for (int i = 0; i < 51; ++i) ASSERT_EQ(platform::WriteFileBytes(RandomName(folder), ""), 0u);

    std::srand(1);
    const std::time_t before = std::time(nullptr);
    char name[260];
    ASSERT_EQ(Tmp_MakeUniqueName(0, ".099", name), 1);
    const std::time_t after = std::time(nullptr);
    const std::string made = name;
    ASSERT_EQ(made.rfind(folder + "\\", 0), 0u) << made;
    ASSERT_TRUE(made.ends_with(".099")) << made;
    const std::string digits = made.substr(folder.size() + 1, made.size() - folder.size() - 5);
    ASSERT_FALSE(digits.empty());
    for (char c : digits) ASSERT_TRUE(platform::IsAsciiDigit(c)) << made;
    const long count = std::atol(digits.c_str());
    EXPECT_GE(count, TimeCountOf(*std::localtime(&before)));
    EXPECT_LE(count, TimeCountOf(*std::localtime(&after)));
    EXPECT_TRUE(platform::FileExists(made));

    // The same second's name is taken now: the next one waits for the next second.
    std::srand(1);
    char next[260];
    ASSERT_EQ(Tmp_MakeUniqueName(0, ".099", next), 1);
    EXPECT_NE(std::string(next), made);
    EXPECT_TRUE(platform::FileExists(next));
}

TEST_F(TmpName, AMissingFolderGivesANameAtOnceWithoutAFile) {
    UseFolder("C:\\NOWHERE\\TMP", false);
    char name[260];
    ASSERT_EQ(Tmp_MakeUniqueName(0, ".099", name), 1);
    EXPECT_EQ(std::string(name).rfind("C:\\NOWHERE\\TMP\\", 0), 0u) << name;
    EXPECT_FALSE(platform::PathExists(name));
}

TEST_F(TmpName, ANameThatDoesNotFitIsRefused) {
    UseFolder("C:\\KEL\\PDM\\TMP");
    char name[16] = "old";
    EXPECT_EQ(Tmp_MakeUniqueName(0, ".099", name), 0);
    EXPECT_STREQ(name, "");
}

TEST_F(TmpName, TwoProcessesAtOnceNeverGetTheSameName) {
    const std::string folder = "C:\\SHARED";
    UseFolder(folder);
    // The helper finds the settings library in its own folder, as a program its DLLs.
    const fs::path system32 = prefix_ / "drive_c" / "WINDOWS" / "SYSTEM32";
    fs::copy_file(platform::test::BinDir() / "converter-util-tmpname-child",
                  system32 / "TMPNAME.EXE", fs::copy_options::overwrite_existing);
    fs::copy_file(platform::test::BinDir() / "Fennoc.DLL", system32 / "Fennoc.DLL",
                  fs::copy_options::overwrite_existing);
    // Both draw the same unseeded sequence, so they race for the very same names.
    constexpr int kEach = 400;
    platform::ChildProcess first;
    platform::ChildProcess second;
    platform::ProcessStart start;
    start.commandLine = "TMPNAME.EXE " + std::to_string(kEach) + " C:\\NAMES1.TXT";
    ASSERT_EQ(platform::StartProcess(start, first), 0u);
    start.commandLine = "TMPNAME.EXE " + std::to_string(kEach) + " C:\\NAMES2.TXT";
    ASSERT_EQ(platform::StartProcess(start, second), 0u);
    ASSERT_EQ(first.Wait(), 0);
    ASSERT_EQ(second.Wait(), 0);

    std::set<std::string> names;
    for (const char* list : {"C:\\NAMES1.TXT", "C:\\NAMES2.TXT"}) {
        std::string text;
        ASSERT_EQ(platform::ReadFileBytes(list, text), 0u);
        const auto lines = platform::SplitLines(text);
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(kEach));
        for (const std::string& line : lines) {
            EXPECT_TRUE(names.insert(line).second) << "given twice: " << line;
            EXPECT_TRUE(platform::FileExists(line)) << line;
        }
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(2 * kEach));
}

}  // namespace
