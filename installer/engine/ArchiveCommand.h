// "L archive directory": extracts an LZH archive into the staging directory.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"

CommandResult ExtractArchiveCommand(const std::string& line);
