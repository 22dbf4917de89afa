// Running a script entry: the executor's reading of the script, the dispatch of
// command lines through the staging pipeline, markers and the uninstall script.
//
// Install mode, entry nn of the current medium (V = the store directory
// VersionDownRoot\RevisionName\MediaNo): the script InstallDiskPath\INSTnn.DAT is read upper-cased; once its
// header matches, V\INSTnn.DAT (UndoScriptPath) is begun with the header. An "INST,"
// section deletes it again (UndoScriptPath := kNonBackup); an "UNINST," section adds
// its section line and "INSTEND", and the backup step inserts undo lines before that
// "INSTEND"; the first README section of the script is copied at the end of the
// uninstall script at the place where it stands. When all lines ran, an uninstallable
// entry of a fresh revision saves the medium's control file to
// VersionDownRoot\RevisionName\MorvanUP.INF with the installed version as a fifth
// line (an empty fifth line when no version is registered), and the empty marker
// V\INSTnn.DA_ is written. Files the engine writes have CR LF line ends.
//
// Uninstall mode, entry nn of media directory mm of UninstallGroupName: the kept
// script runs, then it and its marker are deleted; when no INST*.DA_ is left in the
// media directory, "COMMAND /C RMDIR /S/Q <dir>" removes the directory.
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

// Runs entry `entryIndex` (1-based) of ScriptEntries. Always 0; failures are
// reported through messages and JobState. An index outside the table runs nothing.
int RunScript(int entryIndex, bool freshInstall);

// Carries out one command line (upper-cased): collapses runs of blanks, dispatches on
// the first character (@ A P C D L R X Z; any other character -13), counts it in
// ExecutedCommandCount, runs the backup step (install mode), copies the staged tree to
// the command's destination for a result 0, and empties ExtractDir and BackupDir.
// A negative result shows its message with the line as detail (-13 when the code has
// no text of its own) and aborts the job; so does a staged tree that cannot be copied
// (-13), for every command letter. Passes the command gate (JobState.h) first and
// does nothing once the job is aborted.
void ExecuteScriptLine(const std::string& line);
