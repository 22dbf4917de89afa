#include "installer/engine/LineFiles.h"

#include "installer/env/InstallEnvironment.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

bool ReadLineFile(const std::string& path, std::vector<std::string>& lines) {
    lines.clear();
    std::string contents;
    if (platform::ReadFileBytes(path, contents) != 0) return false;
    lines = platform::SplitLines(contents);
    return true;
}

bool WriteLineFile(const std::string& path, const std::vector<std::string>& lines) {
    std::string contents;
    for (const std::string& line : lines) {
        contents += line;
        contents += "\r\n";
    }
    return platform::WriteFileBytes(path, contents) == 0;
}

bool RewriteThroughScratch(const std::string& target, const std::vector<std::string>& lines) {
    // The target is replaced only once the new contents are complete on disk, so a
    // failed write never leaves a half-written list or script behind.
    if (!WriteLineFile(WorkScratchFile, lines)) return false;
    // A target that stays read-only fails the copy below, which is the result.
    (void)platform::ClearReadOnly(target);
    bool copied = platform::CopyFileW(WorkScratchFile, target, false) == 0;
    // Work file: the copy's result is what counts.
    (void)platform::DeleteFileW(WorkScratchFile);
    return copied;
}
