// "A" and "P" lines: adding and removing the lines of list files, the installed
// package list included (an "INST," entry, so no backup step is involved).
#include "EngineMedium.h"
#include "installer/engine/ListFileCommand.h"
#include "installer/engine/PackageList.h"
#include "installer/engine/ScriptExecution.h"

namespace {

using namespace engine_test;

class ListFileLines : public EngineMedium {
protected:
    void Run(std::initializer_list<std::string> commands) {
        std::vector<std::string> lines = {"2.10/20240101", "INST,リスト"};
        lines.insert(lines.end(), commands.begin(), commands.end());
        lines.push_back("INSTEND");
        std::string text;
        for (const auto& line : lines) text += line + "\r\n";
        WriteScript(0, text);
        RunScript(state_, ScanScripts(state_, false), false);
    }
    std::string Package() {
        std::string failed;
        EXPECT_TRUE(DecodePackageList("C:\\KEL\\INSTALL\\package.5", "C:\\P.TMP", failed)) << failed;
        return Read("C:\\P.TMP");
    }
};

TEST_F(ListFileLines, AddKeepsDuplicatesOfTheTargetAndAddsANewLineOnce) {
    Write("C:\\APP\\L.TXT", "a\r\nb\r\na\r\n");
    Write("K:\\L.TXT", "a\r\nc\r\nc\r\nC\r\n c\r\n");
    Run({"A L.TXT C:\\APP\\"});
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    // Lines compare whole and exactly: case and blanks count.
    EXPECT_EQ(Read("C:\\APP\\L.TXT"), "a\r\nb\r\na\r\nc\r\nC\r\n c\r\n");
}

TEST_F(ListFileLines, RemoveDropsEveryOccurrenceAndAbsentTargetsBehaveAsDocumented) {
    Write("C:\\APP\\L.TXT", "a\r\nb\r\na\r\nc");
    Write("K:\\L.TXT", "a\r\nz\r\n");
    Write("K:\\NEW.TXT", "x\r\n");
    Run({"P L.TXT C:\\APP", "A NEW.TXT C:\\APP", "P NEW2.TXT C:\\APP"});
    EXPECT_EQ(Read("C:\\APP\\L.TXT"), "b\r\nc\r\n");
    // Adding to a list the machine lacks creates nothing.
    EXPECT_FALSE(platform::FileExists("C:\\APP\\NEW.TXT"));
    // A source that matches nothing fails the command.
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
}

TEST_F(ListFileLines, RemoveFromAMissingListCreatesAnEmptyOne) {
    Write("K:\\L.TXT", "a\r\n");
    ASSERT_EQ(platform::CreateDirectoryTree("C:\\APP"), 0u);
    Run({"P L.TXT C:\\APP\\"});
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\L.TXT"), "");
}

TEST_F(ListFileLines, AReadOnlyListOfTheMachineIsReportedAndKeptAsItIs) {
    Write("C:\\APP\\L.TXT", "a\r\n");
    ASSERT_EQ(platform::SetReadOnly("C:\\APP\\L.TXT", true), 0u);
    Write("K:\\L.TXT", "b\r\n");
    Run({"A L.TXT C:\\APP\\"});
    // The change is made on the staged copy, and the copy back is refused: a list the
    // installer could not update is a failed command, never a silent success.
    EXPECT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_NE(messages_.AllTexts().find("L.TXT"), std::string::npos) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\L.TXT"), "a\r\n");
    std::uint32_t attributes = 0;
    ASSERT_EQ(platform::GetFileAttributesW("C:\\APP\\L.TXT", attributes), 0u);
    EXPECT_NE(attributes & platform::kAttrReadOnly, 0u);
}

TEST_F(ListFileLines, WildcardNamesEveryMatchingTarget) {
    Write("C:\\APP\\ONE.LST", "a\r\nkeep1\r\n");
    Write("C:\\APP\\TWO.LST", "a\r\nkeep2\r\n");
    Write("K:\\LST\\ONE.LST", "a\r\n");
    Write("K:\\LST\\TWO.LST", "a\r\n");
    Write("K:\\LST\\THREE.LST", "a\r\n");
    Run({"P LST\\*.LST C:\\APP"});
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\ONE.LST"), "keep1\r\n");
    EXPECT_EQ(Read("C:\\APP\\TWO.LST"), "keep2\r\n");
    EXPECT_FALSE(platform::FileExists("C:\\APP\\THREE.LST"));
}

TEST_F(ListFileLines, PackageListIsDecodedMergedAndStoredScrambledOnly) {
    Write("C:\\P.TMP", "PKG1\r\nPKG2\r\n");
    std::string failed;
    ASSERT_TRUE(EncodePackageList("C:\\P.TMP", "C:\\KEL\\INSTALL\\package.5", failed)) << failed;
    Write("K:\\PACKAGE.INF", "PKG3\r\nPKG1\r\n");
    Write("K:\\PACKAGE.00", "PKG2\r\n");
    // A trailing "\" after the install directory is still the package form; the
    // second line names the package by the script's number.
    Run({"A PACKAGE.INF C:\\KEL\\INSTALL\\", "P PACKAGE.00 C:\\KEL\\INSTALL"});
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Package(), "PKG1\r\nPKG3\r\n");
    EXPECT_FALSE(platform::FileExists("C:\\KEL\\INSTALL\\PACKAGE.INF"));
    EXPECT_FALSE(platform::FileExists("C:\\KEL\\INSTALL\\PACKAGE.00"));
    EXPECT_FALSE(platform::FileExists("C:\\KEL\\WORK\\PACKAGE.INF"));
    EXPECT_EQ(state_.entry.CurrentPackageName, "PACKAGE.00");
}

TEST_F(ListFileLines, LineWithoutDirectoryFails) {
    Write("K:\\L.TXT", "a\r\n");
    EXPECT_EQ(ListFileCommand(state_.env, state_.run, state_.entry, "A L.TXT").code, -13);
    EXPECT_EQ(ListFileCommand(state_.env, state_.run, state_.entry, "A").code, -13);
}

}  // namespace
