#include "installer/engine/ListFileCommand.h"

#include <set>
#include <vector>

#include "installer/engine/CopyCommand.h"
#include "installer/engine/JobState.h"
#include "installer/engine/LineFiles.h"
#include "installer/engine/PackageList.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "installer/util/PatternFiles.h"
#include "platform/Cp932.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"

namespace {

const char kPackageFile[] = "package.5";

// The installed package list is addressed in scripts under the install directory,
// but handled in plain text under the work root: the four line forms that name it
// are rewritten, and the name they use is remembered for later commands.
void RewritePackageLine(std::string& line) {
    const std::string installDir = platform::UpperCaseAscii(InstallDir);
    const std::string workRoot = platform::UpperCaseAscii(WorkRoot);
    const std::string names[] = {"PACKAGE.INF", "PACKAGE." + RunScriptNo};
    for (const char* letter : {"A ", "P "}) {
        for (const std::string& name : names) {
            if (line == letter + name + " " + installDir) {
                line = letter + name + " " + workRoot;
                CurrentPackageName = name;
                return;
            }
        }
    }
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

std::set<std::string> LineSet(const std::vector<std::string>& lines) {
    return std::set<std::string>(lines.begin(), lines.end());
}

}  // namespace

void MergeListFile(const std::string& sourceDir, const std::string& name) {
    const std::string source = sourceDir + name;
    const std::string target = ExtractDir + "\\" + name;
    std::vector<std::string> targetLines;
    if (!platform::FileExists(target) || !ReadLineFile(target, targetLines)) {
        // A list the machine does not have is not created by adding to it.
        return;
    }
    std::vector<std::string> sourceLines;
    if (platform::FileExists(source)) ReadLineFile(source, sourceLines);
    // Lines are compared whole and exactly; a line the target already holds (once or
    // more) is left as it is, and a new line given twice is added once.
    std::set<std::string> present = LineSet(targetLines);
    for (const std::string& line : sourceLines) {
        if (present.insert(line).second) targetLines.push_back(line);
    }
    RewriteThroughScratch(target, targetLines);
}

void PurgeListFile(const std::string& sourceDir, const std::string& name) {
    const std::string source = sourceDir + name;
    const std::string target = ExtractDir + "\\" + name;
    std::vector<std::string> kept;
    std::vector<std::string> sourceLines;
    std::vector<std::string> targetLines;
    // Without its source list nothing is known to be kept: the target becomes empty.
    if (platform::FileExists(target) && platform::FileExists(source) &&
        ReadLineFile(source, sourceLines) && ReadLineFile(target, targetLines)) {
        std::set<std::string> removed = LineSet(sourceLines);
        for (const std::string& line : targetLines) {
            if (removed.count(line) == 0) kept.push_back(line);
        }
    }
    // The rewrite below makes the target afresh and reports its own failure.
    (void)platform::DeleteFileW(target);
    RewriteThroughScratch(target, kept);
}

CommandResult ListFileCommand(const std::string& line) {
    CommandResult result;
    std::string work = line;
    if (EndsWithBackslash(work)) work.pop_back();
    RewritePackageLine(work);

    std::string listFile, directory;
    if (!SplitCommandFields(work, listFile, directory)) {
        // Without a list file and a directory there is nothing sound to change.
        result.code = kCodeBrokenContent;
        return result;
    }
    EnsureTrailingBackslash(directory);
    result.destination = directory;

    std::string sourceDir, name;
    SplitPath(ResolveMediumSource(listFile), sourceDir, name);
    const bool isPackage = !CurrentPackageName.empty() && name == CurrentPackageName;
    const std::string plainPackage = WorkRoot + "\\" + CurrentPackageName;
    if (isPackage) DecodePackageList(InstallDir + "\\" + kPackageFile, plainPackage);

    if (!UninstallMode) {
        CopyMatchingFiles(sourceDir, BackupDir + "\\", name);
        // The flag of the saved copy only matters to replacing it later.
        (void)platform::ClearReadOnly(BackupDir + "\\" + name);
    }
    if (FileExistsByPattern(sourceDir + name) != 0) {
        // Tidying the decoded list on the way out: the result is decided already.
        if (isPackage) (void)platform::DeleteFileW(plainPackage);
        result.code = kCodeBrokenContent;
        return result;
    }

    CopyMatchingFilesFrom(directory, ExtractDir + "\\", sourceDir, name);
    const bool add = work[0] == 'A';
    if (HasWildcard(name)) {
        std::vector<platform::FindEntry> staged;
        // Nothing staged leaves the list empty: nothing to merge.
        (void)platform::FindFiles(ExtractDir + "\\" + name, platform::FindSelection::PlainFiles,
                                  staged);
        for (const auto& entry : staged) {
            add ? MergeListFile(sourceDir, entry.name) : PurgeListFile(sourceDir, entry.name);
        }
    } else {
        add ? MergeListFile(sourceDir, name) : PurgeListFile(sourceDir, name);
    }

    if (isPackage) {
        // Only the scrambled list may reach the installation.
        const std::string stagedPlain = ExtractDir + "\\" + CurrentPackageName;
        EncodePackageList(stagedPlain, ExtractDir + "\\" + kPackageFile);
        // Tidying the decoded lists: only the scrambled one may stay, and a leftover is harmless.
        (void)platform::DeleteFileW(plainPackage);
        (void)platform::ClearReadOnly(stagedPlain);
        (void)platform::DeleteFileW(stagedPlain);
        result.destination = InstallDir + "\\";
    }
    result.code = 0;
    return result;
}
