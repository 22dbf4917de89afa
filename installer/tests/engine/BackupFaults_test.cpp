// What the backup step must not get wrong: names with blanks, the package list
// changed under two names, and where undo lines go when a README precedes the
// section. Each case installs, then uninstalls, and compares the machine.
#include "RollbackFixture.h"
#include "installer/engine/UndoScript.h"

namespace {

using namespace engine_test;

class BackupFaults : public RollbackFixture {};

TEST_F(BackupFaults, ArchiveKeepsBlanksInNamesSoFormerFilesComeBack) {
    Write("C:\\APP\\MY FILE.TXT", "former");
    MakeLzh("K:\\BLANK.LZH", {{"MY FILE.TXT", "new"}, {"SUB DIR\\NEW ONE.TXT", "added"}});
    const Machine before = Capture();
    Install({"L BLANK.LZH C:\\APP"});
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\MY FILE.TXT"), "new");
    EXPECT_NE(UndoText().find("D C:\\APP\\SUB DIR\\NEW ONE.TXT\r\n"), std::string::npos)
        << Utf8(UndoText());
    Uninstall();
    EXPECT_EQ(Read("C:\\APP\\MY FILE.TXT"), "former");
    EXPECT_TRUE(Capture() == before);
}

TEST_F(BackupFaults, NamesNoUndoLineCanCarryAreRefusedBeforeAnythingChanges) {
    Write("C:\\APP\\MY FILE.TXT", "former");
    Write("C:\\APP\\DOCS\\READ ME.TXT", "doc");
    Write("K:\\A.TXT", "a");
    MakeLzh("K:\\TWO.LZH", {{"TWO  BLANKS.TXT", "x"}});
    // A saved former file is named in a field that ends at a blank (C back); a new
    // file's D line loses a run of blanks.
    for (const char* line : {"C A.TXT C:\\APP\\MY FILE.TXT", "D C:\\APP\\DOCS\\*.TXT",
                             "D C:\\APP\\MY FILE.TXT", "L TWO.LZH C:\\APP"}) {
        StartNewJob();
        messages_.Clear();
        const Machine before = Capture();
        Install({"C CONF.INI C:\\APP\\", line});
        EXPECT_EQ(state_.job.JobState.load(), kJobAborted) << line;
        EXPECT_EQ(
            messages_.AllTexts(),
            std::string("バージョンアップの内容が破損しています。\rerror in \"") + line + "\"");
        EXPECT_EQ(Read("C:\\APP\\MY FILE.TXT"), "former") << line;
        EXPECT_EQ(Read("C:\\APP\\DOCS\\READ ME.TXT"), "doc") << line;
        EXPECT_FALSE(platform::PathExists("C:\\APP\\TWO  BLANKS.TXT")) << line;
        Uninstall();
        EXPECT_TRUE(Capture() == before) << line;
    }
    // A new file with single blanks is undone by its D line.
    StartNewJob();
    const Machine before = Capture();
    Install({"C A.TXT C:\\APP\\NEW FILE.TXT"});
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\NEW FILE.TXT"), "a");
    Uninstall();
    EXPECT_TRUE(Capture() == before);
}

TEST_F(BackupFaults, PackageListChangedUnderBothNamesIsSavedOnceAsItWas) {
    const Machine before = Capture();
    Install({"A PACKAGE.INF C:\\KEL\\INSTALL", "A PACKAGE.00 C:\\KEL\\INSTALL\\",
             "P PACKAGE.INF C:\\KEL\\INSTALL"});
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(PackageText(), "PKG1\r\nPKG3\r\n");
    // One saved copy, taken before the first change, whatever name the lines used.
    EXPECT_EQ(UndoText(), Lines({"2.10/20240101", "UNINST,戻せる", "C package.5 C:\\KEL\\INSTALL\\",
                                 ";package.5", "INSTEND"}));
    Uninstall();
    EXPECT_EQ(PackageText(), "PKG1\r\n");
    EXPECT_TRUE(Capture() == before);
}

TEST_F(BackupFaults, EntriesChangingTheSameFilesKeepEachTheirOwnFormerCopy) {
    const Machine before = Capture();
    Write("K:\\CONF2.INI", "[second]\r\n");
    WriteScript(1, Lines({"2.10/20240101", "UNINST,二番", "A PACKAGE.01 C:\\KEL\\INSTALL",
                          "C CONF2.INI C:\\APP\\CONF.INI", "L APP.LZH C:\\APP", "INSTEND"}));
    Write("K:\\PACKAGE.01", "PKG9\r\n");
    Install({"A PACKAGE.INF C:\\KEL\\INSTALL", "C CONF.INI C:\\APP\\", "L APP.LZH C:\\APP"});
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(PackageText(), "PKG1\r\nPKG2\r\nPKG9\r\n");
    const std::string second = Read(Store() + "\\INST01.DAT");
    EXPECT_NE(second.find("C package~01.5 C:\\KEL\\INSTALL\\package.5\r\n"), std::string::npos)
        << second;
    EXPECT_NE(second.find("C CONF~01.INI C:\\APP\\CONF.INI\r\n"), std::string::npos) << second;
    EXPECT_NE(second.find("L APP~01.LZH C:\\APP\\\r\n"), std::string::npos) << second;
    EXPECT_EQ(Read(Store() + "\\CONF.INI"), "[old]\r\n");
    EXPECT_EQ(Read(Store() + "\\CONF~01.INI"), "[new]\r\n");

    // Undone latest first, as a roll-back does: the machine as it was.
    StartNewJob();
    state_.table.Clear();
    state_.run.UninstallMode = true;
    state_.run.UninstallGroupName = state_.run.CurrentMedia.RevisionName;
    const int count = ScanScriptList(state_, {{"01", "01"}, {"01", "00"}});
    ASSERT_EQ(count, 2);
    for (int i = 1; i <= count; ++i) RunScript(state_, i, false);
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(PackageText(), "PKG1\r\n");
    EXPECT_TRUE(Capture() == before);
}

TEST_F(BackupFaults, UndoLinesGoIntoTheSectionNotIntoAReadmeBeforeIt) {
    Write("K:\\A.TXT", "a");
    const Machine before = Capture();
    Install({"C A.TXT C:\\APP\\"},
            "README\r\nINSTEND OF THE OLD TOOL\r\nUNINST,NOT A SECTION\r\n"
            "READMEEND\r\nUNINST,本物");
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(UndoText(),
              Lines({"2.10/20240101", "README", "INSTEND OF THE OLD TOOL", "UNINST,NOT A SECTION",
                     "READMEEND", "UNINST,本物", "D C:\\APP\\A.TXT", "INSTEND"}));
    // The names of the README count as nothing recorded.
    state_.entry.UndoScriptPath = Store() + "\\INST00.DAT";
    EXPECT_FALSE(IsRecordedInUndoScript(state_.entry, "TOOL"));
    EXPECT_TRUE(IsRecordedInUndoScript(state_.entry, "A.TXT"));
    state_.entry.UndoScriptPath = kNonBackup;
    Uninstall();
    EXPECT_TRUE(Capture() == before);
}

}  // namespace
