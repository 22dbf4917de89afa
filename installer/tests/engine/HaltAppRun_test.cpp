// "@HALTAPP": a warning, then HALTAPP once per run; PAUSER at the end only when
// HALTAPP ran. The stand-ins log each run to $MORVAN_PREFIX/logs/<TOOL>.log.
#include "EngineMedium.h"
#include "installer/engine/ForceTermination.h"
#include "installer/engine/ScriptExecution.h"

namespace {

using namespace engine_test;

class HaltAppRun : public EngineMedium {
protected:
    std::vector<std::string> Log(const std::string& tool) {
        std::ifstream in(prefix_.dir() + "/logs/" + tool + ".log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

TEST_F(HaltAppRun, WarnsRunsOnceAcrossEntriesAndPauserFollowsAtTheEnd) {
    Write("K:\\A.TXT", "a");
    WriteScript(0, Lines({"2.10/20240101", "INST,一", "@HALTAPP", "C A.TXT C:\\OUT\\", "@HALTAPP", "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101", "INST,二", "@HALTAPPNOW", "C A.TXT C:\\OUT\\B.TXT", "INSTEND"}));
    int count = ScanScripts(state_, false);
    for (int i = 1; i <= count; ++i) RunScript(state_, i, false);
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 5);
    auto boxes = messages_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "強制終了");
    EXPECT_EQ(boxes[0].text,
              "アプリケーションの強制終了を行います。\r未保存のデータがある場合は保存した後、ＯＫを押してください。");
    auto halts = Log("HALTAPP");
    ASSERT_EQ(halts.size(), 1u);
    // Time, current directory (the tools folder), command line.
    EXPECT_NE(halts[0].find("\tC:\\KEL\\TOOLS\tC:\\KEL\\TOOLS\\HALTAPP.EXE /NONUI"), std::string::npos)
        << halts[0];
    EXPECT_EQ(state_.run.HaltAppState, kHaltAppHasRun);
    EXPECT_TRUE(Log("PAUSER").empty());

    RunPauserIfHalted(state_.env, state_.run);
    auto pausers = Log("PAUSER");
    ASSERT_EQ(pausers.size(), 1u);
    EXPECT_NE(pausers[0].find("\tC:\\KEL\\TOOLS\t"), std::string::npos) << pausers[0];
}

TEST_F(HaltAppRun, OtherAtLinesDoNothingAndNoPauserWithoutHalt) {
    EXPECT_EQ(ForceTerminateApplications(state_.env, state_.run, "@HALT"), 1);
    EXPECT_EQ(ForceTerminateApplications(state_.env, state_.run, "@OTHER"), 1);
    RunPauserIfHalted(state_.env, state_.run);
    EXPECT_TRUE(messages_.Boxes().empty());
    EXPECT_TRUE(Log("HALTAPP").empty());
    EXPECT_TRUE(Log("PAUSER").empty());
}

TEST_F(HaltAppRun, MissingHaltAppStillCountsAsRunAndPauserStillStarts) {
    // Without the stand-in built the program is missing already, which is the point.
    (void)platform::DeleteFileW("C:\\KEL\\TOOLS\\HALTAPP.EXE");
    ASSERT_FALSE(platform::FileExists("C:\\KEL\\TOOLS\\HALTAPP.EXE"));
    EXPECT_EQ(ForceTerminateApplications(state_.env, state_.run, "@HALTAPP"), 1);
    EXPECT_EQ(state_.run.HaltAppState, kHaltAppHasRun);
    RunPauserIfHalted(state_.env, state_.run);
    EXPECT_EQ(Log("PAUSER").size(), 1u);
}

}  // namespace
