// The cached folder listings behind path resolution never give a stale answer: other
// processes create, delete and rename entries between lookups, and each lookup must
// see the change at once.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "../src/HostPath.h"
#include "TestPrefix.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"

namespace platform {
namespace {

using test::PrefixTest;
namespace fs = std::filesystem;

class DirectoryCacheTest : public PrefixTest {
protected:
    // Runs a shell command in another process, in drive_c.
    void Shell(const std::string& command) {
        std::string line = "cd '" + C("").string() + "' && " + command;
        ASSERT_EQ(std::system(line.c_str()), 0) << command;
    }

    // The host name ToHostPath gives to the last component of `windowsPath`.
    std::string HostName(const std::string& windowsPath) {
        std::string host;
        EXPECT_EQ(ToHostPath(windowsPath, host), kErrorSuccess) << windowsPath;
        return fs::path(host).filename().string();
    }
};

TEST_F(DirectoryCacheTest, AnotherProcessCreatesDeletesAndRenames) {
    fs::create_directories(C("data"));
    std::ofstream(C("data/foo.txt")) << "x";
    EXPECT_EQ(HostName("C:\\DATA\\FOO.TXT"), "foo.txt");
    EXPECT_FALSE(FileExists("C:\\DATA\\BAR.TXT"));
    // The folder is now answered from its watched listing, hits and misses alike.
    EXPECT_GT(detail::WatchedFolderCountForTesting(), 0u);

    Shell("echo y > data/bar.txt");
    EXPECT_EQ(HostName("C:\\DATA\\BAR.TXT"), "bar.txt");
    EXPECT_TRUE(FileExists("C:\\DATA\\BAR.TXT"));

    Shell("rm data/foo.txt");
    EXPECT_FALSE(FileExists("C:\\DATA\\FOO.TXT"));
    EXPECT_EQ(HostName("C:\\DATA\\FOO.TXT"), "FOO.TXT");  // missing: kept as written

    // A rename that only changes case.
    Shell("mv data/bar.txt data/BAR.TXT");
    EXPECT_EQ(HostName("C:\\DATA\\bar.txt"), "BAR.TXT");
    Shell("mv data/BAR.TXT data/foo");
    EXPECT_EQ(HostName("C:\\DATA\\FOO"), "foo");
    Shell("mv data/foo data/FOO");
    EXPECT_EQ(HostName("C:\\DATA\\foo"), "FOO");
    EXPECT_FALSE(FileExists("C:\\DATA\\BAR.TXT"));

    // Deleted and made again at once, under another case and as another kind.
    Shell("rm data/FOO && mkdir data/Foo && echo z > data/Foo/inner.txt");
    EXPECT_EQ(HostName("C:\\DATA\\FOO"), "Foo");
    EXPECT_TRUE(DirectoryExists("C:\\DATA\\FOO"));
    EXPECT_EQ(HostName("C:\\DATA\\FOO\\INNER.TXT"), "inner.txt");
    Shell("rm -r data/Foo && echo w > data/foo");
    EXPECT_TRUE(FileExists("C:\\DATA\\FOO"));
    EXPECT_EQ(HostName("C:\\DATA\\FOO"), "foo");
}

TEST_F(DirectoryCacheTest, AFolderRenamedAboveACachedFolderIsSeen) {
    fs::create_directories(C("app/bin"));
    std::ofstream(C("app/bin/tool.exe")) << "1";
    EXPECT_TRUE(FileExists("C:\\APP\\BIN\\TOOL.EXE"));

    // The cached folder keeps its inode; only the path above it changes.
    Shell("mv app old && mkdir -p app/bin && echo 2 > app/bin/Other.exe");
    EXPECT_FALSE(FileExists("C:\\APP\\BIN\\TOOL.EXE"));
    EXPECT_EQ(HostName("C:\\APP\\BIN\\OTHER.EXE"), "Other.exe");
    EXPECT_TRUE(FileExists("C:\\OLD\\BIN\\TOOL.EXE"));

    // The folder itself renamed and another made in its place.
    Shell("mv app/bin app/bin2 && mkdir app/BIN && echo 3 > app/BIN/tool.exe");
    EXPECT_EQ(HostName("C:\\APP\\BIN\\TOOL.EXE"), "tool.exe");
    EXPECT_FALSE(FileExists("C:\\APP\\BIN\\OTHER.EXE"));
}

TEST_F(DirectoryCacheTest, ADriveRepointedOrEmptiedByAnotherProcess) {
    fs::create_directories(prefix_ / "disk1");
    fs::create_directories(prefix_ / "media" / "disk2");
    std::ofstream(prefix_ / "disk1" / "one.dat") << "1";
    std::ofstream(prefix_ / "media" / "disk2" / "two.dat") << "2";
    ASSERT_EQ(MapDrive('D', (prefix_ / "disk1").string()), kErrorSuccess);
    EXPECT_TRUE(FileExists("D:\\ONE.DAT"));

    Shell("ln -sfn '" + (prefix_ / "media" / "disk2").string() + "' ../dosdevices/d:");
    EXPECT_FALSE(FileExists("D:\\ONE.DAT"));
    EXPECT_TRUE(FileExists("D:\\TWO.DAT"));

    // The folder behind the drive swapped for another under the same path, by renaming
    // the folder above it (the drive's own folder sees no event).
    Shell("mv ../media ../old && mkdir -p ../media/disk2 && echo 4 > ../media/disk2/four.dat");
    EXPECT_FALSE(FileExists("D:\\TWO.DAT"));
    EXPECT_TRUE(FileExists("D:\\FOUR.DAT"));

    Shell("rm -r ../media/disk2");
    std::uint32_t attrs = 0;
    EXPECT_EQ(GetFileAttributesW("D:\\FOUR.DAT", attrs), kErrorNotReady);
    Shell("rm ../dosdevices/d:");
    EXPECT_EQ(GetFileAttributesW("D:\\FOUR.DAT", attrs), kErrorPathNotFound);
}

TEST_F(DirectoryCacheTest, ManyNewFilesInOneFolderAndChangesBelowALink) {
    fs::create_directories(C("dest"));
    std::ofstream(C("src.bin")) << std::string(1000, 'x');
    for (int i = 0; i < 300; ++i) {
        std::string name = "C:\\DEST\\F" + std::to_string(i) + ".BIN";
        ASSERT_FALSE(FileExists(name));
        ASSERT_EQ(CopyFileW("C:\\SRC.BIN", name, true), kErrorSuccess);
        ASSERT_EQ(HostName(name), "F" + std::to_string(i) + ".BIN");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(C("dest")), fs::directory_iterator()), 300);

