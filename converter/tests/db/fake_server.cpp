// A stand-in database-manager server for the start tests: serves \PIPE\DBMAN until it
// has answered a close (command 2), at most 20 seconds, answering each request with one 740-byte
// reply that echoes it (the open's reply names the pipe in the session copy and reports success; 13
// and 14 end at once). With DBC_SERVER_SILENT set it only waits, never creating the pipe.
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/NamedPipe.h"
#include "platform/SystemServices.h"

namespace {

void Serve(platform::PipeHandle connection) {
    std::vector<unsigned char> message(platform::kPipeMaxMessage);
    for (;;) {
        std::uint32_t got = 0;
        if (platform::ReadFilePipe(connection, message.data(), 740, got) != 0 || got != 740) break;
        int command = static_cast<short>(message[0] | (message[1] << 8));
        if (command == -109) {
            std::memset(message.data() + 2, 0, 288);
            std::memcpy(message.data() + 4, "\\PIPE\\DBMAN", 11);
            std::memset(message.data() + 290 + 260, 0, 4);
        } else if (command == 13 || command == 14) {
            message[0] = 1;
        }
        std::uint32_t written = 0;
        if (platform::WriteFilePipe(connection, message.data(), 740, written) != 0) break;
        if (command == 2) std::_Exit(0);  // a socket left behind reads as "no server"
    }
    platform::CloseHandlePipe(connection);
}

}  // namespace

int main() {
    if (std::getenv("DBC_SERVER_SILENT") != nullptr) {
        platform::Sleep(5000);  // lingers a while, never serving
        return 0;
    }
    platform::PipeServer server;
    if (server.Create("\\\\.\\PIPE\\DBMAN", 255) != 0) return 1;
    std::thread([] {
        platform::Sleep(20000);
        std::_Exit(0);
    }).detach();
    for (;;) {
        platform::PipeHandle connection = platform::kInvalidPipeHandle;
        if (server.Accept(connection) != 0) return 0;
        std::thread(Serve, connection).detach();
    }
}
