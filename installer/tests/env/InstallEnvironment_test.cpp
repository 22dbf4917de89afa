#include "installer/env/InstallEnvironment.h"

#include "installer/env/Messages.h"
#include "installer/tests/env/EnvTestSupport.h"
#include "platform/Prefix.h"

namespace {

class LoadEnvironment : public EnvTest {};

TEST_F(LoadEnvironment, StandardProductFillsEveryPathAndMakesTheWorkFolders) {
    prefix.InstallStandardProduct();
    EXPECT_EQ(LoadInstallEnvironment(state.env), 0) << messages.AllTexts();
    EXPECT_TRUE(messages.Boxes().empty());
    EXPECT_EQ(state.env.WorkRoot, "C:\\KEL\\WORK");
    EXPECT_EQ(state.env.InstallDir, "C:\\KEL\\INSTALL");
    EXPECT_EQ(state.env.ToolsDir, "C:\\KEL\\TOOLS");
    EXPECT_EQ(state.env.RevisionListFile, "C:\\MORVAN\\Readme.ver");
    EXPECT_EQ(state.env.VersionDownRoot, "C:\\MORVAN\\MorvanDN");
    EXPECT_EQ(state.env.ExtractDir, "C:\\KEL\\WORK\\VERUPDN");
    EXPECT_EQ(state.env.WorkListFile, "C:\\KEL\\WORK\\TEMP\\SET_WORK.LST");
    EXPECT_EQ(state.env.WorkScratchFile, "C:\\KEL\\WORK\\TEMP\\SET_WORK.LOG");
    EXPECT_EQ(state.env.ReadmeDocFile, "C:\\KEL\\WORK\\TEMP\\SET_READ.DOC");
    EXPECT_EQ(state.env.BackupDir, "C:\\KEL\\WORK\\INSTBACK");
    EXPECT_EQ(state.env.LhaExePath, "C:\\KEL\\QVD\\..\\EXE\\LHA.EXE");
    EXPECT_EQ(state.env.HaltAppExePath, "C:\\KEL\\TOOLS\\HALTAPP.EXE");
    EXPECT_EQ(state.env.PauserExePath, "C:\\MORVAN\\PAUSER\\PAUSER.EXE");
    EXPECT_EQ(ControlFileName, "\\MorvanUP.INF");
    for (const char* dir : {"C:\\KEL\\WORK\\VERUPDN", "C:\\KEL\\WORK\\INSTBACK",
                            "C:\\KEL\\WORK\\TEMP", "C:\\MORVAN\\MorvanDN"}) {
        EXPECT_TRUE(platform::DirectoryExists(dir)) << dir;
    }
    // The archiver path names the real file in the sibling folder EXE.
    EXPECT_TRUE(platform::DirectoryExists("C:\\KEL\\QVD\\..\\EXE"));
}

TEST_F(LoadEnvironment, ApplicationDirectoryDefaultsAndDriveLetters) {
    prefix.InstallStandardProduct();
    SetUserSetting("INSTALL_DRIVE", "INSTALL_AP_PATH", "C");
    EXPECT_EQ(LoadInstallEnvironment(state.env), 0) << messages.AllTexts();
    EXPECT_EQ(state.env.RevisionListFile, "C:\\Readme.ver");
    EXPECT_EQ(state.env.VersionDownRoot, "C:\\MorvanDN");

    // Missing: drive k. Its store cannot be made on this machine, which ends the
    // start-up with a message naming the folder.
    DeleteUserSetting("INSTALL_DRIVE", "INSTALL_AP_PATH");
    messages.Clear();
    EXPECT_EQ(LoadInstallEnvironment(state.env), kCodeRegistryUnreadable);
    EXPECT_EQ(state.env.RevisionListFile, "k:\\Readme.ver");
    EXPECT_EQ(state.env.PauserExePath, "k:\\PAUSER\\PAUSER.EXE");
    ASSERT_EQ(messages.Boxes().size(), 1u) << messages.AllTexts();
    EXPECT_EQ(messages.Boxes()[0].caption, "エラー");
    EXPECT_EQ(messages.Boxes()[0].text, "フォルダが作成できません。\rerror in \"k:\\MorvanDN\"");
    EXPECT_EQ(messages.BeepCount(), 1);

    // Once drive k exists the same settings start up cleanly.
    prefix.MapNewDrive('k');
    messages.Clear();
    EXPECT_EQ(LoadInstallEnvironment(state.env), 0) << messages.AllTexts();
    EXPECT_TRUE(platform::DirectoryExists("K:\\MorvanDN"));
}

TEST_F(LoadEnvironment, MissingTempFolderFallsBackToWorkFolderSilently) {
    prefix.InstallStandardProduct();
    SetUserSetting("KELSYS", "KELTEMP", "C:\\NOT\\THERE");
    EXPECT_EQ(LoadInstallEnvironment(state.env), 0) << messages.AllTexts();
    EXPECT_TRUE(messages.Boxes().empty());
    EXPECT_EQ(state.env.WorkRoot, "C:\\KEL\\WORK2");
    EXPECT_EQ(state.env.ExtractDir, "C:\\KEL\\WORK2\\VERUPDN");
    EXPECT_TRUE(platform::DirectoryExists("C:\\KEL\\WORK2\\TEMP"));
    EXPECT_FALSE(platform::DirectoryExists("C:\\NOT"));
}

TEST_F(LoadEnvironment, EachMissingSettingIsReportedInOrderAndFailsStartUp) {
    prefix.InstallStandardProduct();
    DeleteUserSetting("KELSYS", "QVD_DAT");
    EXPECT_EQ(LoadInstallEnvironment(state.env), kCodeRegistryUnreadable);
    ASSERT_EQ(messages.Boxes().size(), 1u);
    EXPECT_EQ(messages.Boxes()[0].text,
              "レジストリが参照できません。\rerror in \"%KELSYS\\QVD_DAT%\"");
    EXPECT_EQ(state.env.LhaExePath, "LHA.EXE");  // found on the program search path

    DeleteUserSetting("KELSYS", "KELTEMP");
    DeleteUserSetting("KELSYS", "KEL_WORK");
    DeleteUserSetting("KELSYS", "TOOLS");
    messages.Clear();
    EXPECT_EQ(LoadInstallEnvironment(state.env), kCodeRegistryUnreadable);
    std::vector<std::string> named;
    for (const RecordedBox& box : messages.Boxes()) {
        EXPECT_EQ(box.caption, "エラー");
        named.push_back(box.text.substr(box.text.find('"')));
    }
    EXPECT_EQ(named, (std::vector<std::string>{"\"%KELSYS\\KELTEMP%\"", "\"%KELSYS\\KEL_WORK%\"",
                                               "\"%KELSYS\\QVD_DAT%\"", "\"%KELSYS\\TOOLS%\""}));
    EXPECT_EQ(state.env.HaltAppExePath, "\\HALTAPP.EXE");
}

TEST_F(LoadEnvironment, NoSettingsKeyIsSilentAndPathsStartAtTheRoot) {
    EXPECT_EQ(LoadInstallEnvironment(state.env), 0);
    EXPECT_TRUE(messages.Boxes().empty()) << messages.AllTexts();
    EXPECT_EQ(state.env.RevisionListFile, "\\Readme.ver");
    EXPECT_EQ(state.env.ExtractDir, "\\VERUPDN");
    EXPECT_EQ(state.env.LhaExePath, "LHA.EXE");
    EXPECT_TRUE(platform::DirectoryExists("C:\\VERUPDN"));  // the current drive's root
    const SettingsSurvey survey = SurveySettings();
    EXPECT_FALSE(survey.keyPresent);
    EXPECT_TRUE(survey.missing.empty());
}

TEST_F(LoadEnvironment, UncreatableWorkFolderFailsStartUpByName) {
    prefix.InstallStandardProduct();
    SetUserSetting("KELSYS", "KELTEMP", "C:\\NOT\\THERE");
    SetUserSetting("KELSYS", "KEL_WORK", "Q:\\WORK");  // no drive Q
    EXPECT_EQ(LoadInstallEnvironment(state.env), kCodeRegistryUnreadable);
    std::vector<std::string> texts;
    for (const RecordedBox& box : messages.Boxes()) texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "フォルダが作成できません。\rerror in \"Q:\\WORK\\VERUPDN\"",
                         "フォルダが作成できません。\rerror in \"Q:\\WORK\\INSTBACK\"",
                         "フォルダが作成できません。\rerror in \"Q:\\WORK\\TEMP\""}));
    // The paths are still set, so the clean-up at the end finds nothing to do.
    EXPECT_EQ(state.env.BackupDir, "Q:\\WORK\\INSTBACK");
}

