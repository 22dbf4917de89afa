// Every write of the engine's own files is checked: one that fails stops the job
// with -13 and the failing path, nothing after it is applied, and the job is not
// reported as done. The failures are real: a folder or a plain file standing where
// the file must go, a hive that can no longer be read.
#include <fstream>
#include <functional>

#include "RollbackFixture.h"
#include "installer/env/JobRecord.h"

namespace {

using namespace engine_test;

std::string Broken(const std::string& detail) {
    return "バージョンアップの内容が破損しています。\rerror in \"" + detail + "\"";
}

class CheckedWrites : public RollbackFixture {
  protected:
    // Makes the checkpoint hook run `action` on the machine at checkpoint `point` of
    // command `number`.
    void ActAt(JobCheckpoint point, int number, std::function<void()> action) {
        state_.job.SetJobCheckpointHook(
            [point, number, action = std::move(action)](JobCheckpoint reached, int at) {
                if (reached == point && at == number && action) action();
            });
    }
    // A folder (holding a file, so that nothing removes it as empty) where `path` must be.
    void Block(const std::string& path) {
        if (platform::FileExists(path)) {
            ASSERT_EQ(platform::DeleteFileW(path), 0u);
        }
        Write(path + "\\X", "x");
    }
    void ExpectStopped(const std::string& detail) {
        EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
        EXPECT_EQ(messages_.AllTexts(), Broken(detail));
    }
};

TEST_F(CheckedWrites, StoreFilesThatCannotBeWrittenStopTheEntry) {
    Write("K:\\A.TXT", "a");
    const std::string marker = Store() + "\\INST00.DA_";
    const std::string script = Store() + "\\INST00.DAT";
    const std::string control =
        state_.env.VersionDownRoot + "\\" + state_.run.CurrentMedia.RevisionName + "\\MorvanUP.INF";

    // The store folder blocked by a plain file: nothing of the entry runs.
    Write(state_.env.VersionDownRoot + "\\" + state_.run.CurrentMedia.RevisionName, "a file");
    Install({"C A.TXT C:\\OUT\\"});
    ExpectStopped(Store());
    EXPECT_FALSE(platform::PathExists("C:\\OUT\\A.TXT"));
    ASSERT_EQ(platform::DeleteFileW(state_.env.VersionDownRoot + "\\" +
                                    state_.run.CurrentMedia.RevisionName),
              0u);

    // The uninstall script cannot be begun: nothing of the entry runs.
    StartNewJob();
    messages_.Clear();
    Block(script);
    Install({"C A.TXT C:\\OUT\\"});
    ExpectStopped(script);
    EXPECT_FALSE(platform::PathExists("C:\\OUT\\A.TXT"));
    EXPECT_TRUE(RemoveTree(script));

    // The marker, and the saved control file of an uninstallable entry.
    for (const std::string& blocked : {marker, control}) {
        StartNewJob();
        messages_.Clear();
        Block(blocked);
        Install({"C A.TXT C:\\OUT\\"});
        ExpectStopped(blocked);
        EXPECT_FALSE(platform::FileExists(marker));
        EXPECT_TRUE(RemoveTree(blocked));
    }
}

TEST_F(CheckedWrites, UndoRecordOrSavedCopyThatCannotBeWrittenLeavesTheMachineAlone) {
    const Machine before = Capture();
    const std::string script = Store() + "\\INST00.DAT";
    // The uninstall script turns into a folder before the second command.
    ActAt(JobCheckpoint::BeforeCommand, 2, [&] { Block(script); });
    Install({"C CONF.INI C:\\APP\\", "C ADDED.INI C:\\APP\\"});
    ExpectStopped(script);
    EXPECT_FALSE(platform::FileExists("C:\\APP\\ADDED.INI"));
    EXPECT_EQ(Read("C:\\APP\\CONF.INI"), "[new]\r\n");  // the first command ran

    // The saved copy of a file that is about to be replaced or deleted.
    for (const char* line : {"C CONF.INI C:\\APP\\", "D C:\\APP\\LOGS\\*.LOG"}) {
        StartNewJob();
        messages_.Clear();
        state_.job.SetJobCheckpointHook(nullptr);
        ASSERT_TRUE(
            RemoveTree(state_.env.VersionDownRoot + "\\" + state_.run.CurrentMedia.RevisionName));
        Write("C:\\APP\\CONF.INI", "[old]\r\n");
        // Every name the copy could be kept under is taken by a folder.
        const std::string stem = Store() + (line[0] == 'C' ? "\\CONF" : "\\A");
        const std::string extension = line[0] == 'C' ? ".INI" : ".LOG";
        Block(stem + extension);
        for (int n = 1; n <= 99; ++n) Block(stem + "~" + TwoDigitNumber(n) + extension);
        Install({line});
        ExpectStopped(stem + extension);
        EXPECT_TRUE(Capture() == before) << line;
    }
}

TEST_F(CheckedWrites, ListAndPackageFilesThatCannotBeWrittenFailTheCommand) {
    const Machine before = Capture();
    // The scratch file of a list rewrite.
    Block(state_.env.WorkScratchFile);
    Install({"A LIST.TXT C:\\APP"}, "INST,一覧");
    ExpectStopped(state_.env.WorkScratchFile);
    EXPECT_TRUE(RemoveTree(state_.env.WorkScratchFile));

    // The plain package list cannot be decoded into the work root.
    StartNewJob();
    messages_.Clear();
    const std::string plain = state_.env.WorkRoot + "\\PACKAGE.INF";
    Block(plain);
    Install({"A PACKAGE.INF C:\\KEL\\INSTALL"}, "INST,一覧");
    ExpectStopped(plain);
    EXPECT_TRUE(RemoveTree(plain));

    // The scrambled list cannot be written in the staging directory.
    StartNewJob();
    messages_.Clear();
    const std::string staged = state_.env.ExtractDir + "\\package.5";
    ActAt(JobCheckpoint::BeforeCommand, 1, [&] { Block(staged); });
    Install({"A PACKAGE.INF C:\\KEL\\INSTALL"});
    ExpectStopped(staged);
    EXPECT_TRUE(Capture() == before);
    EXPECT_EQ(PackageText(), "PKG1\r\n");
}

TEST_F(CheckedWrites, RegistryWriteThatFailsFailsTheLine) {
    const std::string hive = prefix_.dir() + "/system.reg";
    std::string saved;
    {
        std::ifstream in(hive, std::ios::binary);
        saved.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string line = "R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\PATH NEW";
    for (const char* section : {"INST,値", "UNINST,値"}) {
        StartNewJob();
        messages_.Clear();
        // The hive becomes unreadable once the line has been checked and recorded.
        ActAt(JobCheckpoint::AfterWriteAhead, 1,
              [&] { std::ofstream(hive, std::ios::binary) << "garbage"; });
        Install({line}, section);
        ExpectStopped(line);
        std::ofstream(hive, std::ios::binary) << saved;
        EXPECT_EQ(GetValue(platform::RegRoot::LocalMachine, kAppKey, "Path"), "old");
        EXPECT_FALSE(platform::FileExists(Store() + "\\INST00.DA_"));
    }
    // The key removed after the check: the value cannot be written.
    StartNewJob();
    messages_.Clear();
    ActAt(JobCheckpoint::AfterWriteAhead, 1,
          [] { ASSERT_EQ(platform::RegDeleteTree(platform::RegRoot::LocalMachine, kAppKey), 0u); });
    Install({line}, "INST,値");
    ExpectStopped(line);
}

TEST_F(CheckedWrites, JobRecordThatCannotBeWrittenRunsNothing) {
    JobRecord record;
    record.mode = JobMode::Install;
    record.group = state_.run.CurrentMedia.RevisionName;
    std::string failed;
    ASSERT_TRUE(state_.record.OpenJobRecord(state_.env, record, failed)) << failed;
    Block(JobRecordPath(state_.env));
    Write("K:\\A.TXT", "a");
    Install({"C A.TXT C:\\OUT\\"});
    ExpectStopped(JobRecordPath(state_.env));
    EXPECT_FALSE(platform::PathExists("C:\\OUT\\A.TXT"));
    EXPECT_FALSE(platform::PathExists(Store() + "\\INST00.DAT"));
}

TEST_F(CheckedWrites, UninstallThatCannotRemoveItsMarkerKeepsItsScriptForAnotherRun) {
    const Machine before = Capture();
    Install({"C ADDED.INI C:\\APP\\"});
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    const std::string marker = Store() + "\\INST00.DA_";
    Block(marker);
    RunKeptGroupUninstall();
    ExpectStopped(marker);
    EXPECT_TRUE(platform::FileExists(Store() + "\\INST00.DAT"));
    // Run again once the marker can go: it ends.
    EXPECT_TRUE(RemoveTree(marker));
    messages_.Clear();
    Uninstall();
    EXPECT_TRUE(Capture() == before);
    EXPECT_FALSE(platform::PathExists(Store()));
}

}  // namespace
