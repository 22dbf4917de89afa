// The job control of MorvanUP driven through a view without widgets, on real media in
// a temporary prefix with the real engine.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "AppTestSupport.h"
#include "installer/app/InstallerFlow.h"
#include "installer/app/PauseGate.h"
#include "installer/engine/InstallerState.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/VersionRecords.h"
#include "installer/testsupport/ScriptedMessages.h"
#include "installer/testsupport/TempPrefix.h"
#include "platform/Prefix.h"
#include "platform/Registry.h"

namespace fs = std::filesystem;

namespace {

std::string InstalledVersionInRegistry() {
    std::string version;
    ReadRegisteredVersion(version);
    return version;
}

class FlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        prefix.InstallStandardProduct("2.00");
        mediumD = prefix.MapNewDrive('D');
        view.flow = &flow;
    }
    void TearDown() override { flow.Cleanup(); }
    // Starts the program on the medium in D: and shows the main dialog.
    void StartOnD(std::vector<std::string> parameters = {"/DD:\\"}) {
        flow.Create(parameters);
        flow.OnShow();
    }
    std::string C(const std::string& relative) { return prefix.HostC(relative); }
    std::vector<std::string> Captions() {
        std::vector<std::string> captions;
        for (const RecordedBox& box : messages.Boxes()) captions.push_back(box.caption);
        return captions;
    }

    TempPrefix prefix;
    std::string mediumD;
    ScriptedMessages messages;
    FakeView view;
    InstallerFlow flow{view, nullptr};
};

}  // namespace

TEST(CommandLine, OptionsPathsWithBlanksAndStrayParameters) {
    TempPrefix prefix;
    FakeView view;
    InstallerFlow flow{view, nullptr};
    flow.State().run.InstallDiskPath.clear();
    flow.ParseCommandLine({"/dd:\\my", "media", "disk\\"});
    EXPECT_EQ(flow.State().run.InstallDiskPath, "D:\\MY MEDIA DISK");
    EXPECT_FALSE(flow.State().run.UninstallMode);

    flow.State().run.InstallDiskPath.clear();
    flow.ParseCommandLine({"stray", "/u", "after-u", "/x", "/DC:\\CD\\"});
    EXPECT_TRUE(flow.State().run.UninstallMode);
    EXPECT_EQ(flow.State().run.InstallDiskPath, "C:\\CD");

    flow.State().run.InstallDiskPath.clear();
    flow.ParseCommandLine({"/U", "/I"});
    EXPECT_FALSE(flow.State().run.UninstallMode);
    // No medium named and none beside the program: no medium.
    EXPECT_EQ(flow.State().run.InstallDiskPath, "");

    // "/D" alone: the current directory.
    ASSERT_EQ(platform::SetCurrentDirectoryW("C:\\WINDOWS"), 0u);
    flow.State().run.InstallDiskPath.clear();
    flow.ParseCommandLine({"/D"});
    EXPECT_EQ(flow.State().run.InstallDiskPath, "C:\\WINDOWS");
}

TEST(ChoiceTextOfGroup, DateIdVersionAndTitle) {
    VERUP_FILE_REC full;
    full.RevisionId = "20240115";
    full.Version = "2.10";
    full.Title = "Morvan,更新";
    EXPECT_EQ(InstallerFlow::ChoiceText(full), "2024.01.15(2.10, Morvan,更新)");
    VERUP_FILE_REC revision = full;
    revision.Version = "0.00";
    EXPECT_EQ(InstallerFlow::ChoiceText(revision), "2024.01.15(Morvan,更新)");
}

