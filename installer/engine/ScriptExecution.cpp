#include "installer/engine/ScriptExecution.h"

#include <vector>

#include "installer/engine/ArchiveCommand.h"
#include "installer/engine/Backup.h"
#include "installer/engine/UndoScript.h"
#include "installer/engine/CommandResult.h"
#include "installer/engine/CopyCommand.h"
#include "installer/engine/DeleteCommand.h"
#include "installer/engine/ForceTermination.h"
#include "installer/engine/JobState.h"
#include "installer/engine/ListFileCommand.h"
#include "installer/engine/RegistryCommand.h"
#include "installer/engine/RunProgramCommand.h"
#include "installer/engine/ScriptGrammar.h"
#include "installer/engine/ScriptLines.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/JobRecord.h"
#include "installer/env/LineFiles.h"
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

// Shows the message of `code` with `detail` (a line, or a path of ours that could not
// be written) and ends the job.
void FailJob(int code, const std::string& detail) {
    // A program's negative exit code may have no text of its own; the job must not
    // end without telling the user which line failed.
    if (CodeMessageText(code, detail).empty()) code = kCodeBrokenContent;
    ShowCodeMessage(code, detail);
    AbortJob();
}

// Empties both staging directories completely, hidden entries included, so that
// nothing of one command (or of a run that was killed) reaches another command's
// destination. False with the directory that could not be emptied.
bool ClearStaging(std::string& failedPath) {
    for (const std::string* dir : {&ExtractDir, &BackupDir}) {
        if (ClearDirectory(*dir + "\\") != 0) {
            failedPath = *dir;
            return false;
        }
    }
    return true;
}

// Appends a README line to the uninstall script unless an earlier README section
// has already been copied there (the README line, or its READMEEND line, present).
bool CopyReadmeLine(const std::string& line, const char* alreadyCopiedMark) {
    if (!UndoScriptActive() || !platform::FileExists(UndoScriptPath)) return true;
    if (UndoScriptHasLineWith(alreadyCopiedMark)) return true;
    return AppendUndoScriptLines({line});
}

// Keeps the medium's control file in the store, with the version installed before
// this revision as a fifth line, so that a later version-down can restore it. The
// whole file is written at once. False with the path that failed.
bool SaveControlFile(std::string& failedPath) {
    const std::string source = InstallDiskPath + ControlFileName;
    const std::string target = VersionDownRoot + "\\" + CurrentMedia.RevisionName + ControlFileName;
    std::string dir, name;
    SplitPath(target, dir, name);
    failedPath = dir;
    if (platform::CreateDirectoryTree(dir) != 0) return false;
    std::string contents;
    failedPath = source;
    if (platform::ReadFileBytes(source, contents) != 0) return false;
    std::string rewritten;
    for (const std::string& line : platform::SplitLines(contents)) rewritten += line + kLineEnd;
    // No registered version: an empty fifth line, which a version-down writes back
    // as "no version", the state before this install.
    std::string version;
    if (ReadRegisteredVersion(version) != 0) version.clear();
    rewritten += version + kLineEnd;
    failedPath = target;
    // A copy kept read-only by an earlier install refuses the replacement below,
    // which then reports the failure.
    if (platform::FileExists(target)) (void)platform::ClearReadOnly(target);
    return platform::ReplaceFileBytes(target, rewritten, WriteAheadSync) == 0;
}

// Removes the kept media directory once its last marker has gone.
void RemoveMediaDirIfDone(const std::string& mediaNo) {
    std::string dir = UninstallMediaDir(mediaNo);
    if (FileExistsByPattern(dir + "\\INST*.DA_") == 0) return;
    // The exit code is not looked at: what stays behind is an empty or stray folder
    // without markers, which no scan lists as an entry.
    RunAndWait("", RemoveTreeCommandLine(dir));
}

