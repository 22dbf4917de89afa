// Elements whose conversion fails, end to end: a line whose pen has no width or colour
// is written but its pen cannot be registered (status 11). The failure is logged with
// the element's position and kind and the walk goes on; the job's result is the status
// of the last element, so a drawing ending with such a line ends with 11, and one whose
// last element converts ends with 0 and a complete PDB.
#include <gtest/gtest.h>

#include <fstream>

#include "E2eSupport.h"

namespace e2e {
namespace {

class FailingElements : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { prefix_.Make("morvan-e2e-failing"); }
    static void TearDownTestSuite() { prefix_.Remove(); }

    // A drawing of layer A with pen 1 and the elements given, made in the prefix.
    static Json MakeSource(const std::string& windowsPath, const std::string& elements) {
        const fs::path source = prefix_.Path() / "source.json";
        std::ofstream(source) << R"({
          "layers": [{"number": 1, "name": "A", "colourCode": 1, "widthCode": 1}],
          "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}],
          "colours": [{"code": 1, "rgb": [10, 20, 30]}],
          "widths": [{"code": 1, "width": 0.25}],
          "elements": [)" << elements
                              << "]}";
        EXPECT_EQ(
            platform::test::RunProgram({Quillon(), "make", source.string(), Host(windowsPath)}), 0);
        return Dump(windowsPath);
    }

    // Converts with a monitor listening: the exit code, and the job's lines after the
    // layer definitions (the walk's and the end's).
    static int Convert(const std::string& drawing, const std::string& pdb,
                       std::vector<std::string>& after) {
        auto monitor = prefix_.StartMonitor();
        EXPECT_NE(monitor, nullptr);
        if (!monitor) return -1;
        auto job = StartTolvane(drawing, pdb);
        EXPECT_NE(job, nullptr);
        const int code = job ? Finish(*job) : -1;
        bool walk = false;
        for (const auto& line : JobLines(prefix_.Collect(*monitor))) {
            if (walk) after.push_back(line);
            walk = walk || line.starts_with("        PDB_drfio_init_put_layer() lno[1]");
        }
        return code;
    }

    static std::vector<std::string> ErrorLines(const ConversionModel& model, int status) {
        std::vector<std::string> lines;
        for (const auto& f : model.Failures())
            lines.push_back("      Error! Make_PDB_GetPut_Main() rtn[" + std::to_string(status) +
                            "] pid[" + std::to_string(f["position"].get<int>()) + "] pkd[" +
                            std::to_string(f["kind"].get<int>()) + "]\n");
        return lines;
    }

    static void ExpectLines(const std::vector<std::string>& got,
                            const std::vector<std::string>& want) {
        ASSERT_GE(got.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i)
            EXPECT_EQ(got[i], want[i]) << platform::Cp932ToUtf8Lossy(got[i]);
    }

    static inline ProductPrefix prefix_;
};

TEST_F(FailingElements, OneInTheMiddleIsLoggedAndTheRestConverted) {
    const Json drawing = MakeSource("C:\\WORK\\MIDDLE.000", R"(
        {"kind": 2, "pen": 1, "lineType": 1, "points": [[0, 0], [10, 0]]},
        {"kind": 2, "pen": 9, "lineType": 1, "points": [[0, 5], [10, 5]]},
        {"kind": 4, "pen": 1, "lineType": 1, "points": [[20, 20]], "radius": 4})");
    const ConversionModel model(drawing, 1);
    ASSERT_EQ(model.Failures().size(), 1u);
    std::vector<std::string> lines;
    EXPECT_EQ(Convert("C:\\WORK\\MIDDLE.000", "C:\\WORK\\OUT\\MIDDLE.PDB", lines), 0);

    std::vector<std::string> want = ErrorLines(model, 11);
    want.push_back("    Make_PDB_Draft() rtn[0] level[0]\n");
    want.push_back("Tolvane.EXE データの合成\n");
    ExpectLines(lines, want);
    EXPECT_TRUE(Leftovers("C:\\WORK\\OUT", ".F").empty());
    ExpectConverted(drawing, Dump("C:\\WORK\\OUT\\MIDDLE.PDB"), "middle");
}

TEST_F(FailingElements, OneAtTheEndEndsTheJobWithItsStatus) {
    const Json drawing = MakeSource("C:\\WORK\\LAST.000", R"(
        {"kind": 2, "pen": 1, "lineType": 1, "points": [[0, 0], [10, 0]]},
        {"kind": 2, "pen": 9, "lineType": 1, "points": [[0, 5], [10, 5]]})");
    const ConversionModel model(drawing, 1);
    std::vector<std::string> lines;
    EXPECT_EQ(Convert("C:\\WORK\\LAST.000", "C:\\WORK\\OUT\\LAST.PDB", lines), 11);

    std::vector<std::string> want = ErrorLines(model, 11);
    want.push_back("    PDBデータに書き込み失敗 rc[11]\n");
    want.push_back("    Make_PDB_Draft() rtn[11] level[0]\n");
    EXPECT_EQ(lines.size(), want.size()) << "nothing after the conversion step's end";
    ExpectLines(lines, want);
    EXPECT_TRUE(Leftovers("C:\\KEL\\PDM\\TMP", ".099").empty()) << "the working copy stayed behind";
}

}  // namespace
}  // namespace e2e