TEST_F(FlowTest, InstallsTheSelectedEntriesAndRecordsVersionAndRevision) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"});
    StartOnD();
    ASSERT_EQ(view.rows.size(), 2u) << messages.AllTexts();
    EXPECT_EQ(view.rows[0], "基本データ                            (ｱﾝｲﾝｽﾄｰﾙ可)");
    EXPECT_EQ(view.title1, "Morvan");
    EXPECT_EQ(view.title2, "テスト更新ディスク");
    EXPECT_EQ(view.verno, "Ver 2.10");
    EXPECT_EQ(view.kanri, "管理番号[20240115]");
    EXPECT_EQ(view.notes, (std::vector<std::string>{"備考 基本データ", "備考 テンプレート"}));
    EXPECT_TRUE(flow.FreshRevision());

    flow.OkButtonClick();
    EXPECT_TRUE(view.mainClosed);
    EXPECT_EQ(flow.State().job.JobState.load(), kJobFinished);
    EXPECT_TRUE(fs::exists(C("MORVAN/F0_1.TXT")));
    EXPECT_TRUE(fs::exists(C("MORVAN/F1_1.TXT")));
    EXPECT_EQ(InstalledVersionInRegistry(), "2.10");
    EXPECT_EQ(ReadHostFile(C("MORVAN/Readme.ver")).substr(0, 8), "20240115");
    EXPECT_EQ(view.instLabel, "インストール中");
    EXPECT_EQ(view.progressTitles, (std::vector<std::string>{"基本データ", "テンプレート"}));
    ASSERT_FALSE(messages.Boxes().empty());
    EXPECT_EQ(messages.Boxes().back().text, "インストールが正常に終了しました。");
}

TEST_F(FlowTest, EveryRowDeselectedRunsNothingButCountsAsFinished) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"});
    StartOnD();
    view.selection.assign(view.rows.size(), false);
    flow.OkButtonClick();
    EXPECT_EQ(flow.State().job.JobState.load(), kJobFinished);
    EXPECT_FALSE(fs::exists(C("MORVAN/F0_1.TXT")));
    EXPECT_TRUE(view.progressTitles.empty());
    EXPECT_EQ(ReadHostFile(C("MORVAN/Readme.ver")).substr(0, 8), "20240115");
}

TEST_F(FlowTest, ASetOfThreeMediaWithTheWrongMediumInsertedFirst) {
    const std::string base = prefix.dir() + "/set";
    for (int no = 1; no <= 3; ++no) {
        WriteSampleMedium(base + std::to_string(no), no, 3, {"データ" + std::to_string(no)});
    }
    ASSERT_EQ(platform::MapDrive('D', base + "1"), 0u);
    // After medium 1 the user inserts medium 3; on Retry, medium 2.
    view.onMakeVisible = [&](int showing) {
        if (showing == 1) {
            EXPECT_EQ(platform::MapDrive('D', base + "3"), 0u);
        }
        if (showing == 2) {
            EXPECT_EQ(platform::MapDrive('D', base + "2"), 0u);
        }
    };
    messages.QueueAnswer(IDOK);     // the next-medium prompt
    messages.QueueAnswer(IDRETRY);  // "このﾒﾃﾞｨｱは3 / 3です。"
    StartOnD();
    flow.OkButtonClick();

    const std::vector<RecordedBox> boxes = messages.Boxes();
    ASSERT_EQ(boxes.size(), 2u) << messages.AllTexts();
    EXPECT_EQ(boxes[0].text,
              "1/3のインストールが終了しました。2/3のメディアに差し替えて、ＯＫボタンを押してください。");
    EXPECT_EQ(boxes[1].caption, "警告");
    EXPECT_EQ(boxes[1].text, "このﾒﾃﾞｨｱは3 / 3です。");
    // The dialog now shows medium 2 and waits for OK.
    EXPECT_FALSE(view.mainClosed);
    EXPECT_EQ(flow.State().run.CurrentMedia.MediaNo, "02");
    EXPECT_EQ(view.rows.size(), 1u);
    EXPECT_TRUE(fs::exists(C("MORVAN/F0_1.TXT")));
    EXPECT_FALSE(fs::exists(C("MORVAN/F0_3.TXT")));

    messages.Clear();
    flow.OkButtonClick();
    EXPECT_TRUE(fs::exists(C("MORVAN/F0_2.TXT")));
    ASSERT_FALSE(messages.Boxes().empty());
    EXPECT_EQ(messages.Boxes()[0].text,
              "2/3のインストールが終了しました。3/3のメディアに差し替えて、ＯＫボタンを押してください。");
}

