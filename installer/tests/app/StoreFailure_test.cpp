// The real MorvanUP on a disk that fails under it: a store that runs full, a store or
// one uninstall script that cannot be written, a registry hive that cannot be saved.
// In each case the job stops with the message of code -13, never reports success,
// records no version and no revision; once the fault is lifted the next start rolls
// the machine back to where it was before the job.
//
// The faults are mounts in the test process's own mount namespace (StoreFaults.h);
// where the process may not make one, the test is skipped.
#include <gtest/gtest.h>

#include <filesystem>

#include "AppTestSupport.h"
#include "CrashTestMachine.h"
#include "installer/testsupport/MorvanUpRun.h"
#include "installer/testsupport/StoreFaults.h"
#include "platform/Prefix.h"

namespace fs = std::filesystem;
using namespace crash_test;

namespace {

const std::vector<std::string> kInstall{"/DD:\\"};
const std::vector<std::string> kUninstall{"/U"};
constexpr unsigned long kBigFile = 1024 * 1024;

// A product at version 2.00 and a medium in D: whose first entry adds a file, replaces
// a small and a large file and overwrites a registry value, and whose second entry
// adds one more file.
class FaultMachine : public testing::Test {
  protected:
    void SetUp() override {
        if (std::string why = EnterPrivateMountNamespace(); !why.empty()) {
            GTEST_SKIP() << "no mount namespace of our own: " << why;
        }
        prefix_.InstallStandardProduct("2.00");
        const std::string medium = prefix_.MapNewDrive('D');
        WriteHostFile(Host("MORVAN/MORVAN.INI"), "[MORVAN]\r\nVERSION=2.00\r\n");
        WriteHostFile(Host("MORVAN/BIG.DAT"), std::string(kBigFile, 'o'));
        WriteHostFile(Host("MORVAN/Readme.ver"), "20230401\r\n");
        SetValue(platform::RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", "EDITION",
                 "ORIGINAL");
        // The store exists before the first start, so that a fault can be mounted on it.
        fs::create_directories(Host("MORVAN/MorvanDN"));

        const std::string header = "2.10/20240115";
        WriteHostFile(medium + "/MorvanUP.INF",
                      CrLf({kTitle, "2.10 / 20240115", "2.00 / 00000000", "1 / 1"}));
        WriteHostFile(
            medium + "/INST00.DAT",
            CrLf({header, "UNINST,基本データの更新", "C DATA\\NEWS.TXT C:\\MORVAN\\NEWS.TXT",
                  "C DATA\\MORVAN.INI C:\\MORVAN\\MORVAN.INI",
                  "C DATA\\BIG.DAT C:\\MORVAN\\BIG.DAT",
                  "R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\COMMON\\EDITION \"FULL\"", "INSTEND"}));
        WriteHostFile(medium + "/INST01.DAT",
                      CrLf({header, "UNINST,追加ファイル",
                            "C DATA\\EXTRA.TXT C:\\MORVAN\\EXTRA.TXT", "INSTEND"}));
        WriteHostFile(medium + "/DATA/NEWS.TXT", "news of 2.10\r\n");
        WriteHostFile(medium + "/DATA/MORVAN.INI", "[MORVAN]\r\nVERSION=2.10\r\n");
        WriteHostFile(medium + "/DATA/BIG.DAT", std::string(kBigFile, 'n'));
        WriteHostFile(medium + "/DATA/EXTRA.TXT", "extra\r\n");
        before_ = MachineState(prefix_);
    }

    std::string Host(const std::string& relative) const { return prefix_.HostC(relative); }
    std::string ChangesSinceStart() const {
        return DescribeDifferences(before_, MachineState(prefix_));
    }

    // The failed job: the -13 box naming `failing`, no success, no version or revision.
    void ExpectStoppedWithoutRecord(const MorvanUpRun& run, const std::string& failing) {
        EXPECT_TRUE(run.EndedNormally()) << run.Account();
        EXPECT_TRUE(run.Printed(kBrokenContent)) << run.Account();
        EXPECT_TRUE(run.Printed(failing)) << run.Account();
        EXPECT_FALSE(run.Printed(kInstallDone)) << run.Account();
        EXPECT_EQ(RegisteredVersion(), "2.00");
        EXPECT_EQ(ReadHostFile(Host("MORVAN/Readme.ver")), "20230401\r\n");
    }

    // The start after the fault was lifted: the roll-back brings back the first state.
    void ExpectRolledBack() {
        const MorvanUpRun run = RunMorvanUpProgram(kInstall);
        EXPECT_TRUE(run.EndedNormally()) << run.Account();
        EXPECT_TRUE(run.Printed(RollBackPrompt())) << run.Account();
        EXPECT_TRUE(run.Printed(kRolledBack)) << run.Account();
        EXPECT_FALSE(run.Printed(kInstallDone)) << run.Account();
        EXPECT_EQ(ChangesSinceStart(), "");
    }

