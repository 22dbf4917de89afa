#include "installer/util/ChildProcesses.h"

#include "platform/Cp932.h"
#include "platform/Process.h"

namespace {

// Waits on the process itself rather than polling its exit code against the
// still-active value, so a child that ends with 259 is not taken for a running one.
std::int32_t StartAndWait(const platform::ProcessStart& start) {
    platform::ChildProcess child;
    const platform::WinError error = platform::StartProcess(start, child);
    if (error != 0) return static_cast<std::int32_t>(error);
    return child.Wait();
}

}  // namespace

std::int32_t RunAndWait(const std::string& program, const std::string& commandLine) {
    platform::ProcessStart start;
    start.applicationName = program;
    start.commandLine = commandLine;
    return StartAndWait(start);
}

std::int32_t RunDetachedAndWait(const std::string& program, const std::string& commandLine,
                                const std::string& currentDirectory) {
    platform::ProcessStart start;
    start.applicationName = program;
    start.commandLine = commandLine;
    start.currentDirectory = currentDirectory;
    start.detached = true;
    return StartAndWait(start);
}

std::string RemoveTreeCommandLine(const std::string& dir) {
    // A blank is never the trail byte of a double-byte character, but the search goes
    // through the code page's helper all the same.
    const bool quote = platform::FindCharDbcs(dir, ' ') != std::string::npos;
    return "COMMAND /C RMDIR /S/Q " + (quote ? "\"" + dir + "\"" : dir);
}
