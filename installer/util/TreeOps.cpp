#include "installer/util/TreeOps.h"

#include "installer/env/StringRoutines.h"

#include "platform/Cp932.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"

namespace {

std::string WithoutTrailingBackslash(const std::string& path) {
    return EndsWithBackslash(path) ? path.substr(0, path.size() - 1) : path;
}

// Every entry of a directory, hidden ones included, without "." and "..", sorted by
// name. Empty when the directory is empty or cannot be searched.
std::vector<platform::FindEntry> AllEntries(const std::string& pattern) {
    std::vector<platform::FindEntry> entries;
    if (platform::FindFiles(pattern, platform::FindSelection::AllEntries, entries) != 0) {
        entries.clear();
    }
    return entries;
}

bool IsDirectory(const platform::FindEntry& entry) {
    return (entry.attributes & platform::kAttrDirectory) != 0;
}

// Removes the first "*.*" of a destination: "C:\DEST\*.*" names the folder C:\DEST\.
bool StripAllFilesPattern(std::string& destination) {
    const std::size_t at = platform::FindDbcs(destination, "*.*");
    if (at == std::string::npos) return false;
    destination.erase(at, 3);
    return true;
}

void ListInto(const std::string& dir, std::vector<std::string>& lines) {
    for (const platform::FindEntry& entry : AllEntries(dir + "\\*.*")) {
        if (IsDirectory(entry)) {
            ListInto(dir + "\\" + entry.name, lines);
        } else {
            lines.push_back(dir + "\\" + entry.name);
        }
    }
}

}  // namespace

int ClearDirectory(const std::string& dir) {
    // One listing serves both steps: the plain files are deleted, then every other
    // entry that is neither hidden nor system goes with its whole subtree. Hidden and
    // system entries of this level stay, and so do files that could not be deleted.
    for (const platform::FindEntry& entry : AllEntries(dir + "*")) {
        if ((entry.attributes & (platform::kAttrHidden | platform::kAttrSystem)) != 0) continue;
        if (IsDirectory(entry)) {
            RemoveTree(dir + entry.name);
        } else {
            // Clearing is best effort: a file that stays is harmless to the callers.
            (void)platform::DeleteFileW(dir + entry.name);
        }
    }
    return 0;
}

bool RemoveTree(const std::string& given) {
    bool result = true;
    const std::string dir = WithoutTrailingBackslash(given);  // "X\" names the folder X
    std::uint32_t attributes = 0;
    if (platform::GetFileAttributesW(dir, attributes) != 0 || (attributes & platform::kAttrDirectory) == 0) {
        return result;
    }
    if (attributes & platform::kAttrReparsePoint) {
        // A link to a folder: the link goes, what it leads to is not ours to remove.
        return platform::RemoveDirectoryW(dir) == 0;
    }
    for (const platform::FindEntry& entry : AllEntries(dir + "\\*.*")) {
        const std::string path = dir + "\\" + entry.name;
        if (IsDirectory(entry)) {
            // A failure anywhere below makes the whole removal fail; a later subtree
            // that goes well does not hide it.
            if (!RemoveTree(path)) result = false;
        } else if (platform::DeleteFileW(path) != 0) {
            result = false;
        }
    }
    // Fails when something inside could not be removed; that has been counted above.
    (void)platform::RemoveDirectoryW(dir);
    return result;
}

bool CopyTree(const std::string& source, const std::string& destination) {
    std::uint32_t attributes = 0;
    const bool exists = platform::GetFileAttributesW(source, attributes) == 0;
    std::string target = destination;

    if (exists && (attributes & platform::kAttrDirectory) == 0) {
        // A single file: into the destination folder under its own name when the
        // destination is an existing folder or ends in "*.*", else to the name given.
        const bool intoFolder = StripAllFilesPattern(target) || platform::DirectoryExists(target);
        if (intoFolder) {
            if (!target.empty() && !EndsWithBackslash(target) && target.back() != ':') {
                target += '\\';
            }
            const std::size_t cut = platform::FindLastPathDelimiter(source);
            target += cut == std::string::npos ? source : source.substr(cut + 1);
        }
        return platform::CopyFileW(source, target, false) == 0;
    }

    // A folder (given with its trailing "\"), or nothing at all: copy what the folder
    // holds, hidden entries included. A missing or empty folder copies nothing and
    // counts as success.
    StripAllFilesPattern(target);
    bool result = true;
    for (const platform::FindEntry& entry : AllEntries(source + "*.*")) {
        if (IsDirectory(entry)) {
            // A folder that cannot be made fails the copies into it, which are counted.
            (void)platform::CreateDirectoryTree(target + entry.name);
            if (!CopyTree(source + entry.name + "\\", target + entry.name + "\\")) result = false;
        } else if (platform::CopyFileW(source + entry.name, target + entry.name, false) != 0) {
            result = false;
        }
    }
    return result;
}

bool ListTree(const std::string& dir, std::vector<std::string>& lines) {
    if (!platform::DirectoryExists(dir)) return false;
    ListInto(WithoutTrailingBackslash(dir), lines);
    return true;
}
