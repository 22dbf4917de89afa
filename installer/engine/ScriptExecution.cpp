#include "installer/engine/ScriptExecution.h"

#include <vector>

#include "installer/engine/ArchiveCommand.h"
#include "installer/engine/Backup.h"
#include "installer/engine/UndoScript.h"
#include "installer/engine/CommandResult.h"
#include "installer/engine/CopyCommand.h"
#include "installer/engine/DeleteCommand.h"
#include "installer/engine/ForceTermination.h"
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

bool UndoScriptActive(InstallerState& state) { return state.entry.UndoScriptPath != kNonBackup; }

// Shows the message of `code` with `detail` (a line, or a path of ours that could not
// be written) and ends the job.
void FailJob(InstallerState& state, int code, const std::string& detail) {
    // A program's negative exit code may have no text of its own; the job must not
    // end without telling the user which line failed.
    if (CodeMessageText(code, detail, state.run).empty()) code = kCodeBrokenContent;
    ShowCodeMessage(code, detail, state.run);
    state.job.AbortJob();
}

// Empties both staging directories completely, hidden entries included, so that
// nothing of one command (or of a run that was killed) reaches another command's
// destination. False with the directory that could not be emptied.
bool ClearStaging(InstallerState& state, std::string& failedPath) {
    for (const std::string* dir : {&state.env.ExtractDir, &state.env.BackupDir}) {
        if (ClearDirectory(*dir + "\\") != 0) {
            failedPath = *dir;
            return false;
        }
    }
    return true;
}

// Appends a README line to the uninstall script unless an earlier README section
// has already been copied there (the README line, or its READMEEND line, present).
bool CopyReadmeLine(InstallerState& state, const std::string& line, const char* alreadyCopiedMark) {
    if (!UndoScriptActive(state) || !platform::FileExists(state.entry.UndoScriptPath)) return true;
    if (UndoScriptHasLineWith(state.entry, alreadyCopiedMark)) return true;
    return AppendUndoScriptLines(state.env, state.entry, {line});
}

// Keeps the medium's control file in the store, with the version installed before
// this revision as a fifth line, so that a later version-down can restore it. The
// whole file is written at once. False with the path that failed.
bool SaveControlFile(InstallerState& state, std::string& failedPath) {
    const std::string source = state.run.InstallDiskPath + ControlFileName;
    const std::string target =
        state.env.VersionDownRoot + "\\" + state.run.CurrentMedia.RevisionName + ControlFileName;
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
    return platform::ReplaceFileBytes(target, rewritten, state.env.WriteAheadSync) == 0;
}

