// The monitor reads until the client's end closes, so closing after the write loses
// nothing; a monitor that is missing costs one failed connect.
#include "MonitorLog.h"

#include "platform/NamedPipe.h"

namespace ambrel {

void SendMonitorLine(const std::string& line) {
    platform::PipeHandle pipe = platform::kInvalidPipeHandle;
    if (platform::CreateFilePipe("\\\\.\\PIPE\\DBGPRT\\PDMMON", pipe) != 0) return;
    std::string message = line;
    if (message.empty() || message.back() != '\n') message.push_back('\n');
    message.push_back('\0');
    std::uint32_t written = 0;
    (void)platform::WriteFilePipe(pipe, message.data(), static_cast<std::uint32_t>(message.size()),
                                  written);
    platform::CloseHandlePipe(pipe);
}

}  // namespace ambrel
