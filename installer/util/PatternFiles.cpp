#include "installer/util/PatternFiles.h"

#include <vector>

#include "platform/FileSearch.h"
#include "platform/Files.h"

namespace {

// The plain files (neither hidden, system nor directories) matching dir + pattern;
// an empty list when the search fails.
std::vector<platform::FindEntry> PlainFiles(const std::string& pathWithPattern) {
    std::vector<platform::FindEntry> entries;
    if (platform::FindFiles(pathWithPattern, platform::FindSelection::PlainFiles, entries) != 0) {
        entries.clear();
    }
    return entries;
}

}  // namespace

std::uint32_t FileExistsByPattern(const std::string& pathWithPattern) {
    std::vector<platform::FindEntry> entries;
    const platform::WinError error =
        platform::FindFiles(pathWithPattern, platform::FindSelection::PlainFiles, entries);
    if (error != 0) return error;
    return entries.empty() ? platform::kErrorFileNotFound : 0;
}

int CopyMatchingFiles(const std::string& sourceDir, const std::string& targetDir,
                      const std::string& pattern) {
    for (const platform::FindEntry& entry : PlainFiles(sourceDir + pattern)) {
        // Copies are not checked here: callers look for the files they need afterwards.
        (void)platform::CopyFileW(sourceDir + entry.name, targetDir + entry.name, false);
    }
    return 0;
}

int CopyMatchingFilesFrom(const std::string& fromDir, const std::string& toDir,
                          const std::string& listingDir, const std::string& pattern) {
    for (const platform::FindEntry& entry : PlainFiles(listingDir + pattern)) {
        // Copies are not checked here: callers look for the files they need afterwards.
        (void)platform::CopyFileW(fromDir + entry.name, toDir + entry.name, false);
    }
    return 0;
}

int DeleteMatchingFiles(const std::string& dir, const std::string& pattern) {
    for (const platform::FindEntry& entry : PlainFiles(dir + pattern)) {
        // Deletions are not checked: a file that stays is harmless to the callers.
        (void)platform::DeleteFileW(dir + entry.name);
    }
    return 1;
}
