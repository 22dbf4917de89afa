// What the table tests share: one prefix for the whole test program (Pelmar.DLL keeps
// its own copy of the platform layer, which reads MORVAN_PREFIX once per process), a
// work folder C:\WORK in it, the tables reset around every test, and a real monitor
// that collects a given number of log lines.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "MonitorProcess.h"
#include "SuitePrefix.h"
#include "support/tables/ChunkChain.h"
#include "support/tables/PdbTables.h"

namespace tables_test {

class TablesFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        converter_test::MakeSuitePrefix("morvan-tables", prefix_);
        std::filesystem::create_directories(prefix_ / "drive_c" / "WORK");
    }
    static void TearDownTestSuite() { converter_test::RemoveSuitePrefix(prefix_); }
    void SetUp() override { PdbTables_ResetForTesting(); }
    void TearDown() override {
        PdbTables_ResetForTesting();
        ChunkChain_SetAllocatorForTesting(nullptr);
    }

    // A monitor that ends after `lines` lines and keeps them raw (code page 932) in a
    // file; null when it did not come up.
    std::unique_ptr<pipe_test::MonitorProcess> StartMonitor(int lines) {
        std::filesystem::remove(RawLog());
        auto monitor = std::make_unique<pipe_test::MonitorProcess>(
            prefix_, "monitor",
            std::vector<std::string>{"--count", std::to_string(lines), "--timeout", "30", "-o",
                                     RawLog().string()});
        if (!monitor->WaitListening()) {
            ADD_FAILURE() << monitor->Err();
            return nullptr;
        }
        return monitor;
    }
    // Waits for the monitor to end and returns the lines it received, as sent.
    std::string Lines(pipe_test::MonitorProcess& monitor) {
        EXPECT_EQ(monitor.Wait(), 0) << monitor.Err();
        return pipe_test::ReadHostFile(RawLog());
    }

    static std::filesystem::path RawLog() { return prefix_ / "monitor.raw"; }
    static std::filesystem::path Work() { return prefix_ / "drive_c" / "WORK"; }

    static inline std::filesystem::path prefix_;
};

}  // namespace tables_test
