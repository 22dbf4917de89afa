// The line rules shared by the scan and the executor: reading a script as lines,
// skipping empty and comment lines, expanding setting references, upper-casing,
// and comparing keywords by a fixed number of leading characters.
#pragma once

#include <string>
#include <vector>

// Line states while a script is read.
enum ScanState { Outside = 0, InSection = 1, InTrueIf = 2, InFalseIf = 3, InReadme = 4 };

// The lines of a script file (any bytes; CR LF, LF or CR end a line). False when the
// file cannot be read.
bool ReadScriptLines(const std::string& path, std::vector<std::string>& lines);

// True for a line that is skipped before anything else: empty, or ";" first.
bool IsSkippedLine(const std::string& line);

// True when the first `count` characters of `line` equal `keyword` (a shorter line
// is compared whole).
bool KeywordMatches(const std::string& line, const char* keyword, std::size_t count);

// The header every script must begin with: VersionText upper-cased (ASCII) + "/" +
// RevisionId of CurrentMedia.
std::string ScriptHeaderLine();

// Script and marker paths of entry `scriptNo` (and `mediaNo` in uninstall mode).
std::string InstallScriptPath(const std::string& scriptNo);
std::string UninstallScriptPath(const std::string& mediaNo, const std::string& scriptNo);
std::string InstalledMarkerPath(const std::string& scriptNo);  // of the current medium
