// The version query, run-time library loading, the beep, message boxes, short names and
// the temporary folder, each against a real prefix (real hives, real shared objects).
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "TestPrefix.h"
#include "platform/DynamicLibrary.h"
#include "platform/MessageBox.h"
#include "platform/OsVersion.h"
#include "platform/Registry.h"
#include "platform/SystemServices.h"

namespace platform {
namespace {

using test::BinDir;
using test::PrefixTest;
using test::Sj;

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void SetPlatform(const std::string& value) {
    RegKey key;
    ASSERT_EQ(RegCreateKey(RegRoot::LocalMachine, "SOFTWARE\\MorvanPrefix", key), 0u);
    ASSERT_EQ(RegSetString(key, "Platform", value), 0u);
}

TEST_F(PrefixTest, VersionFollowsThePrefixSettingAndChecksTheSize) {
    OsVersionInfoA info;
    info.osVersionInfoSize = 148;
    ASSERT_EQ(GetVersionExA(info), 0u);
    EXPECT_EQ(info.platformId, kVerPlatformWin32Nt);
    EXPECT_EQ(info.majorVersion, 5u);
    EXPECT_EQ(info.minorVersion, 1u);
    EXPECT_EQ(info.buildNumber, 2600u);
    EXPECT_EQ(info.osVersionInfoSize, 148u);

    SetPlatform("Windows");
    info = OsVersionInfoA{};
    info.osVersionInfoSize = 156;  // the extended form is accepted too
    ASSERT_EQ(GetVersionExA(info), 0u);
    EXPECT_EQ(info.platformId, kVerPlatformWin32Windows);
    EXPECT_EQ(info.majorVersion, 4u);
    EXPECT_EQ(info.minorVersion, 10u);
    EXPECT_EQ(info.buildNumber, 2222u);

    SetPlatform("NT");
    ASSERT_EQ(GetVersionExA(info), 0u);
    EXPECT_EQ(info.platformId, kVerPlatformWin32Nt);
    SetPlatform("Windows 98");  // anything else is the NT family
    ASSERT_EQ(GetVersionExA(info), 0u);
    EXPECT_EQ(info.platformId, kVerPlatformWin32Nt);

    // A size the caller did not set is refused before anything is written.
    for (std::uint32_t size : {0u, 147u, 149u, 0xFFFFFFFFu}) {
        OsVersionInfoA bad;
        bad.osVersionInfoSize = size;
        EXPECT_EQ(GetVersionExA(bad), kErrorInsufficientBuffer) << size;
        EXPECT_EQ(bad.platformId, 0u);
    }
}

class LibraryTest : public PrefixTest {
protected:
    // Installs the tag-2 build of the probe under a Windows name below drive C.
    void InstallOther(const std::string& relative) {
        fs::create_directories(C(relative).parent_path());
        fs::copy_file(BinDir() / "platform-test-probe-other.so", C(relative),
                      fs::copy_options::overwrite_existing);
    }
    // Loads `name` and returns the probe's tag (0 when not loaded).
    static int TagOf(const std::string& name, ModuleHandle* keep = nullptr) {
        ModuleHandle module = nullptr;
        std::string why;
        if (LoadLibraryA(name, module, &why) != 0) {
            ADD_FAILURE() << name << ": " << why;
            return 0;
        }
        auto fn = reinterpret_cast<int (*)()>(GetProcAddress(module, "ProbeTag"));
        int tag = fn ? fn() : -1;
        if (keep) {
            *keep = module;
        } else {
            EXPECT_EQ(FreeLibrary(module), 0u);
        }
        return tag;
    }
};

TEST_F(LibraryTest, BareNamesFollowTheWindowsSearchOrder) {
    // SearchProbe.DLL lies beside the test program (tag 1) and in SYSTEM32 (tag 2):
    // the program's own folder wins, and ".DLL" is added to a name without one.
    InstallOther("WINDOWS/SYSTEM32/SearchProbe.DLL");
    EXPECT_EQ(TagOf("SearchProbe"), 1);
    EXPECT_EQ(TagOf("SEARCHPROBE.DLL"), 1);
    // A path is taken as given, matched without regard to case.
    EXPECT_EQ(TagOf("c:\\windows\\system32\\searchprobe.dll"), 2);

    // SYSTEM32 comes before the current folder; the current folder is still searched.
    InstallOther("WINDOWS/SYSTEM32/TWICE.DLL");
    fs::create_directories(C("WORK"));
    fs::copy_file(BinDir() / "SearchProbe.DLL", C("WORK/Twice.DLL"));
    fs::copy_file(BinDir() / "SearchProbe.DLL", C("WORK/Here.DLL"));
    ASSERT_EQ(SetCurrentDirectoryW("C:\\WORK"), 0u);
    EXPECT_EQ(TagOf("Twice.DLL"), 2);
    EXPECT_EQ(TagOf("Here"), 1);
    // A relative path with a folder is taken from the current folder.
    EXPECT_EQ(TagOf("..\\WORK\\HERE.DLL"), 1);

    // A folder whose name ends in a byte with the code of "\" (表) is one folder.
    InstallOther("表/Probe.DLL");
    EXPECT_EQ(TagOf(Sj("C:\\表\\PROBE.DLL")), 2);
}

TEST_F(LibraryTest, LoadingTwiceSharesTheModuleAndExportsAreLookedUpByName) {
    InstallOther("WINDOWS/SYSTEM32/Shared.DLL");
    ModuleHandle a = nullptr, b = nullptr;
    EXPECT_EQ(TagOf("Shared.DLL", &a), 2);
    EXPECT_EQ(TagOf("C:\\WINDOWS\\SYSTEM32\\SHARED.DLL", &b), 2);
    EXPECT_EQ(a, b);
    EXPECT_EQ(GetProcAddress(a, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "ProbeTag"), nullptr);
    EXPECT_EQ(GetProcAddress(a, nullptr), nullptr);
    EXPECT_EQ(FreeLibrary(a), 0u);
    EXPECT_EQ(FreeLibrary(b), 0u);
    EXPECT_EQ(FreeLibrary(nullptr), kErrorInvalidHandle);
}

TEST_F(LibraryTest, WhatCannotBeLoadedIsReportedWithACode) {
    ModuleHandle module = reinterpret_cast<ModuleHandle>(1);
    std::string why;
    EXPECT_EQ(LoadLibraryA("Absent.DLL", module, &why), kErrorModNotFound);
    EXPECT_EQ(module, nullptr);
    EXPECT_NE(why.find("Absent.DLL"), std::string::npos) << why;
    EXPECT_EQ(LoadLibraryA("C:\\NOWHERE\\Absent.DLL", module), kErrorModNotFound);

    // A file that is no shared object: the host loader's reason is passed on.
    std::ofstream(C("WINDOWS/SYSTEM32/Garbage.DLL")) << "MZ not a library at all";
    why.clear();
    EXPECT_EQ(LoadLibraryA("Garbage.DLL", module, &why), kErrorModNotFound);
    EXPECT_EQ(module, nullptr);
    EXPECT_FALSE(why.empty());
    // A folder under a library's name is not a library.
    fs::create_directories(C("WINDOWS/SYSTEM32/Folder.DLL"));
    EXPECT_EQ(LoadLibraryA("Folder.DLL", module), kErrorModNotFound);

    EXPECT_EQ(LoadLibraryA("", module), kErrorInvalidName);
    EXPECT_EQ(LoadLibraryA("\x81", module), kErrorInvalidName);  // a lone lead byte
    EXPECT_EQ(LoadLibraryA(std::string("A\0B.DLL", 7), module), kErrorInvalidName);
}

TEST_F(PrefixTest, BeepChecksItsFrequencyAndLastsItsDuration) {
    EXPECT_EQ(Beep(36, 10), kErrorInvalidParameter);
    EXPECT_EQ(Beep(32768, 10), kErrorInvalidParameter);

    // No sound device: an ALSA configuration without any (the test machine may have a
    // card; this keeps the test quiet and the same everywhere).
    const fs::path config = prefix_ / "no-sound.conf";
    std::ofstream(config) << "# no devices\n";
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Beep(440, 300), 0u);
    auto elapsed = std::chrono::steady_clock::now() - start;
    unsetenv("ALSA_CONFIG_PATH");
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));
    EXPECT_LT(elapsed, std::chrono::seconds(10));  // not a timing test: it only must end
    EXPECT_EQ(Beep(37, 0), 0u);
}

