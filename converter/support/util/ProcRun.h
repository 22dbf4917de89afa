// Running a child program from a Windows command line.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr int kProcNoCommandLine = -9446;
inline constexpr int kProcStartFailed = -9447;

// Starts `commandLine` (code page 932; the program is its first token, found as
// CreateProcess finds it) as a detached process: its own session, no terminal, standard
// input from the null device, no inherited descriptors, normal priority. With `wait`,
// waits without limit for its end and sets `exitCode` to its exit code (signed: exit(-1)
// reads -1); without, `exitCode` is 0 and the child runs on by itself.
// 0; -9446 when `commandLine` is null or empty (`exitCode` untouched); -9447 when the
// program cannot be started (missing, not executable; `exitCode` untouched).
int Proc_Run(std::string_view commandLine, bool wait, std::int32_t& exitCode);
