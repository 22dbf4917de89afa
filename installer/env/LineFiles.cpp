#include "installer/env/LineFiles.h"

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

bool RewriteThroughScratch(const std::string& target, const std::vector<std::string>& lines,
                           const std::string& scratchPath, bool sync, std::string& failedPath) {
    const std::string contents = JoinLines(lines);
    bool ok = true;
    if (platform::WriteFileBytes(scratchPath, contents) != 0) {
        failedPath = scratchPath;
        ok = false;
    } else if (platform::ReplaceFileBytes(target, contents, sync) != 0) {
        // The replacement is atomic: the target is the old file or the new one, never
        // a cut one, so a failure here leaves the former list in place.
        failedPath = target;
        ok = false;
    }
    // Work file: the result is decided, and a leftover scratch file is overwritten
    // by the next rewrite (one already gone is the state wanted).
    (void)platform::DeleteFileW(scratchPath);
    return ok;
}