TEST_F(PrefixTest, BeepPlaysASquareWaveOnTheDefaultDevice) {
    // ALSA's default device made a recorder: the file plugin over a null device keeps
    // every sample the beep plays (48 kHz, signed 16-bit, mono).
    if (void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL)) {
        dlclose(alsa);
    } else {
        GTEST_SKIP() << "no ALSA library on this machine";
    }
    const fs::path config = prefix_ / "record.conf";
    const fs::path recording = prefix_ / "tone.raw";
    std::ofstream(config) << "pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \""
                          << recording.string() << "\"\n  format \"raw\"\n}\n";
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    EXPECT_EQ(Beep(880, 250), 0u);
    unsetenv("ALSA_CONFIG_PATH");

    std::string raw = ReadAll(recording);
    ASSERT_EQ(raw.size(), 48000u / 4 * 2) << "a quarter second of samples";
    int changes = 0;
    std::int16_t previous = 0;
    for (std::size_t i = 0; i < raw.size(); i += 2) {
        auto sample = static_cast<std::int16_t>(static_cast<unsigned char>(raw[i]) |
                                                static_cast<unsigned char>(raw[i + 1]) << 8);
        ASSERT_TRUE(sample == 8000 || sample == -8000) << i;
        if (i > 0 && sample != previous) ++changes;
        previous = sample;
    }
    // Two level changes per period: 880 Hz for a quarter second.
    EXPECT_NEAR(changes, 440, 2);
}

