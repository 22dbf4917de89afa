// The real MorvanUP killed in the middle of a job (SIGKILL, as a crash or a power cut
// ends it) at every command of an install, before the command and after its undo
// records were written ahead, and then started again: the automation answers the
// roll-back prompt with its first button, and the machine must be byte for byte what
// it was before the job, the version and the revision list included. Also a roll-back
// killed in its turn, and an uninstall killed and then run to its end.
#include <gtest/gtest.h>

#include <filesystem>

#include "AppTestSupport.h"
#include "CrashTestMachine.h"
#include "installer/engine/PackageList.h"
#include "installer/testsupport/MorvanUpRun.h"
#include "platform/Process.h"

namespace fs = std::filesystem;

namespace {

using namespace crash_test;

// Command lines of the medium's install: INST00.DAT 8, INST01.DAT 6.
constexpr int kInstallCommands = 14;
const std::vector<std::string> kInstall{"/DD:\\"};
const std::vector<std::string> kUninstall{"/U"};

// A product at version 2.00 with files, lists, the package list and registry values
// that the medium in D: changes in every way a script can: copies over existing and
// onto new files (one in a new subfolder), deletes (one by a wildcard), an LZH
// archive over existing and new files, list lines added and removed, the package
// list under both its names, and registry values overwritten, added and deleted.
// Two uninstallable entries touch the package list and one value both, so that only
// a roll-back that runs the latest entry first gets back to the first state.
class CrashMachine {
  public:
    CrashMachine() {
        prefix_.InstallStandardProduct("2.00");
        medium_ = prefix_.MapNewDrive('D');
        WriteProduct();
        WriteMedium();
        before_ = Now();
    }

    MachineSnapshot Now() const { return MachineState(prefix_); }
    // The differences from the state before any job ("" when none).
    std::string ChangesSinceStart() const { return DescribeDifferences(before_, Now()); }
    std::string Host(const std::string& relative) const { return prefix_.HostC(relative); }
    std::string Version() const { return RegisteredVersion(); }

  private:
    void WriteProduct() {
        WriteHostFile(Host("MORVAN/MORVAN.INI"), "[MORVAN]\r\nVERSION=2.00\r\n");
        WriteHostFile(Host("MORVAN/OLD1.TMP"), "old cache 1\r\n");
        WriteHostFile(Host("MORVAN/OLD2.TMP"), "old cache 2\r\n");
        WriteHostFile(Host("MORVAN/STALE.DAT"), "stale data\r\n");
        WriteHostFile(Host("MORVAN/KEEP.TMP.TXT"), "not matched by OLD*.TMP\r\n");
        WriteHostFile(Host("MORVAN/Readme.ver"), "20230401\r\n");
        WriteHostFile(Host("KEL/INSTALL/SYM/A.SYM"), "symbol A, old\r\n");
        WriteHostFile(Host("KEL/INSTALL/FONT.DEF"), "font, old\r\n");
        WriteHostFile(Host("KEL/INSTALL/PLOT.LST"), "PLOT-A\r\nPLOT-B\r\n");
        WriteHostFile(Host("KEL/INSTALL/PEN.LST"), "PEN-1\r\nPEN-2\r\nPEN-3\r\n");
        WriteHostFile(Host("KEL/WORK/PLAIN.PKG"), "BASE-PACK-2023\r\n");
        std::string failed;
        ASSERT_TRUE(
            EncodePackageList("C:\\KEL\\WORK\\PLAIN.PKG", "C:\\KEL\\INSTALL\\package.5", failed))
            << failed;
        fs::remove(Host("KEL/WORK/PLAIN.PKG"));
        SetValue(platform::RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", "EDITION",
                 "ORIGINAL");
        SetValue(platform::RegRoot::CurrentUser, "SOFTWARE\\KEL\\MORVANAPP", "LEGACY", "OLD-VALUE");
        SetValue(platform::RegRoot::CurrentUser, "SOFTWARE\\KEL\\MORVANAPP", "KEPT", "STAYS");
    }

