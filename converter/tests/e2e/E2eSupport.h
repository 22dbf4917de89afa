// What the end-to-end tests share: a product prefix made by `morvan-prefix init
// --product`, drawings made from JSON sources with `quillon make`, the installed
// converter C:\KEL\PDM\Tolvane.EXE started as a Windows program, PDBs read back with
// `quillon dump`, the real monitor collecting the log lines, and the comparison of a
// PDB with what the model (ConversionModel.h) expects.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "ConversionModel.h"
#include "MonitorProcess.h"
#include "TestPrefix.h"
#include "platform/Prefix.h"
#include "platform/Process.h"
#include "platform/SystemServices.h"
#include "support/pipe/DebugPrint.h"
#include "tests/ProductSuite.h"

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

using product_test::Host;

inline fs::path SampleDir() { return fs::path(MORVAN_SOURCE_DIR) / "samples" / "drawings"; }

// Runs a host program with its standard output into `out`; its exit code (128 + signal
// when a signal ended it, -1 when it could not be started).
inline int RunToFile(const std::vector<std::string>& args, const fs::path& out) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    return platform::test::WaitProgram(pid);
}

inline std::string Quillon() { return (platform::test::BinDir() / "quillon").string(); }

// `quillon dump` of a file of the prefix, parsed.
inline Json Dump(const std::string& windowsPath) {
    const fs::path out = fs::path(Host(windowsPath) + ".json");
    const int rc = RunToFile({Quillon(), "dump", Host(windowsPath)}, out);
    EXPECT_EQ(rc, 0) << "quillon dump " << windowsPath;
    if (rc != 0) return Json::object();
    return Json::parse(pipe_test::ReadHostFile(out), nullptr, false);
}

// `quillon make` of a sample into a drawing of the prefix.
inline void MakeDrawing(const std::string& sample, const std::string& windowsPath) {
    ASSERT_EQ(platform::test::RunProgram(
                  {Quillon(), "make", (SampleDir() / sample).string(), Host(windowsPath)}),
              0)
        << sample;
}

// A running conversion: C:\KEL\PDM\Tolvane.EXE started as the product starts it.
struct Conversion {
    platform::ChildProcess child;
    std::string drawing, pdb;
};

inline std::unique_ptr<Conversion> StartTolvane(const std::string& drawing, const std::string& pdb,
                                                const std::string& more = "1") {
    auto job = std::make_unique<Conversion>();
    job->drawing = drawing;
    job->pdb = pdb;
    platform::ProcessStart start;
    start.commandLine = "C:\\KEL\\PDM\\Tolvane.EXE " + drawing + " " + pdb + " " + more;
    const auto rc = platform::StartProcess(start, job->child);
    EXPECT_EQ(rc, 0u) << "Tolvane.EXE could not be started (is it installed by init --product?)";
    if (rc != 0) return nullptr;
    return job;
}

// Waits at most two minutes; the exit code, or -1000 when the job did not end.
inline int Finish(Conversion& job) {
    std::int32_t code = 0;
    if (!job.child.started()) return -1000;
    if (!job.child.WaitFor(120000, code)) return -1000;
    return code;
}

// Host paths of the files in a folder of the prefix whose extension (upper-cased) starts
// with `extensionStart` (".F" for extension files, ".099" for working copies).
inline std::vector<std::string> Leftovers(const std::string& windowsFolder,
                                          const std::string& extensionStart) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Host(windowsFolder), ec)) {
        std::string ext = entry.path().extension().string();
        for (char& ch : ext) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (ext.starts_with(extensionStart)) found.push_back(entry.path().string());
    }
    return found;
}

// ---------------------------------------------------------------- comparison

inline bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-7 * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

// Every field of `expected` must be in `actual` with the same value (numbers within a
// relative 1e-7, arrays element by element).
inline void ExpectFields(const Json& expected, const Json& actual, const std::string& where) {
    if (expected.is_number() && actual.is_number()) {
        EXPECT_TRUE(Near(expected.get<double>(), actual.get<double>()))
            << where << ": expected " << expected << ", found " << actual;
    } else if (expected.is_array() && actual.is_array()) {
        ASSERT_EQ(expected.size(), actual.size()) << where << ": " << expected << " vs " << actual;
        for (std::size_t i = 0; i < expected.size(); ++i)
            ExpectFields(expected[i], actual[i], where + "/" + std::to_string(i));
    } else if (expected.is_object() && actual.is_object()) {
        for (const auto& [key, value] : expected.items()) {
            if (!actual.contains(key)) {
                ADD_FAILURE() << where << ": no field " << key << " in " << actual;
                continue;
            }
            ExpectFields(value, actual[key], where + "/" + key);
        }
    } else {
        EXPECT_EQ(expected, actual) << where;
    }
}

