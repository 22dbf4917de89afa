// Shared by the write-ahead and fault tests: a machine with files, list files, the
// package list and registry values; its state to compare before and after; running
// the medium's entries and uninstalling the group they kept.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ArchiveFixtures.h"
#include "installer/engine/PackageList.h"
#include "installer/engine/ScriptExecution.h"
#include "installer/engine/ScriptLines.h"

namespace engine_test {

inline const char kAppKey[] = "SOFTWARE\\Morvan\\APP";

// The files of a folder (folders that a rollback leaves empty are not files).
inline std::map<std::string, std::string> FilesBelow(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& [path, contents] : Snapshot(dir)) {
        if (contents != "<dir>") files[path] = contents;
    }
    return files;
}

struct Machine {
    std::map<std::string, std::string> app, install, values;
    bool operator==(const Machine&) const = default;
};

// A medium whose entries keep a group: uninstalling the group it kept.
class UninstallingMedium : public EngineMedium {
  protected:
    // Runs the kept group's uninstall scripts as they stand.
    void Uninstall() {
        int count = ScanKeptGroup();
        ASSERT_GT(count, 0);
        for (int i = 1; i <= count; ++i) {
            if (state_.table.Entry(i).CommandCount != 0) RunScript(state_, i, false);
        }
        EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    }
};

class RollbackFixture : public UninstallingMedium {
  protected:
    void SetUp() override {
        UninstallingMedium::SetUp();
        Write("C:\\APP\\CONF.INI", "[old]\r\n");
        Write("C:\\APP\\OLD.TXT", "old");
        Write("C:\\APP\\LOGS\\A.LOG", "a");
        Write("C:\\APP\\LOGS\\KEEP.TXT", "k");
        Write("C:\\APP\\LIST.TXT", "x\ny");
        Write("C:\\APP\\REMOVE.LST", "a\r\nb\r\n");
        Write("C:\\KEL\\WORK\\PLAIN.TMP", "PKG1\r\n");
        std::string failed;
        ASSERT_TRUE(
            EncodePackageList("C:\\KEL\\WORK\\PLAIN.TMP", "C:\\KEL\\INSTALL\\package.5", failed));
        ASSERT_EQ(platform::DeleteFileW("C:\\KEL\\WORK\\PLAIN.TMP"), 0u);
        SetValue(platform::RegRoot::LocalMachine, kAppKey, "Path", "old");
        SetValue(platform::RegRoot::LocalMachine, kAppKey, "Gone", "Bye");

        MakeLzh("K:\\APP.LZH", {{"OLD.TXT", "new"}, {"SUB\\NEW.TXT", "brand new"}});
        Write("K:\\CONF.INI", "[new]\r\n");
        Write("K:\\ADDED.INI", "added\r\n");
        Write("K:\\LIST.TXT", "z\r\n");
        Write("K:\\REMOVE.LST", "b\r\n");
        Write("K:\\PACKAGE.INF", "PKG2\r\n");
        Write("K:\\PACKAGE.00", "PKG3\r\n");
    }

    Machine Capture() {
        return {FilesBelow("C:\\APP"), FilesBelow("C:\\KEL\\INSTALL"),
                RegistryValues(platform::RegRoot::LocalMachine, kAppKey)};
    }

    // Writes entry 00 with `commands` in an "UNINST," section and runs the medium.
    void Install(const std::vector<std::string>& commands, const char* section = "UNINST,戻せる") {
        // After an uninstall: back to an install run of the medium.
        state_.table.Clear();
        state_.run.UninstallMode = false;
        ASSERT_EQ(ReadControlFile(state_.run, "K:"), 0);
        std::string text = Lines({"2.10/20240101", section});
        for (const auto& line : commands) text += line + "\r\n";
        WriteScript(0, text + "INSTEND\r\n");
        int count = ScanScripts(state_, true);
        for (int i = 1; i <= count; ++i) {
            if (state_.table.Entry(i).CommandCount != 0) RunScript(state_, i, true);
        }
    }

    std::string Store() {
        return state_.env.VersionDownRoot + "\\" + state_.run.CurrentMedia.RevisionName + "\\01";
    }
    std::string UndoText() { return Read(Store() + "\\INST00.DAT"); }

    std::string PackageText() {
        std::string failed;
        EXPECT_TRUE(
            DecodePackageList("C:\\KEL\\INSTALL\\package.5", "C:\\KEL\\WORK\\CHECK.TMP", failed));
        std::string text = Read("C:\\KEL\\WORK\\CHECK.TMP");
        EXPECT_EQ(platform::DeleteFileW("C:\\KEL\\WORK\\CHECK.TMP"), 0u);
        return text;
    }
};

}  // namespace engine_test
