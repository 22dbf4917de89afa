// Log lines of the server for the monitor pipe \\.\PIPE\DBGPRT\PDMMON.
//
// SendMonitorLine(line): one connection per line; the line is written with a line end
// (added when missing) and its NUL
// as one message. When no monitor listens (or every instance is busy) the line is
// dropped: logging never blocks or fails the server.
#pragma once

#include <string>

namespace ambrel {

void SendMonitorLine(const std::string& line);

}  // namespace ambrel
