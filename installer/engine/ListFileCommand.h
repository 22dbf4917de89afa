// "A list directory" / "P list directory": adds or removes the lines of a list file,
// the installed package list included.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"

CommandResult ListFileCommand(const std::string& line);
// Line operations on the staged target ExtractDir + "\" + name.
void MergeListFile(const std::string& sourceDir, const std::string& name);
void PurgeListFile(const std::string& sourceDir, const std::string& name);
