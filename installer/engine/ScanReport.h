// The report of a scan: what it found beyond the script table itself, for the check
// tool. Each scan replaces the report it is given (an empty report: no scan yet).
#pragma once

#include <string>
#include <vector>

#include "installer/env/ScriptTable.h"

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
