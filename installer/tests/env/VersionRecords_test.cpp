#include "installer/env/VersionRecords.h"

#include "installer/env/Messages.h"
#include "installer/tests/env/EnvTestSupport.h"

namespace {

const char kMedium[] = "C:\\MEDIA";

class ControlFile : public EnvTest {
protected:
    void WriteControl(const std::string& contents, const std::string& dir = kMedium) {
        WriteFile(dir + "\\MorvanUP.INF", contents);
    }
};

TEST_F(ControlFile, FullVersionMediumWithBlanksAndCrLf) {
    WriteControl("Morvan , 追加 モジュール\r\n 2.10 / 2024 0101\r\n2.00/\r\n1 / 3\r\n");
    ASSERT_EQ(ReadControlFile(state.run, kMedium), 0);
    EXPECT_EQ(state.run.CurrentMedia.Title, "Morvan,追加モジュール");
    EXPECT_EQ(state.run.CurrentMedia.Version, "2.10");
    EXPECT_EQ(state.run.CurrentMedia.VersionText, "2.10");
    EXPECT_EQ(state.run.CurrentMedia.RevisionId, "20240101");
    EXPECT_EQ(state.run.CurrentMedia.RevisionName, "Revision");
    EXPECT_EQ(state.run.CurrentMedia.RequiredVersion, "2.00");
    EXPECT_EQ(state.run.CurrentMedia.MediaNo, "01");
    EXPECT_EQ(state.run.CurrentMedia.MediaCount, "03");
    EXPECT_EQ(state.run.CurrentMedia.DownVersion, "");
}

TEST_F(ControlFile, RevisionOnlyMediumTakesItsIdAsGroupName) {
    WriteControl("TITLE\n2.1X/20240315EXTRA\n0.00/\n02/02\n");  // LF only
    ASSERT_EQ(ReadControlFile(state.run, kMedium), 0);
    EXPECT_EQ(state.run.CurrentMedia.Version, "0.00");
    EXPECT_EQ(state.run.CurrentMedia.VersionText, "2.1X");
    EXPECT_EQ(state.run.CurrentMedia.RevisionId, "20240315");
    EXPECT_EQ(state.run.CurrentMedia.RevisionName, "20240315");
    WriteControl("TITLE\r3x/20240316\r0.00/\r1/1\r");  // CR only; no "." in the version
    ASSERT_EQ(ReadControlFile(state.run, kMedium), 0);
    EXPECT_EQ(state.run.CurrentMedia.Version, "0.00");
    EXPECT_EQ(state.run.CurrentMedia.RevisionName, "20240316");
}

TEST_F(ControlFile, FifthLineOnlyWhenThereAreExactlyFive) {
    WriteControl("T\n2.10/20240101\n2.00/\n1/1\n2.00\n");
    ASSERT_EQ(ReadControlFile(state.run, kMedium), 0);
    EXPECT_EQ(state.run.CurrentMedia.DownVersion, "2.00");
    WriteControl("T\n2.20/20240201\n2.10/\n1/1\n2.10\nEXTRA\n");
    ASSERT_EQ(ReadControlFile(state.run, kMedium), 0);
    EXPECT_EQ(state.run.CurrentMedia.Version, "2.20");
    EXPECT_EQ(state.run.CurrentMedia.DownVersion, "2.00");  // untouched by a six-line file
}

TEST_F(ControlFile, TitleWithoutCommaIsKeptWhole) {
    WriteControl("表示ソフト\n2.10/20240101\n2.00/\n1/1\n");
    ASSERT_EQ(ReadControlFile(state.run, kMedium), 0);
    EXPECT_EQ(state.run.CurrentMedia.Title, "表示ソフト");
}

struct BadCase {
    const char* contents;
    int line;
};

TEST_F(ControlFile, MalformedLinesAreRefusedAndNamed) {
    const BadCase cases[] = {
        {"T\n2.10/20240101\n2.00/\n", 0},            // three lines
        {"T\n2.10-20240101\n2.00/\n1/1\n", 2},       // no "/"
        {"T\n2.10/2024010\n2.00/\n1/1\n", 2},        // id of 7 characters
        {"T\nABC/20240101\n2.00/\n1/1\n", 2},        // no number
        {"T\n2.10/20240101\n2.00\n1/1\n", 3},        // no "/" on line 3
        {"T\n2.10/20240101\nX/\n1/1\n", 3},          // required version no number
        {"T\n2.10/20240101\n2.00/\n123/1\n", 4},     // three-digit medium number
        {"T\n2.10/20240101\n2.00/\n/1\n", 4},        // no medium number
        {"T\n2.10/20240101\n2.00/\nA/1\n", 4},       // not digits
        {"T\n2.10/20240101\n2.00/\n1/A\n", 4},
        {"T\n2.10/20240101\n2.00/\n1/\n", 4},        // no count
    };
    for (const BadCase& c : cases) {
        WriteControl(c.contents);
        ControlFileProblem problem;
        EXPECT_EQ(ReadControlFile(state.run, kMedium, problem), kCodeBadControlFile) << c.contents;
        EXPECT_EQ(problem.line, c.line) << c.contents;
        EXPECT_FALSE(problem.reason.empty());
    }
    EXPECT_TRUE(messages.Boxes().empty()) << messages.AllTexts();
}

TEST_F(ControlFile, TooShortFileChangesNothingButLaterErrorsKeepEarlierFields) {
    WriteControl("OLD\n2.10/20240101\n2.00/\n1/1\n");
    ASSERT_EQ(ReadControlFile(state.run, kMedium), 0);
    WriteControl("NEW\n2.20/20240202\n");
    EXPECT_EQ(ReadControlFile(state.run, kMedium), kCodeBadControlFile);
    EXPECT_EQ(state.run.CurrentMedia.Title, "OLD");
    // Line 3 without "/" never keeps the old condition as if it applied.
    WriteControl("NEW\n2.20/20240202\n\n1/1\n");
    EXPECT_EQ(ReadControlFile(state.run, kMedium), kCodeBadControlFile);
    EXPECT_EQ(state.run.CurrentMedia.Title, "NEW");
    EXPECT_EQ(state.run.CurrentMedia.RevisionId, "20240202");
}

TEST_F(ControlFile, MissingFileIsShownOnlyInInstallMode) {
    state.run.InstallDiskPath = "A:\\DISK";
    EXPECT_EQ(ReadControlFile(state.run, kMedium), kCodeNoControlFile);
    ASSERT_EQ(messages.Boxes().size(), 1u);
    EXPECT_EQ(messages.Boxes()[0].text, "A:\\DISK にインストールディスクがありません。");
    state.run.UninstallMode = true;
    messages.Clear();
    EXPECT_EQ(ReadControlFile(state.run, kMedium), kCodeNoControlFile);
    EXPECT_TRUE(messages.Boxes().empty());
}

TEST_F(ControlFile, LongPathsAreUsedWhole) {
    // Cut to 81 characters, the control file of medium <cut>1 would be the file <cut>.
    const std::string cut = "C:\\" + std::string(78, 'A');
    ASSERT_EQ(cut.size(), 81u);
    ASSERT_EQ(platform::WriteFileBytes(cut, "WRONG\n1.00/19990101\n0.00/\n1/1\n"), 0u);
    WriteControl("RIGHT\n2.10/20240101\n0.00/\n1/1\n", cut + "1");
    ASSERT_EQ(ReadControlFile(state.run, cut + "1"), 0);
    EXPECT_EQ(state.run.CurrentMedia.Title, "RIGHT");
    EXPECT_TRUE(CheckMedia(state.run, cut + "1"));
    EXPECT_EQ(ReadControlFile(state.run, cut + "2"), kCodeNoControlFile);
    EXPECT_FALSE(CheckMedia(state.run, cut + "2"));
}

class VersionFit : public EnvTest {
protected:
    void Media(const std::string& version, const std::string& required) {
        state.run.CurrentMedia.Title = "Morvan,更新";
        state.run.CurrentMedia.Version = version;
        state.run.CurrentMedia.RequiredVersion = required;
    }
};

TEST_F(VersionFit, NoConditionNeedsNoRegistry) {
    Media("2.10", "0.00");
    EXPECT_EQ(CheckVersionFit(state.run), 0);
    EXPECT_EQ(state.run.InstalledVersion, "0.00");  // not read
    EXPECT_TRUE(messages.Boxes().empty());
}

TEST_F(VersionFit, ComparesInWholeHundredths) {
    SetInstalledVersion("2.10");
    Media("2.10", "2.00");
    EXPECT_EQ(CheckVersionFit(state.run), 0);
    Media("2.05", "2.00");
    EXPECT_EQ(CheckVersionFit(state.run), kCodeOlderThanInstalled);
    Media("0.00", "2.00");  // a revision-only medium is never older
    EXPECT_EQ(CheckVersionFit(state.run), 0);
    Media("2.20", "2.11");
    EXPECT_EQ(CheckVersionFit(state.run), kCodeNeedsNewerVersion);
    Media("2.20", "2.109");  // the third decimal is cut, not rounded
    EXPECT_EQ(CheckVersionFit(state.run), 0);
    // Values that binary fractions cannot hold exactly still compare as written.
    SetInstalledVersion("2.05");
    Media("2.05", "2.05");
    EXPECT_EQ(CheckVersionFit(state.run), 0);
    SetInstalledVersion("4.35");
    Media("4.35", "4.35");
    EXPECT_EQ(CheckVersionFit(state.run), 0);
    Media("4.34", "1.00");
    EXPECT_EQ(CheckVersionFit(state.run), kCodeOlderThanInstalled);
}

TEST_F(VersionFit, MessagesCarryTheVersionsAndTitle) {
    SetInstalledVersion("Ver 2.10");
    Media("2.05", "2.00");
    EXPECT_EQ(CheckVersionFit(state.run), kCodeOlderThanInstalled);
    EXPECT_EQ(state.run.InstalledVersion, "2.10");  // the word in front is dropped
    Media("2.30", "2.20");
    EXPECT_EQ(CheckVersionFit(state.run), kCodeNeedsNewerVersion);
    const auto boxes = messages.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "現在の環境 Ver 2.10です。\rVer 2.05は、インストールすることが出来ません。");
    EXPECT_EQ(boxes[1].text,
              "現在の環境 Ver 2.10です。\r『Morvan,更新』は、Ver 2.20以上用のインストールディスクです。"
              "\rインストールすることは出来ません。");
    EXPECT_EQ(boxes[1].caption, "エラー");
}