TEST_F(FlowTest, UninstallWithAnEmptyStoreSaysSoAndEnds) {
    StartOnD({"/U"});
    ASSERT_EQ(messages.Boxes().size(), 1u);
    EXPECT_EQ(messages.Boxes()[0].caption, "エラー");
    EXPECT_EQ(messages.Boxes()[0].text, "アンインストールする内容がありません。");
    EXPECT_EQ(messages.BeepCount(), 1);
    EXPECT_TRUE(view.mainClosed);
    EXPECT_FALSE(view.hyoujiVisible);
}

TEST_F(FlowTest, UninstallOfTheKeptGroupPutsEverythingBack) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    WriteHostFile(C("MORVAN/F0_1.TXT"), "old\r\n");
    StartOnD();
    flow.OkButtonClick();
    ASSERT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "file 0\r\n");
    flow.Cleanup();

    // A second run of the program, with /U.
    messages.Clear();
    FakeView uninstallView;
    InstallerFlow uninstall(uninstallView, nullptr);
    uninstallView.flow = &uninstall;
    uninstall.Create({"/U"});
    uninstall.OnShow();
    ASSERT_EQ(uninstallView.versionChoices,
              (std::vector<std::string>{"2024.01.15(2.10, Morvan,テスト更新ディスク)"}))
        << messages.AllTexts();
    EXPECT_EQ(uninstall.State().run.UninstallGroupName, "Revision");
    EXPECT_EQ(uninstallView.caption, "Morvan(アンインストール)");
    ASSERT_EQ(uninstallView.rows.size(), 1u);
    uninstall.OkButtonClick();
    EXPECT_EQ(uninstallView.progressCaption, "バージョンダウン中");
    EXPECT_EQ(uninstallView.instLabel, "アンインストール中");
    EXPECT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "old\r\n");
    EXPECT_EQ(InstalledVersionInRegistry(), "2.00");
    ASSERT_FALSE(messages.Boxes().empty());
    EXPECT_EQ(messages.Boxes().back().text, "アンインストールが正常に終了しました。");
    EXPECT_TRUE(uninstallView.mainClosed);
    uninstall.Cleanup();
}

TEST_F(FlowTest, AnUninstallUndoesEntriesThatChangedTheSameFileNewestFirst) {
    // Both entries replace SHARED.TXT: only undoing the second one first gets back
    // the file as it was before the group.
    WriteHostFile(mediumD + "/MorvanUP.INF",
                  CrLf({"Morvan,重ねて更新", "2.10/20240115", "2.00/00000000", "1/1"}));
    for (const std::string n : {"0", "1"}) {
        WriteHostFile(mediumD + "/INST0" + n + ".DAT",
                      CrLf({"2.10/20240115", "UNINST,更新" + n,
                            "C DATA\\S" + n + ".TXT C:\\MORVAN\\SHARED.TXT", "INSTEND"}));
        WriteHostFile(mediumD + "/DATA/S" + n + ".TXT", "version " + n + "\r\n");
    }
    WriteHostFile(C("MORVAN/SHARED.TXT"), "before the group\r\n");
    StartOnD();
    flow.OkButtonClick();
    ASSERT_EQ(ReadHostFile(C("MORVAN/SHARED.TXT")), "version 1\r\n") << messages.AllTexts();
    flow.Cleanup();

    FakeView uninstallView;
    InstallerFlow uninstall(uninstallView, nullptr);
    uninstallView.flow = &uninstall;
    uninstall.Create({"/U"});
    uninstall.OnShow();
    uninstall.OkButtonClick();
    EXPECT_EQ(uninstallView.progressTitles, (std::vector<std::string>{"更新1", "更新0"}));
    EXPECT_EQ(ReadHostFile(C("MORVAN/SHARED.TXT")), "before the group\r\n");
    uninstall.Cleanup();
}

