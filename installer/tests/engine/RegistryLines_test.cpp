// "R" lines: parsing, setting and deleting values, the undo lines they record, and
// how an uninstall run writes an old value back.
#include "ArchiveFixtures.h"
#include "installer/engine/Backup.h"
#include "installer/engine/RegistryCommand.h"
#include "installer/engine/RegistryLine.h"
#include "installer/engine/ScriptExecution.h"

namespace {

using namespace engine_test;
using platform::RegRoot;

const char kKey[] = "SOFTWARE\\Morvan\\APP";
const char kPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP";

TEST(RegistryParse, RootsKeyLevelsQuotesAndDeleteMode) {
    RegistryRequest r;
    ASSERT_TRUE(ParseRegistryLine("R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\NAME VALUE WITH BLANKS", r));
    EXPECT_EQ(r.root, RegRoot::LocalMachine);
    EXPECT_EQ(r.key, "\\SOFTWARE\\MORVAN");
    EXPECT_EQ(r.section, "");
    EXPECT_EQ(r.valueName, "NAME");
    EXPECT_EQ(r.valueText, "VALUE WITH BLANKS");
    EXPECT_FALSE(r.deleteValue);
    EXPECT_EQ(RegistryValuePath(r), "HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\NAME");

    ASSERT_TRUE(ParseRegistryLine("R\"HKEY_CURRENT_USER\\SOFTWARE\\MY APP\\A\\表示\"  \"\"", r));
    EXPECT_EQ(r.root, RegRoot::CurrentUser);
    EXPECT_EQ(r.key, "\\SOFTWARE\\MY APP\\A");  // 表 ends in "\": still one name
    EXPECT_EQ(r.valueName, "表示");
    EXPECT_EQ(r.valueText, "");
    EXPECT_FALSE(r.deleteValue);  // "" is the empty text, not a delete

    ASSERT_TRUE(ParseRegistryLine("R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\NAME\"", r));
    EXPECT_TRUE(r.deleteValue);
    EXPECT_EQ(r.valueName, "NAME");

    // One key level only, an unquoted path alone, other roots: invalid.
    EXPECT_FALSE(ParseRegistryLine("R HKEY_LOCAL_MACHINE\\SOFTWARE\\NAME X", r));
    EXPECT_FALSE(ParseRegistryLine("R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\NAME", r));
    EXPECT_FALSE(ParseRegistryLine("R HKEY_CLASSES_ROOT\\SOFTWARE\\MORVAN\\NAME X", r));
    EXPECT_FALSE(ParseRegistryLine("R HKLM\\SOFTWARE\\MORVAN\\NAME X", r));
    // Roots are named in full and in capitals, although the registry takes more.
    EXPECT_FALSE(ParseRegistryLine("R HKCU\\SOFTWARE\\MORVAN\\NAME X", r));
    EXPECT_FALSE(ParseRegistryLine("R hkey_local_machine\\SOFTWARE\\MORVAN\\NAME X", r));
    EXPECT_FALSE(ParseRegistryLine("R \"Hkey_Current_User\\SOFTWARE\\MORVAN\\NAME\"", r));
    EXPECT_FALSE(ParseRegistryLine("R", r));
}

class RegistryLines : public EngineMedium {
protected:
    // Runs one entry of R lines; `uninst` keeps an uninstall script.
    void Run(bool uninst, std::initializer_list<std::string> commands) {
        std::string text = Lines({"2.10/20240101", uninst ? "UNINST,値" : "INST,値"});
        for (const auto& line : commands) text += line + "\r\n";
        text += "INSTEND\r\n";
        WriteScript(0, text);
        RunScript(state_, ScanScripts(state_, false), true);
    }
    std::vector<std::string> UndoRLines() {
        std::vector<std::string> out;
        std::string text = Read(state_.env.VersionDownRoot + "\\" +
                                state_.run.CurrentMedia.RevisionName + "\\01\\INST00.DAT");
        for (const auto& line : platform::SplitLines(text)) {
            if (!line.empty() && line[0] == 'R') out.push_back(line);
        }
        return out;
    }
    void RollBack() {
        RunKeptGroupUninstall();
        state_.run.UninstallMode = false;
    }
};

TEST_F(RegistryLines, PlainEntrySetsUpperCasedTextDeletesAndFailsOnMissingKey) {
    SetValue(RegRoot::LocalMachine, kKey, "OLD", "x");
    Run(false, {std::string("R ") + kPath + "\\NEW mixed   Case",
                std::string("R \"") + kPath + "\\OLD\""});
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, kKey, "NEW"), "MIXED CASE");
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, kKey, "OLD"), "<none>");
    // Keys are never created.
    EXPECT_EQ(RegistryCommand(state_, "R HKEY_LOCAL_MACHINE\\SOFTWARE\\NOKEY\\SUB\\V X"), -13);
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, "SOFTWARE\\NOKEY\\SUB", "V"), "<no key>");
    EXPECT_EQ(RegistryCommand(state_, "R HKEY_LOCAL_MACHINE\\SOFTWARE\\V X"), -13);
}

