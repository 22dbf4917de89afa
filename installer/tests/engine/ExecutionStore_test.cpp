// What a run leaves in the version-down store: uninstall scripts, markers, the saved
// control file; and the uninstall run that consumes them.
#include "EngineMedium.h"
#include "installer/engine/ScriptExecution.h"
#include "installer/engine/ScriptLines.h"
#include "installer/util/ChildProcesses.h"

namespace {

using engine_test::EngineMedium;
using engine_test::Lines;
using engine_test::Read;
using engine_test::Utf8;
using engine_test::Write;

class ExecutionStore : public EngineMedium {
protected:
    void RunAll(bool fresh) {
        int count = ScanScripts(state_, fresh);
        for (int i = 1; i <= count; ++i) {
            if (state_.table.Entry(i).CommandCount != 0) RunScript(state_, i, fresh);
        }
    }
    const std::string store_ = "C:\\MORVAN\\MorvanDN";
};

TEST_F(ExecutionStore, UninstallableEntryWritesItsScriptMarkerAndControlFile) {
    Write("K:\\A.TXT", "a");
    WriteScript(2, Lines({"2.10/20240101", "readme", "Erst lesen", "READMEEND", "uninst,取消可能",
                          "C A.TXT C:\\APP\\", "INSTEND", "README", "zweiter Abschnitt",
                          "READMEEND"}));
    RunAll(true);
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(state_.env.VersionDownRoot, store_);
    const std::string undo = Read(store_ + "\\Revision\\01\\INST02.DAT");
    // Upper-case throughout, CR LF, the README section that stood first copied before
    // the section line, and only that one.
    const std::string head = Lines({"2.10/20240101", "README", "ERST LESEN", "READMEEND"});
    EXPECT_EQ(undo.substr(0, head.size()), head) << Utf8(undo);
    EXPECT_NE(undo.find("\r\nUNINST,取消可能\r\n"), std::string::npos) << Utf8(undo);
    EXPECT_EQ(undo.substr(undo.size() - 9), "INSTEND\r\n") << Utf8(undo);
    EXPECT_EQ(undo.find("ZWEITER"), std::string::npos);
    EXPECT_EQ(Read(store_ + "\\Revision\\01\\INST02.DA_"), "");
    EXPECT_EQ(state_.entry.UndoScriptPath, store_ + "\\Revision\\01\\INST02.DAT");
    // The medium's control file with the version installed before it.
    EXPECT_EQ(Read(store_ + "\\Revision\\MorvanUP.INF"),
              Lines({"Morvan,テスト", "2.10/20240101", "2.00/", "01/01", "2.00"}));
}

TEST_F(ExecutionStore, ReadmeAfterTheSectionFollowsItsInstendLine) {
    // A program that cannot start records no undo line.
    WriteScript(0, Lines({"2.10/20240101", "UNINST,T", "X C:\\NOPE.EXE", "INSTEND", "README",
                          "nachher", "READMEEND"}));
    RunAll(false);
    EXPECT_EQ(Read(store_ + "\\Revision\\01\\INST00.DAT"),
              Lines({"2.10/20240101", "UNINST,T", "INSTEND", "README", "NACHHER", "READMEEND"}));
    // Not a fresh revision: no control file is saved.
    EXPECT_FALSE(platform::FileExists(store_ + "\\Revision\\MorvanUP.INF"));
}

TEST_F(ExecutionStore, PlainEntryKeepsNoUninstallScriptButIsMarked) {
    WriteControlFile("2.1x/20240101");  // revision-only: the group is named by its id
    WriteScript(5, Lines({"2.1X/20240101", "README", "vorher", "READMEEND", "INST,普通",
                          "D C:\\NONE\\*.X", "INSTEND"}));
    RunAll(true);
    EXPECT_FALSE(platform::FileExists(store_ + "\\20240101\\01\\INST05.DAT"));
    EXPECT_TRUE(platform::FileExists(store_ + "\\20240101\\01\\INST05.DA_"));
    EXPECT_FALSE(platform::FileExists(store_ + "\\20240101\\MorvanUP.INF"));
    EXPECT_EQ(state_.entry.UndoScriptPath, kNonBackup);
    // The next scan sees the entry as installed.
    ScanScripts(state_, false);
    EXPECT_EQ(state_.table.Entry(1).Status, kScriptInstalled);
}

TEST_F(ExecutionStore, UninstSectionAfterAnInstSectionRecordsNothing) {
    WriteScript(0, Lines({"2.10/20240101", "INST,A", "D C:\\NONE\\*.X", "INSTEND", "UNINST,B",
                          "D C:\\NONE\\*.Y", "INSTEND"}));
    RunAll(false);
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 2);
    EXPECT_FALSE(platform::FileExists(store_ + "\\Revision\\01\\INST00.DAT"));
    EXPECT_FALSE(platform::FileExists("C:\\NON_BACKUP"));
    EXPECT_FALSE(platform::FileExists("C:\\KEL\\TOOLS\\NON_BACKUP"));
}

