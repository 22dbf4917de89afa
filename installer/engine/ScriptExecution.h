// Running a script entry: the executor's reading of the script, the dispatch of
// command lines through the staging pipeline, markers and the uninstall script.
#pragma once

#include <string>

// Runs entry `entryIndex` (1-based) of ScriptEntries. Always 0; failures are
// reported through messages and JobState.
int RunScript(int entryIndex, bool freshInstall);

// Carries out one command line (upper-cased): dispatch, backup, copy of the staged
// tree, emptying of the staging directories.
void ExecuteScriptLine(const std::string& line);
