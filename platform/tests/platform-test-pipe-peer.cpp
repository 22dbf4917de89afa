// platform-test-pipe-peer: the other process of the named-pipe tests. It finds the
// pipes through $MORVAN_PREFIX, as every program of the prefix does.
//
//   echo NAME INSTANCES   serve NAME with INSTANCES instances; print "ready" on stdout
//                         once the pipe exists; send every message back on the
//                         connection it came from until the client closes; never ends
//                         (the test kills it)
//   send NAME SIZE...     open NAME (waiting while it is busy) and write one test
//                         message of each SIZE (PipePattern), then close
//   lines NAME COUNT TAG  COUNT times: open NAME (waiting while busy), write the line
//                         "TAG <i>", close, as a program that logs one line per
//                         connection does
//
// Exit status 0, or the Windows code of the first failure (capped at 255).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PipePeer.h"
#include "platform/NamedPipe.h"

namespace {

using platform::PipeHandle;
using platform::WinError;

int Fail(WinError e) { return e == 0 ? 0 : (e > 255 ? 255 : static_cast<int>(e)); }

// Opens a pipe as a client that waits for a free instance: busy → wait → open again.
WinError OpenWaiting(const std::string& name, PipeHandle& handle) {
    for (;;) {
        WinError e = platform::CreateFilePipe(name, handle);
        if (e != platform::kErrorPipeBusy) return e;
        e = platform::WaitNamedPipeA(name, platform::kPipeWaitForever);
        if (e != 0) return e;
    }
}

int Echo(const std::string& name, unsigned instances) {
    platform::PipeServer server;
    if (WinError e = server.Create(name, instances); e != 0) return Fail(e);
    std::printf("ready\n");
    std::fflush(stdout);
    std::vector<char> buffer(platform::kPipeMaxMessage);
    for (;;) {
        PipeHandle connection;
        if (WinError e = server.Accept(connection); e != 0) return Fail(e);
        for (;;) {
            std::uint32_t got = 0, put = 0;
            if (platform::ReadFilePipe(connection, buffer.data(),
                                       static_cast<std::uint32_t>(buffer.size()), got) != 0)
                break;
            if (platform::WriteFilePipe(connection, buffer.data(), got, put) != 0) break;
        }
        platform::CloseHandlePipe(connection);
    }
}

int Send(const std::string& name, int argc, char** argv) {
    PipeHandle handle;
    if (WinError e = OpenWaiting(name, handle); e != 0) return Fail(e);
    for (int i = 0; i < argc; ++i) {
        std::string message = platform::test::PipePattern(std::strtoul(argv[i], nullptr, 10));
        std::uint32_t put = 0;
        WinError e = platform::WriteFilePipe(handle, message.data(),
                                             static_cast<std::uint32_t>(message.size()), put);
        if (e != 0) return Fail(e);
    }
    return Fail(platform::CloseHandlePipe(handle));
}

int Lines(const std::string& name, int count, const std::string& tag) {
    for (int i = 0; i < count; ++i) {
        PipeHandle handle;
        if (WinError e = OpenWaiting(name, handle); e != 0) return Fail(e);
        std::string line = tag + " " + std::to_string(i);
        std::uint32_t put = 0;
        WinError e = platform::WriteFilePipe(handle, line.data(),
                                             static_cast<std::uint32_t>(line.size()), put);
        platform::CloseHandlePipe(handle);
        if (e != 0) return Fail(e);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 254;
    const std::string mode = argv[1], name = argv[2];
    if (mode == "echo" && argc == 4) return Echo(name, static_cast<unsigned>(std::atoi(argv[3])));
    if (mode == "send") return Send(name, argc - 3, argv + 3);
    if (mode == "lines" && argc == 5) return Lines(name, std::atoi(argv[3]), argv[4]);
    return 254;
}
