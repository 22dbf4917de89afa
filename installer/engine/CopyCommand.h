// "C source destination": stages one file under its destination name.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"
#include "installer/engine/RunningEntry.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/InstallRun.h"

// Resolves the source from the medium (or the kept media directory in uninstall
// mode) where source paths of script commands live: install mode JoinPath
// (InstallDiskPath, source); uninstall mode the source's file name in the kept media
// directory VersionDownRoot\UninstallGroupName\RunMediaNo.
std::string ResolveMediumSource(const InstallEnvironment& env, const InstallRun& run,
                                const RunningEntry& entry, const std::string& source);

// `line` is upper-cased and blank-collapsed. The source is the text between the first
// and second blank, the destination everything after the second blank. The
// destination is split into directory (ending in "\", created with its parents) and
// file name; an empty file name takes the source's name. The source is copied to
// ExtractDir\name with its read-only attribute cleared.
// A source whose file name holds "*" or "?" stages every matching plain file under
// its own name (the destination's file name is then not used).
// Result: 0 with the destination directory; -13 when the line lacks a source or a
// destination, the destination's directory is not a full path ("C:\..." or
// "\\server\..."; nothing is created then), the source does not exist / nothing
// matches, or the staging copy fails (the destination is still returned). A
// directory not given in full would be taken against whatever the current directory
// happens to be, and the D line that undoes the copy would be refused.
CommandResult CopyCommand(const InstallEnvironment& env, const InstallRun& run,
                          const RunningEntry& entry, const std::string& line);
