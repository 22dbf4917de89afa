// Running a real child program: exit codes when waiting, no wait otherwise, the start
// failures, and what the child inherits.
#include "support/util/ProcRun.h"

#include <filesystem>

#include "converter/tests/util/UtilTestSupport.h"
#include "platform/Cp932.h"

namespace {

class ProcRun : public UtilTest {
  protected:
    // The child writes its report by host path relative to its current folder, which is
    // the caller's: C:\.
    void SetUp() override {
        UtilTest::SetUp();
        InstallChild("CHILD.EXE");
        ASSERT_EQ(platform::SetCurrentDirectoryW("C:\\"), 0u);
    }
    static std::string ReportLine(const std::string& path, const std::string& key) {
        std::string text;
        if (platform::ReadFileBytes(path, text) != 0) return "(missing)";
        for (const std::string& line : platform::SplitLines(text)) {
            if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
        }
        return "(none)";
    }
};

TEST_F(ProcRun, WaitingGivesTheSignedExitCode) {
    std::int32_t code = 12345;
    EXPECT_EQ(Proc_Run("CHILD.EXE --exit 7", true, code), 0);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(Proc_Run("CHILD --exit -1", true, code), 0);
    EXPECT_EQ(code, -1);
    // The child's work is done when the call returns.
    EXPECT_EQ(Proc_Run("CHILD.EXE --sleep 200 --write DONE.TXT --exit 3", true, code), 0);
    EXPECT_EQ(code, 3);
    EXPECT_TRUE(platform::FileExists("C:\\DONE.TXT"));
}

TEST_F(ProcRun, WithoutWaitingTheChildRunsOnByItself) {
    std::int32_t code = 12345;
    EXPECT_EQ(Proc_Run("CHILD.EXE --sleep 1500 --write LATER.TXT --exit 9", false, code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(platform::FileExists("C:\\LATER.TXT"));  // still asleep
}

TEST_F(ProcRun, ChildGetsTheLineAndNoDescriptors) {
    std::int32_t code = -5;
    const std::string line = "CHILD.EXE --write REPORT.TXT \"two words\" 表";
    ASSERT_EQ(Proc_Run(line, true, code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReportLine("C:\\REPORT.TXT", "cmdline"), line);  // the exact code page 932 bytes
    EXPECT_EQ(ReportLine("C:\\REPORT.TXT", "argv[3]"), "two words");
    EXPECT_EQ(ReportLine("C:\\REPORT.TXT", "fds"), "");
}

TEST_F(ProcRun, FailuresLeaveTheExitCodeAlone) {
    std::int32_t code = 77;
    EXPECT_EQ(Proc_Run("", true, code), kProcNoCommandLine);
    EXPECT_EQ(Proc_Run(std::string_view(), true, code), kProcNoCommandLine);
    EXPECT_EQ(Proc_Run("NOSUCH.EXE /X", true, code), kProcStartFailed);
    Make("C:\\DATA\\TEXT.EXE", "not a program");
    EXPECT_EQ(Proc_Run("C:\\DATA\\TEXT.EXE", true, code), kProcStartFailed);
    EXPECT_EQ(code, 77);
}

}  // namespace
