// "D directory\pattern": stages the matching plain files; the executor deletes them
// once the backup step has saved them.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"
#include "installer/env/InstallEnvironment.h"

// Everything after the first blank is split at its last "\" (or ":") into the
// directory and a DOS pattern. Every plain file that matches is copied into
// ExtractDir (for the backup step); nothing is deleted here. 1, with the directory
// (ending in "\") as destination; no match is not an error. -13 (nothing staged) when
// the directory is not a full path ("D *.TMP", "D SUB\*.TMP", "D \*.TMP", "D C:*.TMP"):
// it would be resolved against whatever the current directory happens to be; -13 also
// when a matching file could not be staged.
CommandResult DeleteCommand(const InstallEnvironment& env, const std::string& line);

// The change of a D command: deletes from `destination` (ending in "\") every plain
// file staged in ExtractDir, that is, exactly the files the backup step saved. True
// when each is gone (one already gone counts); false at the first that stays.
[[nodiscard]] bool DeleteStagedFiles(const InstallEnvironment& env, const std::string& destination);