TEST_F(VersionFit, NoUsableInstalledVersion) {
    Media("2.10", "2.00");
    EXPECT_EQ(CheckVersionFit(state.run), kCodeNotInstallable);
    SetInstalledVersion("unknown");
    EXPECT_EQ(CheckVersionFit(state.run), kCodeNotInstallable);
    EXPECT_EQ(state.run.InstalledVersion, "0.00");
    ASSERT_EQ(messages.Boxes().size(), 2u);
    EXPECT_EQ(messages.Boxes()[0].text,
              "指定されたインストールディスクは現在ご使用中の環境にはインストールできません");
    std::string kept = "keep";
    EXPECT_EQ(ReadRegisteredVersion(kept), kCodeNotInstallable);
    EXPECT_EQ(kept, "keep");
    SetInstalledVersion("2.30");
    EXPECT_EQ(ReadRegisteredVersion(kept), 0);
    EXPECT_EQ(kept, "2.30");
}

TEST_F(EnvTest, WriteRegisteredVersionNeedsTheProductKey) {
    EXPECT_EQ(WriteRegisteredVersion("2.10"), kCodeNotInstallable);
    EXPECT_EQ(RegisteredVersion(), "(none)");
    platform::RegKey key;
    ASSERT_EQ(platform::RegCreateKey(platform::RegRoot::LocalMachine, "SOFTWARE\\Morvan", key), 0u);
    EXPECT_EQ(WriteRegisteredVersion("2.10"), 0);
    EXPECT_EQ(RegisteredVersion(), "2.10");
}

