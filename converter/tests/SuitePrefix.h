// One fresh prefix for a whole test suite (drive C: and the Windows folder), named by
// MORVAN_PREFIX. Suites that load Fennoc.DLL need it: the library keeps its own copy
// of the platform layer, which reads MORVAN_PREFIX once per process, so every test of
// such a suite must share the prefix the first call saw.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/Prefix.h"

namespace converter_test {

// Makes the prefix in a new temporary folder "<tag>-XXXXXX" and points MORVAN_PREFIX at it.
inline void MakeSuitePrefix(const char* tag, std::filesystem::path& prefix) {
    namespace fs = std::filesystem;
    std::string templ = (fs::temp_directory_path() / (std::string(tag) + "-XXXXXX")).string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    prefix = templ;
    fs::create_directories(prefix / "dosdevices");
    fs::create_directories(prefix / "drive_c" / "WINDOWS" / "SYSTEM32");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    setenv("MORVAN_PREFIX", prefix.c_str(), 1);
    platform::ResetPrefixForTesting();
}

// Removes the prefix and forgets it.
inline void RemoveSuitePrefix(const std::filesystem::path& prefix) {
    std::error_code ignored;
    std::filesystem::remove_all(prefix, ignored);
    unsetenv("MORVAN_PREFIX");
    platform::ResetPrefixForTesting();
}

}  // namespace converter_test
