// pdmmon: the debug monitor. Serves the pipe \\.\PIPE\DBGPRT\PDMMON of the prefix and
// prints every line that programs send to it (one NUL-terminated line per connection)
// on standard output in UTF-8, as it comes.
//
// Writers must never wait on the monitor: the pipe has unlimited instances, one thread
// accepts connections as fast as they come and every connection is read by a thread of
// its own to its end. The LineSequencer puts the lines out in the order the connections
// came, so a program's log reads in the order it was written.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "LineSequencer.h"
#include "MonitorOptions.h"
#include "platform/AtomicWrite.h"
#include "platform/Cp932.h"
#include "platform/NamedPipe.h"
#include "platform/Prefix.h"
#include "platform/UniqueFd.h"

namespace {

constexpr const char* kPipeName = "\\\\.\\PIPE\\DBGPRT\\PDMMON";
// A line that never ends is put out in pieces of this size, so a hostile or broken
// writer cannot make the monitor hold an unbounded line.
constexpr std::size_t kMaxLine = 65536;
// How long the oldest open connection may hold back the lines of later ones.
constexpr auto kOrderGrace = std::chrono::milliseconds(250);

// What the threads share with main: the end of the run.
struct RunState {
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;        // a signal asked to stop
    unsigned long lines = 0;  // lines put out
    bool countReached = false;
};

RunState g_run;

void Notify(const std::function<void()>& change) {
    {
        std::lock_guard lock(g_run.mutex);
        change();
    }
    g_run.changed.notify_all();
}

// Puts out one line: UTF-8 on standard output, the raw bytes in the -o file. Lines past
// the --count are dropped: the run ends with exactly that many.
class LineOutput {
  public:
    // `copyFd`: the -o file, or -1; owned by the caller.
    LineOutput(int copyFd, std::optional<unsigned long> count) : copyFd_(copyFd), count_(count) {}

    void operator()(std::string_view line) {
        if (count_ && emitted_ >= *count_) return;
        // Each line goes out with one write of its own, so nothing waits in a buffer.
        (void)platform::WriteAll(STDOUT_FILENO, platform::Cp932ToUtf8Lossy(line));
        if (copyFd_ >= 0) (void)platform::WriteAll(copyFd_, line);
        ++emitted_;
        unsigned long emitted = emitted_;
        bool reached = count_ && emitted >= *count_;
        Notify([&] {
            g_run.lines = emitted;
            g_run.countReached = reached;
        });
    }

  private:
    int copyFd_;
    std::optional<unsigned long> count_;
    unsigned long emitted_ = 0;
};

// Reads one connection to its end. Its bytes are one stream of NUL-terminated lines;
// usually one message holding one line.
void ReadConnection(platform::PipeHandle connection, std::uint64_t id, LineSequencer& sequencer) {
    std::vector<char> buffer(platform::kPipeMaxMessage);
    std::string pending;
    for (;;) {
        std::uint32_t got = 0;
        platform::WinError error = platform::ReadFilePipe(
            connection, buffer.data(), static_cast<std::uint32_t>(buffer.size()), got);
        if (error != platform::kErrorSuccess && error != platform::kErrorMoreData) break;
        pending.append(buffer.data(), got);
        // A NUL is never the trail byte of a code page 932 character, so a plain search
        // finds every terminator, even one right after a broken lead byte.
        std::size_t start = 0;
        for (std::size_t nul; (nul = pending.find('\0', start)) != std::string::npos;
             start = nul + 1) {
            sequencer.Line(id, pending.substr(start, nul - start));
        }
        pending.erase(0, start);
        while (pending.size() > kMaxLine) {
            std::string piece = platform::CutToBytes(pending, kMaxLine);
            pending.erase(0, piece.size());
            sequencer.Line(id, std::move(piece));
        }
    }
    if (!pending.empty()) sequencer.Line(id, std::move(pending));
    platform::CloseHandlePipe(connection);
    sequencer.Done(id);
}

void AcceptLoop(platform::PipeServer& server, LineSequencer& sequencer) {
    for (;;) {
        platform::PipeHandle connection = platform::kInvalidPipeHandle;
        platform::WinError error = server.Accept(connection);
        if (error == platform::kErrorOperationAborted) return;
        if (error != platform::kErrorSuccess) {
            // Out of descriptors or a passing failure: try again shortly, never give up
            // listening.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        std::uint64_t id = sequencer.Open();
        try {
            std::thread(ReadConnection, connection, id, std::ref(sequencer)).detach();
        } catch (const std::system_error&) {
            // No thread to be had: read this one here rather than lose it.
            ReadConnection(connection, id, sequencer);
        }
    }
}

// SIGINT, SIGTERM and SIGHUP end the run as a time-out does. They are blocked in every
// thread and taken by this one.
void WaitForSignals(sigset_t signals) {
    int taken = 0;
    if (sigwait(&signals, &taken) == 0) Notify([] { g_run.stop = true; });
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "pdmmon: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    MonitorOptions options;
    std::string error;
    if (!ParseMonitorOptions(argc, argv, options, error)) {
        return Fail(error + " (see pdmmon --help)");
    }
    if (options.help) {
        std::fputs(MonitorUsage(), stdout);
        return 0;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    platform::UniqueFd copy;
    if (!options.outputFile.empty()) {
        copy.Reset(
            ::open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (!copy) {
            return Fail("cannot open '" + options.outputFile + "': " + std::strerror(errno));
        }
    }

    const std::string& prefix = platform::PrefixDir();
    platform::PipeServer server;
    platform::WinError created = server.Create(kPipeName, 255);
    if (created == platform::kErrorAccessDenied) {
        return Fail(std::string("another monitor is already listening on ") + kPipeName +
                    " (prefix " + prefix + ")");
    }
    if (created != platform::kErrorSuccess) {
        return Fail(std::string("cannot listen on ") + kPipeName + " (prefix " + prefix +
                    "): Windows error " + std::to_string(created));
    }
    std::fprintf(stderr, "pdmmon: listening on %s (prefix %s)\n", kPipeName, prefix.c_str());
    std::fflush(stderr);

    LineSequencer sequencer(LineOutput(copy.Get(), options.count), kOrderGrace);
    std::thread(WaitForSignals, signals).detach();
    std::thread(AcceptLoop, std::ref(server), std::ref(sequencer)).detach();

    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> deadline;
    if (options.timeoutSeconds) {
        deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(*options.timeoutSeconds));
    }
    for (;;) {
        sequencer.Tick();
        std::unique_lock lock(g_run.mutex);
        if (g_run.stop || g_run.countReached) break;
        if (deadline && Clock::now() >= *deadline) break;
        g_run.changed.wait_for(lock, std::chrono::milliseconds(20));
    }

    // No new connections from here on; lines already read are put out before leaving.
    server.Close();
    sequencer.Flush();
    int code = 0;
    {
        std::lock_guard lock(g_run.mutex);
        if (options.count && g_run.lines < *options.count) code = 1;
    }
    std::fflush(stdout);
    // Readers may still be blocked on open connections; leaving without running the
    // destructors of what they use is the clean way out for them.
    std::_Exit(code);
}
