// Replacing host files whole: failures keep the old file and leave nothing behind,
// readers racing with writers only ever see a complete file, and the mode is applied.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/AtomicWrite.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class AtomicWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "morvan-atomic-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
        fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        target_ = (dir_ / "HIVE.REG").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    // Every name in the folder.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        return names;
    }

    fs::path dir_;
    std::string target_;
};

// The whole file as one read sees it.
std::string ReadAll(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return "<missing>";
    std::string out;
    char buf[65536];
    while (true) {
        ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

TEST_F(AtomicWriteTest, AFailedProduceKeepsTheOldFileAndLeavesNoTemporary) {
    ASSERT_EQ(AtomicWriteFile(target_, "old contents"), kErrorSuccess);
    // Half the new contents written, then the producer fails: its code comes back.
    WinError rc = AtomicWriteFileWith(target_, [](int fd) {
        if (WinError w = WriteAll(fd, "new, but only the first half"); w != kErrorSuccess) return w;
        return kErrorDiskFull;
    });
    EXPECT_EQ(rc, kErrorDiskFull);
    EXPECT_EQ(ReadAll(target_), "old contents");
    EXPECT_EQ(Names(), std::vector<std::string>{"HIVE.REG"});

    // A file that did not exist is not created by a failed write.
    const std::string fresh = (dir_ / "NEW.DAT").string();
    EXPECT_EQ(AtomicWriteFileWith(fresh, [](int) { return kErrorGenFailure; }), kErrorGenFailure);
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(Names(), std::vector<std::string>{"HIVE.REG"});

    // A folder that does not exist: 3, and nothing made.
    EXPECT_EQ(AtomicWriteFile((dir_ / "NODIR" / "X.DAT").string(), "x"), kErrorPathNotFound);
    EXPECT_FALSE(fs::exists(dir_ / "NODIR"));
}

// The half-written copy lives under a hidden name, so a directory search running
// meanwhile never lists it as a file of the folder.
TEST_F(AtomicWriteTest, TheTemporaryFileIsHiddenAndLongNamesStillWork) {
    std::vector<std::string> during;
    ASSERT_EQ(AtomicWriteFileWith(target_, [&](int fd) {
                  during = Names();
                  return WriteAll(fd, "contents");
              }),
              kErrorSuccess);
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(during[0].front(), '.');
    EXPECT_EQ(Names(), std::vector<std::string>{"HIVE.REG"});

    // A name near the host's 255-byte limit: the temporary name must still fit.
    const std::string longName = (dir_ / std::string(250, 'N')).string();
    EXPECT_EQ(AtomicWriteFile(longName, "long"), kErrorSuccess);
    EXPECT_EQ(ReadAll(longName), "long");
    EXPECT_EQ(Names().size(), 2u);
}

TEST_F(AtomicWriteTest, AFolderThatIsNotWritableGivesAccessDeniedAndKeepsTheOldFile) {
    ASSERT_EQ(AtomicWriteFile(target_, "old contents"), kErrorSuccess);
    fs::permissions(dir_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    WinError rc = kErrorSuccess;
    if (::geteuid() != 0) {
        rc = AtomicWriteFile(target_, "new contents");
    } else {
        // Root writes into any folder: the write is tried by a child that is nobody.
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(100);
            _exit(static_cast<int>(AtomicWriteFile(target_, "new contents")));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 100) << "could not become nobody";
        rc = static_cast<WinError>(WEXITSTATUS(status));
    }
    EXPECT_EQ(rc, kErrorAccessDenied);
    EXPECT_EQ(ReadAll(target_), "old contents");
    EXPECT_EQ(Names(), std::vector<std::string>{"HIVE.REG"});
}

// Two writers replace one file over and over, one of them in many small pieces, while a
// reader keeps reading it: every read is one writer's complete contents.
TEST_F(AtomicWriteTest, ReadersNeverSeeAMixOrAShortFileWhileTwoWritersReplaceIt) {
    const std::string initial(1000, 'I');
    const std::string a(100000, 'A');
    const std::string b(37000, 'B');
    ASSERT_EQ(AtomicWriteFile(target_, initial), kErrorSuccess);

    constexpr int kRounds = 100;
    std::atomic<int> writersLeft{2};
    std::atomic<int> failures{0};
    std::thread writerA([&] {
        for (int i = 0; i < kRounds; ++i) {
            WinError rc = AtomicWriteFileWith(target_, [&](int fd) {
                for (std::size_t at = 0; at < a.size(); at += 1000) {
                    if (WinError w = WriteAll(fd, std::string_view(a).substr(at, 1000)); w != 0) return w;
                }
                return kErrorSuccess;
            });
            if (rc != kErrorSuccess) ++failures;
        }
        --writersLeft;
    });
    std::thread writerB([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (AtomicWriteFile(target_, b) != kErrorSuccess) ++failures;
        }
        --writersLeft;
    });
    int reads = 0, bad = 0;
    std::string firstBad;
    while (writersLeft.load() > 0) {
        std::string seen = ReadAll(target_);
        ++reads;
        if (seen != initial && seen != a && seen != b) {
            if (bad++ == 0) firstBad = seen.substr(0, 40) + "... (" + std::to_string(seen.size()) + " bytes)";
        }
    }
    writerA.join();
    writerB.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(bad, 0) << "of " << reads << " reads; first: " << firstBad;
    std::string last = ReadAll(target_);
    EXPECT_TRUE(last == a || last == b);
    EXPECT_EQ(Names(), std::vector<std::string>{"HIVE.REG"});
}

TEST_F(AtomicWriteTest, TheModeIsAppliedUnderTheUmask) {
    const mode_t saved = ::umask(022);
    struct stat st;
    ASSERT_EQ(AtomicWriteFile(target_, "x", 0640), kErrorSuccess);
    ASSERT_EQ(::stat(target_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // A replacement takes the mode asked for, not the old file's.
    ASSERT_EQ(AtomicWriteFile(target_, "y", 0600), kErrorSuccess);
    ASSERT_EQ(::stat(target_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    // The umask takes away what it masks.
    ::umask(077);
    ASSERT_EQ(AtomicWriteFile(target_, "z"), kErrorSuccess);
    ASSERT_EQ(::stat(target_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ::umask(saved);
    EXPECT_EQ(ReadAll(target_), "z");
}

}  // namespace
}  // namespace platform
