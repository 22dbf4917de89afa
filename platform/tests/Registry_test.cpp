// The registry hives: values, case, concurrent writers in two processes, export and
// import, and malformed files.
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

#include "TestPrefix.h"
#include "platform/Process.h"
#include "platform/Registry.h"

namespace platform {
namespace {

using test::PrefixTest;
using test::Sj;

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string Dword(std::uint32_t n) {
    return {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF), static_cast<char>((n >> 16) & 0xFF),
            static_cast<char>(n >> 24)};
}

TEST_F(PrefixTest, ValuesAreCaseInsensitiveAndCasePreserving) {
    RegKey key;
    ASSERT_EQ(RegCreateKey(RegRoot::LocalMachine, "\\SOFTWARE\\Morvan\\COMMON", key), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, "Version", Sj("版 表\\ソ \"q\"")), kErrorSuccess);

    RegKey again;
    ASSERT_EQ(RegOpenKey(RegRoot::LocalMachine, "software\\MORVAN\\common", RegAccess::Read, again), kErrorSuccess);
    EXPECT_EQ(again.path, "SOFTWARE\\Morvan\\COMMON");
    std::string data;
    ASSERT_EQ(RegQueryString(again, "VERSION", data), kErrorSuccess);
    EXPECT_EQ(data, Sj("版 表\\ソ \"q\""));
    EXPECT_EQ(RegSetString(again, "X", "y"), kErrorAccessDenied);  // opened for reading

    ASSERT_EQ(RegSetString(key, "VERSION", "2"), kErrorSuccess);
    std::vector<RegValueInfo> values;
    ASSERT_EQ(RegEnumValues(key, values), kErrorSuccess);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "Version");  // first spelling kept
    EXPECT_EQ(values[0].data, "2");

    ASSERT_EQ(RegSetValue(key, {"Count", RegType::Dword, Dword(7)}), kErrorSuccess);
    EXPECT_EQ(RegQueryString(key, "count", data), kErrorDatatypeMismatch);
    EXPECT_EQ(RegQueryString(key, "none", data), kErrorFileNotFound);
    EXPECT_EQ(RegDeleteValue(key, "COUNT"), kErrorSuccess);
    EXPECT_EQ(RegDeleteValue(key, "COUNT"), kErrorFileNotFound);

    RegKey other;
    EXPECT_EQ(RegOpenKey(RegRoot::CurrentUser, "SOFTWARE\\Morvan", RegAccess::Read, other), kErrorFileNotFound);
    ASSERT_EQ(RegDeleteTree(RegRoot::LocalMachine, "SOFTWARE\\MORVAN"), kErrorSuccess);
    EXPECT_EQ(RegQueryString(key, "Version", data), kErrorFileNotFound);  // the key is gone
    EXPECT_EQ(RegSetString(key, "Version", "x"), kErrorFileNotFound);
    EXPECT_EQ(RegDeleteTree(RegRoot::LocalMachine, "SOFTWARE\\MORVAN"), kErrorFileNotFound);
}

TEST_F(PrefixTest, TwoProcessesWritingAtOnceLoseNothing) {
    InstallChild("CHILD.EXE");
    ChildProcess a, b;
    ASSERT_EQ(StartProcess({"", "CHILD --reg-fill SOFTWARE\\Race A 500", "", false}, a), kErrorSuccess);
    ASSERT_EQ(StartProcess({"", "CHILD --reg-fill SOFTWARE\\Race B 500", "", false}, b), kErrorSuccess);
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);

    RegKey key;
    ASSERT_EQ(RegOpenKey(RegRoot::CurrentUser, "SOFTWARE\\Race", RegAccess::Read, key), kErrorSuccess);
    std::vector<RegValueInfo> values;
    ASSERT_EQ(RegEnumValues(key, values), kErrorSuccess);
    EXPECT_EQ(values.size(), 1000u);
    std::string data;
    for (const char* name : {"A0", "A499", "B0", "B499"}) {
        ASSERT_EQ(RegQueryString(key, name, data), kErrorSuccess) << name;
        EXPECT_EQ(data, std::string("value of ") + name);
    }
    // No temporary hive is left behind.
    for (auto& e : fs::directory_iterator(prefix_)) EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos);
}