// Checks the points of the polyline runs of an ellipse: every point on the ellipse, the
// first at the start parameter, the parameter turning through the sweep.
inline void ExpectEllipse(const Json& curve, const std::vector<Pt>& points,
                          const std::string& where) {
    ASSERT_GE(points.size(), 19u) << where;
    const Pt c = PointOf(curve["centre"]);
    const double rx = curve["rx"].get<double>(), ry = curve["ry"].get<double>();
    const double rot = curve["rotation"].get<double>();
    const auto param = [&](Pt p) {
        const double dx = p.x - c.x, dy = p.y - c.y;
        const double u = dx * std::cos(rot) + dy * std::sin(rot);
        const double v = -dx * std::sin(rot) + dy * std::cos(rot);
        EXPECT_NEAR((u / rx) * (u / rx) + (v / ry) * (v / ry), 1.0, 1e-9)
            << where << ": (" << p.x << ", " << p.y << ") is not on the ellipse";
        return std::atan2(v / ry, u / rx);
    };
    double previous = param(points.front());
    const double start = curve["start"].get<double>();
    EXPECT_NEAR(std::remainder(previous - start, 2 * kPi), 0.0, 1e-9) << where << ": first point";
    double turned = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const double now = param(points[i]);
        turned += std::remainder(now - previous, 2 * kPi);
        previous = now;
    }
    EXPECT_NEAR(turned, curve["sweep"].get<double>(), 1e-9) << where << ": sweep";
}

// Compares the elements of a converted PDB's dump with the model's, in order; returns the
// element numbers of the actual elements that the expected ones became (for the
// extension entries keyed by element number).
inline std::vector<int> ExpectElements(const std::vector<Json>& expected, const Json& actual,
                                       const std::string& name) {
    std::vector<int> numbers;
    const Json elements = actual.value("elements", Json::array());
    std::size_t at = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Json& want = expected[i];
        const std::string where = name + " expected element " + std::to_string(i);
        if (at >= elements.size()) {
            ADD_FAILURE() << where << ": the PDB has only " << elements.size()
                          << " elements; wanted " << want;
            return numbers;
        }
        numbers.push_back(elements[at].value("number", 0));
        if (!want.contains("curve")) {
            ExpectFields(
                want, elements[at],
                where + " (number " + std::to_string(elements[at].value("number", 0)) + ")");
            ++at;
            continue;
        }
        // A curve: runs of 1000 points, the last run holding the rest.
        std::vector<Pt> points;
        std::vector<std::size_t> runs;
        while (at < elements.size() && elements[at].value("kind", 0) == 6) {
            ExpectFields(want["record"], elements[at],
                         where + " run " + std::to_string(runs.size()));
            const Json pts = elements[at].value("points", Json::array());
            for (const auto& p : pts) points.push_back(PointOf(p));
            runs.push_back(pts.size());
            ++at;
            if (pts.size() < static_cast<std::size_t>(kRunPoints)) break;
            if (want["curve"] == "points" && points.size() >= want["points"].size()) break;
        }
        if (runs.empty()) {
            ADD_FAILURE() << where << ": no polyline records";
            return numbers;
        }
        for (std::size_t r = 0; r + 1 < runs.size(); ++r)
            EXPECT_EQ(runs[r], static_cast<std::size_t>(kRunPoints)) << where << " run " << r;
        if (want["curve"] == "ellipse") {
            ExpectEllipse(want, points, where);
        } else {
            Json got = Json::array();
            for (const Pt& p : points) got.push_back(PointJson(p));
            ExpectFields(want["points"], got, where + " points");
        }
    }
    EXPECT_EQ(at, elements.size()) << name << ": the PDB has more elements than expected";
    for (std::size_t i = 0; i < elements.size(); ++i)
        EXPECT_EQ(elements[i].value("number", 0), static_cast<int>(i) + 1)
            << name << ": element numbers run without gaps";
    return numbers;
}

