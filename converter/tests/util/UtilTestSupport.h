// Shared by the utility tests: a fresh prefix (C: is drive_c, Z: the host's root) and
// short ways to make files by Windows path. The tests are compiled as the system's code,
// so their literals are already code page 932.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/tests/TestPrefix.h"

class UtilTest : public platform::test::PrefixTest {
  protected:
    // Writes a file by Windows path, creating its folder.
    static void Make(const std::string& path, const std::string& contents = "x") {
        const std::size_t cut = platform::FindLastPathDelimiter(path);
        ASSERT_EQ(platform::CreateDirectoryTree(path.substr(0, cut)), 0u) << path;
        ASSERT_EQ(platform::WriteFileBytes(path, contents), 0u) << path;
    }
    // A file in PDB form: `size` bytes whose first 16-bit word is `version`.
    static void MakePdb(const std::string& path, std::size_t size, std::uint16_t version) {
        std::string bytes(size, '\0');
        if (size >= 2) {
            bytes[0] = static_cast<char>(version & 0xFF);
            bytes[1] = static_cast<char>(version >> 8);
        }
        Make(path, bytes);
    }
};
