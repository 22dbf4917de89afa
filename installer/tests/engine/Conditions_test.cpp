// IF conditions against real files of a fresh prefix.
#include <gtest/gtest.h>

#include "EngineMedium.h"
#include "installer/engine/Conditions.h"

namespace {

using engine_test::Midday;

class Conditions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(platform::CreateDirectoryTree("C:\\DATA\\表ソ"), 0u);
        MakeFile("C:\\DATA\\A.TXT", Midday(2020, 6, 15));
        MakeFile("C:\\DATA\\表ソ\\ポ.TXT", Midday(2019, 1, 2));
    }
    static void MakeFile(const std::string& path, std::int64_t when) {
        ASSERT_EQ(platform::WriteFileBytes(path, "x"), 0u);
        ASSERT_EQ(platform::SetModificationTime(path, when), 0u);
    }
    TempPrefix prefix_;
};

TEST_F(Conditions, ExistenceAndAbsence) {
    EXPECT_EQ(EvaluateCondition("IF C:\\DATA\\A.TXT"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition("IF C:\\DATA\\B.TXT"), kConditionFalse);
    EXPECT_EQ(EvaluateCondition("IF !C:\\DATA\\B.TXT"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition("IF !C:\\DATA\\A.TXT"), kConditionFalse);
    // Blanks inside the path are removed before the test.
    EXPECT_EQ(EvaluateCondition("IF C:\\DA TA\\A. TXT"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition("IF ! C:\\DATA\\ A.TXT"), kConditionFalse);
    // A directory is not a file.
    EXPECT_EQ(EvaluateCondition("IF C:\\DATA"), kConditionFalse);
    // Lower-case keyword in a term given on its own.
    EXPECT_EQ(EvaluateConditionTerm("if C:\\DATA\\A.TXT"), kConditionTrue);
}

TEST_F(Conditions, DoubleByteNamesWithBackslashAndBarTrailBytes) {
    // 表 and ソ end in 0x5C, ポ in 0x7C ("|"): none of them may split the path.
    EXPECT_EQ(EvaluateCondition("IF C:\\DATA\\表ソ\\ポ.TXT"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition("IF C:\\DATA\\表ソ\\ポ.TXT >= 20190102"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition("IF !C:\\DATA\\表ソ\\ポ.TXT"), kConditionFalse);
}

TEST_F(Conditions, DateComparisons) {
    const std::string f = "IF C:\\DATA\\A.TXT ";
    EXPECT_EQ(EvaluateCondition(f + ">= 20200615"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition(f + "> 20200615"), kConditionFalse);
    EXPECT_EQ(EvaluateCondition(f + "> 20200614"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition(f + "<= 20200615"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition(f + "< 20200615"), kConditionFalse);
    EXPECT_EQ(EvaluateCondition(f + "< 20200616"), kConditionTrue);
    EXPECT_EQ(EvaluateCondition(f + ">= 20200616"), kConditionFalse);
    EXPECT_EQ(EvaluateCondition("IF C:\\DATA\\A.TXT>=2020 06 15"), kConditionTrue);
    // A missing file compares false whatever the operator.
    for (const char* op : {">=", ">", "<=", "<"}) {
        EXPECT_EQ(EvaluateCondition(std::string("IF C:\\DATA\\B.TXT ") + op + " 20200615"),
                  kConditionFalse)
            << op;
    }
}

TEST_F(Conditions, DateThatIsNotANumberIsFalse) {
    const std::string f = "IF C:\\DATA\\A.TXT ";
    EXPECT_EQ(EvaluateCondition(f + ">= 2020061X"), kConditionFalse);
    EXPECT_EQ(EvaluateCondition(f + "<="), kConditionFalse);
    EXPECT_EQ(EvaluateCondition(f + "< -1"), kConditionFalse);
    EXPECT_EQ(EvaluateCondition(f + "> 99999999999999999999999999"), kConditionFalse);
    EXPECT_EQ(EvaluateCondition(f + ">= 表"), kConditionFalse);
    // Garbage of every byte value never crashes.
    std::string junk;
    for (int b = 1; b < 256; ++b) junk += static_cast<char>(b);
    EXPECT_EQ(EvaluateCondition("IF " + junk), kConditionFalse);
    EXPECT_EQ(EvaluateCondition(f + ">=" + junk), kConditionFalse);
    EXPECT_EQ(EvaluateCondition(f + "<" + std::string(1, '\x81')), kConditionFalse);
}

TEST_F(Conditions, OperatorsSplitOnceWithAndWinning) {
    const std::string a = "C:\\DATA\\A.TXT", b = "C:\\DATA\\B.TXT";
    EXPECT_EQ(EvaluateCondition("IF " + a + " & !" + b), kConditionTrue);
    EXPECT_EQ(EvaluateCondition("IF " + a + " & " + b), kConditionFalse);
    EXPECT_EQ(EvaluateCondition("IF " + b + " | " + a), kConditionTrue);
    EXPECT_EQ(EvaluateCondition("IF " + b + " | !" + a), kConditionFalse);
    EXPECT_EQ(EvaluateCondition("IF " + a + " >= 20200101 & " + a + " < 20210101"), kConditionTrue);
    // "&" wins over "|": the right term keeps "| ..." in its path and is false.
    EXPECT_EQ(EvaluateCondition("IF " + a + " | " + b + " & " + a), kConditionFalse);
    EXPECT_EQ(EvaluateCondition("IF " + a + " & " + a + " | " + a), kConditionFalse);
    // A "!" anywhere in a term makes it an absence test of what follows it.
    EXPECT_EQ(EvaluateCondition("IF " + b + " | !" + b), kConditionTrue);
}

}  // namespace
