// The converter end to end on samples/drawings/convert-kinds.json (every element kind
// this conversion handles, nested placements with layer and pen overrides, rotation and
// scale, Japanese texts and a vertical font, ellipses and a Bézier curve): the installed
// Tolvane.EXE in a fresh product prefix with the real server, libraries, analyser and
// monitor; the PDB read back with `quillon dump` and compared element by element with
// the drawing; the monitor's lines of the job compared byte for byte.
#include <gtest/gtest.h>

#include "E2eSupport.h"

namespace e2e {
namespace {

class ConvertKinds : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_.Make("morvan-e2e-kinds");
        MakeDrawing("convert-kinds.json", kDrawing);
        source_ = Dump(kDrawing);
        auto monitor = prefix_.StartMonitor();
        ASSERT_NE(monitor, nullptr);
        auto job = StartTolvane(kDrawing, kPdb);
        ASSERT_NE(job, nullptr);
        exitCode_ = Finish(*job);
        raw_ = prefix_.Collect(*monitor);
        if (fs::exists(Host(kPdb))) pdb_ = Dump(kPdb);
    }
    static void TearDownTestSuite() { prefix_.Remove(); }

    static constexpr const char* kDrawing = "C:\\WORK\\KINDS.000";
    static constexpr const char* kPdb = "C:\\WORK\\OUT\\KINDS.PDB";
    static inline ProductPrefix prefix_;
    static inline Json source_, pdb_;
    static inline int exitCode_ = -1;
    static inline std::string raw_;
};

TEST_F(ConvertKinds, EndsWithZeroAndLeavesNoWorkFiles) {
    EXPECT_EQ(exitCode_, 0) << platform::Cp932ToUtf8Lossy(raw_);
    EXPECT_TRUE(fs::exists(Host(kPdb)));
    EXPECT_TRUE(Leftovers("C:\\WORK\\OUT", ".F").empty()) << "the extension file stayed behind";
    EXPECT_TRUE(Leftovers("C:\\KEL\\PDM\\TMP", ".099").empty()) << "the working copy stayed behind";
    EXPECT_TRUE(fs::exists(Host(kDrawing))) << "the drawing itself is never touched";
}

TEST_F(ConvertKinds, PdbHoldsWhatTheDrawingSays) {
    ASSERT_FALSE(pdb_.empty());
    ExpectConverted(source_, pdb_, "convert-kinds");
}

// Worked out by hand rather than by the model, so that a model and a converter wrong in
// the same way (the order of the transforms, the overrides) still fail: the circle of
// BOLT (centre (0, 0), radius 3) placed in PLATE at (20, 10), turned 0.3, halved, with
// layer 4 and pen 5; PLATE at (300, 100), turned π/4, scaled 1.5, no overrides. The
// circle lands at (300 + 15·√½, 100 + 45·√½), radius 2.25, layer 4, pen 5. The mark that
// follows the inner placement in PLATE keeps the inner's layer 4 but its own pen 2.
TEST_F(ConvertKinds, NestedPlacementCarriesMembersThroughBothTransforms) {
    ASSERT_FALSE(pdb_.empty());
    const double h = std::sqrt(0.5);
    bool circle = false, mark = false;
    for (const auto& e : pdb_["elements"]) {
        if (e["kind"] == 4 && Near(e["radius"].get<double>(), 2.25)) {
            circle = true;
            EXPECT_TRUE(Near(e["points"][0][0].get<double>(), 300 + 15 * h)) << e;
            EXPECT_TRUE(Near(e["points"][0][1].get<double>(), 100 + 45 * h)) << e;
            EXPECT_EQ(e["layer"], 4) << e;
            EXPECT_EQ(e["pen"], 5) << e;
        }
        if (e["kind"] == 9 && e["mark"] == 2) {
            mark = true;
            // (35, 15) scaled 1.5 and turned π/4.
            EXPECT_TRUE(Near(e["points"][0][0].get<double>(), 300 + (52.5 - 22.5) * h)) << e;
            EXPECT_TRUE(Near(e["points"][0][1].get<double>(), 100 + (52.5 + 22.5) * h)) << e;
            EXPECT_EQ(e["layer"], 4) << e;
            EXPECT_EQ(e["pen"], 2) << e;
        }
    }
    EXPECT_TRUE(circle);
    EXPECT_TRUE(mark);
}

// The vertical face: the text's height is multiplied by the ratio, its angle cleared, and
// the inverse ratio kept as the element's symbol attribute in the extension data.
TEST_F(ConvertKinds, VerticalFaceTextIsWrittenUpright) {
    ASSERT_FALSE(pdb_.empty());
    int found = 0;
    for (const auto& e : pdb_["elements"]) {
        if (e["kind"] != 7 || e["font"] != 102) continue;
        ++found;
        EXPECT_TRUE(Near(e["height"].get<double>(), 3.2)) << e;
        EXPECT_EQ(e["angle"].get<double>(), 0.0) << e;
        bool attribute = false;
        for (const auto& x : pdb_["extension"])
            if (x["tag"] == 6 && x["element"] == e["number"]) {
                attribute = true;
                EXPECT_TRUE(Near(x["ratio"].get<double>(), 1.25)) << x;
            }
        EXPECT_TRUE(attribute) << "no symbol attribute for element " << e["number"];
    }
    EXPECT_EQ(found, 1);
}

TEST_F(ConvertKinds, MonitorShowsTheJobsLinesInOrder) {
    const ConversionModel model(source_, 1);
    std::vector<std::string> want = {
        "Tolvane.EXE 実行!!! argc[4]\n",
        std::string("Tolvane.EXE パラメータ draft[") + kDrawing + "] newpdb[" + kPdb +
            "] 元データ種別[1] 条件ファイル[]\n",
        "      max_layer() max[4]\n",
    };
    for (const auto& layer : source_["layers"])
        want.push_back("        PDB_drfio_init_put_layer() lno[" +
                       std::to_string(layer["number"].get<int>()) + "] lnm[" +
                       ToCp932(layer["name"].get<std::string>()) + "]\n");
    want.push_back("    Make_PDB_Draft() rtn[0] level[0]\n");
    want.push_back("Tolvane.EXE データの合成\n");
    for (const auto& line : model.RegistrationLines()) want.push_back(line);
    want.push_back("Tolvane.EXE 処理タイム表示\n");

    const std::vector<std::string> got = JobLines(raw_);
    ASSERT_EQ(got.size(), want.size() + 1) << platform::Cp932ToUtf8Lossy(raw_);
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(got[i], want[i]) << "line " << i << ": " << platform::Cp932ToUtf8Lossy(got[i]);
    ExpectTimingLine(got.back());
}

}  // namespace
}  // namespace e2e
