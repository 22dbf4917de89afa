#include "installer/engine/ListFileCommand.h"

#include <set>
#include <vector>

#include "installer/engine/CommandFields.h"
#include "installer/engine/CopyCommand.h"
#include "installer/engine/PackageList.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/LineFiles.h"
#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "installer/util/PatternFiles.h"
#include "platform/Cp932.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"

namespace {

// The installed package list is addressed in scripts under the install directory,
// but handled in plain text under the work root: the four line forms that name it
// are rewritten, and the name they use is remembered for later commands.
void RewritePackageLine(const InstallEnvironment& env, RunningEntry& entry, std::string& line) {
    const std::string installDir = platform::UpperCaseAscii(env.InstallDir);
    const std::string workRoot = platform::UpperCaseAscii(env.WorkRoot);
    const std::string names[] = {"PACKAGE.INF", "PACKAGE." + entry.RunScriptNo};
    for (const char* letter : {"A ", "P "}) {
        for (const std::string& name : names) {
            if (line == letter + name + " " + installDir) {
                line = letter + name + " " + workRoot;
                entry.CurrentPackageName = name;
                return;
            }
        }
    }
}

std::set<std::string> LineSet(const std::vector<std::string>& lines) {
    return std::set<std::string>(lines.begin(), lines.end());
}

// Stages the machine's copy of every list file the source names: for each plain file
// matching sourceDir + name, directory + that name is copied into ExtractDir when the
// machine has it (a list the machine lacks is not an error: A leaves it missing, P
// makes it empty). False with the path that could not be staged.
bool StageTargets(const InstallEnvironment& env, const std::string& directory,
                  const std::string& sourceDir, const std::string& name, std::string& failedPath) {
    std::vector<platform::FindEntry> sources;
    if (platform::FindFiles(sourceDir + name, platform::FindSelection::PlainFiles, sources) != 0) {
        failedPath = sourceDir + name;
        return false;
    }
    for (const auto& entry : sources) {
        const std::string target = directory + entry.name;
        if (!platform::FileExists(target)) continue;
        const std::string staged = env.ExtractDir + "\\" + entry.name;
        if (platform::CopyFileW(target, staged, false) != 0) {
            failedPath = target;
            return false;
        }
        // The staged copy is ours to rewrite: the machine's read-only flag must not
        // refuse the line changes (the copy back to a read-only list is what fails).
        (void)platform::ClearReadOnly(staged);
    }
    return true;
}

CommandResult Failed(const std::string& detail) {
    CommandResult result;
    result.code = kCodeBrokenContent;
    result.detail = detail;
    return result;
}

bool ChangeList(const InstallEnvironment& env, bool add, const std::string& sourceDir,
                const std::string& name, std::string& failedPath) {
    return add ? MergeListFile(env, sourceDir, name, failedPath)
               : PurgeListFile(env, sourceDir, name, failedPath);
}

// The list-file steps between the package decoding and encoding: the medium's list
// into BackupDir (install mode), the machine's lists into ExtractDir, and the line
// operations on them. Code 0, or -13 with the detail.
CommandResult StageListFile(const InstallEnvironment& env, const InstallRun& run, bool add,
                            const std::string& directory, const std::string& sourceDir,
                            const std::string& name) {
    if (!run.UninstallMode) {
        if (CopyMatchingFiles(sourceDir, env.BackupDir + "\\", name) != 0)
            return Failed(env.BackupDir);
        // The flag of the kept copy only matters to replacing it later, and the copy
        // is replaced by the next command's (BackupDir is emptied after each command).
        (void)platform::ClearReadOnly(env.BackupDir + "\\" + name);
    }
    CommandResult result;
    if (FileExistsByPattern(sourceDir + name) != 0) {
        result.code = kCodeBrokenContent;
        return result;
    }
    std::string failedPath;
    if (!StageTargets(env, directory, sourceDir, name, failedPath)) return Failed(failedPath);
    if (!HasWildcard(name)) {
        if (!ChangeList(env, add, sourceDir, name, failedPath)) return Failed(failedPath);
        return result;
    }
    std::vector<platform::FindEntry> staged;
    const platform::WinError error = platform::FindFiles(
        env.ExtractDir + "\\" + name, platform::FindSelection::PlainFiles, staged);
    // Nothing staged: no list of the machine to change.
    if (error != 0 && error != platform::kErrorFileNotFound && error != platform::kErrorNoMoreFiles) {
        return Failed(env.ExtractDir);
    }
    for (const auto& entry : staged) {
        if (!ChangeList(env, add, sourceDir, entry.name, failedPath)) return Failed(failedPath);
    }
    return result;
}

}  // namespace

