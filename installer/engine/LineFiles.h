// Text files of lines as the engine reads and writes them: list files, the uninstall
// script and the staging list. Lines end in CR LF when written; any of CR LF, LF or
// CR ends a line when read. Files are rewritten through the environment's WorkScratchFile.
#pragma once

#include <string>
#include <vector>

#include "installer/env/InstallEnvironment.h"

// The lines of a file; false (and no lines) when it cannot be read.
bool ReadLineFile(const std::string& path, std::vector<std::string>& lines);
// The lines joined, each ending in CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
// Creates or truncates `path` with the lines, each ending in CR LF. False on failure.
[[nodiscard]] bool WriteLineFile(const std::string& path, const std::vector<std::string>& lines);
// Writes the lines to env.WorkScratchFile, replaces `target` by that file and deletes it.
// False when the scratch file or the target could not be written; `failedPath` then
// names the one that failed (the target keeps its former contents or is complete).
[[nodiscard]] bool RewriteThroughScratch(const InstallEnvironment& env, const std::string& target,
                                         const std::vector<std::string>& lines,
                                         std::string& failedPath);
