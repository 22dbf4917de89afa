// The parts of the job that need no server: the command line, the condition file, the
// extension file's name and the paths of the job.
#include <unistd.h>

#include <fstream>

#include "SuitePrefix.h"
#include "tolvane/CommandLine.h"
#include "tolvane/ConditionFile.h"
#include "tolvane/ExtensionFileName.h"
#include "tolvane/JobPaths.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class JobParts : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { converter_test::MakeSuitePrefix("morvan-jobparts", prefix_); }
    static void TearDownTestSuite() { converter_test::RemoveSuitePrefix(prefix_); }
    void SetUp() override {
        std::error_code ignored;
        fs::remove_all(Work(), ignored);
        fs::create_directories(Work());
    }
    static fs::path Work() { return prefix_ / "drive_c" / "WORK"; }
    static void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Work() / name, std::ios::binary) << bytes;
    }
    static inline fs::path prefix_;
};

std::vector<ProgramArgument> Args(const std::vector<std::string>& texts) {
    std::vector<ProgramArgument> args;
    for (const std::string& t : texts) args.push_back(ProgramArgument{t, t});
    return args;
}

TEST_F(JobParts, CommandLineSwitchesInEveryPositionAndCase) {
    CommandLine line;
    EXPECT_EQ(CommandLine_Read(Args({"T", "C:\\A.000", "C:\\A.PDB"}), line), kCommandLineTooFew);

    ASSERT_EQ(CommandLine_Read(Args({"T", "C:\\A.000", "C:\\A.PDB", " 4x"}), line), 0);
    EXPECT_EQ(line.drawing, "C:\\A.000");
    EXPECT_EQ(line.newPdb, "C:\\A.PDB");
    EXPECT_EQ(line.sourceKind, 4);
    EXPECT_EQ(line.conditionFile, "");
    EXPECT_EQ(line.dashExpansion, 0);

    // Argument 4: /D1 and /D0 in any case are switches, not the condition file.
    for (const char* on : {"/D1", "/d1"}) {
        ASSERT_EQ(CommandLine_Read(Args({"T", "C:\\A.000", "C:\\A.PDB", "1", on}), line), 0);
        EXPECT_EQ(line.dashExpansion, 1) << on;
        EXPECT_EQ(line.conditionFile, "") << on;
    }
    ASSERT_EQ(CommandLine_Read(Args({"T", "C:\\A.000", "C:\\A.PDB", "1", "/d0", "/d1"}), line), 0);
    EXPECT_EQ(line.dashExpansion, 1);
    EXPECT_EQ(line.conditionFile, "");

    // Argument 5: only /D1 counts; /D0 and anything else leave the switch as it is.
    ASSERT_EQ(
        CommandLine_Read(Args({"T", "C:\\A.000", "C:\\A.PDB", "1", "C:\\C.TXT", "/D0"}), line), 0);
    EXPECT_EQ(line.conditionFile, "C:\\C.TXT");
    EXPECT_EQ(line.dashExpansion, 0);
    ASSERT_EQ(
        CommandLine_Read(Args({"T", "C:\\A.000", "C:\\A.PDB", "1", "C:\\C.TXT", "/d1", "x"}), line),
        0);
    EXPECT_EQ(line.dashExpansion, 1);
    ASSERT_EQ(CommandLine_Read(Args({"T", "C:\\A.000", "C:\\A.PDB", "1", "/D1", "/D2"}), line), 0);
    EXPECT_EQ(line.dashExpansion, 1);
    ASSERT_EQ(CommandLine_Read(Args({"T", "C:\\A.000", "C:\\A.PDB", "1", "/D11"}), line), 0);
    EXPECT_EQ(line.dashExpansion, 0);
    EXPECT_EQ(line.conditionFile, "Z:\\D11") << "not a switch: a host path";
}

TEST_F(JobParts, HostPathsBecomeWindowsNames) {
    CommandLine line;
    const std::string drawing = (Work() / "A.000").string();
    ASSERT_EQ(CommandLine_Read(Args({"T", drawing, "/tmp/out.pdb", "1", "c:cond.txt"}), line), 0);
    EXPECT_EQ(line.drawing, "C:\\WORK\\A.000");
    EXPECT_EQ(line.newPdb, "Z:\\tmp\\out.pdb");
    EXPECT_EQ(line.conditionFile, "c:cond.txt") << "a drive letter: a Windows path as given";
}

