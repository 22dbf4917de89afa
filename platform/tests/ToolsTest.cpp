// The tools for people, run as real programs: morvan-prefix init with stand-ins, and
// reg's Windows-style output and exit codes.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "TestPrefix.h"

namespace platform {
namespace {

using test::BinDir;
using test::PrefixTest;

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string out;
};

// Runs a shell command line with MORVAN_PREFIX of the test; stdout (and stderr) captured.
ToolRun Shell(const std::string& command) {
    ToolRun r{-1, {}};
    FILE* p = popen((command + " 2>&1 </dev/null").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string Reg(const std::string& args) { return "'" + (BinDir() / "reg").string() + "' " + args; }

TEST_F(PrefixTest, InitCreatesThePrefixAndInstallsStandIns) {
    // A private bin folder holding the tool and one stand-in beside it.
    const fs::path bin = prefix_ / "bin";
    fs::create_directories(bin);
    fs::copy_file(BinDir() / "morvan-prefix", bin / "morvan-prefix");
    fs::copy_file(BinDir() / "platform-test-child", bin / "stand-in-COMMAND");

    const fs::path fresh = prefix_ / "fresh";
    ToolRun r = Shell("'" + (bin / "morvan-prefix").string() + "' init '" + fresh.string() + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(fs::read_symlink(fresh / "dosdevices" / "c:"), "../drive_c");
    EXPECT_EQ(fs::read_symlink(fresh / "dosdevices" / "z:"), "/");
    EXPECT_TRUE(fs::is_regular_file(fresh / "drive_c" / "WINDOWS" / "SYSTEM32" / "COMMAND.EXE"));
    EXPECT_TRUE(fs::is_regular_file(fresh / "system.reg"));

    // Mapping and unmapping through the tool.
    const std::string tool = "MORVAN_PREFIX='" + fresh.string() + "' '" + (bin / "morvan-prefix").string() + "' ";
    EXPECT_EQ(Shell(tool + "map a: '" + (prefix_ / "floppy").string() + "'").status, 0);
    r = Shell(tool + "show");
    EXPECT_NE(r.out.find("A:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("not ready"), std::string::npos) << r.out;
    EXPECT_EQ(Shell(tool + "unmap A:").status, 0);
    EXPECT_NE(Shell(tool + "unmap A:").status, 0);
}

TEST_F(PrefixTest, RegToolSpeaksTheWindowsSyntax) {
    ASSERT_EQ(Shell(Reg("add 'HKCU\\Software\\KEL' /v Dir /d 'C:\\表 ソ' /f")).status, 0);
    ASSERT_EQ(Shell(Reg("add 'HKCU\\Software\\KEL' /v N /t REG_DWORD /d 16 /f")).status, 0);
    ASSERT_EQ(Shell(Reg("add 'HKCU\\Software\\KEL\\Sub' /f")).status, 0);

    ToolRun r = Shell(Reg("query 'hkey_current_user\\SOFTWARE\\kel'"));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\Software\\KEL\n"
              "    Dir    REG_SZ    C:\\表 ソ\n"
              "    N    REG_DWORD    0x10\n"
              "\nHKEY_CURRENT_USER\\Software\\KEL\\Sub\n");
    r = Shell(Reg("query 'HKCU\\Software\\KEL' /v dir"));
    EXPECT_EQ(r.out, "\nHKEY_CURRENT_USER\\Software\\KEL\n    Dir    REG_SZ    C:\\表 ソ\n\n");

    const std::string file = (prefix_ / "kel.reg").string();
    ASSERT_EQ(Shell(Reg("export 'HKCU\\Software\\KEL' '" + file + "' /y")).status, 0);
    ASSERT_EQ(Shell(Reg("delete 'HKCU\\Software\\KEL' /f")).status, 0);
    r = Shell(Reg("query 'HKCU\\Software\\KEL'"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR:"), std::string::npos);
    ASSERT_EQ(Shell(Reg("import '" + file + "'")).status, 0);
    EXPECT_EQ(Shell(Reg("query 'HKCU\\Software\\KEL' /v N")).out,
              "\nHKEY_CURRENT_USER\\Software\\KEL\n    N    REG_DWORD    0x10\n\n");

    EXPECT_NE(Shell(Reg("add 'HKXX\\A' /f")).status, 0);
    EXPECT_NE(Shell(Reg("add 'HKCU\\A' /v X /t REG_DWORD /d notanumber /f")).status, 0);
    EXPECT_NE(Shell(Reg("frobnicate 'HKCU\\A'")).status, 0);
    // Without /f and without an answer, an existing value is left alone.
    EXPECT_NE(Shell(Reg("add 'HKCU\\Software\\KEL' /v N /d other")).status, 0);
    EXPECT_EQ(Shell(Reg("query 'HKCU\\Software\\KEL' /v N")).status, 0);
}

}  // namespace
}  // namespace platform
