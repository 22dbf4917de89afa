// The installed analyser as the converter starts it: a prefix made by
// `morvan-prefix init --product`, drawings made by `quillon make`, a real monitor
// collecting the log lines, Stovik.EXE started by its Windows command line.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "MonitorProcess.h"
#include "TestPrefix.h"
#include "pdbform/Crc32.h"
#include "platform/Prefix.h"
#include "platform/Process.h"

namespace fs = std::filesystem;

namespace {

// Tables that make every code the drawings below use defined.
const char* const kTables = R"(
  "layers": [{"number": 1, "name": "外形", "colourCode": 1, "widthCode": 1}],
  "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}],
  "colours": [{"code": 1, "rgb": [0, 0, 0]}],
  "widths": [{"code": 1, "width": 0.25}],
  "paintColours": [{"paintNumber": 3, "rgb": [120, 180, 255]}],
  "fonts": [{"font": 1, "face": "MS Gothic"}],
)";

struct Outcome {
    int code = -1;
    std::vector<std::string> lines;  // as the monitor printed them (UTF-8), with "\n"
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
    return lines;
}

class StovikProcess : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string templ = (fs::temp_directory_path() / "morvan-stovik-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        prefix_ = templ;
        setenv("MORVAN_PREFIX", prefix_.c_str(), 1);
        platform::ResetPrefixForTesting();
        const std::string tool = (platform::test::BinDir() / "morvan-prefix").string();
        ASSERT_EQ(platform::test::RunProgram({tool, "init", "--product", prefix_.string()}), 0);
        ASSERT_TRUE(fs::exists(prefix_ / "drive_c/KEL/PROGS/Stovik.EXE"));
        fs::create_directories(prefix_ / "drive_c/DRAW");
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(prefix_, ignored);
        unsetenv("MORVAN_PREFIX");
        platform::ResetPrefixForTesting();
    }

    // Makes C:\DRAW\<name> from a JSON source; returns its host path.
    static fs::path Make(const std::string& name, const std::string& json) {
        const fs::path source = prefix_ / (name + ".json");
        std::ofstream(source, std::ios::binary) << json;
        const fs::path drawing = prefix_ / "drive_c/DRAW" / name;
        const std::string quillon = (platform::test::BinDir() / "quillon").string();
        EXPECT_EQ(platform::test::RunProgram({quillon, "make", source.string(), drawing.string()}),
                  0)
            << json;
        return drawing;
    }

    // Runs "C:\KEL\PROGS\Stovik.EXE <arguments>" with a monitor listening and collects
    // the lines up to the one that begins with `last` (the analyser's final line).
    static Outcome Analyse(const std::string& arguments, const std::string& last) {
        Outcome run;
        pipe_test::MonitorProcess monitor(prefix_, "monitor", {"--timeout", "120"});
        EXPECT_TRUE(monitor.WaitListening());
        platform::ProcessStart start;
        start.commandLine = "C:\\KEL\\PROGS\\Stovik.EXE " + arguments;
        platform::ChildProcess child;
        EXPECT_EQ(platform::StartProcess(start, child), 0u);
        if (!child.started()) return run;
        run.code = child.Wait();
        // The monitor prints the lines in the order they were sent; the last one
        // printed means all are.
        for (int i = 0; i < 2000; ++i) {
            run.lines = Lines(monitor.Out());
            if (!run.lines.empty() && run.lines.back().rfind(last, 0) == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        monitor.Kill(SIGTERM);
        return run;
    }

    static fs::path prefix_;
};
fs::path StovikProcess::prefix_;

TEST_F(StovikProcess, SoundDrawingGivesOnlyTheSummaryAndStaysUnchanged) {
    const fs::path drawing = Make("SOUND.099", std::string("{") + kTables + R"(
      "elements": [
        {"kind": 1, "pen": 1, "points": [[10, 10]]},
        {"kind": 2, "pen": 1, "lineType": 1, "points": [[0, 0], [100, 0]]},
        {"kind": 5, "pen": 1, "lineType": 1, "paintNumber": 3, "ppat": 1,
         "points": [[80, 50]], "radius": 5},
        {"kind": 7, "pen": 1, "font": 1, "height": 3.5, "points": [[0, 90], [40, 90]],
         "text": "配管図"},
        {"kind": 27, "pen": 1, "lineType": 1,
         "points": [[0, 0], [1, 1], [2, 1], [3, 0]]},
        {"position": 10, "kind": 13},
        {"position": 11, "kind": 52, "pen": 1, "lineType": 1, "points": [[0, 0], [5, 5]]},
        {"position": 12, "kind": 25}
      ],
      "placements": [{"position": 12, "definition": 10, "penFlag": 0, "overridePen": 1}],
      "definitions": [{"position": 10, "members": [11]}]
    })");
    const std::string before = pipe_test::ReadHostFile(drawing);
    ASSERT_FALSE(before.empty());

    const Outcome run = Analyse("C:\\DRAW\\SOUND.099", "Stovik: 要素[");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.lines, std::vector<std::string>{"Stovik: 要素[8] 問題[0]\n"});
    EXPECT_EQ(pipe_test::ReadHostFile(drawing), before);
}