    // A folder reached through a link is checked on each lookup.
    fs::create_directories(prefix_ / "elsewhere");
    fs::create_directory_symlink(prefix_ / "elsewhere", C("link"));
    std::ofstream(prefix_ / "elsewhere" / "a.txt") << "a";
    EXPECT_EQ(HostName("C:\\LINK\\A.TXT"), "a.txt");
    Shell("mv ../elsewhere/a.txt ../elsewhere/A.txt && echo b > ../elsewhere/b.txt");
    EXPECT_EQ(HostName("C:\\LINK\\a.txt"), "A.txt");
    EXPECT_TRUE(FileExists("C:\\LINK\\B.TXT"));
}

TEST_F(DirectoryCacheTest, FoldersBeyondTheWatchLimitStayCurrent) {
    // More folders than are watched at once: the least recently used are forgotten
    // and read again when walked.
    for (int i = 0; i < 300; ++i) fs::create_directories(C("many/d" + std::to_string(i)));
    for (int i = 0; i < 300; ++i) {
        ASSERT_FALSE(FileExists("C:\\MANY\\D" + std::to_string(i) + "\\NEW.TXT"));
    }
    Shell("for i in 0 1 150 299; do echo n > many/d$i/new.txt; done");
    for (int i = 0; i < 300; ++i) {
        bool made = i == 0 || i == 1 || i == 150 || i == 299;
        ASSERT_EQ(FileExists("C:\\MANY\\D" + std::to_string(i) + "\\NEW.TXT"), made) << i;
    }
}

TEST_F(DirectoryCacheTest, AForkedChildLeavesTheParentItsEvents) {
    fs::create_directories(C("shared"));
    EXPECT_FALSE(FileExists("C:\\SHARED\\X.DAT"));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Creates a file, then looks up again: a child reading the parent's queue would
        // take the parent's event of that creation away.
        bool ok = WriteFileBytes("C:\\SHARED\\X.DAT", "child") == kErrorSuccess && FileExists("C:\\SHARED\\X.DAT");
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(FileExists("C:\\SHARED\\X.DAT"));
    EXPECT_EQ(HostName("C:\\SHARED\\x.dat"), "X.DAT");
}

// The names a search gives, in order.
std::vector<std::string> Found(const std::string& pattern, FindSelection selection) {
    std::vector<FindEntry> entries;
    // A search that finds nothing (2) leaves the list empty, which is what is compared.
    (void)FindFiles(pattern, selection, entries);
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
}

TEST_F(DirectoryCacheTest, SearchesAndExistenceAnsweredFromTheListingStayCurrent) {
    fs::create_directories(C("stage"));
    // Walked once: from now on the folder's listing answers searches and misses.
    EXPECT_EQ(Found("C:\\STAGE\\*.*", FindSelection::AllEntries), std::vector<std::string>{});
    EXPECT_EQ(Found("C:\\STAGE\\*", FindSelection::Raw), (std::vector<std::string>{".", ".."}));

    Shell("echo a > stage/a.txt && mkdir stage/Sub && echo h > stage/.hid && chmod a-w stage/a.txt");
    std::vector<FindEntry> entries;
    ASSERT_EQ(FindFiles("C:\\STAGE\\*", FindSelection::AllEntries, entries), kErrorSuccess);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, ".hid");
    EXPECT_EQ(entries[0].attributes, kAttrArchive | kAttrHidden);
    EXPECT_EQ(entries[1].name, "Sub");
    EXPECT_EQ(entries[1].attributes, kAttrDirectory);
    EXPECT_EQ(entries[2].name, "a.txt");
    EXPECT_EQ(entries[2].attributes, kAttrArchive | kAttrReadOnly);
    EXPECT_EQ(Found("C:\\STAGE\\*.*", FindSelection::PlainFiles), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(DirectoryExists("C:\\STAGE\\SUB"));
    EXPECT_TRUE(FileExists("C:\\STAGE\\A.TXT"));

    Shell("rm -f stage/a.txt && rmdir stage/Sub && echo b > stage/sub");
    EXPECT_EQ(Found("C:\\STAGE\\*.*", FindSelection::PlainFiles), std::vector<std::string>{"sub"});
    EXPECT_FALSE(DirectoryExists("C:\\STAGE\\SUB"));
    EXPECT_TRUE(FileExists("C:\\STAGE\\SUB"));
    EXPECT_FALSE(PathExists("C:\\STAGE\\A.TXT"));

    // A missing file and a missing folder keep their own errors.
    std::uint32_t attrs = 0;
    EXPECT_EQ(GetFileAttributesW("C:\\STAGE\\A.TXT", attrs), kErrorFileNotFound);
    EXPECT_EQ(GetFileAttributesW("C:\\STAGE\\NONE\\A.TXT", attrs), kErrorPathNotFound);
    EXPECT_EQ(DeleteFileW("C:\\STAGE\\A.TXT"), kErrorFileNotFound);
    EXPECT_EQ(CopyFileW("C:\\STAGE\\A.TXT", "C:\\STAGE\\B.TXT", false), kErrorFileNotFound);
    EXPECT_EQ(WriteFileBytes("C:\\STAGE\\NONE\\A.TXT", "x"), kErrorPathNotFound);
    EXPECT_EQ(FindFiles("C:\\STAGE\\NONE\\*.*", FindSelection::AllEntries, entries), kErrorPathNotFound);

    // A folder known to exist that another process removes is made again.
    EXPECT_EQ(CreateDirectoryTree("C:\\STAGE\\NEW\\DEEP"), kErrorSuccess);
    EXPECT_EQ(CreateDirectoryTree("C:\\STAGE\\NEW\\DEEP"), kErrorSuccess);
    Shell("rm -r stage/NEW");
    EXPECT_EQ(CreateDirectoryTree("C:\\STAGE\\NEW\\DEEP"), kErrorSuccess);
    EXPECT_TRUE(fs::is_directory(C("stage/NEW/DEEP")));
}

TEST_F(DirectoryCacheTest, MoreEventsThanOneReadTakesAreAllApplied) {
    fs::create_directories(C("burst"));
    EXPECT_EQ(Found("C:\\BURST\\*", FindSelection::AllEntries), std::vector<std::string>{});
    // Long names: the queue holds far more than one read of events.
    const std::string stem(200, 'n');
    Shell("cd burst && for i in $(seq 1000 1599); do : > " + stem + "$i; done && rm " + stem + "1000");
    std::vector<FindEntry> entries;
    ASSERT_EQ(FindFiles("C:\\BURST\\*", FindSelection::AllEntries, entries), kErrorSuccess);
    ASSERT_EQ(entries.size(), 599u);
    EXPECT_EQ(entries.front().name, stem + "1001");
    EXPECT_EQ(entries.back().name, stem + "1599");
    EXPECT_FALSE(FileExists("C:\\BURST\\" + stem + "1000"));
}

TEST_F(DirectoryCacheTest, CopyOfAFileWhoseSizeSaysNothing) {
    // procfs reports size 0; the copy must still carry the contents.
    ASSERT_EQ(CopyFileW("Z:\\PROC\\SELF\\STATUS", "C:\\STATUS.TXT", true), kErrorSuccess);
    std::string text;
    ASSERT_EQ(ReadFileBytes("C:\\STATUS.TXT", text), kErrorSuccess);
    EXPECT_EQ(text.rfind("Name:", 0), 0u) << text.substr(0, 40);
}

}  // namespace
}  // namespace platform