TEST_F(ExecutionStore, HeaderMismatchRunsNothingAndWritesNoMarker) {
    Write("K:\\A.TXT", "a");
    WriteScript(0, Lines({"2.10/20240101", "INST,A", "C A.TXT C:\\APP\\", "INSTEND"}));
    ASSERT_EQ(ScanScripts(state_, false), 1);
    // The script changed between the scan and the run.
    WriteScript(0, Lines({"2.10/20991231", "INST,A", "C A.TXT C:\\APP\\", "INSTEND"}));
    RunScript(state_, 1, false);
    EXPECT_FALSE(platform::FileExists("C:\\APP\\A.TXT"));
    EXPECT_FALSE(platform::FileExists(store_ + "\\Revision\\01\\INST00.DA_"));
    EXPECT_FALSE(platform::FileExists(store_ + "\\Revision\\01\\INST00.DAT"));
    // Indices outside the table run nothing.
    RunScript(state_, 0, false);
    RunScript(state_, 2, false);
    RunScript(state_, 1000, false);
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 0);
}

TEST_F(ExecutionStore, UninstallRunRemovesScriptsAndTheMediaDirectoryWhenEmpty) {
    // A kept group as an earlier install left it: two entries in media 01, one of
    // them with a saved file that its undo line copies back.
    const std::string media = store_ + "\\20240101\\01";
    Write(store_ + "\\20240101\\MorvanUP.INF", Lines({"Morvan,テスト", "2.1X/20240101", "2.00/",
                                                      "01/01", "2.00"}));
    Write(media + "\\表ソ.TXT", "saved");
    Write(media + "\\INST00.DAT", Lines({"2.1X/20240101", "UNINST,一", "C 表ソ.TXT C:\\APP\\",
                                         "INSTEND", "README", "R lines are readme here",
                                         "READMEEND"}));
    Write(media + "\\INST00.DA_", "");
    Write(media + "\\INST01.DAT", Lines({"2.1X/20240101", "UNINST,二", "D C:\\APP\\NEW.DLL",
                                         "INSTEND"}));
    Write(media + "\\INST01.DA_", "");
    Write("C:\\APP\\NEW.DLL", "new");
    state_.run.UninstallMode = true;
    state_.run.UninstallGroupName = "20240101";
    ASSERT_EQ(ReadControlFile(state_.run, store_ + "\\20240101"), 0);
    ASSERT_EQ(ScanScripts(state_, false), 2);
    EXPECT_EQ(state_.table.Entry(1).MediaNo, "01");

    RunScript(state_, 1, false);
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\表ソ.TXT"), "saved");
    EXPECT_FALSE(platform::FileExists(media + "\\INST00.DAT"));
    EXPECT_FALSE(platform::FileExists(media + "\\INST00.DA_"));
    EXPECT_TRUE(platform::DirectoryExists(media));  // INST01.DA_ is still there

    RunScript(state_, 2, false);
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_FALSE(platform::FileExists("C:\\APP\\NEW.DLL"));
    // The last marker has gone: COMMAND.EXE removed the directory with its saved file.
    EXPECT_FALSE(platform::DirectoryExists(media));
    EXPECT_TRUE(platform::FileExists(store_ + "\\20240101\\MorvanUP.INF"));
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 2);
}

TEST_F(ExecutionStore, FailedUninstallKeepsItsScript) {
    const std::string media = store_ + "\\20240101\\01";
    Write(store_ + "\\20240101\\MorvanUP.INF",
          Lines({"Morvan,テスト", "2.1X/20240101", "2.00/", "01/01", "2.00"}));
    Write(media + "\\INST00.DAT", Lines({"2.1X/20240101", "UNINST,一", "C GONE.TXT C:\\APP\\",
                                         "INSTEND"}));
    Write(media + "\\INST00.DA_", "");
    state_.run.UninstallMode = true;
    state_.run.UninstallGroupName = "20240101";
    ASSERT_EQ(ReadControlFile(state_.run, store_ + "\\20240101"), 0);
    ASSERT_EQ(ScanScripts(state_, false), 1);
    RunScript(state_, 1, false);
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_TRUE(platform::FileExists(media + "\\INST00.DAT"));
    EXPECT_TRUE(platform::FileExists(media + "\\INST00.DA_"));
}

TEST_F(ExecutionStore, CommandInterpreterRemovesTreesAndRefusesEverythingElse) {
    Write("C:\\OLD 表ソ\\SUB\\A.TXT", "a");
    EXPECT_EQ(RunAndWait("", "COMMAND /C RMDIR /S/Q \"C:\\OLD 表ソ\""), 0);
    EXPECT_FALSE(platform::DirectoryExists("C:\\OLD 表ソ"));
    EXPECT_NE(RunAndWait("", "COMMAND /C RMDIR /S/Q C:\\NOT THERE"), 0);
    Write("C:\\KEEP\\A.TXT", "a");
    EXPECT_NE(RunAndWait("", "COMMAND /C DEL C:\\KEEP\\A.TXT"), 0);
    EXPECT_NE(RunAndWait("", "COMMAND /C RMDIR C:\\KEEP"), 0);  // without /S /Q
    EXPECT_TRUE(platform::FileExists("C:\\KEEP\\A.TXT"));
}

}  // namespace