TEST_F(StovikProcess, EachProblemIsOneLine) {
    std::string tables = kTables;
    const std::string layerEnd = R"("colourCode": 1, "widthCode": 1}])";
    tables.replace(tables.find(layerEnd), layerEnd.size(),
                   R"("colourCode": 1, "widthCode": 1},
                   {"number": 2, "colourCode": 8, "widthCode": 1}])");
    const fs::path drawing = Make("FAULTS.099", "{" + tables + R"(
      "elements": [
        {"kind": 2, "pen": 9, "lineType": 1, "points": [[0, 0], [1, 0]]},
        {"kind": 2, "aid": 7, "points": [[0, 0], [1, 0]]},
        {"kind": 2, "layer": 5, "pen": 1, "lineType": 1, "points": [[0, 0], [1, 0]]},
        {"kind": 7, "pen": 1, "font": 4, "height": 2, "points": [[0, 0], [4, 0]], "text": "A"},
        {"kind": 2, "pen": 1, "lineType": 1, "points": [["NaN", 0], [1, "Infinity"]]},
        {"kind": 25},
        {"kind": 13},
        {"kind": 7, "pen": 1, "font": 1, "height": 2, "points": [[0, 0], [4, 0]],
         "text": "AB", "textLength": 9}
      ],
      "placements": [{"position": 6, "definition": 7}],
      "definitions": [{"position": 7, "members": [1]}]
    })");
    const std::string before = pipe_test::ReadHostFile(drawing);

    const Outcome run = Analyse("C:\\DRAW\\FAULTS.099", "Stovik: 要素[");
    EXPECT_EQ(run.code, 1);
    const std::vector<std::string> expected{
        "Stovik: レイヤ[2] 色[8] が未定義\n",
        "Stovik: 要素 pid[1] pkd[2] ペン[9] が未定義\n",
        "Stovik: 要素 pid[2] pkd[2] 線属性[7] が未定義\n",
        "Stovik: 要素 pid[3] pkd[2] レイヤ[5] が未定義\n",
        "Stovik: 要素 pid[4] pkd[7] フォント[4] が未定義\n",
        "Stovik: 要素 pid[5] pkd[2] 数値が有限でない\n",
        "Stovik: 要素 pid[6] pkd[25] 配置の構成要素[1] pkd[2] が不正\n",
        "Stovik: 要素 pid[8] pkd[7] 文字列長[9] データ長[2] が不整合\n",
        "Stovik: 要素[8] 問題[8]\n",
    };
    EXPECT_EQ(run.lines, expected);
    EXPECT_EQ(pipe_test::ReadHostFile(drawing), before);
}

// Byte access to a drawing file for damaging it behind the library's back.
std::uint32_t U32(const std::string& f, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(f[at + i]);
    return v;
}
void PutU32(std::string& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
}
std::uint32_t Crc(const std::string& f, std::size_t at, std::size_t length) {
    return pdbform::Crc32(std::span(reinterpret_cast<const std::uint8_t*>(f.data()) + at, length));
}

