// Running entries whose C, D, X and Z lines go through the staging pipeline.
#include "EngineMedium.h"
#include "installer/engine/ScriptExecution.h"
#include "installer/engine/ScriptLines.h"
#include "ArchiveFixtures.h"
#include "installer/util/TreeOps.h"

namespace {

using engine_test::EngineMedium;
using engine_test::Lines;
using engine_test::Read;
using engine_test::Write;

class ExecutionCommands : public EngineMedium {
protected:
    // Scans the medium and runs every entry with commands, as the worker does.
    void RunAll() {
        int count = ScanScripts(state_, false);
        for (int i = 1; i <= count; ++i) {
            if (state_.table.Entry(i).CommandCount != 0) RunScript(state_, i, false);
        }
    }
    bool StagingEmpty() {
        std::vector<std::string> files;
        ListTree(state_.env.ExtractDir, files);
        return files.empty();
    }
};

TEST_F(ExecutionCommands, CopyToDirectoryToNamedFileAndIntoNewFolders) {
    Write("K:\\BIN\\表示.EXE", "program");
    Write("K:\\DOC\\ソフト.TXT", "text");
    Write("C:\\APP\\表示.EXE", "old program");
    ASSERT_EQ(platform::SetReadOnly("K:\\DOC\\ソフト.TXT", true), 0u);
    WriteScript(0, Lines({"2.10/20240101", "INST,コピー",
                          "C BIN\\表示.EXE C:\\APP\\",          // into a folder, own name
                          "C \\DOC\\ソフト.TXT   C:\\APP\\DOC\\説明.TXT",  // renamed, runs of blanks
                          "c doc\\ソフト.txt c:\\新規\\表ソ\\",  // lower case, missing folders
                          "INSTEND"}));
    RunAll();
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\表示.EXE"), "program");
    EXPECT_EQ(Read("C:\\APP\\DOC\\説明.TXT"), "text");
    EXPECT_EQ(Read("C:\\新規\\表ソ\\ソフト.TXT"), "text");
    // The staged copy lost the medium's read-only attribute.
    std::uint32_t attributes = 0;
    ASSERT_EQ(platform::GetFileAttributesW("C:\\APP\\DOC\\説明.TXT", attributes), 0u);
    EXPECT_EQ(attributes & platform::kAttrReadOnly, 0u);
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 3);
    EXPECT_TRUE(StagingEmpty());
}

TEST_F(ExecutionCommands, CopyWithWildcardSourceStagesEveryMatch) {
    Write("K:\\LIB\\A.DLL", "a");
    Write("K:\\LIB\\B.DLL", "b");
    Write("K:\\LIB\\C.TXT", "c");
    WriteScript(0, Lines({"2.10/20240101", "INST,W", "C LIB\\*.DLL C:\\APP\\LIB\\", "INSTEND"}));
    RunAll();
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\LIB\\A.DLL"), "a");
    EXPECT_EQ(Read("C:\\APP\\LIB\\B.DLL"), "b");
    EXPECT_FALSE(platform::FileExists("C:\\APP\\LIB\\C.TXT"));
}

TEST_F(ExecutionCommands, FailedCopyAbortsTheJobAndNothingRunsAfterIt) {
    Write("K:\\A.TXT", "a");
    WriteScript(0, Lines({"2.10/20240101", "INST,壊れ", "C A.TXT C:\\OUT\\", "C MISSING.TXT C:\\OUT\\",
                          "C A.TXT C:\\OUT\\SECOND.TXT", "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101", "INST,次", "C A.TXT C:\\OUT\\THIRD.TXT", "INSTEND"}));
    RunAll();
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    auto boxes = messages_.Boxes();
    ASSERT_EQ(boxes.size(), 1u) << messages_.AllTexts();
    EXPECT_EQ(boxes[0].text,
              "バージョンアップの内容が破損しています。\rerror in \"C MISSING.TXT C:\\OUT\\\"");
    EXPECT_EQ(boxes[0].caption, "エラー");
    EXPECT_EQ(Read("C:\\OUT\\A.TXT"), "a");
    EXPECT_FALSE(platform::FileExists("C:\\OUT\\SECOND.TXT"));
    EXPECT_FALSE(platform::FileExists("C:\\OUT\\THIRD.TXT"));
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 2);
    // The entry that failed is not marked installed; a later entry is not run at all.
    EXPECT_FALSE(platform::FileExists(InstalledMarkerPath(state_.env, state_.run, "00")));
    EXPECT_FALSE(platform::FileExists(InstalledMarkerPath(state_.env, state_.run, "01")));
    EXPECT_TRUE(StagingEmpty());
}

