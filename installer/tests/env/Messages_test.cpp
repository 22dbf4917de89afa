#include "installer/env/Messages.h"

#include <gtest/gtest.h>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/MessageBox.h"
#include "installer/env/VersionRecords.h"
#include "installer/testsupport/ScriptedMessages.h"

namespace {

class MessagesTest : public ::testing::Test {
protected:
    ScriptedMessages messages;
    InstallRun run;  // the run the texts name, fresh for every test
};

TEST_F(MessagesTest, FixedTextsByteForByte) {
    const std::pair<int, const char*> fixed[] = {
        {-16, "指定されたインストールディスクは現在ご使用中の環境にはインストールできません"},
        {-14, "ZipファイルとHaltapp命令には未対応です。"},
        {-10, "アンインストールする項目が選択されていません。"},
        {-9, "アンインストールする内容はありません。"},
        {-8, "LZHかZIPのファイル名称にワイルドカードは使用できません。"},
        {-7, "インストールする項目が選択されていません。"},
        {-5, "MorvanUP.CTLの内容に間違い有り。"},
        {-1, "ドライブの準備が出来ていません。"},
        {4, "既にインストール済みです。"},
        {10, "アンインストールする場合は新しいバージョンから行って下さい。そうで無い場合は、動作保証できません。"},
    };
    for (const auto& [code, text] : fixed) {
        EXPECT_EQ(CodeMessageText(code, "ignored", run), text) << code;
    }
}

TEST_F(MessagesTest, TextsBuiltFromDetailAndGlobals) {
    EXPECT_EQ(CodeMessageText(-15, "%KELSYS\\TOOLS%", run),
              "レジストリが参照できません。\rerror in \"%KELSYS\\TOOLS%\"");
    EXPECT_EQ(CodeMessageText(-13, "L A:\\X.LZH", run),
              "バージョンアップの内容が破損しています。\rerror in \"L A:\\X.LZH\"");
    EXPECT_EQ(CodeMessageText(-4, "", run), " にインストールディスクがありません。");
    run.InstallDiskPath = "A:\\表";
    EXPECT_EQ(CodeMessageText(-4, "", run), "A:\\表 にインストールディスクがありません。");
    EXPECT_EQ(CodeMessageText(-3, "", run), "選択されたA:\\表 は存在しません。");
    run.CurrentMedia.MediaNo = "02";
    run.CurrentMedia.MediaCount = "03";
    EXPECT_EQ(CodeMessageText(1, "", run), "このﾒﾃﾞｨｱは2 / 3です。");
    run.CurrentMedia.MediaNo = "10";
    run.CurrentMedia.MediaCount = "00";
    EXPECT_EQ(CodeMessageText(1, "", run), "このﾒﾃﾞｨｱは10 / 0です。");
    // The half-width katakana are single bytes.
    EXPECT_EQ(std::string("ﾒﾃﾞｨｱ").size(), 5u);
}

TEST_F(MessagesTest, ErrorsBeepAndReadFiveWarningsReturnTheButton) {
    EXPECT_EQ(ShowCodeMessage(0, ""), 0);
    EXPECT_EQ(ShowCodeMessage(-2, ""), 0);
    EXPECT_EQ(ShowCodeMessage(2, ""), 0);
    EXPECT_TRUE(messages.Boxes().empty());
    EXPECT_EQ(messages.BeepCount(), 0);

    messages.QueueAnswer(IDOK);
    EXPECT_EQ(ShowCodeMessage(-7, ""), 5);
    messages.QueueAnswer(IDRETRY);
    EXPECT_EQ(ShowCodeMessage(10, ""), IDRETRY);
    EXPECT_EQ(ShowCodeMessage(4, ""), IDABORT);  // unanswered: the first button
    const auto boxes = messages.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, "エラー");
    EXPECT_EQ(boxes[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes[1].caption, "警告");
    EXPECT_EQ(boxes[1].buttons, MessageButtons::AbortRetryIgnore);
    EXPECT_EQ(messages.BeepCount(), 3);
}

TEST_F(MessagesTest, EndOfJobPrompts) {
    messages.QueueAnswer(IDCANCEL);
    EXPECT_EQ(AskNextMedium(1, 3), IDCANCEL);
    EXPECT_EQ(AskStop(), IDOK);
    NotifyInstallDone();
    NotifyUninstallDone();
    NotifyNothingToUninstall();
    const auto boxes = messages.Boxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0].caption, "終了");
    EXPECT_EQ(boxes[0].text,
              "1/3のインストールが終了しました。2/3のメディアに差し替えて、ＯＫボタンを押してください。");
    EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(boxes[1].caption, "中止");
    EXPECT_EQ(boxes[1].text, "中止します。");
    EXPECT_EQ(boxes[1].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(boxes[2].caption, "終了");
    EXPECT_EQ(boxes[2].text, "インストールが正常に終了しました。");
    EXPECT_EQ(boxes[2].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes[3].text, "アンインストールが正常に終了しました。");
    EXPECT_EQ(boxes[4].caption, "エラー");
    EXPECT_EQ(boxes[4].text, "アンインストールする内容がありません。");
    EXPECT_EQ(messages.BeepCount(), 1);  // only the last notice beeps
}

TEST(DefaultSink, AnswersTheFirstButtonAndPrintsUtf8) {
    SetMessageSink(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("エラー", "一行目\r二行目", MessageButtons::Ok, MessageIcon::Error),
              IDOK);
    EXPECT_EQ(ShowMessageBox("中止", "中止します。", MessageButtons::OkCancel, MessageIcon::None),
              IDOK);
    EXPECT_EQ(ShowMessageBox("警告", "x", MessageButtons::AbortRetryIgnore, MessageIcon::Warning),
              IDABORT);
    SoundBeep();
    const std::string printed = testing::internal::GetCapturedStderr();
    // The UTF-8 form of the first box, spelled in bytes because literals here are
    // code page 932.
    EXPECT_NE(printed.find("[\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC] "
                           "\xE4\xB8\x80\xE8\xA1\x8C\xE7\x9B\xAE\n"
                           "\xE4\xBA\x8C\xE8\xA1\x8C\xE7\x9B\xAE\n"),
              std::string::npos)
        << printed;
}

}  // namespace

TEST_F(MessagesTest, InterruptedJobPromptsAndNotices) {
    messages.QueueAnswer(IDCANCEL);
    EXPECT_EQ(AskRollBackInterruptedInstall("Morvan,更新"), IDCANCEL);
    EXPECT_EQ(AskFinishInterruptedUninstall("Morvan,更新"), IDOK);
    NotifyRollBackDone();
    NotifyRollBackFailed();
    const auto boxes = messages.Boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].caption, "確認");
    EXPECT_EQ(boxes[0].text,
              "前回のインストール（Morvan,更新）が中断されています。\r中断前の状態に戻しますか？");
    EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(boxes[1].caption, "確認");
    EXPECT_EQ(boxes[1].text, "前回のアンインストール（Morvan,更新）が中断されています。\r"
                             "アンインストールを最後まで実行しますか？");
    EXPECT_EQ(boxes[1].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(boxes[2].caption, "終了");
    EXPECT_EQ(boxes[2].text, "中断されたインストールを元に戻しました。");
    EXPECT_EQ(boxes[2].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes[3].caption, "エラー");
    EXPECT_EQ(boxes[3].text,
              "中断された作業を元に戻せませんでした。\r次回の起動時にもう一度実行できます。");
    EXPECT_EQ(messages.BeepCount(), 1);  // only the failure beeps
}
