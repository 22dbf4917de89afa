#include "support/pipe/DebugPrint.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/Cp932.h"
#include "support/pipe/PipeLayer.h"

namespace {

// Formats the whole line, then cuts it. Cutting what vsnprintf left in a 256-byte
// buffer would not do: its last byte may be the lead byte of a character whose trail
// byte was already dropped, and only the whole text tells a lead byte from a trail byte.
bool FormatLine(const char* format, va_list args, std::string& line) {
    char buffer[kDbgLineBuffer];
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (length < 0) {
        va_end(again);
        return false;
    }
    if (static_cast<std::size_t>(length) < sizeof buffer) {
        line.assign(buffer, static_cast<std::size_t>(length));
        va_end(again);
        return true;
    }
    std::string whole(static_cast<std::size_t>(length) + 1, '\0');
    int secondLength = std::vsnprintf(whole.data(), whole.size(), format, again);
    va_end(again);
    if (secondLength != length) return false;
    whole.resize(static_cast<std::size_t>(length));
    line = platform::CutToBytes(whole, kDbgLineBuffer - 1);
    return true;
}

}  // namespace

int DbgPrint(const char* format, ...) {
    std::string line;
    va_list args;
    va_start(args, format);
    bool formatted = FormatLine(format, args, line);
    va_end(args);
    if (!formatted) return -1;

    std::int32_t pipe = Pipe_Open(kMonitorPipeName);
    if (pipe == kPipeInvalid) return -1;
    // The NUL travels with the text so that the monitor sees where the line ends
    // (c_str() guarantees it at line[size()]).
    std::uint32_t written = 0;
    (void)Pipe_Write(pipe, line.c_str(), static_cast<std::uint32_t>(line.size() + 1), written);
    Pipe_Close(pipe);
    return static_cast<int>(written) - 1;
}
