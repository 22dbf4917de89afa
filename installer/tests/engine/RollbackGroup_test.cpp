// Installing "UNINST," entries and uninstalling their group puts the machine back as
// it was: files byte for byte, new files gone, list files, the package list and the
// registry values; also after a job that stopped half-way.
#include "RollbackFixture.h"
#include "installer/engine/PackageList.h"
#include "installer/engine/ScriptExecution.h"
#include "installer/engine/ScriptLines.h"

namespace {

using namespace engine_test;
using platform::RegRoot;

const char kTestKey[] = "SOFTWARE\\KEL\\TEST";

struct MachineState {
    std::map<std::string, std::string> app, data, install;
    std::map<std::string, std::string> appValues, testValues;
    bool operator==(const MachineState&) const = default;
};

class RollbackGroup : public UninstallingMedium {
protected:
    void SetUp() override {
        UninstallingMedium::SetUp();
        // The machine as it is before the medium comes.
        Write("C:\\APP\\OLD.TXT", "old\r\n");
        Write("C:\\APP\\SUB\\KEEP.DAT", "keep-old");
        Write("C:\\APP\\CONF.INI", "[old]\r\n");
        Write("C:\\APP\\LOGS\\A.LOG", "a");
        Write("C:\\APP\\LOGS\\B.LOG", "b");
        Write("C:\\APP\\LOGS\\KEEP.TXT", "k");
        Write("C:\\APP\\LIST.TXT", "x\ny");  // LF line ends, no final one
        Write("C:\\APP\\REMOVE.LST", "a\r\nb\r\nc\r\nb\r\n");
        Write("C:\\KEL\\WORK\\PLAIN.TMP", "PKG1\r\nPKG2\r\n");
        std::string failed;
        ASSERT_TRUE(EncodePackageList("C:\\KEL\\WORK\\PLAIN.TMP", "C:\\KEL\\INSTALL\\package.5", failed));
        ASSERT_EQ(platform::DeleteFileW("C:\\KEL\\WORK\\PLAIN.TMP"), 0u);
        SetValue(RegRoot::LocalMachine, kAppKey, "Path", "C:\\Mixed Case\\  two  blanks");
        SetValue(RegRoot::LocalMachine, kAppKey, "Gone", "Bye");
        SetValue(RegRoot::CurrentUser, kTestKey, "Quoted", "say \"hi\" twice");

        // The medium.
        MakeLzh("K:\\APP.LZH", {{"OLD.TXT", "new"},
                                {"SUB\\KEEP.DAT", "keep-new"},
                                {"NEW.TXT", "brand new"},
                                {"NEWDIR\\N.TXT", "n"},
                                {"表示\\ソフト.TXT", "dbcs"}});
        MakeLzh("K:\\MORE.LZH", {{"D1.TXT", "d1"}});
        Write("K:\\CONF.INI", "[new]\r\n");
        Write("K:\\ADDED.INI", "added\r\n");
        Write("K:\\LIST.TXT", "y\r\nz\r\n");
        Write("K:\\REMOVE.LST", "b\r\n");
        Write("K:\\PACKAGE.INF", "PKG3\r\n");
    }

    MachineState Capture() {
        return {FilesBelow("C:\\APP"), FilesBelow("C:\\DATA"), FilesBelow("C:\\KEL\\INSTALL"),
                RegistryValues(RegRoot::LocalMachine, kAppKey),
                RegistryValues(RegRoot::CurrentUser, kTestKey)};
    }

    void RunAllEntries() {
        int count = ScanScripts(state_, false);
        for (int i = 1; i <= count; ++i) {
            if (state_.table.Entry(i).CommandCount != 0) RunScript(state_, i, true);
        }
    }

    std::vector<std::string> UndoScript(const std::string& nn) {
        std::string text = Read(state_.env.VersionDownRoot + "\\" +
                                state_.run.CurrentMedia.RevisionName + "\\01\\INST" + nn + ".DAT");
        return platform::SplitLines(text);
    }

