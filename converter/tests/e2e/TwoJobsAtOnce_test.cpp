// Two conversions at once in one product prefix, different drawings into different PDBs
// of one folder, with no server running yet (both jobs find the pipe missing and start
// it): both PDBs are what their drawings say, and neither job leaves a work file behind
// (each names its own working copy and its own extension file).
#include <gtest/gtest.h>

#include "E2eSupport.h"

namespace e2e {
namespace {

class TwoJobsAtOnce : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { prefix_.Make("morvan-e2e-two"); }
    static void TearDownTestSuite() { prefix_.Remove(); }
    static inline ProductPrefix prefix_;
};

TEST_F(TwoJobsAtOnce, BothPdbsAreCorrectAndNoWorkFileIsShared) {
    MakeDrawing("convert-kinds.json", "C:\\WORK\\KINDS.000");
    MakeDrawing("japanese.json", "C:\\WORK\\JAPAN.001");
    auto monitor = prefix_.StartMonitor();
    ASSERT_NE(monitor, nullptr);
    auto first = StartTolvane("C:\\WORK\\KINDS.000", "C:\\WORK\\OUT\\KINDS.PDB");
    auto second = StartTolvane("C:\\WORK\\JAPAN.001", "C:\\WORK\\OUT\\JAPAN.PDB");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const int firstCode = Finish(*first);
    const int secondCode = Finish(*second);
    const std::string raw = prefix_.Collect(*monitor);
    EXPECT_EQ(firstCode, 0) << platform::Cp932ToUtf8Lossy(raw);
    EXPECT_EQ(secondCode, 0) << platform::Cp932ToUtf8Lossy(raw);

    EXPECT_TRUE(Leftovers("C:\\WORK\\OUT", ".F").empty()) << "an extension file stayed behind";
    EXPECT_TRUE(Leftovers("C:\\KEL\\PDM\\TMP", ".099").empty()) << "a working copy stayed behind";

    // Each job's lines reached the monitor whole: two starts, two ends.
    int starts = 0, ends = 0;
    for (const auto& line : JobLines(raw)) {
        starts += line.starts_with("Tolvane.EXE 実行!!!");
        ends += line == "Tolvane.EXE 処理タイム表示\n";
    }
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(ends, 2);

    ExpectConverted(Dump("C:\\WORK\\KINDS.000"), Dump("C:\\WORK\\OUT\\KINDS.PDB"), "convert-kinds");
    ExpectConverted(Dump("C:\\WORK\\JAPAN.001"), Dump("C:\\WORK\\OUT\\JAPAN.PDB"), "japanese");
}

}  // namespace
}  // namespace e2e
