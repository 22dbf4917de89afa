// Round-trip figures of the named pipes: a 740-byte message written by this process,
// read and written back by an echo server in another process, and read here again.
// The floor is the same exchange over a plain SOCK_SEQPACKET socket pair between two
// processes; the figure that matters is the ratio of the two. Each measurement runs
// five times, interleaved, and the best run counts (the machine is shared).
//
// Run by hand: platform-bench-pipe [ROUNDS]   (default 100000)
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/NamedPipe.h"
#include "platform/Prefix.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t kMessage = 740;
constexpr const char* kPipeName = "\\\\.\\PIPE\\BENCH";

// ---- the other process -------------------------------------------------------------

int EchoSocket(int fd) {
    char buffer[4096];
    for (;;) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0 || send(fd, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) return 0;
    }
}

int EchoPipe() {
    platform::PipeServer server;
    if (server.Create(kPipeName, 1) != 0) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    std::vector<char> buffer(platform::kPipeMaxMessage);
    for (;;) {
        platform::PipeHandle connection;
        if (server.Accept(connection) != 0) return 1;
        std::uint32_t got = 0, put = 0;
        while (platform::ReadFilePipe(connection, buffer.data(),
                                      static_cast<std::uint32_t>(buffer.size()), got) == 0 &&
               platform::WriteFilePipe(connection, buffer.data(), got, put) == 0) {
        }
        platform::CloseHandlePipe(connection);
    }
}

// ---- measurements ------------------------------------------------------------------

// Round trips per second, and the CPU time this process spent per round trip (user and
// system): the second figure hardly depends on what else the machine runs.
struct Figures {
    double perSecond = 0;
    double cpuMicros = 0;
};

double CpuSeconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Exchange>
Figures Timed(long rounds, Exchange exchange) {
    for (int i = 0; i < 1000; ++i) {
        if (!exchange()) return {};
    }
    double cpu0 = CpuSeconds();
    auto t0 = Clock::now();
    for (long done = 0; done < rounds; ++done) {
        if (!exchange()) return {};
    }
    auto t1 = Clock::now();
    double cpu1 = CpuSeconds();
    return {static_cast<double>(rounds) / std::chrono::duration<double>(t1 - t0).count(),
            (cpu1 - cpu0) * 1e6 / static_cast<double>(rounds)};
}

Figures SocketPairRounds(long rounds) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return {};
    // The echo side is started as the pipe's server is (fork and exec), so both
    // measurements place their processes alike.
    pid_t child = fork();
    if (child == 0) {
        dup2(pair[1], STDIN_FILENO);
        execl("/proc/self/exe", "platform-bench-pipe", "--echo-socket",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pair[1]);
    char out[kMessage] = {1, 2, 3};
    char in[kMessage];
    Figures figures = Timed(rounds, [&] {
        return send(pair[0], out, kMessage, 0) == kMessage &&
               recv(pair[0], in, kMessage, 0) == kMessage;
    });
    close(pair[0]);
    waitpid(child, nullptr, 0);
    return figures;
}

// Opens the pipe as the client's pipe layer does: a busy instance (the server has not
// closed the last connection yet) is waited for.
bool OpenPipe(platform::PipeHandle& handle) {
    for (;;) {
        platform::WinError e = platform::CreateFilePipe(kPipeName, handle);
        if (e == 0) return true;
        if (e != platform::kErrorPipeBusy ||
            platform::WaitNamedPipeA(kPipeName, platform::kPipeWaitForever) != 0) {
            return false;
        }
    }
}

// Held-connection round trips; with `flush` every write is followed by the flush that
// the converter's pipe layer makes after each write.
Figures PipeRounds(long rounds, bool flush) {
    platform::PipeHandle handle;
    if (!OpenPipe(handle)) return {};
    char out[kMessage] = {1, 2, 3};
    char in[kMessage];
    Figures figures = Timed(rounds, [&] {
        std::uint32_t put = 0, got = 0;
        return platform::WriteFilePipe(handle, out, kMessage, put) == 0 &&
               (!flush || platform::FlushFileBuffersPipe(handle) == 0) &&
               platform::ReadFilePipe(handle, in, kMessage, got) == 0 && got == kMessage;
    });
    platform::CloseHandlePipe(handle);
    return figures;
}