// Removes the kept media directory once its last marker has gone.
void RemoveMediaDirIfDone(InstallerState& state, const std::string& mediaNo) {
    std::string dir = UninstallMediaDir(state.env, state.run, mediaNo);
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

CommandResult Dispatch(InstallerState& state, const std::string& line) {
    char first = line.empty() ? '\0' : line[0];
    CommandResult result;
    switch (first) {
        case '@':
            ForceTerminateApplications(state.env, state.run, line);
            result.code = 1;
            break;
        case 'A':
        case 'P':
            result = ListFileCommand(state.env, state.run, state.entry, line);
            break;
        case 'C':
            result = CopyCommand(state.env, state.run, state.entry, line);
            break;
        case 'D':
            result = DeleteCommand(state.env, line);
            break;
        case 'L':
            result = ExtractArchiveCommand(state.env, state.run, state.entry, line);
            break;
        case 'R':
            result.code = RegistryCommand(state, line);
            break;
        case 'X':
            result = RunProgramCommand(state.env, line);
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
bool ApplyCommand(InstallerState& state, const std::string& line, const CommandResult& result,
                  const std::string& lineAsWritten) {
    if (result.code == 0) return CopyTree(state.env.ExtractDir + "\\", result.destination);
    if (line[0] == 'D') return DeleteStagedFiles(state.env, result.destination);
    if (line[0] == 'R') return ApplyRegistryLine(state, line, lineAsWritten) > 0;
    return true;
}

// The executor's reading of one script. Returns true when the header matched and
// every line was read (the job was not aborted on the way).
bool RunScriptLines(InstallerState& state, const std::string& scriptPath) {
    std::vector<std::string> lines;
    if (!ReadLineFile(scriptPath, lines)) return false;
    ScriptGrammar grammar(ScriptHeaderLine(state.run.CurrentMedia), state.run.UninstallMode,
                          ReadmeOpening::AsRun);
    bool headerFound = false;
    bool undoSectionWritten = false;

    for (const std::string& raw : lines) {
        if (state.job.JobAborted()) return false;
        if (IsSkippedLine(raw)) continue;
        std::string line = platform::UpperCase(ExpandScriptLine(raw));
        // Every write into the uninstall script is checked: a script that lacks what
        // was done cannot undo it.
        bool written = true;

        switch (grammar.Read(line)) {
            case ScriptLineKind::WrongHeader:
                return false;
            case ScriptLineKind::Header:
                headerFound = true;
                if (!state.run.UninstallMode) {
                    written = CreateUndoScript(state.env, state.entry, line);
                }
                break;
            case ScriptLineKind::SectionStart:
                if (grammar.Section() == ScriptSection::Install && !state.run.UninstallMode) {
                    // An entry without an uninstall script keeps none: the one begun
                    // for this run goes (one already gone is wanted).
                    if (UndoScriptActive(state)) {
                        written = DeleteOwnFile(state.entry.UndoScriptPath);
                    }
                    if (written) state.entry.UndoScriptPath = kNonBackup;
                } else if (grammar.Section() == ScriptSection::Uninstallable &&
                           UndoScriptActive(state) && !undoSectionWritten) {
                    written = AppendUndoScriptLines(state.env, state.entry, {line, "INSTEND"});
                    undoSectionWritten = true;
                }
                break;
            case ScriptLineKind::ReadmeStart:
                if (!state.run.UninstallMode) written = CopyReadmeLine(state, line, "README");
                break;
            case ScriptLineKind::ReadmeText:
            case ScriptLineKind::ReadmeEnd:
                if (!state.run.UninstallMode) {
                    written = CopyReadmeLine(state, line, "READMEEND");
                }
                break;
            case ScriptLineKind::Command:
            case ScriptLineKind::BlockCommand:
                // An uninstall run's R line restores values as the script wrote them.
                ExecuteScriptLine(state, line, raw);
                break;
            default:
                break;
        }
        if (!written) {
            FailJob(state, kCodeBrokenContent, state.entry.UndoScriptPath);
            return false;
        }
    }
    return headerFound && !state.job.JobAborted();
}

}  // namespace

void ExecuteScriptLine(InstallerState& state, const std::string& line,
                       const std::string& lineAsWritten) {
    // A safe point between commands: the dialog may hold the job here while it asks
    // whether to stop, and an aborted job runs nothing more.
    if (!state.job.PassCommandGate()) return;
    std::string command = line;
    CollapseBlanks(command);
    const int number = state.job.ExecutedCommandCount.load() + 1;
    std::string failedPath;
    // Whatever a killed run left in the staging directories must not reach this
    // command's destination.
    if (!ClearStaging(state, failedPath)) {
        FailJob(state, kCodeBrokenContent, failedPath);
        return;
    }
    state.job.ReachJobCheckpoint(JobCheckpoint::BeforeCommand, number);

    // The command stages its files (or checks its line); nothing of the machine
    // changes before the backup step has recorded how to undo it.
    CommandResult result = Dispatch(state, command);
    state.job.ExecutedCommandCount.fetch_add(1);
    bool ok = result.code >= 0;
    std::string detail = result.detail.empty() ? command : result.detail;
    if (ok && !state.run.UninstallMode)
        ok = BackupBeforeInstall(state, command, result.destination, detail);
    if (ok) {
        state.job.ReachJobCheckpoint(JobCheckpoint::AfterWriteAhead, number);
        // A job aborted meanwhile (the stop prompt confirmed) ends here, as a killed
        // one would: recorded ahead, nothing changed, which the roll-back undoes.
        if (state.job.JobAborted()) {
            // Staging that stays full is emptied by the next command of any run
            // before it stages anything.
            (void)ClearStaging(state, failedPath);
            return;
        }
        ok = ApplyCommand(state, command, result, lineAsWritten);
        detail = command;
    }
    const bool cleared = ClearStaging(state, failedPath);
    // A staged file that does not reach its destination is a failed install for
    // every command, C included: the job must not report it as done. A failed command
    // is reported as such even when its staging could not be emptied: the next
    // command of any run empties it again first.
    if (!ok) {
        FailJob(state, result.code < 0 ? result.code : kCodeBrokenContent, detail);
    } else if (!cleared) {
        FailJob(state, kCodeBrokenContent, failedPath);
    }
}

int RunScript(InstallerState& state, int entryIndex, bool freshInstall) {
    if (state.job.JobAborted()) return 0;
    if (!state.table.HasEntry(entryIndex)) return 0;
    const ScriptEntry& tableEntry = state.table.Entry(entryIndex);
    state.entry.RunScriptNo = tableEntry.ScriptNo;

    std::string scriptPath;
    if (state.run.UninstallMode) {
        scriptPath =
            UninstallScriptPath(state.env, state.run, tableEntry.MediaNo, tableEntry.ScriptNo);
        state.entry.RunMediaNo = tableEntry.MediaNo;
        state.entry.UndoScriptPath = kNonBackup;
    } else {
        scriptPath = InstallScriptPath(state.run, tableEntry.ScriptNo);
        state.entry.UndoScriptPath = UndoScriptPathFor(state.env, state.run, tableEntry.ScriptNo);
    }
    if (!platform::FileExists(scriptPath)) return 0;
    std::string failedPath;
    if (!state.run.UninstallMode) {
        // The job's record names every tableEntry that ran before anything of it is
        // written, so that a roll-back after a crash finds its uninstall script.
        if (!state.record.RecordJobEntry(state.env, state.run.CurrentMedia.MediaNo,
                                         tableEntry.ScriptNo, failedPath)) {
            FailJob(state, kCodeBrokenContent, failedPath);
            return 0;
        }
        if (platform::CreateDirectoryTree(CurrentMediaStoreDir(state.env, state.run)) != 0) {
            FailJob(state, kCodeBrokenContent, CurrentMediaStoreDir(state.env, state.run));
            return 0;
        }
    }
    if (!RunScriptLines(state, scriptPath)) return 0;

    if (!state.run.UninstallMode) {
        if (tableEntry.Status == kScriptUninstallable && freshInstall &&
            !SaveControlFile(state, failedPath)) {
            FailJob(state, kCodeBrokenContent, failedPath);
            return 0;
        }
        const std::string marker = InstalledMarkerPath(state.env, state.run, tableEntry.ScriptNo);
        if (platform::ReplaceFileBytes(marker, "", state.env.WriteAheadSync) != 0)
            FailJob(state, kCodeBrokenContent, marker);
    } else {
        // The marker goes first: a run killed in between leaves the script, and the
        // uninstall can be run again to its end.
        const std::string marker =
            UninstallMarkerPath(state.env, state.run, tableEntry.MediaNo, tableEntry.ScriptNo);
        for (const std::string& path : {marker, scriptPath}) {
            if (!DeleteOwnFile(path)) {
                FailJob(state, kCodeBrokenContent, path);
                return 0;
            }
        }
        RemoveMediaDirIfDone(state, tableEntry.MediaNo);
    }
    return 0;
}