    void WriteMedium() {
        const std::string header = "2.10/20240115";
        WriteHostFile(medium_ + "/MorvanUP.INF",
                      CrLf({kTitle, "2.10 / 20240115", "2.00 / 00000000", "1 / 1"}));
        WriteHostFile(
            medium_ + "/INST00.DAT",
            CrLf({"; 基本データ", header, "UNINST,基本データの更新",
                  "C DATA\\MORVAN.INI C:\\MORVAN\\MORVAN.INI",
                  "C DATA\\NEWS.TXT C:\\MORVAN\\NEWS.TXT",
                  "C DATA\\SUB.DAT C:\\MORVAN\\SUB\\DEEP\\SUB.DAT", "D C:\\MORVAN\\OLD*.TMP",
                  "D C:\\MORVAN\\STALE.DAT", "L DATA\\SYMBOLS.LZH %KELSYS\\INSTALL%",
                  "A PACKAGE.INF %KELSYS\\INSTALL%",
                  "R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\COMMON\\EDITION \"FIRST\"", "INSTEND"}));
        WriteHostFile(
            medium_ + "/INST01.DAT",
            CrLf({header, "UNINST,一覧と設定の更新", "A DATA\\PLOT.LST C:\\KEL\\INSTALL",
                  "P DATA\\PEN.LST C:\\KEL\\INSTALL", "A PACKAGE.01 C:\\KEL\\INSTALL",
                  "R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\COMMON\\EDITION \"SECOND\"",
                  "R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\COMMON\\PLOTTER \"PEN16\"",
                  "R \"HKEY_CURRENT_USER\\SOFTWARE\\KEL\\MORVANAPP\\LEGACY\"", "INSTEND"}));
        WriteHostFile(medium_ + "/DATA/MORVAN.INI", "[MORVAN]\r\nVERSION=2.10\r\n");
        WriteHostFile(medium_ + "/DATA/NEWS.TXT", "news of 2.10\r\n");
        WriteHostFile(medium_ + "/DATA/SUB.DAT", "in a new subfolder\r\n");
        WriteHostFile(medium_ + "/DATA/PLOT.LST", "PLOT-C\r\n");
        WriteHostFile(medium_ + "/DATA/PEN.LST", "PEN-2\r\n");
        WriteHostFile(medium_ + "/PACKAGE.INF", "SYMBOL-PACK-2024\r\n");
        WriteHostFile(medium_ + "/PACKAGE.01", "LIST-PACK-2024\r\n");
        MakeArchive("D:\\DATA\\SYMBOLS.LZH", {{"SYM/A.SYM", "symbol A, new\r\n"},
                                              {"SYM/B.SYM", "symbol B\r\n"},
                                              {"FONT.DEF", "font, new\r\n"},
                                              {"NEWFONT.DEF", "new font\r\n"}});
    }

    // The archive is made by the archiver of the prefix (C:\KEL\EXE\LHA.EXE), the
    // program the installer itself runs, from files laid out in C:\LZHSRC.
    void MakeArchive(const std::string& archive,
                     const std::vector<std::pair<std::string, std::string>>& files) {
        for (const auto& [path, contents] : files) WriteHostFile(Host("LZHSRC/" + path), contents);
        platform::ProcessStart start;
        start.applicationName = "C:\\KEL\\EXE\\LHA.EXE";
        start.commandLine = "LHA.EXE a -rxcmn " + archive + " *";
        start.currentDirectory = "C:\\LZHSRC";
        platform::ChildProcess archiver;
        ASSERT_EQ(platform::StartProcess(start, archiver), 0u);
        ASSERT_EQ(archiver.Wait(), 0);
        fs::remove_all(Host("LZHSRC"));
    }

    TempPrefix prefix_;
    std::string medium_;
    MachineSnapshot before_;
};

// The second start after an interrupted install: the prompt, the roll-back, the end.
void ExpectRolledBack(const CrashMachine& machine, const MorvanUpRun& run) {
    EXPECT_TRUE(run.EndedNormally()) << run.Account();
    EXPECT_TRUE(run.Printed(RollBackPrompt())) << run.Account();
    EXPECT_TRUE(run.Printed(kRolledBack)) << run.Account();
    EXPECT_FALSE(run.Printed(kInstallDone)) << run.Account();
    EXPECT_EQ(machine.ChangesSinceStart(), "");
    EXPECT_EQ(machine.Version(), "2.00");
    EXPECT_EQ(ReadHostFile(machine.Host("MORVAN/Readme.ver")), "20230401\r\n");
}

// A later start finds no interrupted job and nothing kept to uninstall, and changes nothing.
void ExpectNothingLeft(const CrashMachine& machine) {
    const MorvanUpRun run = RunMorvanUpProgram(kUninstall);
    EXPECT_TRUE(run.EndedNormally()) << run.Account();
    EXPECT_FALSE(run.Printed(kInterrupted)) << run.Account();
    EXPECT_TRUE(run.Printed(kNothingToUninstall)) << run.Account();
    EXPECT_EQ(machine.ChangesSinceStart(), "");
}

std::string CrashPointName(const testing::TestParamInfo<std::string>& info) {
    std::string name = "Command" + info.param;
    if (auto colon = name.find(':'); colon != std::string::npos)
        name = name.substr(0, colon) + "Ahead";
    return name;
}

std::vector<std::string> EveryInstallCrashPoint() {
    std::vector<std::string> points;
    for (int n = 1; n <= kInstallCommands; ++n) {
        points.push_back(std::to_string(n));
        points.push_back(std::to_string(n) + ":ahead");
    }
    return points;
}

}  // namespace