TEST_F(FlowTest, AMediumThatDisappearsDuringTheJobAbortsItAndNothingIsRecorded) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"});
    HoldingGate gate(flow, 2);
    view.onProgress = [&](int) {
        ASSERT_TRUE(gate.WaitUntilHeld());
        // The drive is emptied while the first entry has run.
        fs::rename(mediumD, mediumD + ".away");
        gate.Release();
    };
    StartOnD();
    flow.OkButtonClick();
    EXPECT_EQ(flow.State().job.JobState.load(), kJobAborted);
    EXPECT_TRUE(view.mainClosed);
    EXPECT_TRUE(fs::exists(C("MORVAN/F0_1.TXT")));
    EXPECT_FALSE(fs::exists(C("MORVAN/F1_1.TXT")));
    EXPECT_EQ(InstalledVersionInRegistry(), "2.00");
    EXPECT_FALSE(fs::exists(C("MORVAN/Readme.ver")));
    ASSERT_FALSE(messages.Boxes().empty());
    EXPECT_NE(messages.AllTexts().find("バージョンアップの内容が破損しています。"), std::string::npos)
        << messages.AllTexts();
    flow.Cleanup();  // the worker has ended; the work directories are emptied
    EXPECT_FALSE(fs::exists(C("KEL/WORK/VERUPDN")));
}

TEST_F(FlowTest, GarbageControlFileOrScriptIsRefusedWithoutACrash) {
    WriteHostFile(mediumD + "/MorvanUP.INF", std::string("\x81\xff\x00garbage\r\n/\r\n", 14));
    StartOnD();
    EXPECT_TRUE(view.rows.empty());
    flow.OkButtonClick();  // nothing listed: nothing happens
    EXPECT_EQ(view.progressRuns, 0);

    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    WriteHostFile(mediumD + "/INST01.DAT", std::string("\x00\x01\x02\xfe\xff\r\nC X Y\r\n", 12));
    flow.HyoujiButtonClick();
    EXPECT_EQ(view.rows.size(), 1u);
}

TEST_F(FlowTest, StopThenCancelPausesTheWorkerAndGoesOn) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"}, "20240115", {3, 3});
    StopPromptAnswer prompt(flow.State().job, IDCANCEL);
    HoldingGate gate(flow, 2);
    view.onProgress = [&](int run) {
        if (run != 1) return;
        ASSERT_TRUE(gate.WaitUntilHeld());
        flow.StopButtonClick();  // closes the dialog; the worker must wait at its command
        gate.Release();
    };
    StartOnD();
    flow.OkButtonClick();
    EXPECT_TRUE(prompt.workerStoodStill);
    EXPECT_EQ(view.progressRuns, 2);  // the progress dialog came back after Cancel
    EXPECT_EQ(flow.State().job.JobState.load(), kJobFinished);
    EXPECT_EQ(flow.State().job.ExecutedCommandCount.load(), 6);
    EXPECT_EQ(InstalledVersionInRegistry(), "2.10");
}

TEST_F(FlowTest, StopConfirmedAbortsAndSkipsTheRest) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"}, "20240115", {3, 3});
    StopPromptAnswer prompt(flow.State().job, IDOK);
    HoldingGate gate(flow, 2);
    view.onProgress = [&](int) {
        ASSERT_TRUE(gate.WaitUntilHeld());
        flow.StopButtonClick();
        gate.Release();
    };
    StartOnD();
    flow.OkButtonClick();
    EXPECT_EQ(flow.State().job.JobState.load(), kJobAborted);
    EXPECT_TRUE(view.mainClosed);
    flow.Cleanup();
    EXPECT_EQ(flow.State().job.ExecutedCommandCount.load(), 1);
    EXPECT_FALSE(fs::exists(C("MORVAN/F1_1.TXT")));
    EXPECT_EQ(InstalledVersionInRegistry(), "2.00");
}

