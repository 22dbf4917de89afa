#include "installer/engine/CopyCommand.h"

#include <vector>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "installer/util/PatternFiles.h"
#include "installer/util/TreeOps.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"

std::string ResolveMediumSource(const InstallEnvironment& env, const InstallRun& run,
                                const RunningEntry& entry, const std::string& source) {
    std::string path = source;
    if (run.UninstallMode) {
        // A kept uninstall script names its saved files by their bare names; they
        // all lie in the script's own media directory.
        VersionDownPath(env.VersionDownRoot, run.UninstallGroupName, entry.RunMediaNo, path);
    } else {
        JoinPath(run.InstallDiskPath, path);
    }
    return path;
}

namespace {

// Stages every plain file of the source pattern under its own name.
int StageMatchingFiles(const InstallEnvironment& env, const std::string& resolved) {
    std::string dir, pattern;
    SplitPath(resolved, dir, pattern);
    std::vector<platform::FindEntry> found;
    if (platform::FindFiles(resolved, platform::FindSelection::PlainFiles, found) != 0) {
        return kCodeBrokenContent;
    }
    if (CopyMatchingFiles(dir, env.ExtractDir + "\\", pattern) != 0) return kCodeBrokenContent;
    for (const auto& entry : found) {
        std::string staged = env.ExtractDir + "\\" + entry.name;
        if (!platform::FileExists(staged)) return kCodeBrokenContent;
        // The staged file exists (checked above); its flag only matters to replacing it later.
        (void)platform::ClearReadOnly(staged);
    }
    return 0;
}

}  // namespace

CommandResult CopyCommand(const InstallEnvironment& env, const InstallRun& run,
                          const RunningEntry& entry, const std::string& line) {
    CommandResult result;
    std::string source, destination;
    if (!SplitCommandFields(line, source, destination)) {
        // Without both fields the file would land wherever the current directory is.
        result.code = kCodeBrokenContent;
        return result;
    }
    std::string resolved = ResolveMediumSource(env, run, entry, source);

    std::string dir, name;
    SplitPath(destination, dir, name);
    result.destination = dir;
    if (!IsFullPath(dir)) {
        result.code = kCodeBrokenContent;
        return result;
    }
    // A folder that cannot be made fails the copy into it, which is reported.
    (void)platform::CreateDirectoryTree(dir);

    std::string sourceDir, sourceName;
    SplitPath(resolved, sourceDir, sourceName);
    if (HasWildcard(sourceName)) {
        result.code = StageMatchingFiles(env, resolved);
        return result;
    }
    if (name.empty()) name = sourceName;

    // CopyTree treats a missing source as an empty tree and succeeds; a C command
    // whose file is not there has failed, so the source is tested first.
    std::string staged = env.ExtractDir + "\\" + name;
    if (!platform::FileExists(resolved) || !CopyTree(resolved, staged)) {
        result.code = kCodeBrokenContent;
        return result;
    }
    // The staged copy exists; its flag only matters to replacing it later.
    (void)platform::ClearReadOnly(staged);
    result.code = 0;
    return result;
}
