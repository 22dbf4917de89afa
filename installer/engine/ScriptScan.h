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
//   unusable as a whole: ScanScripts returns 0 with an empty table
//   (TotalCommandCount 0), so no row is offered. The README document keeps what was
//   collected up to that line. Inside a true IF block such a line is only not counted.
// - CommandCount stops at 65535 rather than wrapping (a wrap could hide an entry).
#pragma once

#include <string>
#include <vector>

#include "installer/engine/InstallerState.h"

// Fills state.table (its entries and TotalCommandCount), state.scan (the report of this
// scan) and env.ReadmeDocFile (CR LF lines) from the medium or kept group of state.run;
// returns the number of entries filled, or 0 after a wildcard error.
// `freshInstall` true: installed markers are ignored.
int ScanScripts(InstallerState& state, bool freshInstall);

// A kept script of the uninstall group: media directory "mm" and script "nn".
struct ScriptEntryRef {
    std::string mediaNo;
    std::string scriptNo;
};
// Uninstall mode: as ScanScripts, but over exactly the kept scripts `entries` of
// UninstallGroupName in the given order (a roll-back's or a resumed uninstall's
// entries); an entry whose script no longer exists is left out.
int ScanScriptList(InstallerState& state, const std::vector<ScriptEntryRef>& entries);

// -8 for an L or Z line holding "*" or "?" (message shown here); 0 for a counted
// command (L Z C D A P X R); 1 for any other first character (an empty line too).
int CheckScriptCommand(const std::string& line);
