// The uninstall script: where undo lines go, which names count as recorded, and the
// name a command line works on.
#include "ArchiveFixtures.h"
#include "installer/engine/Backup.h"
#include "installer/engine/InstallerState.h"
#include "installer/engine/ScriptExecution.h"
#include "installer/engine/UndoScript.h"

namespace {

using namespace engine_test;

class BackupUndo : public EngineMedium {
protected:
    void SetUp() override {
        EngineMedium::SetUp();
        state_.entry.UndoScriptPath = "C:\\STORE\\INST00.DAT";
        Write(state_.entry.UndoScriptPath,
              Lines({"2.10/20240101", "UNINST,TITLE WITH SETUP.EXE", "INSTEND", "UNINST,SECOND",
                     "INSTEND", "README", "R.TXT NOTES", "READMEEND"}));
    }
};

TEST_F(BackupUndo, LinesGoBeforeTheFirstInstendInRecordingOrder) {
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "D C:\\APP\\ONE.TXT"));
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "C TWO.TXT C:\\APP\\"));
    EXPECT_EQ(Read(state_.entry.UndoScriptPath),
              Lines({"2.10/20240101", "UNINST,TITLE WITH SETUP.EXE", "D C:\\APP\\ONE.TXT",
                     "C TWO.TXT C:\\APP\\", "INSTEND", "UNINST,SECOND", "INSTEND", "README",
                     "R.TXT NOTES", "READMEEND"}));
    // No uninstall script, or none kept: nothing is written anywhere.
    state_.entry.UndoScriptPath = kNonBackup;
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "D C:\\X"));
    EXPECT_FALSE(platform::FileExists("NON_BACKUP"));
}

TEST_F(BackupUndo, NameIsRecordedOnlyAsAWholeFileNameOfAnUndoLine) {
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "D C:\\APP\\SUB\\LONGNAME.TXT"));
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "L DATA.LZH C:\\APP\\"));
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, ";*.LOG"));
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "C 表示.INI C:\\APP\\"));
    EXPECT_TRUE(InsertUndoLine(
        state_.env, state_.entry,
        "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\V\" \"C:\\APP\\VALUE.TXT\""));
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "@HALTAPP"));
    for (const char* name : {"LONGNAME.TXT", "longname.txt", "DATA.LZH", "*.LOG", "表示.INI", "@HALTAPP"}) {
        EXPECT_TRUE(IsRecordedInUndoScript(state_.entry, name)) << Utf8(name);
    }
    // Inside a longer name, a folder name, the command letter, a title, a registry
    // value, the README: not recorded.
    for (const char* name : {"NAME.TXT", "SUB", "APP", "D", "L", "SETUP.EXE", "VALUE.TXT", "R.TXT",
                             "DATA", "示.INI", ""}) {
        EXPECT_FALSE(IsRecordedInUndoScript(state_.entry, name)) << Utf8(name);
    }
    state_.entry.UndoScriptPath = kNonBackup;
    EXPECT_FALSE(IsRecordedInUndoScript(state_.entry, "DATA.LZH"));
}

TEST_F(BackupUndo, TheScriptIsTakenAsTheFileHoldsItAfterEveryChangeOfIt) {
    const std::vector<std::string> rels{"ONE.TXT", "TWO.TXT"};
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "D C:\\APP\\ONE.TXT"));
    EXPECT_EQ(FilesNotCoveredInUndoScript(state_.entry, "C:\\APP\\", rels), std::vector<std::string>{"TWO.TXT"});
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, "D C:\\APP\\TWO.TXT"));
    EXPECT_TRUE(FilesNotCoveredInUndoScript(state_.entry, "C:\\APP\\", rels).empty());
    // Changed behind the engine's back: the file counts, not what was last written.
    Write(state_.entry.UndoScriptPath, Lines({"2.10/20240101", "UNINST,T", "C ONE.TXT C:\\APP\\", "INSTEND"}));
    EXPECT_EQ(FilesNotCoveredInUndoScript(state_.entry, "C:\\APP\\", rels), std::vector<std::string>{"TWO.TXT"});
    EXPECT_FALSE(IsRecordedInUndoScript(state_.entry, "TWO.TXT"));
    EXPECT_TRUE(InsertUndoLine(state_.env, state_.entry, ";TWO.TXT"));
    EXPECT_EQ(Read(state_.entry.UndoScriptPath),
              Lines({"2.10/20240101", "UNINST,T", "C ONE.TXT C:\\APP\\", ";TWO.TXT", "INSTEND"}));
    // A script that can no longer be read covers nothing and takes no line.
    ASSERT_EQ(platform::DeleteFileW(state_.entry.UndoScriptPath), 0u);
    ASSERT_EQ(platform::CreateDirectoryTree(state_.entry.UndoScriptPath), 0u);
    EXPECT_EQ(FilesNotCoveredInUndoScript(state_.entry, "C:\\APP\\", rels), rels);
    EXPECT_FALSE(IsRecordedInUndoScript(state_.entry, "ONE.TXT"));
    EXPECT_FALSE(InsertUndoLine(state_.env, state_.entry, "D C:\\APP\\THREE.TXT"));
}

