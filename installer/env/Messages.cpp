#include "installer/env/Messages.h"

#include "installer/env/MessageBox.h"
#include "platform/Cp932.h"

namespace {

const char kErrorCaption[] = "エラー";
const char kWarningCaption[] = "警告";
const char kEndCaption[] = "終了";

// A medium number ("02") as the user reads it ("2"). Text that is not a number is
// shown as it stands.
std::string AsDecimal(const std::string& digits) {
    if (digits.empty()) return digits;
    for (char c : digits) {
        if (!platform::IsAsciiDigit(c)) return digits;
    }
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

std::string Quoted(const std::string& detail) { return "\"" + detail + "\""; }

}  // namespace

std::string CodeMessageText(int code, const std::string& detail, const InstallRun& run) {
    switch (code) {
        case kCodeNotInstallable:
            return "指定されたインストールディスクは現在ご使用中の環境にはインストールできません";
        case kCodeRegistryUnreadable:
            return "レジストリが参照できません。\rerror in " + Quoted(detail);
        case kCodeUnsupported:
            return "ZipファイルとHaltapp命令には未対応です。";
        case kCodeBrokenContent:
            return "バージョンアップの内容が破損しています。\rerror in " + Quoted(detail);
        case kCodeOlderThanInstalled:
            return "現在の環境 Ver " + run.InstalledVersion + "です。\rVer " + run.CurrentMedia.Version +
                   "は、インストールすることが出来ません。";
        case kCodeNeedsNewerVersion:
            return "現在の環境 Ver " + run.InstalledVersion + "です。\r『" + run.CurrentMedia.Title +
                   "』は、Ver " + run.CurrentMedia.RequiredVersion +
                   "以上用のインストールディスクです。\rインストールすることは出来ません。";
        case kCodeNothingToUninstallSelected:
            return "アンインストールする項目が選択されていません。";
        case kCodeNothingToUninstall:
            return "アンインストールする内容はありません。";
        case kCodeWildcardArchive:
            return "LZHかZIPのファイル名称にワイルドカードは使用できません。";
        case kCodeNothingToInstallSelected:
            return "インストールする項目が選択されていません。";
        case kCodeBadControlFile:
            return "MorvanUP.CTLの内容に間違い有り。";
        case kCodeNoControlFile:
            return run.InstallDiskPath + " にインストールディスクがありません。";
        case kCodeDirMissing:
            return "選択された" + run.InstallDiskPath + " は存在しません。";
        case kCodeNotReady:
            return "ドライブの準備が出来ていません。";
        case kCodeWrongMedium:
            return "このﾒﾃﾞｨｱは" + AsDecimal(run.CurrentMedia.MediaNo) + " / " +
                   AsDecimal(run.CurrentMedia.MediaCount) + "です。";
        case kCodeAlreadyInstalled:
            return "既にインストール済みです。";
        case kCodeUninstallNewestFirst:
            return "アンインストールする場合は新しいバージョンから行って下さい。"
                   "そうで無い場合は、動作保証できません。";
        default:
            return "";
    }
}

int ShowCodeMessage(int code, const std::string& detail, const InstallRun& run) {
    const std::string text = CodeMessageText(code, detail, run);
    if (text.empty()) return 0;
    SoundBeep();
    if (code < 0) {
        ShowMessageBox(kErrorCaption, text, MessageButtons::Ok, MessageIcon::Error);
        return IDIGNORE;  // every error box reads 5, whatever was pressed
    }
    return ShowMessageBox(kWarningCaption, text, MessageButtons::AbortRetryIgnore,
                          MessageIcon::Warning);
}

int ShowCodeMessage(int code, const std::string& detail) {
    return ShowCodeMessage(code, detail, InstallRun{});
}

int ShowDirectoryCreateFailure(const std::string& dir) {
    SoundBeep();
    ShowMessageBox(kErrorCaption, "フォルダが作成できません。\rerror in " + Quoted(dir),
                   MessageButtons::Ok, MessageIcon::Error);
    return IDIGNORE;
}

int AskNextMedium(int n, int m) {
    const std::string count = std::to_string(m);
    return ShowMessageBox(kEndCaption,
                          std::to_string(n) + "/" + count + "のインストールが終了しました。" +
                              std::to_string(n + 1) + "/" + count +
                              "のメディアに差し替えて、ＯＫボタンを押してください。",
                          MessageButtons::OkCancel, MessageIcon::Information);
}

int AskStop() {
    return ShowMessageBox("中止", "中止します。", MessageButtons::OkCancel, MessageIcon::Warning);
}

void NotifyInstallDone() {
    ShowMessageBox(kEndCaption, "インストールが正常に終了しました。", MessageButtons::Ok,
                   MessageIcon::Information);
}

void NotifyUninstallDone() {
    ShowMessageBox(kEndCaption, "アンインストールが正常に終了しました。", MessageButtons::Ok,
                   MessageIcon::Information);
}

void NotifyNothingToUninstall() {
    SoundBeep();
    ShowMessageBox(kErrorCaption, "アンインストールする内容がありません。", MessageButtons::Ok,
                   MessageIcon::Error);
}

int AskRollBackInterruptedInstall(const std::string& title) {
    return ShowMessageBox("確認",
                          "前回のインストール（" + title +
                              "）が中断されています。\r"
                              "中断前の状態に戻しますか？",
                          MessageButtons::OkCancel, MessageIcon::Warning);
}

int AskFinishInterruptedUninstall(const std::string& title) {
    return ShowMessageBox("確認",
                          "前回のアンインストール（" + title +
                              "）が中断されています。\r"
                              "アンインストールを最後まで実行しますか？",
                          MessageButtons::OkCancel, MessageIcon::Warning);
}

void NotifyRollBackDone() {
    ShowMessageBox(kEndCaption, "中断されたインストールを元に戻しました。", MessageButtons::Ok,
                   MessageIcon::Information);
}

void NotifyRollBackFailed() {
    SoundBeep();
    ShowMessageBox(kErrorCaption,
                   "中断された作業を元に戻せませんでした。\r次回の起動時にもう一度実行できます。",
                   MessageButtons::Ok, MessageIcon::Error);
}
