// Text files of lines: the line rules of the reader, and the rewrite through the
// scratch file, on real files of a fresh prefix.
#include "installer/env/LineFiles.h"

#include "EnvTestSupport.h"

namespace {

using Lines = std::vector<std::string>;

class LineFiles : public EnvTest {
  protected:
    const std::string scratch_ = "C:\\WORK\\TEMP\\SET_WORK.LOG";
    const std::string list_ = "C:\\APP\\LIST.TXT";
    std::string failed_;
};

TEST_F(LineFiles, EveryLineEndEndsALineAndBytesStayAsTheyAre) {
    const std::string bytes = std::string("crlf\r\nlf\ncr\rnul\0in", 18) + "\r\n\r\n表\x81";
    WriteFile(list_, bytes);
    Lines lines{"stale"};
    ASSERT_TRUE(ReadLineFile(list_, lines));
    EXPECT_EQ(lines, (Lines{"crlf", "lf", "cr", std::string("nul\0in", 6), "", "表\x81"}));
    // A trailing end adds no empty line; an empty file has none.
    WriteFile(list_, "a\r\n");
    ASSERT_TRUE(ReadLineFile(list_, lines));
    EXPECT_EQ(lines, Lines{"a"});
    WriteFile(list_, "");
    ASSERT_TRUE(ReadLineFile(list_, lines));
    EXPECT_TRUE(lines.empty());
}

TEST_F(LineFiles, AFileThatCannotBeReadGivesNoLines) {
    Lines lines{"stale"};
    EXPECT_FALSE(ReadLineFile("C:\\APP\\MISSING.TXT", lines));
    EXPECT_TRUE(lines.empty());
    ASSERT_EQ(platform::CreateDirectoryTree("C:\\APP\\FOLDER"), 0u);
    lines = {"stale"};
    EXPECT_FALSE(ReadLineFile("C:\\APP\\FOLDER", lines));
    EXPECT_TRUE(lines.empty());
}

TEST_F(LineFiles, RewriteReplacesOrCreatesTheTargetAndRemovesTheScratchFile) {
    ASSERT_EQ(platform::CreateDirectoryTree("C:\\WORK\\TEMP"), 0u);
    WriteFile(list_, "old\r\n");
    ASSERT_TRUE(RewriteThroughScratch(list_, {"x", "y"}, scratch_, false, failed_));
    EXPECT_EQ(ReadFile(list_), "x\r\ny\r\n");
    ASSERT_TRUE(RewriteThroughScratch("C:\\APP\\NEW.TXT", {}, scratch_, true, failed_));
    EXPECT_EQ(ReadFile("C:\\APP\\NEW.TXT"), "");
    EXPECT_FALSE(platform::PathExists(scratch_));
    EXPECT_EQ(failed_, "");
}

TEST_F(LineFiles, ARewriteThatCannotBeMadeIsReportedWithItsPath) {
    ASSERT_EQ(platform::CreateDirectoryTree("C:\\WORK\\TEMP"), 0u);
    WriteFile(list_, "old\r\n");
    // A read-only target is refused, never taken as updated, and keeps its contents.
    ASSERT_EQ(platform::SetReadOnly(list_, true), 0u);
    EXPECT_FALSE(RewriteThroughScratch(list_, {"new"}, scratch_, false, failed_));
    EXPECT_EQ(failed_, list_);
    EXPECT_EQ(ReadFile(list_), "old\r\n");
    EXPECT_FALSE(platform::PathExists(scratch_));
    // A scratch file that cannot be written leaves the target untouched.
    ASSERT_EQ(platform::SetReadOnly(list_, false), 0u);
    failed_.clear();
    EXPECT_FALSE(
        RewriteThroughScratch(list_, {"new"}, "C:\\NOWHERE\\SET_WORK.LOG", false, failed_));
    EXPECT_EQ(failed_, "C:\\NOWHERE\\SET_WORK.LOG");
    EXPECT_EQ(ReadFile(list_), "old\r\n");
}

}  // namespace
