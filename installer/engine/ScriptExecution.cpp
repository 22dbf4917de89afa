#include "installer/engine/ScriptExecution.h"

#include <vector>

#include "installer/engine/ArchiveCommand.h"
#include "installer/engine/Backup.h"
#include "installer/engine/CommandResult.h"
#include "installer/engine/Conditions.h"
#include "installer/engine/CopyCommand.h"
#include "installer/engine/DeleteCommand.h"
#include "installer/engine/ForceTermination.h"
#include "installer/engine/JobState.h"
#include "installer/engine/ListFileCommand.h"
#include "installer/engine/RegistryCommand.h"
#include "installer/engine/RunProgramCommand.h"
#include "installer/engine/ScriptLines.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/StringRoutines.h"
#include "installer/env/VersionRecords.h"
#include "installer/util/ChildProcesses.h"
#include "installer/util/PatternFiles.h"
#include "installer/util/TreeOps.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

namespace {

const char* const kLineEnd = "\r\n";

bool UndoScriptActive() { return UndoScriptPath != kNonBackup; }

// True when a line of the text file holds `word` (as a character sequence).
bool FileHasLineWith(const std::string& path, const char* word) {
    std::string contents;
    if (platform::ReadFileBytes(path, contents) != 0) return false;
    for (const std::string& line : platform::SplitLines(contents)) {
        if (platform::FindDbcs(line, word) != std::string::npos) return true;
    }
    return false;
}

// Appends a README line to the uninstall script unless an earlier README section
// has already been copied there (the README line, or its READMEEND line, present).
void CopyReadmeLine(const std::string& line, const char* alreadyCopiedMark) {
    if (!UndoScriptActive() || !platform::FileExists(UndoScriptPath)) return;
    if (FileHasLineWith(UndoScriptPath, alreadyCopiedMark)) return;
    // The uninstall script is written as far as it goes; its lines are not checked.
    (void)platform::AppendFileBytes(UndoScriptPath, line + kLineEnd);
}

// Keeps the medium's control file in the store, with the version installed before
// this revision as a fifth line, so that a later version-down can restore it.
void SaveControlFile() {
    std::string source = InstallDiskPath + ControlFileName;
    std::string target = VersionDownRoot + "\\" + CurrentMedia.RevisionName + ControlFileName;
    std::string dir, name;
    SplitPath(target, dir, name);
    // The saved control file only serves a later version-down: its folder, copy and
    // flags are not checked (a failure shows when a version-down looks for it).
    (void)platform::CreateDirectoryTree(dir);
    if (platform::FileExists(target)) (void)platform::ClearReadOnly(target);
    (void)platform::CopyFileW(source, target, false);
    (void)platform::ClearReadOnly(target);

    std::string contents;
    if (platform::ReadFileBytes(source, contents) != 0) return;
    std::string rewritten;
    for (const std::string& line : platform::SplitLines(contents)) rewritten += line + kLineEnd;
    // No registered version: an empty fifth line, which a version-down writes back
    // as "no version", the state before this install.
    std::string version;
    if (ReadRegisteredVersion(version) != 0) version.clear();
    rewritten += version + kLineEnd;
    // The saved control file only serves a later version-down; its write is not checked.
    (void)platform::WriteFileBytes(target, rewritten);
}

// Removes the kept media directory once its last marker has gone.
void RemoveMediaDirIfDone(const std::string& mediaNo) {
    std::string dir = UninstallMediaDir(mediaNo);
    if (FileExistsByPattern(dir + "\\INST*.DA_") == 0) return;
    // A directory with a blank (an application folder under "Program Files") is
    // quoted: unquoted, the interpreter would remove the tree named by its first word.
    if (dir.find(' ') != std::string::npos) dir = "\"" + dir + "\"";
    RunAndWait("", "COMMAND /C RMDIR /S/Q " + dir);
}

CommandResult Dispatch(const std::string& line) {
    char first = line.empty() ? '\0' : line[0];
    CommandResult result;
    switch (first) {
        case '@':
            ForceTerminateApplications(line);
            result.code = 1;
            break;
        case 'A':
        case 'P':
            result = ListFileCommand(line);
            break;
        case 'C':
            result = CopyCommand(line);
            break;
        case 'D':
            result = DeleteCommand(line);
            break;
        case 'L':
            result = ExtractArchiveCommand(line);
            break;
        case 'R':
            result.code = RegistryCommand(line);
            break;
        case 'X':
            result = RunProgramCommand(line);
            break;
        case 'Z':
            result.code = kCodeUnsupported;
            break;
        default:
            result.code = kCodeBrokenContent;
            break;
    }
    return result;
}

void ClearStaging() {
    ClearDirectory(ExtractDir + "\\");
    ClearDirectory(BackupDir + "\\");
}

void FailCommand(int code, const std::string& line) {
    // A program's negative exit code may have no text of its own; the job must not
    // end without telling the user which line failed.
    if (CodeMessageText(code, line).empty()) code = kCodeBrokenContent;
    ShowCodeMessage(code, line);
    AbortJob();
}

// The executor's reading of one script. Returns true when the header matched and
// every line was read (the job was not aborted on the way).
bool RunScriptLines(const std::string& scriptPath) {
    std::vector<std::string> lines;
    if (!ReadScriptLines(scriptPath, lines)) return false;
    const std::string header = ScriptHeaderLine();
    bool headerFound = false;
    bool undoSectionWritten = false;
    ScanState state = Outside;

    for (const std::string& raw : lines) {
        if (JobAborted()) return false;
        if (IsSkippedLine(raw)) continue;
        std::string line = platform::UpperCase(ExpandScriptLine(raw));
        ScriptLineAsWritten = raw;  // an uninstall run's R line restores values as written

        if (!headerFound) {
            if (line != header) return false;
            headerFound = true;
            // The uninstall script is written as far as it goes; its lines are not checked.
            if (!UninstallMode) (void)platform::WriteFileBytes(UndoScriptPath, line + kLineEnd);
            continue;
        }
        char first = line.empty() ? '\0' : line[0];
        switch (state) {
            case Outside:
                if (KeywordMatches(line, "INST,", 5)) {
                    state = InSection;
                    if (!UninstallMode) {
                        // A script already gone is the state wanted.
                        if (UndoScriptActive()) (void)platform::DeleteFileW(UndoScriptPath);
                        UndoScriptPath = kNonBackup;
                    }
                } else if (first == 'R') {
                    if (UninstallMode) {
                        state = InReadme;
                    } else if (KeywordMatches(line, "README", 6)) {
                        state = InReadme;
                        CopyReadmeLine(line, "README");
                    }
                } else if (first == 'U') {
                    if (UninstallMode) {
                        state = InSection;
                    } else if (KeywordMatches(line, "UNINST,", 7)) {
                        state = InSection;
                        if (UndoScriptActive() && !undoSectionWritten) {
                            // Uninstall script lines are not checked.
                            (void)platform::AppendFileBytes(UndoScriptPath,
                                                            line + kLineEnd + "INSTEND" + kLineEnd);
                            undoSectionWritten = true;
                        }
                    }
                }
                break;
            case InSection:
                if (KeywordMatches(line, "IF ", 3)) {
                    state = static_cast<ScanState>(EvaluateCondition(line));
                } else if (KeywordMatches(line, "INSTEND", 7)) {
                    state = Outside;
                } else if (first != 'I') {
                    ExecuteScriptLine(line);
                }
                break;
            case InTrueIf:
                if (first == 'E') {
                    if (KeywordMatches(line, "END", 3)) state = InSection;
                } else {
                    ExecuteScriptLine(line);
                }
                break;
            case InFalseIf:
                if (KeywordMatches(line, "END", 3)) state = InSection;
                break;
            case InReadme:
                if (KeywordMatches(line, "READMEEND", 9)) state = Outside;
                if (!UninstallMode) CopyReadmeLine(line, "READMEEND");
                break;
        }
    }
    return headerFound && !JobAborted();
}

}  // namespace

