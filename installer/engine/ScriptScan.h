// The scan of a medium's install scripts (or, in uninstall mode, of a kept group's
// uninstall scripts) into the script table and the README document.
#pragma once

#include <string>

// Fills ScriptEntries, TotalCommandCount and ReadmeDocFile; returns the number of
// entries filled (see the source for a wildcard error and for more scripts than the
// table holds). `freshInstall` true: installed markers are ignored.
int ScanScripts(bool freshInstall);

// -8 for an L or Z line holding "*" or "?" (message shown here); 0 for a counted
// command (L Z C D A P X R); 1 for any other first character.
int CheckScriptCommand(const std::string& line);
