// Script files that are not text: scanned and run without a crash, with the
// ordinary message where a command line is malformed.
#include <random>

#include "EngineMedium.h"
#include "installer/engine/ScriptExecution.h"

namespace {

using engine_test::EngineMedium;
using engine_test::Lines;
using engine_test::Read;
using engine_test::Write;

class ScanRobustness : public EngineMedium {};

std::string Garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
    return bytes;
}

TEST_F(ScanRobustness, BinaryGarbageIsAnEntryWithoutCommands) {
    for (unsigned seed = 1; seed <= 20; ++seed) WriteScript(static_cast<int>(seed), Garbage(4096, seed));
    // Garbage after a valid header inside a section: every line is some command line.
    WriteScript(30, "2.10/20240101\r\nINST,ごみ\r\n" + Garbage(8192, 99));
    int count = ScanScripts(state_, false);
    EXPECT_EQ(count, 21);
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(state_.table.Entry(i).CommandCount, 0) << i;
    // Whatever was counted, running the entry ends cleanly. The only boxes are the
    // ordinary ones: -13 for a "%" reference that names no setting, or for the first
    // command that fails, and -8 for an archive line with a wildcard.
    if (state_.table.Entry(21).CommandCount != 0) RunScript(state_, 21, false);
    for (const auto& box : messages_.Boxes()) {
        bool broken = box.text.rfind("バージョンアップの内容が破損しています。", 0) == 0;
        bool wildcard = box.text == "LZHかZIPのファイル名称にワイルドカードは使用できません。";
        EXPECT_TRUE(broken || wildcard) << engine_test::Utf8(box.text);
    }
}

TEST_F(ScanRobustness, VeryLongLinesAndLeadBytesAtLineEnds) {
    Write("K:\\A.TXT", "a");
    std::string longLine = "C A.TXT C:\\LONG\\" + std::string(100000, 'N');
    std::string longTitle = "INST," + std::string(100000, '\x95');  // lead bytes only
    WriteScript(0, "2.10/20240101\r\n" + longTitle + "\r\n" + longLine + "\r\nC A.TXT C:\\OK\\\x81\r\n" +
                       "C A.TXT C:\\OK\\\r\nINSTEND\x81\r\nINSTEND\r\nREADME\r\n\x82\r\nREADMEEND\r\n");
    ASSERT_EQ(ScanScripts(state_, false), 1);
    EXPECT_EQ(state_.table.Entry(1).CommandCount, 3);
    EXPECT_LE(state_.table.Entry(1).Title.size(), 40u);
    EXPECT_EQ(Read(state_.env.ReadmeDocFile), "\x82\r\n");

    RunScript(state_, 1, false);
    // The 100,000-byte path cannot be created or copied to: the ordinary -13 box.
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    auto boxes = messages_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.substr(0, 40), "バージョンアップの内容が破損しています。");
}

TEST_F(ScanRobustness, LeadByteAtLineEndDoesNotSwallowTheLineBreak) {
    Write("K:\\A.TXT", "a");
    // 0x81 at the end of the title: the next line must still be read on its own.
    WriteScript(0, "2.10/20240101\r\nINST,題\x81\r\nC A.TXT C:\\OK\\\r\nINSTEND\r\n");
    ASSERT_EQ(ScanScripts(state_, false), 1);
    EXPECT_EQ(state_.table.Entry(1).CommandCount, 1);
    RunScript(state_, 1, false);
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << engine_test::Utf8(messages_.AllTexts());
    EXPECT_EQ(Read("C:\\OK\\A.TXT"), "a");
}

TEST_F(ScanRobustness, NulBytesAndControlCharactersInKeywords) {
    std::string script = "2.10/20240101\r\n";
    script += std::string("INST\0,X\r\n", 9);       // not a section line
    script += std::string("README\0\r\n", 9);        // not "README"
    script += "INST,Y\r\n";
    script += std::string("INSTEND\0tail\r\n", 14);  // closes the section (7 characters)
    script += "C A B\\\r\n";                         // outside: ignored
    WriteScript(0, script);
    ASSERT_EQ(ScanScripts(state_, false), 1);
    EXPECT_EQ(state_.table.Entry(1).Title, "Y");
    EXPECT_EQ(state_.table.Entry(1).CommandCount, 0);
    EXPECT_EQ(Read(state_.env.ReadmeDocFile), "");
}

}  // namespace