TEST_F(LoadEnvironment, SurveyReportsWithoutBoxesOrFolders) {
    prefix.InstallStandardProduct();
    DeleteUserSetting("KELSYS", "TOOLS");
    const SettingsSurvey survey = SurveySettings();
    EXPECT_TRUE(survey.keyPresent);
    EXPECT_EQ(survey.missing, std::vector<std::string>{"%KELSYS\\TOOLS%"});
    EXPECT_TRUE(messages.Boxes().empty());
    EXPECT_FALSE(platform::DirectoryExists("C:\\KEL\\WORK\\VERUPDN"));
}

class ExpandRefs : public EnvTest {
protected:
    ExpandRefs() { prefix.InstallStandardProduct(); }
};

TEST_F(ExpandRefs, SectionValueWindowsDirectoryAndPlainValues) {
    EXPECT_EQ(ExpandSettingRefs("%KELSYS\\TOOLS%\\X.EXE"), "C:\\KEL\\TOOLS\\X.EXE");
    EXPECT_EQ(ExpandSettingRefs("%wInDiR%\\SYSTEM32"),
              platform::GetWindowsDirectoryW() + "\\SYSTEM32");
    EXPECT_EQ(ExpandSettingRefs("%WINDIR%\\SYSTEM32"), "C:\\WINDOWS\\SYSTEM32");
    SetUserSetting("", "TOP", "D:\\TOP");  // a value of the key itself
    EXPECT_EQ(ExpandSettingRefs("%TOP%\\A"), "D:\\TOP\\A");
    EXPECT_EQ(ExpandSettingRefs("NO REFERENCE"), "NO REFERENCE");
    EXPECT_EQ(ExpandSettingRefs(""), "");
    EXPECT_TRUE(messages.Boxes().empty()) << messages.AllTexts();
}

