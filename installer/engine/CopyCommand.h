// "C source destination": stages one file under its destination name.
#pragma once
#include <string>
#include "installer/engine/CommandResult.h"

// Resolves the source from the medium (or the kept media directory in uninstall
// mode) where source paths of script commands live.
std::string ResolveMediumSource(const std::string& source);

CommandResult CopyCommand(const std::string& line);
