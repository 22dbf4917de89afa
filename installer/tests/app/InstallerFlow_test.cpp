// The job control of MorvanUP driven through a view without widgets, on real media in
// a temporary prefix with the real engine.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "AppTestSupport.h"
#include "installer/app/InstallerFlow.h"
#include "installer/app/PauseGate.h"
#include "installer/engine/JobState.h"
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
        ResetProgramState();
        prefix.InstallStandardProduct("2.00");
        mediumD = prefix.MapNewDrive('D');
        view.flow = &flow;
    }
    void TearDown() override {
        flow.Cleanup();
        SetCommandGate(nullptr);
    }
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
    InstallDiskPath.clear();
    InstallerFlow::ParseCommandLine({"/dd:\\my", "media", "disk\\"});
    EXPECT_EQ(InstallDiskPath, "D:\\MY MEDIA DISK");
    EXPECT_FALSE(UninstallMode);

    InstallDiskPath.clear();
    InstallerFlow::ParseCommandLine({"stray", "/u", "after-u", "/x", "/DC:\\CD\\"});
    EXPECT_TRUE(UninstallMode);
    EXPECT_EQ(InstallDiskPath, "C:\\CD");

    InstallDiskPath.clear();
    InstallerFlow::ParseCommandLine({"/U", "/I"});
    EXPECT_FALSE(UninstallMode);
    // No medium named and none beside the program: no medium.
    EXPECT_EQ(InstallDiskPath, "");

    // "/D" alone: the current directory.
    ASSERT_EQ(platform::SetCurrentDirectoryW("C:\\WINDOWS"), 0u);
    InstallDiskPath.clear();
    InstallerFlow::ParseCommandLine({"/D"});
    EXPECT_EQ(InstallDiskPath, "C:\\WINDOWS");
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
    EXPECT_EQ(JobState.load(), kJobFinished);
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
    EXPECT_EQ(JobState.load(), kJobFinished);
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
    EXPECT_EQ(CurrentMedia.MediaNo, "02");
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
    ResetJobState();
    messages.Clear();
    FakeView uninstallView;
    InstallerFlow uninstall(uninstallView, nullptr);
    uninstallView.flow = &uninstall;
    uninstall.Create({"/U"});
    uninstall.OnShow();
    ASSERT_EQ(uninstallView.versionChoices,
              (std::vector<std::string>{"2024.01.15(2.10, Morvan,テスト更新ディスク)"}))
        << messages.AllTexts();
    EXPECT_EQ(UninstallGroupName, "Revision");
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

TEST_F(FlowTest, AMediumThatDisappearsDuringTheJobAbortsItAndNothingIsRecorded) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"});
    HoldingGate gate(2);
    view.onProgress = [&](int) {
        ASSERT_TRUE(gate.WaitUntilHeld());
        // The drive is emptied while the first entry has run.
        fs::rename(mediumD, mediumD + ".away");
        gate.Release();
    };
    StartOnD();
    flow.OkButtonClick();
    EXPECT_EQ(JobState.load(), kJobAborted);
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
    StopPromptAnswer prompt(IDCANCEL);
    HoldingGate gate(2);
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
    EXPECT_EQ(JobState.load(), kJobFinished);
    EXPECT_EQ(ExecutedCommandCount.load(), 6);
    EXPECT_EQ(InstalledVersionInRegistry(), "2.10");
}

TEST_F(FlowTest, StopConfirmedAbortsAndSkipsTheRest) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"}, "20240115", {3, 3});
    StopPromptAnswer prompt(IDOK);
    HoldingGate gate(2);
    view.onProgress = [&](int) {
        ASSERT_TRUE(gate.WaitUntilHeld());
        flow.StopButtonClick();
        gate.Release();
    };
    StartOnD();
    flow.OkButtonClick();
    EXPECT_EQ(JobState.load(), kJobAborted);
    EXPECT_TRUE(view.mainClosed);
    flow.Cleanup();
    EXPECT_EQ(ExecutedCommandCount.load(), 1);
    EXPECT_FALSE(fs::exists(C("MORVAN/F1_1.TXT")));
    EXPECT_EQ(InstalledVersionInRegistry(), "2.00");
}

TEST_F(FlowTest, ProgressDialogClosedDuringTheJobAbortsWithoutAQuestion) {
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"});
    HoldingGate gate(1);
    view.onProgress = [&](int) {
        ASSERT_TRUE(gate.WaitUntilHeld());
        view.CloseProgressDialog();  // the close box
        gate.Release();
    };
    StartOnD();
    flow.OkButtonClick();
    EXPECT_EQ(JobState.load(), kJobAborted);
    EXPECT_TRUE(view.mainClosed);
    for (const std::string& caption : Captions()) EXPECT_NE(caption, "中止");
    flow.Cleanup();
    EXPECT_EQ(ExecutedCommandCount.load(), 0);
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
    EXPECT_EQ(InstallDiskPath, "D:");
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
