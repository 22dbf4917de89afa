// The drawing path taken from the command line, as the converter and a person write it.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <string>

#include "TestPrefix.h"

namespace {

using platform::test::Sj;

std::string PathOf(const std::string& line, bool expectFound, std::size_t expectArguments) {
    std::string path = "stale";
    std::size_t arguments = 99;
    EXPECT_EQ(stovik::DrawingPathOf(line, path, arguments), expectFound) << line;
    EXPECT_EQ(arguments, expectArguments) << line;
    return path;
}

TEST(StovikCommandLine, OneArgumentQuotedOrNot) {
    EXPECT_EQ(PathOf("C:\\KEL\\PROGS\\Stovik.EXE C:\\KEL\\PDM\\TMP\\A1B2.099", true, 1),
              "C:\\KEL\\PDM\\TMP\\A1B2.099");
    EXPECT_EQ(PathOf("Stovik.EXE \"C:\\MY DRAWINGS\\PLAN 1.099\"", true, 1),
              "C:\\MY DRAWINGS\\PLAN 1.099");
    // A quoted program name with a blank; a folder name whose trail byte is "\".
    const std::string folder = Sj("C:\\表 示\\A.099");
    EXPECT_EQ(PathOf("\"C:\\KEL PROGS\\Stovik.EXE\" " + folder, true, 2), folder);
}

TEST(StovikCommandLine, UnquotedPathWithBlanksIsTheRestOfTheLine) {
    // The converter writes the path unquoted; without 8.3 names it may hold blanks.
    EXPECT_EQ(PathOf("Stovik.EXE   C:\\MY DRAWINGS\\PLAN  1.099 \t", true, 3),
              "C:\\MY DRAWINGS\\PLAN  1.099");
}

TEST(StovikCommandLine, NothingOrAmbiguousIsRefused) {
    EXPECT_EQ(PathOf("Stovik.EXE", false, 0), "");
    EXPECT_EQ(PathOf("Stovik.EXE  \t ", false, 0), "");
    EXPECT_EQ(PathOf("Stovik.EXE \"\"", false, 1), "");
    EXPECT_EQ(PathOf("Stovik.EXE \"C:\\A B.099\" C:\\C.099", false, 2), "");
    EXPECT_EQ(PathOf("", false, 0), "");
}

}  // namespace
