#include "installer/engine/ArchiveCommand.h"

CommandResult ExtractArchiveCommand(const std::string& line) {
    (void)line;
    return CommandResult{-13, ""};
}
