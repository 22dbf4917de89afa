// What the job tests share: one product prefix per test program (made by
// `morvan-prefix init --product`: Tolvane, Ambrel, Stovik and the libraries in their
// folders), a work folder C:\WORK, drawings made with the quillon tool from JSON, and a
// real monitor that collects the log lines up to a closing mark.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "MonitorProcess.h"
#include "TestPrefix.h"
#include "tests/ProductSuite.h"
#include "platform/Prefix.h"
#include "platform/SystemServices.h"
#include "support/pipe/DebugPrint.h"

namespace job_test {

namespace fs = std::filesystem;
using platform::test::RunProgram;

// A drawing of one solid line on a layer whose colour and width are defined.
inline constexpr const char* kSimpleDrawing = R"({
  "layers": [{"number": 1, "name": "L1", "colourCode": 1, "widthCode": 1}],
  "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}],
  "colours": [{"code": 1, "rgb": [10, 20, 30]}],
  "widths": [{"code": 1, "width": 0.25}],
  "elements": [{"kind": 2, "pen": 1, "lineType": 1, "points": [[0, 0], [120, 0]]}]
})";

using product_test::Host;

// The lines of `log` that begin with one of `starts`, in order.
inline std::string LinesStarting(const std::string& log, const std::vector<std::string>& starts) {
    std::string out;
    std::size_t at = 0;
    while (at < log.size()) {
        std::size_t end = log.find('\n', at);
        end = end == std::string::npos ? log.size() : end + 1;
        const std::string line = log.substr(at, end - at);
        for (const std::string& s : starts) {
            if (line.starts_with(s)) {
                out += line;
                break;
            }
        }
        at = end;
    }
    return out;
}

// The job's own lines (not those of the open, the walk, the tables, the server and the
// analyser).
inline std::string JobLines(const std::string& log) {
    return LinesStarting(log, {"Tolvane.EXE", "    Make_PDB_Draft", " PDBファイルと", "      [",
                               "    CAD図面", "    PDBデータ", "    Level1"});
}

class JobFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        product_test::MakeProductPrefix("morvan-job-XXXXXX", prefix_);
        if (HasFatalFailure()) return;
    }
    static void TearDownTestSuite() { product_test::RemoveProductPrefix(prefix_); }
    void SetUp() override {
        std::error_code ignored;
        fs::remove_all(Host("C:\\WORK"), ignored);
        fs::create_directories(Host("C:\\WORK"));
    }

    // Makes the drawing `hostPath` from the JSON `source`.
    static void MakeDrawing(const std::string& hostPath, const std::string& source) {
        const fs::path json = prefix_ / "source.json";
        std::ofstream(json, std::ios::binary) << source;
        const std::string quillon = (platform::test::BinDir() / "quillon").string();
        ASSERT_EQ(RunProgram({quillon, "make", json.string(), hostPath}), 0) << hostPath;
    }

    // Runs the installed Tolvane with `args`; its exit code.
    static int RunTolvane(const std::vector<std::string>& args) {
        std::vector<std::string> all{Host("C:\\KEL\\PDM\\Tolvane.EXE")};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(all);
    }

    // A monitor that runs until Lines() is called.
    std::unique_ptr<pipe_test::MonitorProcess> StartMonitor() {
        return product_test::StartLogMonitor(prefix_, RawLog());
    }
    // Sends a closing mark, waits until the monitor has written it and returns every line
    // received before it, as sent (code page 932).
    std::string Lines(pipe_test::MonitorProcess& monitor) {
        return product_test::MonitorLines(monitor, RawLog());
    }

    // The names in a host folder (empty when it is missing).
    static std::vector<std::string> Names(const std::string& hostDir) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(hostDir, ec)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // The working copies left in the temporary folder.
    static std::vector<std::string> WorkCopies() { return Names(Host("C:\\KEL\\PDM\\TMP")); }

    static fs::path RawLog() { return prefix_ / "monitor.raw"; }

    static inline fs::path prefix_;
};

}  // namespace job_test
