// What every test program that runs the converter's parts in a product prefix shares:
// one prefix per test program, made by `morvan-prefix init --product` (the libraries
// keep their own copy of the platform layer, which reads MORVAN_PREFIX once per
// process), the server stopped and the prefix removed at the end, host paths of Windows
// paths, and a real monitor that collects the log lines up to a closing mark.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "MonitorProcess.h"
#include "TestPrefix.h"
#include "platform/Prefix.h"
#include "platform/SystemServices.h"
#include "support/pipe/DebugPrint.h"

namespace product_test {

namespace fs = std::filesystem;

inline std::string Host(const std::string& windowsPath) {
    std::string host;
    EXPECT_EQ(platform::ToHostPath(windowsPath, host), 0u) << windowsPath;
    return host;
}

// Makes a fresh product prefix in the temporary folder from `pattern` (ending in
// XXXXXX) and makes it this process's prefix.
inline void MakeProductPrefix(const char* pattern, fs::path& prefix) {
    std::string templ = (fs::temp_directory_path() / pattern).string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    prefix = templ;
    setenv("MORVAN_PREFIX", prefix.c_str(), 1);
    platform::ResetPrefixForTesting();
    const std::string tool = (platform::test::BinDir() / "morvan-prefix").string();
    ASSERT_EQ(platform::test::RunProgram({tool, "init", "--product", prefix.string()}), 0);
}

// Stops the prefix's server when it is installed, removes the prefix and forgets it.
inline void RemoveProductPrefix(const fs::path& prefix) {
    const std::string server = Host("C:\\KEL\\PDM\\Ambrel.EXE");
    if (fs::exists(server)) (void)platform::test::RunProgram({server, "--stop"});
    std::error_code ignored;
    fs::remove_all(prefix, ignored);
    unsetenv("MORVAN_PREFIX");
    platform::ResetPrefixForTesting();
}

// A monitor that writes what it receives to `rawLog` until MonitorLines() is called;
// null (and a test failure) when it does not listen.
inline std::unique_ptr<pipe_test::MonitorProcess> StartLogMonitor(const fs::path& prefix,
                                                                  const fs::path& rawLog) {
    fs::remove(rawLog);
    auto monitor = std::make_unique<pipe_test::MonitorProcess>(
        prefix, "monitor", std::vector<std::string>{"--timeout", "120", "-o", rawLog.string()});
    if (!monitor->WaitListening()) {
        ADD_FAILURE() << monitor->Err();
        return nullptr;
    }
    return monitor;
}

// Sends a closing mark, waits until the monitor has written it, stops the monitor and
// returns every line received before the mark, as sent (code page 932).
inline std::string MonitorLines(pipe_test::MonitorProcess& monitor, const fs::path& rawLog) {
    static const std::string mark = "-- end of test --\n";
    // A monitor still taking in a flood of lines (a job that logged every element's
    // failure) may refuse a print for a while: the debug print then drops the line.
    // The mark must arrive, so it is sent again until the monitor takes it.
    int sent = -1;
    for (int i = 0; i < 600 && sent <= 0; ++i) {
        sent = DbgPrint("%s", mark.c_str());
        if (sent <= 0) platform::Sleep(50);
    }
    EXPECT_GT(sent, 0);
    std::string raw;
    for (int i = 0; i < 2000; ++i) {
        raw = pipe_test::ReadHostFile(rawLog);
        if (raw.ends_with(mark)) break;
        platform::Sleep(10);
    }
    monitor.Kill(SIGTERM);
    EXPECT_TRUE(raw.ends_with(mark)) << raw;
    if (raw.ends_with(mark)) raw.resize(raw.size() - mark.size());
    return raw;
}

}  // namespace product_test
