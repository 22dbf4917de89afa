// The tools for people, run as real programs: morvan-prefix init with stand-ins and
// with a whole product installation, and reg's Windows-style output and exit codes.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "TestPrefix.h"
#include "platform/DynamicLibrary.h"
#include "platform/Registry.h"

namespace platform {
namespace {

using test::BinDir;
using test::PrefixTest;
using test::Sj;

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

// ---- morvan-prefix init --product ----

// A private bin folder holding morvan-prefix and the product's files it installs, so a
// test can put a "newer build" beside the tool.
class ProductInitTest : public PrefixTest {
protected:
    void SetUp() override {
        PrefixTest::SetUp();
        bin_ = prefix_ / "bin";
        fs::create_directories(bin_);
        fs::copy_file(BinDir() / "morvan-prefix", bin_ / "morvan-prefix");
        for (const char* name : {"stand-in-LHA", "stand-in-HALTAPP", "stand-in-PAUSER"}) {
            // Any program does for a stand-in here; the test child is always built.
            fs::copy_file(BinDir() / "platform-test-child", bin_ / name);
        }
        fs::copy_file(BinDir() / "Fennoc.DLL", bin_ / "Fennoc.DLL");
    }

    ToolRun Init(const std::string& args = "--product") {
        return Shell("'" + (bin_ / "morvan-prefix").string() + "' init " + args + " '" +
                     prefix_.string() + "'");
    }

    static std::string Value(RegRoot root, const std::string& key, const std::string& name) {
        RegKey handle;
        std::string value;
        if (RegOpenKey(root, key, RegAccess::Read, handle) != 0 ||
            RegQueryString(handle, name, value) != 0) {
            return "(missing)";
        }
        return value;
    }

    static void SetValue(RegRoot root, const std::string& key, const std::string& name,
                         const std::string& value) {
        RegKey handle;
        ASSERT_EQ(RegCreateKey(root, key, handle), 0u);
        ASSERT_EQ(RegSetString(handle, name, value), 0u);
    }