// Runs `body` with standard error sent to a file and returns what was written there.
template <typename F>
std::string CaptureStderr(const fs::path& file, F body) {
    std::fflush(stderr);
    int saved = dup(2);
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    dup2(fd, 2);
    close(fd);
    body();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return ReadAll(file);
}

TEST_F(PrefixTest, MessageBoxWritesOneLineToTheTerminalAndTheLog) {
    int answer = 0;
    std::string err = CaptureStderr(prefix_ / "stderr.txt", [&] {
        answer =
            MessageBoxA(Sj("ファイルがありません。\r\nもう一度"), Sj("変換"), kMbOk | kMbIconError);
    });
    EXPECT_EQ(answer, kIdOk);
    EXPECT_EQ(err, "変換: ファイルがありません。 もう一度\n");

    err = CaptureStderr(prefix_ / "stderr.txt", [&] {
        // MB_YESNO with the second button as default is answered No.
        answer = MessageBoxA("Continue?", "Question", 0x4 | 0x100);
    });
    EXPECT_EQ(answer, 7);

    std::string log = ReadAll(prefix_ / "messages.log");
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u) << log;
    // "yyyy-mm-dd hh:mm:ss <program>: <caption>: <text>"
    EXPECT_EQ(lines[0].substr(4, 1), "-");
    EXPECT_EQ(lines[0].substr(19), " platform_tests: 変換: ファイルがありません。 もう一度");
    EXPECT_EQ(lines[1].substr(19), " platform_tests: Question: Continue?");

    // Without a log the message still reaches the terminal.
    fs::remove(prefix_ / "messages.log");
    fs::create_directory(prefix_ / "messages.log");
    err = CaptureStderr(prefix_ / "stderr.txt", [&] { answer = MessageBoxA("x", "y", kMbOk); });
    EXPECT_EQ(err, "y: x\n");
    EXPECT_EQ(answer, kIdOk);
}

TEST_F(PrefixTest, ShortNamesAndTheTemporaryFolder) {
    std::ofstream(C("長いファイル名.txt")) << "x";
    std::string shortName;
    ASSERT_EQ(GetShortPathNameA(Sj("c:\\長いファイル名.TXT"), shortName), 0u);
    EXPECT_EQ(shortName, Sj("c:\\長いファイル名.TXT"));
    EXPECT_EQ(GetShortPathNameA("C:\\MISSING.TXT", shortName), kErrorFileNotFound);
    EXPECT_EQ(GetShortPathNameA("C:\\NO\\MISSING.TXT", shortName), kErrorPathNotFound);

    std::string temp;
    ASSERT_EQ(GetTempPathA(temp), 0u);
    EXPECT_EQ(temp, "C:\\WINDOWS\\TEMP\\");
    EXPECT_TRUE(fs::is_directory(C("WINDOWS/TEMP")));
    ASSERT_EQ(GetTempPathA(temp), 0u);  // existing folder

    // No drive C: the folder cannot be made and the code says why.
    fs::remove(prefix_ / "dosdevices" / "c:");
    EXPECT_EQ(GetTempPathA(temp), kErrorPathNotFound);
}

}  // namespace
}  // namespace platform
