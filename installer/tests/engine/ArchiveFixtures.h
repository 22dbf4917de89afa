// Shared by the archive, backup and rollback tests: LZH archives made by the host's
// real archiver, and snapshots of folders and registry keys to compare before and
// after a job.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "EngineMedium.h"
#include "installer/util/TreeOps.h"
#include "platform/FileSearch.h"
#include "platform/Registry.h"

namespace engine_test {

using FileList = std::vector<std::pair<std::string, std::string>>;

// Makes `windowsArchive` with the host archiver from files given by relative Windows
// path (code page 932) and contents. The files are laid out in C:\LZHSRC first.
inline void MakeLzh(const std::string& windowsArchive, const FileList& files) {
    const std::string source = "C:\\LZHSRC";
    RemoveTree(source);
    for (const auto& [path, contents] : files) Write(source + "\\" + path, contents);
    std::string hostSource, hostArchive;
    ASSERT_EQ(platform::ToHostPath(source, hostSource), 0u);
    std::string dir = windowsArchive.substr(0, platform::FindLastPathDelimiter(windowsArchive));
    ASSERT_EQ(platform::CreateDirectoryTree(dir), 0u);
    ASSERT_EQ(platform::ToHostPath(windowsArchive, hostArchive), 0u);
    std::string command = "cd '" + hostSource + "' && LC_ALL=C.UTF-8 lha aqy '" + hostArchive +
                          "' * >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    RemoveTree(source);
}

// Every file (contents) and folder ("<dir>") below a Windows folder, by relative path.
inline void SnapshotInto(const std::string& dir, const std::string& relative,
                         std::map<std::string, std::string>& out) {
    std::vector<platform::FindEntry> entries;
    if (platform::FindFiles(dir + "\\*", platform::FindSelection::AllEntries, entries) != 0) return;
    for (const auto& entry : entries) {
        std::string rel = relative.empty() ? entry.name : relative + "\\" + entry.name;
        if (entry.attributes & platform::kAttrDirectory) {
            out[Utf8(rel)] = "<dir>";
            SnapshotInto(dir + "\\" + entry.name, rel, out);
        } else {
            out[Utf8(rel)] = Read(dir + "\\" + entry.name);
        }
    }
}

inline std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> out;
    SnapshotInto(dir, "", out);
    return out;
}

// The values of a key: name -> type and data ("<no key>" when it does not exist).
inline std::map<std::string, std::string> RegistryValues(platform::RegRoot root,
                                                         const std::string& key) {
    std::map<std::string, std::string> out;
    platform::RegKey handle;
    if (platform::RegOpenKey(root, key, platform::RegAccess::Read, handle) != 0) {
        out[""] = "<no key>";
        return out;
    }
    std::vector<platform::RegValueInfo> values;
    EXPECT_EQ(platform::RegEnumValues(handle, values), 0u);
    for (const auto& value : values) {
        out[Utf8(value.name)] = std::to_string(static_cast<int>(value.type)) + ":" + Utf8(value.data);
    }
    return out;
}

inline void SetValue(platform::RegRoot root, const std::string& key, const std::string& name,
                     const std::string& data) {
    platform::RegKey handle;
    ASSERT_EQ(platform::RegCreateKey(root, key, handle), 0u);
    ASSERT_EQ(platform::RegSetString(handle, name, data), 0u);
}

inline std::string GetValue(platform::RegRoot root, const std::string& key, const std::string& name) {
    platform::RegKey handle;
    std::string data;
    if (platform::RegOpenKey(root, key, platform::RegAccess::Read, handle) != 0) return "<no key>";
    if (platform::RegQueryString(handle, name, data) != 0) return "<none>";
    return data;
}

}  // namespace engine_test