TEST_F(ExecutionCommands, StagedFileThatCannotReachItsDestinationFailsTheCopy) {
    // The destination names an existing folder: the staged file SUB cannot replace it.
    Write("K:\\A.TXT", "a");
    ASSERT_EQ(platform::CreateDirectoryTree("C:\\OUT\\SUB"), 0u);
    WriteScript(0, Lines({"2.10/20240101", "INST,X", "C A.TXT C:\\OUT\\SUB", "INSTEND"}));
    RunAll();
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_NE(messages_.AllTexts().find("error in \"C A.TXT C:\\OUT\\SUB\""), std::string::npos);
    EXPECT_FALSE(platform::FileExists(InstalledMarkerPath(state_.env, state_.run, "00")));
}

TEST_F(ExecutionCommands, MalformedCopyLinesFail) {
    for (const char* line : {"C", "C A.TXT", "C A.TXT ", "C  A.TXT"}) {
        StartNewJob();
        messages_.Clear();
        ExecuteScriptLine(state_, line);
        EXPECT_EQ(state_.job.JobState.load(), kJobAborted) << line;
        EXPECT_EQ(messages_.Boxes().size(), 1u) << line;
    }
}

TEST_F(ExecutionCommands, DeleteRemovesMatchingPlainFilesOnly) {
    Write("C:\\APP\\A.TMP", "1");
    Write("C:\\APP\\表.TMP", "2");
    Write("C:\\APP\\KEEP.TXT", "3");
    Write("C:\\APP\\.HIDDEN.TMP", "4");
    Write("C:\\APP\\SUB.TMP\\INNER.TXT", "5");
    WriteScript(0, Lines({"2.10/20240101", "INST,削除", "D C:\\APP\\*.TMP", "D C:\\APP\\NONE.*",
                          "D C:\\NOWHERE\\*.*", "INSTEND"}));
    RunAll();
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_FALSE(platform::FileExists("C:\\APP\\A.TMP"));
    EXPECT_FALSE(platform::FileExists("C:\\APP\\表.TMP"));
    EXPECT_TRUE(platform::FileExists("C:\\APP\\KEEP.TXT"));
    EXPECT_TRUE(platform::FileExists("C:\\APP\\.HIDDEN.TMP"));
    EXPECT_TRUE(platform::FileExists("C:\\APP\\SUB.TMP\\INNER.TXT"));
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 3);
    EXPECT_TRUE(StagingEmpty());
}

TEST_F(ExecutionCommands, DeleteWithoutAFullFolderFailsAndDeletesNothing) {
    Write("C:\\APP\\A.TMP", "1");
    Write("C:\\APP\\SUB\\B.TMP", "2");
    Write("C:\\ROOT.TMP", "3");
    ASSERT_EQ(platform::SetCurrentDirectoryW("C:\\APP"), 0u);
    for (const char* line : {"D *.TMP", "D SUB\\*.TMP", "D \\ROOT.TMP", "D C:*.TMP", "D"}) {
        StartNewJob();
        messages_.Clear();
        ExecuteScriptLine(state_, line);
        EXPECT_EQ(state_.job.JobState.load(), kJobAborted) << line;
        EXPECT_EQ(messages_.Boxes().size(), 1u) << line;
    }
    EXPECT_TRUE(platform::FileExists("C:\\APP\\A.TMP"));
    EXPECT_TRUE(platform::FileExists("C:\\APP\\SUB\\B.TMP"));
    EXPECT_TRUE(platform::FileExists("C:\\ROOT.TMP"));
    EXPECT_TRUE(StagingEmpty());
}

