// The real MorvanUP program in a fresh prefix: installs the sample medium, then
// uninstalls its kept group, and a second program started while the first one holds
// the work directories. The program runs on the offscreen platform with its test-only
// automation (MORVANUP_AUTOPILOT: OK pressed, boxes answered with their first button);
// scripts/demo drives the same program with real keystrokes under a virtual X server.
#include <gtest/gtest.h>

#include <QLockFile>
#include <QProcess>
#include <algorithm>
#include <filesystem>

#include "AppTestSupport.h"
#include "installer/testsupport/TempPrefix.h"
#include "platform/Cp932.h"
#include "platform/Registry.h"

namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    int exitCode = -1;
    bool finished = false;
    std::string errors;  // standard error (UTF-8): the boxes the automation answered
};

ProgramRun RunMorvanUP(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("MORVANUP_AUTOPILOT"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(TempPrefix::BinDir() + "/MorvanUP"), arguments);
    ProgramRun run;
    run.finished = process.waitForFinished(90000);
    if (!run.finished) process.kill();
    run.exitCode = process.exitCode();
    run.errors = process.readAllStandardError().toStdString();
    return run;
}

std::string Value(platform::RegRoot root, const std::string& key, const std::string& name) {
    platform::RegKey handle;
    std::string data;
    if (platform::RegOpenKey(root, key, platform::RegAccess::Read, handle) != 0) return "<no key>";
    if (platform::RegQueryString(handle, name, data) != 0) return "<none>";
    return data;
}

std::string Machine(const std::string& name) {
    return Value(platform::RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", name);
}

// What a box text looks like on the program's standard error (UTF-8).
std::string Printed(const char* systemText) { return platform::Cp932ToUtf8Lossy(systemText); }

int Lines(const std::string& hostFile) {
    const std::string text = ReadHostFile(hostFile);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST(EndToEnd, InstallsTheSampleMediumAndUninstallsItsGroup) {
    TempPrefix prefix;
    prefix.InstallStandardProduct("2.00");
    const std::string medium = prefix.MapNewDrive('D');
    fs::copy(MORVAN_SOURCE_DIR "/samples/media", medium, fs::copy_options::recursive);
    WriteHostFile(prefix.HostC("MORVAN/MORVAN.INI"), "[MORVAN]\r\nVERSION=2.00\r\n");
    const std::string oldIni = ReadHostFile(prefix.HostC("MORVAN/MORVAN.INI"));

    const ProgramRun install = RunMorvanUP({QStringLiteral("/DD:\\")});
    ASSERT_TRUE(install.finished) << install.errors;
    EXPECT_EQ(install.exitCode, 0);
    EXPECT_NE(install.errors.find(Printed("インストールが正常に終了しました。")), std::string::npos)
        << install.errors;
    EXPECT_TRUE(fs::exists(prefix.HostC("MORVAN/NEWS.TXT")));
    EXPECT_TRUE(fs::exists(prefix.HostC("KEL/INSTALL/SAMPLE1.SYM")));
    EXPECT_TRUE(fs::exists(prefix.HostC("MORVAN/A3YOKO.TPL")));  // every row was selected
    EXPECT_NE(ReadHostFile(prefix.HostC("MORVAN/MORVAN.INI")), oldIni);
    EXPECT_EQ(Machine("VERSION"), "2.10");
    EXPECT_EQ(Machine("EDITION"), "SAMPLE");
    EXPECT_EQ(ReadHostFile(prefix.HostC("MORVAN/Readme.ver")).substr(0, 8), "20240115");
    EXPECT_EQ(Lines(prefix.dir() + "/logs/HALTAPP.log"), 1);
    EXPECT_EQ(Lines(prefix.dir() + "/logs/PAUSER.log"), 1);
    // The work directories are emptied at the end and the lock is gone.
    EXPECT_FALSE(fs::exists(prefix.HostC("KEL/WORK/VERUPDN")));
    EXPECT_FALSE(fs::exists(prefix.HostC("KEL/WORK/TEMP/SET_READ.DOC")));
    EXPECT_FALSE(fs::exists(prefix.HostC("KEL/WORK/MORVANUP.LCK")));

    const ProgramRun uninstall = RunMorvanUP({QStringLiteral("/U")});
    ASSERT_TRUE(uninstall.finished) << uninstall.errors;
    EXPECT_EQ(uninstall.exitCode, 0);
    EXPECT_NE(uninstall.errors.find(Printed("アンインストールが正常に終了しました。")), std::string::npos)
        << uninstall.errors;
    EXPECT_FALSE(fs::exists(prefix.HostC("MORVAN/NEWS.TXT")));
    EXPECT_FALSE(fs::exists(prefix.HostC("KEL/INSTALL/SAMPLE1.SYM")));
    EXPECT_EQ(ReadHostFile(prefix.HostC("MORVAN/MORVAN.INI")), oldIni);
    EXPECT_EQ(Machine("VERSION"), "2.00");
    EXPECT_EQ(Machine("EDITION"), "<none>");
    EXPECT_EQ(ReadHostFile(prefix.HostC("MORVAN/Readme.ver")), "");
    EXPECT_EQ(Lines(prefix.dir() + "/logs/HALTAPP.log"), 2);
}

TEST(EndToEnd, ASecondProgramRefusesToRunBesideTheFirst) {
    TempPrefix prefix;
    prefix.InstallStandardProduct("2.00");
    const std::string medium = prefix.MapNewDrive('D');
    fs::copy(MORVAN_SOURCE_DIR "/samples/media", medium, fs::copy_options::recursive);
    // The first program: holds the lock and has a file staged.
    const std::string staged = prefix.HostC("KEL/WORK/VERUPDN/STAGED.TXT");
    WriteHostFile(staged, "staged by the first program\r\n");
    QLockFile first(QString::fromStdString(prefix.HostC("KEL/WORK/MORVANUP.LCK")));
    ASSERT_TRUE(first.tryLock(0));

    const ProgramRun second = RunMorvanUP({QStringLiteral("/DD:\\")});
    ASSERT_TRUE(second.finished);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_NE(second.errors.find(Printed("既に起動しています")), std::string::npos) << second.errors;
    EXPECT_TRUE(fs::exists(staged));
    EXPECT_FALSE(fs::exists(prefix.HostC("MORVAN/NEWS.TXT")));
    first.unlock();
}
