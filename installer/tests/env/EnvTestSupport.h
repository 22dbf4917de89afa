// Shared by the environment tests: a fresh prefix, a scripted message answerer and
// the installer's globals reset, plus short ways to set registry values and files.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/InstallRun.h"
#include "installer/env/JobRecord.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/VersionRecords.h"
#include "installer/testsupport/ScriptedMessages.h"
#include "installer/testsupport/TempPrefix.h"
#include "platform/Files.h"
#include "platform/Registry.h"

class EnvTest : public ::testing::Test {
protected:
    static void SetUserSetting(const std::string& section, const std::string& name,
                               const std::string& value) {
        platform::RegKey key;
        ASSERT_EQ(platform::RegCreateKey(platform::RegRoot::CurrentUser,
                                         "SOFTWARE\\KEL\\" + section, key), 0u);
        ASSERT_EQ(platform::RegSetString(key, name, value), 0u);
    }
    static void DeleteUserSetting(const std::string& section, const std::string& name) {
        platform::RegKey key;
        ASSERT_EQ(platform::RegOpenKey(platform::RegRoot::CurrentUser, "SOFTWARE\\KEL\\" + section,
                                       platform::RegAccess::ReadWrite, key), 0u);
        ASSERT_EQ(platform::RegDeleteValue(key, name), 0u);
    }
    static void SetInstalledVersion(const std::string& version) {
        platform::RegKey key;
        ASSERT_EQ(platform::RegCreateKey(platform::RegRoot::LocalMachine,
                                         "SOFTWARE\\Morvan\\COMMON", key), 0u);
        ASSERT_EQ(platform::RegSetString(key, "VERSION", version), 0u);
    }
    static std::string RegisteredVersion() {
        platform::RegKey key;
        std::string value;
        if (platform::RegOpenKey(platform::RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON",
                                 platform::RegAccess::Read, key) != 0 ||
            platform::RegQueryString(key, "VERSION", value) != 0) {
            return "(none)";
        }
        return value;
    }
    // Writes a file by Windows path, creating its folder.
    static void WriteFile(const std::string& path, const std::string& contents) {
        const std::size_t cut = path.rfind('\\');  // test paths are plain ASCII
        ASSERT_EQ(platform::CreateDirectoryTree(path.substr(0, cut)), 0u) << path;
        ASSERT_EQ(platform::WriteFileBytes(path, contents), 0u) << path;
    }
    static std::string ReadFile(const std::string& path) {
        std::string contents;
        if (platform::ReadFileBytes(path, contents) != 0) return "(missing)";
        return contents;
    }

    // The env layer's part of the installer's state, fresh for every test.
    struct EnvState {
        InstallEnvironment env;
        InstallRun run;
        ScriptTable table;
        RunningJobRecord record;
    };

    TempPrefix prefix;
    ScriptedMessages messages;
    EnvState state;
};