TEST_F(ExecutionCommands, RelativeDestinationsFailAndCreateNothing) {
    Write("K:\\A.TXT", "a");
    Write("K:\\L.TXT", "x\r\n");
    engine_test::MakeLzh("K:\\APP.LZH", {{"M.TXT", "m"}});
    ASSERT_EQ(platform::CreateDirectoryTree("C:\\CWD"), 0u);
    Write("C:\\CWD\\SUB\\L.TXT", "y\r\n");
    for (const char* line : {"C A.TXT SUB\\", "C A.TXT NEW\\B.TXT", "C A.TXT \\ROOT\\", "C A.TXT D:X.TXT",
                             "L APP.LZH NEW", "L APP.LZH \\ROOT", "A L.TXT SUB", "P L.TXT SUB\\"}) {
        StartNewJob();
        messages_.Clear();
        ASSERT_EQ(platform::SetCurrentDirectoryW("C:\\CWD"), 0u);
        ExecuteScriptLine(state_, line);
        EXPECT_EQ(state_.job.JobState.load(), kJobAborted) << line;
        EXPECT_EQ(messages_.AllTexts(),
                  std::string("バージョンアップの内容が破損しています。\rerror in \"") + line + "\"");
    }
    EXPECT_FALSE(platform::PathExists("C:\\CWD\\NEW"));
    EXPECT_FALSE(platform::PathExists("C:\\ROOT"));
    EXPECT_FALSE(platform::PathExists("C:\\CWD\\SUB\\A.TXT"));
    EXPECT_EQ(Read("C:\\CWD\\SUB\\L.TXT"), "y\r\n");
    EXPECT_TRUE(StagingEmpty());
}

TEST_F(ExecutionCommands, NothingStagedReachesALaterCommandHiddenEntriesIncluded) {
    engine_test::MakeLzh("K:\\HID.LZH", {{".X", "hidden"}, {"A.TXT", "a"}});
    Write("K:\\B.TXT", "b");
    // Left behind by a run that was killed while it staged.
    Write(state_.env.ExtractDir + "\\.LEFT", "left");
    Write(state_.env.ExtractDir + "\\LEFT.TXT", "left");
    Write(state_.env.ExtractDir + "\\.HIDDIR\\IN.TXT", "left");
    Write(state_.env.BackupDir + "\\.OLD", "left");
    WriteScript(0, Lines({"2.10/20240101", "INST,隠し", "C B.TXT C:\\ZERO\\", "L HID.LZH C:\\ONE",
                          "C B.TXT C:\\TWO\\", "INSTEND"}));
    RunAll();
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(engine_test::Snapshot("C:\\ZERO"), (std::map<std::string, std::string>{{"B.TXT", "b"}}));
    EXPECT_EQ(engine_test::Snapshot("C:\\TWO"), (std::map<std::string, std::string>{{"B.TXT", "b"}}));
    EXPECT_TRUE(engine_test::Snapshot(state_.env.ExtractDir).empty());
    EXPECT_TRUE(engine_test::Snapshot(state_.env.BackupDir).empty());
}

TEST_F(ExecutionCommands, DeleteThatCannotRemoveAFileFails) {
    Write("C:\\APP\\A.TMP", "1");
    Write("C:\\APP\\B.TMP", "2");
    ASSERT_EQ(platform::SetReadOnly("C:\\APP\\B.TMP", true), 0u);
    ExecuteScriptLine(state_, "D C:\\APP\\*.TMP");
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_EQ(messages_.AllTexts(),
              "バージョンアップの内容が破損しています。\rerror in \"D C:\\APP\\*.TMP\"");
    EXPECT_TRUE(platform::FileExists("C:\\APP\\B.TMP"));
    EXPECT_TRUE(StagingEmpty());
}