TEST_F(JobParts, DecimalAsPercentD) {
    EXPECT_EQ(ReadDecimal(""), 0);
    EXPECT_EQ(ReadDecimal("x1"), 0);
    EXPECT_EQ(ReadDecimal(" \t+12 3"), 12);
    EXPECT_EQ(ReadDecimal("-7\r"), -7);
    EXPECT_EQ(ReadDecimal("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(ReadDecimal("-99999999999999999999999"), INT_MIN);
}

TEST_F(JobParts, ConditionFileLookup) {
    const std::string path = "C:\\WORK\\COND.TXT";
    EXPECT_EQ(ConditionFile_Lookup("", kDownLevelKey), "");
    EXPECT_EQ(ConditionFile_Lookup(path, kDownLevelKey), "") << "missing file";

    Write("COND.TXT", "DownLevel1\n DownLevel 2\nother 3\ndownlevel 1\r\nDOWNLEVEL 4\n");
    EXPECT_EQ(ConditionFile_Lookup(path, kDownLevelKey), "1");
    Write("COND.TXT", "DownLevel1\nDownLevel \n");
    EXPECT_EQ(ConditionFile_Lookup(path, kDownLevelKey), "");
    Write("COND.TXT", "DownLevel 7");  // the last line has no line feed
    EXPECT_EQ(ConditionFile_Lookup(path, kDownLevelKey), "7");

    // A line of 10,000 bytes comes in pieces of 255 bytes, each a line of its own: a
    // key that a piece begins with matches; one in the middle of a piece does not.
    std::string longLine(255, 'x');
    longLine += "DownLevel 9" + std::string(10000 - 266, 'y') + "\n";
    Write("COND.TXT", std::string(10000, 'z') + "DownLevel 5\n");
    EXPECT_EQ(ConditionFile_Lookup(path, kDownLevelKey), "");
    Write("COND.TXT", longLine + "DownLevel 3\n");
    EXPECT_EQ(ConditionFile_Lookup(path, kDownLevelKey), "9" + std::string(255 - 11, 'y'));

    // Binary bytes: a NUL ends a line's text, nothing is read beyond the file.
    std::string binary;
    for (int i = 0; i < 5000; ++i) binary += static_cast<char>((i * 37) & 0xFF);
    Write("COND.TXT", binary + "\nDownLevel\0 1\nDownLevel 1\0junk\n"s + binary);
    EXPECT_EQ(ConditionFile_Lookup(path, kDownLevelKey), "1");
    Write("COND.TXT", "DownLevel\0 1\n\x81\n"s);
    EXPECT_EQ(ConditionFile_Lookup(path, kDownLevelKey), "");

    // A folder or a FIFO is no condition file.
    fs::create_directory(Work() / "DIR");
    EXPECT_EQ(ConditionFile_Lookup("C:\\WORK\\DIR", kDownLevelKey), "");
    ASSERT_EQ(mkfifo((Work() / "FIFO").c_str(), 0644), 0);
    EXPECT_EQ(ConditionFile_Lookup("C:\\WORK\\FIFO", kDownLevelKey), "");
}

TEST_F(JobParts, ExtensionFileName) {
    std::string name;
    ASSERT_EQ(ExtensionFile_Choose("C:\\WORK\\NEW.PDB", name), kExtensionNameOk);
    EXPECT_EQ(name, "C:\\WORK\\NEW.F01");
    for (int n = 1; n <= 5; ++n) Write("NEW.F0" + std::to_string(n), "");
    ASSERT_EQ(ExtensionFile_Choose("C:\\WORK\\new.pdb", name), kExtensionNameOk);
    EXPECT_EQ(name, "C:\\WORK\\new.F06");
    ASSERT_EQ(ExtensionFile_Choose("C:\\WORK\\表.D\\NEW", name), kExtensionNameOk);
    EXPECT_EQ(name, "C:\\WORK\\表.D\\NEW.F01");

    for (int n = 6; n <= 99; ++n) {
        char file[16];
        std::snprintf(file, sizeof file, "NEW.F%02d", n);
        Write(file, "");
    }
    EXPECT_EQ(ExtensionFile_Choose("C:\\WORK\\NEW.PDB", name), kExtensionNameNoneFree);
    EXPECT_EQ(name, "");

    // 255 bytes of PDB path without an extension would need 259 + NUL: fits; one more
    // byte does not.
    const std::string stem = "C:\\WORK\\" + std::string(247, 'N');
    ASSERT_EQ(ExtensionFile_Choose(stem + ".P", name), kExtensionNameOk);
    EXPECT_EQ(name.size(), 259u);
    EXPECT_EQ(ExtensionFile_Choose(stem + "N.P", name), kExtensionNameTooLong);
}

TEST_F(JobParts, SameFileByNameOrByHostFile) {
    Write("A.000", "a");
    Write("B.000", "b");
    fs::create_symlink(Work() / "A.000", Work() / "LINK.000");
    EXPECT_TRUE(JobPath_SameFile("C:\\WORK\\A.000", "c:\\work\\a.000"));
    EXPECT_TRUE(JobPath_SameFile("C:\\WORK\\A.000", "C:\\WORK\\..\\WORK\\A.000"));
    EXPECT_TRUE(JobPath_SameFile("C:\\WORK\\A.000", "C:\\WORK\\LINK.000"));
    EXPECT_FALSE(JobPath_SameFile("C:\\WORK\\A.000", "C:\\WORK\\B.000"));
    EXPECT_FALSE(JobPath_SameFile("C:\\WORK\\A.000", "C:\\WORK\\NEW.PDB"));
    EXPECT_TRUE(JobPath_FitsField(std::string(259, 'x'), kJobPathField));
    EXPECT_FALSE(JobPath_FitsField(std::string(260, 'x'), kJobPathField));
}

}  // namespace
