// Child processes, started as CreateProcess starts them.
//
// The program is `applicationName` when given, else the first token of the command
// line (Windows quoting rules). ".EXE" is tried when the name has no extension; a
// name without a folder is searched in the running program's own folder, the current
// folder, C:\WINDOWS\SYSTEM32, C:\WINDOWS, then the folders of PATH. The host program
// receives the command line split by the Windows rules (converted to UTF-8) as argv,
// and the exact line (code page 932 bytes) in the environment variable MORVAN_CMDLINE.
// The exit status reads as a signed 8-bit value: exit(-1) reads -1. The text rules of
// command lines are in CommandLine.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinError.h"

namespace platform {

struct ProcessStart {
    std::string applicationName;   // Windows path; empty = taken from the command line
    std::string commandLine;       // Windows command line, code page 932
    std::string currentDirectory;  // Windows path; empty = the caller's
    bool detached = false;         // own session, no terminal, standard input from /dev/null
};

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();  // a child still running is left running (as closing a handle does)

    [[nodiscard]] bool started() const { return pid_ > 0; }
    // Waits until the child has ended (without limit) and returns its exit code.
    [[nodiscard]] std::int32_t Wait();
    // Waits at most `milliseconds`; true when the child has ended (exit code in `code`).
    [[nodiscard]] bool WaitFor(int milliseconds, std::int32_t& code);

  private:
    friend WinError StartProcess(const ProcessStart&, ChildProcess&);
    int pid_ = -1;
    bool ended_ = false;
    std::int32_t exitCode_ = 0;
};

// Starts the child. 0 on success; 2 program not found, 3 folder not found, 5 not
// executable, 193 not a program the host can run, 123 invalid name.
[[nodiscard]] WinError StartProcess(const ProcessStart& start, ChildProcess& child);

// Resolves the program that StartProcess would run to its Windows path.
[[nodiscard]] WinError FindProgram(const ProcessStart& start, std::string& windowsPath);

}  // namespace platform
