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
#include "tests/ProductSuite.h"
#include "TestPrefix.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "pelmar/Pelmar.h"
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

using product_test::Host;

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
        product_test::MakeProductPrefix("morvan-open-XXXXXX", prefix_);
        if (HasFatalFailure()) return;
        fs::create_directories(Host("C:\\WORK"));
    }
    static void TearDownTestSuite() { product_test::RemoveProductPrefix(prefix_); }
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
    // Closes the session and the drawing, merges the extension file into the PDB
    // `windowsPath` and loads it.
    pdbform::PdbFile CloseAndLoadPdb(const std::string& windowsPath) {
        EXPECT_EQ(PdmDb_CloseDrawing(), 0);
        EXPECT_EQ(db_close(&handle_), quillon::kQuillonOk);
        EXPECT_EQ(PDB_PdmExData_resize(kExt), 0);
        EXPECT_EQ(PDB_Union_DraftNPdmDataBase(windowsPath.c_str(), kExt), 0);
        return Load(windowsPath);
    }

    // A monitor that runs until Lines() is called.
    std::unique_ptr<pipe_test::MonitorProcess> StartMonitor() {
        return product_test::StartLogMonitor(prefix_, RawLog());
    }
    // Sends a closing mark, waits until the monitor has written it and returns the lines
    // received before it, as sent (code page 932), without the server's start line.
    std::string Lines(pipe_test::MonitorProcess& monitor) {
        std::string raw = product_test::MonitorLines(monitor, RawLog());
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
