#include "installer/engine/LineFiles.h"

#include "platform/Cp932.h"
#include "platform/Files.h"

bool ReadLineFile(const std::string& path, std::vector<std::string>& lines) {
    lines.clear();
    std::string contents;
    if (platform::ReadFileBytes(path, contents) != 0) return false;
    lines = platform::SplitLines(contents);
    return true;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string contents;
    for (const std::string& line : lines) {
        contents += line;
        contents += "\r\n";
    }
    return contents;
}

bool WriteLineFile(const std::string& path, const std::vector<std::string>& lines) {
    return platform::WriteFileBytes(path, JoinLines(lines)) == 0;
}

bool RewriteThroughScratch(const InstallEnvironment& env, const std::string& target,
                           const std::vector<std::string>& lines, std::string& failedPath) {
    // The target is replaced only once the new contents are complete on disk, so a
    // failed write never leaves a half-written list behind.
    if (!WriteLineFile(env.WorkScratchFile, lines)) {
        failedPath = env.WorkScratchFile;
        return false;
    }
    // A target that stays read-only fails the copy below, which is the result.
    (void)platform::ClearReadOnly(target);
    const bool copied = platform::CopyFileW(env.WorkScratchFile, target, false) == 0;
    // Work file: once the copy is decided a leftover scratch file is overwritten by
    // the next rewrite, so its deletion does not change the result.
    (void)platform::DeleteFileW(env.WorkScratchFile);
    if (!copied) failedPath = target;
    return copied;
}
