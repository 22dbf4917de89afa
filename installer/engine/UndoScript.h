// The uninstall script of the running install entry (entry.UndoScriptPath): its file on
// disk, written ahead of every change it covers.
//
// Layout (CR LF line ends): the header line; optionally a README section copied from
// the installed script; "UNINST," and the title; the undo lines in recording order;
// "INSTEND"; optionally the README section. Every write replaces the whole file at
// once (platform::ReplaceFileBytes, synced when env.WriteAheadSync), so the file on disk
// is always complete and parseable: a program killed at any moment leaves the script
// as it was before the write or as it is after it, never a cut one.
//
// Functions that write return false when the script could not be read back or
// written; the caller reports UndoScriptPath as the failing path. With UndoScriptPath
// kNonBackup (no script kept) every function does nothing: the writers return true.
#pragma once

#include <string>
#include <vector>

#include "installer/engine/RunningEntry.h"
#include "installer/env/InstallEnvironment.h"

// Creates (or replaces) the script with the header line alone.
[[nodiscard]] bool CreateUndoScript(const InstallEnvironment& env, const RunningEntry& entry,
                                    const std::string& headerLine);
// Appends lines at the end of the script (section lines, README lines).
[[nodiscard]] bool AppendUndoScriptLines(const InstallEnvironment& env, const RunningEntry& entry,
                                         const std::vector<std::string>& lines);
// Inserts the lines, in order, just before the "INSTEND" that closes the "UNINST,"
// section: the first line beginning with "INSTEND" after the section line, found as
// the uninstall run reads the script (a README section, whose text lines may begin
// with "INSTEND" or "UNINST,", is passed over). False also when the script holds no
// such section: a record that has no place would leave the change uncovered.
[[nodiscard]] bool InsertUndoLines(const InstallEnvironment& env, const RunningEntry& entry,
                                   const std::vector<std::string>& lines);
[[nodiscard]] bool InsertUndoLine(const InstallEnvironment& env, const RunningEntry& entry,
                                  const std::string& text);
// True when the script exists and one of its lines holds `word`.
bool UndoScriptHasLineWith(const RunningEntry& entry, const char* word);
// True when `name` is recorded in the script already: only the undo lines count, and
// a name counts only as a whole file name: the last part of a path field of a D, L,
// C, A or P line, a ";" comment line, or the whole line ("@HALTAPP"); compared
// without regard to case. A name inside a longer name, in a title, in a registry
// value or in a README is not recorded.
bool IsRecordedInUndoScript(const RunningEntry& entry, const std::string& name);
// The files of `rels` (paths relative to the folder `dir`, which ends in "\") whose
// target file dir + rel no undo line of the script covers yet, in their order. An undo
// line covers the file it puts back: "C <kept> <folder>\" the file folder + kept name,
// "C <kept> <file>" that file, "D <path>" that path; compared without regard to case.
// When the script cannot be read every file is returned: recording one again is
// harmless, leaving one unrecorded is not.
std::vector<std::string> FilesNotCoveredInUndoScript(const RunningEntry& entry,
                                                     const std::string& dir,
                                                     const std::vector<std::string>& rels);
// The kept-copy fields of the "L <kept> <dir>" lines that extract into the folder `dir`
// (ending in "\"; compared without regard to case), in script order.
std::vector<std::string> ArchivesExtractedInto(const RunningEntry& entry, const std::string& dir);
