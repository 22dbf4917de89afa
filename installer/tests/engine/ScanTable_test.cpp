// The scan of a medium's scripts into the script table and the README document.
#include "EngineMedium.h"
#include "installer/engine/Conditions.h"

namespace {

using engine_test::EngineMedium;
using engine_test::Lines;
using engine_test::Midday;
using engine_test::Read;
using engine_test::Utf8;
using engine_test::Write;

class ScanTable : public EngineMedium {};

TEST_F(ScanTable, HeadersTitlesCountsAndStates) {
    // Header in lower case after a comment and a blank line; titles with 表 and ソ.
    WriteScript(0, Lines({"; comment first", "", "2.10/20240101", "INST,基本,表示ソフト",
                          "C BIN\\表.EXE C:\\APP\\", "D C:\\APP\\*.TMP", "@HALTAPP",
                          "X C:\\TOOLS\\A.EXE", "INSTEND"}));
    WriteScript(3, Lines({"2.10/20240101", "uninst,アンインストール可能", "C A.TXT C:\\APP\\",
                          "INSTEND"}));
    // Only uncounted lines: "@HALTAPP" and a line of blanks.
    WriteScript(4, Lines({"2.10/20240101", "INST,停止のみ", "@HALTAPP", "   ", "INSTEND"}));
    // A header that does not match: nothing is read.
    WriteScript(7, Lines({"2.00/20240101", "INST,別版", "C A.TXT C:\\APP\\", "INSTEND"}));
    // A section line without a comma gives the whole line as title.
    WriteScript(9, Lines({"2.10/20240101", "INST,", "INSTEND", "INSTXYZ", "INST,", "C A B\\"}));

    ASSERT_EQ(ScanScripts(state_, false), 5) << messages_.AllTexts();
    EXPECT_EQ(state_.table.ScriptEntryCount(), 5);
    EXPECT_EQ(state_.table.Entry(1).ScriptNo, "00");
    EXPECT_EQ(state_.table.Entry(1).Title, "基本,表示ソフト");
    EXPECT_EQ(state_.table.Entry(1).CommandCount, 3);
    EXPECT_EQ(state_.table.Entry(1).Status, kScriptPlain);
    EXPECT_EQ(state_.table.Entry(2).ScriptNo, "03");
    EXPECT_EQ(state_.table.Entry(2).Title, "アンインストール可能");
    EXPECT_EQ(state_.table.Entry(2).Status, kScriptUninstallable);
    EXPECT_EQ(state_.table.Entry(2).CommandCount, 1);
    EXPECT_EQ(state_.table.Entry(3).CommandCount, 0);
    EXPECT_EQ(state_.table.Entry(4).ScriptNo, "07");
    EXPECT_EQ(state_.table.Entry(4).CommandCount, 0);
    EXPECT_EQ(state_.table.Entry(4).Title, "");
    EXPECT_EQ(state_.table.Entry(5).CommandCount, 1);
    EXPECT_EQ(state_.table.Entry(5).Title, "");  // "INST," with nothing after the comma
    EXPECT_EQ(state_.table.TotalCommandCount.load(), 5);
    EXPECT_EQ(state_.table.Entry(1).MediaNo, "");

    const ScanReport& report = state_.scan;
    ASSERT_EQ(report.scripts.size(), 5u);
    EXPECT_EQ(report.scripts[0].note, ScriptScanNote::Counted);
    EXPECT_EQ(report.scripts[2].note, ScriptScanNote::NoCountedCommands);
    EXPECT_EQ(report.scripts[3].note, ScriptScanNote::HeaderMismatch);
    EXPECT_EQ(report.scripts[3].path, "K:\\INST07.DAT");
    EXPECT_TRUE(messages_.Boxes().empty()) << messages_.AllTexts();
}

TEST_F(ScanTable, TitleIsCutTo40BytesOnACharacterBoundary) {
    std::string longTitle;
    for (int i = 0; i < 13; ++i) longTitle += "表";  // 26 bytes
    longTitle = "A" + longTitle + "ソソソソソソソソ";  // 1 + 26 + 16 = 43 bytes
    WriteScript(1, Lines({"2.10/20240101", "INST," + longTitle, "C A B\\", "INSTEND"}));
    WriteScript(2, Lines({"2.10/20240101", "INST,ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefgh",
                          "C A B\\", "INSTEND"}));
    WriteScript(3, Lines({"2.10/20240101", "INSTALLIERT OHNE KOMMA", "C A B\\", "INSTEND"}));
    ASSERT_EQ(ScanScripts(state_, false), 3);
    // 40 would split the 14th double-byte character: the cut keeps 39 bytes.
    EXPECT_EQ(state_.table.Entry(1).Title, longTitle.substr(0, 39));
    EXPECT_TRUE(platform::IsValidCp932(state_.table.Entry(1).Title));
    EXPECT_EQ(state_.table.Entry(2).Title, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd");
    // "INST" without a comma is no section line: nothing counted, no title.
    EXPECT_EQ(state_.table.Entry(3).CommandCount, 0);
}

TEST_F(ScanTable, MarkersAndFreshInstall) {
    WriteScript(0, Lines({"2.10/20240101", "UNINST,A", "C A B\\", "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101", "INST,B", "C A B\\", "INSTEND"}));
    Write(state_.env.VersionDownRoot + "\\Revision\\01\\INST00.DA_", "");
    ASSERT_EQ(ScanScripts(state_, false), 2);
    EXPECT_EQ(state_.table.Entry(1).Status, kScriptInstalled);  // replaces the 1
    EXPECT_EQ(state_.table.Entry(2).Status, kScriptPlain);
    ASSERT_EQ(ScanScripts(state_, true), 2);
    EXPECT_EQ(state_.table.Entry(1).Status, kScriptUninstallable);
}

TEST_F(ScanTable, IfBlocksAreCountedAsTheyStandAtScanTime) {
    Write("C:\\APP\\OLD.DLL", "x");
    ASSERT_EQ(platform::SetModificationTime("C:\\APP\\OLD.DLL", Midday(2021, 3, 4)), 0u);
    WriteScript(0, Lines({"2.10/20240101", "INST,条件",
                          "IF C:\\APP\\OLD.DLL < 20220101", "C A B\\", "C A B\\", "END",
                          "IF C:\\APP\\OLD.DLL >= 20220101", "C A B\\", "END",
                          "IF !C:\\APP\\NEW.DLL", "IF C:\\NESTED", "D C:\\X\\*.*", "ELSE", "END",
                          "IFX is ignored", "C A B\\", "INSTEND"}));
    ASSERT_EQ(ScanScripts(state_, false), 1);
    // 2 (true block) + 0 (false block) + 1 (D; the nested "IF " and "ELSE" count
    // nothing) + 1 after the blocks.
    EXPECT_EQ(state_.table.Entry(1).CommandCount, 4);
}

TEST_F(ScanTable, ReadmeDocumentCollectsSectionsOfAllScripts) {
    WriteScript(0, Lines({"2.10/20240101", "README", "最初の説明", "r-lines never reach it",
                          "  indented", "READMEEND", "INST,A", "C A B\\", "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101", "INST,B", "C A B\\", "INSTEND", "readme",
                          "後の説明 %WINDIR%", "READMEEND",
                          // "README," opens a section for the executor, not for the scan.
                          "README,X", "not readme text", "READMEEND"}));
    ASSERT_EQ(ScanScripts(state_, false), 2);
    EXPECT_EQ(Read(state_.env.ReadmeDocFile), Lines({"最初の説明", "  indented", "後の説明 C:\\WINDOWS"}))
        << Utf8(Read(state_.env.ReadmeDocFile));
    // A second scan starts the document afresh.
    WriteScript(0, Lines({"2.10/20240101", "INST,A", "C A B\\", "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101"}));
    ASSERT_EQ(ScanScripts(state_, false), 2);
    EXPECT_EQ(Read(state_.env.ReadmeDocFile), "");
}

TEST_F(ScanTable, WildcardArchiveStopsTheScanAndOffersNothing) {
    WriteScript(0, Lines({"2.10/20240101", "README", "vorher", "READMEEND", "INST,A",
                          "IF !C:\\NONE", "L PART*.LZH C:\\APP", "END", "C A B\\", "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101", "INST,B", "C A B\\", "Z DATA?.ZIP C:\\APP",
                          "C A B\\", "INSTEND"}));
    WriteScript(2, Lines({"2.10/20240101", "INST,C", "C A B\\", "INSTEND"}));
    EXPECT_EQ(ScanScripts(state_, false), 0);
    EXPECT_EQ(state_.table.ScriptEntryCount(), 0);
    EXPECT_EQ(state_.table.TotalCommandCount.load(), 0);
    // One box per wildcard line: the one in the true IF block and the one that stopped.
    auto boxes = messages_.Boxes();
    ASSERT_EQ(boxes.size(), 2u) << messages_.AllTexts();
    EXPECT_EQ(boxes[0].text, "LZHかZIPのファイル名称にワイルドカードは使用できません。");
    const ScanReport& report = state_.scan;
    EXPECT_TRUE(report.stoppedOnWildcard);
    ASSERT_EQ(report.problems.size(), 2u);
    EXPECT_EQ(report.problems[1].path, "K:\\INST01.DAT");
    EXPECT_EQ(report.problems[1].lineNumber, 4);
    EXPECT_EQ(report.scripts.size(), 2u);  // INST02.DAT was never read
    EXPECT_EQ(Read(state_.env.ReadmeDocFile), Lines({"vorher"}));
}

TEST_F(ScanTable, WildcardInTrueIfBlockIsOnlyNotCounted) {
    WriteScript(0, Lines({"2.10/20240101", "INST,A", "IF !C:\\NONE", "L PART*.LZH C:\\APP",
                          "L PART.LZH C:\\APP", "END", "INSTEND"}));
    EXPECT_EQ(ScanScripts(state_, false), 1);
    EXPECT_EQ(state_.table.Entry(1).CommandCount, 1);
    EXPECT_EQ(messages_.Boxes().size(), 1u);
}

TEST_F(ScanTable, UninstallModeScansKeptGroupsAndStopsAtTheTableLimit) {
    state_.run.UninstallMode = true;
    state_.run.UninstallGroupName = "20240101";
    const std::string group = state_.env.VersionDownRoot + "\\20240101";
    // 60 scripts in media directory 01 and 60 in 03: 120 files for 99 entries.
    for (int media : {1, 3}) {
        for (int nn = 0; nn < 60; ++nn) {
            char path[128];
            std::snprintf(path, sizeof path, "%s\\%02d\\INST%02d.DAT", group.c_str(), media, nn);
            Write(path, Lines({"2.10/20240101", "UNINST,取消" + std::to_string(nn), "D C:\\X\\A",
                               "INSTEND"}));
        }
    }
    ASSERT_EQ(ScanScripts(state_, false), kMaxScriptEntries);
    EXPECT_TRUE(state_.scan.tableFull);
    EXPECT_EQ(state_.table.Entry(1).MediaNo, "01");
    EXPECT_EQ(state_.table.Entry(60).MediaNo, "01");
    EXPECT_EQ(state_.table.Entry(60).ScriptNo, "59");
    EXPECT_EQ(state_.table.Entry(61).MediaNo, "03");
    EXPECT_EQ(state_.table.Entry(61).ScriptNo, "00");
    EXPECT_EQ(state_.table.Entry(99).ScriptNo, "38");
    // Uninstall mode: "U..." opens a section and is never "uninstallable".
    EXPECT_EQ(state_.table.Entry(1).Status, kScriptPlain);
    EXPECT_EQ(state_.table.TotalCommandCount.load(), 99);
}

TEST_F(ScanTable, DeepMediumPathsAreUsedWhole) {
    // 97 characters before the file name: a path cut to 81 would name no script.
    const std::string deep = "K:\\" + std::string(60, 'D') + "\\表ソ表ソ\\" + std::string(20, 'E');
    Write(deep + "\\MorvanUP.INF", Lines({"Morvan,深い", "2.10/20240101", "2.00/", "01/01"}));
    Write(deep + "\\INST04.DAT", Lines({"2.10/20240101", "INST,深い場所", "C A B\\", "INSTEND"}));
    state_.run.InstallDiskPath = deep;
    ASSERT_EQ(ReadControlFile(state_.run, deep), 0);
    ASSERT_EQ(ScanScripts(state_, false), 1);
    EXPECT_EQ(state_.table.Entry(1).ScriptNo, "04");
    EXPECT_EQ(state_.table.Entry(1).CommandCount, 1);
}

TEST_F(ScanTable, NoScriptsGiveNoEntries) {
    EXPECT_EQ(ScanScripts(state_, false), 0);
    EXPECT_EQ(Read(state_.env.ReadmeDocFile), "");
    state_.run.InstallDiskPath = "C:\\MISSING";
    EXPECT_EQ(ScanScripts(state_, false), 0);
    EXPECT_TRUE(messages_.Boxes().empty());
}

}  // namespace