TEST_F(FlowTest, ProgressDialogClosedDuringTheJobAbortsWithoutAQuestion) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"});
    HoldingGate gate(flow, 1);
    view.onProgress = [&](int) {
        ASSERT_TRUE(gate.WaitUntilHeld());
        view.CloseProgressDialog();  // the close box
        gate.Release();
    };
    StartOnD();
    flow.OkButtonClick();
    EXPECT_EQ(flow.State().job.JobState.load(), kJobAborted);
    EXPECT_TRUE(view.mainClosed);
    for (const std::string& caption : Captions()) EXPECT_NE(caption, "中止");
    flow.Cleanup();
    EXPECT_EQ(flow.State().job.ExecutedCommandCount.load(), 0);
}

namespace {
class HeldLock : public WorkRootLock {
public:
    Result Acquire(const std::string&) override { return Result::HeldByOther; }
};
}  // namespace

TEST_F(FlowTest, ASecondProgramLeavesTheFirstOnesWorkAlone) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    HeldLock held;
    FakeView secondView;
    InstallerFlow second(secondView, &held);
    secondView.flow = &second;
    second.Create({"/DD:\\"});
    WriteHostFile(C("KEL/WORK/VERUPDN/STAGED.TXT"), "being installed by the first one\r\n");
    second.OnShow();
    EXPECT_TRUE(second.CloseOnShow());
    EXPECT_TRUE(secondView.mainClosed);
    EXPECT_NE(messages.AllTexts().find("既に起動しています"), std::string::npos);
    second.Cleanup();
    EXPECT_TRUE(fs::exists(C("KEL/WORK/VERUPDN/STAGED.TXT")));
}

TEST_F(FlowTest, InstallDiskDialogOutcomes) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    fs::create_directories(mediumD + "/EMPTY");
    flow.Create({});
    EXPECT_EQ(flow.DirSelectShown(), "A:\\");
    EXPECT_EQ(flow.DirSelectOk("D:\\EMPTY\\"), DialogOutcome::StayOpen);
    ASSERT_EQ(messages.Boxes().size(), 1u);
    EXPECT_EQ(messages.Boxes()[0].text, "D:\\EMPTY にインストールディスクがありません。");
    EXPECT_EQ(flow.DirSelectOk("D:\\MISSING"), DialogOutcome::StayOpen);
    EXPECT_EQ(messages.Boxes().back().text, "選択されたD:\\MISSING は存在しません。");
    EXPECT_EQ(flow.DirSelectOk("D:\\"), DialogOutcome::Ok);
    EXPECT_EQ(flow.State().run.InstallDiskPath, "D:");
    // A drive without its medium: the dialog stays open without a word.
    messages.Clear();
    ASSERT_EQ(platform::MapDrive('E', prefix.dir() + "/no-such-folder"), 0u);
    EXPECT_EQ(flow.DirSelectOk("E:\\"), DialogOutcome::StayOpen);
    EXPECT_TRUE(messages.Boxes().empty());
    // A medium that needs a newer installation ends the program.
    WriteHostFile(mediumD + "/MorvanUP.INF",
                  CrLf({"Morvan,新しい", "3.00/20250101", "2.50/0", "1/1"}));
    EXPECT_EQ(flow.DirSelectOk("D:\\"), DialogOutcome::Cancel);
    EXPECT_NE(messages.AllTexts().find("は、Ver 2.50以上用のインストールディスクです。"),
              std::string::npos);
}

// ---- Interrupted jobs: the record in the store, the roll-back, the resumed uninstall.