TEST_F(ExpandRefs, ExpandedTextEndingInSeparatorLosesIt) {
    // QVD_DAT is "C:\KEL\QVD\".
    EXPECT_EQ(ExpandSettingRefs("%KELSYS\\QVD_DAT%"), "C:\\KEL\\QVD");
    EXPECT_EQ(ExpandSettingRefs("%KELSYS\\QVD_DAT%DATA"), "C:\\KEL\\QVD\\DATA");
}

TEST_F(ExpandRefs, ValuesHoldingReferencesAreExpandedAgain) {
    SetUserSetting("KELSYS", "NESTED", "%KELSYS\\INSTALL%\\SUB");
    EXPECT_EQ(ExpandSettingRefs("%KELSYS\\NESTED%\\F"), "C:\\KEL\\INSTALL\\SUB\\F");
}

TEST_F(ExpandRefs, MissingValueIsReportedWithTheWholeTextAndExpandsToNothing) {
    const std::string line = "C %KELSYS\\NOPE%\\A.DAT C:\\X";
    EXPECT_EQ(ExpandSettingRefs(line), "C \\A.DAT C:\\X");
    ASSERT_EQ(messages.Boxes().size(), 1u);
    EXPECT_EQ(messages.Boxes()[0].text,
              "バージョンアップの内容が破損しています。\rerror in \"" + line + "\"");
    // A lone "%" is an empty reference that ends at itself.
    messages.Clear();
    EXPECT_EQ(ExpandSettingRefs("100%"), "100");
    EXPECT_EQ(messages.Boxes().size(), 1u);
}

TEST_F(ExpandRefs, SelfReferenceEndsWithAMessageInsteadOfLoopingForever) {
    SetUserSetting("KELSYS", "LOOP", "%KELSYS\\LOOP%X");
    const std::string result = ExpandSettingRefs("%KELSYS\\LOOP%");
    EXPECT_NE(result.find('%'), std::string::npos);
    ASSERT_FALSE(messages.Boxes().empty());
    EXPECT_EQ(messages.Boxes().back().text,
              "バージョンアップの内容が破損しています。\rerror in \"%KELSYS\\LOOP%\"");
}

TEST_F(EnvTest, ExpandWithoutSettingsKeyReportsTheKey) {
    EXPECT_EQ(ExpandSettingRefs("%KELSYS\\TOOLS%"), "");
    ASSERT_EQ(messages.Boxes().size(), 1u);
    EXPECT_EQ(messages.Boxes()[0].text,
              "レジストリが参照できません。\rerror in \"%SOFTWARE\\KEL%\"");
}

}  // namespace
