// Shared by the crash and store-failure tests of the real program: the texts it prints,
// the state of the test machine, and the settings a product install has.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "installer/testsupport/MachineSnapshot.h"
#include "installer/testsupport/TempPrefix.h"
#include "platform/Cp932.h"
#include "platform/Registry.h"

namespace crash_test {

// The title of the test media (line 1 of their control files).
inline const char kTitle[] = "Morvan,クラッシュ試験ディスク";

// What a text of the program looks like on its standard error (UTF-8).
inline std::string Printed(const std::string& systemText) {
    return platform::Cp932ToUtf8Lossy(systemText);
}
inline std::string RollBackPrompt() {
    return Printed(std::string("MorvanUP box [確認] 前回のインストール（") + kTitle +
                   "）が中断されています。");
}
inline std::string FinishUninstallPrompt() {
    return Printed(std::string("MorvanUP box [確認] 前回のアンインストール（") + kTitle +
                   "）が中断されています。");
}
inline const std::string kRolledBack = Printed("中断されたインストールを元に戻しました。");
inline const std::string kInterrupted = Printed("が中断されています。");
inline const std::string kInstallDone = Printed("インストールが正常に終了しました。");
inline const std::string kUninstallDone = Printed("アンインストールが正常に終了しました。");
inline const std::string kNothingToUninstall = Printed("アンインストールする内容がありません。");
inline const std::string kBrokenContent = Printed("バージョンアップの内容が破損しています。");

inline void SetValue(platform::RegRoot root, const std::string& key, const std::string& name,
                     const std::string& data) {
    platform::RegKey handle;
    ASSERT_EQ(platform::RegCreateKey(root, key, handle), 0u);
    ASSERT_EQ(platform::RegSetString(handle, name, data), 0u);
}

// HKLM\SOFTWARE\Morvan\COMMON VERSION, "<none>" when it cannot be read.
inline std::string RegisteredVersion() {
    platform::RegKey key;
    std::string value;
    if (platform::RegOpenKey(platform::RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON",
                             platform::RegAccess::Read, key) != 0 ||
        platform::RegQueryString(key, "VERSION", value) != 0) {
        return "<none>";
    }
    return value;
}

// The machine of a prefix set up by TempPrefix::InstallStandardProduct: its drives
// and the registry keys that the product and the test media use.
// The control file that the install kept for the group is left out: an uninstall
// removes the group's media folders and keeps that file, which without a media
// folder makes no group the program offers (the tests check that separately).
inline MachineSnapshot MachineState(const TempPrefix& prefix) {
    MachineSnapshot state = TakeMachineSnapshot(
        prefix.HostC("KEL/WORK"), {{platform::RegRoot::LocalMachine, "SOFTWARE\\Morvan"},
                                   {platform::RegRoot::CurrentUser, "SOFTWARE\\KEL"}});
    state.items.erase("c:/MORVAN/MorvanDN/Revision/MorvanUP.INF");
    return state;
}

}  // namespace crash_test
