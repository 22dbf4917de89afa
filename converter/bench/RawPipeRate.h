// What the converter's benchmarks share: the clocks, and the raw rate of the named pipe
// that every figure of the database-manager exchange is set against.
//
// Raw rate: round trips of one 740-byte message (the size of a request) through the
// platform's named pipe to an echo server in another process (write, read back) over a
// held connection. StartEcho forks that server; RawRate measures `rounds` round trips
// after 1000 for warming up; StopEcho ends the server.
#pragma once

#include <sys/types.h>

#include <cstdint>

namespace bench {

inline constexpr std::uint32_t kMessageBytes = 740;

// The monotonic clock in seconds (<chrono> cannot be compiled to code page 932).
[[nodiscard]] double Now();
// CPU time of this process (user and system): it hardly depends on what else runs.
[[nodiscard]] double CpuSeconds();

// A rate, and this process's CPU time per unit of it in microseconds.
struct Figures {
    double perSecond = 0;
    double cpuMicros = 0;
    void KeepBest(const Figures& run);
};

// Times `units` units of work done by `work` (false: it failed, and so does the figure).
template <typename Work>
Figures Timed(double units, Work work) {
    const double cpu = CpuSeconds(), start = Now();
    if (!work()) return {};
    const double seconds = Now() - start;
    return {units / seconds, (CpuSeconds() - cpu) * 1e6 / units};
}

// Forks the echo server and waits until its pipe exists; -1 when it could not start.
// Needs MORVAN_PREFIX set (the pipe is one of the prefix).
[[nodiscard]] pid_t StartEcho();
// Ends the echo server (a pid <= 0 is ignored).
void StopEcho(pid_t echo);
// Round trips over one held connection; zero figures when the pipe failed. The single
// instance may still be held by the previous run's connection: it is waited for.
[[nodiscard]] Figures RawRate(long rounds);

}  // namespace bench
