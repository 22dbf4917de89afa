// "L archive directory": extracts an LZH archive into the staging directory.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"
#include "installer/engine/RunningEntry.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/InstallRun.h"

// Extracts the archive (resolved as C resolves its source) with the archiver into
// ExtractDir. 0 with the directory (ending in "\"); -13 when the line lacks a field,
// the directory is not a full path (nothing is created then), the archive cannot be
// copied or the archiver fails.
CommandResult ExtractArchiveCommand(const InstallEnvironment& env, const InstallRun& run,
                                    const RunningEntry& entry, const std::string& line);
