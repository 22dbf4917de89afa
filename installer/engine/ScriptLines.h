// The line rules shared by the scan and the executor: skipping empty and comment
// lines, expanding setting references, upper-casing, and comparing keywords by a fixed
// number of leading characters.
//
// Every path built here is kept whole: a script, uninstall-script or marker path is
// never cut to a fixed length (a cut path would name another file, or none).
#pragma once

#include <string>

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
// RevisionId of CurrentMedia.
std::string ScriptHeaderLine();

// Script and marker paths of entry `scriptNo` (and `mediaNo` in uninstall mode).
std::string InstallScriptPath(const std::string& scriptNo);
std::string UninstallScriptPath(const std::string& mediaNo, const std::string& scriptNo);
std::string InstalledMarkerPath(const std::string& scriptNo);  // of the current medium

// The current medium's directory in the store: VersionDownRoot\RevisionName\MediaNo.
std::string CurrentMediaStoreDir();
// The uninstall script an install run of `scriptNo` writes: CurrentMediaStoreDir()\INSTnn.DAT.
std::string UndoScriptPathFor(const std::string& scriptNo);
// A kept media directory of the chosen group: VersionDownRoot\UninstallGroupName\mm.
std::string UninstallMediaDir(const std::string& mediaNo);
// The marker beside an uninstall script: UninstallMediaDir(mm)\INSTnn.DA_.
std::string UninstallMarkerPath(const std::string& mediaNo, const std::string& scriptNo);

// A number 0..99 as two decimal digits ("07") as used in script and media names.
std::string TwoDigitNumber(int n);