class RevisionList : public EnvTest {
protected:
    RevisionList() {
        prefix.InstallStandardProduct("2.00");
        EXPECT_EQ(LoadInstallEnvironment(state.env), 0);
        state.run.CurrentMedia.Version = "2.10";
        state.run.CurrentMedia.RequiredVersion = "2.00";
        state.run.CurrentMedia.RevisionId = "20240101";
        state.run.CurrentMedia.DownVersion = "1.90";
    }
    std::string detail;
};

TEST_F(RevisionList, RecordPutsTheIdFirstWithCrLfAndDropsOddLines) {
    WriteFile(state.env.RevisionListFile, "20230101\nnote\r\n20220101LONG\r\n20220101\r\n");
    EXPECT_EQ(RecordRevision(state.env, state.run.CurrentMedia, detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "20240101\r\n20230101\r\n20220101\r\n");
    EXPECT_EQ(RegisteredVersion(), "2.10");
    EXPECT_FALSE(platform::FileExists(state.env.WorkScratchFile));
}

TEST_F(RevisionList, RecordOnEmptyOrMissingListAndRevisionOnlyMedium) {
    state.run.CurrentMedia.Version = "0.00";
    EXPECT_EQ(RecordRevision(state.env, state.run.CurrentMedia, detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "20240101\r\n");
    EXPECT_EQ(RegisteredVersion(), "2.00");  // a revision does not change the version
}

TEST_F(RevisionList, RecordingTheLatestAgainChangesNothing) {
    WriteFile(state.env.RevisionListFile, "20240101\r\n");
    EXPECT_EQ(RecordRevision(state.env, state.run.CurrentMedia, detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "20240101\r\n");  // never listed twice
    WriteFile(state.env.RevisionListFile, "20240101\r\n20230101\r\n");
    EXPECT_EQ(RecordRevision(state.env, state.run.CurrentMedia, detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "20240101\r\n20230101\r\n");
}

TEST_F(RevisionList, NoConditionMeansNoUpdateAtAll) {
    state.run.CurrentMedia.RequiredVersion = "0.00";
    EXPECT_EQ(RecordRevision(state.env, state.run.CurrentMedia, detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "(missing)");
    EXPECT_EQ(RegisteredVersion(), "2.00");
    WriteFile(state.env.RevisionListFile, "20240101\r\n");
    EXPECT_EQ(RemoveRevision(state.env, state.run.CurrentMedia, "20240101", detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "20240101\r\n");
}

TEST_F(RevisionList, RemoveDropsTheIdAndOddLinesAndRestoresTheVersion) {
    WriteFile(state.env.RevisionListFile, "20240101\r\n20230101\r\nabc\r\n20220101\r\n");
    SetInstalledVersion("2.10");
    EXPECT_EQ(RemoveRevision(state.env, state.run.CurrentMedia, "20240101", detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "20230101\r\n20220101\r\n");
    EXPECT_EQ(RegisteredVersion(), "1.90");
    // An id that is not listed: the list comes back unchanged but for odd lines.
    WriteFile(state.env.RevisionListFile, "20230101\nX\n20220101");
    EXPECT_EQ(RemoveRevision(state.env, state.run.CurrentMedia, "19990101", detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "20230101\r\n20220101\r\n");
}

TEST_F(RevisionList, RemoveWithoutListLeavesAnEmptyScratchFile) {
    EXPECT_EQ(RemoveRevision(state.env, state.run.CurrentMedia, "20240101", detail), 0);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "(missing)");
    EXPECT_EQ(ReadFile(state.env.WorkScratchFile), "");
}

class StoreGroups : public EnvTest {
protected:
    StoreGroups() { state.env.VersionDownRoot = "C:\\MORVAN\\MorvanDN"; }
};

TEST_F(StoreGroups, NameAndContentsDecide) {
    WriteFile("C:\\MORVAN\\MorvanDN\\20240101\\01\\INST00.DAT", "x");
    WriteFile("C:\\MORVAN\\MorvanDN\\Revision\\02\\inst05.dat", "x");
    WriteFile("C:\\MORVAN\\MorvanDN\\20240102\\01\\INST00.DA_", "x");  // marker only
    WriteFile("C:\\MORVAN\\MorvanDN\\20240103\\1\\INST00.DAT", "x");   // one digit
    WriteFile("C:\\MORVAN\\MorvanDN\\20240104\\01\\.HIDDEN.DAT", "x");
    WriteFile("C:\\MORVAN\\MorvanDN\\2024010A\\01\\INST00.DAT", "x");
    WriteFile("C:\\MORVAN\\MorvanDN\\REVISION\\01\\INST00.DAT", "x");
    WriteFile("C:\\MORVAN\\MorvanDN\\20240105\\MorvanUP.INF", "x");
    EXPECT_TRUE(IsRevisionStoreDir(state.env, "20240101"));
    EXPECT_TRUE(IsRevisionStoreDir(state.env, "Revision"));
    EXPECT_FALSE(IsRevisionStoreDir(state.env, "20240102"));
    EXPECT_FALSE(IsRevisionStoreDir(state.env, "20240103"));
    EXPECT_FALSE(IsRevisionStoreDir(state.env, "20240104"));
    EXPECT_FALSE(IsRevisionStoreDir(state.env, "2024010A"));
    EXPECT_FALSE(IsRevisionStoreDir(state.env, "REVISION"));
    EXPECT_FALSE(IsRevisionStoreDir(state.env, "20240105"));
    EXPECT_FALSE(IsRevisionStoreDir(state.env, "20240199"));  // not there at all
}

TEST_F(EnvTest, ScriptEntryLinePadsTitleAndMarksStatus) {
    ASSERT_TRUE(state.table.Add({"00", "", "基本モジュール", 3, kScriptPlain}));
    ASSERT_TRUE(state.table.Add({"01", "", "追加", 2, kScriptUninstallable}));
    ASSERT_TRUE(state.table.Add({"02", "", "ABC", 0, kScriptInstalled}));
    std::string line;
    EXPECT_EQ(ScriptEntryLine(state.table, 1, line), 3);
    EXPECT_EQ(line, "基本モジュール" + std::string(24, ' '));
    EXPECT_EQ(ScriptEntryLine(state.table, 2, line), 2);
    EXPECT_EQ(line, "追加" + std::string(34, ' ') + "(ｱﾝｲﾝｽﾄｰﾙ可)");
    EXPECT_EQ(line.size(), 38u + 12u);  // half-width katakana are one byte each
    EXPECT_EQ(ScriptEntryLine(state.table, 3, line), 0);
    EXPECT_EQ(line, "ABC" + std::string(35, ' ') + "(ｲﾝｽﾄｰﾙ済み)");
}

}  // namespace

TEST_F(RevisionList, AListThatCannotBeReplacedIsReportedWithItsPath) {
    // A folder where the list belongs: the write fails, and says where.
    ASSERT_EQ(platform::CreateDirectoryTree(state.env.RevisionListFile), 0u);
    EXPECT_EQ(RecordRevision(state.env, state.run.CurrentMedia, detail), kCodeBrokenContent);
    EXPECT_EQ(detail, state.env.RevisionListFile);
    EXPECT_FALSE(platform::FileExists(state.env.WorkScratchFile));
    ASSERT_EQ(platform::RemoveDirectoryW(state.env.RevisionListFile), 0u);
    // A read-only list is kept as it is and reported.
    WriteFile(state.env.RevisionListFile, "20230101\r\n");
    ASSERT_EQ(platform::SetReadOnly(state.env.RevisionListFile, true), 0u);
    detail.clear();
    EXPECT_EQ(RemoveRevision(state.env, state.run.CurrentMedia, "20230101", detail),
              kCodeBrokenContent);
    EXPECT_EQ(detail, state.env.RevisionListFile);
    EXPECT_EQ(ReadFile(state.env.RevisionListFile), "20230101\r\n");
}

TEST_F(RevisionList, StoredVersionIsPutBackExactlyOrRemoved) {
    std::string value;
    bool present = false;
    SetInstalledVersion("Ver 2.05 beta");
    ASSERT_EQ(ReadStoredVersionValue(value, present), 0);
    EXPECT_TRUE(present);
    EXPECT_EQ(value, "Ver 2.05 beta");  // as stored, not as the version check reads it
    SetInstalledVersion("3.00");
    EXPECT_EQ(RestoreStoredVersionValue(value, present), 0);
    EXPECT_EQ(RegisteredVersion(), "Ver 2.05 beta");
    // No value before: the value goes, and going twice is no failure.
    EXPECT_EQ(RestoreStoredVersionValue("", false), 0);
    EXPECT_EQ(RegisteredVersion(), "(none)");
    EXPECT_EQ(RestoreStoredVersionValue("", false), 0);
    ASSERT_EQ(ReadStoredVersionValue(value, present), 0);
    EXPECT_FALSE(present);
}
