// Shared by the engine's scan and execution tests: a fresh prefix with the product
// installed the standard way, the environment loaded, and a medium on drive K: whose
// control file and scripts the test writes (code page 932, CR LF).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "installer/engine/InstallerState.h"
#include "installer/engine/ScriptExecution.h"
#include "installer/engine/ScriptScan.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/VersionRecords.h"
#include "installer/testsupport/ScriptedMessages.h"
#include "installer/testsupport/TempPrefix.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

namespace engine_test {

// Joins lines with CR LF (a final CR LF too).
inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

inline void Write(const std::string& windowsPath, const std::string& contents) {
    std::string dir = windowsPath.substr(0, platform::FindLastPathDelimiter(windowsPath));
    ASSERT_EQ(platform::CreateDirectoryTree(dir), 0u);
    ASSERT_EQ(platform::WriteFileBytes(windowsPath, contents), 0u) << windowsPath;
}

inline std::string Read(const std::string& windowsPath) {
    std::string contents;
    if (platform::ReadFileBytes(windowsPath, contents) != 0) return "<missing>";
    return contents;
}

// For readable failures: code page 932 shown as UTF-8.
inline std::string Utf8(const std::string& cp932) { return platform::Cp932ToUtf8Lossy(cp932); }

// Midday UTC of a date, so that the local date is that date in every time zone
// within eleven hours of UTC.
inline std::int64_t Midday(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    return static_cast<std::int64_t>(timegm(&tm));
}

class EngineMedium : public ::testing::Test {
protected:
    void SetUp() override {
        prefix_.InstallStandardProduct("2.00");
        ASSERT_EQ(LoadInstallEnvironment(state_.env), 0) << messages_.AllTexts();
        prefix_.MapNewDrive('K');
        state_.run.InstallDiskPath = "K:";
        WriteControlFile("2.10/20240101");
    }

    // A new job on the same environment and medium: the job control (its hooks
    // stay), the running entry and the scan report as at program start.
    void StartNewJob() {
        state_.job.JobState = kJobRunning;
        state_.job.ExecutedCommandCount = 0;
        state_.entry = RunningEntry{};
        state_.scan = ScanReport{};
    }

    // Turns to an uninstall run, as a new job, of the group the medium's entries kept
    // and scans it: the number of entries listed.
    int ScanKeptGroup() {
        StartNewJob();
        state_.table.Clear();
        state_.run.UninstallMode = true;
        state_.run.UninstallGroupName = state_.run.CurrentMedia.RevisionName;
        return ScanScripts(state_, false);
    }

    // An uninstall run of the kept group: every entry the scan finds is run.
    void RunKeptGroupUninstall() {
        const int count = ScanKeptGroup();
        for (int i = 1; i <= count; ++i) RunScript(state_, i, false);
    }

    // A medium bringing `versionLine` (version "/" revision id), set 01 of 01.
    void WriteControlFile(const std::string& versionLine) {
        Write("K:\\MorvanUP.INF", Lines({"Morvan,テスト", versionLine, "2.00/", "01/01"}));
        ASSERT_EQ(ReadControlFile(state_.run, "K:"), 0);
    }

    // Writes K:\INSTnn.DAT.
    void WriteScript(int nn, const std::string& text) {
        char name[32];
        std::snprintf(name, sizeof name, "K:\\INST%02d.DAT", nn);
        Write(name, text);
    }

    // Copies the build's platform-test-child into the prefix under `windowsPath`.
    void InstallChild(const std::string& windowsPath) {
        std::string host;
        ASSERT_EQ(platform::ToHostPath(windowsPath, host), 0u);
        std::filesystem::create_directories(std::filesystem::path(host).parent_path());
        std::filesystem::copy_file(TempPrefix::BinDir() + "/platform-test-child", host,
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // A program that runs platform-test-child with fixed (lower-case) options before
    // the arguments it is given: script lines reach a program upper-cased.
    void InstallChildWrapper(const std::string& windowsPath, const std::string& options) {
        std::string host;
        ASSERT_EQ(platform::ToHostPath(windowsPath, host), 0u);
        std::filesystem::create_directories(std::filesystem::path(host).parent_path());
        {
            std::ofstream out(host, std::ios::binary);
            out << "#!/bin/sh\nexec '" << TempPrefix::BinDir() << "/platform-test-child' " << options
                << " \"$@\"\n";
        }
        std::filesystem::permissions(host, std::filesystem::perms::owner_all);
    }

    TempPrefix prefix_;
    ScriptedMessages messages_;
    // The installer's state of this test: fresh for every test.
    InstallerState state_;
};

}  // namespace engine_test