    std::string Contents(const std::string& relative) const {
        std::ifstream in(C(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path bin_;
};

TEST_F(ProductInitTest, AFreshPrefixGetsTheWholeInstallation) {
    ToolRun r = Init();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("not built, skipped: Tessop.DLL"), std::string::npos) << r.out;

    const RegRoot user = RegRoot::CurrentUser;
    EXPECT_EQ(Value(user, "SOFTWARE\\KEL\\INSTALL_DRIVE", "INSTALL_AP_PATH"), "C:\\MORVAN");
    EXPECT_EQ(Value(user, "SOFTWARE\\KEL\\KELSYS", "QVD_DAT"), "C:\\KEL\\QVD\\");
    EXPECT_EQ(Value(RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", "VERSION"), "2.00");
    EXPECT_EQ(Value(user, "SOFTWARE\\KEL\\PDM", "PDMDIR"), "C:\\KEL\\PDM");
    EXPECT_EQ(Value(user, "SOFTWARE\\KEL\\PDM", "TMPDIR"), "C:\\KEL\\PDM\\TMP");
    EXPECT_EQ(Value(user, "SOFTWARE\\KEL\\PDM", "KELPROGS"), "C:\\KEL\\PROGS");
    for (const char* folder :
         {"MORVAN/MorvanDN", "KEL/WORK/TEMP", "KEL/WORK/VERUPDN", "KEL/WORK/INSTBACK",
          "KEL/INSTALL", "KEL/QVD", "KEL/PDM/TMP", "KEL/PROGS"}) {
        EXPECT_TRUE(fs::is_directory(C(folder))) << folder;
    }
    // The tools where the installer's settings name them (LHA beside QVD_DAT).
    for (const char* file :
         {"KEL/EXE/LHA.EXE", "KEL/TOOLS/HALTAPP.EXE", "MORVAN/PAUSER/PAUSER.EXE"}) {
        EXPECT_EQ(access(C(file).c_str(), X_OK), 0) << file;
    }

    // The settings library in PDMDIR answers from those very settings.
    ModuleHandle fennoc = nullptr;
    std::string why;
    ASSERT_EQ(LoadLibraryA("C:\\KEL\\PDM\\Fennoc.DLL", fennoc, &why), 0u) << why;
    auto getTmpDir =
        reinterpret_cast<int (*)(int, char*)>(GetProcAddress(fennoc, "PdmIni_GetTmpDir"));
    ASSERT_NE(getTmpDir, nullptr);
    char buffer[260] = {};
    EXPECT_EQ(getTmpDir(0, buffer), 0);
    EXPECT_STREQ(buffer, "C:\\KEL\\PDM\\TMP");
    EXPECT_EQ(FreeLibrary(fennoc), 0u);
}

TEST_F(ProductInitTest, ASecondRunKeepsWhatAPersonChangedAndRefreshesTheRest) {
    ASSERT_EQ(Init().status, 0);
    const std::string installedLha = Contents("KEL/EXE/LHA.EXE");

    // A person's changes: a setting edited, one deleted, the tools moved, LHA patched.
    SetValue(RegRoot::CurrentUser, "SOFTWARE\\KEL\\PDM", "TMPDIR", Sj("D:\\作業"));
    {
        RegKey key;
        ASSERT_EQ(RegOpenKey(RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON",
                             RegAccess::ReadWrite, key),
                  0u);
        ASSERT_EQ(RegDeleteValue(key, "PLOTTER"), 0u);
    }
    SetValue(RegRoot::CurrentUser, "SOFTWARE\\KEL\\KELSYS", "TOOLS", "C:\\MYTOOLS\\");
    std::ofstream(C("KEL/EXE/LHA.EXE"), std::ios::app) << "patched by hand";
    const std::string patchedLha = Contents("KEL/EXE/LHA.EXE");
    // A newer build of PAUSER and LHA beside the tool.
    for (const char* name : {"stand-in-PAUSER", "stand-in-LHA"}) {
        fs::remove(bin_ / name);
        fs::copy_file(BinDir() / "reg", bin_ / name);
    }
    const std::string newer = [&] {
        std::ifstream in(bin_ / "stand-in-PAUSER", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    ASSERT_NE(newer, installedLha);

    ToolRun r = Init();
    // D: does not exist, so the edited temporary folder cannot be made: reported, and
    // everything else is still done.
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(Value(RegRoot::CurrentUser, "SOFTWARE\\KEL\\PDM", "TMPDIR"), Sj("D:\\作業"));
    EXPECT_EQ(Value(RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", "PLOTTER"), "PEN8");
    EXPECT_EQ(Value(RegRoot::CurrentUser, "SOFTWARE\\KEL\\KELSYS", "TOOLS"), "C:\\MYTOOLS\\");
    EXPECT_TRUE(fs::is_regular_file(C("MYTOOLS/HALTAPP.EXE")));
    EXPECT_EQ(Contents("KEL/EXE/LHA.EXE"), patchedLha);  // kept
    EXPECT_NE(r.out.find("kept C:\\KEL\\EXE\\LHA.EXE"), std::string::npos) << r.out;
    EXPECT_EQ(Contents("MORVAN/PAUSER/PAUSER.EXE"), newer);  // refreshed: unchanged since installed
    EXPECT_EQ(access(C("MORVAN/PAUSER/PAUSER.EXE").c_str(), X_OK), 0);

    // Once everything is in place a run changes nothing.
    SetValue(RegRoot::CurrentUser, "SOFTWARE\\KEL\\PDM", "TMPDIR", "C:\\KEL\\PDM\\TMP");
    ASSERT_EQ(Init().status, 0);
    r = Init();
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* change : {"set ", "installed C:", "refreshed "}) {
        EXPECT_EQ(r.out.find(change), std::string::npos) << change << "\n" << r.out;
    }
}

TEST_F(ProductInitTest, PlainInitSeedsFontSubstitutesAndKeepsAHandEditedOne) {
    ASSERT_EQ(Init("").status, 0);
    const std::string key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
    EXPECT_EQ(Value(RegRoot::LocalMachine, key, Sj("ＭＳ ゴシック")), Sj("IPAゴシック"));
    EXPECT_EQ(Value(RegRoot::LocalMachine, key, Sj("ＭＳ 明朝")), Sj("IPA明朝"));
    // Plain init installs no product.
    EXPECT_EQ(Value(RegRoot::CurrentUser, "SOFTWARE\\KEL\\PDM", "PDMDIR"), "(missing)");
    EXPECT_FALSE(fs::exists(C("KEL")));

    SetValue(RegRoot::LocalMachine, key, Sj("ＭＳ ゴシック"), "DejaVu Sans Mono");
    ASSERT_EQ(Init("").status, 0);
    EXPECT_EQ(Value(RegRoot::LocalMachine, key, Sj("ＭＳ ゴシック")), "DejaVu Sans Mono");
    EXPECT_EQ(Value(RegRoot::LocalMachine, key, Sj("ＭＳ Ｐ明朝")), Sj("IPA P明朝"));
}

}  // namespace
}  // namespace platform