bool IsPackageListName(const RunningEntry& entry, const std::string& name) {
    return !entry.CurrentPackageName.empty() && name == entry.CurrentPackageName;
}

bool MergeListFile(const InstallEnvironment& env, const std::string& sourceDir,
                   const std::string& name, std::string& failedPath) {
    const std::string source = sourceDir + name;
    const std::string target = env.ExtractDir + "\\" + name;
    std::vector<std::string> targetLines;
    // A list the machine does not have is not created by adding to it.
    if (!platform::FileExists(target)) return true;
    if (!ReadLineFile(target, targetLines)) {
        failedPath = target;
        return false;
    }
    std::vector<std::string> sourceLines;
    if (platform::FileExists(source) && !ReadLineFile(source, sourceLines)) {
        failedPath = source;
        return false;
    }
    // Lines are compared whole and exactly; a line the target already holds (once or
    // more) is left as it is, and a new line given twice is added once.
    std::set<std::string> present = LineSet(targetLines);
    for (const std::string& line : sourceLines) {
        if (present.insert(line).second) targetLines.push_back(line);
    }
    return RewriteThroughScratch(target, targetLines, env.WorkScratchFile, false, failedPath);
}

bool PurgeListFile(const InstallEnvironment& env, const std::string& sourceDir,
                   const std::string& name, std::string& failedPath) {
    const std::string source = sourceDir + name;
    const std::string target = env.ExtractDir + "\\" + name;
    std::vector<std::string> kept;
    // Without its source list nothing is known to be kept: the target becomes empty.
    if (platform::FileExists(target) && platform::FileExists(source)) {
        std::vector<std::string> sourceLines;
        std::vector<std::string> targetLines;
        if (!ReadLineFile(source, sourceLines)) {
            failedPath = source;
            return false;
        }
        if (!ReadLineFile(target, targetLines)) {
            failedPath = target;
            return false;
        }
        std::set<std::string> removed = LineSet(sourceLines);
        for (const std::string& line : targetLines) {
            if (removed.count(line) == 0) kept.push_back(line);
        }
    }
    // The rewrite replaces the staged target whole (or creates it), and reports its
    // own failure.
    return RewriteThroughScratch(target, kept, env.WorkScratchFile, false, failedPath);
}

CommandResult ListFileCommand(const InstallEnvironment& env, const InstallRun& run,
                              RunningEntry& entry, const std::string& line) {
    CommandResult result;
    std::string work = line;
    if (EndsWithBackslash(work)) work.pop_back();
    RewritePackageLine(env, entry, work);

    std::string listFile, directory;
    if (!SplitSourceAndFolder(work, listFile, directory, result)) return result;

    std::string sourceDir, name;
    SplitPath(ResolveMediumSource(env, run, entry, listFile), sourceDir, name);
    const bool isPackage = IsPackageListName(entry, name);
    const std::string plainPackage = env.WorkRoot + "\\" + entry.CurrentPackageName;
    std::string failedPath;
    if (isPackage &&
        !DecodePackageList(env.InstallDir + "\\" + kPackageListFile, plainPackage, failedPath)) {
        return Failed(failedPath);
    }
    CommandResult staged = StageListFile(env, run, work[0] == 'A', directory, sourceDir, name);
    if (isPackage) {
        // The decoded list is a work file: once staged it serves nothing, and a
        // leftover is decoded afresh by the next package line.
        (void)platform::DeleteFileW(plainPackage);
    }
    if (staged.code != 0) return staged;

    if (isPackage) {
        // Only the scrambled list may reach the installation.
        const std::string stagedPlain = env.ExtractDir + "\\" + entry.CurrentPackageName;
        if (!EncodePackageList(stagedPlain, env.ExtractDir + "\\" + kPackageListFile, failedPath)) {
            return Failed(failedPath);
        }
        // The staged plain list must not reach the installation. Its flag is cleared
        // for the deletion, whose result (the list gone or not) decides.
        (void)platform::ClearReadOnly(stagedPlain);
        if (platform::DeleteFileW(stagedPlain) != 0 && platform::PathExists(stagedPlain)) {
            return Failed(stagedPlain);
        }
        result.destination = env.InstallDir + "\\";
    }
    result.code = 0;
    return result;
}