inline void ExpectExtension(const std::vector<Json>& expected, const std::vector<int>& numbers,
                            const Json& actual, const std::string& name) {
    const Json entries = actual.value("extension", Json::array());
    ASSERT_EQ(entries.size(), expected.size()) << name << ": extension " << entries;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        Json want = expected[i];
        if (want.contains("elementIndex")) {
            const std::size_t index = want["elementIndex"].get<std::size_t>();
            want.erase("elementIndex");
            want["element"] = index < numbers.size() ? numbers[index] : -1;
        }
        ExpectFields(want, entries[i], name + " extension entry " + std::to_string(i));
    }
}

// The whole comparison of a converted PDB with its drawing.
inline void ExpectConverted(const Json& source, const Json& pdb, const std::string& name) {
    const ConversionModel model(source, 1);
    EXPECT_EQ(pdb.value("flags", 0) & 1, 1) << name << ": extension data merged";
    // The open's part: layers and head texts as the drawing has them.
    const Json wantLayers = source.value("layers", Json::array());
    const Json gotLayers = pdb.value("layers", Json::array());
    ASSERT_EQ(gotLayers.size(), wantLayers.size()) << name;
    for (std::size_t i = 0; i < wantLayers.size(); ++i) {
        EXPECT_EQ(gotLayers[i]["number"], wantLayers[i]["number"]) << name;
        EXPECT_EQ(gotLayers[i]["name"], wantLayers[i]["name"]) << name;
    }
    if (source.contains("headTexts")) {
        const Json& want = source["headTexts"];
        const Json got = pdb.value("headTexts", Json::object());
        for (const char* key :
             {"systemName", "systemNumber", "paperName", "paperNumber", "message", "selectionName"})
            EXPECT_EQ(got.value(key, Json()), want.value(key, Json())) << name << " head " << key;
    }
    const std::vector<int> numbers = ExpectElements(model.Elements(), pdb, name);
    ExpectExtension(model.Extension(), numbers, pdb, name);
}

// ---------------------------------------------------------------- the monitor's lines

// The job's own lines of a monitor's record (code page 932, "\n" kept): the server's and
// the analyser's lines, which reach the same monitor, left out.
inline std::vector<std::string> JobLines(const std::string& raw) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < raw.size()) {
        std::size_t end = raw.find('\n', from);
        end = end == std::string::npos ? raw.size() : end + 1;
        std::string line = raw.substr(from, end - from);
        from = end;
        if (line.starts_with("Ambrel:") || line.starts_with("Stovik")) continue;
        lines.push_back(line);
    }
    return lines;
}

// The timing line "      [m]分 [s]秒 [t.000]\n": whole calendar seconds, m·60 + s = t.
inline void ExpectTimingLine(const std::string& line) {
    int minutes = -1, seconds = -1;
    double elapsed = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "      [%d]分 [%d]秒 [%lf]", &minutes, &seconds, &elapsed),
              3)
        << line;
    EXPECT_EQ(minutes * 60 + seconds, static_cast<int>(elapsed)) << line;
    EXPECT_LT(seconds, 60) << line;
    char again[128];
    std::snprintf(again, sizeof again, "      [%d]分 [%d]秒 [%.3lf]\n", minutes, seconds, elapsed);
    EXPECT_EQ(line, again);
    EXPECT_EQ(elapsed, std::floor(elapsed)) << "whole seconds: " << line;
}

// ---------------------------------------------------------------- the suite's prefix

class ProductPrefix {
  public:
    void Make(const char* tag) {
        product_test::MakeProductPrefix((std::string(tag) + "-XXXXXX").c_str(), prefix_);
        if (::testing::Test::HasFatalFailure()) return;
        ASSERT_TRUE(fs::exists(Host("C:\\KEL\\PDM\\Tolvane.EXE")))
            << "init --product did not install Tolvane.EXE";
        fs::create_directories(Host("C:\\WORK\\OUT"));
    }
    void Remove() { product_test::RemoveProductPrefix(prefix_); }
    const fs::path& Path() const { return prefix_; }

    // A monitor writing every line to monitor.raw until Collect.
    std::unique_ptr<pipe_test::MonitorProcess> StartMonitor() {
        return product_test::StartLogMonitor(prefix_, prefix_ / "monitor.raw");
    }
    // Sends a closing mark, waits until the monitor has it and returns what came before.
    std::string Collect(pipe_test::MonitorProcess& monitor) {
        return product_test::MonitorLines(monitor, prefix_ / "monitor.raw");
    }

  private:
    fs::path prefix_;
};

}  // namespace e2e
