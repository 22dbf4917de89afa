// Shared by the utility tests: a fresh prefix and short ways to make files by
// Windows path.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "installer/testsupport/TempPrefix.h"
#include "platform/Files.h"

class UtilTest : public ::testing::Test {
protected:
    // Writes a file by Windows path (plain ASCII in tests), creating its folder.
    static void Make(const std::string& path, const std::string& contents = "x") {
        const std::size_t cut = path.rfind('\\');
        ASSERT_EQ(platform::CreateDirectoryTree(path.substr(0, cut)), 0u) << path;
        ASSERT_EQ(platform::WriteFileBytes(path, contents), 0u) << path;
    }
    static void MakeDir(const std::string& path) {
        ASSERT_EQ(platform::CreateDirectoryTree(path), 0u) << path;
    }
    static std::string Read(const std::string& path) {
        std::string contents;
        if (platform::ReadFileBytes(path, contents) != 0) return "(missing)";
        return contents;
    }
    static bool Exists(const std::string& path) { return platform::PathExists(path); }

    TempPrefix prefix;
};
