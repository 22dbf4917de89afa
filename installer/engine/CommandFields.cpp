#include "installer/engine/CommandFields.h"

#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"

bool SplitSourceAndFolder(const std::string& line, std::string& source, std::string& folder,
                          CommandResult& result) {
    if (!SplitCommandFields(line, source, folder)) {
        // Without both fields the command would work wherever the current directory is.
        result.code = kCodeBrokenContent;
        return false;
    }
    EnsureTrailingBackslash(folder);
    result.destination = folder;
    if (!IsFullPath(folder)) {
        result.code = kCodeBrokenContent;
        return false;
    }
    return true;
}
