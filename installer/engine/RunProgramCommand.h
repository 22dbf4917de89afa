// "X program [\"arguments\"]": runs a program detached and waits for it.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"
#include "installer/env/InstallEnvironment.h"

// Splits the line after "X" and its blanks: with a double quote, the program is the
// text before the first quote less the one separating character, the arguments the
// text between the first and second quote (to the end when the second is missing);
// without one, the whole rest is the program. Runs "program arguments" with
// RunDetachedAndWait (ToolsDir as current directory). The code is the program's exit
// code, or the Windows error of a failed start (2 not found...), so only a negative
// exit code counts as a failure. The destination is empty.
CommandResult RunProgramCommand(const InstallEnvironment& env, const std::string& line);

// The command line RunProgramCommand starts for `line` ("" for an empty program).
std::string ProgramCommandLine(const std::string& line);
