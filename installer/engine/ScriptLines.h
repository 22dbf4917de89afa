// The line rules shared by the scan and the executor: skipping empty and comment
// lines, expanding setting references, upper-casing, and comparing keywords by a fixed
// number of leading characters.
//
// Every path built here is kept whole: a script, uninstall-script or marker path is
// never cut to a fixed length (a cut path would name another file, or none).
#pragma once

#include <string>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/InstallRun.h"

// A script is read as lines by ReadLineFile (env/LineFiles.h) and its lines are told
// apart by ScriptGrammar (ScriptGrammar.h).

// True for a line that is skipped before anything else: empty, or ";" first.
bool IsSkippedLine(const std::string& line);

// Expands the setting references of a line that survived IsSkippedLine. A line
// without "%" is returned unchanged without touching the settings.
std::string ExpandScriptLine(const std::string& line);

// True when the first `count` characters of `line` equal `keyword` (a shorter line
// is compared whole). "README" with count 7 therefore matches only the line "README".
bool KeywordMatches(const std::string& line, const char* keyword, std::size_t count);

// The header every script must begin with: VersionText upper-cased (ASCII) + "/" +
// RevisionId of `media` (the run's CurrentMedia).
std::string ScriptHeaderLine(const VERUP_FILE_REC& media);

// Script and marker paths of entry `scriptNo` (and `mediaNo` in uninstall mode).
// The medium is run.InstallDiskPath, the store env.VersionDownRoot, the kept group
// run.UninstallGroupName, the current medium run.CurrentMedia.
std::string InstallScriptPath(const InstallRun& run, const std::string& scriptNo);
std::string UninstallScriptPath(const InstallEnvironment& env, const InstallRun& run,
                                const std::string& mediaNo, const std::string& scriptNo);
// Of the current medium.
std::string InstalledMarkerPath(const InstallEnvironment& env, const InstallRun& run,
                                const std::string& scriptNo);

// The current medium's directory in the store: VersionDownRoot\RevisionName\MediaNo.
std::string CurrentMediaStoreDir(const InstallEnvironment& env, const InstallRun& run);
// The uninstall script an install run of `scriptNo` writes: CurrentMediaStoreDir()\INSTnn.DAT.
std::string UndoScriptPathFor(const InstallEnvironment& env, const InstallRun& run,
                              const std::string& scriptNo);
// A kept media directory of the chosen group: VersionDownRoot\UninstallGroupName\mm.
std::string UninstallMediaDir(const InstallEnvironment& env, const InstallRun& run,
                              const std::string& mediaNo);
// The marker beside an uninstall script: UninstallMediaDir(mm)\INSTnn.DA_.
std::string UninstallMarkerPath(const InstallEnvironment& env, const InstallRun& run,
                                const std::string& mediaNo, const std::string& scriptNo);

// A number 0..99 as two decimal digits ("07") as used in script and media names.
std::string TwoDigitNumber(int n);