    std::string PackageText() {
        std::string failed;
        EXPECT_TRUE(DecodePackageList("C:\\KEL\\INSTALL\\package.5", "C:\\KEL\\WORK\\CHECK.TMP", failed));
        std::string text = Read("C:\\KEL\\WORK\\CHECK.TMP");
        EXPECT_EQ(platform::DeleteFileW("C:\\KEL\\WORK\\CHECK.TMP"), 0u);
        return text;
    }
};

TEST_F(RollbackGroup, InstallThenUninstallRestoresFilesListsPackageAndRegistry) {
    WriteScript(0, Lines({"2.10/20240101", "UNINST,全部",
                          "@HALTAPP",
                          "L APP.LZH C:\\APP",
                          "C CONF.INI C:\\APP\\",
                          "C ADDED.INI C:\\APP\\",
                          "D C:\\APP\\LOGS\\*.LOG",
                          "A LIST.TXT C:\\APP",
                          "P REMOVE.LST C:\\APP\\",
                          "A PACKAGE.INF C:\\KEL\\INSTALL",
                          "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\PATH\" \"new path\"",
                          "R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\NEWVAL fresh  value",
                          "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\GONE\"",
                          "R \"HKEY_CURRENT_USER\\SOFTWARE\\KEL\\TEST\\QUOTED\" \"plain\"",
                          "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\PATH\" \"second\"",
                          "INSTEND"}));
    WriteScript(1, Lines({"2.10/20240101", "UNINST,二番", "L MORE.LZH C:\\DATA",
                          "R HKEY_CURRENT_USER\\SOFTWARE\\KEL\\TEST\\SECOND 2", "INSTEND"}));
    const MachineState before = Capture();

    RunAllEntries();
    ASSERT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
    EXPECT_EQ(Read("C:\\APP\\OLD.TXT"), "new");
    EXPECT_EQ(Read("C:\\APP\\表示\\ソフト.TXT"), "dbcs");
    EXPECT_EQ(Read("C:\\APP\\CONF.INI"), "[new]\r\n");
    EXPECT_FALSE(platform::FileExists("C:\\APP\\LOGS\\A.LOG"));
    EXPECT_EQ(Read("C:\\APP\\LIST.TXT"), "x\r\ny\r\nz\r\n");
    EXPECT_EQ(Read("C:\\APP\\REMOVE.LST"), "a\r\nc\r\n");
    EXPECT_EQ(PackageText(), "PKG1\r\nPKG2\r\nPKG3\r\n");
    EXPECT_EQ(Read("C:\\DATA\\D1.TXT"), "d1");
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, kAppKey, "PATH"), "SECOND");
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, kAppKey, "NEWVAL"), "FRESH VALUE");
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, kAppKey, "GONE"), "<none>");
    EXPECT_EQ(GetValue(RegRoot::CurrentUser, kTestKey, "QUOTED"), "PLAIN");

    // The undo lines, in the order the commands ran; every value recorded once.
    std::vector<std::string> undo = UndoScript("00");
    auto at = [&](const std::string& line) {
        return std::find(undo.begin(), undo.end(), line) - undo.begin();
    };
    std::string all;
    for (const auto& line : undo) all += line + "\n";
    ASSERT_GE(undo.size(), 4u);
    EXPECT_EQ(undo[0], "2.10/20240101");
    EXPECT_EQ(undo[1], "UNINST,全部");
    EXPECT_EQ(undo[2], "@HALTAPP") << all;
    EXPECT_EQ(undo.back(), "INSTEND") << all;
    std::vector<std::string> ordered = {
        "@HALTAPP",
        "D C:\\APP\\NEW.TXT",
        "L APP.LZH C:\\APP\\",
        ";APP.LZH",
        "C CONF.INI C:\\APP\\",
        "D C:\\APP\\ADDED.INI",
        "C A.LOG C:\\APP\\LOGS\\",
        "C B.LOG C:\\APP\\LOGS\\",
        ";*.LOG",
        "C LIST.TXT C:\\APP\\",
        ";LIST.TXT",
        "C REMOVE.LST C:\\APP\\",
        ";REMOVE.LST",
        "C package.5 C:\\KEL\\INSTALL\\",
        ";package.5",
        "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\Path\" \"C:\\Mixed Case\\  two  blanks\"",
        "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\NEWVAL\"",
        "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\Gone\" \"Bye\"",
        "R \"HKEY_CURRENT_USER\\SOFTWARE\\KEL\\TEST\\Quoted\" say \"hi\" twice",
        "INSTEND"};
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        ASSERT_LT(at(ordered[i]), static_cast<long>(undo.size())) << ordered[i] << "\n" << all;
        if (i > 0) {
            EXPECT_LT(at(ordered[i - 1]), at(ordered[i])) << ordered[i] << "\n" << all;
        }
    }
    EXPECT_EQ(std::count_if(undo.begin(), undo.end(),
                            [](const std::string& l) { return l.find("APP\\Path") != std::string::npos; }),
              1) << all;

    Uninstall();
    EXPECT_TRUE(Capture() == before);
    EXPECT_EQ(FilesBelow("C:\\APP"), before.app);
    EXPECT_EQ(FilesBelow("C:\\DATA"), before.data);
    EXPECT_EQ(FilesBelow("C:\\KEL\\INSTALL"), before.install);
    EXPECT_EQ(RegistryValues(RegRoot::LocalMachine, kAppKey), before.appValues);
    EXPECT_EQ(RegistryValues(RegRoot::CurrentUser, kTestKey), before.testValues);
    EXPECT_EQ(PackageText(), "PKG1\r\nPKG2\r\n");
    // The kept group is used up.
    EXPECT_FALSE(platform::PathExists(state_.env.VersionDownRoot + "\\" +
                                      state_.run.CurrentMedia.RevisionName + "\\01"));
}

