// Windows paths resolved in a prefix: drives, case-insensitive lookup, canonical paths
// and the current directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "TestPrefix.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

namespace platform {
namespace {

using test::PrefixTest;
using test::Sj;

void Touch(const std::filesystem::path& p) { std::ofstream(p) << "x"; }

TEST_F(PrefixTest, DriveStates) {
    std::filesystem::create_directory_symlink(prefix_ / "no-medium", prefix_ / "dosdevices" / "e:");
    EXPECT_EQ(DriveState('C'), kErrorSuccess);
    EXPECT_EQ(DriveState('c'), kErrorSuccess);
    EXPECT_EQ(DriveState('D'), kErrorPathNotFound);
    EXPECT_EQ(DriveState('E'), kErrorNotReady);
    EXPECT_EQ(DriveState('1'), kErrorPathNotFound);
    EXPECT_EQ(ListDrives(), (std::vector<char>{'C', 'E', 'Z'}));

    std::string host;
    EXPECT_EQ(ToHostPath("D:\\X", host), kErrorPathNotFound);
    EXPECT_EQ(ToHostPath("E:\\X", host), kErrorNotReady);
    std::uint32_t attrs;
    EXPECT_EQ(GetFileAttributesW("D:\\X", attrs), kErrorPathNotFound);
    EXPECT_EQ(GetFileAttributesW("E:\\X", attrs), kErrorNotReady);

    // The medium arrives: the same drive becomes ready.
    std::filesystem::create_directory(prefix_ / "no-medium");
    EXPECT_EQ(DriveState('E'), kErrorSuccess);

    std::filesystem::create_directory(prefix_ / "floppy");
    EXPECT_EQ(MapDrive('a', (prefix_ / "floppy").string()), kErrorSuccess);
    EXPECT_EQ(DriveState('A'), kErrorSuccess);
    EXPECT_EQ(UnmapDrive('A'), kErrorSuccess);
    EXPECT_EQ(DriveState('A'), kErrorPathNotFound);
    EXPECT_EQ(UnmapDrive('A'), kErrorPathNotFound);
}

TEST_F(PrefixTest, UpperCasedPathFindsLowerCaseFiles) {
    std::filesystem::create_directories(C("Morvan/bin"));
    Touch(C("Morvan/bin/tool.exe"));
    std::string host;
    ASSERT_EQ(ToHostPath("C:\\MORVAN\\BIN\\TOOL.EXE", host), kErrorSuccess);
    EXPECT_EQ(host, std::filesystem::canonical(C("Morvan/bin/tool.exe")).string());

    // Missing components are kept as written below the existing ones.
    ASSERT_EQ(ToHostPath("c:\\morvan\\BIN\\New\\File.TXT", host), kErrorSuccess);
    EXPECT_EQ(host, std::filesystem::canonical(C("Morvan/bin")).string() + "/New/File.TXT");

    // An exact match wins over a case-insensitive one.
    Touch(C("Morvan/bin/TOOL.EXE"));
    ASSERT_EQ(ToHostPath("C:\\MORVAN\\BIN\\TOOL.EXE", host), kErrorSuccess);
    EXPECT_EQ(std::filesystem::path(host).filename(), "TOOL.EXE");
    ASSERT_EQ(ToHostPath("C:\\MORVAN\\BIN\\tool.exe", host), kErrorSuccess);
    EXPECT_EQ(std::filesystem::path(host).filename(), "tool.exe");
}

TEST_F(PrefixTest, ListingCacheNeverGivesAStaleAnswer) {
    std::filesystem::create_directories(C("dir"));
    Touch(C("dir/alpha.txt"));
    std::string host;
    ASSERT_EQ(ToHostPath("C:\\DIR\\ALPHA.TXT", host), kErrorSuccess);
    EXPECT_EQ(std::filesystem::path(host).filename(), "alpha.txt");

    // Renamed behind the cache's back: the old name is gone, the new one is found.
    std::filesystem::rename(C("dir/alpha.txt"), C("dir/Alpha.Txt"));
    ASSERT_EQ(ToHostPath("C:\\DIR\\ALPHA.TXT", host), kErrorSuccess);
    EXPECT_EQ(std::filesystem::path(host).filename(), "Alpha.Txt");

    // Created after the folder was listed.
    Touch(C("dir/beta.txt"));
    EXPECT_TRUE(FileExists("C:\\DIR\\BETA.TXT"));
    std::filesystem::remove(C("dir/beta.txt"));
    EXPECT_FALSE(FileExists("C:\\DIR\\BETA.TXT"));
}

TEST_F(PrefixTest, NamesWithTrailBackslashSurviveTheRoundTrip) {
    // 表, ソ and 能 end in 0x5C; the folder must be created, found and named intact.
    const std::string dir = "C:\\" + Sj("表示") + "\\" + Sj("ソフト能力");
    ASSERT_EQ(CreateDirectoryTree(dir), kErrorSuccess);
    EXPECT_TRUE(std::filesystem::is_directory(C("表示/ソフト能力")));
    ASSERT_EQ(WriteFileBytes(dir + "\\" + Sj("ａ表.txt"), "data"), kErrorSuccess);
    EXPECT_TRUE(std::filesystem::exists(C("表示/ソフト能力/ａ表.txt")));
    // Upper-cased (full-width ａ -> Ａ) it is still the same file.
    std::string contents;
    EXPECT_EQ(ReadFileBytes(UpperCase(dir + "\\" + Sj("ａ表.TXT")), contents), kErrorSuccess);
    EXPECT_EQ(contents, "data");
    EXPECT_EQ(ToWindowsPath(C("表示/ソフト能力").string()), dir);
    EXPECT_EQ(FullWindowsPath(dir + "\\..\\" + Sj("能")), "C:\\" + Sj("表示") + "\\" + Sj("能"));
}

TEST_F(PrefixTest, InvalidNamesGiveErrorCodes) {
    std::string host;
    EXPECT_EQ(ToHostPath("C:\\A\x81\x20" "B", host), kErrorInvalidName);  // bad code page 932
    EXPECT_EQ(ToHostPath("C:\\DIR\\\x95", host), kErrorInvalidName);      // pair cut off
    EXPECT_EQ(ToHostPath("C:\\A*B", host), kErrorInvalidName);
    EXPECT_EQ(ToHostPath("C:\\A\x01", host), kErrorInvalidName);
    EXPECT_EQ(ToHostPath("\\\\server\\share", host), kErrorBadPathname);
    std::uint32_t attrs;
    EXPECT_EQ(GetFileAttributesW("C:\\\x81", attrs), kErrorInvalidName);
    EXPECT_EQ(WriteFileBytes("C:\\\xFC\x20.txt", "x"), kErrorInvalidName);
    // "|" as the trail byte of a pair (0x83 0x7C = ミ) is a normal character.
    EXPECT_EQ(ToHostPath("C:\\" + Sj("ミ"), host), kErrorSuccess);
}

TEST_F(PrefixTest, FullPathsAndCurrentDirectory) {
    std::filesystem::create_directories(C("Work/Sub"));
    ASSERT_EQ(SetCurrentDirectoryW("c:\\work"), kErrorSuccess);
    EXPECT_EQ(GetCurrentDirectoryW(), "C:\\work");
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), std::filesystem::canonical(C("Work")).string());

