// The raw pipe rate of the benchmarks. The echo server is a fork of the benchmark
// itself, so the figure is the pipe's alone: no parsing, no file, one message back for
// each message in, as the database manager answers every request.
#include "RawPipeRate.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/NamedPipe.h"
#include "platform/UniqueFd.h"

namespace bench {

namespace {

constexpr std::string_view kEchoPipe = "\\\\.\\PIPE\\DBBENCH";

// The echo server: one instance, every message written back as it came.
[[noreturn]] void ServeEcho(platform::UniqueFd ready) {
    platform::PipeServer server;
    const char state = server.Create(kEchoPipe, 1) == 0 ? 'r' : 'x';
    (void)!write(ready.Get(), &state, 1);
    ready.Reset();
    std::vector<char> buffer(platform::kPipeMaxMessage);
    for (platform::PipeHandle connection; state == 'r' && server.Accept(connection) == 0;) {
        std::uint32_t got = 0, put = 0;
        while (platform::ReadFilePipe(connection, buffer.data(), platform::kPipeMaxMessage, got) ==
                   0 &&
               platform::WriteFilePipe(connection, buffer.data(), got, put) == 0) {
        }
        platform::CloseHandlePipe(connection);
    }
    _exit(1);
}

}  // namespace

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void Figures::KeepBest(const Figures& run) {
    perSecond = std::max(perSecond, run.perSecond);
    if (run.cpuMicros > 0 && (cpuMicros == 0 || run.cpuMicros < cpuMicros))
        cpuMicros = run.cpuMicros;
}

pid_t StartEcho() {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    platform::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    const pid_t pid = fork();
    if (pid == 0) {
        readEnd.Reset();
        ServeEcho(std::move(writeEnd));
    }
    writeEnd.Reset();
    char state = 0;
    if (pid > 0 && (read(readEnd.Get(), &state, 1) != 1 || state != 'r')) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

void StopEcho(pid_t echo) {
    if (echo <= 0) return;
    kill(echo, SIGKILL);
    waitpid(echo, nullptr, 0);
}

Figures RawRate(long rounds) {
    platform::PipeHandle handle = platform::kInvalidPipeHandle;
    for (platform::WinError e; (e = platform::CreateFilePipe(kEchoPipe, handle)) != 0;) {
        if (e != platform::kErrorPipeBusy ||
            platform::WaitNamedPipeA(kEchoPipe, platform::kPipeWaitForever) != 0)
            return {};
    }
    char out[kMessageBytes] = {27};
    char in[kMessageBytes];
    auto exchanges = [&](long n) {
        for (long i = 0; i < n; ++i) {
            std::uint32_t put = 0, got = 0;
            if (platform::WriteFilePipe(handle, out, kMessageBytes, put) != 0 ||
                platform::ReadFilePipe(handle, in, kMessageBytes, got) != 0 || got != kMessageBytes)
                return false;
        }
        return true;
    };
    Figures figures;
    if (exchanges(1000))
        figures = Timed(static_cast<double>(rounds), [&] { return exchanges(rounds); });
    platform::CloseHandlePipe(handle);
    return figures;
}

}  // namespace bench