void ExecuteScriptLine(const std::string& line) {
    // A safe point between commands: the dialog may hold the job here while it asks
    // whether to stop, and an aborted job runs nothing more.
    if (!PassCommandGate()) return;
    std::string command = line;
    CollapseBlanks(command);

    CommandResult result = Dispatch(command);
    ExecutedCommandCount.fetch_add(1);
    if (result.code < 0) {
        // Nothing of a failed command may reach a later one.
        ClearStaging();
        FailCommand(result.code, command);
        return;
    }
    if (!UninstallMode) BackupBeforeInstall(command, result.destination);
    bool copied = true;
    if (result.code == 0) copied = CopyTree(ExtractDir + "\\", result.destination);
    ClearStaging();
    // A staged file that does not reach its destination is a failed install for
    // every command, C included: the job must not report it as done.
    if (!copied) FailCommand(kCodeBrokenContent, command);
}

int RunScript(int entryIndex, bool freshInstall) {
    if (JobAborted()) return 0;
    if (entryIndex < 1 || entryIndex > ScriptEntryCount || entryIndex > kMaxScriptEntries) return 0;
    const ScriptEntry& entry = ScriptEntries[entryIndex];
    RunScriptNo = entry.ScriptNo;

    std::string scriptPath;
    if (UninstallMode) {
        scriptPath = UninstallScriptPath(entry.MediaNo, entry.ScriptNo);
        RunMediaNo = entry.MediaNo;
        UndoScriptPath = kNonBackup;
    } else {
        scriptPath = InstallScriptPath(entry.ScriptNo);
        UndoScriptPath = UndoScriptPathFor(entry.ScriptNo);
        // A store that cannot be made fails the uninstall script's writes, which are not checked.
        (void)platform::CreateDirectoryTree(CurrentMediaStoreDir());
    }
    if (!platform::FileExists(scriptPath)) return 0;
    if (!RunScriptLines(scriptPath)) return 0;

    if (!UninstallMode) {
        if (entry.Status == kScriptUninstallable && freshInstall) SaveControlFile();
        // The marker is not checked: the entry's result is its script's.
        (void)platform::WriteFileBytes(InstalledMarkerPath(entry.ScriptNo), "");
    } else {
        // Files of an entry uninstalled: one already gone is the state wanted.
        (void)platform::DeleteFileW(scriptPath);
        (void)platform::DeleteFileW(UninstallMarkerPath(entry.MediaNo, entry.ScriptNo));
        RemoveMediaDirIfDone(entry.MediaNo);
    }
    return 0;
}