// A hive kept parsed between reads must never hide a change: one saved by another
// process, or a person's edit of the file.
TEST_F(PrefixTest, ReadsSeeChangesMadeOutsideTheProcess) {
    RegKey key;
    ASSERT_EQ(RegCreateKey(RegRoot::CurrentUser, "SOFTWARE\\KEL", key), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, "Tools", "C:\\OLD"), kErrorSuccess);
    std::string data;
    ASSERT_EQ(RegQueryString(key, "Tools", data), kErrorSuccess);

    const std::string reg = (test::BinDir() / "reg").string();
    const std::string add = "MORVAN_PREFIX='" + prefix_.string() + "' '" + reg +
                            "' add 'HKCU\\SOFTWARE\\KEL' /v Tools /d 'C:\\NEW' /f >/dev/null";
    for (int round = 0; round < 3; ++round) {  // repeated: saves in quick succession
        ASSERT_EQ(std::system(add.c_str()), 0);
        ASSERT_EQ(RegQueryString(key, "Tools", data), kErrorSuccess);
        EXPECT_EQ(data, "C:\\NEW");
        ASSERT_EQ(RegSetString(key, "Tools", "C:\\OLD"), kErrorSuccess);
        ASSERT_EQ(RegQueryString(key, "Tools", data), kErrorSuccess);
        EXPECT_EQ(data, "C:\\OLD");
    }

    // An edit by hand, same length, written in place right after the last save.
    std::string hive = ReadText(prefix_ / "user.reg");
    const std::size_t at = hive.find("OLD");
    ASSERT_NE(at, std::string::npos);
    hive.replace(at, 3, "ALT");
    std::ofstream(prefix_ / "user.reg", std::ios::binary | std::ios::in) << hive;
    ASSERT_EQ(RegQueryString(key, "Tools", data), kErrorSuccess);
    EXPECT_EQ(data, "C:\\ALT");

    // The same once more, with the file's times put back as they were: neither its size
    // nor its times tell the edit.
    struct stat before {};
    ASSERT_EQ(stat((prefix_ / "user.reg").c_str(), &before), 0);
    hive.replace(at, 3, "NEU");
    std::ofstream(prefix_ / "user.reg", std::ios::binary | std::ios::in) << hive;
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (prefix_ / "user.reg").c_str(), times, 0), 0);
    ASSERT_EQ(RegReadString(RegRoot::CurrentUser, "SOFTWARE\\KEL", "Tools", data), kErrorSuccess);
    EXPECT_EQ(data, "C:\\NEU");
}

// A read right after a child program saved the hive sees the child's value, also when
// the value is read in one operation by its key path.
TEST_F(PrefixTest, AReadAfterAChildsSaveSeesIt) {
    InstallChild("CHILD.EXE");
    std::string data;
    for (int round = 0; round < 3; ++round) {
        const std::string key = "SOFTWARE\\Child" + std::to_string(round);
        ASSERT_EQ(RegReadString(RegRoot::CurrentUser, key, "C0", data), kErrorFileNotFound);
        ChildProcess child;
        ASSERT_EQ(StartProcess({"", "CHILD --reg-fill " + key + " C 2", "", false}, child),
                  kErrorSuccess);
        ASSERT_EQ(child.Wait(), 0);
        ASSERT_EQ(RegReadString(RegRoot::CurrentUser, key, "C1", data), kErrorSuccess);
        EXPECT_EQ(data, "value of C1");
        // And this process's own save right after it.
        RegKey opened;
        ASSERT_EQ(RegCreateKey(RegRoot::CurrentUser, key, opened), kErrorSuccess);
        ASSERT_EQ(RegSetValue(opened, {"C0", RegType::Dword, Dword(1)}), kErrorSuccess);
        EXPECT_EQ(RegReadString(RegRoot::CurrentUser, key, "C0", data), kErrorDatatypeMismatch);
    }
}

