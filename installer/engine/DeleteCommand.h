// "D directory\pattern": stages and deletes the matching plain files.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"

// Everything after the first blank is split at its last "\" (or ":") into the
// directory and a DOS pattern. Every plain file that matches is copied into
// ExtractDir (for the backup step) and then deleted. 1, with the directory (ending
// in "\") as destination; no match is not an error. -13 (nothing deleted) when the
// directory is not a full path ("D *.TMP", "D SUB\*.TMP", "D \*.TMP", "D C:*.TMP"):
// it would be resolved against whatever the current directory happens to be.
CommandResult DeleteCommand(const std::string& line);
