// The scan of a medium's install scripts (or, in uninstall mode, of a kept group's
// uninstall scripts) into the script table and the README document.
//
// Probing order: install mode InstallDiskPath\INST00.DAT .. INST99.DAT; uninstall
// mode VersionDownRoot\UninstallGroupName\01..99\INST00.DAT .. INST99.DAT. Every file
// found takes the next entry (numbered from 1), also one whose header does not match.
//
// Decisions of this scan:
// - The table holds kMaxScriptEntries (99) entries. Once it is full, probing stops:
//   the first 99 scripts in probing order are the table, later files are not read,
//   and the report notes that scripts were left out. No entry beyond the table is
//   ever written.
// - An L or Z line holding a wildcard inside an install section (outside an IF
//   block) stops the scan at that line, after its message (-8). The medium is then
//   unusable as a whole: ScanScripts returns 0 with ScriptEntryCount and
//   TotalCommandCount 0, so no row is offered. The README document keeps what was
//   collected up to that line. Inside a true IF block such a line is only not counted.
// - CommandCount stops at 65535 rather than wrapping (a wrap could hide an entry).
#pragma once

#include <string>
#include <vector>

#include "installer/env/ScriptTable.h"

// Fills ScriptEntries, ScriptEntryCount, TotalCommandCount and ReadmeDocFile (CR LF
// lines); returns the number of entries filled, or 0 after a wildcard error.
// `freshInstall` true: installed markers are ignored.
int ScanScripts(bool freshInstall);

// A kept script of the uninstall group: media directory "mm" and script "nn".
struct ScriptEntryRef {
    std::string mediaNo;
    std::string scriptNo;
};
// Uninstall mode: as ScanScripts, but over exactly the kept scripts `entries` of
// UninstallGroupName in the given order (a roll-back's or a resumed uninstall's
// entries); an entry whose script no longer exists is left out.
int ScanScriptList(const std::vector<ScriptEntryRef>& entries);

// -8 for an L or Z line holding "*" or "?" (message shown here); 0 for a counted
// command (L Z C D A P X R); 1 for any other first character (an empty line too).
int CheckScriptCommand(const std::string& line);

// What the last scan found beyond the table itself, for the check tool.
enum class ScriptScanNote {
    Counted,            // at least one counted command
    HeaderMismatch,     // the first line is not the medium's header: nothing read
    NoCountedCommands,  // header matched, but no line of a section counted
    Unreadable,         // the file exists but could not be read
};

struct ScannedScript {
    std::string path;  // the script file of the entry
    ScriptScanNote note = ScriptScanNote::Counted;
    ScriptEntry entry;  // the entry as this file left it (kept after a stopped scan)
};

struct ScanProblem {
    int code = 0;          // result code (-8)
    std::string path;      // script file
    int lineNumber = 0;    // 1-based, in the file
    std::string line;      // the line as written
};

struct ScanReport {
    std::vector<ScannedScript> scripts;  // one per entry filled, in entry order
    std::vector<ScanProblem> problems;
    bool stoppedOnWildcard = false;
    bool tableFull = false;  // more script files than the table holds were present
};

// The report of the last ScanScripts (empty before the first).
const ScanReport& LastScanReport();
void ResetScanReport();
