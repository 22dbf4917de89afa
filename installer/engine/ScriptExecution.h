// Running a script entry: the executor's reading of the script, the dispatch of
// command lines through the staging pipeline, markers and the uninstall script.
//
// Install mode, entry nn of the current medium (V = the store directory
// VersionDownRoot\RevisionName\MediaNo): the entry is added to the job's record
// (RecordJobEntry) and V is created; the script InstallDiskPath\INSTnn.DAT is read
// upper-cased; once its header matches, V\INSTnn.DAT (UndoScriptPath) is begun with
// the header. An "INST," section deletes it again (UndoScriptPath := kNonBackup); an
// "UNINST," section adds its section line and "INSTEND", and the backup step inserts
// undo lines before that "INSTEND" (UndoScript.h); the first README section of the
// script is copied into the uninstall script at the place where it stands. When all lines ran, an uninstallable
// entry of a fresh revision saves the medium's control file to
// VersionDownRoot\RevisionName\MorvanUP.INF with the installed version as a fifth
// line (an empty fifth line when no version is registered), and the empty marker
// V\INSTnn.DA_ is written. Files the engine writes have CR LF line ends. The
// uninstall script, the saved control file and the marker are each replaced whole
// (synced when WriteAheadSync).
//
// Uninstall mode, entry nn of media directory mm of UninstallGroupName: the kept
// script runs, then its marker and it are deleted (in that order, so a run killed in
// between can be run again); when no INST*.DA_ is left in the media directory,
// RemoveTreeCommandLine(<dir>) removes the directory.
//
// Every write of the engine's own files is checked: a job record entry, the store
// directory, the uninstall script, the saved control file or the marker that cannot
// be written, or a script or marker an uninstall run cannot delete, shows -13 with
// that path as detail and aborts the job.
//
// The job stops at the first failed command: once JobState is aborted, no further
// command of the entry runs, RunScript returns at once for every later entry, and the
// entry that failed writes no marker and no saved control file (in uninstall mode its
// kept script stays in place).
//
// A section line "UNINST," after an "INST," section of the same script (UndoScriptPath
// is then kNonBackup) records nothing: no file named "NON_BACKUP" is ever written. A
// second "UNINST," section of one script adds no second section to the uninstall
// script, so each undo line is recorded once.
#pragma once

#include <string>

#include "installer/engine/InstallerState.h"

// Runs entry `entryIndex` (1-based) of state.table. Always 0; failures are reported
// through messages and state.job. An index outside the table runs nothing.
int RunScript(InstallerState& state, int entryIndex, bool freshInstall);

// Carries out one command line (upper-cased), in this order:
//   1. the command gate (JobControl.h); nothing happens once the job is aborted;
//   2. runs of blanks collapsed; ExtractDir and BackupDir emptied completely (what a
//      killed run left there must not reach a destination);
//   3. checkpoint BeforeCommand;
//   4. dispatch on the first character (@ A P C D L R X Z; any other character -13),
//      counted in ExecutedCommandCount. The command only stages: C, L, A, P into
//      ExtractDir, D copies its matches there, R checks its line; @ and X run;
//   5. install mode: the backup step records the undo lines and saved copies;
//   6. checkpoint AfterWriteAhead; a job aborted by then (the stop confirmed, or
//      the checkpoint hook) ends here with the change not made;
//   7. the change: the staged tree copied to the destination (result 0), the staged
//      files deleted from it (D), the value written or deleted (R);
//   8. the staging directories emptied.
// Any failure shows its message and aborts the job; nothing after it is applied. The
// detail is the line, or the path of a file of ours that could not be written. A
// negative result keeps its code (-13 when the code has no text of its own); every
// other failure is -13.
// `lineAsWritten` is the same line as the script file holds it ("" when unknown), which
// an uninstall run's R command uses to restore a value as written (RegistryCommand.h).
void ExecuteScriptLine(InstallerState& state, const std::string& line,
                       const std::string& lineAsWritten = "");