// One connection per request, as the database client makes them outside an update.
Figures ConnectRounds(long rounds) {
    char out[kMessage] = {1, 2, 3};
    char in[kMessage];
    return Timed(rounds, [&] {
        platform::PipeHandle handle;
        std::uint32_t put = 0, got = 0;
        if (!OpenPipe(handle)) return false;
        bool ok = platform::WriteFilePipe(handle, out, kMessage, put) == 0 &&
                  platform::ReadFilePipe(handle, in, kMessage, got) == 0;
        platform::CloseHandlePipe(handle);
        return ok;
    });
}

// Starts this program as the echo server of the pipe and waits for its "ready".
pid_t StartPipeServer() {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        dup2(ready[1], STDOUT_FILENO);
        close(ready[0]);
        close(ready[1]);
        execl("/proc/self/exe", "platform-bench-pipe", "--echo-pipe", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char line[16] = {};
    ssize_t n = read(ready[0], line, sizeof line - 1);
    close(ready[0]);
    if (n <= 0 || std::strncmp(line, "ready", 5) != 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--echo-pipe") == 0) return EchoPipe();
    if (argc > 1 && std::strcmp(argv[1], "--echo-socket") == 0) return EchoSocket(STDIN_FILENO);
    const long rounds = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100000;

    std::string templ = (fs::temp_directory_path() / "morvan-bench-XXXXXX").string();
    if (!mkdtemp(templ.data())) return 1;
    setenv("MORVAN_PREFIX", templ.c_str(), 1);
    platform::ResetPrefixForTesting();
    pid_t server = StartPipeServer();
    if (server < 0) {
        std::fprintf(stderr, "the echo server did not start\n");
        fs::remove_all(templ);
        return 1;
    }

    Figures floor, held, flushed, connected;
    auto best = [](Figures& kept, const Figures& run) {
        if (run.perSecond > kept.perSecond) kept.perSecond = run.perSecond;
        if (run.cpuMicros > 0 && (kept.cpuMicros == 0 || run.cpuMicros < kept.cpuMicros)) {
            kept.cpuMicros = run.cpuMicros;
        }
    };
    std::printf(
        "%ld round trips of %u bytes, five runs each (per second, client CPU us per round trip):\n",
        rounds, kMessage);
    for (int run = 0; run < 5; ++run) {
        Figures f = SocketPairRounds(rounds), p = PipeRounds(rounds, false);
        Figures q = PipeRounds(rounds, true), c = ConnectRounds(rounds / 10);
        std::printf(
            "  run %d: socket pair %7.0f %5.2f  pipe %7.0f %5.2f  pipe+flush %7.0f %5.2f  "
            "connect per request %6.0f %5.1f\n",
            run + 1, f.perSecond, f.cpuMicros, p.perSecond, p.cpuMicros, q.perSecond, q.cpuMicros,
            c.perSecond, c.cpuMicros);
        best(floor, f);
        best(held, p);
        best(flushed, q);
        best(connected, c);
    }
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    fs::remove_all(templ);

    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("best: socket pair (floor)    %8.0f round trips/s, %5.2f us CPU each\n",
                floor.perSecond, floor.cpuMicros);
    std::printf(
        "      named pipe             %8.0f round trips/s, %5.2f us CPU each   floor/pipe = %.2f "
        "(CPU %.2f)\n",
        held.perSecond, held.cpuMicros, ratio(floor.perSecond, held.perSecond),
        ratio(held.cpuMicros, floor.cpuMicros));
    std::printf(
        "      named pipe with flush  %8.0f round trips/s, %5.2f us CPU each   floor/pipe = %.2f "
        "(CPU %.2f)\n",
        flushed.perSecond, flushed.cpuMicros, ratio(floor.perSecond, flushed.perSecond),
        ratio(flushed.cpuMicros, floor.cpuMicros));
    std::printf("      connect, exchange, close %6.0f requests/s, %5.1f us CPU each\n",
                connected.perSecond, connected.cpuMicros);
    return floor.perSecond > 0 && held.perSecond > 0 && flushed.perSecond > 0 &&
                   connected.perSecond > 0
               ? 0
               : 1;
}
