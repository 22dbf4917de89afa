// A fresh prefix for one test: a temporary folder with C: (drive_c) and Z: (/),
// named by MORVAN_PREFIX and removed again at the end.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace platform::test {

// Code page 932 form of UTF-8 test text (the tests are compiled as UTF-8).
inline std::string Sj(std::string_view utf8) {
    std::string out;
    EXPECT_TRUE(Utf8ToCp932(utf8, out)) << utf8;
    return out;
}

// The folder of the running test program: the build's bin/, where the helper
// programs are.
inline std::filesystem::path BinDir() {
    if (const char* dir = std::getenv("MORVAN_BIN_DIR"); dir && *dir) return dir;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

class PrefixTest : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        savedCwd_ = cwd;
        std::string templ = (std::filesystem::temp_directory_path() / "morvan-plat-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        prefix_ = templ;
        std::filesystem::create_directories(prefix_ / "dosdevices");
        std::filesystem::create_directories(prefix_ / "drive_c" / "WINDOWS" / "SYSTEM32");
        std::filesystem::create_directory_symlink("../drive_c", prefix_ / "dosdevices" / "c:");
        std::filesystem::create_directory_symlink("/", prefix_ / "dosdevices" / "z:");
        setenv("MORVAN_PREFIX", prefix_.c_str(), 1);
        ResetPrefixForTesting();
    }

    void TearDown() override {
        ASSERT_EQ(chdir(savedCwd_.c_str()), 0);
        std::error_code ec;
        // Read-only folders made by a test must not stop the clean-up.
        for (auto& e : std::filesystem::recursive_directory_iterator(prefix_ / "drive_c", ec)) {
            if (!e.is_symlink()) std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                                              std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(prefix_, ec);
        unsetenv("MORVAN_PREFIX");
        ResetPrefixForTesting();
    }

    // Host path below drive_c.
    std::filesystem::path C(const std::string& relative) const { return prefix_ / "drive_c" / relative; }

    // Installs a copy of the helper child as SYSTEM32\<name>.
    void InstallChild(const std::string& name) {
        std::filesystem::copy_file(BinDir() / "platform-test-child", C("WINDOWS/SYSTEM32/" + name),
                                   std::filesystem::copy_options::overwrite_existing);
    }

    std::filesystem::path prefix_;
    std::string savedCwd_;
};

}  // namespace platform::test