namespace {

// Ends the job at its `n`-th command as a crash would: that command and everything
// after it never run, and nothing after the job is recorded.
class InterruptAt {
public:
    InterruptAt(InstallerFlow& flow, int n) : flow_(flow), limit_(n) {
        flow_.State().job.SetCommandGate([this] { return Pass(); });
    }
    ~InterruptAt() { flow_.UseJobPauseGate(); }

private:
    bool Pass() {
        if (++passed_ >= limit_) {
            flow_.State().job.AbortJob();
            return false;
        }
        return flow_.JobPauseGate().Pass(flow_.State().job);
    }
    InstallerFlow& flow_;
    const int limit_;
    std::atomic<int> passed_{0};
};

// One more start of the program, as a new process would begin it.
struct ProgramRun {
    explicit ProgramRun(const std::vector<std::string>& parameters) {
        view.flow = &flow;
        flow.Create(parameters);
        flow.OnShow();
    }
    ~ProgramRun() { flow.Cleanup(); }
    FakeView view;
    InstallerFlow flow{view, nullptr};
};

class RollBackTest : public FlowTest {
protected:
    // The machine as the job found it: an older copy of the first entry's file, the
    // installed version 2.00 and a revision list.
    void PrepareMachine() {
        WriteHostFile(C("MORVAN/F0_1.TXT"), "old\r\n");
        WriteHostFile(C("MORVAN/Readme.ver"), CrLf({"20231201"}));
    }
    // An install of `entries` on D: stopped at command `n`.
    void InterruptedInstall(int n) {
        InterruptAt interrupt(flow, n);
        StartOnD();
        flow.OkButtonClick();
        ASSERT_EQ(flow.State().job.JobState.load(), kJobAborted);
        flow.Cleanup();
    }
    std::string Store(const std::string& relative) { return C("MORVAN/MorvanDN/" + relative); }
    static constexpr char kPrompt[] =
        "前回のインストール（Morvan,テスト更新ディスク）が中断されています。\r"
        "中断前の状態に戻しますか？";
};

}  // namespace

TEST_F(RollBackTest, AStoppedInstallIsOfferedFirstCancelKeepsItAndOkPutsAllBack) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"}, "20240115", {1, 2});
    PrepareMachine();
    InterruptedInstall(3);  // entry 1 done, entry 2 half done
    ASSERT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "file 0\r\n");
    ASSERT_EQ(ReadHostFile(C("MORVAN/F1_1.TXT")), "file 1\r\n");
    ASSERT_TRUE(fs::exists(Store("JOBREC/JOB.INF")));
    EXPECT_NE(ReadHostFile(Store("JOBREC/JOB.INF")).find("ENTRY=01,00\r\nENTRY=01,01\r\n"),
              std::string::npos);

    // Declined: nothing changes and the program ends without offering the medium.
    messages.Clear();
    messages.QueueAnswer(IDCANCEL);
    {
        ProgramRun run({"/DD:\\"});
        ASSERT_EQ(messages.Boxes().size(), 1u) << messages.AllTexts();
        EXPECT_EQ(messages.Boxes()[0].caption, "確認");
        EXPECT_EQ(messages.Boxes()[0].text, kPrompt);
        EXPECT_EQ(messages.Boxes()[0].buttons, MessageButtons::OkCancel);
        EXPECT_TRUE(run.view.mainClosed);
        EXPECT_TRUE(run.view.rows.empty());
    }
    EXPECT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "file 0\r\n");
    EXPECT_TRUE(fs::exists(Store("JOBREC/JOB.INF")));

    // Confirmed: the roll-back runs as a job and puts the machine back.
    messages.Clear();
    {
        ProgramRun run({"/DD:\\"});
        EXPECT_EQ(run.view.progressCaption, "バージョンダウン中");
        EXPECT_EQ(run.view.instLabel, "アンインストール中");
        ASSERT_FALSE(messages.Boxes().empty());
        EXPECT_EQ(messages.Boxes()[0].text, kPrompt);
        EXPECT_EQ(messages.Boxes().back().text, "中断されたインストールを元に戻しました。")
            << messages.AllTexts();
        EXPECT_TRUE(run.view.mainClosed);
    }
    EXPECT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "old\r\n");
    EXPECT_FALSE(fs::exists(C("MORVAN/F1_1.TXT")));
    EXPECT_EQ(InstalledVersionInRegistry(), "2.00");
    EXPECT_EQ(ReadHostFile(C("MORVAN/Readme.ver")), CrLf({"20231201"}));
    EXPECT_FALSE(fs::exists(Store("Revision")));
    EXPECT_FALSE(fs::exists(Store("JOBREC")));

    // The next start offers the medium again.
    messages.Clear();
    ProgramRun again({"/DD:\\"});
    EXPECT_TRUE(messages.Boxes().empty()) << messages.AllTexts();
    EXPECT_EQ(again.view.rows.size(), 2u);
}

