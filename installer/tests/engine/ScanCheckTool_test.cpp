// The script part of morvanup-check, run as people run it: rows as the main dialog
// lists them, entries left out and why, the README document, and the kept groups (/U).
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "EngineMedium.h"

namespace {

using engine_test::EngineMedium;
using engine_test::Lines;
using engine_test::Utf8;
using engine_test::Write;

class ScanCheckTool : public EngineMedium {
protected:
    // Runs the tool; returns its exit status and fills `output` (UTF-8).
    int Run(const std::string& arguments, std::string& output) {
        const std::string out = prefix_.dir() + "/check-output.txt";
        const std::string command = "env -u MORVAN_CMDLINE '" + TempPrefix::BinDir() +
                                    "/morvanup-check' " + arguments + " >'" + out + "' 2>&1";
        const int raw = std::system(command.c_str());
        std::ifstream file(out, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        output = text.str();
        return (raw >> 8) & 0xFF;
    }
    static void ExpectHas(const std::string& output, const std::string& utf8) {
        EXPECT_NE(output.find(utf8), std::string::npos) << utf8 << "\n---\n" << output;
    }
};

TEST_F(ScanCheckTool, MediumRowsOmissionsAndReadme) {
    WriteScript(0, Lines({"2.10/20240101", "README", "説明の行", "READMEEND", "UNINST,表示ソフト",
                          "C A.TXT C:\\APP\\", "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101", "INST,停止のみ", "@HALTAPP", "INSTEND"}));
    WriteScript(2, Lines({"2.00/20240101", "INST,別", "C A B\\", "INSTEND"}));
    std::string output;
    EXPECT_EQ(Run("'/DK:\\'", output), 0) << output;
    ExpectHas(output, "Scripts:              3 found, 1 counted command(s)\n");
    ExpectHas(output, "INST00.DAT:         [" + Utf8("表示ソフト") + std::string(28, ' ') +
                          Utf8("(ｱﾝｲﾝｽﾄｰﾙ可)") + "]  1 command(s)\n");
    ExpectHas(output, "INST01.DAT:         not listed: no counted command");
    ExpectHas(output, "INST02.DAT:         not listed: its first line is not the header \"2.10/20240101\"");
    ExpectHas(output, "| " + Utf8("説明の行") + "\n");
}

TEST_F(ScanCheckTool, WildcardStopMakesTheMediumUnusable) {
    WriteScript(0, Lines({"2.10/20240101", "INST,A", "C A B\\", "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101", "INST,B", "L PART*.LZH C:\\APP", "INSTEND"}));
    std::string output;
    EXPECT_EQ(Run("'/DK:\\'", output), 2) << output;
    ExpectHas(output, "Problem:              INST01.DAT line 3: L PART*.LZH C:\\APP\n");
    ExpectHas(output, Utf8("LZHかZIPのファイル名称にワイルドカードは使用できません。"));
    ExpectHas(output, "INST00.DAT:         not offered, the scan stopped later");
}

TEST_F(ScanCheckTool, KeptGroupsAndTheirEntries) {
    const std::string group = state_.env.VersionDownRoot + "\\20240101";
    Write(group + "\\MorvanUP.INF", Lines({"Morvan,T", "2.1X/20240101", "2.00/", "01/02", "2.00"}));
    Write(group + "\\02\\INST07.DAT", Lines({"2.1X/20240101", "UNINST,戻す", "D C:\\APP\\A.TXT", "INSTEND"}));
    std::string output;
    EXPECT_EQ(Run("/U", output), 0) << output;
    ExpectHas(output, "Group:                20240101\n");
    ExpectHas(output, "revision 20240101, version 2.1X, version before it: 2.00\n");
    ExpectHas(output, "02\\INST07.DAT:      [" + Utf8("戻す"));
}

}  // namespace