TEST(UndoTarget, FileNamePartOfTheCommandsOperand) {
    EXPECT_EQ(UndoTargetName("L DISK1\\APP.LZH C:\\APP"), "APP.LZH");
    EXPECT_EQ(UndoTargetName("C SRC\\表示.EXE C:\\APP\\NEW.EXE"), "表示.EXE");
    EXPECT_EQ(UndoTargetName("D C:\\APP\\LOGS\\*.LOG"), "*.LOG");
    EXPECT_EQ(UndoTargetName("A PACKAGE.INF C:\\KEL\\INSTALL"), "PACKAGE.INF");
    EXPECT_EQ(UndoTargetName("C NAME.TXT"), "NAME.TXT");
    EXPECT_EQ(UndoTargetName("@HALTAPP"), "");
}

class BackupCommands : public EngineMedium {
protected:
    void Run(std::initializer_list<std::string> commands) {
        std::string text = Lines({"2.10/20240101", "UNINST,記録"});
        for (const auto& line : commands) text += line + "\r\n";
        WriteScript(0, text + "INSTEND\r\n");
        RunScript(state_, ScanScripts(state_, false), true);
    }
    std::string Store() {
        return state_.env.VersionDownRoot + "\\" + state_.run.CurrentMedia.RevisionName + "\\01";
    }
    std::vector<std::string> Undo() {
        auto lines = platform::SplitLines(Read(Store() + "\\INST00.DAT"));
        return std::vector<std::string>(lines.begin() + 2, lines.end() - 1);
    }
};

TEST_F(BackupCommands, SameArchiveTwiceKeepsTheOldestStateAndNewFilesOnlyGetDeleteLines) {
    Write("C:\\APP\\OLD.TXT", "old");
    MakeLzh("K:\\APP.LZH", {{"OLD.TXT", "new"}, {"ADD.TXT", "add"}});
    MakeLzh("K:\\NEWONLY.LZH", {{"N1.TXT", "1"}});
    Run({"L APP.LZH C:\\APP", "L APP.LZH C:\\APP", "L NEWONLY.LZH C:\\APP"});
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Undo(), (std::vector<std::string>{"D C:\\APP\\ADD.TXT", "L APP.LZH C:\\APP\\", ";APP.LZH",
                                                "D C:\\APP\\N1.TXT", ";NEWONLY.LZH"}));
    EXPECT_TRUE(platform::FileExists(Store() + "\\APP.LZH"));
    EXPECT_FALSE(platform::FileExists(Store() + "\\NEWONLY.LZH"));
}

TEST_F(BackupCommands, CopyDeleteListAndHaltLinesWithSavedFormerFiles) {
    Write("C:\\APP\\EXIST.INI", "former");
    Write("C:\\APP\\LOGS\\A.LOG", "a");
    Write("C:\\APP\\LIST.TXT", "x\r\n");
    Write("K:\\EXIST.INI", "new");
    Write("K:\\NEW.INI", "new");
    Write("K:\\LIST.TXT", "y\r\n");
    Write("K:\\ABSENT.LST", "y\r\n");
    Run({"C EXIST.INI C:\\APP\\", "C NEW.INI C:\\APP\\", "C EXIST.INI C:\\APP\\",
         "D C:\\APP\\LOGS\\*.LOG", "@HALTAPP", "A LIST.TXT C:\\APP", "A ABSENT.LST C:\\APP",
         "@OTHER"});
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Undo(), (std::vector<std::string>{"C EXIST.INI C:\\APP\\", "D C:\\APP\\NEW.INI",
                                                "C A.LOG C:\\APP\\LOGS\\", ";*.LOG", "@HALTAPP",
                                                "C LIST.TXT C:\\APP\\", ";LIST.TXT", ";ABSENT.LST"}));
    EXPECT_EQ(Read(Store() + "\\EXIST.INI"), "former");
    EXPECT_EQ(Read(Store() + "\\A.LOG"), "a");
    EXPECT_EQ(Read(Store() + "\\LIST.TXT"), "x\r\n");
}

}  // namespace