TEST(CrashRollback, AnUninterruptedInstallAndUninstallRestoreTheMachine) {
    CrashMachine machine;
    const MorvanUpRun install = RunMorvanUpProgram(kInstall);
    ASSERT_TRUE(install.EndedNormally()) << install.Account();
    ASSERT_TRUE(install.Printed(kInstallDone)) << install.Account();
    EXPECT_EQ(machine.Version(), "2.10");
    EXPECT_FALSE(fs::exists(machine.Host("MORVAN/OLD1.TMP")));
    EXPECT_EQ(ReadHostFile(machine.Host("KEL/INSTALL/SYM/B.SYM")), "symbol B\r\n");

    const MorvanUpRun uninstall = RunMorvanUpProgram(kUninstall);
    EXPECT_TRUE(uninstall.EndedNormally()) << uninstall.Account();
    EXPECT_TRUE(uninstall.Printed(kUninstallDone)) << uninstall.Account();
    EXPECT_EQ(machine.ChangesSinceStart(), "");
}

class KillDuringInstall : public testing::TestWithParam<std::string> {};

TEST_P(KillDuringInstall, TheNextStartRollsBackToTheStateBeforeTheJob) {
    CrashMachine machine;
    const MorvanUpRun killed = RunMorvanUpProgram(kInstall, GetParam());
    ASSERT_TRUE(killed.KilledBySigkill()) << killed.Account();
    EXPECT_FALSE(killed.Printed(kInstallDone));

    ExpectRolledBack(machine, RunMorvanUpProgram(kInstall));
    ExpectNothingLeft(machine);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, KillDuringInstall,
                         testing::ValuesIn(EveryInstallCrashPoint()), CrashPointName);

// The install is killed in its second entry, then the roll-back itself is killed: the
// start after that rolls back from where the machine then stands.
class KillDuringRollBack : public testing::TestWithParam<std::string> {};

TEST_P(KillDuringRollBack, TheNextStartCompletesIt) {
    CrashMachine machine;
    const MorvanUpRun killed = RunMorvanUpProgram(kInstall, "12");
    ASSERT_TRUE(killed.KilledBySigkill()) << killed.Account();

    const MorvanUpRun rollBackKilled = RunMorvanUpProgram(kInstall, GetParam());
    ASSERT_TRUE(rollBackKilled.KilledBySigkill()) << rollBackKilled.Account();
    EXPECT_TRUE(rollBackKilled.Printed(RollBackPrompt())) << rollBackKilled.Account();

    ExpectRolledBack(machine, RunMorvanUpProgram(kInstall));
    ExpectNothingLeft(machine);
}

INSTANTIATE_TEST_SUITE_P(RollBackCommands, KillDuringRollBack, testing::Values("2", "6:ahead"),
                         CrashPointName);

// A complete install, then an uninstall of its group killed at a command: the next
// uninstall start offers to finish it and ends where an uninstall ends.
class KillDuringUninstall : public testing::TestWithParam<std::string> {};

TEST_P(KillDuringUninstall, TheNextStartRunsItToTheEnd) {
    CrashMachine machine;
    const MorvanUpRun install = RunMorvanUpProgram(kInstall);
    ASSERT_TRUE(install.EndedNormally()) << install.Account();
    ASSERT_TRUE(install.Printed(kInstallDone)) << install.Account();

    const MorvanUpRun killed = RunMorvanUpProgram(kUninstall, GetParam());
    ASSERT_TRUE(killed.KilledBySigkill()) << killed.Account();
    EXPECT_FALSE(killed.Printed(kUninstallDone));

    const MorvanUpRun finished = RunMorvanUpProgram(kUninstall);
    EXPECT_TRUE(finished.EndedNormally()) << finished.Account();
    EXPECT_TRUE(finished.Printed(FinishUninstallPrompt())) << finished.Account();
    EXPECT_TRUE(finished.Printed(kUninstallDone)) << finished.Account();
    EXPECT_EQ(machine.ChangesSinceStart(), "");
    EXPECT_EQ(machine.Version(), "2.00");
    EXPECT_FALSE(fs::exists(machine.Host("MORVAN/MorvanDN/Revision/01")));
    ExpectNothingLeft(machine);
}

INSTANTIATE_TEST_SUITE_P(UninstallCommands, KillDuringUninstall,
                         testing::Values("1", "3:ahead", "5", "12"), CrashPointName);
