#include "installer/util/PatternFiles.h"

#include <vector>

#include "platform/FileSearch.h"
#include "platform/Files.h"

namespace {

// The plain files (neither hidden, system nor directories) matching dir + pattern.
// 0 with the list, also when nothing matches or the folder does not exist (there is
// nothing to act on); else the search's Windows code (a drive not ready, a bad name)
// with an empty list.
platform::WinError PlainFiles(const std::string& pathWithPattern,
                              std::vector<platform::FindEntry>& entries) {
    entries.clear();
    const platform::WinError error =
        platform::FindFiles(pathWithPattern, platform::FindSelection::PlainFiles, entries);
    if (error == 0) return 0;
    entries.clear();
    const bool nothingThere = error == platform::kErrorFileNotFound ||
                              error == platform::kErrorPathNotFound ||
                              error == platform::kErrorNoMoreFiles;
    return nothingThere ? 0 : error;
}

// Copies fromDir + name to toDir + name for every listed file; the first failure ends
// the copying, since the caller must not go on with a partial set.
int CopyListed(const std::vector<platform::FindEntry>& listed, const std::string& fromDir,
               const std::string& toDir) {
    for (const platform::FindEntry& entry : listed) {
        const platform::WinError error =
            platform::CopyFileW(fromDir + entry.name, toDir + entry.name, false);
        if (error != 0) return static_cast<int>(error);
    }
    return 0;
}

}  // namespace

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

std::uint32_t FileExistsByPattern(const std::string& pathWithPattern) {
    std::vector<platform::FindEntry> entries;
    const platform::WinError error =
        platform::FindFiles(pathWithPattern, platform::FindSelection::PlainFiles, entries);
    if (error != 0) return error;
    return entries.empty() ? platform::kErrorFileNotFound : 0;
}

int CopyMatchingFiles(const std::string& sourceDir, const std::string& targetDir,
                      const std::string& pattern) {
    std::vector<platform::FindEntry> entries;
    if (const platform::WinError error = PlainFiles(sourceDir + pattern, entries); error != 0) {
        return static_cast<int>(error);
    }
    return CopyListed(entries, sourceDir, targetDir);
}

int CopyMatchingFilesFrom(const std::string& fromDir, const std::string& toDir,
                          const std::string& listingDir, const std::string& pattern) {
    std::vector<platform::FindEntry> entries;
    if (const platform::WinError error = PlainFiles(listingDir + pattern, entries); error != 0) {
        return static_cast<int>(error);
    }
    return CopyListed(entries, fromDir, toDir);
}

int DeleteMatchingFiles(const std::string& dir, const std::string& pattern) {
    std::vector<platform::FindEntry> entries;
    if (const platform::WinError error = PlainFiles(dir + pattern, entries); error != 0) {
        return -static_cast<int>(error);
    }
    int result = 1;
    for (const platform::FindEntry& entry : entries) {
        // Every file is tried: one that stays must not keep the others.
        const platform::WinError error = platform::DeleteFileW(dir + entry.name);
        if (error != 0 && result == 1) result = -static_cast<int>(error);
    }
    return result;
}
