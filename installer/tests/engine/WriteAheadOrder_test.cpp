// The write-ahead order of every command kind: at the checkpoint after the backup
// step the undo lines and saved copies are on disk and the machine is as it was
// before the command; a job stopped exactly there (as a killed one) is put back by
// the uninstall script as it stands, the undo lines of the change that never
// happened included.
#include "RollbackFixture.h"

namespace {

using namespace engine_test;

struct Stop {
    int at = 0;  // command number to stop at, after its write-ahead
    bool reached = false;
    Machine beforeCommand, afterWriteAhead;
    std::string undo;
};
class WriteAhead : public RollbackFixture {
  protected:
    // The checkpoint hook of these tests: notes every checkpoint and, at command
    // stop_.at, captures the machine before the command and after its write-ahead,
    // then aborts the job there.
    void StopAfterWriteAhead(JobCheckpoint point, int number) {
        seen_.push_back((point == JobCheckpoint::BeforeCommand ? "B" : "A") +
                        std::to_string(number));
        if (number != stop_.at) return;
        if (point == JobCheckpoint::BeforeCommand) {
            stop_.beforeCommand = Capture();
            return;
        }
        stop_.reached = true;
        stop_.afterWriteAhead = Capture();
        stop_.undo = UndoText();
        state_.job.AbortJob();
    }
    void InstallStopHook() {
        state_.job.SetJobCheckpointHook(
            [this](JobCheckpoint point, int number) { StopAfterWriteAhead(point, number); });
    }

    Stop stop_;
    std::vector<std::string> seen_;
};

struct Case {
    const char* command;
    const char* undoLine;   // recorded ahead of the change
    const char* savedName;  // a saved copy in the store ("" for none)
    const char* savedFrom;  // the file it must equal (Windows path, "" for none)
};

const Case kCases[] = {
    {"C CONF.INI C:\\APP\\", "C CONF.INI C:\\APP\\", "CONF.INI", "C:\\APP\\CONF.INI"},
    {"C ADDED.INI C:\\APP\\", "D C:\\APP\\ADDED.INI", "", ""},
    {"D C:\\APP\\LOGS\\*.LOG", "C A.LOG C:\\APP\\LOGS\\", "A.LOG", "C:\\APP\\LOGS\\A.LOG"},
    {"L APP.LZH C:\\APP", "L APP.LZH C:\\APP\\", "APP.LZH", ""},
    {"A LIST.TXT C:\\APP", "C LIST.TXT C:\\APP\\", "LIST.TXT", "C:\\APP\\LIST.TXT"},
    {"P REMOVE.LST C:\\APP", "C REMOVE.LST C:\\APP\\", "REMOVE.LST", "C:\\APP\\REMOVE.LST"},
    {"A PACKAGE.INF C:\\KEL\\INSTALL", "C package.5 C:\\KEL\\INSTALL\\", "package.5",
     "C:\\KEL\\INSTALL\\package.5"},
    {"R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\PATH\" \"NEW\"",
     "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\Path\" \"old\"", "", ""},
    {"R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\NEWVAL X",
     "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\NEWVAL\"", "", ""},
    {"R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\GONE\"",
     "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\Gone\" \"Bye\"", "", ""},
};

class WriteAheadEachCommand : public WriteAhead, public ::testing::WithParamInterface<int> {};

TEST_P(WriteAheadEachCommand, RecordedAheadMachineUnchangedAndRollbackRestoresAll) {
    const int stopAt = GetParam();
    const Case& c = kCases[stopAt - 1];
    std::vector<std::string> commands;
    for (const Case& each : kCases) commands.push_back(each.command);
    const Machine before = Capture();
    std::string savedBefore = c.savedFrom[0] != '\0' ? Read(c.savedFrom) : "";

    stop_.at = stopAt;
    InstallStopHook();
    Install(commands);
    state_.job.SetJobCheckpointHook(nullptr);

    ASSERT_TRUE(stop_.reached) << c.command << "\n" << messages_.AllTexts();
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_TRUE(messages_.Boxes().empty()) << messages_.AllTexts();
    // Nothing of the command has reached the machine yet...
    EXPECT_TRUE(stop_.afterWriteAhead == stop_.beforeCommand) << c.command;
    // ...but its undo line and saved copy are on disk.
    EXPECT_NE(stop_.undo.find(std::string(c.undoLine) + "\r\n"), std::string::npos)
        << c.command << "\n"
        << Utf8(stop_.undo);
    if (c.savedName[0] != '\0') {
        EXPECT_TRUE(platform::FileExists(Store() + "\\" + c.savedName)) << c.savedName;
    }
    if (c.savedFrom[0] != '\0') {
        EXPECT_EQ(Read(Store() + "\\" + c.savedName), savedBefore);
    }
    // The undo script stays a complete, readable script at every point.
    EXPECT_EQ(stop_.undo.substr(stop_.undo.size() - 9), "INSTEND\r\n");

    messages_.Clear();
    Uninstall();
    EXPECT_TRUE(Capture() == before) << c.command;
    EXPECT_EQ(FilesBelow("C:\\APP"), before.app) << c.command;
    EXPECT_EQ(RegistryValues(platform::RegRoot::LocalMachine, kAppKey), before.values) << c.command;
}

INSTANTIATE_TEST_SUITE_P(Commands, WriteAheadEachCommand,
                         ::testing::Range(1, static_cast<int>(std::size(kCases)) + 1));

class WriteAheadCheckpoints : public WriteAheadEachCommand {};

TEST_F(WriteAheadCheckpoints, NumberedPerDispatchedLineFromOneInEveryRun) {
    Write("K:\\A.TXT", "a");
    InstallStopHook();
    // "@" lines count; lines of a false IF block are not dispatched; a failing
    // command reaches only its first checkpoint.
    Install({"@OTHER", "IF C:\\NOWHERE", "C A.TXT C:\\OUT\\", "END", "C A.TXT C:\\OUT\\",
             "C MISSING.TXT C:\\OUT\\"},
            "INST,番号");
    EXPECT_EQ(seen_, (std::vector<std::string>{"B1", "A1", "B2", "A2", "B3"}));
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);

