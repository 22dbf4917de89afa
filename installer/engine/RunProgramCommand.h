// "X program [\"arguments\"]": runs a program detached and waits for it.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"

CommandResult RunProgramCommand(const std::string& line);
