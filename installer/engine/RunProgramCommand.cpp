#include "installer/engine/RunProgramCommand.h"

#include "installer/util/ChildProcesses.h"

std::string ProgramCommandLine(const std::string& line) {
    std::size_t start = line.empty() ? 0 : 1;
    while (start < line.size() && line[start] == ' ') ++start;
    std::string rest = line.substr(start);

    std::string program = rest;
    std::string arguments;
    // A double quote (0x22) is never the trail byte of a double-byte character.
    std::size_t quote = rest.find('"');
    if (quote != std::string::npos) {
        program = quote > 0 ? rest.substr(0, quote - 1) : std::string();
        std::size_t close = rest.find('"', quote + 1);
        arguments = close == std::string::npos ? rest.substr(quote + 1)
                                               : rest.substr(quote + 1, close - quote - 1);
    }
    if (program.empty()) return std::string();
    return program + " " + arguments;
}

CommandResult RunProgramCommand(const InstallEnvironment& env, const std::string& line) {
    CommandResult result;
    std::string commandLine = ProgramCommandLine(line);
    // An X line without a program cannot start anything: the start failure a
    // Windows system reports for an empty name (2, file not found), which lets the
    // job go on as for any program that cannot be started.
    result.code = commandLine.empty() ? 2 : RunDetachedAndWait("", commandLine, env.ToolsDir);
    return result;
}
