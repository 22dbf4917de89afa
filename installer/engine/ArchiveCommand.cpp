#include "installer/engine/ArchiveCommand.h"

#include "installer/engine/CopyCommand.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/util/ChildProcesses.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

CommandResult ExtractArchiveCommand(const std::string& line) {
    CommandResult result;
    std::size_t first = line.find(' ');
    std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos || second == first + 1 || second + 1 >= line.size()) {
        // Without both fields the files would land wherever the current directory is.
        result.code = kCodeBrokenContent;
        return result;
    }
    std::string archive = line.substr(first + 1, second - first - 1);
    std::string directory = line.substr(second + 1);
    if (platform::FindLastCharDbcs(directory, '\\') != directory.size() - 1) directory += "\\";
    platform::CreateDirectoryTree(directory);
    result.destination = directory;

    std::string resolved = ResolveMediumSource(archive);
    std::size_t cut = platform::FindLastPathDelimiter(resolved);
    std::string name = cut == std::string::npos ? resolved : resolved.substr(cut + 1);
    std::string staged = ExtractDir + "\\" + name;

    // The archive is worked on from the staging directory, never from the medium:
    // a copy that fails is an error, but the archiver still runs (and fails on the
    // missing file) so that both problems leave the same trace.
    if (platform::CopyFileW(resolved, staged, false) == 0) {
        platform::ClearReadOnly(staged);
    } else {
        result.code = kCodeBrokenContent;
    }
    platform::SetCurrentDirectoryW(ExtractDir);
    if (RunAndWait(LhaExePath, " x -rxcmn " + staged) != 0) result.code = kCodeBrokenContent;
    platform::DeleteFileW(staged);
    return result;
}
