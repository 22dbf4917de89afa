#include "installer/util/ChildProcesses.h"

#include <filesystem>

#include "installer/tests/util/UtilTestSupport.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace fs = std::filesystem;

namespace {

// The build's test child, installed in the prefix as C:\WINDOWS\SYSTEM32\CHILD.EXE:
// it exits with the code it is told, sleeps, and writes its arguments and its
// current folder to a file.
class ChildProcesses : public UtilTest {
protected:
    ChildProcesses() {
        fs::copy_file(fs::path(TempPrefix::BinDir()) / "platform-test-child",
                      prefix.HostC("WINDOWS/SYSTEM32/CHILD.EXE"),
                      fs::copy_options::overwrite_existing);
    }
    // The line of the child's report that starts with `key` + "=".
    static std::string ReportLine(const std::string& path, const std::string& key) {
        for (const std::string& line : platform::SplitLines(Read(path))) {
            if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
        }
        return "(none)";
    }
};

TEST_F(ChildProcesses, ExitCodesComeBackSigned) {
    EXPECT_EQ(RunAndWait("", "CHILD.EXE --exit 0"), 0);
    EXPECT_EQ(RunAndWait("", "CHILD --exit 7"), 7);
    EXPECT_EQ(RunAndWait("", "CHILD.EXE --exit -1"), -1);
    EXPECT_EQ(RunAndWait("C:\\WINDOWS\\SYSTEM32\\CHILD.EXE", "CHILD.EXE --exit -5"), -5);
    EXPECT_EQ(RunDetachedAndWait("", "CHILD.EXE --exit 3", ""), 3);
}

TEST_F(ChildProcesses, StartFailuresReturnTheWindowsCode) {
    EXPECT_EQ(RunAndWait("", "NOSUCH.EXE /X"), 2);
    EXPECT_EQ(RunAndWait("C:\\NOSUCH\\PROG.EXE", ""), 3);
    EXPECT_EQ(RunDetachedAndWait("", "NOSUCH.EXE", ""), 2);
    Make("C:\\DATA\\TEXT.EXE", "not a program");
    EXPECT_NE(RunAndWait("C:\\DATA\\TEXT.EXE", ""), 0);
}

TEST_F(ChildProcesses, WaitsUntilTheChildHasEnded) {
    // The child writes its report (into its current folder, C:\) only after
    // sleeping: the file is there on return.
    EXPECT_EQ(RunAndWait("", "CHILD.EXE --sleep 300 --write LATE.TXT --exit 4"), 4);
    EXPECT_NE(ReportLine("C:\\LATE.TXT", "cmdline"), "(none)");
}

TEST_F(ChildProcesses, DetachedRunStartsInTheToolsFolder) {
    MakeDir("C:\\KEL\\TOOLS");
    const std::string toolsDir = "C:\\KEL\\TOOLS";
    const std::string line = "CHILD.EXE --write HERE.TXT \"two words\"";
    EXPECT_EQ(RunDetachedAndWait("", line, toolsDir), 0);
    const std::string report = "C:\\KEL\\TOOLS\\HERE.TXT";
    EXPECT_EQ(fs::path(ReportLine(report, "cwd")), fs::path(prefix.HostC("KEL/TOOLS")));
    EXPECT_EQ(ReportLine(report, "cmdline"), line);
    EXPECT_EQ(ReportLine(report, "argv[3]"), "two words");

    // The plain run keeps the caller's folder.
    ASSERT_EQ(platform::SetCurrentDirectoryW("C:\\KEL"), 0u);
    EXPECT_EQ(RunAndWait("", "CHILD.EXE --write HERE.TXT"), 0);
    EXPECT_TRUE(Exists("C:\\KEL\\HERE.TXT"));
}

TEST_F(ChildProcesses, ProgramNameWithEmptyCommandLine) {
    MakeDir("C:\\KEL\\TOOLS");
    const std::string toolsDir = "C:\\KEL\\TOOLS";
    EXPECT_EQ(RunDetachedAndWait("C:\\WINDOWS\\SYSTEM32\\CHILD.EXE", "", toolsDir), 0);
}

// The removal line quotes a folder only when it holds a blank; either way the real
// command interpreter removes exactly that folder with everything in it.
TEST_F(ChildProcesses, RemoveTreeCommandLineQuotesOnlyFoldersWithBlanks) {
    EXPECT_EQ(RemoveTreeCommandLine("C:\\KEL\\DOWN\\REV"),
              "COMMAND /C RMDIR /S/Q C:\\KEL\\DOWN\\REV");
    EXPECT_EQ(RemoveTreeCommandLine("C:\\OLD 表ソ"), "COMMAND /C RMDIR /S/Q \"C:\\OLD 表ソ\"");
    EXPECT_EQ(RemoveTreeCommandLine("C:\\表ソ能"), "COMMAND /C RMDIR /S/Q C:\\表ソ能");

    Make("C:\\OLD 表ソ\\SUB\\.HIDDEN", "h");
    Make("C:\\OLD 表ソ\\A.TXT", "a");
    Make("C:\\OLD\\KEEP.TXT", "k");  // what the unquoted line would have taken
    Make("C:\\PLAIN\\B.TXT", "b");
    EXPECT_EQ(RunAndWait("", RemoveTreeCommandLine("C:\\OLD 表ソ")), 0);
    EXPECT_FALSE(Exists("C:\\OLD 表ソ"));
    EXPECT_EQ(Read("C:\\OLD\\KEEP.TXT"), "k");
    EXPECT_EQ(RunAndWait("", RemoveTreeCommandLine("C:\\PLAIN")), 0);
    EXPECT_FALSE(Exists("C:\\PLAIN"));
}

}  // namespace