TEST_F(ExecutionCommands, ProgramsExitCodesAndStartFailures) {
    InstallChild("C:\\KEL\\TOOLS\\OK.EXE");
    InstallChildWrapper("C:\\KEL\\TOOLS\\FIVE.EXE", "--exit 5");
    InstallChildWrapper("C:\\KEL\\TOOLS\\ECHO.EXE", "--write args.txt");
    InstallChildWrapper("C:\\KEL\\TOOLS\\MINUS.EXE", "--exit -1");
    Write("K:\\A.TXT", "a");
    WriteScript(0, Lines({"2.10/20240101", "INST,実行", "X C:\\KEL\\TOOLS\\OK.EXE",
                          "X C:\\KEL\\TOOLS\\FIVE.EXE", "X C:\\KEL\\TOOLS\\NOTHERE.EXE",
                          "X C:\\KEL\\TOOLS\\ECHO.EXE \"one  表 two\" ignored",
                          "X C:\\KEL\\TOOLS\\MINUS.EXE", "C A.TXT C:\\AFTER\\", "INSTEND"}));
    RunAll();
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 5);
    EXPECT_FALSE(platform::FileExists("C:\\AFTER\\A.TXT"));
    // -1 has a text of its own in the message table, which is what the box shows.
    auto boxes = messages_.Boxes();
    ASSERT_EQ(boxes.size(), 1u) << messages_.AllTexts();
    EXPECT_EQ(boxes[0].text, "ドライブの準備が出来ていません。");
    // The program ran in ToolsDir and got the quoted arguments, blanks collapsed and
    // upper-cased as every script line is.
    std::string report = Read("C:\\KEL\\TOOLS\\args.txt");
    EXPECT_NE(report.find("argv[3]=ONE"), std::string::npos) << report;
    EXPECT_NE(report.find("argv[5]=TWO"), std::string::npos) << report;
    EXPECT_EQ(report.find("IGNORED"), std::string::npos) << report;
}

TEST_F(ExecutionCommands, NegativeExitCodeWithoutTextStillNamesTheLine) {
    InstallChildWrapper("C:\\KEL\\TOOLS\\M20.EXE", "--exit -20");
    ExecuteScriptLine(state_, "X C:\\KEL\\TOOLS\\M20.EXE");
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_EQ(messages_.AllTexts(),
              "バージョンアップの内容が破損しています。\rerror in \"X C:\\KEL\\TOOLS\\M20.EXE\"");
}

TEST_F(ExecutionCommands, ZipAndUnknownLettersFail) {
    ExecuteScriptLine(state_, "Z ANY.ZIP C:\\APP");
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_EQ(messages_.AllTexts(), "ZipファイルとHaltapp命令には未対応です。");
    StartNewJob();
    messages_.Clear();
    ExecuteScriptLine(state_, " C A B\\");
    EXPECT_EQ(messages_.AllTexts(),
              "バージョンアップの内容が破損しています。\rerror in \" C A B\\\"");
    // Once aborted, nothing more runs or counts.
    ExecuteScriptLine(state_, "Z ANY.ZIP C:\\APP");
    EXPECT_EQ(messages_.Boxes().size(), 1u);
    EXPECT_EQ(state_.job.ExecutedCommandCount.load(), 1);
}

TEST_F(ExecutionCommands, NestedIfLineFailsAsACommand) {
    Write("K:\\A.TXT", "a");
    WriteScript(0, Lines({"2.10/20240101", "INST,入れ子", "IF !C:\\NONE", "C A.TXT C:\\OUT\\",
                          "IF C:\\OUT\\A.TXT", "END", "INSTEND"}));
    RunAll();
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_NE(messages_.AllTexts().find("error in \"IF C:\\OUT\\A.TXT\""), std::string::npos);
}

}  // namespace
