// "A list directory" / "P list directory": adds or removes the lines of a list file,
// the installed package list included.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"
#include "installer/engine/RunningEntry.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/InstallRun.h"

// Stages the changed list file(s) in ExtractDir. 0 with the destination directory
// (ending in "\"; InstallDir + "\" for the package list, staged as "package.5");
// -13 when a field is missing, the directory is not a full path after the package
// rewrite (nothing is touched then), no source file matches, or a file could not be
// staged, decoded, rewritten or encoded (the detail is then that file's path).
CommandResult ListFileCommand(const InstallEnvironment& env, const InstallRun& run,
                              RunningEntry& entry, const std::string& line);
// Line operations on the staged target ExtractDir + "\" + name. False with the path
// that could not be read or written.
[[nodiscard]] bool MergeListFile(const InstallEnvironment& env, const std::string& sourceDir,
                                 const std::string& name, std::string& failedPath);
[[nodiscard]] bool PurgeListFile(const InstallEnvironment& env, const std::string& sourceDir,
                                 const std::string& name, std::string& failedPath);
// True when a list-file command's file name is the package list's current name
// (CurrentPackageName, set by the first line that names the package list).
bool IsPackageListName(const RunningEntry& entry, const std::string& name);
