#include "installer/engine/ArchiveCommand.h"

#include "installer/engine/CommandFields.h"
#include "installer/engine/CopyCommand.h"
#include "installer/env/StringRoutines.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/util/ChildProcesses.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

CommandResult ExtractArchiveCommand(const InstallEnvironment& env, const InstallRun& run,
                                    const RunningEntry& entry, const std::string& line) {
    CommandResult result;
    std::string archive, directory;
    if (!SplitSourceAndFolder(line, archive, directory, result)) return result;
    // A folder that cannot be made fails the copy of the staged tree into it, which
    // is reported.
    (void)platform::CreateDirectoryTree(directory);

    std::string resolved = ResolveMediumSource(env, run, entry, archive);
    std::size_t cut = platform::FindLastPathDelimiter(resolved);
    std::string name = cut == std::string::npos ? resolved : resolved.substr(cut + 1);
    std::string staged = env.ExtractDir + "\\" + name;

    // The archive is worked on from the staging directory, never from the medium:
    // a copy that fails is an error, but the archiver still runs (and fails on the
    // missing file) so that both problems leave the same trace.
    if (platform::CopyFileW(resolved, staged, false) == 0) {
        // The staged copy is ours; its flag only matters to the deletion below.
        (void)platform::ClearReadOnly(staged);
    } else {
        result.code = kCodeBrokenContent;
    }
    // The archiver extracts into the current directory: started anywhere else it
    // would write outside the staging directory, so it is not started at all.
    if (platform::SetCurrentDirectoryW(env.ExtractDir) != 0 ||
        RunAndWait(env.LhaExePath, " x -rxcmn " + staged) != 0) {
        result.code = kCodeBrokenContent;
    }
    // Tidying the staged archive: the result is decided already.
    (void)platform::DeleteFileW(staged);
    return result;
}
