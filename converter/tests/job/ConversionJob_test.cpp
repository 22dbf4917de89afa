// The job in-process, on a clock and a pause of the test's own: the timing report, the
// ten attempts at the working copy, and the analyser's command line.
#include "tolvane/ConversionJob.h"

#include <vector>

#include "JobFixture.h"
#include "platform/Registry.h"
#include "tolvane/AnalyserRun.h"

namespace job_test {
namespace {

// The product's settings key (Fennoc reads it on every request).
platform::RegKey PdmKey() {
    platform::RegKey key;
    EXPECT_EQ(platform::RegOpenKey(platform::RegRoot::CurrentUser, "SOFTWARE\\KEL\\PDM",
                                   platform::RegAccess::ReadWrite, key),
              0u);
    return key;
}

class ConversionJob : public JobFixture {
  protected:
    // Runs the job on a clock that answers `start`, then `start + elapsed` ever after,
    // and records the pauses it asks for.
    int RunJob(const std::vector<std::string>& texts, std::time_t elapsed, std::string& log) {
        std::vector<ProgramArgument> args;
        for (const std::string& t : texts) args.push_back(ProgramArgument{t, t});
        int calls = 0;
        JobServices services;
        services.now = [&calls, elapsed]() -> std::time_t {
            return calls++ == 0 ? 1000000 : 1000000 + elapsed;
        };
        services.sleepMs = [this](std::uint32_t ms) { pauses_.push_back(ms); };
        auto monitor = StartMonitor();
        if (!monitor) return -1000;
        const int code = Job_Run(args, services);
        log = Lines(*monitor);
        return code;
    }
    std::vector<std::uint32_t> pauses_;
};

TEST_F(ConversionJob, ElapsedTimeInWholeMinutesAndSeconds) {
    MakeDrawing(Host("C:\\WORK") + "/PLAN.000", kSimpleDrawing);
    const std::vector<std::string> args{"Tolvane.EXE", "C:\\WORK\\PLAN.000", "C:\\WORK\\PLAN.PDB",
                                        "1"};
    std::string log;
    ASSERT_EQ(RunJob(args, 125, log), 0) << log;
    EXPECT_NE(log.find("Tolvane.EXE 処理タイム表示\n      [2]分 [5]秒 [125.000]\n"),
              std::string::npos)
        << log;
    ASSERT_EQ(RunJob(args, 60, log), 0) << log;
    EXPECT_NE(log.find("Tolvane.EXE 処理タイム表示\n      [1]分 [0]秒 [60.000]\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(pauses_.empty());
}

TEST_F(ConversionJob, TenFailedWorkingCopiesEndWithTwo) {
    MakeDrawing(Host("C:\\WORK") + "/PLAN.000", kSimpleDrawing);
    // The temporary folder does not exist: every copy fails.
    const platform::RegKey key = PdmKey();
    std::string saved;
    ASSERT_EQ(platform::RegQueryString(key, "TMPDIR", saved), 0u);
    ASSERT_EQ(platform::RegSetString(key, "TMPDIR", "C:\\NO\\TMP"), 0u);
    std::string log;
    const int code =
        RunJob({"Tolvane.EXE", "C:\\WORK\\PLAN.000", "C:\\WORK\\PLAN.PDB", "1"}, 0, log);
    ASSERT_EQ(platform::RegSetString(key, "TMPDIR", saved), 0u);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(pauses_, std::vector<std::uint32_t>(9, 3000));
    EXPECT_EQ(Names(Host("C:\\WORK")), std::vector<std::string>{"PLAN.000"});
}

TEST_F(ConversionJob, AnalyserCommandLine) {
    EXPECT_EQ(Analyser_CommandLine("C:\\KEL\\PDM\\TMP\\1A2B.099"),
              "C:\\KEL\\PROGS\\Stovik.EXE C:\\KEL\\PDM\\TMP\\1A2B.099");
    EXPECT_EQ(Analyser_CommandLine("C:\\MY WORK\\1A2B.099"),
              "C:\\KEL\\PROGS\\Stovik.EXE \"C:\\MY WORK\\1A2B.099\"");
    const platform::RegKey key = PdmKey();
    std::string saved;
    ASSERT_EQ(platform::RegQueryString(key, "KELPROGS", saved), 0u);
    ASSERT_EQ(platform::RegSetString(key, "KELPROGS", "C:\\表"), 0u);
    EXPECT_EQ(Analyser_CommandLine("C:\\A.099"), "C:\\表\\Stovik.EXE C:\\A.099");
    ASSERT_EQ(platform::RegDeleteValue(key, "KELPROGS"), 0u);
    EXPECT_EQ(Analyser_CommandLine("C:\\A.099"), "Stovik.EXE C:\\A.099");
    ASSERT_EQ(platform::RegSetString(key, "KELPROGS", saved), 0u);
}

}  // namespace
}  // namespace job_test
