// Files by Windows path: copies, read-only handling, the drive probe, directories.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "TestPrefix.h"
#include "platform/Files.h"

namespace platform {
namespace {

using test::PrefixTest;

namespace fs = std::filesystem;

void Write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(PrefixTest, CopyKeepsModificationTimeAndHonoursReadOnly) {
    Write(C("src.dat"), "new contents");
    ASSERT_EQ(SetModificationTime("C:\\SRC.DAT", 946684800), kErrorSuccess);  // 2000-01-01
    ASSERT_EQ(CopyFileW("C:\\SRC.DAT", "C:\\DST.DAT", true), kErrorSuccess);
    EXPECT_EQ(Read(C("DST.DAT")), "new contents");
    struct stat st;
    ASSERT_EQ(stat(C("DST.DAT").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800);

    EXPECT_EQ(CopyFileW("C:\\SRC.DAT", "C:\\DST.DAT", true), kErrorFileExists);
    Write(C("DST.DAT"), "old");
    ASSERT_EQ(SetReadOnly("C:\\DST.DAT", true), kErrorSuccess);
    std::uint32_t attrs = 0;
    ASSERT_EQ(GetFileAttributesW("c:\\dst.dat", attrs), kErrorSuccess);
    EXPECT_EQ(attrs, kAttrReadOnly | kAttrArchive);
    // Read-only target: refused even for root, and left as it was.
    EXPECT_EQ(CopyFileW("C:\\SRC.DAT", "C:\\DST.DAT", false), kErrorAccessDenied);
    EXPECT_EQ(Read(C("DST.DAT")), "old");
    EXPECT_EQ(WriteFileBytes("C:\\DST.DAT", "x"), kErrorAccessDenied);
    EXPECT_EQ(DeleteFileW("C:\\DST.DAT"), kErrorAccessDenied);
    ASSERT_EQ(ClearReadOnly("C:\\DST.DAT"), kErrorSuccess);
    EXPECT_EQ(CopyFileW("C:\\SRC.DAT", "C:\\DST.DAT", false), kErrorSuccess);
    EXPECT_EQ(Read(C("DST.DAT")), "new contents");

    EXPECT_EQ(CopyFileW("C:\\NONE.DAT", "C:\\X.DAT", false), kErrorFileNotFound);
    EXPECT_EQ(CopyFileW("C:\\NODIR\\NONE.DAT", "C:\\X.DAT", false), kErrorPathNotFound);
    EXPECT_EQ(CopyFileW("C:\\SRC.DAT", "C:\\NODIR\\X.DAT", false), kErrorPathNotFound);
    // No temporary file is left behind.
    for (auto& e : fs::directory_iterator(C(""))) EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos);
}

// Replacing an installed file: a new file takes the old one's place whole (a reader
// holding the old one keeps it), with the source's mode exactly, whatever the umask,
// and its modification time.
TEST_F(PrefixTest, AReplacingCopyTakesTheSourcesModeAndTimeAndSwapsTheFileWhole) {
    Write(C("src.exe"), "new program");
    fs::permissions(C("src.exe"), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    ASSERT_EQ(SetModificationTime("C:\\SRC.EXE", 946684800), kErrorSuccess);
    Write(C("app.exe"), "old program");
    fs::create_hard_link(C("app.exe"), C("held.exe"));  // stands for a reader holding the old file

    const mode_t saved = umask(077);
    EXPECT_EQ(CopyFileW("C:\\SRC.EXE", "C:\\APP.EXE", false), kErrorSuccess);
    umask(saved);
    EXPECT_EQ(Read(C("app.exe")), "new program");
    EXPECT_EQ(Read(C("held.exe")), "old program");
    struct stat st;
    ASSERT_EQ(stat(C("app.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800);
    for (auto& e : fs::directory_iterator(C(""))) EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos);
}

TEST_F(PrefixTest, AttributesAndMissingFiles) {
    fs::create_directories(C("Dir"));
    Write(C(".hidden"), "");
    std::uint32_t attrs = 0;
    ASSERT_EQ(GetFileAttributesW("C:\\DIR", attrs), kErrorSuccess);
    EXPECT_EQ(attrs, kAttrDirectory);
    ASSERT_EQ(GetFileAttributesW("C:\\.HIDDEN", attrs), kErrorSuccess);
    EXPECT_EQ(attrs, kAttrHidden | kAttrArchive);
    EXPECT_EQ(GetFileAttributesW("C:\\DIR\\NONE", attrs), kErrorFileNotFound);
    EXPECT_EQ(GetFileAttributesW("C:\\NODIR\\NONE", attrs), kErrorPathNotFound);
    EXPECT_TRUE(DirectoryExists("C:\\dir"));
    EXPECT_FALSE(FileExists("C:\\dir"));
    EXPECT_TRUE(PathExists("C:\\"));
}

TEST_F(PrefixTest, DirectoriesCreateRemoveAndMove) {
    EXPECT_EQ(CreateDirectoryW("C:\\A\\B"), kErrorPathNotFound);
    EXPECT_EQ(CreateDirectoryW("C:\\A"), kErrorSuccess);
    EXPECT_EQ(CreateDirectoryW("C:\\a"), kErrorAlreadyExists);
    EXPECT_EQ(CreateDirectoryTree("C:\\a\\B\\C\\D"), kErrorSuccess);
    EXPECT_EQ(CreateDirectoryTree("C:\\A\\b\\c"), kErrorSuccess);  // existing: fine
    EXPECT_TRUE(fs::is_directory(C("A/B/C/D")));
    EXPECT_FALSE(fs::exists(C("A/b")));  // found, not created again in another case

    EXPECT_EQ(WriteFileBytes("C:\\A\\B\\F.TXT", "1"), kErrorSuccess);
    EXPECT_EQ(AppendFileBytes("C:\\A\\B\\f.txt", "2"), kErrorSuccess);
    std::uint64_t size = 0;
    EXPECT_EQ(GetFileSizeW("C:\\A\\B\\F.TXT", size), kErrorSuccess);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(RemoveDirectoryW("C:\\A\\B"), kErrorDirNotEmpty);
    EXPECT_EQ(RemoveDirectoryW("C:\\A\\B\\F.TXT"), kErrorDirectory);
    EXPECT_EQ(DeleteFileW("C:\\A\\B"), kErrorAccessDenied);

    EXPECT_EQ(MoveFileW("C:\\A\\B\\F.TXT", "C:\\A\\G.TXT"), kErrorSuccess);
    EXPECT_EQ(Read(C("A/G.TXT")), "12");
    EXPECT_EQ(MoveFileW("C:\\A\\G.TXT", "C:\\A\\g.txt"), kErrorSuccess);  // case-only rename
    EXPECT_TRUE(fs::exists(C("A/g.txt")));
    EXPECT_FALSE(fs::exists(C("A/G.TXT")));

    EXPECT_EQ(DeleteFileW("C:\\A\\G.TXT"), kErrorSuccess);
    EXPECT_EQ(DeleteFileW("C:\\A\\G.TXT"), kErrorFileNotFound);
    EXPECT_EQ(RemoveDirectoryW("C:\\A\\B\\C\\D"), kErrorSuccess);
    EXPECT_EQ(RemoveDirectoryW("C:\\A\\B\\C\\D"), kErrorFileNotFound);
}

TEST_F(PrefixTest, DriveProbe) {
    // A ready, writable drive: the probe file is created.
    EXPECT_EQ(OpenOrCreateProbe("C:\\TEMP.LOG"), kErrorSuccess);
    EXPECT_TRUE(fs::exists(C("TEMP.LOG")));

    // A write-protected medium: a folder whose owner write bit is cleared.
    fs::create_directories(prefix_ / "cdrom");
    fs::permissions(prefix_ / "cdrom", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ASSERT_EQ(MapDrive('R', (prefix_ / "cdrom").string()), kErrorSuccess);
    EXPECT_EQ(OpenOrCreateProbe("R:\\TEMP.LOG"), kErrorWriteProtect);
    EXPECT_FALSE(fs::exists(prefix_ / "cdrom" / "TEMP.LOG"));
    fs::permissions(prefix_ / "cdrom", fs::perms::owner_write, fs::perm_options::add);

    ASSERT_EQ(MapDrive('A', (prefix_ / "empty-floppy").string()), kErrorSuccess);
    EXPECT_EQ(OpenOrCreateProbe("A:\\TEMP.LOG"), kErrorNotReady);
    EXPECT_EQ(OpenOrCreateProbe("B:\\TEMP.LOG"), kErrorPathNotFound);
    EXPECT_EQ(OpenOrCreateProbe("C:\\NODIR\\TEMP.LOG"), kErrorPathNotFound);
}

// Names in the folder that a replacement may have left behind.
int TemporaryNames(const fs::path& dir) {
    int count = 0;
    for (auto& e : fs::directory_iterator(dir))
        count += e.path().filename().string().find(".tmp-") != std::string::npos;
    return count;
}

TEST_F(PrefixTest, ReplaceFileBytesCreatesReplacesAndRefusesLikeAWrite) {
    // Missing: created, with or without the sync.
    EXPECT_EQ(ReplaceFileBytes("C:\\INST01.DAT", "first", true), kErrorSuccess);
    EXPECT_EQ(Read(C("INST01.DAT")), "first");
    // Existing, found in any case: replaced under its own name, its mode kept.
    fs::permissions(C("INST01.DAT"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(ReplaceFileBytes("C:\\inst01.dat", "second, longer", false), kErrorSuccess);
    EXPECT_EQ(Read(C("INST01.DAT")), "second, longer");
    EXPECT_FALSE(fs::exists(C("inst01.dat")));
    EXPECT_EQ(fs::status(C("INST01.DAT")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(ReplaceFileBytes("C:\\INST01.DAT", "", true), kErrorSuccess);
    EXPECT_EQ(Read(C("INST01.DAT")), "");

    // Read-only: refused (even for root), the file left as it was.
    Write(C("RO.DAT"), "kept");
    ASSERT_EQ(SetReadOnly("C:\\RO.DAT", true), kErrorSuccess);
    EXPECT_EQ(ReplaceFileBytes("C:\\RO.DAT", "new", true), kErrorAccessDenied);
    EXPECT_EQ(Read(C("RO.DAT")), "kept");
    // A folder of that name, a missing folder, a broken name.
    fs::create_directories(C("SUB"));
    EXPECT_EQ(ReplaceFileBytes("C:\\SUB", "x", true), kErrorAccessDenied);
    EXPECT_TRUE(fs::is_directory(C("SUB")));
    EXPECT_EQ(ReplaceFileBytes("C:\\NODIR\\X.DAT", "x", true), kErrorPathNotFound);
    EXPECT_FALSE(fs::exists(C("NODIR")));
    EXPECT_EQ(ReplaceFileBytes("C:\\BAD\x81", "x", true), kErrorInvalidName);
    EXPECT_EQ(TemporaryNames(C("")), 0);
}

// A write that fails half-way (here: the file size limit of the process, which stops
// root as well) leaves the old contents and no temporary file.
TEST_F(PrefixTest, AFailedReplacementKeepsTheOldFile) {
    Write(C("LIST.TXT"), "old list");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {100, 100};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(100);
        _exit(static_cast<int>(ReplaceFileBytes("C:\\LIST.TXT", std::string(5000, 'n'), true)));
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(kErrorGenFailure));
    EXPECT_EQ(Read(C("LIST.TXT")), "old list");
    EXPECT_EQ(TemporaryNames(C("")), 0);
}

TEST_F(PrefixTest, FlushFileNeedsAnExistingFile) {
    Write(C("MARK.DA_"), "");
    EXPECT_EQ(FlushFileW("C:\\mark.da_"), kErrorSuccess);
    fs::create_directories(C("V/01"));
    EXPECT_EQ(FlushFileW("C:\\V\\01"), kErrorSuccess);
    EXPECT_EQ(FlushFileW("C:\\"), kErrorSuccess);
    EXPECT_EQ(FlushFileW("C:\\NONE.DAT"), kErrorFileNotFound);
    EXPECT_EQ(FlushFileW("C:\\NODIR\\NONE.DAT"), kErrorPathNotFound);
}

// Greek and Cyrillic letters have two cases, so names that differ only in them are
// one name, as full-width Latin letters are.
TEST_F(PrefixTest, GreekAndCyrillicNamesAreFoundInEitherCase) {
    Write(C("αβ.txt"), "greek");
    Write(C("отчёт"), "russian");
    std::string contents;
    ASSERT_EQ(ReadFileBytes(test::Sj("C:\\ΑΒ.TXT"), contents), kErrorSuccess);
    EXPECT_EQ(contents, "greek");
    ASSERT_EQ(ReadFileBytes(test::Sj("C:\\ОТЧЁТ"), contents), kErrorSuccess);
    EXPECT_EQ(contents, "russian");
}

TEST_F(PrefixTest, ModificationDateIsLocal) {
    Write(C("f"), "");
    struct tm t = {};
    t.tm_year = 2003 - 1900;
    t.tm_mon = 6;
    t.tm_mday = 15;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    ASSERT_EQ(SetModificationTime("C:\\F", mktime(&t)), kErrorSuccess);
    std::string date;
    ASSERT_EQ(GetModificationDate("C:\\F", date), kErrorSuccess);
    EXPECT_EQ(date, "20030715");
}

}  // namespace
}  // namespace platform
