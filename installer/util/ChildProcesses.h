// Starting child programs and waiting for them.
#pragma once

#include <cstdint>
#include <string>

// Starts `program` (empty: taken from the command line) with `commandLine`, waits
// until it has ended and returns its exit code (signed), or the Windows error code of
// a failed start (e.g. 2 not found) without waiting.
std::int32_t RunAndWait(const std::string& program, const std::string& commandLine);
// As RunAndWait, but detached from any terminal and with `currentDirectory` (the
// installer's ToolsDir) as the current directory.
std::int32_t RunDetachedAndWait(const std::string& program, const std::string& commandLine,
                                const std::string& currentDirectory);
// The command line that removes `dir` with everything in it through the command
// interpreter: "COMMAND /C RMDIR /S/Q " + dir, the dir in double quotes when it holds
// a blank (so a name such as "C:\OLD DATA" stays one argument). Run it with RunAndWait.
std::string RemoveTreeCommandLine(const std::string& dir);