TEST_F(RegistryLines, UndoLinesRestoreOldValuesExactlyAndDeleteNewOnes) {
    SetValue(RegRoot::LocalMachine, kKey, "Mixed", "Keep  Case\\And Blanks ");
    SetValue(RegRoot::LocalMachine, kKey, "Quote", "say \"hi\"");
    SetValue(RegRoot::LocalMachine, kKey, "Empty", "");
    const auto before = RegistryValues(RegRoot::LocalMachine, kKey);
    Run(true, {std::string("R \"") + kPath + "\\MIXED\" \"one\"",
               std::string("R \"") + kPath + "\\MIXED\" \"two\"",  // recorded once only
               std::string("R ") + kPath + "\\QUOTE plain",
               std::string("R ") + kPath + "\\EMPTY full",
               std::string("R ") + kPath + "\\FRESH new",
               std::string("R \"") + kPath + "\\ABSENT\""});  // nothing to undo
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, kKey, "MIXED"), "TWO");
    EXPECT_EQ(UndoRLines(),
              (std::vector<std::string>{
                  "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\Mixed\" \"Keep  Case\\And Blanks \"",
                  "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\Quote\" say \"hi\"",
                  "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\Empty\" \"\"",
                  "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\FRESH\""}));
    RollBack();
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(RegistryValues(RegRoot::LocalMachine, kKey), before);
}

TEST_F(RegistryLines, OldValueNoUndoLineCanCarryIsNeverOverwritten) {
    SetValue(RegRoot::LocalMachine, kKey, "Q", "\"quoted\" start");
    SetValue(RegRoot::LocalMachine, kKey, "P", "%TEMP%\\x");
    platform::RegKey handle;
    ASSERT_EQ(platform::RegOpenKey(RegRoot::LocalMachine, kKey, platform::RegAccess::ReadWrite, handle), 0u);
    platform::RegValueInfo number{"N", platform::RegType::Dword, std::string("\x01\x00\x00\x00", 4)};
    ASSERT_EQ(platform::RegSetValue(handle, number), 0u);
    const auto before = RegistryValues(RegRoot::LocalMachine, kKey);
    for (const char* name : {"Q", "P", "N"}) {
        StartNewJob();
        messages_.Clear();
        Run(true, {std::string("R ") + kPath + "\\" + name + " NEW"});
        EXPECT_EQ(state_.job.JobState.load(), kJobAborted) << name;
        EXPECT_EQ(UndoRLines().size(), 0u) << name;
    }
    EXPECT_EQ(RegistryValues(RegRoot::LocalMachine, kKey), before);
    // Without an uninstall script nothing needs restoring: the value is written.
    StartNewJob();
    Run(false, {std::string("R ") + kPath + "\\Q NEW"});
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, kKey, "Q"), "NEW");
}

TEST_F(RegistryLines, InvalidLineInUninstallableEntryIsSkippedWithoutTrace) {
    Run(true, {"R HKEY_LOCAL_MACHINE\\SOFTWARE\\V X", "R HKEY_LOCAL_MACHINE\\SOFTWARE\\NOKEY\\SUB\\V X"});
    EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_TRUE(UndoRLines().empty());
}

}  // namespace