TEST_F(RollBackTest, ANewFullVersionHoldsThePreviousGroupUntilItsJobHasEnded) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    PrepareMachine();
    StartOnD();
    flow.OkButtonClick();
    ASSERT_EQ(InstalledVersionInRegistry(), "2.10");
    flow.Cleanup();
    const std::string keptControl = ReadHostFile(Store("Revision/MorvanUP.INF"));
    const std::string keptScript = ReadHostFile(Store("Revision/01/INST00.DAT"));
    ASSERT_NE(keptControl.find("20240115"), std::string::npos);
    const std::string list = ReadHostFile(C("MORVAN/Readme.ver"));

    // Version 2.20 stopped in its second entry: the 2.10 group is held, not removed.
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"}, "20240301", {}, "2.20");
    {
        FakeView view2;
        InstallerFlow flow2(view2, nullptr);
        view2.flow = &flow2;
        InterruptAt interrupt(flow2, 2);
        flow2.Create({"/DD:\\"});
        flow2.OnShow();
        ASSERT_TRUE(flow2.FreshRevision());
        flow2.OkButtonClick();
        flow2.Cleanup();
    }
    EXPECT_EQ(ReadHostFile(Store("JOBREC/Revision/MorvanUP.INF")), keptControl);
    EXPECT_EQ(ReadHostFile(Store("JOBREC/Revision/01/INST00.DAT")), keptScript);
    EXPECT_NE(ReadHostFile(Store("JOBREC/JOB.INF")).find("HELD=1"), std::string::npos);

    messages.Clear();
    { ProgramRun run({"/DD:\\"}); }
    EXPECT_EQ(messages.Boxes().back().text, "中断されたインストールを元に戻しました。")
        << messages.AllTexts();
    EXPECT_EQ(ReadHostFile(Store("Revision/MorvanUP.INF")), keptControl);
    EXPECT_EQ(ReadHostFile(Store("Revision/01/INST00.DAT")), keptScript);
    EXPECT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "file 0\r\n");  // as 2.10 left it
    EXPECT_EQ(InstalledVersionInRegistry(), "2.10");
    EXPECT_EQ(ReadHostFile(C("MORVAN/Readme.ver")), list);
    EXPECT_FALSE(fs::exists(Store("JOBREC")));

    // Run to its end, the 2.20 job removes the held group only then.
    messages.Clear();
    {
        ProgramRun run({"/DD:\\"});
        run.flow.OkButtonClick();
        EXPECT_EQ(messages.Boxes().back().text, "インストールが正常に終了しました。");
    }
    EXPECT_NE(ReadHostFile(Store("Revision/MorvanUP.INF")).find("20240301"), std::string::npos);
    EXPECT_FALSE(fs::exists(Store("JOBREC")));
    EXPECT_EQ(InstalledVersionInRegistry(), "2.20");
}

