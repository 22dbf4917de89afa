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

// One removal of entries: what it does with read-only files, and what failed.
struct TreeRemoval {
    bool clearReadOnly = false;
    platform::WinError firstFileFailure = 0;  // a file or link that could not be deleted
    platform::WinError firstFailure = 0;      // that, or a folder that could not be removed

    void Fail(platform::WinError error, bool ofFile) {
        if (ofFile && firstFileFailure == 0) firstFileFailure = error;
        if (firstFailure == 0) firstFailure = error;
    }
};

void DeleteEntryFile(const std::string& path, const platform::FindEntry& entry,
                     TreeRemoval& removal) {
    platform::WinError error = platform::DeleteFileW(path);
    // A link is deleted whatever its target's flag says, so only a real read-only file
    // gets here; clearing the flag of a link would change the file it leads to.
    if (error == platform::kErrorAccessDenied && removal.clearReadOnly &&
        (entry.attributes & platform::kAttrReadOnly) != 0 && platform::ClearReadOnly(path) == 0) {
        error = platform::DeleteFileW(path);
    }
    if (error != 0) removal.Fail(error, true);
}

// Removes the folder `dir` (no trailing "\") with everything in it; a link to a
// folder goes as a link. Nothing at all at `dir` is not a failure.
void RemoveTreeInto(const std::string& dir, TreeRemoval& removal) {
    std::uint32_t attributes = 0;
    if (platform::GetFileAttributesW(dir, attributes) != 0 || (attributes & platform::kAttrDirectory) == 0) {
        return;
    }
    if (attributes & platform::kAttrReparsePoint) {
        // A link to a folder: the link goes, what it leads to is not ours to remove.
        if (const platform::WinError error = platform::RemoveDirectoryW(dir); error != 0)
            removal.Fail(error, true);
        return;
    }
    for (const platform::FindEntry& entry : AllEntries(dir + "\\*.*")) {
        const std::string path = dir + "\\" + entry.name;
        // A failure anywhere below is kept; a later subtree that goes well does not hide it.
        if (IsDirectory(entry)) {
            RemoveTreeInto(path, removal);
        } else {
            DeleteEntryFile(path, entry, removal);
        }
    }
    // Fails when something inside could not be removed (counted above already for a
    // file) or when entries the search cannot name are left.
    if (const platform::WinError error = platform::RemoveDirectoryW(dir); error != 0)
        removal.Fail(error, false);
}

}  // namespace

int ClearDirectory(const std::string& dir) {
    // Everything goes: a hidden or read-only file left in a staging folder would be
    // taken for part of the next command's files and installed or recorded with them.
    std::vector<platform::FindEntry> entries;
    const platform::WinError error =
        platform::FindFiles(dir + "*", platform::FindSelection::AllEntries, entries);
    if (error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound)
        return 0;  // nothing there
    if (error != 0) return static_cast<int>(error);
    TreeRemoval removal;
    removal.clearReadOnly = true;
    for (const platform::FindEntry& entry : entries) {
        if (IsDirectory(entry)) {
            RemoveTreeInto(dir + entry.name, removal);
        } else {
            DeleteEntryFile(dir + entry.name, entry, removal);
        }
    }
    return static_cast<int>(removal.firstFailure);
}

bool RemoveTree(const std::string& given) {
    // Read-only files stay, as they do for a Windows deletion; the folder that then
    // cannot be removed is not reported.
    TreeRemoval removal;
    RemoveTreeInto(WithoutTrailingBackslash(given), removal);  // "X\" names the folder X
    return removal.firstFileFailure == 0;
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
