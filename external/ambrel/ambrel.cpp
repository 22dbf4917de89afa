// Ambrel, the database-manager server: serves \PIPE\DBMAN with one thread per
// connection over the request handling of AmbrelServer.
//
//   Ambrel          serve until SIGTERM/SIGINT or a stop request; exit 0.
//   Ambrel --stop   send the stop request to the running server; exit 0, or 1 when no
//                   server answers.
// A second server on the same prefix exits at once with exit code 2.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "MonitorLog.h"
#include "ambrel/AmbrelServer.h"
#include "platform/NamedPipe.h"

namespace {

constexpr std::string_view kPipeName = "\\PIPE\\DBMAN";

int SendStop() {
    platform::PipeHandle pipe = platform::kInvalidPipeHandle;
    if (platform::CreateFilePipe(kPipeName, pipe) != 0) {
        std::fprintf(stderr, "Ambrel: no server answers on \\PIPE\\DBMAN\n");
        return 1;
    }
    ambrel::Message message{};
    message[0] = static_cast<std::uint8_t>(ambrel::kStopCommand & 0xFF);
    message[1] = static_cast<std::uint8_t>((ambrel::kStopCommand >> 8) & 0xFF);
    std::uint32_t done = 0;
    platform::WinError error = platform::WriteFilePipe(pipe, message.data(), message.size(), done);
    if (error == 0) error = platform::ReadFilePipe(pipe, message.data(), message.size(), done);
    platform::CloseHandlePipe(pipe);
    if (error != 0) {
        std::fprintf(stderr, "Ambrel: the stop request failed (error %u)\n", error);
        return 1;
    }
    return 0;
}

// Serves one connection until the client's end closes (reading until 109 so that no
// request of a client is lost), then ends its bracket if it left one open.
void Serve(platform::PipeHandle pipe, ambrel::Server& server, platform::PipeServer& listener) {
    ambrel::Connection connection = server.NewConnection();
    std::vector<std::uint8_t> buffer(platform::kPipeMaxMessage);
    std::vector<std::uint8_t> request;
    std::vector<ambrel::Message> replies;
    for (;;) {
        request.clear();
        platform::WinError error = 0;
        std::uint32_t got = 0;
        do {
            error = platform::ReadFilePipe(pipe, buffer.data(),
                                           static_cast<std::uint32_t>(buffer.size()), got);
            // A message longer than the buffer is refused anyway: keep a bounded prefix.
            if ((error == 0 || error == platform::kErrorMoreData) &&
                request.size() < platform::kPipeMaxMessage)
                request.insert(request.end(), buffer.begin(), buffer.begin() + got);
        } while (error == platform::kErrorMoreData);
        if (error == platform::kErrorInvalidData) continue;  // bytes of no writer: dropped
        if (error != 0) break;
        replies.clear();
        const bool stop = server.Handle(connection, request, replies);
        for (const auto& reply : replies) {
            std::uint32_t written = 0;
            if (platform::WriteFilePipe(pipe, reply.data(), reply.size(), written) != 0) break;
        }
        if (stop) listener.Close();
    }
    server.Disconnect(connection);
    platform::CloseHandlePipe(pipe);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--stop") == 0) return SendStop();
    if (argc != 1) {
        std::fprintf(stderr, "usage: Ambrel [--stop]\n");
        return 1;
    }
    // The stop signals are taken by one thread with sigwait; every other thread
    // inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    platform::PipeServer listener;
    const platform::WinError created = listener.Create(kPipeName, 255);
    if (created == platform::kErrorAccessDenied) {
        std::fprintf(stderr, "Ambrel: another server already serves \\PIPE\\DBMAN\n");
        return 2;
    }
    if (created != 0) {
        std::fprintf(stderr, "Ambrel: cannot create \\PIPE\\DBMAN (error %u)\n", created);
        return 1;
    }
    ambrel::Server server(ambrel::SendMonitorLine);
    ambrel::SendMonitorLine("Ambrel: started");
    std::thread([&] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        listener.Close();
    }).detach();

    for (;;) {
        platform::PipeHandle pipe = platform::kInvalidPipeHandle;
        const platform::WinError error = listener.Accept(pipe);
        if (error == platform::kErrorOperationAborted) break;
        if (error != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        std::thread(Serve, pipe, std::ref(server), std::ref(listener)).detach();
    }
    ambrel::SendMonitorLine("Ambrel: stopped");
    // Every change of a finished bracket or request is on disk; an unfinished bracket's
    // changes are dropped, as when the client had gone. Connection threads may still be
    // blocked in a read, so the process ends without unwinding them.
    std::fflush(nullptr);
    std::_Exit(0);
}