    // An uninstall run counts from 1 again.
    StartNewJob();
    Install({"C A.TXT C:\\OUT\\B.TXT"});
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    seen_.clear();
    Uninstall();
    EXPECT_EQ(seen_, (std::vector<std::string>{"B1", "A1"}));
    EXPECT_FALSE(platform::FileExists("C:\\OUT\\B.TXT"));
}

TEST_F(WriteAheadCheckpoints, WithoutSyncTheOrderIsTheSame) {
    state_.env.WriteAheadSync = false;
    const Machine before = Capture();
    stop_.at = 2;
    InstallStopHook();
    Install({"C CONF.INI C:\\APP\\", "D C:\\APP\\LOGS\\*.LOG"});
    state_.job.SetJobCheckpointHook(nullptr);
    ASSERT_TRUE(stop_.reached);
    EXPECT_TRUE(platform::FileExists("C:\\APP\\LOGS\\A.LOG"));
    EXPECT_EQ(Read(Store() + "\\A.LOG"), "a");
    Uninstall();
    EXPECT_TRUE(Capture() == before);
}

class WriteAheadSetting : public EngineMedium {};

TEST_F(WriteAheadSetting, OnlyCrashGivesUpTheSync) {
    auto load = [&](const char* value) {
        platform::RegKey key;
        EXPECT_EQ(
            platform::RegCreateKey(platform::RegRoot::CurrentUser, "SOFTWARE\\KEL\\MORVANUP", key),
            0u);
        if (value == nullptr) {
            EXPECT_EQ(platform::RegDeleteValue(key, "WRITEAHEAD"), 0u);
        } else {
            EXPECT_EQ(platform::RegSetString(key, "WRITEAHEAD", value), 0u);
        }
        InstallEnvironment env;
        EXPECT_TRUE(env.WriteAheadSync);
        env.WriteAheadSync = false;
        EXPECT_EQ(LoadInstallEnvironment(env), 0) << messages_.AllTexts();
        return env.WriteAheadSync;
    };
    EXPECT_FALSE(load("CRASH"));
    EXPECT_FALSE(load("crash"));
    EXPECT_TRUE(load("POWER"));
    EXPECT_TRUE(load("CRASHED"));
    EXPECT_TRUE(load(""));
    EXPECT_TRUE(load(nullptr));
}

}  // namespace