    TempPrefix prefix_;
    MachineSnapshot before_;
};

}  // namespace

// Room for the job record, the uninstall script and the small saved file, not for the
// saved copy of the large file: the large file must not be replaced unsaved.
TEST_F(FaultMachine, AFullStoreStopsTheJobBeforeTheLargeFileIsReplaced) {
    ScopedMount store;
    ASSERT_EQ(store.MountTmpfs(Host("MORVAN/MorvanDN"), 256 * 1024), "");
    const MorvanUpRun failed = RunMorvanUpProgram(kInstall);
    ExpectStoppedWithoutRecord(failed, "BIG.DAT");
    EXPECT_EQ(ReadHostFile(Host("MORVAN/BIG.DAT")), std::string(kBigFile, 'o'));

    ASSERT_EQ(store.GrowTmpfs(64 * 1024 * 1024), "");
    ExpectRolledBack();
}

// A store that cannot be written at all: the job cannot record itself and must not start.
// The main dialog stays open after the refusal, as after a medium that does not fit,
// and the automation presses OK again and again: the run is ended by the time limit
// once it has shown the refusal.
TEST_F(FaultMachine, AReadOnlyStoreKeepsTheJobFromStarting) {
    ScopedMount store;
    ASSERT_EQ(store.BindReadOnly(Host("MORVAN/MorvanDN")), "");
    const MorvanUpRun failed = RunMorvanUpProgram(kInstall, "", 15);
    EXPECT_TRUE(failed.EndedNormally() || failed.timedOut) << failed.Account();
    EXPECT_TRUE(failed.Printed(kBrokenContent)) << failed.Account();
    EXPECT_TRUE(failed.Printed("C:\\MORVAN\\MorvanDN")) << failed.Account();
    EXPECT_FALSE(failed.Printed(kInstallDone)) << failed.Account();
    EXPECT_EQ(ChangesSinceStart(), "");

    ASSERT_EQ(store.Remove(), "");
    const MorvanUpRun next = RunMorvanUpProgram(kUninstall);
    EXPECT_FALSE(next.Printed(kInterrupted)) << next.Account();
    EXPECT_TRUE(next.Printed(kNothingToUninstall)) << next.Account();
    EXPECT_EQ(ChangesSinceStart(), "");
}

// The first entry is installed and recorded; the uninstall script of the second
// cannot be written (a read-only file in its place). The group of this revision is
// kept already (its control file in the store), so the job works in that group as it
// stands instead of setting it aside as a previous version's.
TEST_F(FaultMachine, AnUnwritableUninstallScriptStopsTheJobAndIsRolledBack) {
    WriteHostFile(Host("MORVAN/MorvanDN/Revision/MorvanUP.INF"),
                  CrLf({kTitle, "2.10 / 20240115", "2.00 / 00000000", "1 / 1", "2.00"}));
    before_ = MachineState(prefix_);
    const std::string script = Host("MORVAN/MorvanDN/Revision/01/INST01.DAT");
    WriteHostFile(script, "");
    ScopedMount readOnly;
    ASSERT_EQ(readOnly.BindReadOnly(script), "");
    const MorvanUpRun failed = RunMorvanUpProgram(kInstall);
    ExpectStoppedWithoutRecord(failed, "INST01.DAT");
    EXPECT_FALSE(fs::exists(Host("MORVAN/EXTRA.TXT")));

    ASSERT_EQ(readOnly.Remove(), "");
    ExpectRolledBack();
}

// The registry's folder (the prefix folder, which holds both hives) read-only, the
// drives and the hives' lock files in it still writable: the hives can be read but a
// change cannot be saved, so the R line fails.
TEST_F(FaultMachine, AnUnwritableHiveFailsTheRegistryLine) {
    const std::string prefixDir = platform::PrefixDir();
    ScopedMount hive;
    ASSERT_TRUE(fs::exists(prefixDir + "/system.reg.lock"));
    ASSERT_TRUE(fs::exists(prefixDir + "/user.reg.lock"));
    ASSERT_EQ(hive.BindReadOnly(prefixDir,
                                {Host(""), prefixDir + "/media_D", prefixDir + "/system.reg.lock",
                                 prefixDir + "/user.reg.lock"}),
              "");
    const MorvanUpRun failed = RunMorvanUpProgram(kInstall);
    ExpectStoppedWithoutRecord(failed, "EDITION");
    EXPECT_FALSE(fs::exists(Host("MORVAN/EXTRA.TXT")));

    ASSERT_EQ(hive.Remove(), "");
    EXPECT_EQ(ReadHostFile(Host("MORVAN/BIG.DAT")), std::string(kBigFile, 'n'));
    ExpectRolledBack();
}