TEST_F(RollBackTest, AnInterruptedUninstallIsRunToItsEnd) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"});
    PrepareMachine();
    StartOnD();
    flow.OkButtonClick();
    flow.Cleanup();
    ASSERT_EQ(InstalledVersionInRegistry(), "2.10");

    {
        FakeView view2;
        InstallerFlow flow2(view2, nullptr);
        view2.flow = &flow2;
        InterruptAt interrupt(flow2, 2);
        flow2.Create({"/U"});
        flow2.OnShow();
        flow2.OkButtonClick();
        flow2.Cleanup();
    }
    // Newest first: entry 2 undone, entry 1 not yet.
    ASSERT_FALSE(fs::exists(C("MORVAN/F1_1.TXT")));
    ASSERT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "file 0\r\n");

    messages.Clear();
    {
        ProgramRun run({"/U"});
        ASSERT_FALSE(messages.Boxes().empty());
        EXPECT_EQ(messages.Boxes()[0].text,
                  "前回のアンインストール（Morvan,テスト更新ディスク）が中断されています。\r"
                  "アンインストールを最後まで実行しますか？");
        EXPECT_EQ(messages.Boxes().back().text, "アンインストールが正常に終了しました。")
            << messages.AllTexts();
    }
    EXPECT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "old\r\n");
    EXPECT_EQ(InstalledVersionInRegistry(), "2.00");
    EXPECT_EQ(ReadHostFile(C("MORVAN/Readme.ver")), CrLf({"20231201"}));
    EXPECT_FALSE(fs::exists(Store("Revision/01")));
    EXPECT_FALSE(fs::exists(Store("JOBREC")));
}

TEST_F(RollBackTest, StoreWritesThatFailStopTheJobAndAreNeverReportedAsDone) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    PrepareMachine();
    // The record cannot be written: the job does not start.
    WriteHostFile(Store("JOBREC"), "a file where the record's folder belongs");
    StartOnD();
    flow.OkButtonClick();
    EXPECT_EQ(view.progressRuns, 0);
    EXPECT_EQ(messages.AllTexts(),
              "バージョンアップの内容が破損しています。\rerror in \"C:\\MORVAN\\MorvanDN\\JOBREC\"");
    EXPECT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "old\r\n");
    fs::remove(Store("JOBREC"));

    // The revision list cannot be replaced at the end: the job is not done, and the
    // next start rolls it back.
    fs::remove(C("MORVAN/Readme.ver"));
    fs::create_directories(C("MORVAN/Readme.ver"));
    messages.Clear();
    flow.OkButtonClick();
    EXPECT_NE(messages.AllTexts().find("error in \"C:\\MORVAN\\Readme.ver\""), std::string::npos)
        << messages.AllTexts();
    EXPECT_EQ(messages.AllTexts().find("インストールが正常に終了しました。"), std::string::npos);
    EXPECT_TRUE(fs::exists(Store("JOBREC/JOB.INF")));
    flow.Cleanup();

    fs::remove(C("MORVAN/Readme.ver"));
    messages.Clear();
    { ProgramRun run({"/DD:\\"}); }
    EXPECT_EQ(messages.Boxes().back().text, "中断されたインストールを元に戻しました。")
        << messages.AllTexts();
    EXPECT_EQ(ReadHostFile(C("MORVAN/F0_1.TXT")), "old\r\n");
    EXPECT_EQ(InstalledVersionInRegistry(), "2.00");
}

TEST_F(RollBackTest, ADamagedRecordIsStillOfferedAndOnlyWhatItStatesIsPutBack) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    PrepareMachine();
    WriteHostFile(Store("JOBREC/JOB.INF"), "MODE=INSTALL\r\nGROUP=..\\..\r\n\x81\r\nHADVERSION=0\r\n");
    messages.Clear();
    { ProgramRun run({"/DD:\\"}); }
    ASSERT_FALSE(messages.Boxes().empty());
    EXPECT_EQ(messages.Boxes()[0].text,
              "前回のインストール（）が中断されています。\r中断前の状態に戻しますか？");
    EXPECT_EQ(messages.Boxes().back().text, "中断されたインストールを元に戻しました。");
    // It stated that no version was registered, and nothing about the list.
    EXPECT_EQ(InstalledVersionInRegistry(), "");
    EXPECT_EQ(ReadHostFile(C("MORVAN/Readme.ver")), CrLf({"20231201"}));
    EXPECT_TRUE(fs::exists(C("MORVAN")));
    EXPECT_FALSE(fs::exists(Store("JOBREC")));
}
