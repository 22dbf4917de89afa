#include "installer/engine/ListFileCommand.h"

CommandResult ListFileCommand(const std::string& line) {
    (void)line;
    return CommandResult{-13, ""};
}

void MergeListFile(const std::string& sourceDir, const std::string& name) {
    (void)sourceDir;
    (void)name;
}

void PurgeListFile(const std::string& sourceDir, const std::string& name) {
    (void)sourceDir;
    (void)name;
}
