// The media-check tool, run as people run it: the built program, a fresh prefix, a
// medium folder, and its printed report and exit status.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "installer/tests/env/EnvTestSupport.h"
#include "platform/Cp932.h"

namespace {

class MorvanupCheck : public EnvTest {
protected:
    struct Outcome {
        int status = -1;
        std::string output;  // UTF-8
    };

    // Runs morvanup-check with `arguments` (already quoted for the shell).
    Outcome Run(const std::string& arguments) {
        const std::string out = prefix.dir() + "/check-output.txt";
        const std::string command = "env -u MORVAN_CMDLINE '" + TempPrefix::BinDir() +
                                    "/morvanup-check' " + arguments + " >'" + out + "' 2>&1";
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = (raw >> 8) & 0xFF;  // the exit status as the shell reports it
        std::ifstream file(out, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        outcome.output = text.str();
        return outcome;
    }
    // Literals here are code page 932; the tool prints UTF-8.
    static std::string Utf8(const std::string& cp932) { return platform::Cp932ToUtf8Lossy(cp932); }
};

TEST_F(MorvanupCheck, FittingMediumPrintsEveryFieldAndExitsZero) {
    prefix.InstallStandardProduct("2.00");
    WriteFile("C:\\MEDIA\\MorvanUP.INF", "Morvan,追加モジュール\r\n2.10/20240101\r\n2.00/\r\n1/2\r\n");
    const Outcome o = Run("'/Dc:\\media\\'");
    EXPECT_EQ(o.status, 0) << o.output;
    const std::vector<std::string> lines{
             std::string("Medium:               C:\\MEDIA\n"),
             std::string("Environment:          settings complete"),
             "Title line 1:         Morvan\n",
             "Title line 2:         " + Utf8("追加モジュール") + "\n",
             std::string("Version:              2.10\n"),
             std::string("VersionText:          2.10\n"),
             std::string("RevisionId:           20240101\n"),
             std::string("RevisionName:         Revision\n"),
             std::string("RequiredVersion:      2.00\n"),
             std::string("MediaNo / MediaCount: 01 / 02\n"),
             std::string("DownVersion:          (none)\n"),
             std::string("Installed version:    2.00\n"),
             std::string("Verdict:              FITS"),
             std::string("Message:              (no message)"),
    };
    for (const std::string& expected : lines) {
        EXPECT_NE(o.output.find(expected), std::string::npos) << expected << "\n" << o.output;
    }
}

TEST_F(MorvanupCheck, MediumThatDoesNotFitShowsTheInstallersMessage) {
    prefix.InstallStandardProduct("2.00");
    WriteFile("C:\\MEDIA\\MorvanUP.INF", "Morvan,更新\n2.60/20240101\n2.50/\n1/1\n");
    const Outcome o = Run("'/DC:\\MEDIA'");
    EXPECT_EQ(o.status, 1) << o.output;
    EXPECT_NE(o.output.find("Verdict:              DOES NOT FIT"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("Message:              [" + Utf8("エラー") + "] " +
                            Utf8("現在の環境 Ver 2.00です。") + "\n"),
              std::string::npos)
        << o.output;
    EXPECT_NE(o.output.find(Utf8("『Morvan,更新』は、Ver 2.50以上用のインストールディスクです。")),
              std::string::npos)
        << o.output;
}

TEST_F(MorvanupCheck, MalformedControlFileNamesTheLine) {
    prefix.InstallStandardProduct("2.00");
    WriteFile("C:\\MEDIA\\MorvanUP.INF", "T\n2.10/20240101\n2.00\n1/1\n");
    const Outcome o = Run("'/DC:\\MEDIA'");
    EXPECT_EQ(o.status, 2) << o.output;
    EXPECT_NE(o.output.find("UNUSABLE: malformed control file, line 3:"), std::string::npos)
        << o.output;
}

TEST_F(MorvanupCheck, MissingControlFileOrFolderIsUnusable) {
    prefix.InstallStandardProduct("2.00");
    ASSERT_EQ(platform::CreateDirectoryTree("C:\\EMPTY"), 0u);
    Outcome o = Run("'/DC:\\EMPTY'");
    EXPECT_EQ(o.status, 2) << o.output;
    EXPECT_NE(o.output.find(Utf8("C:\\EMPTY にインストールディスクがありません。")),
              std::string::npos)
        << o.output;
    o = Run("'/DC:\\NOT' THERE");  // a path with a blank, split by the shell
    EXPECT_EQ(o.status, 2) << o.output;
    EXPECT_NE(o.output.find(Utf8("選択されたC:\\NOT THERE は存在しません。")), std::string::npos)
        << o.output;
    o = Run("");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.output.find("usage:"), std::string::npos) << o.output;
}

TEST_F(MorvanupCheck, MissingEnvironmentIsSaidPlainly) {
    WriteFile("C:\\MEDIA\\MorvanUP.INF", "T\n2.1X/20240101\n0.00/\n1/1\n");
    Outcome o = Run("'/DC:\\MEDIA'");
    EXPECT_NE(o.output.find("MISSING: no settings under HKEY_CURRENT_USER\\SOFTWARE\\KEL"),
              std::string::npos)
        << o.output;
    EXPECT_EQ(o.status, 0) << o.output;  // no condition: fits whatever is installed

    prefix.InstallStandardProduct("2.00");
    DeleteUserSetting("KELSYS", "TOOLS");
    o = Run("'/DC:\\MEDIA'");
    EXPECT_NE(o.output.find("INCOMPLETE"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("error in \"%KELSYS\\TOOLS%\""), std::string::npos) << o.output;
}

TEST_F(MorvanupCheck, AnInterruptedJobIsReportedAndHoldsBackTheVerdict) {
    prefix.InstallStandardProduct("2.00");
    WriteFile("C:\\MEDIA\\MorvanUP.INF", "Morvan,更新\n2.10/20240101\n2.00/\n1/1\n");
    Outcome o = Run("'/DC:\\MEDIA'");
    EXPECT_EQ(o.status, 0) << o.output;
    EXPECT_NE(o.output.find("Interrupted job:      none\n"), std::string::npos) << o.output;

    WriteFile("C:\\MORVAN\\MorvanDN\\JOBREC\\JOB.INF",
              "MODE=INSTALL\r\nGROUP=Revision\r\nTITLE=Morvan,更新\r\nREVISION=20240101\r\n"
              "MEDIA=01\r\nVERSION=2.00\r\nHADVERSION=1\r\nHADLIST=0\r\nHADGROUP=0\r\n"
              "HADCONTROL=0\r\nHELD=1\r\nENTRY=01,00\r\nENTRY=01,03\r\n");
    o = Run("'/DC:\\MEDIA'");
    EXPECT_EQ(o.status, 1) << o.output;
    EXPECT_NE(o.output.find("Interrupted job:      INSTALL of \"" + Utf8("Morvan,更新") + "\""),
              std::string::npos)
        << o.output;
    EXPECT_NE(o.output.find("group Revision, revision 20240101, medium 01"), std::string::npos)
        << o.output;
    EXPECT_NE(o.output.find("2 entries started: 01\\INST00 01\\INST03"), std::string::npos)
        << o.output;
    EXPECT_NE(o.output.find("version before the job: 2.00; revision list kept: no; previous "
                            "full version held: yes"),
              std::string::npos)
        << o.output;
    EXPECT_NE(o.output.find("Verdict:              NOT YET"), std::string::npos) << o.output;

    // A record that cannot be read whole is still reported, as damaged.
    WriteFile("C:\\MORVAN\\MorvanDN\\JOBREC\\JOB.INF", "MODE=UNINSTALL\r\nGROUP=..\r\n");
    o = Run("/U");
    EXPECT_EQ(o.status, 2) << o.output;  // no group to offer either
    EXPECT_NE(o.output.find("Interrupted job:      UNINSTALL"), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("DAMAGED"), std::string::npos) << o.output;
}

}  // namespace