TEST_F(PrefixTest, ExportThenImportGivesTheSameHive) {
    RegKey key, sub;
    ASSERT_EQ(RegCreateKey(RegRoot::CurrentUser, "SOFTWARE\\KEL", key), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, "", "default"), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, Sj("名前"), Sj("表\\ソ\\能")), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, "Lines", "one\r\ntwo"), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, "Bad", "\x81\x20"), kErrorSuccess);  // undecodable bytes kept as they are
    ASSERT_EQ(RegSetValue(key, {"Dw", RegType::Dword, Dword(0xDEADBEEF)}), kErrorSuccess);
    ASSERT_EQ(RegSetValue(key, {"Bin", RegType::Binary, std::string(100, '\xAB')}), kErrorSuccess);
    ASSERT_EQ(RegSetValue(key, {"Exp", RegType::ExpandSz, Sj("%WINDIR%\\表")}), kErrorSuccess);
    ASSERT_EQ(RegSetValue(key, {"Multi", RegType::MultiSz, std::string("a\0" "b", 3)}), kErrorSuccess);
    ASSERT_EQ(RegCreateSubKey(key, Sj("サブ\\深い"), sub), kErrorSuccess);
    ASSERT_EQ(RegSetString(sub, "x", "y"), kErrorSuccess);

    const std::string exported = (prefix_ / "kel.reg").string();
    ASSERT_EQ(RegExportKey(RegRoot::CurrentUser, "software\\kel", exported), kErrorSuccess);
    const std::string before = ReadText(prefix_ / "user.reg");

    ASSERT_EQ(RegDeleteTree(RegRoot::CurrentUser, "SOFTWARE\\KEL"), kErrorSuccess);
    ASSERT_EQ(RegImportFile(exported), kErrorSuccess);
    EXPECT_EQ(ReadText(prefix_ / "user.reg"), before);

    std::vector<RegValueInfo> values;
    ASSERT_EQ(RegEnumValues(key, values), kErrorSuccess);
    ASSERT_EQ(values.size(), 8u);
    EXPECT_EQ(values[2].data, "one\r\ntwo");
    EXPECT_EQ(values[3].data, "\x81\x20");
    EXPECT_EQ(values[7].data, std::string("a\0" "b", 3));
}

TEST_F(PrefixTest, MalformedFilesNameTheLineAndChangeNothing) {
    RegKey key;
    ASSERT_EQ(RegCreateKey(RegRoot::CurrentUser, "SOFTWARE\\KEL", key), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, "Keep", "me"), kErrorSuccess);
    const std::string hive = ReadText(prefix_ / "user.reg");

    const fs::path bad = prefix_ / "bad.reg";
    WriteText(bad, "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\KEL]\n\"New\"=\"1\"\n\"Keep\"=dword:xyz\n");
    EXPECT_EQ(RegImportFile(bad.string()), kErrorBadRegistryFile);
    EXPECT_EQ(LastRegistryError(), bad.string() + ":5: bad hex digit in dword");
    EXPECT_EQ(ReadText(prefix_ / "user.reg"), hive);

    for (const std::string& text : {std::string("no header\n"), std::string("REGEDIT4\n\"v\"=\"x\"\n"),
                                   std::string("REGEDIT4\n[HKEY_NOWHERE\\A]\n"),
                                   std::string("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"a\\qb\"\n"),
                                   std::string("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:1,2\n")}) {
        WriteText(bad, text);
        EXPECT_EQ(RegImportFile(bad.string()), kErrorBadRegistryFile) << text;
        EXPECT_NE(LastRegistryError().find(bad.string() + ":"), std::string::npos) << LastRegistryError();
    }
    EXPECT_EQ(ReadText(prefix_ / "user.reg"), hive);

    // A broken hive is reported with its line and never overwritten.
    std::string broken = hive + "garbage line\n";
    WriteText(prefix_ / "user.reg", broken);
    std::string data;
    EXPECT_EQ(RegQueryString(key, "Keep", data), kErrorBadRegistryFile);
    EXPECT_NE(LastRegistryError().find("user.reg:"), std::string::npos);
    EXPECT_EQ(RegSetString(key, "Other", "x"), kErrorBadRegistryFile);
    EXPECT_EQ(ReadText(prefix_ / "user.reg"), broken);
}