TEST_F(StovikProcess, DamagedElementIsReportedAndSteppedPast) {
    const fs::path drawing = Make("DAMAGED.099", std::string("{") + kTables + R"(
      "elements": [
        {"kind": 2, "pen": 1, "lineType": 1, "points": [[0, 0], [1, 0]]},
        {"kind": 2, "pen": 1, "lineType": 1, "points": [[0, 0], [2, 0]]},
        {"kind": 2, "pen": 9, "lineType": 1, "points": [[0, 0], [3, 0]]}
      ]})");
    // The second record's kind no longer matches its index slot; the section and
    // directory checksums are made right again, so the file still opens.
    std::string file = pipe_test::ReadHostFile(drawing);
    const std::size_t directory = 2048;
    std::size_t index = 0, store = 0, storeEntry = 0;
    for (std::uint32_t i = 0; i < U32(file, directory + 24); ++i) {
        const std::size_t entry = directory + 32 + 20 * i;
        const std::uint32_t id = U32(file, entry) & 0xFFFF;
        if (id == 1) index = 2048 * std::size_t{U32(file, entry + 4)};
        if (id == 2) store = 2048 * std::size_t{U32(file, entry + 4)}, storeEntry = entry;
    }
    ASSERT_NE(index, 0u);
    ASSERT_NE(store, 0u);
    file[store + U32(file, index + 16 * 2)] = 3;
    PutU32(file, storeEntry + 16, Crc(file, store, U32(file, storeEntry + 8)));
    PutU32(file, directory + 28, 0);
    PutU32(file, directory + 28, Crc(file, directory, 2048));
    std::ofstream(drawing, std::ios::binary | std::ios::trunc) << file;

    const Outcome run = Analyse("C:\\DRAW\\DAMAGED.099", "Stovik: 要素[");
    EXPECT_EQ(run.code, 1);
    const std::vector<std::string> expected{
        "Stovik: 要素 pid[2] が破損 rtn[7]\n",
        "Stovik: 要素 pid[3] pkd[2] ペン[9] が未定義\n",
        "Stovik: 要素[3] 問題[2]\n",
    };
    EXPECT_EQ(run.lines, expected);
    EXPECT_EQ(pipe_test::ReadHostFile(drawing), file);
}

TEST_F(StovikProcess, ProblemsAreCappedAndCounted) {
    std::string elements;
    for (int i = 0; i < 1200; ++i) {
        elements += std::string(i ? "," : "") +
                    R"({"kind": 2, "pen": 9, "lineType": 1, "points": [[0, 0], [1, 0]]})";
    }
    Make("MANY.099", std::string("{") + kTables + "\"elements\": [" + elements + "]}");

    const Outcome run = Analyse("C:\\DRAW\\MANY.099", "Stovik: 要素[");
    EXPECT_EQ(run.code, 1);
    ASSERT_EQ(run.lines.size(), 1002u);
    EXPECT_EQ(run.lines[999], "Stovik: 要素 pid[1007] pkd[2] ペン[9] が未定義\n");
    EXPECT_EQ(run.lines[1000], "Stovik: 以降の問題[200] は省略\n");
    EXPECT_EQ(run.lines[1001], "Stovik: 要素[1200] 問題[1200]\n");
}

TEST_F(StovikProcess, UnreadableFilesAndWrongCommandLines) {
    std::string garbage(40960, '\0');
    std::mt19937 random(7);
    for (char& c : garbage) c = static_cast<char>(random());
    std::ofstream(prefix_ / "drive_c/DRAW/GARBAGE.099", std::ios::binary) << garbage;

    Outcome run = Analyse("C:\\DRAW\\GARBAGE.099", "Stovik: 図面");
    EXPECT_EQ(run.code, 2);
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_EQ(run.lines[0].rfind("Stovik: 図面[C:\\DRAW\\GARBAGE.099] をオープンできない rtn[1", 0),
              0u)
        << run.lines[0];

    run = Analyse("C:\\DRAW\\NONE.099", "Stovik: 図面");
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.lines, std::vector<std::string>{
                             "Stovik: 図面[C:\\DRAW\\NONE.099] をオープンできない rtn[41]\n"});

    run = Analyse("", "Stovik: パラメータ不正");
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.lines, std::vector<std::string>{"Stovik: パラメータ不正 引数[0]\n"});
}

TEST_F(StovikProcess, PathWithBlanksQuotedOrNot) {
    fs::create_directories(prefix_ / "drive_c/MY DRAWINGS");
    const fs::path sound = Make("BLANK.099", std::string("{") + kTables + R"(
      "elements": [{"kind": 2, "pen": 1, "lineType": 1, "points": [[0, 0], [1, 0]]}]})");
    fs::rename(sound, prefix_ / "drive_c/MY DRAWINGS/PLAN 1.099");

    Outcome run = Analyse("\"C:\\MY DRAWINGS\\PLAN 1.099\"", "Stovik: 要素[");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.lines, std::vector<std::string>{"Stovik: 要素[1] 問題[0]\n"});

    // Unquoted, as the converter writes it, the rest of the line is the path.
    run = Analyse("C:\\MY DRAWINGS\\PLAN 1.099", "Stovik: 要素[");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.lines, std::vector<std::string>{"Stovik: 要素[1] 問題[0]\n"});

    // Several arguments with quotes among them name no one drawing.
    run = Analyse("\"C:\\MY DRAWINGS\\PLAN 1.099\" C:\\DRAW\\SOUND.099", "Stovik: パラメータ不正");
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.lines, std::vector<std::string>{"Stovik: パラメータ不正 引数[2]\n"});
}

}  // namespace
