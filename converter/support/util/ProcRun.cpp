// Child programs of the converter.
//
// The converter starts its analyser with a command line it builds itself; the platform's
// StartProcess resolves the program and splits the line exactly as CreateProcess and the
// child's C runtime would. Detached, the child cannot read the converter's terminal or
// keep its descriptors (a pipe to the database manager) open after the converter ends.
#include "support/util/ProcRun.h"

#include <string>

#include "platform/Process.h"

int Proc_Run(std::string_view commandLine, bool wait, std::int32_t& exitCode) {
    if (commandLine.data() == nullptr || commandLine.empty()) return kProcNoCommandLine;
    platform::ProcessStart start;
    start.commandLine = std::string(commandLine);
    start.detached = true;
    platform::ChildProcess child;
    if (platform::StartProcess(start, child) != platform::kErrorSuccess) return kProcStartFailed;
    exitCode = wait ? child.Wait() : 0;
    return 0;
}
