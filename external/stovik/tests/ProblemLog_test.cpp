// The cap and the closing lines of the analyser's report, with a sink that keeps the
// lines (code page 932, as the monitor receives them).
#include "ProblemLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestPrefix.h"

namespace {

using platform::test::Sj;

struct Collected {
    std::vector<std::string> lines;
    stovik::ProblemLog log;
    explicit Collected(std::size_t cap)
        : log([this](const std::string& line) { lines.push_back(line); }, cap) {}
};

TEST(StovikProblemLog, CapCountsEveryProblemButSendsOnlyTheFirst) {
    Collected exact(2);
    exact.log.Report("a\n");
    exact.log.Note("note\n");  // neither counted nor capped
    exact.log.Report("b\n");
    exact.log.Finish(7);
    EXPECT_EQ(exact.lines,
              (std::vector<std::string>{"a\n", "note\n", "b\n", Sj("Stovik: 要素[7] 問題[2]\n")}));

    Collected over(2);
    for (int i = 0; i < 5; ++i) over.log.Report(stovik::Format("p%d\n", i));
    over.log.Note("late note\n");
    over.log.Finish(3);
    EXPECT_EQ(over.log.Problems(), 5);
    EXPECT_EQ(over.lines, (std::vector<std::string>{"p0\n", "p1\n", "late note\n",
                                                    Sj("Stovik: 以降の問題[3] は省略\n"),
                                                    Sj("Stovik: 要素[3] 問題[5]\n")}));

    Collected none(0);
    none.log.Finish(0);
    EXPECT_EQ(none.lines, std::vector<std::string>{Sj("Stovik: 要素[0] 問題[0]\n")});
}

TEST(StovikProblemLog, FormatNeverCutsALongLine) {
    // A long path of double-byte characters must arrive whole, not cut inside one.
    std::string path = "C:\\";
    for (int i = 0; i < 400; ++i) path += Sj("表");
    const std::string line = stovik::Format("[%s] rtn[%d]\n", path.c_str(), 41);
    EXPECT_EQ(line, "[" + path + "] rtn[41]\n");
}

}  // namespace
