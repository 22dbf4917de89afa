// "D directory\pattern": stages and deletes the matching plain files.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"

CommandResult DeleteCommand(const std::string& line);
