// What the open tests share: one product prefix per test program, made by
// `morvan-prefix init --product` (Quillon, Pelmar, Gristo, Lutwin, Fennoc keep their own
// copy of the platform layer, which reads MORVAN_PREFIX once per process), a work folder
// C:\WORK, drawings written with the PDB form library, PDBs read back with it, and a
// real monitor that collects the log lines up to a closing mark.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "MonitorProcess.h"
#include "TestPrefix.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "platform/Prefix.h"
#include "platform/SystemServices.h"
#include "quillon/Quillon.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/pipe/DebugPrint.h"
#include "support/tables/PdbTables.h"

namespace open_test {

namespace fs = std::filesystem;

using platform::test::RunProgram;

inline std::string Host(const std::string& windowsPath) {
    std::string host;
    EXPECT_EQ(platform::ToHostPath(windowsPath, host), 0u) << windowsPath;
    return host;
}

// A drawing with a head block carrying the value at 390, the counted name at 394 and a
// mark in its mode part, no head texts, and the colours 1 and 2 and the width 1.
inline pdbform::PdbFile NewDrawing() {
    std::array<std::uint8_t, pdbform::kBlockSize> head{};
    (void)StoreU16(head, 0, 256);
    (void)StoreI32(head, 390, 0x01020304);
    const std::string name = "図番Ａ－１２";
    head[394] = static_cast<std::uint8_t>(name.size());
    std::copy(name.begin(), name.end(), head.begin() + 395);
    head[1500] = 0x5A;
    pdbform::PdbFile file = pdbform::NewEmpty(head);
    file.colours.AppendRaw({1, 10, 20, 30});
    file.colours.AppendRaw({2, 200, 100, 50});
    file.widths.AppendRaw({1, 0.35f});
    return file;
}

inline pdbform::Layer MakeLayer(std::int16_t number, const std::string& name,
                                std::int16_t colourCode, std::int16_t widthCode) {
    pdbform::Layer layer;
    layer.number = number;
    layer.name = name;
    layer.colourCode = colourCode;
    layer.widthCode = widthCode;
    layer.a = static_cast<std::int16_t>(number * 10);
    layer.b = static_cast<std::int16_t>(-number);
    for (int i = 0; i < 9; ++i) layer.record[static_cast<std::size_t>(i)] = number + i / 4.0;
    return layer;
}

class OpenFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string templ = (fs::temp_directory_path() / "morvan-open-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        prefix_ = templ;
        setenv("MORVAN_PREFIX", prefix_.c_str(), 1);
        platform::ResetPrefixForTesting();
        const std::string tool = (platform::test::BinDir() / "morvan-prefix").string();
        ASSERT_EQ(RunProgram({tool, "init", "--product", prefix_.string()}), 0);
        fs::create_directories(Host("C:\\WORK"));
    }
    static void TearDownTestSuite() {
        const std::string server = Host("C:\\KEL\\PDM\\Ambrel.EXE");
        if (fs::exists(server)) (void)RunProgram({server, "--stop"});
        std::error_code ignored;
        fs::remove_all(prefix_, ignored);
        unsetenv("MORVAN_PREFIX");
        platform::ResetPrefixForTesting();
    }
    void SetUp() override {
        PdbTables_ResetForTesting();
        ASSERT_EQ(PdbHead_Begin(kExt, 1), 0);
    }
    void TearDown() override {
        // A test that failed half-way leaves neither a session nor an open drawing.
        (void)PdmDb_CloseDrawing();
        (void)db_close(&handle_);
        PdbTables_ResetForTesting();
    }

    static void SaveDrawing(pdbform::PdbFile& file, const std::string& windowsPath) {
        std::string reason;
        ASSERT_EQ(pdbform::Save(file, Host(windowsPath), &reason), pdbform::Status::kOk) << reason;
    }
    static pdbform::PdbFile Load(const std::string& windowsPath) {
        pdbform::PdbFile file;
        std::string reason;
        EXPECT_EQ(pdbform::Load(Host(windowsPath), file, &reason), pdbform::Status::kOk) << reason;
        return file;
    }

    // A monitor that runs until Lines() is called.
    std::unique_ptr<pipe_test::MonitorProcess> StartMonitor() {
        fs::remove(RawLog());
        auto monitor = std::make_unique<pipe_test::MonitorProcess>(
            prefix_, "monitor",
            std::vector<std::string>{"--timeout", "120", "-o", RawLog().string()});
        if (!monitor->WaitListening()) {
            ADD_FAILURE() << monitor->Err();
            return nullptr;
        }
        return monitor;
    }
    // Sends a closing mark, waits until the monitor has written it and returns the lines
    // received before it, as sent (code page 932), without the server's start line.
    std::string Lines(pipe_test::MonitorProcess& monitor) {
        static const std::string mark = "-- end of test --\n";
        EXPECT_GT(DbgPrint("%s", mark.c_str()), 0);
        std::string raw;
        for (int i = 0; i < 2000; ++i) {
            raw = pipe_test::ReadHostFile(RawLog());
            if (raw.size() >= mark.size() && raw.ends_with(mark)) break;
            platform::Sleep(10);
        }
        monitor.Kill(SIGTERM);
        EXPECT_TRUE(raw.ends_with(mark)) << raw;
        if (raw.ends_with(mark)) raw.resize(raw.size() - mark.size());
        // The server says so when the client has started it; every other line of the
        // server (a refused command, a failed save) stays in.
        static const std::string started = "Ambrel: started\n";
        if (const auto at = raw.find(started); at != std::string::npos)
            raw.erase(at, started.size());
        return raw;
    }

    static fs::path RawLog() { return prefix_ / "monitor.raw"; }

    static constexpr const char* kExt = "C:\\WORK\\NEW.F01";
    static inline fs::path prefix_;
    DrawingHandle handle_{};
};

}  // namespace open_test