TEST_F(RollbackGroup, JobAbortedByFailedCommandUndoesExactlyWhatRan) {
    WriteScript(0, Lines({"2.10/20240101", "UNINST,途中", "C CONF.INI C:\\APP\\",
                          "R \"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\PATH\" \"new\"",
                          "L APP.LZH C:\\APP", "C MISSING.INI C:\\APP\\", "C ADDED.INI C:\\APP\\",
                          "A LIST.TXT C:\\APP", "INSTEND"}));
    const MachineState before = Capture();
    RunAllEntries();
    ASSERT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_FALSE(platform::FileExists("C:\\APP\\ADDED.INI"));
    EXPECT_EQ(Read("C:\\APP\\LIST.TXT"), "x\ny");
    std::vector<std::string> undo = UndoScript("00");
    std::string all;
    for (const auto& line : undo) all += line + "\n";
    EXPECT_NE(all.find("C CONF.INI C:\\APP\\"), std::string::npos) << all;
    EXPECT_NE(all.find(";APP.LZH"), std::string::npos) << all;
    EXPECT_EQ(all.find("ADDED.INI"), std::string::npos) << all;
    EXPECT_EQ(all.find("LIST.TXT"), std::string::npos) << all;
    messages_.Clear();
    Uninstall();
    EXPECT_TRUE(Capture() == before);
    EXPECT_EQ(FilesBelow("C:\\APP"), before.app);
}

TEST_F(RollbackGroup, JobStoppedByTheUserUndoesExactlyWhatRan) {
    WriteScript(0, Lines({"2.10/20240101", "UNINST,停止", "C CONF.INI C:\\APP\\",
                          "L APP.LZH C:\\APP",
                          "R HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVAN\\APP\\NEWVAL X",
                          "C ADDED.INI C:\\APP\\", "P REMOVE.LST C:\\APP", "INSTEND"}));
    const MachineState before = Capture();
    // Stops the job, as a confirmed stop does, once three commands have passed.
    int allowed = 3;
    state_.job.SetCommandGate([this, &allowed] {
        if (allowed-- > 0) return true;
        state_.job.AbortJob();
        return false;
    });
    RunAllEntries();
    state_.job.SetCommandGate(nullptr);
    ASSERT_EQ(state_.job.JobState.load(), kJobAborted);
    EXPECT_EQ(GetValue(RegRoot::LocalMachine, kAppKey, "NEWVAL"), "X");
    EXPECT_FALSE(platform::FileExists("C:\\APP\\ADDED.INI"));
    std::vector<std::string> undo = UndoScript("00");
    std::string all;
    for (const auto& line : undo) all += line + "\n";
    EXPECT_NE(all.find("NEWVAL"), std::string::npos) << all;
    EXPECT_EQ(all.find("ADDED.INI"), std::string::npos) << all;
    EXPECT_EQ(all.find("REMOVE.LST"), std::string::npos) << all;
    Uninstall();
    EXPECT_TRUE(Capture() == before);
    EXPECT_EQ(RegistryValues(RegRoot::LocalMachine, kAppKey), before.appValues);
}

}  // namespace
