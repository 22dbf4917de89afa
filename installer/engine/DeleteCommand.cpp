#include "installer/engine/DeleteCommand.h"

#include <vector>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "installer/util/PatternFiles.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"

CommandResult DeleteCommand(const InstallEnvironment& env, const std::string& line) {
    CommandResult result;
    std::size_t blank = line.find(' ');
    std::string target = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    std::string dir, pattern;
    SplitPath(target, dir, pattern);
    result.destination = dir;
    // A folder not given in full is taken against the current directory, which is
    // wherever the program was started or the last archive was extracted: which
    // files it deletes would be a matter of chance. Such a line is broken content.
    if (!IsFullPath(dir)) {
        result.code = kCodeBrokenContent;
        return result;
    }
    // Staged only: the files are deleted after the backup step of an uninstallable
    // entry has saved them, so a program stopped in between has lost nothing.
    if (!pattern.empty() && CopyMatchingFiles(dir, env.ExtractDir + "\\", pattern) != 0) {
        result.code = kCodeBrokenContent;
        return result;
    }
    result.code = 1;
    return result;
}

bool DeleteStagedFiles(const InstallEnvironment& env, const std::string& destination) {
    std::vector<platform::FindEntry> staged;
    const platform::WinError error =
        platform::FindFiles(env.ExtractDir + "\\*", platform::FindSelection::PlainFiles, staged);
    if (error != 0 && error != platform::kErrorFileNotFound && error != platform::kErrorNoMoreFiles) {
        return false;
    }
    for (const platform::FindEntry& entry : staged) {
        const platform::WinError deleted = platform::DeleteFileW(destination + entry.name);
        if (deleted != 0 && deleted != platform::kErrorFileNotFound) return false;
    }
    return true;
}
