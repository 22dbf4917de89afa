#include "installer/engine/DeleteCommand.h"

#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "installer/util/PatternFiles.h"

CommandResult DeleteCommand(const std::string& line) {
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
    if (!pattern.empty()) {
        // Staged first, so that the backup step of an uninstallable entry can keep
        // the files this command removes.
        CopyMatchingFiles(dir, ExtractDir + "\\", pattern);
        DeleteMatchingFiles(dir, pattern);
    }
    result.code = 1;
    return result;
}