    EXPECT_EQ(FullWindowsPath("Sub\\..\\..\\..\\x"), "C:\\x");  // never above the root
    EXPECT_EQ(FullWindowsPath("a\\.\\b\\\\c"), "C:\\work\\a\\b\\c");
    EXPECT_EQ(FullWindowsPath("\\top"), "C:\\top");
    EXPECT_EQ(FullWindowsPath("d:rel"), "D:\\rel");
    EXPECT_EQ(FullWindowsPath("C:rel"), "C:\\work\\rel");
    EXPECT_EQ(FullWindowsPath("c:/x/y/"), "C:\\x\\y");
    EXPECT_EQ(FullWindowsPath("NAME."), "C:\\work\\NAME");

    EXPECT_EQ(SetCurrentDirectoryW("C:\\NOWHERE"), kErrorPathNotFound);
    EXPECT_EQ(GetCurrentDirectoryW(), "C:\\work");
    EXPECT_EQ(GetWindowsDirectoryW(), "C:\\WINDOWS");
}

TEST_F(PrefixTest, HostPathsGetTheLongestMappedDrive) {
    std::filesystem::create_directories(prefix_ / "media" / "disk1");
    ASSERT_EQ(MapDrive('Q', (prefix_ / "media").string()), kErrorSuccess);
    EXPECT_EQ(ToWindowsPath((prefix_ / "media" / "disk1" / "f.txt").string()), "Q:\\disk1\\f.txt");
    EXPECT_EQ(ToWindowsPath((prefix_ / "drive_c" / "WINDOWS").string()), "C:\\WINDOWS");
    EXPECT_EQ(ToWindowsPath("/usr/lib"), "Z:\\usr\\lib");
    // Through the drive's own entry, too.
    EXPECT_EQ(ToWindowsPath((prefix_ / "dosdevices" / "c:" / "x").string()), "C:\\x");
    EXPECT_EQ(GetModuleFileNameW().substr(0, 3), "Z:\\");
}

TEST_F(PrefixTest, ResolutionFromTwoThreads) {
    std::filesystem::create_directories(C("shared"));
    for (int i = 0; i < 50; ++i) Touch(C("shared/file" + std::to_string(i) + ".dat"));
    auto worker = [](int* failures) {
        for (int round = 0; round < 20; ++round) {
            for (int i = 0; i < 50; ++i) {
                if (!FileExists("C:\\SHARED\\FILE" + std::to_string(i) + ".DAT")) ++*failures;
            }
        }
    };
    int f1 = 0, f2 = 0;
    std::thread t1(worker, &f1), t2(worker, &f2);
    t1.join();
    t2.join();
    EXPECT_EQ(f1 + f2, 0);
}

}  // namespace
}  // namespace platform