// Deletes one of the uninstall run's own files; one already gone is the state wanted.
bool DeleteOwnFile(const std::string& path) {
    const platform::WinError error = platform::DeleteFileW(path);
    return error == 0 || error == platform::kErrorFileNotFound;
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

// The change a command makes once everything it needs is recorded: the staged tree
// to its destination (result 0), the staged files deleted (D), the value written or
// deleted (R). True when it was made in full.
bool ApplyCommand(const std::string& line, const CommandResult& result) {
    if (result.code == 0) return CopyTree(ExtractDir + "\\", result.destination);
    if (line[0] == 'D') return DeleteStagedFiles(result.destination);
    if (line[0] == 'R') return ApplyRegistryLine(line) > 0;
    return true;
}

// The executor's reading of one script. Returns true when the header matched and
// every line was read (the job was not aborted on the way).
bool RunScriptLines(const std::string& scriptPath) {
    std::vector<std::string> lines;
    if (!ReadLineFile(scriptPath, lines)) return false;
    ScriptGrammar grammar(ScriptHeaderLine(), UninstallMode, ReadmeOpening::AsRun);
    bool headerFound = false;
    bool undoSectionWritten = false;

    for (const std::string& raw : lines) {
        if (JobAborted()) return false;
        if (IsSkippedLine(raw)) continue;
        std::string line = platform::UpperCase(ExpandScriptLine(raw));
        ScriptLineAsWritten = raw;  // an uninstall run's R line restores values as written
        // Every write into the uninstall script is checked: a script that lacks what
        // was done cannot undo it.
        bool written = true;

        switch (grammar.Read(line)) {
            case ScriptLineKind::WrongHeader:
                return false;
            case ScriptLineKind::Header:
                headerFound = true;
                if (!UninstallMode) written = CreateUndoScript(line);
                break;
            case ScriptLineKind::SectionStart:
                if (grammar.Section() == ScriptSection::Install && !UninstallMode) {
                    // An entry without an uninstall script keeps none: the one begun
                    // for this run goes (one already gone is wanted).
                    if (UndoScriptActive()) written = DeleteOwnFile(UndoScriptPath);
                    if (written) UndoScriptPath = kNonBackup;
                } else if (grammar.Section() == ScriptSection::Uninstallable &&
                           UndoScriptActive() && !undoSectionWritten) {
                    written = AppendUndoScriptLines({line, "INSTEND"});
                    undoSectionWritten = true;
                }
                break;
            case ScriptLineKind::ReadmeStart:
                if (!UninstallMode) written = CopyReadmeLine(line, "README");
                break;
            case ScriptLineKind::ReadmeText:
            case ScriptLineKind::ReadmeEnd:
                if (!UninstallMode) written = CopyReadmeLine(line, "READMEEND");
                break;
            case ScriptLineKind::Command:
            case ScriptLineKind::BlockCommand:
                ExecuteScriptLine(line);
                break;
            default:
                break;
        }
        if (!written) {
            FailJob(kCodeBrokenContent, UndoScriptPath);
            return false;
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
    const int number = ExecutedCommandCount.load() + 1;
    std::string failedPath;
    // Whatever a killed run left in the staging directories must not reach this
    // command's destination.
    if (!ClearStaging(failedPath)) {
        FailJob(kCodeBrokenContent, failedPath);
        return;
    }
    ReachJobCheckpoint(JobCheckpoint::BeforeCommand, number);

    // The command stages its files (or checks its line); nothing of the machine
    // changes before the backup step has recorded how to undo it.
    CommandResult result = Dispatch(command);
    ExecutedCommandCount.fetch_add(1);
    bool ok = result.code >= 0;
    std::string detail = result.detail.empty() ? command : result.detail;
    if (ok && !UninstallMode) ok = BackupBeforeInstall(command, result.destination, detail);
    if (ok) {
        ReachJobCheckpoint(JobCheckpoint::AfterWriteAhead, number);
        // A job aborted meanwhile (the stop prompt confirmed) ends here, as a killed
        // one would: recorded ahead, nothing changed, which the roll-back undoes.
        if (JobAborted()) {
            // Staging that stays full is emptied by the next command of any run
            // before it stages anything.
            (void)ClearStaging(failedPath);
            return;
        }
        ok = ApplyCommand(command, result);
        detail = command;
    }
    const bool cleared = ClearStaging(failedPath);
    // A staged file that does not reach its destination is a failed install for
    // every command, C included: the job must not report it as done. A failed command
    // is reported as such even when its staging could not be emptied: the next
    // command of any run empties it again first.
    if (!ok) {
        FailJob(result.code < 0 ? result.code : kCodeBrokenContent, detail);
    } else if (!cleared) {
        FailJob(kCodeBrokenContent, failedPath);
    }
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
    }
    if (!platform::FileExists(scriptPath)) return 0;
    std::string failedPath;
    if (!UninstallMode) {
        // The job's record names every entry that ran before anything of it is
        // written, so that a roll-back after a crash finds its uninstall script.
        if (!RecordJobEntry(CurrentMedia.MediaNo, entry.ScriptNo, failedPath)) {
            FailJob(kCodeBrokenContent, failedPath);
            return 0;
        }
        if (platform::CreateDirectoryTree(CurrentMediaStoreDir()) != 0) {
            FailJob(kCodeBrokenContent, CurrentMediaStoreDir());
            return 0;
        }
    }
    if (!RunScriptLines(scriptPath)) return 0;

    if (!UninstallMode) {
        if (entry.Status == kScriptUninstallable && freshInstall && !SaveControlFile(failedPath)) {
            FailJob(kCodeBrokenContent, failedPath);
            return 0;
        }
        const std::string marker = InstalledMarkerPath(entry.ScriptNo);
        if (platform::ReplaceFileBytes(marker, "", WriteAheadSync) != 0) FailJob(kCodeBrokenContent, marker);
    } else {
        // The marker goes first: a run killed in between leaves the script, and the
        // uninstall can be run again to its end.
        const std::string marker = UninstallMarkerPath(entry.MediaNo, entry.ScriptNo);
        for (const std::string& path : {marker, scriptPath}) {
            if (!DeleteOwnFile(path)) {
                FailJob(kCodeBrokenContent, path);
                return 0;
            }
        }
        RemoveMediaDirIfDone(entry.MediaNo);
    }
    return 0;
}