// Names the hive file cannot hold and keys nested without end are refused up front:
// accepted, they would make every later read of the hive fail, or exhaust the stack.
TEST_F(PrefixTest, NamesThatWouldBreakTheHiveAreRefused) {
    RegKey key;
    ASSERT_EQ(RegCreateKey(RegRoot::LocalMachine, "SOFTWARE\\T", key), kErrorSuccess);
    EXPECT_EQ(RegSetString(key, "a\nb", "x"), kErrorInvalidName);
    EXPECT_EQ(RegSetString(key, std::string("a\0b", 3), "x"), kErrorInvalidName);
    RegKey sub;
    EXPECT_EQ(RegCreateKey(RegRoot::LocalMachine, "SOFTWARE\\a\rb", sub), kErrorInvalidName);
    EXPECT_EQ(RegCreateSubKey(key, "x\ny", sub), kErrorInvalidName);
    ASSERT_EQ(RegSetString(key, "still", "readable"), kErrorSuccess);
    std::string data;
    EXPECT_EQ(RegQueryString(key, "still", data), kErrorSuccess);

    std::string deep = "SOFTWARE";
    for (int i = 0; i < 600; ++i) deep += "\\K";
    EXPECT_EQ(RegCreateKey(RegRoot::LocalMachine, deep, sub), kErrorInvalidName);
    const fs::path file = prefix_ / "deep.reg";
    WriteText(file, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\" + deep + "]\n");
    EXPECT_EQ(RegImportFile(file.string()), kErrorBadRegistryFile);
    EXPECT_NE(LastRegistryError().find("deeper than 512"), std::string::npos) << LastRegistryError();
}

TEST_F(PrefixTest, ImportsWindowsFiles) {
    // REGEDIT4 in code page 932, with deletions and a continued hex list.
    std::string cp932 = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n\"a\"=\"b\"\r\n\r\n"
                        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n\r\n"
                        "[HKLM\\SOFTWARE\\" + Sj("表") + "]\r\n@=\"" + Sj("ソ") + "\"\r\n"
                        "\"Bin\"=hex:01,02,\\\r\n  03\r\n\"Drop\"=\"x\"\r\n\"Drop\"=-\r\n";
    WriteText(prefix_ / "cp932.reg", cp932);
    ASSERT_EQ(RegImportFile((prefix_ / "cp932.reg").string()), kErrorSuccess) << LastRegistryError();
    RegKey key;
    EXPECT_EQ(RegOpenKey(RegRoot::LocalMachine, "SOFTWARE\\Gone", RegAccess::Read, key), kErrorFileNotFound);
    ASSERT_EQ(RegOpenKey(RegRoot::LocalMachine, "SOFTWARE\\" + Sj("表"), RegAccess::Read, key), kErrorSuccess);
    RegValueInfo v;
    ASSERT_EQ(RegQueryValue(key, "", v), kErrorSuccess);
    EXPECT_EQ(v.data, Sj("ソ"));
    ASSERT_EQ(RegQueryValue(key, "bin", v), kErrorSuccess);
    EXPECT_EQ(v.type, RegType::Binary);
    EXPECT_EQ(v.data, "\x01\x02\x03");
    EXPECT_FALSE(RegValueExists(key, "Drop"));

    // Version 5 in UTF-16LE with BOM; hex(2) text is UTF-16 there.
    std::string utf8 = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\能]\r\n"
                       "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n\"N\"=dword:0000000a\r\n";
    std::string utf16 = "\xFF\xFE";
    {
        std::string converted;
        // UTF-8 -> UTF-16LE by hand for the ASCII and BMP characters used here.
        for (std::size_t i = 0; i < utf8.size();) {
            unsigned char c = static_cast<unsigned char>(utf8[i]);
            char32_t cp;
            if (c < 0x80) {
                cp = c;
                i += 1;
            } else {
                cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
                i += 3;
            }
            converted += static_cast<char>(cp & 0xFF);
            converted += static_cast<char>(cp >> 8);
        }
        utf16 += converted;
    }
    WriteText(prefix_ / "v5.reg", utf16);
    ASSERT_EQ(RegImportFile((prefix_ / "v5.reg").string()), kErrorSuccess) << LastRegistryError();
    ASSERT_EQ(RegOpenKey(RegRoot::CurrentUser, "SOFTWARE\\" + Sj("能"), RegAccess::Read, key), kErrorSuccess);
    ASSERT_EQ(RegQueryValue(key, "PATH", v), kErrorSuccess);
    EXPECT_EQ(v.type, RegType::ExpandSz);
    EXPECT_EQ(v.data, "%A%");
    ASSERT_EQ(RegQueryValue(key, "n", v), kErrorSuccess);
    EXPECT_EQ(v.data, Dword(10));
}

}  // namespace
}  // namespace platform
